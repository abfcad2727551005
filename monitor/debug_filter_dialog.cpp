#include "monitor/debug_filter_dialog.h"

#include "core/message_ids.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "model/typed_text.h"
#include "shell/common/prompter.h"
#include "shell/common/record_fetch.h"
#include "shell/common/shell_context.h"
#include "shell/common/window_title.h"

#include <algorithm>
#include <array>

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace mirx::monitor {
namespace {

using model::DebugFilterColumn;

constexpr std::array<shell::ListColumn, model::kDebugFilterColumnCount> kColumns{{
    {QT_TRANSLATE_NOOP("mirx::monitor::DebugFilterModel", "Type"), 80},
    {QT_TRANSLATE_NOOP("mirx::monitor::DebugFilterModel", "Target"), 80},
    {QT_TRANSLATE_NOOP("mirx::monitor::DebugFilterModel", "Category"), 200},
    {QT_TRANSLATE_NOOP("mirx::monitor::DebugFilterModel", "Subcategory"), 80},
    {QT_TRANSLATE_NOOP("mirx::monitor::DebugFilterModel", "Identifier"), 80},
}};

constexpr const char* kDeleteCaption = "%1 Filter Configuration Delete";
constexpr const char* kDeleteText = "WARNING: Are you sure you wish to delete this filter?";

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int compareValues(std::uint32_t left, std::uint32_t right) {
    return left < right ? -1 : left > right ? 1 : 0;
}

// A drop-down list of `choices` showing `current` (added as its number when
// the list has no entry for it).
QComboBox* choiceBox(std::vector<model::DebugFilterChoice> choices, std::uint32_t current,
                     QWidget* parent) {
    const std::size_t selected = model::ensureDebugFilterChoice(choices, current);
    auto* box = new QComboBox(parent);
    for (const model::DebugFilterChoice& choice : choices) {
        box->addItem(fromUtf8(choice.text), choice.value);
    }
    box->setCurrentIndex(static_cast<int>(selected));
    return box;
}

std::uint32_t chosen(const QComboBox& box) {
    return box.currentData().toUInt();
}

} // namespace

// --- list model ---

DebugFilterModel::DebugFilterModel(QObject* parent)
    : RecordListModel(kColumns, parent) {}

void DebugFilterModel::setWords(const std::vector<std::uint32_t>& words,
                                const model::ClientStore& clients) {
    beginResetModel();
    rows_.clear();
    for (const std::uint32_t word : words) {
        rows_.push_back({nextKey_++, model::buildDebugFilterRow(word, clients)});
    }
    endResetModel();
}

qint64 DebugFilterModel::append(std::uint32_t word, const model::ClientStore& clients) {
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at);
    rows_.push_back({nextKey_++, model::buildDebugFilterRow(word, clients)});
    endInsertRows();
    return rows_.back().key;
}

void DebugFilterModel::replace(qint64 key, std::uint32_t word, const model::ClientStore& clients) {
    const int row = rowOf(key);
    if (row < 0) {
        return;
    }
    rows_[static_cast<std::size_t>(row)].row = model::buildDebugFilterRow(word, clients);
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void DebugFilterModel::remove(qint64 key) {
    const int row = rowOf(key);
    if (row < 0) {
        return;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

int DebugFilterModel::rowOf(qint64 key) const {
    const auto found =
        std::find_if(rows_.begin(), rows_.end(), [key](const Row& r) { return r.key == key; });
    return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

std::uint32_t DebugFilterModel::word(qint64 key) const {
    const int row = rowOf(key);
    return row < 0 ? log::encodeFilter(model::kNewDebugFilter)
                   : rows_[static_cast<std::size_t>(row)].row.word;
}

std::vector<std::uint32_t> DebugFilterModel::words() const {
    std::vector<std::uint32_t> words;
    words.reserve(rows_.size());
    for (const Row& r : rows_) {
        words.push_back(r.row.word);
    }
    return words;
}

int DebugFilterModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

qint64 DebugFilterModel::rowKey(int row) const {
    return rows_[static_cast<std::size_t>(row)].key;
}

QString DebugFilterModel::text(int row, int column) const {
    return fromUtf8(
        rows_[static_cast<std::size_t>(row)].row.cells[static_cast<std::size_t>(column)]);
}

int DebugFilterModel::compare(int left, int right, int column) const {
    const auto& a = rows_[static_cast<std::size_t>(left)].row;
    const auto& b = rows_[static_cast<std::size_t>(right)].row;
    const log::DecodedFilter fa = log::decodeFilter(a.word);
    const log::DecodedFilter fb = log::decodeFilter(b.word);
    // Numbers and levels sort by value; names case-blind.
    switch (static_cast<DebugFilterColumn>(column)) {
    case DebugFilterColumn::Type:
        return compareValues(fa.level, fb.level);
    case DebugFilterColumn::Subcategory:
        return compareValues(fa.subgroup, fb.subgroup);
    default:
        return model::compareCaseBlind(a.cells[static_cast<std::size_t>(column)],
                                       b.cells[static_cast<std::size_t>(column)]);
    }
}

// --- filter editor ---

CDebugFilterDlg::CDebugFilterDlg(shell::ShellContext& context, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::DebugFilter, parent) {
    model_ = new DebugFilterModel(this);
    auto* group = new QGroupBox(tr("Filter List"), this);
    list_ = new shell::RecordListView(model_, group);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(list_);

    add_ = new QPushButton(tr("Add"), this);
    edit_ = new QPushButton(tr("Edit"), this);
    delete_ = new QPushButton(tr("Delete"), this);
    ok_ = new QPushButton(tr("OK"), this);
    cancel_ = new QPushButton(tr("Cancel"), this);
    for (QPushButton* button : {add_, edit_, delete_, ok_, cancel_}) {
        button->setAutoDefault(false);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(edit_);
    buttons->addWidget(delete_);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(buttons);
    resize(620, 360);
    restorePosition();

    connect(add_, &QPushButton::clicked, this,
            [this] { openEditor(shell::RecordListModel::kNoKey); });
    connect(edit_, &QPushButton::clicked, this, [this] { openEditor(list_->selectedKey()); });
    connect(delete_, &QPushButton::clicked, this, &CDebugFilterDlg::deleteSelected);
    connect(ok_, &QPushButton::clicked, this, &CDebugFilterDlg::send);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &shell::RecordListView::selectionChanged, this, [this] { updateButtons(); });
    connect(list_, &shell::RecordListView::activated, this, [this](qint64 key) {
        list_->selectKey(key);
        openEditor(key);
    });

    // Nothing can be changed or sent before the server's list is here: an
    // "OK" on an empty list would wipe the server's filters.
    updateButtons();
    fetch_ = new shell::RecordFetch(this);
    model::Mirror& mirror = context.mirror;
    link::ServerLink& link = context.link;
    mirror.flags().debugFilters.take();
    fetch_->setSteps({{tr("the debug filter list"),
                       [&link] {
                           const auto payload = model::encodeGetDebugFilterRequest();
                           return link.requestQueue().PostCopy(msg::ADMIN_GET_DEBUG_FILTER_REQUEST,
                                                               0, payload.data(), payload.size());
                       },
                       [&mirror] {
                           return mirror.flags().debugFilters.take();
                       }}});
    connect(fetch_, &shell::RecordFetch::ready, this, &CDebugFilterDlg::fill);
    connect(fetch_, &shell::RecordFetch::failed, this, &CDebugFilterDlg::giveUp);
    fetch_->start();
}

CDebugFilterDlg::~CDebugFilterDlg() = default;

void CDebugFilterDlg::fill() {
    context().mirror.read([this](const model::MirrorData& mirrored) {
        model_->setWords(mirrored.debugFilters, mirrored.clients);
    });
    loaded_ = true;
    updateButtons();
}

void CDebugFilterDlg::updateButtons() {
    const bool selected = list_->selectedKey() != shell::RecordListModel::kNoKey;
    const bool room = model_->rowCount() < static_cast<int>(model::kDebugFilterListCapacity);
    add_->setEnabled(loaded_ && room);
    add_->setToolTip(
        loaded_ && !room
            ? tr("The list holds at most %1 filters.").arg(model::kDebugFilterListCapacity)
            : QString());
    edit_->setEnabled(loaded_ && selected);
    delete_->setEnabled(loaded_ && selected);
    ok_->setEnabled(loaded_);
}

void CDebugFilterDlg::openEditor(qint64 key) {
    if (!loaded_ || editDialog_ != nullptr) {
        return;
    }
    const bool adding = key == shell::RecordListModel::kNoKey;
    if (adding && model_->rowCount() >= static_cast<int>(model::kDebugFilterListCapacity)) {
        return;
    }
    const std::uint32_t word =
        adding ? log::encodeFilter(model::kNewDebugFilter) : model_->word(key);
    auto* editor = new CDebugFilterEditDlg(context(), word, this);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editDialog_ = editor;
    connect(editor, &QDialog::accepted, this, [this, editor, key, adding] {
        const std::uint32_t made = editor->word();
        context().mirror.read([&](const model::MirrorData& mirrored) {
            if (adding) {
                list_->selectKey(model_->append(made, mirrored.clients));
            } else {
                model_->replace(key, made, mirrored.clients);
            }
        });
        updateButtons();
    });
    editor->open();
}

void CDebugFilterDlg::deleteSelected() {
    const qint64 key = list_->selectedKey();
    if (key == shell::RecordListModel::kNoKey) {
        return;
    }
    const QString caption = tr(kDeleteCaption).arg(QString::fromLatin1(shell::kProductWord));
    if (!context().prompter.ask(this, caption, tr(kDeleteText))) {
        return;
    }
    // The row that moves into the deleted one's place (as shown) is selected.
    const int shownRow = static_cast<int>(list_->shownKeys().indexOf(key));
    model_->remove(key);
    const QList<qint64> shown = list_->shownKeys();
    list_->table()->clearSelection();
    if (shownRow >= 0 && shownRow < shown.size()) {
        list_->selectKey(shown[shownRow]);
    }
    updateButtons();
}

void CDebugFilterDlg::send() {
    if (!loaded_) {
        return;
    }
    const std::vector<std::uint32_t> words = model_->words();
    const model::DebugFilterListPayload list = model::encodeDebugFilterList(words);
    if (!context().link.requestQueue().PostCopy(msg::ADMIN_SET_DEBUG_FILTER_REQUEST, list.count,
                                                list.payload.data(), list.payload.size())) {
        context().prompter.tell(this, windowTitle(),
                                tr("The filter list could not be sent to the server."),
                                shell::PromptIcon::Error);
        return;
    }
    accept();
}

// --- add/edit ---

CDebugFilterEditDlg::CDebugFilterEditDlg(shell::ShellContext& context, std::uint32_t word,
                                         QWidget* parent)
    : ViewDialog(context, shell::ViewKey::DebugFilterEdit, parent)
    , word_(word) {
    const log::DecodedFilter filter = log::decodeFilter(word);
    type_ = choiceBox(model::debugFilterTypeChoices(), filter.level, this);
    target_ = choiceBox(model::debugFilterTargetChoices(), filter.cls, this);
    category_ = choiceBox(model::debugFilterCategoryChoices(), filter.group, this);
    identifier_ = context.mirror.read([&](const model::MirrorData& mirrored) {
        return choiceBox(model::debugFilterIdentifierChoices(mirrored.labels), filter.item, this);
    });
    subcategory_ = new QLineEdit(
        QString::fromStdString(model::debugFilterSubcategoryText(filter.subgroup)), this);

    auto* form = new QFormLayout;
    form->addRow(tr("Type"), type_);
    form->addRow(tr("Target"), target_);
    form->addRow(tr("Category"), category_);
    form->addRow(tr("Subcategory"), subcategory_);
    form->addRow(tr("Identifier"), identifier_);

    ok_ = new QPushButton(tr("OK"), this);
    ok_->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &CDebugFilterEditDlg::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    restorePosition();
}

void CDebugFilterEditDlg::confirm() {
    const auto subcategory = model::parseDebugFilterSubcategory(subcategory_->text().toStdString());
    if (!subcategory) {
        context().prompter.tell(this, windowTitle(), tr(kSubcategoryText),
                                shell::PromptIcon::Warning);
        subcategory_->setFocus();
        subcategory_->selectAll();
        return;
    }
    word_ = log::encodeFilter(
        {chosen(*type_), chosen(*target_), chosen(*category_), *subcategory, chosen(*identifier_)});
    accept();
}

} // namespace mirx::monitor
