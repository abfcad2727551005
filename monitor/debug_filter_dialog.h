#pragma once

#include "model/debug_filters.h"
#include "shell/common/record_list.h"
#include "shell/common/view_dialog.h"

#include <cstdint>
#include <vector>

#include <QPointer>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace mirx::model {
class ClientStore;
}
namespace mirx::shell {
class RecordFetch;
}

namespace mirx::monitor {

// The filter list in list order; rows are keyed by a serial number, so a
// selection survives sorting and edits.
class DebugFilterModel final : public shell::RecordListModel {
    Q_OBJECT
public:
    explicit DebugFilterModel(QObject* parent = nullptr);

    void setWords(const std::vector<std::uint32_t>& words, const model::ClientStore& clients);
    // Appends a row; returns its key.
    qint64 append(std::uint32_t word, const model::ClientStore& clients);
    void replace(qint64 key, std::uint32_t word, const model::ClientStore& clients);
    void remove(qint64 key);
    // kNoKey... -1 when there is none.
    int rowOf(qint64 key) const;
    std::uint32_t word(qint64 key) const;
    // Every word in list order (not the order a header click shows).
    std::vector<std::uint32_t> words() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    qint64 rowKey(int row) const override;
    QString text(int row, int column) const override;
    int compare(int left, int right, int column) const override;

private:
    struct Row {
        qint64 key;
        model::DebugFilterRow row;
    };
    std::vector<Row> rows_;
    qint64 nextKey_ = 0;
};

// "Debug Filter Configuration": reads the server's filter list, edits it
// with "Add", "Edit" and "Delete", and sends it back whole on "OK".
class CDebugFilterDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    explicit CDebugFilterDlg(shell::ShellContext& context, QWidget* parent = nullptr);
    ~CDebugFilterDlg() override;

    shell::RecordListView* list() const { return list_; }
    DebugFilterModel* model() const { return model_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* editButton() const { return edit_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    // The add/edit view while it is open.
    QDialog* editDialog() const { return editDialog_.data(); }
    // The list came from the server.
    bool loaded() const { return loaded_; }

private:
    void fill();
    void updateButtons();
    void openEditor(qint64 key);
    void deleteSelected();
    void send();

    DebugFilterModel* model_ = nullptr;
    shell::RecordListView* list_ = nullptr;
    shell::RecordFetch* fetch_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPointer<QDialog> editDialog_;
    bool loaded_ = false;
};

// "Debug Filter Configuraton Add/Edit": one filter word's fields.
class CDebugFilterEditDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    CDebugFilterEditDlg(shell::ShellContext& context, std::uint32_t word,
                        QWidget* parent = nullptr);

    // The word the fields make (bit 31 set); valid after OK.
    std::uint32_t word() const { return word_; }

    QComboBox* typeBox() const { return type_; }
    QComboBox* targetBox() const { return target_; }
    QComboBox* categoryBox() const { return category_; }
    QComboBox* identifierBox() const { return identifier_; }
    QLineEdit* subcategoryEdit() const { return subcategory_; }
    QPushButton* okButton() const { return ok_; }

    static constexpr const char* kSubcategoryText =
        "Subcategory must be All or a number from 0 to 62.";

private:
    void confirm();

    std::uint32_t word_;
    QComboBox* type_ = nullptr;
    QComboBox* target_ = nullptr;
    QComboBox* category_ = nullptr;
    QComboBox* identifier_ = nullptr;
    QLineEdit* subcategory_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace mirx::monitor
