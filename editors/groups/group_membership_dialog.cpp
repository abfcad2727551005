#include "editors/groups/group_membership_dialog.h"

#include "core/debug_log.h"
#include "core/message_ids.h"
#include "editors/label_posting.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace mirx::editors {
namespace {

using model::MembershipMode;

constexpr shell::ListColumn kCandidateColumns[] = {
    {QT_TRANSLATE_NOOP("mirx::shell::RecordListModel", "Client Type"), 135},
    {QT_TRANSLATE_NOOP("mirx::shell::RecordListModel", "Name"), 98},
    {QT_TRANSLATE_NOOP("mirx::shell::RecordListModel", "Description"), 200},
};

std::size_t slotOf(MembershipMode mode) {
    switch (mode) {
    case MembershipMode::TalkAndListen:
        return 0;
    case MembershipMode::Talk:
        return 1;
    case MembershipMode::Listen:
        break;
    }
    return 2;
}

} // namespace

CandidateListModel::CandidateListModel(QObject* parent)
    : shell::RecordListModel(kCandidateColumns, parent) {}

void CandidateListModel::setRows(std::vector<model::CandidateRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

const model::CandidateRow* CandidateListModel::row(qint64 clientIndex) const {
    for (const model::CandidateRow& r : rows_) {
        if (r.clientIndex == clientIndex) {
            return &r;
        }
    }
    return nullptr;
}

int CandidateListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

qint64 CandidateListModel::rowKey(int row) const {
    return rows_[static_cast<std::size_t>(row)].clientIndex;
}

QString CandidateListModel::text(int row, int column) const {
    const model::CandidateRow& r = rows_[static_cast<std::size_t>(row)];
    switch (column) {
    case 0:
        return QString::fromStdString(r.type);
    case 1:
        return QString::fromStdString(r.name);
    default:
        return QString::fromStdString(r.description);
    }
}

int CandidateListModel::compare(int left, int right, int column) const {
    return model::compareCandidates(rows_[static_cast<std::size_t>(left)],
                                    rows_[static_cast<std::size_t>(right)], column);
}

MemberListModel::MemberListModel(model::MemberList& members, QObject* parent)
    : QAbstractTableModel(parent)
    , members_(members) {}

void MemberListModel::refresh(std::vector<QString> names) {
    beginResetModel();
    names_ = std::move(names);
    endResetModel();
}

int MemberListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

int MemberListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : (members_.partyLine() ? 2 : 1);
}

QVariant MemberListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() ||
        static_cast<std::size_t>(index.row()) >= members_.rows().size()) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    if (index.column() == 0) {
        return names_[row];
    }
    return tr(model::membershipModeText(members_.rows()[row].mode));
}

QVariant MemberListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    return section == 0 ? tr("Name") : tr("Mode");
}

CGroupConfigurationMembershipDlg::CGroupConfigurationMembershipDlg(shell::ShellContext& context,
                                                                   int groupLabel, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::GroupMembership, parent)
    , groupLabel_(groupLabel) {
    using L = model::LabelInfo;
    std::string shownName;
    std::vector<model::CandidateRow> candidates;
    context.mirror.read([&](const model::MirrorData& d) {
        if (const L* label = d.labels.Find(groupLabel)) {
            partyLine_ = label->get(L::kLabelKind) !=
                         static_cast<std::uint8_t>(model::LabelKind::FixedGroup);
            groupIndex_ = label->get(L::kIndex);
        }
        shownName = d.labels.Description(groupLabel);
        if (shownName.empty()) {
            shownName = d.labels.DisplayName(groupLabel);
        }
        candidates = model::membershipCandidates(d.labels, partyLine_);
    });
    members_ = model::MemberList(partyLine_);

    selectedGroup_ = new QLabel(QString::fromStdString(shownName), this);
    auto* selectedBox = new QGroupBox(tr("Selected Group"), this);
    auto* selectedLayout = new QHBoxLayout(selectedBox);
    selectedLayout->addWidget(selectedGroup_);

    notice_ = new QLabel(this);
    notice_->setWordWrap(true);
    notice_->setStyleSheet(QStringLiteral("color: #a00000;"));
    notice_->hide();

    candidateModel_ = new CandidateListModel(this);
    candidateModel_->setRows(std::move(candidates));
    candidates_ = new shell::RecordListView(candidateModel_, this);
    candidates_->table()->setAccessibleName(tr("Non-Group Members"));
    auto* candidateBox = new QGroupBox(tr("Non-Group Members"), this);
    (new QVBoxLayout(candidateBox))->addWidget(candidates_);

    memberModel_ = new MemberListModel(members_, this);
    memberTable_ = new QTableView(this);
    memberTable_->setModel(memberModel_);
    memberTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    memberTable_->setSelectionMode(QAbstractItemView::SingleSelection);
    memberTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    memberTable_->setTabKeyNavigation(false);
    memberTable_->setShowGrid(true);
    memberTable_->verticalHeader()->hide();
    memberTable_->horizontalHeader()->resizeSection(0, 100);
    memberTable_->horizontalHeader()->setStretchLastSection(true);
    memberTable_->setAccessibleName(tr("Group Members"));
    auto* memberBox = new QGroupBox(tr("Group Members"), this);
    (new QVBoxLayout(memberBox))->addWidget(memberTable_);

    add_[0] = new QPushButton(
        partyLine_ ? tr("----> Talk and Listen ---->") : tr("-----> Insert ----->"), this);
    add_[1] = new QPushButton(tr("-------> Talk Only -------->"), this);
    add_[2] = new QPushButton(tr("-----> Listen Only -------->"), this);
    add_[1]->setVisible(partyLine_);
    add_[2]->setVisible(partyLine_);
    remove_ = new QPushButton(tr("Remove <-----"), this);
    clear_ = new QPushButton(tr("Clear ----->"), this);
    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    for (QPushButton* button : add_) {
        middle->addWidget(button);
    }
    middle->addSpacing(12);
    middle->addWidget(remove_);
    middle->addWidget(clear_);
    middle->addStretch(1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);

    auto* lists = new QHBoxLayout;
    lists->addWidget(candidateBox, 3);
    lists->addLayout(middle);
    lists->addWidget(memberBox, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(selectedBox);
    layout->addWidget(notice_);
    layout->addLayout(lists, 1);
    layout->addWidget(buttons);

    connect(add_[0], &QPushButton::clicked, this, [this] { add(MembershipMode::TalkAndListen); });
    connect(add_[1], &QPushButton::clicked, this, [this] { add(MembershipMode::Talk); });
    connect(add_[2], &QPushButton::clicked, this, [this] { add(MembershipMode::Listen); });
    connect(remove_, &QPushButton::clicked, this,
            &CGroupConfigurationMembershipDlg::removeSelected);
    connect(clear_, &QPushButton::clicked, this, [this] {
        members_.clear();
        redrawMembers(-1);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &CGroupConfigurationMembershipDlg::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(candidates_, &shell::RecordListView::selectionChanged, this,
            &CGroupConfigurationMembershipDlg::updateButtons);
    connect(memberTable_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CGroupConfigurationMembershipDlg::updateButtons);

    // The one answer guard of the run; a view opened without one still
    // keeps to the rule with a guard of its own.
    guard_ = context.answerGuard;
    if (guard_ == nullptr) {
        ownGuard_ = std::make_unique<commandfiles::AnswerGuard>(context.mirror.membershipFlags());
        guard_ = ownGuard_.get();
    }
    fetch_ = new shell::RecordFetch(this);
    const QString what = tr("membership of %1").arg(QString::fromStdString(shownName));
    std::vector<shell::RecordFetch::Step> steps;
    // A command file waiting for its own answer keeps the guard until then.
    steps.push_back({tr("answer a running command file awaits"), [] { return true; },
                     [this] {
                         return guard_->tryAcquire(commandfiles::AwaitedAnswer::Membership, this);
                     }});
    steps.push_back({what,
                     [this] {
                         return partyLine_ ? postRequest(this->context(),
                                                         msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST,
                                                         static_cast<std::uint16_t>(groupLabel_))
                                           : postRequest(this->context(),
                                                         msg::ADMIN_FIXED_GROUP_MEMBERSHIP_REQUEST,
                                                         static_cast<std::uint16_t>(groupIndex_));
                     },
                     [this] {
                         return guard_->takeAnswer(this);
                     }});
    fetch_->setSteps(std::move(steps));
    connect(fetch_, &shell::RecordFetch::ready, this, &CGroupConfigurationMembershipDlg::fetched);
    connect(fetch_, &shell::RecordFetch::failed, this, [this](const QString& text) {
        guard_->release(this);
        giveUp(text);
    });
    updateButtons();
    restorePosition();
    if (groupIndex_ < 0) {
        // Asked for a label that is not a group: nothing to fetch or send.
        QMetaObject::invokeMethod(
            this, [this] { giveUp(tr("The group is no longer in the configuration.")); },
            Qt::QueuedConnection);
        return;
    }
    fetch_->start();
}

CGroupConfigurationMembershipDlg::~CGroupConfigurationMembershipDlg() {
    if (guard_ != nullptr) {
        guard_->release(this);
    }
}

QPushButton* CGroupConfigurationMembershipDlg::addButton(MembershipMode mode) const {
    return add_[slotOf(mode)];
}

void CGroupConfigurationMembershipDlg::fetched() {
    using model::MembershipSet;
    model::MembershipReading reading = context().mirror.read([&](const model::MirrorData& d) {
        const model::MembershipStore& store = d.membership;
        if (!partyLine_) {
            return model::readFixedGroupMembers(store.bits(MembershipSet::FixedGroup),
                                                store.setRefusal(MembershipSet::FixedGroup));
        }
        if (!store.partyLineRefusal().empty()) {
            return model::readPartyLineMembers(store.partyLineReadablePart(),
                                               store.partyLineRefusal());
        }
        const std::string problem =
            store.partyLineAnswerProblem(static_cast<std::uint16_t>(groupLabel_));
        if (!problem.empty()) {
            // Another party line's members are none of this one's.
            return model::MembershipReading{{}, {problem}};
        }
        return model::readPartyLineMembers(store.partyLine(), {});
    });
    // The rows are the view's own copy now: the buffer is free for others.
    guard_->release(this);
    loaded_ = true;
    whole_ = reading.whole();
    members_.assign(std::move(reading.rows));
    context().mirror.read([&](const model::MirrorData& d) { members_.sortByName(d.labels); });
    if (!whole_) {
        QStringList problems;
        for (const std::string& p : reading.problems) {
            problems << QString::fromStdString(p);
        }
        notice_->setText(tr(model::kMembershipUnreadable).arg(problems.join(QStringLiteral("; "))));
        notice_->show();
        log::print("CGroupConfigurationMembershipDlg: ERROR: membership of label %d not saved: %s",
                   groupLabel_, problems.join(QStringLiteral("; ")).toStdString().c_str());
    }
    redrawMembers(-1);
}

int CGroupConfigurationMembershipDlg::selectedMember() const {
    const QModelIndexList rows = memberTable_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void CGroupConfigurationMembershipDlg::add(MembershipMode mode) {
    const qint64 key = candidates_->selectedKey();
    const model::CandidateRow* candidate = candidateModel_->row(key);
    if (!loaded_ || !whole_ || candidate == nullptr || !model::candidateAllows(*candidate, mode)) {
        return;
    }
    int inserted = -1;
    const model::MemberRow row{
        static_cast<std::int16_t>(candidate->clientIndex), static_cast<std::uint8_t>(mode), {}};
    switch (members_.insert(selectedMember(), row, inserted)) {
    case model::MemberInsert::Full:
        context().prompter.tell(this, viewCaption(viewKey()),
                                tr(model::kMembershipListFull).arg(members_.capacity()),
                                shell::PromptIcon::Warning);
        return;
    case model::MemberInsert::Duplicate:
        context().prompter.tell(
            this, viewCaption(viewKey()),
            tr(model::kMembershipDuplicate).arg(QString::fromStdString(candidate->name)),
            shell::PromptIcon::Information);
        return;
    case model::MemberInsert::Added:
        break;
    }
    if (mode == MembershipMode::TalkAndListen) {
        const model::MemberRow added = members_.rows()[static_cast<std::size_t>(inserted)];
        context().mirror.read([&](const model::MirrorData& d) { members_.sortByName(d.labels); });
        const auto& rows = members_.rows();
        inserted = static_cast<int>(std::find(rows.begin(), rows.end(), added) - rows.begin());
    }
    redrawMembers(inserted);
    // The next candidate, so a run of clients is added click by click.
    const auto keys = candidates_->shownKeys();
    const auto at = keys.indexOf(key);
    if (at >= 0 && at + 1 < keys.size()) {
        candidates_->selectKey(keys[at + 1]);
    }
}

void CGroupConfigurationMembershipDlg::removeSelected() {
    const int row = selectedMember();
    if (row < 0) {
        return;
    }
    redrawMembers(members_.remove(row));
}

void CGroupConfigurationMembershipDlg::redrawMembers(int select) {
    std::vector<QString> names;
    context().mirror.read([&](const model::MirrorData& d) {
        for (const model::MemberRow& row : members_.rows()) {
            names.push_back(
                QString::fromStdString(model::memberName(d.labels, row, members_.partyLine())));
        }
    });
    memberModel_->refresh(std::move(names));
    if (select >= 0) {
        memberTable_->selectionModel()->setCurrentIndex(memberModel_->index(select, 0),
                                                        QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
    }
    updateButtons();
}

void CGroupConfigurationMembershipDlg::updateButtons() {
    const bool editable = loaded_ && whole_;
    const model::CandidateRow* candidate = candidateModel_->row(candidates_->selectedKey());
    for (const MembershipMode mode :
         {MembershipMode::TalkAndListen, MembershipMode::Talk, MembershipMode::Listen}) {
        addButton(mode)->setEnabled(editable && candidate != nullptr &&
                                    model::candidateAllows(*candidate, mode));
    }
    remove_->setEnabled(editable && selectedMember() >= 0);
    clear_->setEnabled(editable && !members_.rows().empty());
    ok_->setEnabled(editable);
}

void CGroupConfigurationMembershipDlg::save() {
    if (!loaded_ || !whole_ || !context().link.loggedIn()) {
        return;
    }
    bool posted = false;
    auto& queue = context().link.requestQueue();
    if (partyLine_) {
        const model::PartyLineMembership record =
            model::partyLineRecord(static_cast<std::uint16_t>(groupLabel_), members_.rows());
        const auto wire = record.wire();
        posted = queue.PostCopy(msg::ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE,
                                static_cast<std::uint16_t>(groupLabel_), wire.data(), wire.size());
    } else {
        const model::ClientBitSet set = model::fixedGroupSet(members_.rows());
        const auto bytes = set.bytes();
        posted =
            queue.PostCopy(msg::ADMIN_FIXED_GROUP_MEMBERSHIP_UPDATE,
                           static_cast<std::uint16_t>(groupIndex_), bytes.data(), bytes.size());
    }
    if (!posted) {
        giveUp(tr("The change could not be sent to the server; nothing was changed."));
        return;
    }
    accept();
}

void CGroupConfigurationMembershipDlg::closing(int) {
    fetch_->cancel();
    guard_->release(this);
}

} // namespace mirx::editors
