// The console's link against the simulator over 127.0.0.1: connection set-up,
// identification, login, the logged-in queue and the status poll.
#include "core/clock.h"
#include "link/message_catalogue.h"
#include "link/server_connection_handler.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/system_settings.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "tests/support/log_capture.h"
#include "tests/support/served_site.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_listener.h"
#include "tests/support/wait_until.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace mirx::link {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

constexpr char kKeyHex[] = "000102030405060708090a0b0c0d0e0f";

using test::waitUntil;

// The real site protocol, plus frames a test wants the server to push.
class InjectingProtocol final : public sim::SimProtocol {
public:
    InjectingProtocol(site::Site& site, sim::ProtocolOptions options)
        : inner_(site, options) {}

    void inject(std::uint16_t id, std::uint16_t second, std::vector<std::uint8_t> payload) {
        std::lock_guard lock(lock_);
        pending_.push_back({id, second, std::move(payload)});
    }

    void onConnect(sim::SimConnection& c) override { inner_.onConnect(c); }
    void onFrame(sim::SimConnection& c, const wire::FrameView& f) override {
        {
            std::lock_guard lock(lock_);
            ++received_[f.messageId];
        }
        inner_.onFrame(c, f);
    }
    int received(std::uint16_t id) {
        std::lock_guard lock(lock_);
        return received_[id];
    }
    void onTick(sim::SimConnection& c) override {
        inner_.onTick(c);
        std::deque<Pending> due;
        {
            std::lock_guard lock(lock_);
            due.swap(pending_);
        }
        for (const Pending& p : due) {
            c.send(p.id, p.second, p.payload);
        }
    }
    void onDisconnect() override { inner_.onDisconnect(); }

private:
    struct Pending {
        std::uint16_t id;
        std::uint16_t second;
        std::vector<std::uint8_t> payload;
    };
    sim::SiteProtocol inner_;
    std::mutex lock_;
    std::deque<Pending> pending_;
    std::map<std::uint16_t, int> received_;
};

// Records what the data model would have been handed.
class RecordingModel final : public ModelSink {
public:
    bool Store(std::uint16_t id, std::uint16_t, std::span<const std::uint8_t>,
               const std::string&) override {
        std::lock_guard lock(lock_);
        ids_.push_back(id);
        return true;
    }
    bool saw(std::uint16_t id) const {
        std::lock_guard lock(lock_);
        return std::find(ids_.begin(), ids_.end(), id) != ids_.end();
    }

private:
    mutable std::mutex lock_;
    std::vector<std::uint16_t> ids_;
};

class LinkAgainstSim : public ::testing::Test {
protected:
    void SetUp() override {
        site_.admins = {
            {"admin", "secret", 0x11, 1}, {"viewer", "pw", 0, 2}, {"jdoe", "jdoe", 0, 1}};
        site_.trunkingFlags = 0x1;
        site_.systemSettings.set(model::SystemSettings::kServerAddress,
                                 *model::parseIpv4("127.0.0.1"));
        served_.setKeepFrameLog(false);
    }

    void TearDown() override {
        link_.reset();
        served_.stop();
    }

    void startServer(sim::FaultSwitches faults = {}, sim::ProtocolOptions options = {}) {
        served_.start(
            [&options](site::Site& site) {
                return std::make_unique<InjectingProtocol>(site, std::move(options));
            },
            std::move(faults));
        store_.set(kServerIPAddress.name, std::string("127.0.0.1"));
        store_.set(kDataIpPort.name, std::uint32_t{served_.port()});
    }
    InjectingProtocol& protocol() { return static_cast<InjectingProtocol&>(served_.protocol()); }

    ServerLink& link() {
        if (!link_) {
            services_.settings = &store_;
            services_.model = &model_;
            if (services_.tempRoot.empty()) {
                services_.tempRoot = folder_.path();
            }
            link_ = std::make_unique<ServerLink>(services_);
        }
        return *link_;
    }

    test::ServedSite served_{site::Site{}};
    site::Site& site_ = served_.site;
    MemorySettingsStore store_;
    RecordingModel model_;
    LinkServices services_;
    std::unique_ptr<ServerLink> link_;
    test::TempFolder folder_{"mirx-link"};
    test::LogCapture log_;
};

TEST_F(LinkAgainstSim, LoginIsAcceptedAndTheLinkIsLive) {
    startServer();
    ASSERT_TRUE(link().Connect("admin", "secret")) << link().errorText();
    EXPECT_EQ(link().linkState(), kLoggedIn);
    EXPECT_EQ(link().errorText(), "");
    EXPECT_TRUE(link().fullAdministrator());
    EXPECT_EQ(link().privilegeWord(), 0x11);
    EXPECT_EQ(link().trunkingMode(), TrunkingMode::Rts);
    EXPECT_EQ(store_.get(kUserName.name), StoredValue(std::string("admin")));
    EXPECT_EQ(store_.get(kPassword.name), StoredValue(std::string("secret")));
    // The status poll runs every second once logged in.
    ASSERT_TRUE(waitUntil([&] { return link().takeStatusChanged(); }, 2500ms));
    EXPECT_GE(link().status().get(model::SystemStatus::kUpTimeSeconds), 0);
    // The configuration download reached the data model.
    EXPECT_TRUE(model_.saw(msg::CONFIGURATION_DATA_CLIENT_CREDENTIALS_LIST));
    link().StopLink();
    EXPECT_EQ(link().linkState(), kLinkIdle);
    EXPECT_FALSE(link().connected());
}

TEST_F(LinkAgainstSim, StandardAdministratorIsNotFull) {
    startServer();
    ASSERT_TRUE(link().Connect("viewer", "pw"));
    EXPECT_FALSE(link().fullAdministrator());
    EXPECT_EQ(link().privilegeLevel(), 2);
}

struct RejectionCase {
    std::uint8_t reason; // 0: a wrong password
    const char* text;
};

TEST_F(LinkAgainstSim, RejectionsShowTheirText) {
    const RejectionCase cases[] = {
        {0, "Provided user name and/or password is invalid!"},
        {2, "User is already logged on to the system!"},
        {4, "Login privelege has been disabled!"},
        {5, "User name can only be used with a Control Panel!"},
        {6, "No administative priveleges assigned!"},
        {9, "Login rejected!"},
    };
    for (const RejectionCase& c : cases) {
        sim::FaultSwitches faults;
        faults.rejectLoginReason = c.reason;
        startServer(faults);
        EXPECT_FALSE(link().Connect("admin", c.reason == 0 ? "wrong" : "secret"));
        EXPECT_EQ(link().errorText(), c.text) << "reason " << int(c.reason);
        EXPECT_EQ(link().linkState(), kAttemptFailed);
        EXPECT_FALSE(link().retryTimer().armed()) << "the server was reachable";
        link_.reset();
        served_.stop();
    }
}

TEST_F(LinkAgainstSim, IncompatibleServersAreRefused) {
    struct Case {
        const char* name;
        sim::FaultSwitches faults;
        std::uint32_t identifier;
    };
    sim::FaultSwitches oldVersion;
    oldVersion.incompatibleVersion = true;
    sim::FaultSwitches shortAnswer;
    shortAnswer.shortCompatibilityAnswer = true;
    const Case cases[] = {{"version 5.6.0", oldVersion, 0x0B23A16D},
                          {"2-byte answer", shortAnswer, 0x0B23A16D},
                          {"unknown identifier", {}, 0x12345678}};
    for (const Case& c : cases) {
        site_.serverIdentifier = c.identifier;
        startServer(c.faults);
        EXPECT_FALSE(link().Connect("admin", "secret")) << c.name;
        EXPECT_EQ(link().errorText(), "Software version is not compatible with Server!") << c.name;
        link_.reset();
        served_.stop();
    }
}

TEST_F(LinkAgainstSim, SecondaryServerTakesOverWhenThePrimaryRefuses) {
    startServer();
    std::uint16_t closedPort = 0;
    {
        test::TestListener probe;
        closedPort = probe.port();
    }
    store_.set(kDataIpPort.name, std::uint32_t{closedPort});
    store_.set(kSecondaryServerIpAddress.name, std::string("127.0.0.1"));
    store_.set(kSecondaryServerIpPort.name, std::uint32_t{served_.port()});
    ASSERT_TRUE(link().Connect("admin", "secret")) << link().errorText();
}

TEST_F(LinkAgainstSim, WithoutASecondaryAnUnreachableServerFails) {
    std::uint16_t closedPort = 0;
    {
        test::TestListener probe;
        closedPort = probe.port();
    }
    store_.set(kServerIPAddress.name, std::string("127.0.0.1"));
    store_.set(kDataIpPort.name, std::uint32_t{closedPort});
    EXPECT_FALSE(link().Connect("admin", "secret"));
    EXPECT_EQ(link().errorText(), "Unable to connect to Ondrel!");
    EXPECT_TRUE(link().retryTimer().armed());
    EXPECT_FALSE(link().retryTimer().expired());
    const ConnectionEvent event = link().lastConnectionEvent();
    EXPECT_EQ(event.reason, ConnectionEnd::Refused);
    EXPECT_EQ(connectionEndText(event),
              "Ondrel refused the connection: nothing listens on its port.");
}

struct FieldLengthCase {
    const char* label;
    std::string name;
    std::string password;
    const char* refusal; // empty: logged in
};

TEST_F(LinkAgainstSim, LoginFieldsLongerThanTwentyAreRefusedNotCut) {
    // 20 UTF-16 units fit whatever their UTF-8 length; 21 never reach the wire.
    std::string accented;
    for (int i = 0; i < 20; ++i) {
        accented += "\xc3\xa9";
    }
    site_.admins.push_back({accented, accented, 0, 1});
    site_.admins.push_back({std::string(20, 'n'), std::string(20, 'p'), 0, 1});
    startServer();
    const FieldLengthCase cases[] = {
        {"21-character name", std::string(21, 'n'), std::string(20, 'p'), kLoginNameTooLongText},
        {"21-character password", std::string(20, 'n'), std::string(21, 'p'), kPasswordTooLongText},
        {"20 accented characters", accented, accented, ""},
        {"20 characters", std::string(20, 'n'), std::string(20, 'p'), ""},
    };
    for (const FieldLengthCase& c : cases) {
        const unsigned connections = link().handler().ConnectionCount();
        const bool loggedIn = link().Connect(c.name, c.password);
        EXPECT_EQ(loggedIn, *c.refusal == '\0') << c.label << ": " << link().errorText();
        if (loggedIn) {
            link().StopLink();
        } else {
            EXPECT_EQ(link().errorText(), c.refusal) << c.label;
            EXPECT_EQ(link().handler().ConnectionCount(), connections) << c.label;
        }
    }
}

TEST_F(LinkAgainstSim, UnresolvableHostFails) {
    store_.set(kServerIPAddress.name, std::string("no-such-host.invalid"));
    EXPECT_FALSE(link().Connect("admin", "secret"));
    const std::string text = link().errorText();
    // Depending on the machine's addresses the local check may speak first.
    EXPECT_TRUE(text == "Ondrel Host Name could not be resolved!" ||
                text == "Local IP address invalid!")
        << text;
}

TEST_F(LinkAgainstSim, SilentServerIsDroppedAfterItsCheckTime) {
    // The server falls silent a second into the connection; the console then
    // waits the check time the server announced (3500 ms is also our own).
    for (const std::uint16_t announced : {std::uint16_t{3500}, std::uint16_t{1200}}) {
        sim::FaultSwitches faults;
        faults.silentAfterMs = 1000;
        faults.announcedCheckTimeMs = announced;
        startServer(faults);
        const auto start = SteadyClock::now();
        ASSERT_TRUE(link().Connect("admin", "secret"));
        ASSERT_TRUE(waitUntil([&] { return !link().connected(); }, 8s));
        const auto took = SteadyClock::now() - start;
        // The last frame came somewhere in that first second.
        const auto checkTime = std::chrono::milliseconds(announced);
        EXPECT_GE(took, checkTime - 100ms) << announced;
        EXPECT_LE(took, checkTime + 1000ms + 1500ms) << announced;
        link_.reset();
        served_.stop();
    }
}

TEST_F(LinkAgainstSim, RequestsArePostedOnlyWhileLoggedIn) {
    startServer();
    EXPECT_FALSE(link().requestQueue().PostCopy(msg::ADMIN_BLOCKED_LISTEN_REQUEST, 3, nullptr, 0));
    ASSERT_TRUE(link().Connect("admin", "secret"));
    EXPECT_TRUE(link().requestQueue().PostCopy(msg::ADMIN_BLOCKED_LISTEN_REQUEST, 3, nullptr, 0));
    EXPECT_TRUE(waitUntil([&] { return model_.saw(msg::ADMIN_BLOCKED_LISTEN_RESPONSE); }, 2s));
    link().StopLink();
    EXPECT_FALSE(link().requestQueue().PostCopy(msg::ADMIN_BLOCKED_LISTEN_REQUEST, 3, nullptr, 0));
}

TEST_F(LinkAgainstSim, ChangedServerAddressIsStoredAndEndsTheConnection) {
    startServer();
    store_.set(kSecondaryServerIpAddress.name, std::string("stale"));
    ASSERT_TRUE(link().Connect("admin", "secret"));
    // Only the secondary values were touched during the login.
    EXPECT_EQ(store_.get(kSecondaryServerIpAddress.name), StoredValue(std::string("")));
    EXPECT_EQ(store_.get(kServerIPAddress.name), StoredValue(std::string("127.0.0.1")));

    model::SystemSettings same = site_.systemSettings;
    same.set(model::SystemSettings::kSecondaryServerAddress, *model::parseIpv4("127.0.0.9"));
    protocol().inject(msg::CONFIGURATION_DATA_SYSTEM_SETTINGS, 0,
                      std::vector<std::uint8_t>(same.bytes.begin(), same.bytes.end()));
    ASSERT_TRUE(waitUntil(
        [&] {
            return store_.get(kSecondaryServerIpAddress.name) ==
                   StoredValue(std::string("127.0.0.9"));
        },
        2s));
    EXPECT_TRUE(link().connected()) << "same address and ports keep the connection";

    model::SystemSettings moved = same;
    moved.set(model::SystemSettings::kServerAddress, *model::parseIpv4("127.0.0.2"));
    protocol().inject(msg::CONFIGURATION_DATA_SYSTEM_SETTINGS, 0,
                      std::vector<std::uint8_t>(moved.bytes.begin(), moved.bytes.end()));
    ASSERT_TRUE(waitUntil([&] { return !link().connected(); }, 2s));
    EXPECT_EQ(store_.get(kServerIPAddress.name), StoredValue(std::string("127.0.0.2")));
}

TEST_F(LinkAgainstSim, DomainLoginUsesTheSharedKey) {
    sim::ProtocolOptions options;
    options.domainKey = parseKeyBase(kKeyHex);
    startServer({}, options);
    store_.set(kUseDomainAuthentication.name, std::uint32_t{1});
    store_.set(kDomainAuthenticationKey.name, std::string(kKeyHex));
    // Two connections from two local ports: each key is derived anew.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(link().Connect("jdoe", "jdoe")) << link().errorText();
        link().StopLink();
    }
    store_.set(kDomainAuthenticationKey.name, std::string("ffffffffffffffffffffffffffffffff"));
    EXPECT_FALSE(link().Connect("jdoe", "jdoe"));
    EXPECT_EQ(link().errorText(), "Provided user name and/or password is invalid!");
    store_.erase(kDomainAuthenticationKey.name);
    EXPECT_FALSE(link().Connect("jdoe", "jdoe"));
    EXPECT_EQ(link().errorText(), "Failed to validate the login using Domain Authentication!");
}

// Each attempt starts its connection thread and looks at once; what it reads
// must be the new connection's, never the outcome of the one before.
TEST_F(LinkAgainstSim, QuickReconnectsReadOnlyTheirOwnConnection) {
    sim::ProtocolOptions options;
    options.domainKey = parseKeyBase(kKeyHex);
    startServer({}, options);
    store_.set(kUseDomainAuthentication.name, std::uint32_t{1});
    for (int round = 0; round < 100; ++round) {
        store_.set(kDomainAuthenticationKey.name, std::string(kKeyHex));
        ASSERT_TRUE(link().Connect("jdoe", "jdoe"))
            << "round " << round << ": " << link().errorText();
        link().StopLink();
        store_.set(kDomainAuthenticationKey.name, std::string("ffffffffffffffffffffffffffffffff"));
        ASSERT_FALSE(link().Connect("jdoe", "jdoe"));
        ASSERT_EQ(link().errorText(), "Provided user name and/or password is invalid!")
            << "round " << round;
        store_.erase(kDomainAuthenticationKey.name);
        ASSERT_FALSE(link().Connect("jdoe", "jdoe"));
        ASSERT_EQ(link().errorText(), "Failed to validate the login using Domain Authentication!")
            << "round " << round;
    }
}

TEST_F(LinkAgainstSim, OfferedUpdateIsDownloadedAndItsInstallerStarted) {
    const auto payloadFile = folder_ / "component.bin";
    const auto installer = folder_ / "install.sh";
    std::string big(40000, 'x'); // three blocks
    std::ofstream(payloadFile, std::ios::binary) << big;
    const auto argvFile = folder_ / "argv.txt";
    std::ofstream(installer) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '"
                             << argvFile.string() << "'\n";
    sim::FaultSwitches faults;
    faults.offerUpdateFiles = {payloadFile.string(), installer.string()};
    startServer(faults);
    services_.tempRoot = folder_ / "tmp";
    std::filesystem::create_directories(services_.tempRoot);
    services_.relaunchArguments = {"/opt/mirx/mirx-admin", "/Profile", "Venue"};
    services_.runUpdate = [](CServerConnectionUpdateSubHandler& update) {
        if (!update.StartDownload()) {
            return false;
        }
        waitUntil([&] { return update.DownloadFinished(); }, 10s);
        return update.DownloadSucceeded();
    };
    EXPECT_FALSE(link().Connect("admin", "secret")) << "the console ends for its installer";
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(argvFile); }, 5s));
    std::this_thread::sleep_for(100ms);
    std::ifstream args(argvFile);
    std::string a, b, c;
    std::getline(args, a);
    std::getline(args, b);
    std::getline(args, c);
    EXPECT_EQ(a, "/opt/mirx/mirx-admin");
    EXPECT_EQ(b, "/Profile");
    EXPECT_EQ(c, "Venue");
    // The component arrived intact beside the installer.
    bool found = false;
    for (const auto& dir : std::filesystem::directory_iterator(services_.tempRoot)) {
        const auto copy = dir.path() / "component.bin";
        if (std::filesystem::exists(copy)) {
            std::ifstream in(copy, std::ios::binary);
            const std::string got((std::istreambuf_iterator<char>(in)), {});
            EXPECT_EQ(got, big);
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(LinkAgainstSim, OfferIsPolledEverySecondWhileTheUserDecides) {
    const auto file = folder_ / "install.sh";
    std::ofstream(file) << "#!/bin/sh\n";
    sim::FaultSwitches faults;
    faults.offerUpdateFiles = {file.string()};
    startServer(faults);
    services_.runUpdate = [&](CServerConnectionUpdateSubHandler& update) {
        std::this_thread::sleep_for(2500ms); // the user reads the question
        update.Decline();
        return false;
    };
    ASSERT_TRUE(link().Connect("admin", "secret")) << link().errorText();
    // The first request, then one per second of the wait.
    EXPECT_GE(protocol().received(msg::APPLICATION_INFO_REQUEST), 3);
}

TEST_F(LinkAgainstSim, DeclinedUpdateGoesOnToTheLogin) {
    const auto file = folder_ / "install.sh";
    std::ofstream(file) << "#!/bin/sh\n";
    sim::FaultSwitches faults;
    faults.offerUpdateFiles = {file.string()};
    startServer(faults);
    int asked = 0;
    services_.runUpdate = [&](CServerConnectionUpdateSubHandler& update) {
        ++asked;
        update.Decline();
        return false;
    };
    ASSERT_TRUE(link().Connect("admin", "secret")) << link().errorText();
    EXPECT_EQ(asked, 1);
}

// Every way an attempt can stall or end early finishes with its own text,
// never with "not compatible" and never as a success.
TEST_F(LinkAgainstSim, AttemptsThatCannotFinishEndWithTheirRealReason) {
    const auto installer = folder_ / "install.sh";
    std::ofstream(installer) << "#!/bin/sh\n";
    const auto component = folder_ / "component.bin";
    std::ofstream(component, std::ios::binary) << std::string(40000, 'x'); // three blocks
    struct Case {
        const char* name;
        sim::FaultSwitches faults;
        std::string tempRoot; // under folder_; empty: an existing one
        std::uint32_t answerTimeoutMs;
        bool loggedIn;
        std::string text; // errorText, or the start of DownloadProblem when logged in
    };
    sim::FaultSwitches noLoginAnswer;
    noLoginAnswer.ignoreMessageIds = {msg::ADMIN_LOGIN_REQUEST};
    sim::FaultSwitches noCheckAnswer;
    noCheckAnswer.ignoreMessageIds = {msg::APPLICATION_COMPATIBILITY_REQUEST};
    sim::FaultSwitches closedAtLogin;
    closedAtLogin.closeAfterFrames = 2; // the compatibility request, then the login
    sim::FaultSwitches update;
    update.offerUpdateFiles = {component.string(), installer.string()};
    sim::FaultSwitches stalled = update;
    stalled.ignoreMessageIds = {msg::APPLICATION_COMPONENT_BLOCK_REQUEST};
    sim::FaultSwitches cut = update;
    cut.closeAfterFrames = 5; // compatibility, info, component info, block 0, block 1
    sim::FaultSwitches silent = update;
    // Each answer held 150 ms: the blocks are due from about 600 ms on.
    silent.answerDelayMs = 150;
    silent.silentAfterMs = 650;
    silent.announcedCheckTimeMs = 1000;
    sim::FaultSwitches noInstaller = update;
    noInstaller.updateWithoutInstaller = true;
    sim::FaultSwitches badName = update;
    badName.firstComponentName = "../escaped.bin";
    const Case cases[] = {
        {"login never answered", noLoginAnswer, "", 400, false, kNoLoginAnswerText},
        {"version check never answered", noCheckAnswer, "", 400, false,
         kNoIdentificationAnswerText},
        {"closed before the login answer", closedAtLogin, "", 400, false, kConnectionEndedText},
        {"download stalls", stalled, "", 400, false, kUpdateStalledText},
        {"closed mid-download", cut, "", 400, false, "The update download stopped: "},
        // Not even keep-alives: the link's own time-out ends it.
        {"silent mid-download", silent, "", kAnswerTimeoutMs, false,
         "The update download stopped: "},
        {"no installer", noInstaller, "", 400, false, "The update holds no installer"},
        {"hostile component name", badName, "", 400, false, "The update was refused: "},
        {"temporary folder missing", update, "missing/tmp", 400, true,
         "The update could not be stored"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startServer(c.faults);
        services_.answerTimeoutMs = c.answerTimeoutMs;
        services_.tempRoot = c.tempRoot.empty() ? folder_.path() : folder_ / c.tempRoot;
        bool sawProblem = false;
        services_.runUpdate = [&](CServerConnectionUpdateSubHandler& exchange) {
            if (!exchange.StartDownload()) {
                return false;
            }
            std::uint64_t seen = link_->ChangeCount();
            while (!exchange.DownloadFinished() && link_->connected()) {
                link_->WaitForChange(seen, 1s);
            }
            sawProblem = !exchange.DownloadProblem().empty();
            return exchange.DownloadSucceeded();
        };
        const auto start = SteadyClock::now();
        const bool connected = link().Connect("admin", "secret");
        EXPECT_LT(SteadyClock::now() - start, 6s);
        EXPECT_EQ(connected, c.loggedIn) << link().errorText();
        const std::string text =
            c.loggedIn ? link().handler().Update().DownloadProblem() : link().errorText();
        EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
        EXPECT_FALSE(link().handler().Update().InstallerStarted());
        if (!c.faults.offerUpdateFiles.empty()) {
            EXPECT_TRUE(sawProblem) << "the update's waiter learns why";
        }
        if (!c.loggedIn) {
            EXPECT_EQ(link().linkState(), kAttemptFailed);
        }
        link_.reset();
        served_.stop();
    }
}

// The answer time-out on the handler alone, with a clock the test moves:
// frames that keep coming are answers, however long the stream (the
// configuration of a large site arrives before the login completes); only a
// server that falls quiet runs into it.
TEST(AnswerTimeout, EndsOnlyAQuietWait) {
    ManualClock clock(1000);
    ScopedClock useClock(clock);
    MemorySettingsStore store;
    LinkServices services;
    services.settings = &store;
    ServerLink link(services);
    CServerConnectionHandler& handler = link.handler();
    handler.OnConnect();
    handler.SetState(kStateLoginSent);
    handler.OnPoll();
    const std::uint8_t mode = 1;
    for (int i = 0; i < 5; ++i) {
        clock.advance(kAnswerTimeoutMs - 1);
        handler.OnMessage(msg::ADMIN_TRUNKING_MODE, 0, &mode, 1);
        handler.OnPoll();
        ASSERT_FALSE(handler.DisconnectRequested()) << "frame " << i;
    }
    EXPECT_EQ(handler.MsUntilPollDue(), kAnswerTimeoutMs);
    clock.advance(kAnswerTimeoutMs - 1);
    handler.OnPoll();
    EXPECT_FALSE(handler.DisconnectRequested());
    EXPECT_EQ(handler.MsUntilPollDue(), 1u) << "the connection thread wakes for it";
    clock.advance(1);
    handler.OnPoll();
    EXPECT_TRUE(handler.DisconnectRequested());
    EXPECT_EQ(link.errorText(), kNoLoginAnswerText);
    EXPECT_EQ(handler.State(), CConnectionHandler::kIdle);
    handler.OnDisconnect();
}

// A waiter that spins first must still see every change: one made before
// it began, one during the spin, one only after it went to sleep; and with
// none it gives up at its limit. Several rounds, so the waits that skip the
// spin after one that missed are covered too.
TEST(ChangeWait, SpinningWaitSeesEveryChange) {
    struct Case {
        const char* name;
        std::optional<std::chrono::microseconds> changeAfter; // none: no change
    };
    const Case cases[] = {
        {"made before the wait", 0us},
        {"made during the spin", 100us},
        {"made after the spin", ServerLink::kAnswerSpin + 20ms},
        {"none", std::nullopt},
    };
    MemorySettingsStore store;
    LinkServices services;
    services.settings = &store;
    ServerLink link(services);
    for (int round = 0; round < ServerLink::kWaitsWithoutSpin + 2; ++round) {
        for (const Case& c : cases) {
            std::uint64_t seen = link.ChangeCount();
            const std::uint64_t before = seen;
            if (!c.changeAfter) {
                EXPECT_FALSE(link.WaitForChange(seen, 5ms, ServerLink::kAnswerSpin)) << c.name;
                EXPECT_EQ(seen, before) << c.name;
                continue;
            }
            std::thread changer;
            if (*c.changeAfter == 0us) {
                link.NotifyChange();
            } else {
                changer = std::thread([&link, after = *c.changeAfter] {
                    std::this_thread::sleep_for(after);
                    link.NotifyChange();
                });
            }
            EXPECT_TRUE(link.WaitForChange(seen, 5s, ServerLink::kAnswerSpin))
                << c.name << ", round " << round;
            if (changer.joinable()) {
                changer.join();
            }
            EXPECT_EQ(seen, before + 1) << c.name << ", round " << round;
        }
    }
}

// The server takes one console at a time: a second one is accepted by the
// system but never hears a word, and must say so.
TEST_F(LinkAgainstSim, SecondConsoleIsToldTheServerDidNotAnswer) {
    startServer();
    ASSERT_TRUE(link().Connect("admin", "secret")) << link().errorText();
    ServerLink second(services_);
    EXPECT_FALSE(second.Connect("viewer", "pw"));
    EXPECT_EQ(second.errorText(), kServerSilentText);
    EXPECT_TRUE(link().loggedIn()) << "the first console keeps its link";
}

TEST_F(LinkAgainstSim, ConnectGivesUpWhenAborted) {
    sim::FaultSwitches faults;
    faults.ignoreMessageIds = {msg::ADMIN_LOGIN_REQUEST};
    startServer(faults);
    std::atomic<bool> abort{false};
    link().SetAbortFlag(&abort);
    std::thread stopper([&] {
        std::this_thread::sleep_for(300ms);
        abort.store(true);
    });
    const auto start = SteadyClock::now();
    EXPECT_FALSE(link().Connect("admin", "secret"));
    const auto took = SteadyClock::now() - start;
    stopper.join();
    EXPECT_EQ(link().errorText(), kInterruptedText);
    EXPECT_LT(took, 300ms + 4 * ServerLink::kAbortCheckMs);
    EXPECT_FALSE(link().connected());
}

} // namespace
} // namespace mirx::link
