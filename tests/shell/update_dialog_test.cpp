// The update view against the simulator: the question, the download shown
// block by block, the installer start, and every way the view ends without
// an update.
#include "core/message_ids.h"
#include "link/server_connection_handler.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "link/update_exchange.h"
#include "link/update_records.h"
#include "model/mirror.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"
#include "shell/login/update_dialog.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "site/site.h"
#include "tests/support/log_capture.h"
#include "tests/support/served_site.h"
#include "tests/support/temp_folder.h"

#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace mirx::shell {
namespace {

constexpr int kNetworkTimeoutMs = 20000;

using Progress = link::ServerLink::Progress;

// Answers questions from a script (No once it runs out) and keeps every text.
class ScriptedPrompter final : public Prompter {
public:
    std::deque<bool> answers;
    QStringList asked;
    QStringList told;

    bool ask(QWidget*, const QString& caption, const QString& text) override {
        asked << caption + QLatin1Char('|') + text;
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void tell(QWidget*, const QString& caption, const QString& text, PromptIcon) override {
        told << caption + QLatin1Char('|') + text;
    }
};

// Forwards to the console, setting the info answer's ask-user byte to 0.
class NoAskConnection final : public sim::SimConnection {
public:
    explicit NoAskConnection(sim::SimConnection& inner)
        : inner_(inner) {}

    void send(std::uint16_t id, std::uint16_t second,
              std::span<const std::uint8_t> payload) override {
        if (id == msg::APPLICATION_INFO_RESPONSE) {
            auto info = link::InfoResponse::fromPayload(payload);
            info.set(link::InfoResponse::kAskUser, std::uint8_t{0});
            inner_.send(id, second, info.view());
            return;
        }
        inner_.send(id, second, payload);
    }
    void close() override { inner_.close(); }
    const std::string& peerText() const override { return inner_.peerText(); }
    std::uint16_t peerPort() const override { return inner_.peerPort(); }
    const sim::FaultSwitches& faults() const override { return inner_.faults(); }

private:
    sim::SimConnection& inner_;
};

// The simulator's own protocol with two handles: block requests from a
// given block number on can be held back until released, so a test sees the
// download stand still at a known point; and the offer can say "don't ask".
class UpdateServer final : public sim::SimProtocol {
public:
    explicit UpdateServer(site::Site& site)
        : inner_(site, {}) {}

    void holdBlocksFrom(std::uint16_t blockNumber) { holdFrom_.store(blockNumber); }
    void release() { holdFrom_.store(kHoldNothing); }
    void setAskUser(bool ask) { askUser_.store(ask); }

    void onConnect(sim::SimConnection& c) override { inner_.onConnect(c); }
    void onFrame(sim::SimConnection& c, const wire::FrameView& f) override {
        if (f.messageId == msg::APPLICATION_COMPONENT_BLOCK_REQUEST &&
            link::BlockRequest::fromPayload(f.payload).get(link::BlockRequest::kBlockNumber) >=
                holdFrom_.load()) {
            held_.push_back({f.messageId, f.secondValue, {f.payload.begin(), f.payload.end()}});
            return;
        }
        forward(c, f);
    }
    void onTick(sim::SimConnection& c) override {
        inner_.onTick(c);
        if (holdFrom_.load() == kHoldNothing) {
            std::deque<Held> due;
            due.swap(held_);
            for (const Held& h : due) {
                forward(c, {h.id, h.second, h.payload});
            }
        }
    }
    void onDisconnect() override {
        held_.clear();
        inner_.onDisconnect();
    }

private:
    static constexpr std::uint32_t kHoldNothing = 0x10000;

    struct Held {
        std::uint16_t id;
        std::uint16_t second;
        std::vector<std::uint8_t> payload;
    };

    void forward(sim::SimConnection& c, const wire::FrameView& f) {
        if (askUser_.load()) {
            inner_.onFrame(c, f);
        } else {
            NoAskConnection rewriting(c);
            inner_.onFrame(rewriting, f);
        }
    }

    sim::SiteProtocol inner_;
    std::atomic<std::uint32_t> holdFrom_{kHoldNothing};
    std::atomic<bool> askUser_{true};
    std::deque<Held> held_; // loop thread only
};

struct Launch {
    std::filesystem::path installer;
    std::vector<std::string> arguments;
};

class UpdateDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void acceptedOfferIsDownloadedAndItsInstallerStarted();
    void refusalDeclinesAndLastsTheRun();
    void offerThatNeedsNoAnswerStartsAtOnce();
    void stoppingMidDownloadCancelsAndTheLoginGoesOn_data();
    void stoppingMidDownloadCancelsAndTheLoginGoesOn();
    void lostConnectionClosesTheView();

private:
    // Opens a connection and waits until the server's offer is in.
    bool reachOffer();
    // Opens the view as the login does and waits until it has ended.
    int runDialog(CUpdateDlg& dialog);
    std::vector<Launch> launches() const;

    std::unique_ptr<test::LogCapture> log_;
    std::unique_ptr<test::TempFolder> folder_;
    std::unique_ptr<test::ServedSite> served_;
    UpdateServer& protocol() { return static_cast<UpdateServer&>(served_->protocol()); }
    std::unique_ptr<link::MemorySettingsStore> store_;
    std::unique_ptr<link::ServerLink> link_;
    std::unique_ptr<ScriptedPrompter> prompter_;
    model::Mirror mirror_;
    std::unique_ptr<shell::ShellContext> context_;
    mutable std::mutex launchLock_;
    std::vector<Launch> launches_;
    const std::vector<std::string> relaunch_{"/opt/mirx/mirx-admin", "/Profile", "Venue"};
};

void UpdateDialogTest::init() {
    CUpdateDlg::resetRefusalForTesting();
    prompter_ = std::make_unique<ScriptedPrompter>();
    launches_.clear();
    log_ = std::make_unique<test::LogCapture>();
    folder_ = std::make_unique<test::TempFolder>("mirx-update-view");
    const std::filesystem::path root = folder_->path();
    std::filesystem::create_directories(root / "offer");
    std::filesystem::create_directories(root / "tmp");

    // Three blocks of data, then the installer (the simulator marks the last
    // file as the one to start).
    const auto data = root / "offer" / "component.bin";
    std::ofstream(data, std::ios::binary) << std::string(40000, 'x');
    const auto installer = root / "offer" / "install.sh";
    std::ofstream(installer) << "#!/bin/sh\n";

    served_ = std::make_unique<test::ServedSite>(site::Site{});
    served_->site.admins = {{"admin", "secret", 0x11, 1}};
    served_->setKeepFrameLog(false);
    sim::FaultSwitches faults;
    faults.offerUpdateFiles = {data.string(), installer.string()};
    served_->start([](site::Site& site) { return std::make_unique<UpdateServer>(site); }, faults);

    store_ = std::make_unique<link::MemorySettingsStore>();
    store_->set(link::kServerIPAddress.name, std::string("127.0.0.1"));
    store_->set(link::kDataIpPort.name, std::uint32_t{served_->port()});

    link::LinkServices services;
    services.settings = store_.get();
    services.tempRoot = root / "tmp";
    services.relaunchArguments = relaunch_;
    services.launch = [this](const std::filesystem::path& installerPath,
                             const std::vector<std::string>& arguments) {
        std::lock_guard lock(launchLock_);
        launches_.push_back({installerPath, arguments});
        return true;
    };
    link_ = std::make_unique<link::ServerLink>(services);
    context_ = std::make_unique<shell::ShellContext>(shell::ShellContext{
        *store_, *link_, mirror_, *prompter_, {}, false, {}, {}, nullptr, nullptr});
}

void UpdateDialogTest::cleanup() {
    context_.reset();
    link_.reset();
    served_.reset();
    store_.reset();
    folder_.reset();
    log_.reset();
}

bool UpdateDialogTest::reachOffer() {
    return link_->BeginConnect("admin", "secret") &&
           QTest::qWaitFor([this] { return link_->PollConnect() == Progress::UpdateOffered; },
                           kNetworkTimeoutMs);
}

int UpdateDialogTest::runDialog(CUpdateDlg& dialog) {
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    if (!finished.wait(kNetworkTimeoutMs) && finished.isEmpty()) {
        return -1;
    }
    return finished.first().first().toInt();
}

std::vector<Launch> UpdateDialogTest::launches() const {
    std::lock_guard lock(launchLock_);
    return launches_;
}

void UpdateDialogTest::acceptedOfferIsDownloadedAndItsInstallerStarted() {
    protocol().holdBlocksFrom(2);
    QVERIFY(reachOffer());
    prompter_->answers = {true};
    CUpdateDlg dialog(*context_);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();

    // Standing still after two of component.bin's three blocks.
    QTRY_COMPARE_WITH_TIMEOUT(dialog.progress()->value(), 2, kNetworkTimeoutMs);
    QCOMPARE(dialog.progress()->minimum(), 0);
    QCOMPARE(dialog.progress()->maximum(), 3); // (40000 + 10) / 16350 + 1
    QCOMPARE(dialog.fileText()->text(), QStringLiteral("component.bin (39 kB)"));
    QCOMPARE(prompter_->asked,
             QStringList{QStringLiteral("System Administration|An updated version is available. "
                                        "Do you wish to download it?")});
    QVERIFY(finished.isEmpty());

    protocol().release();
    // The view says what happens next before it closes.
    QTRY_COMPARE_WITH_TIMEOUT(dialog.fileText()->text(),
                              QStringLiteral("Download complete. The installer is starting and "
                                             "the console will close."),
                              kNetworkTimeoutMs);
    QVERIFY(finished.isEmpty());
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.cancelButton()->isEnabled());
    QCOMPARE(dialog.progress()->value(), dialog.progress()->maximum());
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kNetworkTimeoutMs);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
    const auto started = launches();
    QCOMPARE(started.size(), std::size_t{1});
    QCOMPARE(started[0].installer.filename().string(), std::string("install.sh"));
    QVERIFY(started[0].arguments == relaunch_);

    link_->ResumeAfterUpdate(true);
    QCOMPARE(link_->PollConnect(), Progress::Failed);
}

void UpdateDialogTest::refusalDeclinesAndLastsTheRun() {
    QVERIFY(reachOffer());
    prompter_->answers = {false};
    {
        CUpdateDlg dialog(*context_);
        QCOMPARE(runDialog(dialog), int(QDialog::Rejected));
    }
    QCOMPARE(prompter_->asked.size(), 1);
    // Declined, so the exchange hands over to the login.
    link_->ResumeAfterUpdate(false);
    QTRY_VERIFY_WITH_TIMEOUT(link_->PollConnect() == Progress::Succeeded, kNetworkTimeoutMs);

    // Next connection of the same run: the offer comes again, nobody is asked.
    link_->StopLink();
    QVERIFY(reachOffer());
    {
        CUpdateDlg dialog(*context_);
        QCOMPARE(runDialog(dialog), int(QDialog::Rejected));
    }
    QCOMPARE(prompter_->asked.size(), 1);
    link_->ResumeAfterUpdate(false);
    QTRY_VERIFY_WITH_TIMEOUT(link_->PollConnect() == Progress::Succeeded, kNetworkTimeoutMs);
    QVERIFY(launches().empty());
    QVERIFY(link_->handler().Update().DownloadFolder().empty());
}

void UpdateDialogTest::offerThatNeedsNoAnswerStartsAtOnce() {
    // Even a refusal earlier in the run does not stop an offer that asks no one.
    QVERIFY(reachOffer());
    {
        CUpdateDlg dialog(*context_);
        QCOMPARE(runDialog(dialog), int(QDialog::Rejected));
    }
    link_->ResumeAfterUpdate(false);
    QTRY_VERIFY_WITH_TIMEOUT(link_->PollConnect() == Progress::Succeeded, kNetworkTimeoutMs);
    link_->StopLink();

    protocol().setAskUser(false);
    QVERIFY(reachOffer());
    CUpdateDlg dialog(*context_);
    QCOMPARE(runDialog(dialog), int(QDialog::Accepted));
    QCOMPARE(prompter_->asked.size(), 1);
    QCOMPARE(launches().size(), std::size_t{1});
}

void UpdateDialogTest::stoppingMidDownloadCancelsAndTheLoginGoesOn_data() {
    QTest::addColumn<bool>("byButton");
    QTest::newRow("Cancel button") << true;
    QTest::newRow("window closed") << false;
}

void UpdateDialogTest::stoppingMidDownloadCancelsAndTheLoginGoesOn() {
    QFETCH(bool, byButton);
    protocol().holdBlocksFrom(1);
    QVERIFY(reachOffer());
    prompter_->answers = {true};
    CUpdateDlg dialog(*context_);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    QTRY_COMPARE_WITH_TIMEOUT(dialog.progress()->value(), 1, kNetworkTimeoutMs);

    if (byButton) {
        QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    } else {
        dialog.close();
    }
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));

    // The block on its way is where the exchange notices and turns to the login.
    link_->ResumeAfterUpdate(false);
    protocol().release();
    QTRY_VERIFY_WITH_TIMEOUT(link_->PollConnect() == Progress::Succeeded, kNetworkTimeoutMs);
    QVERIFY(launches().empty());
    QVERIFY(!link_->handler().Update().DownloadFinished());
}

void UpdateDialogTest::lostConnectionClosesTheView() {
    protocol().holdBlocksFrom(1);
    QVERIFY(reachOffer());
    prompter_->answers = {true};
    CUpdateDlg dialog(*context_);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    QTRY_COMPARE_WITH_TIMEOUT(dialog.progress()->value(), 1, kNetworkTimeoutMs);

    served_->stop();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kNetworkTimeoutMs);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    link_->ResumeAfterUpdate(false);
    QTRY_VERIFY_WITH_TIMEOUT(link_->PollConnect() == Progress::Failed, kNetworkTimeoutMs);
    QVERIFY(launches().empty());
}

} // namespace
} // namespace mirx::shell

QTEST_MAIN(mirx::shell::UpdateDialogTest)
#include "update_dialog_test.moc"
