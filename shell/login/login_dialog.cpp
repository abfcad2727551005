#include "shell/login/login_dialog.h"

#include "link/server_link.h"
#include "link/settings_store.h"
#include "shell/common/shell_context.h"
#include "shell/login/configuration_dialog.h"
#include "shell/login/update_dialog.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace mirx::shell {
namespace {

constexpr int kFieldMaxChars = 20;

} // namespace

CLoginDlg::CLoginDlg(ShellContext& context, Opening opening, QWidget* parent)
    : ViewDialog(context, ViewKey::Login, parent)
    , context_(context)
    , opening_(opening)
    , automaticPaused_(opening == Opening::AfterLogout)
    , attempt_(context.link) {
    setWindowIcon(QIcon(QStringLiteral(":/mirx/mirx-admin.svg")));

    name_ = new QLineEdit(this);
    name_->setMaxLength(kFieldMaxChars);
    password_ = new QLineEdit(this);
    password_->setMaxLength(kFieldMaxChars);
    password_->setEchoMode(QLineEdit::Password);
    // Created in the order of the layout, which is the tab order.
    automatic_ = new QCheckBox(tr("Login &Automatically"), this);
    configure_ = new QPushButton(tr("&Configure..."), this);
    login_ = new QPushButton(tr("&LOGIN"), this);
    login_->setDefault(true);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setMinimumHeight(status_->fontMetrics().height() * 2);
    note_ = new QLabel(this);
    note_->setWordWrap(true);
    busy_ = new QProgressBar(this);
    busy_->setRange(0, 0);
    busy_->setTextVisible(false);
    busy_->setAccessibleName(tr("Logging in"));
    busy_->hide();
    countdown_ = new QLabel(this);
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setAutoDefault(false);
    cancel_->hide();

    auto* fields = new QFormLayout;
    fields->addRow(tr("Login &Name:"), name_);
    fields->addRow(tr("Login &Password:"), password_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(automatic_);
    buttons->addStretch();
    buttons->addWidget(configure_);
    buttons->addWidget(login_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addWidget(status_);
    layout->addWidget(note_);
    auto* progress = new QHBoxLayout;
    progress->addWidget(busy_, 1);
    progress->addWidget(countdown_, 1);
    progress->addWidget(cancel_);
    layout->addLayout(progress);
    setMinimumWidth(360);

    connect(login_, &QPushButton::clicked, this, &CLoginDlg::onLoginClicked);
    connect(automatic_, &QCheckBox::clicked, this, &CLoginDlg::onAutomaticClicked);
    connect(configure_, &QPushButton::clicked, this, &CLoginDlg::onConfigureClicked);
    connect(cancel_, &QPushButton::clicked, this, &CLoginDlg::cancelAttempts);
    connect(&attempt_, &LoginAttempt::finished, this, &CLoginDlg::onAttemptFinished);
    connect(&attempt_, &LoginAttempt::updateOffered, this, &CLoginDlg::onUpdateOffered);
    attemptTick_ = viewTimer(
        kAttemptTickMs, [this] { onAttemptTick(); }, false);
    retryTick_ = viewTimer(
        kAutomaticRetryMs, [this] { onRetryTick(); }, false);
    viewTimer(kIndicatorTickMs, [this] { updateIndicators(); });

    link::SettingsStore& store = context_.settings;
    adjustSize();
    restorePosition();
    if (link::readFlag(store, link::kAlwaysOnTop)) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    name_->setText(QString::fromStdString(link::readUserName(store)));
    password_->setText(QString::fromStdString(link::readPassword(store)));
    automatic_->setChecked(link::readFlag(store, link::kAutomaticLogin));
    applyFieldLocks();
    if (opening == Opening::AfterLostConnection) {
        showConnectionEvent(true);
    }
}

CLoginDlg::~CLoginDlg() {
    attempt_.abandon();
}

void CLoginDlg::showEvent(QShowEvent* event) {
    ViewDialog::showEvent(event);
    if (!openedOnce_) {
        openedOnce_ = true;
        // After the window is up, so a settings view opened now sits on top.
        QTimer::singleShot(0, this, &CLoginDlg::opened);
    }
}

void CLoginDlg::opened() {
    if (closed()) {
        return;
    }
    auto goOn = [this] {
        if (closed()) {
            return;
        }
        if (opening_ == Opening::ProgramStart && automatic_->isChecked()) {
            attempt();
        }
        attemptTick_->start();
        if (!context_.link.configurationOpen().load()) {
            retryTick_->start();
        }
    };
    if (ensureServerAddress(false)) {
        goOn();
        return;
    }
    openConfiguration(false);
    connect(configuration_, &QDialog::finished, this, goOn);
}

void CLoginDlg::applyFieldLocks() {
    const bool editable =
        !context_.locks.loginFieldsLocked && !link::readDomainAuthentication(context_.settings);
    name_->setEnabled(editable);
    password_->setEnabled(editable);
}

bool CLoginDlg::ensureServerAddress(bool openSettings) {
    const auto address = link::readString(context_.settings, link::kServerIPAddress);
    if (address && !address->empty()) {
        return true;
    }
    if (openSettings) {
        openConfiguration(true);
    }
    return false;
}

void CLoginDlg::openConfiguration(bool fromAttempt) {
    if (configuration_) {
        return;
    }
    context_.link.configurationOpen().store(true);
    auto* dialog = new CConfigurationDlg(context_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    configuration_ = dialog;
    connect(dialog, &QDialog::finished, this, [this, fromAttempt](int result) {
        if (result == QDialog::Accepted) {
            applyFieldLocks();
        }
        context_.link.configurationOpen().store(false);
        if (fromAttempt && !closed()) {
            // The attempt that asked for an address goes on once, with or
            // without one.
            if (ensureServerAddress(false)) {
                attempt();
            } else {
                context_.link.setLinkState(link::kLinkIdle);
            }
        }
    });
    dialog->open();
}

void CLoginDlg::onLoginClicked() {
    automaticPaused_ = false;
    context_.link.setLinkState(link::kAttemptRequested);
}

void CLoginDlg::onAutomaticClicked(bool checked) {
    context_.settings.writeNumber(link::kAutomaticLogin.name, checked ? 1 : 0);
    if (checked) {
        automaticPaused_ = false;
        context_.link.setLinkState(link::kAttemptRequested);
    }
}

void CLoginDlg::onConfigureClicked() {
    // The automatic retry stays off for the rest of this view's life: the
    // administrator is changing where to connect.
    retryTick_->stop();
    openConfiguration(false);
}

void CLoginDlg::onAttemptTick() {
    link::ServerLink& link = context_.link;
    if (link.configurationOpen().load() || attempt_.running() || configuration_) {
        return;
    }
    if (link.linkState() == link::kAttemptRequested && link.retryTimer().expired()) {
        attempt();
    }
}

void CLoginDlg::onRetryTick() {
    const int state = context_.link.linkState();
    if (automatic_->isChecked() && !automaticPaused_ &&
        (state == link::kLinkIdle || state == link::kAttemptFailed)) {
        context_.link.setLinkState(link::kAttemptRequested);
    }
}

void CLoginDlg::attempt() {
    if (attempt_.running()) {
        return;
    }
    link::ServerLink& link = context_.link;
    if (!ensureServerAddress(true)) {
        // Settled once the settings view closes.
        return;
    }
    const bool domain = link::readDomainAuthentication(context_.settings);
    const QString name = name_->text().left(kFieldMaxChars);
    if (!domain && name.isEmpty()) {
        status_->setText(tr("Login Name required."));
        name_->setFocus();
        // A request that cannot be made is not left pending, or the next
        // tick would ask again and again.
        link.setLinkState(link::kLinkIdle);
        return;
    }
    login_->setEnabled(false);
    status_->setText(tr("Attempting to connect to Ondrel..."));
    attemptStartedMs_ = QDateTime::currentMSecsSinceEpoch();
    attempt_.start(name.toStdString(), password_->text().left(kFieldMaxChars).toStdString(),
                   domain);
    updateIndicators();
}

void CLoginDlg::onAttemptFinished(bool loggedIn) {
    if (loggedIn) {
        accept();
        return;
    }
    status_->setText(QString::fromStdString(context_.link.errorText()));
    login_->setEnabled(true);
    if (context_.link.lastConnectionEvent().atMs >= attemptStartedMs_) {
        showConnectionEvent(false);
    }
    updateIndicators();
}

void CLoginDlg::showConnectionEvent(bool lost) {
    const link::ConnectionEvent event = context_.link.lastConnectionEvent();
    const QString why = QString::fromStdString(link::connectionEndText(event));
    const QString when = QDateTime::fromMSecsSinceEpoch(
                             event.atMs > 0 ? event.atMs : QDateTime::currentMSecsSinceEpoch())
                             .toString(QStringLiteral("HH:mm:ss"));
    if (lost) {
        note_->setText(why.isEmpty() ? tr("Connection lost at %1.").arg(when)
                                     : tr("Connection lost at %1: %2").arg(when, why));
    } else if (!why.isEmpty()) {
        note_->setText(tr("Last attempt at %1: %2").arg(when, why));
    }
}

int CLoginDlg::automaticRetryInMs() const {
    if (!automatic_->isChecked() || automaticPaused_ || attempt_.running() || configuration_ ||
        context_.link.configurationOpen().load()) {
        return -1;
    }
    link::ServerLink& link = context_.link;
    switch (link.linkState()) {
    case link::kAttemptRequested:
        return link.retryTimer().armed() ? static_cast<int>(link.retryTimer().remaining()) : 0;
    case link::kLinkIdle:
    case link::kAttemptFailed:
        return retryTick_->isActive() ? retryTick_->remainingTime() : -1;
    default:
        return -1;
    }
}

void CLoginDlg::updateIndicators() {
    if (closed()) {
        return;
    }
    const bool running = attempt_.running();
    busy_->setVisible(running);
    const int retryIn = automaticRetryInMs();
    // Under a second the attempt is as good as started; no countdown flickers.
    if (retryIn >= 1000) {
        countdown_->setText(tr("Next attempt in %1 s").arg((retryIn + 999) / 1000));
    } else {
        countdown_->clear();
    }
    cancel_->setVisible(running || retryIn >= 0);
}

void CLoginDlg::cancelAttempts() {
    // Until the administrator logs in by hand or ticks the box again.
    automaticPaused_ = true;
    if (attempt_.running()) {
        attempt_.abandon();
        status_->setText(tr("Login cancelled."));
    }
    context_.link.setLinkState(link::kLinkIdle);
    login_->setEnabled(true);
    updateIndicators();
}

void CLoginDlg::keyPressEvent(QKeyEvent* event) {
    // Escape stops what is under way first; only an idle view closes on it.
    if (event->matches(QKeySequence::Cancel) && cancel_->isVisible()) {
        event->accept();
        cancelAttempts();
        return;
    }
    ViewDialog::keyPressEvent(event);
}

void CLoginDlg::onUpdateOffered() {
    auto* update = new CUpdateDlg(context_, this);
    update->setAttribute(Qt::WA_DeleteOnClose);
    connect(update, &QDialog::finished, this, [this](int result) {
        const bool installerStarted = result == QDialog::Accepted;
        attempt_.resumeAfterUpdate(installerStarted);
        if (installerStarted) {
            done(kUpdateInstalled);
        }
    });
    update->open();
}

void CLoginDlg::closing(int result) {
    if (configuration_) {
        configuration_->close();
    }
    if (result != QDialog::Accepted) {
        attempt_.abandon();
    }
}

} // namespace mirx::shell
