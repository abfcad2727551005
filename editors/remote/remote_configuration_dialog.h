#pragma once

#include "model/mirror.h"
#include "model/remote_list.h"
#include "shell/common/record_list.h"
#include "shell/common/view_dialog.h"

#include <array>
#include <vector>

class QPushButton;

namespace mirx::editors {

// Every label outside local system 0, keyed by label number.
class RemoteListModel final : public shell::RecordListModel {
    Q_OBJECT
public:
    RemoteListModel(model::LabelTrunking trunking, QObject* parent = nullptr);

    void setRows(std::vector<model::RemoteRow> rows);
    const std::vector<model::RemoteRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    qint64 rowKey(int row) const override;
    QString text(int row, int column) const override;
    int compare(int left, int right, int column) const override;

private:
    std::array<shell::ListColumn, model::kRemoteColumnCount> columns_;
    std::vector<model::RemoteRow> rows_;
};

// "Remote Configuration": how labels of other systems are presented here.
class CRemoteConfigurationDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    static constexpr int kLabelPollMs = 100;

    explicit CRemoteConfigurationDlg(shell::ShellContext& context, QWidget* parent = nullptr);

    shell::RecordListView* list() const { return list_; }
    RemoteListModel* model() const { return model_; }
    QPushButton* editButton() const { return edit_; }
    QDialog* childView() const { return child_; }

    void refresh();

private:
    void openEdit(int labelNumber);
    void closing(int result) override;

    RemoteListModel* model_ = nullptr;
    shell::RecordListView* list_ = nullptr;
    QPushButton* edit_ = nullptr;
    QDialog* child_ = nullptr;
    model::ChangeCursor labelChanges_;
};

} // namespace mirx::editors
