#pragma once

#include "commandfiles/answer_guard.h"
#include "model/group_membership.h"
#include "shell/common/record_fetch.h"
#include "shell/common/record_list.h"
#include "shell/common/view_dialog.h"

#include <array>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;

namespace mirx::editors {

// Clients that may join the group, keyed by client index.
class CandidateListModel final : public shell::RecordListModel {
    Q_OBJECT
public:
    explicit CandidateListModel(QObject* parent = nullptr);

    void setRows(std::vector<model::CandidateRow> rows);
    const model::CandidateRow* row(qint64 clientIndex) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    qint64 rowKey(int row) const override;
    QString text(int row, int column) const override;
    int compare(int left, int right, int column) const override;

private:
    std::vector<model::CandidateRow> rows_;
};

// The member rows in their own order (insertion matters, so no header sort).
class MemberListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    MemberListModel(model::MemberList& members, QObject* parent = nullptr);

    // Redraws every row; names come from the label table.
    void refresh(std::vector<QString> names);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    model::MemberList& members_;
    std::vector<QString> names_;
};

// "Group Configuration Membership": fetches one group's membership under
// the console's answer guard, shows members beside the clients that may
// join, and sends the whole membership back on OK. A membership that could
// not be read whole is shown as far as it was sound and cannot be saved.
class CGroupConfigurationMembershipDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    CGroupConfigurationMembershipDlg(shell::ShellContext& context, int groupLabel,
                                     QWidget* parent = nullptr);
    ~CGroupConfigurationMembershipDlg() override;

    bool loaded() const { return loaded_; }
    bool partyLine() const { return partyLine_; }
    const model::MemberList& members() const { return members_; }

    QLabel* selectedGroup() const { return selectedGroup_; }
    shell::RecordListView* candidates() const { return candidates_; }
    QTableView* memberTable() const { return memberTable_; }
    // Talk and listen (Insert on a fixed group), talk only, listen only.
    QPushButton* addButton(model::MembershipMode mode) const;
    QPushButton* removeButton() const { return remove_; }
    QPushButton* clearButton() const { return clear_; }
    QPushButton* okButton() const { return ok_; }
    // Why the membership cannot be saved; hidden while it can.
    QLabel* notice() const { return notice_; }

private:
    void fetched();
    void add(model::MembershipMode mode);
    void removeSelected();
    void redrawMembers(int select);
    int selectedMember() const;
    void updateButtons();
    void save();
    void closing(int result) override;

    int groupLabel_;
    int groupIndex_ = -1;
    bool partyLine_ = true;
    bool loaded_ = false;
    bool whole_ = false;
    model::MemberList members_{true};
    std::unique_ptr<commandfiles::AnswerGuard> ownGuard_;
    commandfiles::AnswerGuard* guard_ = nullptr;
    shell::RecordFetch* fetch_ = nullptr;

    QLabel* selectedGroup_ = nullptr;
    QLabel* notice_ = nullptr;
    CandidateListModel* candidateModel_ = nullptr;
    shell::RecordListView* candidates_ = nullptr;
    MemberListModel* memberModel_ = nullptr;
    QTableView* memberTable_ = nullptr;
    std::array<QPushButton*, 3> add_{};
    QPushButton* remove_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace mirx::editors
