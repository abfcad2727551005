#include "shell/main/main_window.h"

#include "commandfiles/command_files.h"
#include "core/message_ids.h"
#include "link/server_connection_handler.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/mirror.h"
#include "reports/status_text.h"
#include "shell/commandfiles/command_file_timers.h"
#include "shell/common/accessible_names.h"
#include "shell/common/mnemonics.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"
#include "shell/common/status_palette.h"
#include "shell/common/window_position.h"
#include "shell/common/window_title.h"
#include "shell/main/about_dialog.h"

#include <algorithm>
#include <filesystem>

#include <QAction>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace mirx::shell {
namespace {

constexpr const char* kPositionPrefix = "Main";
constexpr std::uint8_t kRequestYes = 1;

const char* const kRestartCaption = "System Restart Confirmation";
const char* const kRestartText =
    "WARNING: This will result in a server restart and will "
    "temporarily render the system inoperable. Do you wish to proceed?";
const char* const kFailoverCaption = "Force Failover Confirmation";
const char* const kFailoverText = "WARNING: This will result in a forced failover and result in "
                                  "the momentary disconnection of all clients. Do you wish to "
                                  "proceed?";

reports::Trunking reportTrunking(link::TrunkingMode mode) {
    switch (mode) {
    case link::TrunkingMode::Rts:
        return reports::Trunking::Rts;
    case link::TrunkingMode::Delec:
        return reports::Trunking::Delec;
    case link::TrunkingMode::None:
        break;
    }
    return reports::Trunking::None;
}

QLabel* statusLabel(QWidget* parent, int lines = 1) {
    auto* label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    // Wide enough for the longest status texts without clipping.
    const QFontMetrics metrics = label->fontMetrics();
    int width = 0;
    for (const char* text : {"Trunk Master Off-Line", "Secondary Standby", "SECONDARY ACTIVE"}) {
        width = std::max(width, metrics.horizontalAdvance(QString::fromLatin1(text)));
    }
    label->setMinimumWidth(width + 24);
    label->setMinimumHeight(label->fontMetrics().height() * lines + 6);
    return label;
}

} // namespace

CSystemAdministrationDlg::CSystemAdministrationDlg(ShellContext& context, const ViewRegistry& views,
                                                   Layout layout, QWidget* parent)
    : QDialog(parent)
    , context_(context)
    , views_(views)
    , layout_(layout) {
    setWindowTitle(shell::windowTitle(kMainCaption, context_.profile));
    setWindowIcon(QIcon(QStringLiteral(":/mirx/mirx-admin.svg")));
    // Without a system menu to extend, About lives in the window's context
    // menu and on F1.
    auto* about = new QAction(tr("&About System Administration..."), this);
    about->setShortcut(QKeySequence::HelpContents);
    connect(about, &QAction::triggered, this, &CSystemAdministrationDlg::showAbout);
    addAction(about);
    auto* quit = new QAction(tr("E&xit"), this);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::WindowShortcut);
    connect(quit, &QAction::triggered, this, &QDialog::reject);
    addAction(quit);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    buildLayout();
    adjustSize();
    restoreWindowPosition(*this, context_.settings, kPositionPrefix);

    connectionWatch_.setInterval(kConnectionWatchMs);
    statusRefresh_.setInterval(kStatusRefreshMs);
    connect(&connectionWatch_, &QTimer::timeout, this, &CSystemAdministrationDlg::watchConnection);
    connect(&statusRefresh_, &QTimer::timeout, this, &CSystemAdministrationDlg::statusTick);
    statusRefresh_.start();
    connectionWatch_.start();
    if (context_.commandFiles != nullptr) {
        commandFileTimers_ = new CommandFileTimers(*context_.commandFiles, this);
    }
}

CSystemAdministrationDlg::~CSystemAdministrationDlg() = default;

void CSystemAdministrationDlg::buildLayout() {
    auto makeButton = [this](ViewKey key) {
        auto* button = new QPushButton(viewCaption(key), this);
        buttons_[key] = button;
        connect(button, &QPushButton::clicked, this, [this, key] { openViewFor(key); });
        return button;
    };

    auto* information = new QGroupBox(tr("System Information"), this);
    auto* informationGrid = new QGridLayout(information);
    upTime_ = statusLabel(information);
    connections_ = statusLabel(information);
    audioInputs_ = statusLabel(information);
    audioOutputs_ = statusLabel(information);
    processor_ = statusLabel(information);
    failoverStatus_ = statusLabel(information, 2);
    int row = 0;
    auto addField = [&](const QString& caption, QLabel* field) {
        informationGrid->addWidget(new QLabel(caption, information), row, 0);
        informationGrid->addWidget(field, row, 1);
        ++row;
    };
    addField(tr("System Up Time:"), upTime_);
    addField(tr("Active Connections:"), connections_);
    addField(tr("Active Audio Inputs:"), audioInputs_);
    addField(tr("Active Audio Outputs:"), audioOutputs_);
    addField(tr("Processor Utilization:"), processor_);
    addField(tr("Failover Status:"), failoverStatus_);
    if (layout_ == Layout::Trunking) {
        trunkingStatus_ = statusLabel(information);
        activeTrunks_ = statusLabel(information);
        auto* trunking = new QGroupBox(tr("Trunking Status"), information);
        auto* trunkingGrid = new QGridLayout(trunking);
        trunkingGrid->addWidget(new QLabel(tr("Trunking Status:"), trunking), 0, 0);
        trunkingGrid->addWidget(trunkingStatus_, 0, 1);
        trunkingGrid->addWidget(new QLabel(tr("Active Trunks:"), trunking), 1, 0);
        trunkingGrid->addWidget(activeTrunks_, 1, 1);
        informationGrid->addWidget(trunking, row++, 0, 1, 2);
    }
    // An enlarged window grows the space below the fields, not the fields.
    informationGrid->setRowStretch(row, 1);

    auto* configuration = new QGroupBox(tr("System Configuration"), this);
    auto* configurationColumn = new QVBoxLayout(configuration);
    configurationColumn->addWidget(makeButton(ViewKey::SystemSettings));
    configurationColumn->addWidget(makeButton(ViewKey::ClientConfiguration));
    configurationColumn->addWidget(makeButton(ViewKey::GroupConfiguration));
    if (layout_ == Layout::Trunking) {
        configurationColumn->addWidget(makeButton(ViewKey::RemoteConfiguration));
    }
    configurationColumn->addWidget(makeButton(ViewKey::UserInterfaceSettings));
    configurationColumn->addStretch();

    auto* maintenance = new QGroupBox(tr("System Maintenance"), this);
    auto* maintenanceColumn = new QVBoxLayout(maintenance);
    maintenanceColumn->addWidget(makeButton(ViewKey::CommandFiles));
    maintenanceColumn->addWidget(makeButton(ViewKey::Reports));
    restart_ = new QPushButton(tr("Restart System"), maintenance);
    failover_ = new QPushButton(tr("Force Failover"), maintenance);
    maintenanceColumn->addWidget(restart_);
    maintenanceColumn->addWidget(failover_);
    maintenanceColumn->addStretch();
    connect(restart_, &QPushButton::clicked, this, &CSystemAdministrationDlg::confirmRestart);
    connect(failover_, &QPushButton::clicked, this, &CSystemAdministrationDlg::confirmFailover);

    auto* status = new QGroupBox(tr("System Status"), this);
    auto* statusGrid = new QGridLayout(status);
    statusGrid->addWidget(makeButton(ViewKey::ClientStatistics), 0, 0);
    statusGrid->addWidget(makeButton(ViewKey::SipRegistrations), 0, 1);
    statusGrid->addWidget(makeButton(ViewKey::ActivityLog), 1, 0);
    statusGrid->addWidget(makeButton(ViewKey::DebugLog), 1, 1);

    logout_ = new QPushButton(tr("&Logout"), this);
    exit_ = new QPushButton(tr("E&xit"), this);
    // Enter never ends the session: no button is pressed by it.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(logout_, &QPushButton::clicked, this, &QDialog::accept);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);

    auto* columns = new QHBoxLayout;
    columns->addWidget(information, 3);
    auto* buttonColumns = new QVBoxLayout;
    // Two groups side by side and the third below them: the window stays
    // narrow enough for a half-width screen at double scale.
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(configuration);
    buttonRow->addWidget(maintenance);
    buttonColumns->addLayout(buttonRow);
    buttonColumns->addWidget(status);
    columns->addLayout(buttonColumns, 4);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(logout_);
    closeRow->addWidget(exit_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(closeRow);
    layout->addWidget(buildStatusBar());

    // Enabling rules at opening.
    const bool full = context_.link.fullAdministrator();
    for (auto& [key, button] : buttons_) {
        button->setEnabled(mayOpen(key, context_.link));
    }
    restart_->setEnabled(full);
    failover_->setEnabled(false);
    // Why a control stays grey for this administrator.
    for (auto& [key, button] : buttons_) {
        button->setToolTip(privilegeNote(viewEntry(key).privilege, context_.link));
    }
    const QString fullOnly = privilegeNote(ViewPrivilege::FullAdministrator, context_.link);
    restart_->setToolTip(fullOnly);
    failover_->setToolTip(fullOnly);
    buttons_[ViewKey::DebugLog]->setVisible(context_.debugControls);
    std::error_code error;
    const bool haveCommandFiles = std::filesystem::is_directory(
        commandfiles::commandFilesFolder(context_.programDirectory), error);
    buttons_[ViewKey::CommandFiles]->setVisible(haveCommandFiles);
}

QStatusBar* CSystemAdministrationDlg::buildStatusBar() {
    auto* bar = new QStatusBar(this);
    bar->setSizeGripEnabled(false);
    link::ServerLink& link = context_.link;
    serverText_ =
        new QLabel(tr("Server %1").arg(QString::fromStdString(link.handler().PeerText())), bar);
    const QString level = link.fullAdministrator()
                              ? tr("level %1, full administrator").arg(link.privilegeLevel())
                              : tr("level %1").arg(link.privilegeLevel());
    userText_ = new QLabel(
        tr("%1 (%2)").arg(QString::fromStdString(link::readUserName(context_.settings)), level),
        bar);
    connectionText_ = new QLabel(
        tr("Connected since %1").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))),
        bar);
    lastStatusText_ = new QLabel(tr("No status received yet"), bar);
    for (QLabel* label : {serverText_, userText_, connectionText_, lastStatusText_}) {
        // The window may be narrower than the four texts; a cut one still
        // shows whole in its tooltip.
        label->setMinimumWidth(label->fontMetrics().averageCharWidth() * 4);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        bar->addWidget(label, 1);
    }
    return bar;
}

QPushButton* CSystemAdministrationDlg::button(ViewKey key) const {
    const auto it = buttons_.find(key);
    return it == buttons_.end() ? nullptr : it->second;
}

QDialog* CSystemAdministrationDlg::openView(ViewKey key) const {
    const auto it = modeless_.find(key);
    return it == modeless_.end() ? nullptr : it->second.data();
}

void CSystemAdministrationDlg::openViewFor(ViewKey key) {
    const ViewEntry& entry = viewEntry(key);
    if (entry.mode == ViewMode::Modal) {
        QDialog* view = views_.create(key, context_, this);
        view->setAttribute(Qt::WA_DeleteOnClose);
        view->open();
        return;
    }
    if (openView(key) != nullptr) {
        return;
    }
    QDialog* view = views_.create(key, context_, this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->setModal(false);
    modeless_[key] = view;
    QPushButton* button = buttons_.at(key);
    button->setEnabled(false);
    connect(view, &QDialog::finished, this, [this, key, button] {
        modeless_.erase(key);
        button->setEnabled(true);
    });
    view->show();
}

void CSystemAdministrationDlg::confirmRestart() {
    if (!context_.prompter.ask(this, tr(kRestartCaption), tr(kRestartText))) {
        return;
    }
    context_.link.requestQueue().PostCopy(msg::ADMIN_SYSTEM_RESTART_REQUEST, 0, &kRequestYes, 1);
}

void CSystemAdministrationDlg::confirmFailover() {
    if (!context_.prompter.ask(this, tr(kFailoverCaption), tr(kFailoverText))) {
        return;
    }
    context_.link.requestQueue().PostCopy(msg::ADMIN_FORCE_FAILOVER_REQUEST, 0, &kRequestYes, 1);
}

void CSystemAdministrationDlg::watchConnection() {
    link::ServerLink& link = context_.link;
    if (link.linkState() != link::kLoggedIn || link.connected()) {
        return;
    }
    link.StopLink();
    link.setLinkState(link::kAttemptRequested);
    link.retryTimer().start(2);
    connectionLost_ = true;
    accept();
}

void CSystemAdministrationDlg::statusTick() {
    if (context_.link.takeStatusChanged()) {
        lastStatusText_->setText(
            tr("Last status at %1").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
        refreshStatus();
    }
}

void CSystemAdministrationDlg::refreshStatus() {
    using model::SystemStatus;
    const SystemStatus status = context_.link.status();
    const int configured = context_.mirror.read(
        [](const model::MirrorData& mirrored) { return mirrored.labels.ClientCount(); });

    paintStatusField(*upTime_, reports::upTimeField(status.get(SystemStatus::kUpTimeSeconds)));
    paintStatusField(*processor_,
                     reports::processorField(status.get(SystemStatus::kProcessorPercent),
                                             status.get(SystemStatus::kSecondProcessorPercent)));
    paintStatusField(*connections_,
                     reports::connectionsField(status.get(SystemStatus::kActiveConnections),
                                               static_cast<std::uint16_t>(configured)));
    paintStatusField(*audioInputs_,
                     reports::audioField(status.get(SystemStatus::kActiveAudioInputs)));
    paintStatusField(*audioOutputs_,
                     reports::audioField(status.get(SystemStatus::kActiveAudioOutputs)));

    const reports::FailoverField failover =
        reports::failoverField(status.get(SystemStatus::kFailoverState));
    paintStatusField(*failoverStatus_, failover.field);
    if (context_.link.fullAdministrator()) {
        if (failover.buttonCaption) {
            // Both captions start alike, so the mnemonic keeps its place.
            QString caption = QString::fromStdString(*failover.buttonCaption);
            const qsizetype mnemonic = failover_->text().indexOf(QLatin1Char('&'));
            if (mnemonic >= 0 && mnemonic < caption.size()) {
                caption.insert(mnemonic, QLatin1Char('&'));
            }
            failover_->setText(caption);
        }
        if (failover.buttonEnabled) {
            failover_->setEnabled(*failover.buttonEnabled);
        }
    }

    if (layout_ == Layout::Trunking) {
        paintStatusField(*trunkingStatus_, {trunkingStatus_->text().toStdString(), {}});
        paintStatusField(*activeTrunks_, {activeTrunks_->text().toStdString(), {}});
        const reports::TrunkingFields trunking =
            reports::trunkingFields(reportTrunking(context_.link.trunkingMode()), status);
        paintStatusField(*trunkingStatus_, trunking.status);
        if (trunking.activeTrunks) {
            paintStatusField(*activeTrunks_, *trunking.activeTrunks);
        }
    }
}

void CSystemAdministrationDlg::keyPressEvent(QKeyEvent* event) {
    // Escape would close the window and end the program with no question;
    // "Exit", Ctrl+Q and the close button are the ways out.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CSystemAdministrationDlg::showEvent(QShowEvent* event) {
    if (!shownOnce_) {
        shownOnce_ = true;
        assignMnemonics(*this);
        nameControls(*this);
    }
    QDialog::showEvent(event);
}

void CSystemAdministrationDlg::showAbout() {
    CAboutDlg about(context_, this);
    about.exec();
}

void CSystemAdministrationDlg::done(int result) {
    if (!closed_) {
        closed_ = true;
        statusRefresh_.stop();
        connectionWatch_.stop();
        if (commandFileTimers_ != nullptr) {
            commandFileTimers_->stop();
        }
        for (auto& [key, view] : modeless_) {
            if (view) {
                view->disconnect(this);
                view->close();
            }
        }
        modeless_.clear();
        context_.link.StopLink();
        saveWindowPosition(*this, context_.settings, kPositionPrefix);
    }
    QDialog::done(result);
}

} // namespace mirx::shell
