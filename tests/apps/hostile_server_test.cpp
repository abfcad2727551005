// mirx-ctl and the link against a server that sends what it should not:
// labels moved about, broken membership and listen answers, a short status.
#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "core/message_ids.h"
#include "link/mirror_dispatch.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/label_info.h"
#include "model/membership_records.h"
#include "model/mirror.h"
#include "model/system_status.h"
#include "sim/demo_site.h"
#include "site/scenario.h"
#include "tests/commandfiles/command_file_folder.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_server.h"

#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <thread>

namespace mirx::ctl {
namespace {

using model::LabelInfo;
using test::ScriptedFrame;

constexpr const char* kLongAgo = "TIME_ABSOLUTE: 08:00:00 01-02-2020";
// Demo site: client 3 has label 10003, client 4 label 10004; party line 3
// has label 10103; client 16 is no control panel and party line 6 has label
// 10106.
constexpr int kMoved = 10003;
constexpr int kNeighbour = 10004;

class AgainstScriptedServer : public ::testing::Test {
protected:
    void serve(test::Script script) {
        server_ = std::make_unique<test::ScriptedServer>(sim::demoSite(), std::move(script));
        ASSERT_TRUE(server_->start());
    }

    int run(std::vector<std::string> command) {
        std::vector<std::string> args{"--server", "127.0.0.1:" + std::to_string(server_->port()),
                                      "--user", "admin", "--password-stdin"};
        args.insert(args.end(), command.begin(), command.end());
        CtlOptions options;
        EXPECT_EQ(parseCtlOptions(args, options), "");
        std::istringstream in("admin\n");
        return runCtl(options, store_, {out_, err_, in}, stop_);
    }

    std::unique_ptr<test::ScriptedServer> server_;
    link::MemorySettingsStore store_;
    std::ostringstream out_;
    std::ostringstream err_;
    std::atomic<bool> stop_{false};
};

// The demo site's label `number`, re-sent with its position changed.
ScriptedFrame moved(int number, int index, int kind = 0) {
    LabelInfo label = sim::demoSite().labels.at(number);
    label.set(LabelInfo::kIndex, index);
    label.set(LabelInfo::kLabelKind, kind);
    return {msg::CONFIGURATION_DATA_LABEL, static_cast<std::uint16_t>(number),
            std::vector<std::uint8_t>(label.bytes.begin(), label.bytes.end())};
}

struct RelabelCase {
    const char* name;
    std::vector<ScriptedFrame> frames;
    std::optional<int> exportedIndex; // of kMoved; nothing: not exported
    bool neighbourExported;
};

class ExportAfterRelabel : public AgainstScriptedServer,
                           public ::testing::WithParamInterface<RelabelCase> {};

TEST_P(ExportAfterRelabel, FinishesWithEachLabelAtItsLastPosition) {
    const RelabelCase& c = GetParam();
    serve({.afterDownload = c.frames});
    ASSERT_EQ(run({"export"}), kExitOk) << err_.str();

    site::ScenarioError error;
    const auto mirrored = site::parseScenario(out_.str(), error);
    ASSERT_TRUE(mirrored) << error.message;
    const auto found = mirrored->labels.find(kMoved);
    if (c.exportedIndex) {
        ASSERT_NE(found, mirrored->labels.end());
        EXPECT_EQ(found->second.get(LabelInfo::kIndex), *c.exportedIndex);
    } else {
        EXPECT_EQ(found, mirrored->labels.end());
    }
    EXPECT_EQ(mirrored->labels.count(kNeighbour), c.neighbourExported ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ExportAfterRelabel,
    ::testing::Values(
        RelabelCase{"WithinRange", {moved(kMoved, 900)}, 900, true},
        RelabelCase{"BackAndForth",
                    {moved(kMoved, 900), moved(kMoved, 2), moved(kMoved, 900), moved(kMoved, 3)},
                    3,
                    true},
        // A client index the server cannot be asked about: findable, not
        // enumerated, so the export neither lists nor asks for it.
        RelabelCase{"ToIndex1000", {moved(kMoved, 1000)}, std::nullopt, true},
        RelabelCase{"FarOutAndBack", {moved(kMoved, 1500), moved(kMoved, 7)}, 7, true},
        RelabelCase{"OntoAnOccupiedIndex", {moved(kMoved, 4)}, 4, false},
        // Below its first position: a walk resuming from the new position
        // must not come back to the old one.
        RelabelCase{"DownPastAnother", {moved(kMoved, 1)}, 1, true},
        RelabelCase{"ToAnotherKind", {moved(kMoved, 150, 1)}, 150, true}),
    [](const auto& p) { return std::string(p.param.name); });

ScriptedFrame partyLineAnswer(std::uint16_t partyLine, std::uint16_t count, std::size_t size) {
    std::vector<std::uint8_t> bytes(size, 0);
    bytes[0] = static_cast<std::uint8_t>(partyLine & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(partyLine >> 8);
    bytes[2] = static_cast<std::uint8_t>(count);
    for (std::size_t k = 0; k < count && 4 + 10 * k + 2 < size; ++k) {
        bytes[4 + 10 * k] = static_cast<std::uint8_t>(20 + k);
        bytes[4 + 10 * k + 2] = 3;
    }
    return {msg::ADMIN_PARTY_LINE_MEMBERSHIP_RESPONSE, partyLine, bytes};
}

struct BrokenAnswerCase {
    const char* name;
    std::string line;
    std::uint16_t request;
    ScriptedFrame answer;
    std::uint16_t update; // must never reach the server
    std::string reason;
};

class CommandFileAgainstBrokenAnswer : public AgainstScriptedServer,
                                       public ::testing::WithParamInterface<BrokenAnswerCase> {
protected:
    test::CommandFileFolder folder_;
};

TEST_P(CommandFileAgainstBrokenAnswer, FailsAndSendsNothing) {
    const BrokenAnswerCase& c = GetParam();
    serve({.answers = {{c.request, {c.answer}}}});
    folder_.write("broken.txt", {kLongAgo, c.line});

    EXPECT_EQ(run({"run-command-files", "--folder", folder_.path().string(), "--once"}),
              kExitCommandFileFailed)
        << err_.str() << out_.str();
    EXPECT_NE(out_.str().find("failed 'broken.txt': " + c.reason), std::string::npos) << out_.str();
    EXPECT_TRUE(server_->receivedAny(c.request));
    EXPECT_FALSE(server_->receivedAny(c.update));
    EXPECT_TRUE(folder_.has("broken.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CommandFileAgainstBrokenAnswer,
    ::testing::Values(
        BrokenAnswerCase{"ShortPartyLineAnswer", "PARTY_LINE: ADD TALK to _client.16_ on _pl.6_",
                         msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST, partyLineAnswer(10106, 3, 24),
                         msg::ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE,
                         "PARTY_LINE: ADD on line 2: the party line membership answer holds 24 "
                         "bytes where its 3 entries need 34"},
        BrokenAnswerCase{"AnotherPartyLinesAnswer", "PARTY_LINE: ADD TALK to _client.16_ on _pl.6_",
                         msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST, partyLineAnswer(10101, 2, 24),
                         msg::ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE,
                         "PARTY_LINE: ADD on line 2: the membership answer is for party line "
                         "label 10101, not the requested 10106"},
        BrokenAnswerCase{"ShortBlockedListenAnswer",
                         "BLOCKED_LISTEN: SET _client.8_ from _client.9_",
                         msg::ADMIN_BLOCKED_LISTEN_REQUEST,
                         {msg::ADMIN_BLOCKED_LISTEN_RESPONSE, 8, std::vector<std::uint8_t>(100)},
                         msg::ADMIN_BLOCKED_LISTEN_UPDATE,
                         "BLOCKED_LISTEN: SET on line 2: the blocked listen answer holds 100 "
                         "bytes, not the 125"},
        BrokenAnswerCase{"LongForcedListenAnswer",
                         "FORCED_LISTEN: SET _client.8_ to _client.9_",
                         msg::ADMIN_FORCED_LISTEN_REQUEST,
                         {msg::ADMIN_FORCED_LISTEN_RESPONSE, 8, std::vector<std::uint8_t>(126)},
                         msg::ADMIN_FORCED_LISTEN_UPDATE,
                         "FORCED_LISTEN: SET on line 2: the forced listen answer holds 126 "
                         "bytes, not the 125"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ShortStatusRecord, IsLoggedAndIgnoredNotMergedWithTheLastOne) {
    std::vector<std::uint8_t> whole(model::SystemStatus::kSize, 0x11);
    std::vector<std::uint8_t> cut(model::SystemStatus::kSize - 1, 0x22);
    test::ScriptedServer server(sim::demoSite(),
                                {.answers = {{msg::ADMIN_SYSTEM_STATUS_REQUEST,
                                              {{msg::ADMIN_SYSTEM_STATUS_RESPONSE, 0, whole},
                                               {msg::ADMIN_SYSTEM_STATUS_RESPONSE, 0, cut}}}}});
    ASSERT_TRUE(server.start());
    test::LogCapture log;
    link::MemorySettingsStore store;
    store.set(link::kServerIPAddress.name, std::string("127.0.0.1"));
    store.set(link::kDataIpPort.name, std::uint32_t{server.port()});
    model::Mirror mirror;
    link::MirrorDispatch dispatch(mirror);
    link::LinkServices services;
    services.settings = &store;
    services.model = &dispatch;
    link::ServerLink link(services);
    ASSERT_TRUE(link.Connect("admin", "admin")) << link.errorText();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!log.contains("ADMIN_SYSTEM_STATUS_RESPONSE of 24 bytes ignored, the status needs 25") &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    link.StopLink();
    EXPECT_TRUE(log.contains("WARNING: ADMIN_SYSTEM_STATUS_RESPONSE of 24 bytes ignored"));
    const model::SystemStatus status = link.status();
    EXPECT_EQ(std::vector<std::uint8_t>(status.bytes.begin(), status.bytes.end()), whole);
}

} // namespace
} // namespace mirx::ctl
