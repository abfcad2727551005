#pragma once

#include "model/group_list.h"
#include "model/mirror.h"
#include "shell/common/record_list.h"
#include "shell/common/view_dialog.h"

#include <array>
#include <vector>

class QPushButton;

namespace mirx::editors {

// Party lines, then fixed groups of local system 0, keyed by label number.
class GroupListModel final : public shell::RecordListModel {
    Q_OBJECT
public:
    GroupListModel(model::LabelTrunking trunking, QObject* parent = nullptr);

    void setRows(std::vector<model::GroupRow> rows);
    const std::vector<model::GroupRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    qint64 rowKey(int row) const override;
    QString text(int row, int column) const override;
    int compare(int left, int right, int column) const override;

private:
    std::array<shell::ListColumn, model::kGroupColumnCount> columns_;
    std::vector<model::GroupRow> rows_;
};

// "Group Configuration": the group list with Add, Edit, Delete and the
// membership of the selected group.
class CGroupConfigurationDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    static constexpr int kLabelPollMs = 100;

    explicit CGroupConfigurationDlg(shell::ShellContext& context, QWidget* parent = nullptr);

    shell::RecordListView* list() const { return list_; }
    GroupListModel* model() const { return model_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* editButton() const { return edit_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* membershipButton() const { return membership_; }

    // The view opened from here and still open, if any (tests drive it).
    QDialog* childView() const { return child_; }

    void refresh();

private:
    void selectionChanged();
    void openEdit(int labelNumber);
    void deleteSelected();
    void openMembership();
    void closing(int result) override;

    GroupListModel* model_ = nullptr;
    shell::RecordListView* list_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* membership_ = nullptr;
    QDialog* child_ = nullptr;
    model::ChangeCursor labelChanges_;
};

} // namespace mirx::editors
