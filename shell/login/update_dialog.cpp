#include "shell/login/update_dialog.h"

#include "core/debug_log.h"
#include "link/server_connection_handler.h"
#include "link/server_link.h"
#include "link/update_exchange.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"

#include <algorithm>
#include <climits>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace mirx::shell {

namespace {

// A refusal holds until the console ends, across reconnections. Only the
// user-interface thread touches it.
bool refusedThisRun = false;

} // namespace

CUpdateDlg::CUpdateDlg(ShellContext& context, QWidget* parent)
    : ViewDialog(context, ViewKey::Update, parent)
    , link_(context.link)
    , update_(context.link.handler().Update())
    , prompter_(context.prompter) {

    fileText_ = new QLabel(this);
    fileText_->setMinimumWidth(fileText_->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 30);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 0);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Downloading:"), this), 0, 0);
    grid->addWidget(fileText_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Progress"), this), 1, 0);
    grid->addWidget(progress_, 1, 1);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(cancel_, &QPushButton::clicked, this, &CUpdateDlg::reject);
    ticker_ = viewTimer(
        kTickMs, [this] { tick(); }, false);
}

void CUpdateDlg::resetRefusalForTesting() {
    refusedThisRun = false;
}

void CUpdateDlg::showEvent(QShowEvent* event) {
    ViewDialog::showEvent(event);
    if (!opened_) {
        opened_ = true;
        // Asked from the event loop, not from inside show(): the question is
        // a modal box of its own and a refusal closes this view at once.
        QTimer::singleShot(0, this, &CUpdateDlg::onOpened);
    }
}

void CUpdateDlg::onOpened() {
    if (!isVisible()) {
        return;
    }
    if (update_.AskUser()) {
        if (refusedThisRun) {
            reject();
            return;
        }
        if (!prompter_.ask(this, QStringLiteral("System Administration"),
                           QStringLiteral("An updated version is available. Do you wish to "
                                          "download it?"))) {
            refusedThisRun = true;
            reject();
            return;
        }
    }
    begin();
}

void CUpdateDlg::begin() {
    const std::uint32_t total = update_.TotalBlocks();
    progress_->setRange(0, static_cast<int>(std::min<std::uint32_t>(total, INT_MAX)));
    progress_->setValue(0);
    if (!update_.StartDownload()) {
        // The exchange no longer waits for us (the connection has ended).
        log::print("WARNING: update download could not be started");
        reject();
        return;
    }
    begun_ = true;
    ticker_->start();
}

void CUpdateDlg::tick() {
    // The outcome is looked at before the connection: a successful download
    // ends the connection right after it sets its flags, and must still
    // count as a success.
    if (update_.DownloadFinished()) {
        if (update_.DownloadSucceeded()) {
            ticker_->stop();
            // Said before the window goes, so the console's end is no surprise.
            fileText_->setText(QStringLiteral("Download complete. The installer is starting and "
                                              "the console will close."));
            progress_->setValue(progress_->maximum());
            cancel_->setEnabled(false);
            QTimer::singleShot(kInstallerNoticeMs, this, [this] {
                if (!closed()) {
                    accept();
                }
            });
        } else {
            reject();
        }
        return;
    }
    if (!link_.connected()) {
        reject();
        return;
    }
    const std::uint32_t size = update_.FileSize();
    const std::string name = update_.FileName();
    // The name too: two components of one size are still two files.
    if (size != shownFileSize_ || name != shownFileName_) {
        shownFileSize_ = size;
        shownFileName_ = name;
        fileText_->setText(
            QStringLiteral("%1 (%2 kB)").arg(QString::fromStdString(name)).arg(size / 1024));
    }
    const std::uint32_t blocks = update_.BlocksReceived();
    if (blocks != shownBlocks_) {
        shownBlocks_ = blocks;
        progress_->setValue(static_cast<int>(
            std::min<std::uint32_t>(blocks, static_cast<std::uint32_t>(progress_->maximum()))));
    }
}

void CUpdateDlg::reject() {
    ticker_->stop();
    if (begun_) {
        update_.Cancel();
    } else {
        // Never started: the exchange goes on to the login without it.
        update_.Decline();
    }
    QDialog::reject();
}

} // namespace mirx::shell
