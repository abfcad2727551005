#include "editors/selectors/selector_assignments_dialog.h"

#include "core/message_ids.h"
#include "editors/label_posting.h"
#include "editors/selectors/hot_key_dialog.h"
#include "editors/selectors/selector_fetch_step.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "model/system_settings.h"
#include "shell/common/prompter.h"
#include "shell/common/record_fetch.h"
#include "shell/common/shell_context.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace mirx::editors {
namespace {

using B = model::SelectorButton;
using A = model::SelectorAssignments;

constexpr std::uint16_t kDefaultRecord = 0xFFFF;

struct ButtonSpec {
    B which;
    const char* caption;
};

#define MIRX_SELECTOR_TEXT(text)                                                                   \
    QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationSelectorAssignmentsDlg", text)

// Buttons that put rows into the list, then those that edit the selected row.
// Their mnemonics are set here so that each of the many buttons has one.
constexpr std::array<ButtonSpec, 11> kListButtons{{
    {B::SplitTalkListen, MIRX_SELECTOR_TEXT("--->  &Split Talk/Listen   --->")},
    {B::TalkOnly, MIRX_SELECTOR_TEXT("--->  &Talk Only  ---------->")},
    {B::ListenOnly, MIRX_SELECTOR_TEXT("--->  &Listen Only  -------->")},
    {B::Spacer, MIRX_SELECTOR_TEXT("S&pacer  ------------->")},
    {B::Row, MIRX_SELECTOR_TEXT("&Row  ---------------->")},
    {B::Page, MIRX_SELECTOR_TEXT("Pa&ge  --------------->")},
    {B::CallNotification, MIRX_SELECTOR_TEXT("&Call Notification --->")},
    {B::SplitScreen, MIRX_SELECTOR_TEXT("Split Scree&n  ------->")},
    {B::Remove, MIRX_SELECTOR_TEXT("Re&move <-----")},
    {B::Duplicate, MIRX_SELECTOR_TEXT("&Duplicate ---->")},
    {B::Clear, MIRX_SELECTOR_TEXT("Cl&ear -------->")},
}};
constexpr std::array<ButtonSpec, 6> kEntryButtons{{
    {B::Latchable, MIRX_SELECTOR_TEXT("L&atchable --->")},
    {B::Ifb, MIRX_SELECTOR_TEXT("&IFB ---------->")},
    {B::Iso, MIRX_SELECTOR_TEXT("IS&O ---------->")},
    {B::SpeakerDim, MIRX_SELECTOR_TEXT("Spea&ker Dim ->")},
    {B::HotKey, MIRX_SELECTOR_TEXT("&Hot Key ------>")},
    {B::AlwaysOn, MIRX_SELECTOR_TEXT("Al&ways On -->")},
}};

std::span<const shell::ListColumn> availableListColumns() {
    static const auto columns = [] {
        std::array<shell::ListColumn, model::kAvailableColumnCount> out{};
        const auto specs = model::availableColumns();
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = {specs[i].title, specs[i].width};
        }
        return out;
    }();
    return columns;
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// Hidden while its width is 0; otherwise that width.
void applyWidths(QTableView* table, std::span<const int> widths) {
    for (std::size_t c = 0; c < widths.size(); ++c) {
        const int column = static_cast<int>(c);
        table->setColumnHidden(column, widths[c] == 0);
        if (widths[c] > 0) {
            table->horizontalHeader()->resizeSection(column, widths[c]);
        }
    }
}

} // namespace

AvailableListModel::AvailableListModel(QObject* parent)
    : shell::RecordListModel(availableListColumns(), parent) {}

void AvailableListModel::setRows(std::vector<model::AvailableRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    byLabel_.clear();
    endResetModel();
}

const model::AvailableRow* AvailableListModel::row(qint64 labelNumber) const {
    // Built on the first look-up, so opening the view does not wait for it.
    if (byLabel_.isEmpty() && !rows_.empty()) {
        byLabel_.reserve(static_cast<qsizetype>(rows_.size()));
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            byLabel_.insert(rows_[i].labelNumber, static_cast<int>(i));
        }
    }
    const auto found = byLabel_.constFind(labelNumber);
    return found == byLabel_.cend() ? nullptr : &rows_[static_cast<std::size_t>(*found)];
}

int AvailableListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

qint64 AvailableListModel::rowKey(int row) const {
    return rows_[static_cast<std::size_t>(row)].labelNumber;
}

QString AvailableListModel::text(int row, int column) const {
    return qs(rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)]);
}

int AvailableListModel::compare(int left, int right, int column) const {
    return model::compareAvailableRows(rows_[static_cast<std::size_t>(left)],
                                       rows_[static_cast<std::size_t>(right)], column);
}

Qt::ItemFlags AvailableListModel::flags(const QModelIndex& index) const {
    return shell::RecordListModel::flags(index) | Qt::ItemIsDragEnabled;
}

QStringList AvailableListModel::mimeTypes() const {
    return {QString::fromLatin1(kLabelMime)};
}

QMimeData* AvailableListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty() || !indexes.front().isValid()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kLabelMime),
                  QByteArray::number(rowKey(indexes.front().row())));
    return data;
}

AssignedListModel::AssignedListModel(QObject* parent)
    : QAbstractTableModel(parent) {}

void AssignedListModel::refresh(
    std::vector<std::array<QString, model::kAssignedColumnCount>> cells) {
    beginResetModel();
    cells_ = std::move(cells);
    endResetModel();
}

int AssignedListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(cells_.size());
}

int AssignedListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(model::kAssignedColumnCount);
}

QVariant AssignedListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() ||
        static_cast<std::size_t>(index.row()) >= cells_.size()) {
        return {};
    }
    return cells_[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
}

QVariant AssignedListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        static_cast<std::size_t>(section) >= model::kAssignedColumnCount) {
        return {};
    }
    return tr(model::assignedColumns()[static_cast<std::size_t>(section)].title);
}

Qt::ItemFlags AssignedListModel::flags(const QModelIndex& index) const {
    // Every place takes a drop: between rows, on a row and below the last.
    return QAbstractTableModel::flags(index) | Qt::ItemIsDropEnabled |
           (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QStringList AssignedListModel::mimeTypes() const {
    return {QString::fromLatin1(kRowMime), QString::fromLatin1(AvailableListModel::kLabelMime)};
}

QMimeData* AssignedListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty() || !indexes.front().isValid()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kRowMime), QByteArray::number(indexes.front().row()));
    return data;
}

bool AssignedListModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                        const QModelIndex&) const {
    return data != nullptr &&
           (data->hasFormat(QString::fromLatin1(kRowMime)) ||
            data->hasFormat(QString::fromLatin1(AvailableListModel::kLabelMime)));
}

bool AssignedListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                     int column, const QModelIndex& parent) {
    if (action == Qt::IgnoreAction || !canDropMimeData(data, action, row, column, parent)) {
        return false;
    }
    // On a row: before it; between rows: at that place; elsewhere: the end.
    const int before = parent.isValid() ? parent.row() : row;
    bool ok = false;
    if (data->hasFormat(QString::fromLatin1(kRowMime))) {
        const int from = data->data(QString::fromLatin1(kRowMime)).toInt(&ok);
        if (ok) {
            emit rowDropped(from, before);
        }
    } else {
        const qint64 label =
            data->data(QString::fromLatin1(AvailableListModel::kLabelMime)).toLongLong(&ok);
        if (ok) {
            emit labelDropped(label, before);
        }
    }
    // The rows are redrawn from the editor; the view removes nothing.
    return false;
}

CClientConfigurationSelectorAssignmentsDlg::CClientConfigurationSelectorAssignmentsDlg(
    shell::ShellContext& context, int clientIndex, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::ClientSelectorAssignments, parent)
    , target_{clientIndex < 0 ? -1 : clientIndex,
              context.mirror.read([](const model::MirrorData& d) {
                  return d.systemSettings.testBit(model::SystemSettings::kOptionBits,
                                                  model::SystemSettings::kOptionSelectorForSelf);
              })}
    , editor_(context.mirror.read([this](const model::MirrorData& d) {
        return model::SelectorEditor(d.labels, target_);
    })) {
    std::string line;
    std::vector<model::AvailableRow> rows;
    context.mirror.read([&](const model::MirrorData& d) {
        line = model::selectedClientLine(d.labels, target_);
        panelHead_ = model::editsPanelHead(d.labels, target_);
        rows = model::buildAvailableRows(d.labels, target_);
    });
    buildControls();
    selectedClient_->setText(qs(line));
    availableModel_->setRows(std::move(rows));
    applyWidths(available_->table(), model::availableColumnWidths(availableModel_->rows()));
    redraw();
    restorePosition();

    fetch_ = new shell::RecordFetch(this);
    std::vector<shell::RecordFetch::Step> steps{selectorAssignmentsStep(
        context, tr("the default selector assignments"), kDefaultRecord, defaultRecord_)};
    if (!target_.isDefault()) {
        steps.push_back(selectorAssignmentsStep(context, tr("the selector assignments"),
                                                static_cast<std::uint16_t>(target_.clientIndex),
                                                clientRecord_));
    }
    fetch_->setSteps(std::move(steps));
    connect(fetch_, &shell::RecordFetch::ready, this,
            &CClientConfigurationSelectorAssignmentsDlg::fetched);
    connect(fetch_, &shell::RecordFetch::failed, this,
            &CClientConfigurationSelectorAssignmentsDlg::giveUp);
    fetch_->start();
}

CClientConfigurationSelectorAssignmentsDlg::~CClientConfigurationSelectorAssignmentsDlg() = default;

void CClientConfigurationSelectorAssignmentsDlg::buildControls() {
    selectedClient_ = new QLabel(this);
    selectedClient_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* selectedBox = new QGroupBox(tr("Selected Client"), this);
    (new QHBoxLayout(selectedBox))->addWidget(selectedClient_);

    availableModel_ = new AvailableListModel(this);
    available_ = new shell::RecordListView(availableModel_, this);
    available_->table()->setAccessibleName(tr("Non-Assigned Selectors"));
    available_->table()->setDragEnabled(true);
    available_->table()->setDragDropMode(QAbstractItemView::DragOnly);
    available_->table()->setDefaultDropAction(Qt::CopyAction);
    auto* availableBox = new QGroupBox(tr("Non-Assigned Selectors"), this);
    (new QVBoxLayout(availableBox))->addWidget(available_);

    assignedModel_ = new AssignedListModel(this);
    assignedTable_ = new QTableView(this);
    assignedTable_->setModel(assignedModel_);
    assignedTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    assignedTable_->setSelectionMode(QAbstractItemView::SingleSelection);
    assignedTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    assignedTable_->setShowGrid(true);
    assignedTable_->setWordWrap(false);
    assignedTable_->setTabKeyNavigation(false);
    assignedTable_->verticalHeader()->hide();
    assignedTable_->setDragDropMode(QAbstractItemView::DragDrop);
    assignedTable_->setDefaultDropAction(Qt::CopyAction);
    assignedTable_->setDragDropOverwriteMode(false);
    assignedTable_->setDropIndicatorShown(true);
    assignedTable_->setAccessibleName(tr("Assigned Selectors"));
    assignedTable_->setAccessibleDescription(
        tr("Ctrl+Up and Ctrl+Down move the selected selector."));
    assignedTable_->installEventFilter(this);
    assignedTable_->viewport()->installEventFilter(this);
    auto* assignedBox = new QGroupBox(tr("Assigned Selectors"), this);
    (new QVBoxLayout(assignedBox))->addWidget(assignedTable_);

    auto* listButtons = new QVBoxLayout;
    auto* entryButtons = new QVBoxLayout;
    const auto makeButtons = [this](const auto& specs, QVBoxLayout* column) {
        column->addStretch(1);
        for (const ButtonSpec& spec : specs) {
            auto* button = new QPushButton(tr(spec.caption), this);
            button->setAutoDefault(false);
            buttons_[static_cast<std::size_t>(spec.which)] = button;
            column->addWidget(button);
            connect(button, &QPushButton::clicked, this,
                    [this, which = spec.which] { press(which); });
        }
        column->addStretch(1);
    };
    makeButtons(kListButtons, listButtons);
    makeButtons(kEntryButtons, entryButtons);
    button(B::SplitScreen)->setVisible(editor_.splitScreenShown());

    perRow_ = new QLineEdit(this);
    perRow_->setValidator(new QIntValidator(-32768, 32767, perRow_));
    perRow_->setMaximumWidth(80);
    perRowLabel_ = new QLabel(tr("Selectors to Displa&y per Row"), this);
    perRowLabel_->setBuddy(perRow_);
    nonLatchable_ = new QCheckBox(tr("Defa&ult Assignments to Non-Latchable"), this);
    activation_ = new QComboBox(this);
    for (const char* name : model::kActivationMethodNames) {
        activation_->addItem(tr(name));
    }
    activationLabel_ = new QLabel(tr("Selector Acti&vation Method"), this);
    activationLabel_->setBuddy(activation_);
    for (QWidget* panel : {static_cast<QWidget*>(perRowLabel_), static_cast<QWidget*>(perRow_),
                           static_cast<QWidget*>(nonLatchable_)}) {
        panel->setVisible(panelHead_);
    }
    activationLabel_->setVisible(!panelHead_);
    activation_->setVisible(!panelHead_);
    auto* head = new QHBoxLayout;
    head->addWidget(perRowLabel_);
    head->addWidget(perRow_);
    head->addSpacing(12);
    head->addWidget(nonLatchable_);
    head->addWidget(activationLabel_);
    head->addWidget(activation_);
    head->addStretch(1);

    auto* dialogButtons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = dialogButtons->button(QDialogButtonBox::Ok);
    head->addWidget(dialogButtons);
    connect(dialogButtons, &QDialogButtonBox::accepted, this,
            &CClientConfigurationSelectorAssignmentsDlg::accept);
    connect(dialogButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* lists = new QHBoxLayout;
    lists->addWidget(availableBox, 3);
    lists->addLayout(listButtons);
    lists->addLayout(entryButtons);
    lists->addWidget(assignedBox, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(selectedBox);
    layout->addLayout(lists, 1);
    layout->addLayout(head);

    connect(available_, &shell::RecordListView::selectionChanged, this, [this](qint64 key) {
        const model::AvailableRow* row = availableModel_->row(key);
        editor_.selectAvailable(row == nullptr ? model::AvailableSelection{}
                                               : model::availableSelection(*row));
        updateButtons();
    });
    connect(assignedTable_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (syncing_) {
            return;
        }
        const QModelIndexList rows = assignedTable_->selectionModel()->selectedRows();
        editor_.selectRow(rows.isEmpty() ? -1 : rows.front().row());
        updateButtons();
    });
    // Enter or a double click on a label adds it as its first add button.
    connect(available_, &shell::RecordListView::activated, this, [this] {
        if (loaded_) {
            addAllowed();
        }
    });
    connect(assignedModel_, &AssignedListModel::labelDropped, this,
            &CClientConfigurationSelectorAssignmentsDlg::dropLabel, Qt::QueuedConnection);
    connect(assignedModel_, &AssignedListModel::rowDropped, this,
            &CClientConfigurationSelectorAssignmentsDlg::dropRow, Qt::QueuedConnection);
}

void CClientConfigurationSelectorAssignmentsDlg::fetched() {
    const A& record = target_.isDefault() ? *defaultRecord_ : *clientRecord_;
    context().mirror.read([&](const model::MirrorData& d) { editor_.load(d.labels, record); });
    perRow_->setText(QString::number(record.get(A::kSelectorsPerRow)));
    nonLatchable_->setChecked(record.testBit(A::kOptionBits, A::kDefaultNonLatchableBit));
    receivedActivation_ = record.get(A::kActivationMethod);
    activation_->setCurrentIndex(
        receivedActivation_ < activation_->count() ? static_cast<int>(receivedActivation_) : -1);
    loaded_ = true;
    redraw();
}

void CClientConfigurationSelectorAssignmentsDlg::press(B which) {
    if (!loaded_ || !editor_.enabled(which)) {
        return;
    }
    switch (which) {
    case B::Remove:
        editor_.remove();
        break;
    case B::Clear:
        editor_.clear();
        break;
    case B::Latchable:
    case B::Ifb:
    case B::Iso:
    case B::SpeakerDim:
        editor_.toggle(which);
        break;
    case B::AlwaysOn:
        editor_.cycleAlwaysOn();
        break;
    case B::HotKey:
        openHotKey();
        return;
    case B::Duplicate:
        startDuplicate();
        return;
    default:
        addEntry(which);
        return;
    }
    redraw();
}

bool CClientConfigurationSelectorAssignmentsDlg::addEntry(B which) {
    if (!editor_.add(which, nonLatchable_->isChecked())) {
        return false;
    }
    redraw();
    if (which != B::SplitScreen) {
        // The next label, so a run of labels is added click by click.
        const QList<qint64> keys = available_->shownKeys();
        const auto at = keys.indexOf(available_->selectedKey());
        if (at >= 0 && at + 1 < keys.size()) {
            available_->selectKey(keys[at + 1]);
        }
    }
    return true;
}

void CClientConfigurationSelectorAssignmentsDlg::dropLabel(qint64 labelNumber, int before) {
    if (!loaded_ || closed() || !available_->selectKey(labelNumber)) {
        return;
    }
    // What a click on the row and then on the first add button it allows
    // would do.
    editor_.selectRow(before);
    if (!addAllowed()) {
        redraw();
    }
}

bool CClientConfigurationSelectorAssignmentsDlg::addAllowed() {
    for (const B add : {B::SplitTalkListen, B::TalkOnly, B::ListenOnly}) {
        if (editor_.enabled(add)) {
            return addEntry(add);
        }
    }
    return false;
}

void CClientConfigurationSelectorAssignmentsDlg::dropRow(int from, int before) {
    if (!loaded_ || closed()) {
        return;
    }
    const int count = static_cast<int>(editor_.rows().size());
    int to = before < 0 || before > count ? count - 1 : before;
    if (to > from) {
        --to;
    }
    if (to != from && editor_.moveRow(from, to)) {
        editor_.selectRow(to);
        redraw();
    }
}

void CClientConfigurationSelectorAssignmentsDlg::moveSelected(int step) {
    const int from = editor_.selectedRow();
    const int to = from + step;
    if (!loaded_ || from < 0 || !editor_.moveRow(from, to)) {
        return;
    }
    redraw();
}

void CClientConfigurationSelectorAssignmentsDlg::openHotKey() {
    const std::optional<model::HotKeyChoice> current = editor_.hotKey();
    if (!current || !hotKey_.isNull()) {
        return;
    }
    hotKey_ = new CHotKeySelectionDlg(context(), *current, this);
    hotKey_->setAttribute(Qt::WA_DeleteOnClose);
    const int row = editor_.selectedRow();
    connect(hotKey_, &QDialog::finished, this, [this, row](int result) {
        if (result != QDialog::Accepted || hotKey_.isNull() || closed()) {
            return;
        }
        editor_.selectRow(row);
        editor_.setHotKey(hotKey_->choice());
        redraw();
    });
    hotKey_->open();
}

void CClientConfigurationSelectorAssignmentsDlg::startDuplicate() {
    const std::optional<std::uint16_t> second = editor_.beginDuplicate();
    if (!second) {
        return;
    }
    redraw();
    if (duplicateFetch_ == nullptr) {
        duplicateFetch_ = new shell::RecordFetch(this);
        connect(duplicateFetch_, &shell::RecordFetch::failed, this,
                &CClientConfigurationSelectorAssignmentsDlg::giveUp);
    }
    disconnect(duplicateFetch_, &shell::RecordFetch::ready, this, nullptr);
    connect(duplicateFetch_, &shell::RecordFetch::ready, this, [this] { duplicated(); });
    duplicateFetch_->setSteps({selectorAssignmentsStep(
        context(), tr("the selector assignments to duplicate"), *second, duplicateRecord_)});
    duplicateFetch_->start();
}

void CClientConfigurationSelectorAssignmentsDlg::duplicated() {
    context().mirror.read(
        [&](const model::MirrorData& d) { editor_.finishDuplicate(d.labels, *duplicateRecord_); });
    redraw();
}

void CClientConfigurationSelectorAssignmentsDlg::redraw() {
    std::vector<std::array<QString, model::kAssignedColumnCount>> cells;
    std::array<int, model::kAssignedColumnCount> widths{};
    context().mirror.read([&](const model::MirrorData& d) {
        cells.reserve(editor_.rows().size());
        for (const model::AssignedRow& row : editor_.rows()) {
            const auto texts = model::assignedCells(d.labels, row);
            std::array<QString, model::kAssignedColumnCount> shown;
            for (std::size_t c = 0; c < texts.size(); ++c) {
                shown[c] = qs(texts[c]);
            }
            cells.push_back(std::move(shown));
        }
        widths = model::assignedColumnWidths(d.labels, editor_.rows());
    });
    syncing_ = true;
    assignedModel_->refresh(std::move(cells));
    applyWidths(assignedTable_, widths);
    showSelection();
    syncing_ = false;
    updateButtons();
}

void CClientConfigurationSelectorAssignmentsDlg::showSelection() {
    const int row = editor_.selectedRow();
    QItemSelectionModel* selection = assignedTable_->selectionModel();
    if (row < 0) {
        selection->clearSelection();
        return;
    }
    const QModelIndex index = assignedModel_->index(row, 0);
    selection->setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    assignedTable_->scrollTo(index);
}

void CClientConfigurationSelectorAssignmentsDlg::updateButtons() {
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->setEnabled(loaded_ && editor_.enabled(static_cast<B>(i)));
    }
    // An empty list while a duplicate is on its way is not the list to keep.
    ok_->setEnabled(loaded_ && !editor_.duplicatePending());
}

bool CClientConfigurationSelectorAssignmentsDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == assignedTable_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            moveSelected(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (watched == assignedTable_->viewport() &&
        (press || event->type() == QEvent::MouseButtonRelease)) {
        // A click on the selected row clears the selection.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int row = assignedTable_->rowAt(mouse->position().toPoint().y());
        if (mouse->button() != Qt::LeftButton) {
            return ViewDialog::eventFilter(watched, event);
        }
        if (press) {
            pressedRow_ = row;
            pressedSelected_ = row >= 0 && row == editor_.selectedRow();
        } else {
            const bool clear = pressedSelected_ && row == pressedRow_;
            pressedSelected_ = false;
            if (clear) {
                QMetaObject::invokeMethod(
                    this,
                    [this, row] {
                        if (editor_.selectedRow() == row) {
                            editor_.clickRow(row);
                            redraw();
                        }
                    },
                    Qt::QueuedConnection);
            }
        }
    }
    return ViewDialog::eventFilter(watched, event);
}

void CClientConfigurationSelectorAssignmentsDlg::accept() {
    if (!loaded_ || editor_.duplicatePending() || closed() || !context().link.loggedIn()) {
        return;
    }
    const std::string perRow = perRow_->text().toStdString();
    const int method = activation_->currentIndex();
    const model::SelectorHeadValues head{
        perRow, nonLatchable_->isChecked(),
        static_cast<model::ActivationMethod>(method < 0 ? receivedActivation_ : method)};
    const A record = editor_.save(head);
    bool apply = false;
    if (target_.isDefault()) {
        apply = context().prompter.ask(this, viewCaption(viewKey()),
                                       tr(model::kApplyDefaultSelectorsQuestion));
        // Logged out while asking: the view closed and sends nothing.
        if (closed()) {
            return;
        }
    }
    const model::OutgoingRecord post = model::selectorAssignmentsPost(target_, record, apply);
    if (!context().link.requestQueue().PostCopy(post.id, post.second, post.bytes.data(),
                                                post.bytes.size())) {
        giveUp(tr("The selector assignments could not be sent to the server; nothing was "
                  "changed."));
        return;
    }
    context().mirror.edit([&](model::MirrorData& d) {
        if (target_.isDefault()) {
            d.clients.setDefaultSelectorAssignments(record);
        } else {
            d.clients.setSelectorAssignments(static_cast<std::uint16_t>(target_.clientIndex),
                                             record);
        }
    });
    ViewDialog::accept();
}

void CClientConfigurationSelectorAssignmentsDlg::closing(int) {
    fetch_->cancel();
    if (duplicateFetch_ != nullptr) {
        duplicateFetch_->cancel();
    }
}

} // namespace mirx::editors
