#pragma once

#include "commandfiles/command_files.h"
#include "shell/common/view_dialog.h"

#include <vector>

#include <QAbstractTableModel>

class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace mirx::shell {

// The scheduler's files in list order, one row each.
class CommandFilesModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kFileColumn, kDescriptionColumn, kTimeColumn, kStatusColumn, kColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // Rebuilds every row from scratch.
    void setRows(std::vector<commandfiles::FileRow> rows);
    const std::vector<commandfiles::FileRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<commandfiles::FileRow> rows_;
};

// "Command Files": every file the scheduler holds with its description,
// processing time and state, refreshed each second when anything changed.
// Modeless, at most one open (the main window sees to that).
class CCommandFilesDlg final : public ViewDialog {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 1000;

    CCommandFilesDlg(ShellContext& context, commandfiles::CCommandFiles& files,
                     QWidget* parent = nullptr);
    ~CCommandFilesDlg() override;

    QTableView* list() const { return list_; }
    CommandFilesModel* model() const { return model_; }
    QPushButton* closeButton() const { return close_; }
    // Why the files are not run here (another runner holds the folder);
    // hidden while this console runs them.
    QLabel* notice() const { return notice_; }

private:
    void rebuild();
    void refreshTick();

    commandfiles::CCommandFiles& files_;
    CommandFilesModel* model_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
    QTableView* list_ = nullptr;
    QLabel* notice_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace mirx::shell
