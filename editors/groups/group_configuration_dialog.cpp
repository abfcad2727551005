#include "editors/groups/group_configuration_dialog.h"

#include "core/message_ids.h"
#include "editors/groups/group_edit_dialog.h"
#include "editors/groups/group_membership_dialog.h"
#include "editors/label_posting.h"
#include "link/server_link.h"
#include "model/group_edit.h"
#include "model/mirror.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace mirx::editors {

GroupListModel::GroupListModel(model::LabelTrunking trunking, QObject* parent)
    : shell::RecordListModel(columns_, parent) {
    const auto specs = model::groupListColumns(trunking);
    for (std::size_t i = 0; i < specs.size(); ++i) {
        columns_[i] = {specs[i].title, specs[i].width};
    }
}

void GroupListModel::setRows(std::vector<model::GroupRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int GroupListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

qint64 GroupListModel::rowKey(int row) const {
    return rows_[static_cast<std::size_t>(row)].labelNumber;
}

QString GroupListModel::text(int row, int column) const {
    return QString::fromStdString(
        rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)]);
}

int GroupListModel::compare(int left, int right, int column) const {
    return model::compareGroupRows(rows_[static_cast<std::size_t>(left)],
                                   rows_[static_cast<std::size_t>(right)], column);
}

CGroupConfigurationDlg::CGroupConfigurationDlg(shell::ShellContext& context, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::GroupConfiguration, parent)
    , labelChanges_(context.mirror.flags().labels) {
    model_ = new GroupListModel(labelTrunking(context), this);
    list_ = new shell::RecordListView(model_, this);
    list_->table()->setAccessibleName(tr("Group List"));
    const auto columns = model_->columns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        list_->table()->setColumnHidden(static_cast<int>(i), columns[i].width == 0);
    }

    add_ = new QPushButton(tr("Add"), this);
    edit_ = new QPushButton(tr("Edit"), this);
    delete_ = new QPushButton(tr("Delete"), this);
    membership_ = new QPushButton(tr("Group Membership ..."), this);
    auto* close = new QPushButton(tr("Close"), this);

    auto* listBox = new QGroupBox(tr("Group List"), this);
    auto* listLayout = new QVBoxLayout(listBox);
    listLayout->addWidget(list_);
    auto* selected = new QGroupBox(tr("Selected Group"), this);
    auto* selectedLayout = new QVBoxLayout(selected);
    selectedLayout->addWidget(edit_);
    selectedLayout->addWidget(delete_);
    selectedLayout->addWidget(membership_);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(selected);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(listBox, 1);
    layout->addLayout(buttons);

    connect(add_, &QPushButton::clicked, this, [this] { openEdit(model::kNoLabel); });
    connect(edit_, &QPushButton::clicked, this, [this] {
        if (list_->selectedKey() != shell::RecordListModel::kNoKey) {
            openEdit(static_cast<int>(list_->selectedKey()));
        }
    });
    connect(list_, &shell::RecordListView::activated, this,
            [this](qint64 key) { openEdit(static_cast<int>(key)); });
    connect(delete_, &QPushButton::clicked, this, &CGroupConfigurationDlg::deleteSelected);
    connect(membership_, &QPushButton::clicked, this, &CGroupConfigurationDlg::openMembership);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &shell::RecordListView::selectionChanged, this,
            &CGroupConfigurationDlg::selectionChanged);

    refresh();
    list_->table()->sortByColumn(static_cast<int>(model::GroupColumn::Type), Qt::AscendingOrder);
    selectionChanged();
    // Labels the server sends while the view is open.
    viewTimer(kLabelPollMs, [this] {
        if (child_ == nullptr && labelChanges_.take()) {
            refresh();
        }
    });
    restorePosition();
}

void CGroupConfigurationDlg::refresh() {
    model_->setRows(context().mirror.read(
        [](const model::MirrorData& d) { return model::buildGroupRows(d.labels); }));
    selectionChanged();
}

void CGroupConfigurationDlg::selectionChanged() {
    const bool any = list_->selectedKey() != shell::RecordListModel::kNoKey;
    edit_->setEnabled(any);
    delete_->setEnabled(any);
    membership_->setEnabled(any);
}

void CGroupConfigurationDlg::openEdit(int labelNumber) {
    if (child_ != nullptr) {
        return;
    }
    auto* view = new CGroupConfigurationEditDlg(context(), labelNumber, this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    child_ = view;
    connect(view, &QDialog::finished, this, [this, view](int result) {
        child_ = nullptr;
        if (result == QDialog::Accepted && !closed()) {
            refresh();
            list_->selectKey(view->labelNumber());
        }
    });
    view->open();
}

void CGroupConfigurationDlg::deleteSelected() {
    const qint64 key = list_->selectedKey();
    if (key == shell::RecordListModel::kNoKey) {
        return;
    }
    const int number = static_cast<int>(key);
    if (!context().prompter.ask(this, tr(model::kGroupDeleteCaption),
                                tr(model::kGroupDeleteQuestion))) {
        return;
    }
    const int position = list_->table()->currentIndex().row();
    if (!postRequest(context(), msg::ADMIN_DELETE_ENTRY, static_cast<std::uint16_t>(number))) {
        return; // not logged in: the view closes itself
    }
    context().mirror.edit([&](model::MirrorData& d) { d.labels.Delete(number); });
    refresh();
    const auto keys = list_->shownKeys();
    if (position >= 0 && position < keys.size()) {
        list_->selectKey(keys[position]);
    } else {
        list_->table()->clearSelection();
    }
    selectionChanged();
}

void CGroupConfigurationDlg::openMembership() {
    const qint64 key = list_->selectedKey();
    if (key == shell::RecordListModel::kNoKey || child_ != nullptr) {
        return;
    }
    auto* view = new CGroupConfigurationMembershipDlg(context(), static_cast<int>(key), this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    child_ = view;
    connect(view, &QDialog::finished, this, [this] { child_ = nullptr; });
    view->open();
}

void CGroupConfigurationDlg::closing(int) {
    if (child_ != nullptr) {
        child_->reject();
    }
}

} // namespace mirx::editors
