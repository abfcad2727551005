#include "core/clock.h"
#include "link/app_version.h"
#include "link/login_records.h"
#include "link/message_catalogue.h"
#include "link/password_cipher.h"
#include "link/update_records.h"
#include "model/client_edit_records.h"
#include "model/client_list.h"
#include "model/log_records.h"
#include "model/sound_files.h"
#include "model/statistics.h"
#include "model/system_status.h"
#include "model/template_links.h"
#include "model/ui_settings.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "site/site_builder.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"
#include "tests/support/test_client.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace mirx::sim {

using namespace mirx::site;

namespace {

using test::TestClient;
using Bytes = std::vector<std::uint8_t>;
using Frame = TestClient::Frame;

constexpr int kWaitMs = 2000;
constexpr std::uint16_t kDefault = 0xFFFF;

// Clients 0 (panel), 1 (SIP) and 2 (panel, off-line), a party line and a
// fixed group.
constexpr int kPanel = 0;
constexpr int kSip = 1;
constexpr int kOffline = 2;
constexpr std::uint16_t kPartyLine = 10010;
constexpr std::uint16_t kFixedGroupLabel = 10020;
constexpr std::int64_t kFirstLogTime = 1700000000;
constexpr std::int64_t kInitialUpTime = 1000;

model::LabelInfo clientLabel(int number, int index, int clientType) {
    return makeLabel({.number = number,
                      .kind = static_cast<int>(model::LabelKind::Client),
                      .index = index,
                      .clientType = clientType,
                      .name = "client",
                      .description = ""});
}

Site smallSite() {
    using model::MembershipMode;
    Site site;
    site.admins.push_back({"admin", "secret", 7, 1});
    site.admins.push_back({"viewer", "look", 0, 2});
    site.trunkingFlags = 1;
    addClient(site, 10000, kPanel, 10, "Panel", "", "panel", "");
    putLabel(site, clientLabel(10001, kSip, 100)); // no credentials of its own
    addClient(site, 10002, kOffline, 10, "Spare", "", "spare", "");
    addPartyLine(site, kPartyLine, 0, "Production", "");
    addFixedGroup(site, kFixedGroupLabel, 0, "Cameras", "");
    site.systems.push_back(model::emptySystemListEntry());

    // Client 0 still on the defaults, client 2 changed.
    site.options[kPanel] = site.defaultOptions;
    site.options[kOffline] = site.defaultOptions;
    site.options[kOffline].set(model::ClientOptions::kPanelConnectionTimeoutMs, 9999);

    addMember(site, kPartyLine, kPanel, MembershipMode::TalkAndListen);
    addMember(site, kPartyLine, kOffline, MembershipMode::Talk);
    addMember(site, kPartyLine, kPanel, MembershipMode::Listen);
    site.fixedGroups[0] = clientSet({kPanel, kOffline});

    site.behaviour[kPanel] = {true, 50, 100, 20, 80, 0x0100007F, 0x62000050};
    site.behaviour[kOffline] = {false, 50, 0, 255, 255, 0, 0};
    site.status.upTimeSeconds = kInitialUpTime;
    site.status.failoverState = 3;
    for (int i = 0; i < 100; ++i) {
        site.debugLog.push_back({kFirstLogTime + i, "line " + std::to_string(i)});
    }
    site.sipRegistrations.resize(2);
    site.sipRegistrations[0].set(model::SipRegistration::kUserName, "phone");
    return site;
}

// A simulator serving `site` on a free port, on a clock the test moves. Its
// frame log is discarded; diagnostics go to the debug log.
class Sim {
public:
    explicit Sim(Site site = smallSite(), FaultSwitches faults = {}, ProtocolOptions options = {})
        : site_(std::move(site))
        , protocol_(site_, counting(std::move(options)))
        , server_(protocol_, std::move(faults)) {
        server_.frameLog().setWriter({});
        listening_ = server_.listen();
        server_.runInBackground();
    }
    ~Sim() { server_.stop(); }

    // Connects and waits until the simulator greets us.
    ::testing::AssertionResult connect(TestClient& client) {
        if (!listening_ || !client.connect(server_.port())) {
            return ::testing::AssertionFailure() << "no connection";
        }
        if (!client.waitFor(msg::APPLICATION_ID, kWaitMs)) {
            return ::testing::AssertionFailure() << "no APPLICATION_ID";
        }
        // Our clock jumps; the time-out must not.
        client.sendKeepAlive(60000);
        return ::testing::AssertionSuccess();
    }

    // Stops the loop; the site may be read afterwards.
    const Site& stoppedSite() {
        server_.stop();
        return site_;
    }

    ManualClock& clock() { return clock_; }
    int changes() const { return changes_; }

private:
    ProtocolOptions counting(ProtocolOptions options) {
        options.onSiteChanged = [this](const Site&) {
            ++changes_;
        };
        return options;
    }

    ManualClock clock_{5000};
    ScopedClock scopedClock_{clock_};
    std::atomic<int> changes_{0};
    Site site_;
    SiteProtocol protocol_;
    SimServer server_;
    bool listening_ = false;
};

Bytes loginPayload(std::string_view name, std::string_view password,
                   std::optional<link::AesKey> key = std::nullopt) {
    const auto request = link::buildLoginRequest(name, password, key, 1700000000);
    return Bytes(request.bytes.begin(), request.bytes.end());
}

// Every frame of the answer to a login, the last one included.
std::vector<Frame> logIn(TestClient& client, std::string_view name = "admin",
                         std::string_view password = "secret") {
    std::vector<Frame> frames;
    if (!client.send(msg::ADMIN_LOGIN_REQUEST, 0, loginPayload(name, password))) {
        return frames;
    }
    while (auto frame = client.receive(kWaitMs)) {
        frames.push_back(*frame);
        if (frame->id == msg::ADMIN_LOGIN_COMPLETE || frame->id == msg::CLIENT_LOGIN_RESPONSE) {
            break;
        }
    }
    return frames;
}

::testing::AssertionResult loggedIn(Sim& sim, TestClient& client) {
    if (auto connected = sim.connect(client); !connected) {
        return connected;
    }
    const auto frames = logIn(client);
    if (frames.empty() || frames.back().id != msg::ADMIN_LOGIN_COMPLETE) {
        return ::testing::AssertionFailure() << "login did not complete";
    }
    return ::testing::AssertionSuccess();
}

// Sends a request and returns the answer with `answerId`.
std::optional<Frame> ask(TestClient& client, std::uint16_t id, std::uint16_t second,
                         std::span<const std::uint8_t> payload, std::uint16_t answerId) {
    if (!client.send(id, second, payload)) {
        return std::nullopt;
    }
    return client.waitFor(answerId, kWaitMs);
}

model::SystemStatus status(TestClient& client) {
    model::SystemStatus s;
    if (const auto answer = ask(client, msg::ADMIN_SYSTEM_STATUS_REQUEST, 0, {},
                                msg::ADMIN_SYSTEM_STATUS_RESPONSE)) {
        s.assignPrefix(answer->payload);
    }
    return s;
}

Bytes u16(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
}

// --- Identification, update offer and login --------------------------------

TEST(SiteProtocol, LoginDownloadsTheConfigurationInOrder) {
    Sim sim;
    TestClient client;
    ASSERT_TRUE(sim.connect(client));

    const auto request = link::CompatibilityRequest::make(link::kConsoleApplicationId, 0x10000050);
    const auto compat = ask(client, msg::APPLICATION_COMPATIBILITY_REQUEST, 0, request.view(),
                            msg::APPLICATION_COMPATIBILITY_RESPONSE);
    ASSERT_TRUE(compat);
    const auto verdict = link::judgeCompatibility(compat->payload);
    EXPECT_TRUE(verdict.carriesVersion);
    EXPECT_EQ(verdict.compatible, 1);
    EXPECT_EQ(verdict.updateAvailable, 0);

    const auto frames = logIn(client);
    struct Expected {
        std::uint16_t id;
        std::uint16_t second;
        std::size_t length;
    };
    const std::vector<Expected> expected = {
        {msg::ADMIN_LOGIN_ACCEPTED, 0, 3},
        {msg::CONFIGURATION_DATA_LABEL, 0xFFFF, 0},
        {msg::CONFIGURATION_DATA_LABEL, 10000, 300},
        {msg::CONFIGURATION_DATA_LABEL, 10001, 300},
        {msg::CONFIGURATION_DATA_LABEL, 10002, 300},
        {msg::CONFIGURATION_DATA_LABEL, kPartyLine, 300},
        {msg::CONFIGURATION_DATA_LABEL, kFixedGroupLabel, 300},
        {msg::CONFIGURATION_DATA_CLIENT_CREDENTIALS_LIST, 3, 3 * 146},
        {msg::CONFIGURATION_DATA_CLIENT_CREDENTIALS, kDefault, 146},
        {msg::CONFIGURATION_DATA_SYSTEM_LIST, 1, 100},
        {msg::CONFIGURATION_DATA_SYSTEM_SETTINGS, 0, 1200},
        {msg::CONFIGURATION_DATA_CLIENT_OPTIONS, kDefault, 250},
        {msg::CONFIGURATION_DATA_CLIENT_OPTIONS, 0xFFFE, 550},
        {msg::CONFIGURATION_DATA_AUDIO_SETTINGS, kDefault, 50},
        {msg::CONFIGURATION_DATA_USER_INTERFACE_SETTINGS, 0, 200},
        {msg::ADMIN_TRUNKING_MODE, 0, 1},
        {msg::ADMIN_LOGIN_COMPLETE, 0, 0},
    };
    ASSERT_EQ(frames.size(), expected.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(frames[i].id, expected[i].id) << msg::messageName(frames[i].id);
        EXPECT_EQ(frames[i].second, expected[i].second);
        EXPECT_EQ(frames[i].payload.size(), expected[i].length);
    }

    const auto accepted = link::LoginAccepted::fromPayload(frames[0].payload);
    EXPECT_EQ(accepted.get(link::LoginAccepted::kPrivilegeWord), 7);
    EXPECT_TRUE(accepted.isFullAdministrator());
    // The gap at client 1 is filled with a fresh record of its own index.
    const Bytes& list = frames[7].payload;
    EXPECT_EQ(rec::get(list, model::ClientCredentials::kLoginName), "panel");
    EXPECT_EQ(rec::get(std::span(list).subspan(146), model::ClientCredentials::kClientIndex), 1);
    EXPECT_EQ(rec::get(std::span(list).subspan(292), model::ClientCredentials::kLoginName),
              "spare");
    EXPECT_EQ(frames[15].payload, Bytes{1});
}

TEST(SiteProtocol, RejectsLoginsWithTheRightReason) {
    struct Case {
        const char* what;
        std::string name;
        std::string password;
        std::uint8_t rejectSwitch;
        std::uint8_t expected; // 0 = accepted
    };
    const Case cases[] = {
        {"good", "admin", "secret", 0, 0},
        {"second account", "viewer", "look", 0, 0},
        {"bad password", "admin", "Secret", 0, 1},
        {"unknown name", "nobody", "secret", 0, 1},
        {"another account's password", "viewer", "secret", 0, 1},
        {"switch on a good login", "admin", "secret", 4, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FaultSwitches faults;
        faults.rejectLoginReason = c.rejectSwitch;
        Sim sim(smallSite(), faults);
        TestClient client;
        ASSERT_TRUE(sim.connect(client));
        const auto frames = logIn(client, c.name, c.password);
        ASSERT_FALSE(frames.empty());
        if (c.expected == 0) {
            EXPECT_EQ(frames.front().id, msg::ADMIN_LOGIN_ACCEPTED);
            EXPECT_EQ(frames.back().id, msg::ADMIN_LOGIN_COMPLETE);
        } else {
            ASSERT_EQ(frames.size(), 1u);
            EXPECT_EQ(frames[0].id, msg::CLIENT_LOGIN_RESPONSE);
            EXPECT_EQ(frames[0].payload, Bytes{c.expected});
            // Not logged in: requests stay unanswered.
            ASSERT_TRUE(client.send(msg::ADMIN_SYSTEM_STATUS_REQUEST, 0));
            EXPECT_FALSE(client.waitFor(msg::ADMIN_SYSTEM_STATUS_RESPONSE, 300));
        }
    }
}

TEST(SiteProtocol, CompatibilitySwitchesChangeTheAnswer) {
    const auto request = link::CompatibilityRequest::make(link::kConsoleApplicationId, 0);
    {
        FaultSwitches faults;
        faults.incompatibleVersion = true;
        Sim sim(smallSite(), faults);
        TestClient client;
        ASSERT_TRUE(sim.connect(client));
        const auto answer = ask(client, msg::APPLICATION_COMPATIBILITY_REQUEST, 0, request.view(),
                                msg::APPLICATION_COMPATIBILITY_RESPONSE);
        ASSERT_TRUE(answer);
        const auto r = link::CompatibilityResponse::fromPayload(answer->payload);
        EXPECT_EQ(answer->payload.size(), link::CompatibilityResponse::kSize);
        EXPECT_EQ(r.get(link::CompatibilityResponse::kCompatible), 0);
        const link::AppVersion version =
            link::unpack(r.get(link::CompatibilityResponse::kServerVersion));
        EXPECT_EQ(version.major, 5);
        EXPECT_EQ(version.minor, 6);
        EXPECT_EQ(version.revision, 0);
        EXPECT_FALSE(link::isRecentEnoughServer(version));
    }
    {
        FaultSwitches faults;
        faults.shortCompatibilityAnswer = true;
        Sim sim(smallSite(), faults);
        TestClient client;
        ASSERT_TRUE(sim.connect(client));
        const auto answer = ask(client, msg::APPLICATION_COMPATIBILITY_REQUEST, 0, request.view(),
                                msg::APPLICATION_COMPATIBILITY_RESPONSE);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->payload.size(), 2u);
        EXPECT_FALSE(link::judgeCompatibility(answer->payload).carriesVersion);
    }
}

class TempFolder {
public:
    TempFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("sim-protocol-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))) {
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

    std::string write(const std::string& name, const Bytes& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return (path_ / name).string();
    }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

Bytes pattern(std::size_t size, unsigned seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7 + seed) % 251);
    }
    return bytes;
}

TEST(SiteProtocol, OffersAnUpdateBlockByBlock) {
    TempFolder folder;
    // Two blocks and a bit, then a file smaller than one block.
    const Bytes data = pattern(2 * link::kBlockDataSize + 100, 3);
    const Bytes installer = pattern(10, 9);
    FaultSwitches faults;
    faults.offerUpdateFiles = {folder.write("data.bin", data),
                               folder.write("setup.run", installer)};
    Sim sim(smallSite(), faults);
    TestClient client;
    ASSERT_TRUE(sim.connect(client));

    const auto compat = ask(client, msg::APPLICATION_COMPATIBILITY_REQUEST, 0,
                            link::CompatibilityRequest::make(link::kConsoleApplicationId, 0).view(),
                            msg::APPLICATION_COMPATIBILITY_RESPONSE);
    ASSERT_TRUE(compat);
    EXPECT_EQ(link::judgeCompatibility(compat->payload).updateAvailable, 1);

    const auto info = ask(client, msg::APPLICATION_INFO_REQUEST, 0,
                          link::InfoRequest::make().view(), msg::APPLICATION_INFO_RESPONSE);
    ASSERT_TRUE(info);
    const auto r = link::InfoResponse::fromPayload(info->payload);
    EXPECT_EQ(r.get(link::InfoResponse::kComponentCount), 2);
    EXPECT_EQ(r.get(link::InfoResponse::kTotalSize), data.size() + installer.size());
    EXPECT_EQ(r.get(link::InfoResponse::kAskUser), 1);

    const struct {
        const char* name;
        const Bytes* bytes;
        std::uint8_t mode;
    } components[] = {{"data.bin", &data, link::kLaunchPlainFile},
                      {"setup.run", &installer, link::kLaunchInstallerWithCommandLine}};
    for (std::uint16_t k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        const auto head = ask(client, msg::APPLICATION_COMPONENT_INFO_REQUEST, 0,
                              link::ComponentInfoRequest::make(k).view(),
                              msg::APPLICATION_COMPONENT_INFO_RESPONSE);
        ASSERT_TRUE(head);
        const auto c = link::ComponentInfoResponse::fromPayload(head->payload);
        EXPECT_EQ(c.get(link::ComponentInfoResponse::kFileName), components[k].name);
        EXPECT_EQ(c.get(link::ComponentInfoResponse::kFileSize), components[k].bytes->size());
        EXPECT_EQ(c.get(link::ComponentInfoResponse::kLaunchMode), components[k].mode);

        // Asked out of order, each block names itself.
        const std::size_t blocks = components[k].bytes->size() / link::kBlockDataSize + 1;
        Bytes received(components[k].bytes->size());
        for (std::size_t n = blocks; n-- > 0;) {
            const auto answer =
                ask(client, msg::APPLICATION_COMPONENT_BLOCK_REQUEST, 0,
                    link::BlockRequest::make(k, static_cast<std::uint16_t>(n)).view(),
                    msg::APPLICATION_COMPONENT_BLOCK_RESPONSE);
            ASSERT_TRUE(answer);
            const auto block = link::decodeBlockResponse(answer->payload);
            EXPECT_EQ(block.blockNumber, n);
            ASSERT_LE(n * link::kBlockDataSize + block.data.size(), received.size());
            std::copy(block.data.begin(), block.data.end(),
                      received.begin() + static_cast<std::ptrdiff_t>(n * link::kBlockDataSize));
        }
        EXPECT_EQ(received, *components[k].bytes);
    }
}

TEST(SiteProtocol, DomainLoginDecryptsWithTheConnectionsKey) {
    const link::KeyBase key = *link::parseKeyBase("00112233445566778899AABBCCDDEEFF");
    const link::KeyBase otherKey = *link::parseKeyBase("FFEEDDCCBBAA99887766554433221100");
    ProtocolOptions options;
    options.domainKey = key;
    Sim sim(smallSite(), {}, options);

    for (const auto& [used, accepted] : {std::pair{key, true}, std::pair{otherKey, false}}) {
        SCOPED_TRACE(accepted);
        TestClient client;
        ASSERT_TRUE(sim.connect(client));
        const Bytes request =
            loginPayload("admin", "secret", link::deriveKey(used, client.localPort()));
        const auto answer = ask(client, msg::ADMIN_LOGIN_REQUEST, 0, request,
                                accepted ? msg::ADMIN_LOGIN_COMPLETE : msg::CLIENT_LOGIN_RESPONSE);
        ASSERT_TRUE(answer);
        if (!accepted) {
            EXPECT_EQ(answer->payload, Bytes{1});
        }
        client.close();
    }
}

TEST(SiteProtocol, IgnoresRequestsBeforeTheLogin) {
    test::LogCapture log;
    Sim sim;
    TestClient client;
    ASSERT_TRUE(sim.connect(client));
    ASSERT_TRUE(client.send(msg::ADMIN_CLIENT_STATISTICS_REQUEST, 0, u16(0)));
    EXPECT_FALSE(client.waitFor(msg::ADMIN_CLIENT_STATISTICS_RESPONSE, 300));
    EXPECT_TRUE(log.contains("ADMIN_CLIENT_STATISTICS_REQUEST (6032) second=0 len=2: before the "
                             "login completed; ignored"));
    const auto frames = logIn(client);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().id, msg::ADMIN_LOGIN_COMPLETE);
}

// --- Requests against the site ---------------------------------------------

class LoggedIn : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loggedIn(sim, client)); }

    std::optional<Frame> request(std::uint16_t id, std::uint16_t second, std::uint16_t answerId,
                                 std::span<const std::uint8_t> payload = {}) {
        return ask(client, id, second, payload, answerId);
    }

    model::ClientOptions options(std::uint16_t index, std::size_t* length = nullptr) {
        model::ClientOptions o;
        if (const auto a = request(msg::ADMIN_CLIENT_OPTIONS_REQUEST, index,
                                   msg::CONFIGURATION_DATA_CLIENT_OPTIONS)) {
            o.assignPrefix(a->payload);
            if (length != nullptr) {
                *length = a->payload.size();
            }
        }
        return o;
    }

    model::PartyLineMembership partyLine(std::uint16_t number) {
        model::PartyLineMembership m;
        if (const auto a = request(msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST, number,
                                   msg::ADMIN_PARTY_LINE_MEMBERSHIP_RESPONSE)) {
            m.assignPrefix(a->payload);
        }
        return m;
    }

    model::ClientBitSet set(std::uint16_t requestId, std::uint16_t answerId, std::uint16_t key) {
        model::ClientBitSet s;
        if (const auto a = request(requestId, key, answerId)) {
            s.assignPrefix(a->payload);
        }
        return s;
    }

    // Waits until the loop ran its tick after the clock moved.
    void advance(std::uint32_t ms) {
        sim.clock().advance(ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }

    Sim sim;
    TestClient client;
};

TEST_F(LoggedIn, OptionsTravelInTheLengthOfTheClientsType) {
    std::size_t length = 0;
    options(kPanel, &length);
    EXPECT_EQ(length, model::kOptionsShortWireLength);
    const model::ClientOptions sip = options(kSip, &length);
    EXPECT_EQ(length, model::kOptionsSipWireLength);
    EXPECT_EQ(sip, model::sipDefaultClientOptions())
        << "a client without a record has the defaults";
    options(kDefault, &length);
    EXPECT_EQ(length, model::kOptionsShortWireLength);

    // Stored as sent, answered the same way.
    model::ClientOptions changed = sip;
    changed.set(model::ClientOptions::kSipTargetUserName, "target");
    ASSERT_TRUE(client.send(msg::CONFIGURATION_DATA_CLIENT_OPTIONS, kSip, changed.view()));
    EXPECT_EQ(options(kSip), changed);
    EXPECT_GE(sim.changes(), 1);
}

TEST_F(LoggedIn, NewDefaultsReachOnlyClientsOnThePriorDefaultsWhenAsked) {
    for (const std::uint16_t apply : {0, 1}) {
        SCOPED_TRACE(apply);
        const model::ClientOptions prior = options(kDefault);
        ASSERT_EQ(options(kPanel), prior) << "client 0 is on the defaults";
        const model::ClientOptions own = options(kOffline);
        ASSERT_NE(own, prior);

        model::ClientOptions next = prior;
        next.set(model::ClientOptions::kPanelVadTimeMs, 200 + apply);
        ASSERT_TRUE(client.send(msg::CONFIGURATION_DATA_DEFAULT_CLIENT_OPTIONS, apply,
                                next.view().first(model::kOptionsShortWireLength)));
        EXPECT_EQ(options(kDefault), next);
        EXPECT_EQ(options(kPanel), apply == 1 ? next : prior);
        EXPECT_EQ(options(kOffline), own);
        if (apply == 0) {
            // Back onto the defaults for the second round.
            ASSERT_TRUE(client.send(msg::CONFIGURATION_DATA_CLIENT_OPTIONS, kPanel,
                                    next.view().first(model::kOptionsShortWireLength)));
        }
    }
}

TEST(SiteProtocol, ClientsWithoutOwnRecordsKeepThePriorDefaultsUnlessAsked) {
    for (const std::uint16_t apply : {0, 1}) {
        SCOPED_TRACE(apply);
        Sim sim;
        TestClient client;
        ASSERT_TRUE(loggedIn(sim, client));
        const auto audio = [&](std::uint16_t index) {
            model::AudioSettings a;
            if (const auto answer = ask(client, msg::ADMIN_AUDIO_SETTINGS_REQUEST, index, {},
                                        msg::CONFIGURATION_DATA_AUDIO_SETTINGS)) {
                a.assignPrefix(answer->payload);
            }
            return a;
        };
        const model::AudioSettings prior = audio(kDefault);
        ASSERT_EQ(audio(kPanel), prior);
        model::AudioSettings next = prior;
        next.set(model::AudioSettings::kCodec, 5);
        ASSERT_TRUE(
            client.send(msg::CONFIGURATION_DATA_DEFAULT_AUDIO_SETTINGS, apply, next.view()));
        EXPECT_EQ(audio(kDefault), next);
        EXPECT_EQ(audio(kPanel), apply == 1 ? next : prior);
    }
}

// A client whose record equals the prior default byte for byte counts as on
// the defaults, like one without a record of its own.
TEST(SiteProtocol, NewDefaultSelectorsReachOnlyClientsOnThePriorDefaultsWhenAsked) {
    using model::SelectorEntry;
    for (const std::uint16_t apply : {0, 1}) {
        SCOPED_TRACE(apply);
        Sim sim;
        TestClient client;
        ASSERT_TRUE(loggedIn(sim, client));
        const auto selectors = [&](std::uint16_t index) {
            std::vector<std::uint8_t> bytes;
            if (const auto answer = ask(client, msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST, index, {},
                                        msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS)) {
                bytes = answer->payload;
            }
            return bytes;
        };
        const auto wire = [](const model::SelectorAssignments& r) {
            return std::vector<std::uint8_t>(r.wire().begin(), r.wire().end());
        };
        const model::SelectorAssignments prior =
            selectorList({selector(kPartyLine, SelectorEntry::kTalkOnly)}, 4);
        const model::SelectorAssignments own =
            selectorList({selector(kPartyLine, SelectorEntry::kListenOnly)}, 4);
        ASSERT_TRUE(
            client.send(msg::CONFIGURATION_DATA_DEFAULT_SELECTOR_ASSIGNMENTS, 1, prior.wire()));
        ASSERT_TRUE(client.send(msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, kSip, prior.wire()));
        ASSERT_TRUE(
            client.send(msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, kOffline, own.wire()));
        ASSERT_EQ(selectors(kPanel), wire(prior)) << "client 0 has no record of its own";

        model::SelectorAssignments next = prior;
        next.assignEntries(std::vector<SelectorEntry>{
            selector(kPartyLine, SelectorEntry::kTalkOnly), layoutMark(SelectorEntry::kRowBreak)});
        ASSERT_TRUE(
            client.send(msg::CONFIGURATION_DATA_DEFAULT_SELECTOR_ASSIGNMENTS, apply, next.wire()));
        EXPECT_EQ(selectors(kDefault), wire(next));
        EXPECT_EQ(selectors(kPanel), apply == 1 ? wire(next) : wire(prior));
        EXPECT_EQ(selectors(kSip), apply == 1 ? wire(next) : wire(prior));
        EXPECT_EQ(selectors(kOffline), wire(own));
        const Site& site = sim.stoppedSite();
        EXPECT_EQ(wire(site.defaultSelectors), wire(next));
    }
}

TEST_F(LoggedIn, MembershipUpdatesAreAnsweredBack) {
    EXPECT_EQ(partyLine(kPartyLine).entryCount(), 3u);

    model::PartyLineMembership changed;
    changed.set(model::PartyLineMembership::kPartyLine, kPartyLine);
    changed.addEntry({kSip, 3});
    ASSERT_TRUE(client.send(msg::ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE, kPartyLine, changed.wire()));
    EXPECT_EQ(partyLine(kPartyLine), changed);

    // A party line nobody configured is empty, under its own number.
    const model::PartyLineMembership unknown = partyLine(10099);
    EXPECT_EQ(unknown.get(model::PartyLineMembership::kPartyLine), 10099);
    EXPECT_EQ(unknown.entryCount(), 0u);

    model::ClientBitSet blocked;
    blocked.setBit(999);
    ASSERT_TRUE(client.send(msg::ADMIN_BLOCKED_LISTEN_UPDATE, kPanel, blocked.bytes()));
    const model::ClientBitSet answer =
        set(msg::ADMIN_BLOCKED_LISTEN_REQUEST, msg::ADMIN_BLOCKED_LISTEN_RESPONSE, kPanel);
    EXPECT_TRUE(std::ranges::equal(answer.bytes(), blocked.bytes()));
    model::ClientBitSet forced =
        set(msg::ADMIN_FORCED_LISTEN_REQUEST, msg::ADMIN_FORCED_LISTEN_RESPONSE, kPanel);
    EXPECT_EQ(forced.nextSetBit(-1), -1);
}

TEST_F(LoggedIn, DeletingAClientRemovesItFromEveryMembership) {
    model::ClientBitSet blocked;
    blocked.setBit(kOffline);
    blocked.setBit(kSip);
    ASSERT_TRUE(client.send(msg::ADMIN_BLOCKED_LISTEN_UPDATE, kPanel, blocked.bytes()));

    ASSERT_TRUE(client.send(msg::ADMIN_DELETE_ENTRY, 10002));

    const model::PartyLineMembership members = partyLine(kPartyLine);
    ASSERT_EQ(members.entryCount(), 2u);
    for (std::size_t k = 0; k < members.entryCount(); ++k) {
        EXPECT_EQ(members.entry(k).member, kPanel);
    }
    model::ClientBitSet group = set(msg::ADMIN_FIXED_GROUP_MEMBERSHIP_REQUEST,
                                    msg::ADMIN_FIXED_GROUP_MEMBERSHIP_RESPONSE, 0);
    EXPECT_TRUE(group.test(kPanel));
    EXPECT_FALSE(group.test(kOffline));
    blocked = set(msg::ADMIN_BLOCKED_LISTEN_REQUEST, msg::ADMIN_BLOCKED_LISTEN_RESPONSE, kPanel);
    EXPECT_TRUE(blocked.test(kSip));
    EXPECT_FALSE(blocked.test(kOffline));
    EXPECT_EQ(options(kOffline), options(kDefault)) << "its own options are gone";

    const Site& site = sim.stoppedSite();
    EXPECT_FALSE(site.labels.contains(10002));
    EXPECT_FALSE(site.credentials.contains(kOffline));
    EXPECT_TRUE(site.labels.contains(10000));
}

// What the client views post, made by the console's own functions from a
// mirror of the same site, lands in the site byte for byte.
TEST_F(LoggedIn, ClientConfigurationRecordsAreStored) {
    using model::TemplateKind;
    using L = model::LabelInfo;
    test::LogCapture log;
    const auto mirror = model::test::loadSite(smallSite());
    model::LabelTable& labels = mirror->labels;
    model::ClientStore& clients = mirror->clients;
    std::vector<model::OutgoingRecord> posts;
    const auto post = [&](std::vector<model::OutgoingRecord> records) {
        posts.insert(posts.end(), records.begin(), records.end());
    };

    // Duplicate the panel into a new client at the lowest free index.
    clients.setOptions(kPanel, smallSite().options[kOffline]);
    model::AudioSettings audio = model::defaultAudioSettings();
    audio.set(model::AudioSettings::kCodec, 7);
    clients.setAudio(kPanel, audio);
    const model::SelectorAssignments panelSelectors =
        selectorList({selector(kPartyLine, 1), selector(10002, 0)});
    model::ClientEditValues values;
    values.clientType = 10;
    values.loginName = "new desk";
    values.password = "pw";
    values.talkListenName = "Copy";
    const model::ClientSave save =
        model::saveClientEdit(labels, clients, -1, kPanel, values, &panelSelectors);
    ASSERT_FALSE(save.error);
    ASSERT_EQ(save.clientIndex, 3);
    post(save.posts);

    // Spare becomes an audio template with the SIP client following, then
    // follows the panel and takes its follower along (posted by index).
    std::vector<int> rows = model::clientIndexesInOrder(labels);
    post(model::linkTemplate(labels, TemplateKind::AudioSettings, 10002,
                             std::vector<int>{kSip, kOffline}, rows)
             .posts);
    const auto moved = model::linkTemplate(labels, TemplateKind::AudioSettings, 10000,
                                           std::vector<int>{kPanel, kOffline}, rows);
    ASSERT_EQ(moved.posts.size(), 3u);
    EXPECT_EQ(moved.posts[1].second, kSip);
    post(moved.posts);
    post(model::linkTemplate(labels, TemplateKind::Options, 10001, std::vector<int>{kSip, 3}, rows)
             .posts);
    // Deleting the panel unlinks everyone that followed it.
    post(model::deleteClient(labels, kPanel, rows).posts);

    const int changesBefore = sim.changes();
    for (const model::OutgoingRecord& record : posts) {
        ASSERT_TRUE(client.send(record.id, record.second, record.bytes));
    }
    status(client);
    EXPECT_EQ(sim.changes() - changesBefore, static_cast<int>(posts.size())) << "each one taken";
    const Site& site = sim.stoppedSite();

    EXPECT_FALSE(site.labels.contains(10000));
    rows = model::clientIndexesInOrder(labels);
    EXPECT_EQ(rows, (std::vector<int>{kSip, kOffline, 3}));
    for (const int index : rows) {
        const int number = labels.ClientLabelNumber(index);
        ASSERT_TRUE(site.labels.contains(number)) << number;
        EXPECT_EQ(site.labels.at(number), *labels.Find(number)) << number;
        EXPECT_EQ(site.labels.at(number).get(L::kAudioSettingsTemplate), model::kNoLabel);
    }
    EXPECT_EQ(site.labels.at(save.labelNumber).get(L::kOptionsTemplate), 10001);
    EXPECT_EQ(site.credentials.at(3), *clients.credentials(3));
    EXPECT_EQ(site.credentials.at(3).get(model::ClientCredentials::kLoginName), "new_desk");
    EXPECT_EQ(site.options.at(3), *clients.options(3));
    EXPECT_EQ(site.options.at(3).get(model::ClientOptions::kPanelConnectionTimeoutMs), 9999);
    EXPECT_EQ(site.audio.at(3), audio);
    EXPECT_EQ(site.selectors.at(3), panelSelectors);
}

TEST_F(LoggedIn, SystemSettingsFromTheConsoleAreStoredAndSentBack) {
    model::SystemSettings sent;
    for (std::size_t i = 0; i < sent.bytes.size(); ++i) {
        sent.bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    const auto answer = request(msg::CONFIGURATION_DATA_SYSTEM_SETTINGS, 0,
                                msg::CONFIGURATION_DATA_SYSTEM_SETTINGS, sent.view());
    ASSERT_TRUE(answer);
    EXPECT_TRUE(std::equal(answer->payload.begin(), answer->payload.end(), sent.bytes.begin(),
                           sent.bytes.end()));
}

TEST_F(LoggedIn, StatisticsMoveForOnlineClientsOnly) {
    using S = model::ClientStatistics;
    const auto table = [&] {
        auto t = std::make_unique<model::StatisticsTable>();
        if (const auto a = request(msg::ADMIN_CLIENT_STATISTICS_REQUEST, 0,
                                   msg::ADMIN_CLIENT_STATISTICS_RESPONSE, u16(0))) {
            EXPECT_EQ(a->payload.size(), model::StatisticsTable::kSize);
            model::storeStatistics(*t, a->payload);
        }
        return t;
    };
    const auto before = table();
    advance(2000);
    const auto after = table();

    const S online = after->client(kPanel);
    EXPECT_TRUE(online.online());
    EXPECT_EQ(online.get(S::kAddress), 0x0100007Fu);
    EXPECT_EQ(online.get(S::kBatteryPercent), 80);
    // 50 packets a second for two seconds, 100 per thousand lost.
    EXPECT_EQ(online.get(S::kSendDelivered) - before->client(kPanel).get(S::kSendDelivered), 90u);
    EXPECT_EQ(online.get(S::kSendLost) - before->client(kPanel).get(S::kSendLost), 10u);
    EXPECT_NE(online.get(S::kLastChangeTime), 0);

    const S offline = after->client(kOffline);
    EXPECT_FALSE(offline.online());
    EXPECT_EQ(offline, before->client(kOffline));
    EXPECT_EQ(offline.get(S::kReceiveJitterPeakMs), S::kMsNotAvailable);
    EXPECT_EQ(after->client(kSip).get(S::kLastChangeTime), 0) << "never seen";

    // Within the same second, so a kept answer must follow a reset and a
    // deletion at once.
    ASSERT_TRUE(client.send(msg::ADMIN_CLIENT_STATISTICS_RESET, 0, u16(kPanel)));
    EXPECT_EQ(table()->client(kPanel).get(S::kSendDelivered), 0u);
    ASSERT_TRUE(client.send(msg::ADMIN_DELETE_ENTRY, 10002));
    EXPECT_EQ(table()->client(kOffline), S{}) << "a deleted client is never seen";
}

TEST_F(LoggedIn, StatusShowsUpTimeAndFailover) {
    EXPECT_EQ(status(client).get(model::SystemStatus::kUpTimeSeconds), kInitialUpTime);
    advance(5000);
    const model::SystemStatus s = status(client);
    EXPECT_EQ(s.get(model::SystemStatus::kUpTimeSeconds), kInitialUpTime + 5);
    EXPECT_EQ(s.get(model::SystemStatus::kFailoverState), 3);

    const Bytes one{1};
    for (const int expected : {5, 3}) {
        ASSERT_TRUE(client.send(msg::ADMIN_FORCE_FAILOVER_REQUEST, 0, one));
        EXPECT_EQ(status(client).get(model::SystemStatus::kFailoverState), expected);
    }
}

TEST_F(LoggedIn, RestartClosesTheConnectionAndStartsTheUpTimeAgain) {
    ASSERT_TRUE(client.send(msg::ADMIN_SYSTEM_RESTART_REQUEST, 0, Bytes{1}));
    EXPECT_EQ(status(client).get(model::SystemStatus::kUpTimeSeconds), 0) << "until it goes";
    advance(600);
    ASSERT_TRUE(client.waitClosed(kWaitMs));

    TestClient again;
    ASSERT_TRUE(loggedIn(sim, again));
    EXPECT_EQ(status(again).get(model::SystemStatus::kUpTimeSeconds), 0);
}

TEST_F(LoggedIn, DebugLogComesNewestFirstThenOlderThenNew) {
    model::LogChunkOrder order;
    const auto chunk = [&] {
        const auto a = request(msg::ADMIN_DEBUG_LOG_REQUEST, 0, msg::ADMIN_DEBUG_LOG_RESPONSE,
                               model::encodeLogRequest(model::LogRequest::NextChunk));
        return a ? model::decodeLogChunk(a->payload) : std::nullopt;
    };

    std::string shown;
    for (int i = 0; i < 3; ++i) {
        const auto c = chunk();
        ASSERT_TRUE(c);
        EXPECT_FALSE(order.place(c->timeStamp)) << "chunk " << i << " goes before the text";
        shown = c->text + shown;
    }
    EXPECT_LT(shown.find("  line 0\n"), shown.find("  line 1\n"));
    EXPECT_LT(shown.find("  line 59\n"), shown.find("  line 60\n"));
    EXPECT_NE(shown.find("  line 99\n"), std::string::npos);

    const auto empty = chunk();
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->textBytes, 0u);
    order.place(empty->timeStamp);

    // The server writes a line of its own every few seconds.
    advance(5000);
    std::optional<model::LogChunk> fresh;
    for (int tries = 0; tries < 100 && !(fresh && fresh->textBytes > 0); ++tries) {
        fresh = chunk();
        ASSERT_TRUE(fresh);
        order.place(fresh->timeStamp);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_GT(fresh->textBytes, 10u);
    EXPECT_GT(fresh->timeStamp, order.oldest()) << "goes after the text";

    // Stopping and asking again starts over from the newest lines.
    ASSERT_TRUE(client.send(msg::ADMIN_DEBUG_LOG_REQUEST, 0,
                            model::encodeLogRequest(model::LogRequest::Stop)));
    const auto restart = chunk();
    ASSERT_TRUE(restart);
    EXPECT_NE(restart->text.find(fresh->text), std::string::npos);
}

TEST_F(LoggedIn, ActivityLogRecordsWhatConsolesDid) {
    ASSERT_TRUE(client.send(msg::ADMIN_LABEL_UPDATE, 10050, clientLabel(10050, 5, 10).view()));
    const auto a = request(msg::ADMIN_ACTIVITY_LOG_REQUEST, 0, msg::ADMIN_ACTIVITY_LOG_RESPONSE,
                           model::encodeLogRequest(model::LogRequest::NextChunk));
    ASSERT_TRUE(a);
    const auto c = model::decodeLogChunk(a->payload);
    ASSERT_TRUE(c);
    EXPECT_NE(c->text.find("Administrator 'admin' logged in"), std::string::npos);
    EXPECT_NE(c->text.find("Label 10050 added"), std::string::npos);
}

TEST_F(LoggedIn, FiltersRegistrationsAndFileLists) {
    const std::vector<std::uint32_t> words{0xFFFFFFFF, 0x80000001};
    const auto filters = model::encodeDebugFilterList(words);
    ASSERT_TRUE(client.send(msg::ADMIN_SET_DEBUG_FILTER_REQUEST, filters.count, filters.payload));
    const auto got = request(msg::ADMIN_GET_DEBUG_FILTER_REQUEST, 0,
                             msg::ADMIN_GET_DEBUG_FILTER_RESPONSE, u16(0));
    ASSERT_TRUE(got);
    EXPECT_EQ(model::decodeDebugFilterList(got->second, got->payload), words);

    const auto sip = request(msg::ADMIN_SIP_REGISTRATIONS_REQUEST, 0,
                             msg::ADMIN_SIP_REGISTRATIONS_RESPONSE, u16(0));
    ASSERT_TRUE(sip);
    const auto list = model::decodeSipRegistrations(sip->payload);
    ASSERT_EQ(list.entries.size(), 2u);
    EXPECT_EQ(list.entries[0].get(model::SipRegistration::kUserName), "phone");

    // Without an upload folder the name is listed all the same.
    ASSERT_TRUE(client.send(msg::ADMIN_CLIENT_OPTIONS_FILE_UPLOAD, 0,
                            model::encodeSoundFileUpload("ring.wav", pattern(300, 1))));
    const auto sounds = request(msg::ADMIN_CLIENT_OPTIONS_INFO_REQUEST, kDefault,
                                msg::ADMIN_CLIENT_OPTIONS_INFO_RESPONSE);
    ASSERT_TRUE(sounds);
    EXPECT_EQ(model::decodeSoundFileList(sounds->payload).names,
              std::vector<std::string>{"ring.wav"});
}

TEST(SiteProtocol, UploadsLandInTheFolderUnderASafeName) {
    TempFolder folder;
    ProtocolOptions options;
    options.uploadFolder = folder.path() / "uploads";
    Sim sim(smallSite(), {}, options);
    TestClient client;
    ASSERT_TRUE(loggedIn(sim, client));

    const Bytes logo = pattern(1000, 5);
    for (const char* name : {"logo.png", "../evil.png", "a/b.png", ".."}) {
        ASSERT_TRUE(client.send(msg::ADMIN_USER_INTERFACE_FILE_UPLOAD, 0,
                                model::encodeGraphicFileUpload(name, logo)));
    }
    const auto answer = ask(client, msg::ADMIN_USER_INTERFACE_INFO_REQUEST, kDefault, {},
                            msg::ADMIN_USER_INTERFACE_INFO_RESPONSE);
    ASSERT_TRUE(answer);
    EXPECT_EQ(model::decodeGraphicFileList(answer->payload).names,
              std::vector<std::string>{"logo.png"});

    std::ifstream in(options.uploadFolder / "logo.png", std::ios::binary);
    const Bytes written{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(written, logo);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "evil.png"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(options.uploadFolder),
                            std::filesystem::directory_iterator{}),
              1);
}

TEST(SiteProtocol, ChangesReachTheNextConnectionsDownload) {
    Sim sim;
    {
        TestClient client;
        ASSERT_TRUE(loggedIn(sim, client));
        ASSERT_TRUE(client.send(msg::ADMIN_CLIENT_CREDENTIALS_UPDATE, 0,
                                makeCredentials(5, "late", "").view()));
        const model::ClientCredentials master = makeCredentials(-1, "boss", "");
        ASSERT_TRUE(client.send(msg::ADMIN_CLIENT_CREDENTIALS_UPDATE, 0, master.view()));
        ASSERT_TRUE(client.send(msg::ADMIN_LABEL_UPDATE, 10050, clientLabel(10050, 5, 10).view()));
        // Answered, so everything before was handled.
        status(client);
    }
    TestClient client;
    ASSERT_TRUE(sim.connect(client));
    const auto frames = logIn(client);
    const auto find = [&](std::uint16_t id, std::uint16_t second) -> const Frame* {
        for (const Frame& f : frames) {
            if (f.id == id && f.second == second) {
                return &f;
            }
        }
        return nullptr;
    };
    EXPECT_TRUE(find(msg::CONFIGURATION_DATA_LABEL, 10050));
    const Frame* list = find(msg::CONFIGURATION_DATA_CLIENT_CREDENTIALS_LIST, 6);
    ASSERT_TRUE(list);
    EXPECT_EQ(
        rec::get(std::span(list->payload).subspan(5 * 146), model::ClientCredentials::kLoginName),
        "late");
    const Frame* master = find(msg::CONFIGURATION_DATA_CLIENT_CREDENTIALS, kDefault);
    ASSERT_TRUE(master);
    EXPECT_EQ(rec::get(master->payload, model::ClientCredentials::kLoginName), "boss");
    EXPECT_EQ(sim.changes(), 3);
}

// --- Bad input ---------------------------------------------------------------

TEST(SiteProtocol, BadInputIsLoggedAndTheConnectionGoesOn) {
    model::SelectorAssignments selectors;
    selectors.set(model::SelectorAssignments::kEntryCount, 3); // but two entries sent
    model::PartyLineMembership members;
    members.set(model::PartyLineMembership::kPartyLine, kPartyLine);
    members.set(model::PartyLineMembership::kEntryCount, 2); // but one entry sent
    Bytes upload = model::encodeSoundFileUpload("x.wav", pattern(10, 0));
    upload.resize(upload.size() - 1); // the length field says one more

    struct Case {
        std::uint16_t id;
        std::uint16_t second;
        Bytes payload;
        std::string logged;
    };
    const std::vector<Case> cases = {
        {6060, 0, {}, "Message ID 6060 not recognized (Size of message: 0 bytes)"},
        {msg::ADMIN_LOGIN_ACCEPTED, 0, Bytes(3), "Message ID 6001 not recognized"},
        {msg::CONFIGURATION_DATA_CLIENT_OPTIONS, 1000, Bytes(250), "client index out of range"},
        {msg::ADMIN_AUDIO_SETTINGS_REQUEST, 1000, {}, "client index out of range"},
        {msg::ADMIN_BLOCKED_LISTEN_UPDATE, 1000, Bytes(125), "client index out of range"},
        {msg::ADMIN_CLIENT_STATISTICS_RESET, 0, u16(1000), "client index out of range"},
        {msg::ADMIN_FIXED_GROUP_MEMBERSHIP_REQUEST, 100, {}, "fixed group index out of range"},
        {msg::CONFIGURATION_DATA_AUDIO_SETTINGS, 0, Bytes(49), "unexpected payload length"},
        {msg::ADMIN_LABEL_UPDATE, 10000, Bytes(299), "unexpected payload length"},
        {msg::ADMIN_FORCED_LISTEN_UPDATE, 0, Bytes(126), "unexpected payload length"},
        {msg::CONFIGURATION_DATA_CLIENT_OPTIONS, 0, Bytes(300), "unexpected payload length"},
        {msg::ADMIN_LABEL_UPDATE, 5, Bytes(300), "not a label number"},
        {msg::ADMIN_DELETE_ENTRY, 29999, {}, "no such label"},
        {msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, 0,
         Bytes(selectors.bytes.begin(), selectors.bytes.begin() + 48), "entry count"},
        {msg::ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE, kPartyLine,
         Bytes(members.bytes.begin(), members.bytes.begin() + 14), "entry count"},
        {msg::ADMIN_SET_DEBUG_FILTER_REQUEST, 3, Bytes(8), "four bytes per filter"},
        {msg::ADMIN_DEBUG_LOG_REQUEST, 0, u16(7), "neither next chunk nor stop"},
        {msg::ADMIN_CLIENT_OPTIONS_FILE_UPLOAD, 0, upload, "does not match the file"},
        {msg::APPLICATION_COMPONENT_INFO_REQUEST, 0, Bytes(8), "no update offered"},
        {msg::ADMIN_LOGIN_REQUEST, 0, loginPayload("admin", "secret"), "already logged in"},
    };
    test::LogCapture log;
    Sim sim;
    TestClient client;
    ASSERT_TRUE(loggedIn(sim, client));
    const int changesBefore = sim.changes();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(msg::messageName(c.id)) + " " + c.logged);
        log.clear();
        ASSERT_TRUE(client.send(c.id, c.second, c.payload));
        EXPECT_EQ(status(client).get(model::SystemStatus::kFailoverState), 3) << "still answering";
        EXPECT_TRUE(log.contains(c.logged));
    }
    EXPECT_EQ(sim.changes(), changesBefore) << "nothing bad was stored";
}

} // namespace
} // namespace mirx::sim
