#include "shell/commandfiles/command_files_dialog.h"

#include <array>

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace mirx::shell {
namespace {

struct ColumnSpec {
    const char* title;
    int width;
};

constexpr std::array<ColumnSpec, CommandFilesModel::kColumnCount> kColumns{{
    {"Command File", 200},
    {"Command File Description", 400},
    {"Processing Time", 140},
    {"File Status", 180},
}};

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void CommandFilesModel::setRows(std::vector<commandfiles::FileRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int CommandFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CommandFilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CommandFilesModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const commandfiles::FileRow& row = rows_[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case kFileColumn:
        return fromUtf8(row.fileName);
    case kDescriptionColumn:
        return fromUtf8(row.description);
    case kTimeColumn:
        return fromUtf8(row.processingTime);
    case kStatusColumn:
        return QString::fromLatin1(commandfiles::statusText(row.status));
    default:
        return {};
    }
}

QVariant CommandFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount) {
        return {};
    }
    return tr(kColumns[static_cast<std::size_t>(section)].title);
}

CCommandFilesDlg::CCommandFilesDlg(ShellContext& context, commandfiles::CCommandFiles& files,
                                   QWidget* parent)
    : ViewDialog(context, ViewKey::CommandFiles, parent)
    , files_(files) {
    model_ = new CommandFilesModel(this);
    // Unsorted (list order) until a header is clicked; the time column's
    // text sorts chronologically.
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(model_);
    sorted_->setSortCaseSensitivity(Qt::CaseInsensitive);

    auto* group = new QGroupBox(tr("Command Files List"), this);
    list_ = new QTableView(group);
    list_->setModel(sorted_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setTabKeyNavigation(false);
    list_->setShowGrid(true);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    list_->setSortingEnabled(true);
    int width = 0;
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        list_->horizontalHeader()->resizeSection(static_cast<int>(i), kColumns[i].width);
        width += kColumns[i].width;
    }
    notice_ = new QLabel(group);
    notice_->setWordWrap(true);
    notice_->setAccessibleName(tr("Command files folder notice"));
    notice_->hide();
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(notice_);
    groupLayout->addWidget(list_);

    close_ = new QPushButton(tr("Close"), this);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(buttons);

    resize(width + 60, 360);
    restorePosition();

    rebuild();
    viewTimer(kRefreshMs, [this] { refreshTick(); });
}

CCommandFilesDlg::~CCommandFilesDlg() = default;

void CCommandFilesDlg::rebuild() {
    files_.TakeChanged();
    model_->setRows(files_.rows());
    notice_->setText(fromUtf8(files_.folderNotice()));
    notice_->setVisible(!files_.folderNotice().empty());
}

void CCommandFilesDlg::refreshTick() {
    if (files_.changed()) {
        rebuild();
    }
}

} // namespace mirx::shell
