#include "editors/remote/remote_configuration_dialog.h"

#include "editors/label_posting.h"
#include "editors/remote/remote_edit_dialog.h"
#include "model/mirror.h"
#include "shell/common/shell_context.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace mirx::editors {

RemoteListModel::RemoteListModel(model::LabelTrunking trunking, QObject* parent)
    : shell::RecordListModel(columns_, parent) {
    const auto specs = model::remoteListColumns(trunking);
    for (std::size_t i = 0; i < specs.size(); ++i) {
        columns_[i] = {specs[i].title, specs[i].width};
    }
}

void RemoteListModel::setRows(std::vector<model::RemoteRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int RemoteListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

qint64 RemoteListModel::rowKey(int row) const {
    return rows_[static_cast<std::size_t>(row)].labelNumber;
}

QString RemoteListModel::text(int row, int column) const {
    return QString::fromStdString(
        rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)]);
}

int RemoteListModel::compare(int left, int right, int column) const {
    return model::compareRemoteRows(rows_[static_cast<std::size_t>(left)],
                                    rows_[static_cast<std::size_t>(right)], column);
}

CRemoteConfigurationDlg::CRemoteConfigurationDlg(shell::ShellContext& context, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::RemoteConfiguration, parent)
    , labelChanges_(context.mirror.flags().labels) {
    model_ = new RemoteListModel(labelTrunking(context), this);
    list_ = new shell::RecordListView(model_, this);
    list_->table()->setAccessibleName(tr("Remote Label List"));
    edit_ = new QPushButton(tr("Edit"), this);
    auto* close = new QPushButton(tr("Close"), this);

    auto* box = new QGroupBox(tr("Remote Label List"), this);
    (new QVBoxLayout(box))->addWidget(list_);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(edit_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(box, 1);
    layout->addLayout(buttons);

    connect(edit_, &QPushButton::clicked, this, [this] {
        if (list_->selectedKey() != shell::RecordListModel::kNoKey) {
            openEdit(static_cast<int>(list_->selectedKey()));
        }
    });
    connect(list_, &shell::RecordListView::activated, this,
            [this](qint64 key) { openEdit(static_cast<int>(key)); });
    connect(list_, &shell::RecordListView::selectionChanged, this,
            [this](qint64 key) { edit_->setEnabled(key != shell::RecordListModel::kNoKey); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    edit_->setEnabled(false);

    refresh();
    list_->table()->sortByColumn(0, Qt::AscendingOrder);
    viewTimer(kLabelPollMs, [this] {
        if (child_ == nullptr && labelChanges_.take()) {
            refresh();
        }
    });
    restorePosition();
}

void CRemoteConfigurationDlg::refresh() {
    model_->setRows(context().mirror.read(
        [](const model::MirrorData& d) { return model::buildRemoteRows(d.labels); }));
    const auto columns = model_->columns();
    auto* table = list_->table();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const int column = static_cast<int>(i);
        int width = columns[i].width;
        if (column == static_cast<int>(model::RemoteColumn::Latchable) &&
            model::remoteLatchableShown(model_->rows())) {
            width = model::kRemoteLatchableWidth;
        }
        const bool hidden = width == 0;
        if (table->isColumnHidden(column) != hidden) {
            table->setColumnHidden(column, hidden);
            if (!hidden) {
                table->horizontalHeader()->resizeSection(column, width);
            }
        }
    }
    edit_->setEnabled(list_->selectedKey() != shell::RecordListModel::kNoKey);
}

void CRemoteConfigurationDlg::openEdit(int labelNumber) {
    if (child_ != nullptr) {
        return;
    }
    auto* view = new CRemoteConfigurationEditDlg(context(), labelNumber, this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    child_ = view;
    connect(view, &QDialog::finished, this, [this](int result) {
        child_ = nullptr;
        if (result == QDialog::Accepted && !closed()) {
            refresh();
        }
    });
    view->open();
}

void CRemoteConfigurationDlg::closing(int) {
    if (child_ != nullptr) {
        child_->reject();
    }
}

} // namespace mirx::editors
