#include "editors/clients/client_list_dialog.h"

#include "editors/clients/client_edit_dialog.h"
#include "editors/clients/client_list_model.h"
#include "editors/clients/client_settings_editors.h"
#include "editors/clients/template_query_dialog.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "shell/common/prompter.h"
#include "shell/common/record_list.h"
#include "shell/common/record_sender.h"
#include "shell/common/shell_context.h"
#include "shell/common/window_title.h"

#include <algorithm>

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

namespace mirx::editors {
namespace {

using B = model::ClientListButton;
using model::TemplateKind;

constexpr const char* kDeleteCaption =
    QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationDlg", "%1 Client Configuration Delete");
constexpr const char* kDeleteQuestion =
    QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationDlg",
                      "WARNING: Are you sure you wish to delete this client?");

struct ButtonSpec {
    B which;
    const char* caption;
};

#define MIRX_CLIENT_LIST_TEXT(text)                                                                \
    QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationDlg", text)

constexpr std::array<ButtonSpec, 7> kClientButtons{{
    {B::Add, MIRX_CLIENT_LIST_TEXT("Add")},
    {B::Edit, MIRX_CLIENT_LIST_TEXT("Edit")},
    {B::Delete, MIRX_CLIENT_LIST_TEXT("Delete")},
    {B::Duplicate, MIRX_CLIENT_LIST_TEXT("Duplicate")},
    {B::Options, MIRX_CLIENT_LIST_TEXT("Options ...")},
    {B::AudioSettings, MIRX_CLIENT_LIST_TEXT("Audio Settings ...")},
    {B::SelectorAssignments, MIRX_CLIENT_LIST_TEXT("Selector Assignments ...")},
}};
constexpr std::array<ButtonSpec, 6> kTemplateButtons{{
    {B::LinkSelectorAssignments, MIRX_CLIENT_LIST_TEXT("Link Selector Assignments")},
    {B::LinkAudioSettings, MIRX_CLIENT_LIST_TEXT("Link Audio Settings")},
    {B::LinkOptions, MIRX_CLIENT_LIST_TEXT("Link Options")},
    {B::UnlinkSelectorAssignments, MIRX_CLIENT_LIST_TEXT("Unlink Selector Assignments")},
    {B::UnlinkAudioSettings, MIRX_CLIENT_LIST_TEXT("Unlink Audio Settings")},
    {B::UnlinkOptions, MIRX_CLIENT_LIST_TEXT("Unlink Options")},
}};

// The defaults records, edited in their own views.
struct DefaultsSpec {
    TemplateKind kind;
    int index;
    const char* caption;
};
constexpr std::array<DefaultsSpec, 3> kDefaultsButtons{{
    {TemplateKind::Options, model::kDefaultOptionsIndex,
     MIRX_CLIENT_LIST_TEXT("Default Options ...")},
    {TemplateKind::AudioSettings, model::kDefaultAudioSettingsIndex,
     MIRX_CLIENT_LIST_TEXT("Default Audio Settings ...")},
    {TemplateKind::SelectorAssignments, model::kDefaultSelectorAssignmentsIndex,
     MIRX_CLIENT_LIST_TEXT("Default Selector Assignments ...")},
}};

#undef MIRX_CLIENT_LIST_TEXT

// Buttons that change something, off for a read-only administrator.
constexpr std::array<B, 10> kChangingButtons{B::Add,
                                             B::Edit,
                                             B::Delete,
                                             B::Duplicate,
                                             B::LinkSelectorAssignments,
                                             B::LinkAudioSettings,
                                             B::LinkOptions,
                                             B::UnlinkSelectorAssignments,
                                             B::UnlinkAudioSettings,
                                             B::UnlinkOptions};

} // namespace

CClientConfigurationDlg::CClientConfigurationDlg(shell::ShellContext& context, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::ClientConfiguration, parent)
    , labelChanges_(context.mirror.flags().labels) {
    listContext_.masterAdministrator = context.link.fullAdministrator();
    listContext_.rtsTrunking = context.link.trunkingMode() == link::TrunkingMode::Rts;
    selection_.mayChange = context.link.fullAdministrator();
    sender_ = new shell::RecordSender(context.link.requestQueue(), this);
    buildControls();
    reloadRows();
    table()->sortByColumn(static_cast<int>(model::ClientColumn::TypeClass), Qt::AscendingOrder);
    updateButtons();
    // Labels another console or the server changed while the list is open.
    viewTimer(kLabelPollMs, [this] {
        if (child_.isNull() && recordsWaiting() == 0 && labelChanges_.take()) {
            followServerChanges();
        }
    });
    restorePosition();
}

CClientConfigurationDlg::~CClientConfigurationDlg() = default;

QTableView* CClientConfigurationDlg::table() const {
    return list_->table();
}

std::size_t CClientConfigurationDlg::recordsWaiting() const {
    return sender_ == nullptr ? 0 : sender_->waiting();
}

void CClientConfigurationDlg::buildControls() {
    model_ = new ClientListModel(listContext_.rtsTrunking, this);
    list_ = new shell::RecordListView(model_, this);
    table()->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table()->horizontalHeader()->setMinimumSectionSize(0);

    auto* listBox = new QGroupBox(tr("Client List"), this);
    auto* listLayout = new QVBoxLayout(listBox);
    listLayout->addWidget(list_);

    const auto makeButtons = [this](QGroupBox* box, const auto& specs, int columns) {
        auto* grid = new QGridLayout(box);
        int at = 0;
        for (const ButtonSpec& spec : specs) {
            auto* button = new QPushButton(tr(spec.caption), box);
            button->setAutoDefault(false);
            buttons_[static_cast<std::size_t>(spec.which)] = button;
            grid->addWidget(button, at / columns, at % columns);
            ++at;
        }
    };
    auto* clientBox = new QGroupBox(tr("Selected Client"), this);
    makeButtons(clientBox, kClientButtons, 4);
    auto* templateBox = new QGroupBox(tr("Templates"), this);
    makeButtons(templateBox, kTemplateButtons, 3);

    // The defaults for every client sit beside Close: they need no selection.
    // A plain row rather than a button box: the box makes its first button
    // its focus proxy, and Tab then circles through the box's buttons.
    auto* bottomRow = new QHBoxLayout;
    for (const DefaultsSpec& spec : kDefaultsButtons) {
        auto* button = new QPushButton(tr(spec.caption), this);
        button->setAutoDefault(false);
        bottomRow->addWidget(button);
        defaultsButtons_[static_cast<std::size_t>(spec.kind)] = button;
        connect(button, &QPushButton::clicked, this, [this, kind = spec.kind, index = spec.index] {
            if (child_.isNull() && !closed()) {
                openEditor(kind, index, false, static_cast<std::int16_t>(model::kNoLabel));
            }
        });
    }
    bottomRow->addStretch(1);
    auto* close = new QPushButton(tr("Close"), this);
    close->setAutoDefault(false);
    bottomRow->addWidget(close);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listBox, 1);
    layout->addWidget(clientBox);
    layout->addWidget(templateBox);
    layout->addLayout(bottomRow);

    QWidget* previous = list_->filterBox();
    for (const ButtonSpec& spec : kClientButtons) {
        QWidget::setTabOrder(previous, button(spec.which));
        previous = button(spec.which);
    }
    for (const ButtonSpec& spec : kTemplateButtons) {
        QWidget::setTabOrder(previous, button(spec.which));
        previous = button(spec.which);
    }

    connect(button(B::Add), &QPushButton::clicked, this, &CClientConfigurationDlg::addClient);
    connect(button(B::Edit), &QPushButton::clicked, this, &CClientConfigurationDlg::editClient);
    connect(button(B::Delete), &QPushButton::clicked, this, &CClientConfigurationDlg::deleteClient);
    connect(button(B::Duplicate), &QPushButton::clicked, this,
            &CClientConfigurationDlg::duplicateClient);
    const std::array<std::pair<B, TemplateKind>, 3> editors{
        {{B::Options, TemplateKind::Options},
         {B::AudioSettings, TemplateKind::AudioSettings},
         {B::SelectorAssignments, TemplateKind::SelectorAssignments}}};
    for (const auto& [which, kind] : editors) {
        connect(button(which), &QPushButton::clicked, this,
                [this, kind = kind] { openSettings(kind); });
    }
    const std::array<std::tuple<B, TemplateKind, bool>, 6> links{
        {{B::LinkSelectorAssignments, TemplateKind::SelectorAssignments, true},
         {B::LinkAudioSettings, TemplateKind::AudioSettings, true},
         {B::LinkOptions, TemplateKind::Options, true},
         {B::UnlinkSelectorAssignments, TemplateKind::SelectorAssignments, false},
         {B::UnlinkAudioSettings, TemplateKind::AudioSettings, false},
         {B::UnlinkOptions, TemplateKind::Options, false}}};
    for (const auto& [which, kind, link] : links) {
        connect(button(which), &QPushButton::clicked, this,
                [this, kind = kind, link = link] { changeLinks(kind, link); });
    }

    connect(table()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CClientConfigurationDlg::noteSelection);
    connect(list_, &shell::RecordListView::activated, this, [this] {
        if (pressable(B::Edit)) {
            editClient();
        }
    });
    // Delete belongs to the list, so it still edits text in the filter box.
    auto* deleteKey =
        new QShortcut(QKeySequence::Delete, table(), nullptr, nullptr, Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, [this] {
        if (pressable(B::Delete)) {
            deleteClient();
        }
    });
    auto* insertKey = new QShortcut(QKeySequence(Qt::Key_Insert), this, nullptr, nullptr,
                                    Qt::WidgetWithChildrenShortcut);
    connect(insertKey, &QShortcut::activated, this, [this] {
        if (pressable(B::Add)) {
            addClient();
        }
    });
}

void CClientConfigurationDlg::reloadRows() {
    model_->setRows(context().mirror.read([this](const model::MirrorData& mirror) {
        return model::buildClientRows(mirror.labels, mirror.clients, listContext_);
    }));
    const auto widths = model_->columnWidths();
    for (std::size_t column = 0; column < widths.size(); ++column) {
        table()->horizontalHeader()->resizeSection(static_cast<int>(column), widths[column]);
    }
}

void CClientConfigurationDlg::refill(const std::vector<int>& clients) {
    for (const int client : clients) {
        model_->putRow(context().mirror.read([this, client](const model::MirrorData& mirror) {
            return model::buildClientRow(mirror.labels, mirror.clients, client, listContext_);
        }));
    }
    revealColumns();
}

void CClientConfigurationDlg::followServerChanges() {
    model_->setRows(context().mirror.read([this](const model::MirrorData& mirror) {
        return model::buildClientRows(mirror.labels, mirror.clients, listContext_);
    }));
    revealColumns();
    noteSelection();
}

void CClientConfigurationDlg::revealColumns() {
    QHeaderView* header = table()->horizontalHeader();
    const auto widths = model_->columnWidths();
    for (std::size_t column = 0; column < widths.size(); ++column) {
        const int c = static_cast<int>(column);
        if (model_->initialWidth(c) == 0 && header->sectionSize(c) == 0 && widths[column] > 0) {
            header->resizeSection(c, widths[column]);
        }
    }
}

std::vector<int> CClientConfigurationDlg::rowsInListOrder() const {
    std::vector<const model::ClientRow*> rows;
    rows.reserve(model_->rows().size());
    for (const model::ClientRow& row : model_->rows()) {
        rows.push_back(&row);
    }
    const QHeaderView* header = table()->horizontalHeader();
    const int column = header->sortIndicatorSection();
    if (column >= 0 && column < static_cast<int>(model::kClientColumnCount)) {
        const int direction = header->sortIndicatorOrder() == Qt::AscendingOrder ? 1 : -1;
        std::sort(rows.begin(), rows.end(), [column, direction](const auto* a, const auto* b) {
            return direction * model::compareClientRows(*a, *b, column) < 0;
        });
    }
    std::vector<int> clients;
    clients.reserve(rows.size());
    for (const model::ClientRow* row : rows) {
        clients.push_back(row->clientIndex);
    }
    return clients;
}

std::vector<int> CClientConfigurationDlg::selectedInListOrder() const {
    QModelIndexList rows = table()->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<int> clients;
    clients.reserve(static_cast<std::size_t>(rows.size()));
    for (const QModelIndex& index : rows) {
        clients.push_back(
            static_cast<int>(index.data(shell::RecordListModel::kKeyRole).toLongLong()));
    }
    return clients;
}

void CClientConfigurationDlg::noteSelection() {
    const std::vector<int> selected = selectedInListOrder();
    context().mirror.read([this, &selected](const model::MirrorData& mirror) {
        model::noteSelection(selection_, mirror.labels, selected);
        return 0;
    });
    updateButtons();
}

void CClientConfigurationDlg::updateButtons() {
    const model::ClientListButtons on =
        context().mirror.read([this](const model::MirrorData& mirror) {
            return model::clientListButtons(mirror.labels, selection_);
        });
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->setEnabled(on.enabled(static_cast<B>(i)));
    }
    if (!selection_.mayChange) {
        const QString why =
            shell::privilegeNote(shell::ViewPrivilege::FullAdministrator, context().link);
        for (const B which : kChangingButtons) {
            button(which)->setToolTip(why);
        }
    }
}

bool CClientConfigurationDlg::pressable(B which) const {
    return child_.isNull() && !closed() && button(which)->isEnabled();
}

void CClientConfigurationDlg::addClient() {
    openEdit(-1, -1);
}

void CClientConfigurationDlg::editClient() {
    if (selection_.selectedClient >= 0) {
        openEdit(selection_.selectedClient, -1);
    }
}

void CClientConfigurationDlg::duplicateClient() {
    if (selection_.selectedClient >= 0) {
        openEdit(selection_.selectedClient, selection_.selectedClient);
    }
}

void CClientConfigurationDlg::openEdit(int clientIndex, int sourceClient) {
    if (!child_.isNull() || sender_ == nullptr) {
        return;
    }
    auto* view =
        new CClientConfigurationEditDlg(context(), clientIndex, sourceClient, *sender_, this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    child_ = view;
    connect(view, &QDialog::finished, this, [this, view](int result) {
        child_ = nullptr;
        if (result != QDialog::Accepted || view->savedClient() < 0 || closed()) {
            return;
        }
        const int client = view->savedClient();
        refill({client});
        list_->selectKey(client);
        noteSelection();
    });
    view->open();
}

void CClientConfigurationDlg::deleteClient() {
    const int client = selection_.selectedClient;
    if (client < 0 || sender_ == nullptr) {
        return;
    }
    shell::ShellContext& ctx = context();
    if (!ctx.prompter.ask(this, tr(kDeleteCaption).arg(QLatin1String(shell::kProductWord)),
                          tr(kDeleteQuestion))) {
        return;
    }
    const QList<qint64> shown = list_->shownKeys();
    const auto position = shown.indexOf(client);
    const std::vector<int> rows = rowsInListOrder();
    model::LabelChanges changes = ctx.mirror.edit([client, &rows](model::MirrorData& mirror) {
        return model::deleteClient(mirror.labels, client, rows);
    });
    sender_->send(std::move(changes.posts));
    refill(changes.changedClients);
    model_->removeClient(client);
    selection_.selectedClient = -1;
    selection_.selectedRows = 0;
    table()->selectionModel()->clearSelection();
    const QList<qint64> after = list_->shownKeys();
    if (position >= 0 && position < after.size()) {
        list_->selectKey(after[position]);
    }
    noteSelection();
}

void CClientConfigurationDlg::openSettings(TemplateKind kind) {
    const int client = selection_.selectedClient;
    if (client < 0 || !child_.isNull()) {
        return;
    }
    const model::SettingsEditorTarget target =
        context().mirror.read([&](const model::MirrorData& mirror) {
            return model::settingsEditorTarget(mirror.labels, kind, client,
                                               selection_.currentClientLabel);
        });
    if (!target.askFirst) {
        openEditor(kind, client, false, target.templateValue);
        return;
    }
    auto* query = new CClientConfigurationTemplateQueryDlg(context(), target.templateClient >= 0,
                                                           selection_.mayChange, this);
    query->setAttribute(Qt::WA_DeleteOnClose);
    child_ = query;
    connect(query, &QDialog::finished, this, [this, kind, client, target](int result) {
        child_ = nullptr;
        if (closed()) {
            return;
        }
        if (result == CClientConfigurationTemplateQueryDlg::kUnlinkResult && selection_.mayChange) {
            const std::vector<int> rows = rowsInListOrder();
            const std::vector<int> one{client};
            apply(context().mirror.edit([&](model::MirrorData& mirror) {
                return model::unlinkTemplate(mirror.labels, kind, one, rows);
            }));
            openEditor(kind, client, true, target.templateValue);
        } else if (result == QDialog::Accepted && target.templateClient >= 0) {
            openEditor(kind, target.templateClient, false, target.templateValue);
        }
    });
    query->open();
}

void CClientConfigurationDlg::openEditor(TemplateKind kind, int clientIndex, bool restoreOnCancel,
                                         std::int16_t restoreValue) {
    QDialog* editor = createSettingsEditor(context(), kind, clientIndex, this);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    child_ = editor;
    connect(editor, &QDialog::finished, this,
            [this, kind, clientIndex, restoreOnCancel, restoreValue](int result) {
                child_ = nullptr;
                if (!restoreOnCancel || result == QDialog::Accepted || closed()) {
                    return;
                }
                // The unlink went to the server; so does putting it back.
                apply(context().mirror.edit([&](model::MirrorData& mirror) {
                    return model::restoreTemplate(mirror.labels, kind, clientIndex, restoreValue);
                }));
            });
    editor->open();
}

void CClientConfigurationDlg::changeLinks(TemplateKind kind, bool link) {
    std::vector<int> selected = selectedInListOrder();
    if (selected.empty() && selection_.selectedClient >= 0) {
        selected.push_back(selection_.selectedClient);
    }
    const std::vector<int> rows = rowsInListOrder();
    const int source = selection_.currentClientLabel;
    apply(context().mirror.edit([&](model::MirrorData& mirror) {
        return link ? model::linkTemplate(mirror.labels, kind, source, selected, rows)
                    : model::unlinkTemplate(mirror.labels, kind, selected, rows);
    }));
}

void CClientConfigurationDlg::apply(model::LabelChanges changes) {
    if (sender_ != nullptr) {
        sender_->send(std::move(changes.posts));
    }
    refill(changes.changedClients);
    updateButtons();
}

void CClientConfigurationDlg::closing(int result) {
    Q_UNUSED(result)
    if (sender_ != nullptr) {
        shell::RecordSender* sender = sender_;
        sender_ = nullptr;
        sender->finishAlone();
    }
}

} // namespace mirx::editors
