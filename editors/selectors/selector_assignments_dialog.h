#pragma once

#include "editors/selectors/hot_key_dialog.h"
#include "model/selector_edit.h"
#include "model/selector_lists.h"
#include "shell/common/record_list.h"
#include "shell/common/view_dialog.h"

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include <QHash>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace mirx::shell {
class RecordFetch;
}

namespace mirx::editors {

// Labels that may be assigned, keyed by label number. A row dragged out of
// the list carries its label number.
class AvailableListModel final : public shell::RecordListModel {
    Q_OBJECT
public:
    static constexpr const char* kLabelMime = "application/x-mirx-selector-label";

    explicit AvailableListModel(QObject* parent = nullptr);

    void setRows(std::vector<model::AvailableRow> rows);
    const std::vector<model::AvailableRow>& rows() const { return rows_; }
    const model::AvailableRow* row(qint64 labelNumber) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    qint64 rowKey(int row) const override;
    QString text(int row, int column) const override;
    int compare(int left, int right, int column) const override;

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

private:
    std::vector<model::AvailableRow> rows_;
    mutable QHash<qint64, int> byLabel_;
};

// The assigned rows in their own order (the order is the record's, so no
// header sort). Takes labels dropped from the available list and rows
// dragged within itself; the view decides what a drop does.
class AssignedListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr const char* kRowMime = "application/x-mirx-selector-row";

    explicit AssignedListModel(QObject* parent = nullptr);

    void refresh(std::vector<std::array<QString, model::kAssignedColumnCount>> cells);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

signals:
    // `before` is the row the drop lands before; -1: after the last row.
    void labelDropped(qint64 labelNumber, int before);
    void rowDropped(int from, int before);

private:
    std::vector<std::array<QString, model::kAssignedColumnCount>> cells_;
};

// "Client Configuration Selector Assignments": one client's ordered
// selectors, or the default ones (client index -1). Fetches the default
// record and then the client's, shows the labels that may be assigned beside
// the assignments, and posts the whole record on OK; bytes it does not edit
// go back as they came.
class CClientConfigurationSelectorAssignmentsDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    CClientConfigurationSelectorAssignmentsDlg(shell::ShellContext& context, int clientIndex,
                                               QWidget* parent = nullptr);
    ~CClientConfigurationSelectorAssignmentsDlg() override;

    bool loaded() const { return loaded_; }
    const model::SelectorEditor& editor() const { return editor_; }

    QLabel* selectedClient() const { return selectedClient_; }
    shell::RecordListView* available() const { return available_; }
    AvailableListModel* availableModel() const { return availableModel_; }
    QTableView* assignedTable() const { return assignedTable_; }
    QPushButton* button(model::SelectorButton which) const {
        return buttons_[static_cast<std::size_t>(which)];
    }
    QLineEdit* selectorsPerRow() const { return perRow_; }
    QCheckBox* defaultNonLatchable() const { return nonLatchable_; }
    QComboBox* activationMethod() const { return activation_; }
    QPushButton* okButton() const { return ok_; }
    // The hot key view while it is open.
    CHotKeySelectionDlg* hotKeyView() const { return hotKey_; }

    // Moves the selected assigned row one place up (-1) or down (+1).
    void moveSelected(int step);

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void fetched();
    void press(model::SelectorButton which);
    bool addEntry(model::SelectorButton which);
    void dropLabel(qint64 labelNumber, int before);
    // Adds the selected label with the first function its add buttons allow.
    bool addAllowed();
    void dropRow(int from, int before);
    void openHotKey();
    void startDuplicate();
    void duplicated();
    void redraw();
    void showSelection();
    void updateButtons();
    void closing(int result) override;

    model::SelectorTarget target_;
    model::SelectorEditor editor_;
    bool panelHead_ = true;
    bool loaded_ = false;
    // The method of the received record when the drop-down has no entry
    // for it, so OK does not change it unasked.
    std::uint8_t receivedActivation_ = 0;
    bool syncing_ = false;
    int pressedRow_ = -1;
    bool pressedSelected_ = false;
    shell::RecordFetch* fetch_ = nullptr;
    shell::RecordFetch* duplicateFetch_ = nullptr;
    // The records as each fetch's answer brought them.
    std::optional<model::SelectorAssignments> defaultRecord_;
    std::optional<model::SelectorAssignments> clientRecord_;
    std::optional<model::SelectorAssignments> duplicateRecord_;
    QPointer<CHotKeySelectionDlg> hotKey_;

    QLabel* selectedClient_ = nullptr;
    AvailableListModel* availableModel_ = nullptr;
    shell::RecordListView* available_ = nullptr;
    AssignedListModel* assignedModel_ = nullptr;
    QTableView* assignedTable_ = nullptr;
    std::array<QPushButton*, model::kSelectorButtonCount> buttons_{};
    QLabel* perRowLabel_ = nullptr;
    QLineEdit* perRow_ = nullptr;
    QCheckBox* nonLatchable_ = nullptr;
    QLabel* activationLabel_ = nullptr;
    QComboBox* activation_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace mirx::editors
