// mirx-ctl run-command-files against the simulator: what it prints, what it
// leaves, how it ends, and how it carries on after a lost connection.
#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "apps/ctl/run_command_files.h"
#include "commandfiles/folder_lock.h"
#include "core/message_ids.h"
#include "link/mirror_dispatch.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/mirror.h"
#include "sim/demo_site.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "tests/commandfiles/command_file_folder.h"
#include "tests/support/env_override.h"
#include "tests/support/served_site.h"
#include "tests/support/wait_until.h"

#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <thread>

namespace mirx::ctl {
namespace {

using namespace std::chrono_literals;

constexpr const char* kLongAgo = "TIME_ABSOLUTE: 08:00:00 01-02-2020";

struct ParseCase {
    std::vector<std::string> args;
    const char* problem; // substring; "" = accepted
};

TEST(RunCommandFilesOptions, ParsesOrExplains) {
    const ParseCase cases[] = {
        {{"run-command-files"}, ""},
        {{"run-command-files", "--folder", "/srv/cf", "--once"}, ""},
        {{"run-command-files", "--folder"}, "--folder needs a value"},
        {{"status", "--once"}, "belong to the run-command-files command"},
        {{"export", "--folder", "x"}, "belong to the run-command-files command"},
    };
    for (const ParseCase& c : cases) {
        CtlOptions options;
        const std::string problem = parseCtlOptions(c.args, options);
        if (*c.problem == '\0') {
            EXPECT_EQ(problem, "") << c.args.back();
        } else {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        }
    }
    // The console's rule: an installed program without the folder beside it
    // reads the user's data folder.
    const test::EnvOverride data("XDG_DATA_HOME", std::string("/home/someone/.data"));
    EXPECT_EQ(defaultCommandFilesFolder({"/opt/mirx/bin/mirx-ctl", "run-command-files"}),
              std::filesystem::path("/home/someone/.data/Talbrook/Command Files"));
}

class RunCommandFilesAgainstSim : public ::testing::Test {
protected:
    void SetUp() override { startServer(); }

    // The same port each time, so a restarted server is where the link looks.
    void startServer(sim::FaultSwitches faults = {}) {
        served_.start(std::move(faults), port_);
        port_ = served_.port();
    }
    void stopServer() { served_.stop(); }
    std::size_t received(const std::string& name) const { return served_.received(name); }

    int run(std::vector<std::string> command) {
        std::vector<std::string> args{"--server", "127.0.0.1:" + std::to_string(port_), "--user",
                                      "admin", "--password-stdin"};
        args.insert(args.end(), command.begin(), command.end());
        CtlOptions options;
        EXPECT_EQ(parseCtlOptions(args, options), "");
        std::istringstream in("admin\n");
        return runCtl(options, store_, {out_, err_, in}, stop_);
    }

    // Lines of the output without their time stamps and problem details.
    std::vector<std::string> outputLines() const {
        std::vector<std::string> lines;
        std::istringstream text(out_.str());
        for (std::string line; std::getline(text, line);) {
            if (line.starts_with("    ")) {
                continue; // a format problem's details
            }
            lines.push_back(line.size() > 20 && line[4] == '-' ? line.substr(20) : line);
        }
        return lines;
    }

    test::ServedSite served_;
    site::Site& site_ = served_.site;
    std::uint16_t port_ = 0;
    test::CommandFileFolder folder_;
    link::MemorySettingsStore store_;
    std::ostringstream out_;
    std::ostringstream err_;
    std::atomic<bool> stop_{false};
};

TEST_F(RunCommandFilesAgainstSim, OnceRunsWhatIsDueAndEnds) {
    folder_.write("now.txt", {"DESCRIPTION: Rehearsal", kLongAgo,
                              "BLOCKED_LISTEN: SET _client.8_ from _client.9_",
                              "FORCED_LISTEN: SET _client.12_ to _client.13_"});
    folder_.write("later.txt", {"TIME_ABSOLUTE: 08:00:00 01-02-2099"});
    folder_.write("wrong.txt", {kLongAgo, "FILE_VERSION: 2"});

    EXPECT_EQ(run({"run-command-files", "--folder", folder_.path().string(), "--once"}), kExitOk)
        << err_.str();
    EXPECT_EQ(outputLines(), (std::vector<std::string>{
                                 "found 'later.txt': due 2099-01-02 08:00:00",
                                 "found 'now.txt' \"Rehearsal\": due 2020-01-02 08:00:00",
                                 "found 'wrong.txt': Format or ID error",
                                 "start 'now.txt'",
                                 "'now.txt' command 1: BLOCKED_LISTEN SET: asked",
                                 "'now.txt' command 1: BLOCKED_LISTEN SET: done",
                                 "'now.txt' command 2: FORCED_LISTEN SET: asked",
                                 "'now.txt' command 2: FORCED_LISTEN SET: done",
                                 "finished 'now.txt': deleted",
                             }))
        << out_.str();
    EXPECT_NE(out_.str().find("Format or ID error\n    line 2: "), std::string::npos);
    EXPECT_FALSE(folder_.has("now.txt"));
    EXPECT_TRUE(folder_.has("later.txt"));
    EXPECT_TRUE(folder_.has("wrong.txt"));
    stopServer();
    EXPECT_TRUE(site_.blockedListens[8].test(9));
    EXPECT_TRUE(site_.forcedListens[12].test(13));
}

TEST_F(RunCommandFilesAgainstSim, AFolderHeldByAnotherRunnerIsLeftAloneWithItsOwnStatus) {
    folder_.write("now.txt", {kLongAgo, "BLOCKED_LISTEN: SET _client.1_ from _client.2_"});
    commandfiles::FolderLock console(folder_.path());
    ASSERT_EQ(console.tryTake(), commandfiles::FolderLock::State::Held);

    EXPECT_EQ(run({"run-command-files", "--folder", folder_.path().string(), "--once"}),
              kExitFolderInUse)
        << out_.str() << err_.str();
    EXPECT_EQ(outputLines(),
              std::vector<std::string>{"The command files folder is in use by process " +
                                       std::to_string(::getpid()) + " (lock file " +
                                       console.path().string() +
                                       "); its files are left to that runner."});
    EXPECT_EQ(received("ADMIN_BLOCKED_LISTEN_REQUEST"), 0u);
    EXPECT_TRUE(folder_.has("now.txt"));
}

TEST_F(RunCommandFilesAgainstSim, AMissingFolderIsAUsageError) {
    EXPECT_EQ(run({"run-command-files", "--folder", (folder_.path() / "none").string(), "--once"}),
              kExitUsage);
    EXPECT_NE(err_.str().find("no command files folder"), std::string::npos) << err_.str();
}

TEST_F(RunCommandFilesAgainstSim, OnceEndsWithItsOwnStatusWhenAFileGetsNoAnswer) {
    stopServer();
    sim::FaultSwitches deaf;
    deaf.ignoreMessageIds = {msg::ADMIN_BLOCKED_LISTEN_REQUEST};
    startServer(deaf);
    folder_.write("deaf.txt", {kLongAgo, "BLOCKED_LISTEN: SET _client.8_ from _client.9_"});
    folder_.write("fine.txt", {"TIME_ABSOLUTE: 09:00:00 01-02-2020",
                               "FORCED_LISTEN: SET _client.12_ to _client.13_"});

    model::Mirror mirror;
    link::MirrorDispatch dispatch(mirror);
    store_.set(link::kServerIPAddress.name, std::string("127.0.0.1"));
    store_.set(link::kDataIpPort.name, std::uint32_t{port_});
    link::LinkServices services;
    services.settings = &store_;
    services.model = &dispatch;
    link::ServerLink link(services);
    ASSERT_TRUE(link.Connect("admin", "admin"));
    RunCommandFilesOptions options;
    options.folder = folder_.path();
    options.once = true;
    options.timing.answerTimeoutMs = 100;
    std::istringstream in;
    EXPECT_EQ(runCommandFiles(link, mirror, options, {out_, err_, in}, stop_, [] { return false; }),
              kExitCommandFileFailed);
    const std::string out = out_.str();
    EXPECT_NE(out.find("'deaf.txt' command 1: BLOCKED_LISTEN SET: no answer; asked again (try 3)"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("failed 'deaf.txt': Failed: no answer from the server"), std::string::npos);
    EXPECT_NE(out.find("finished 'fine.txt': deleted"), std::string::npos);
    EXPECT_TRUE(folder_.has("deaf.txt"));
    EXPECT_EQ(received("ADMIN_BLOCKED_LISTEN_REQUEST"), 3u);
}

TEST_F(RunCommandFilesAgainstSim, LogsInAgainAfterALostConnectionAndFinishesTheWaitingFile) {
    stopServer();
    sim::FaultSwitches deaf;
    deaf.ignoreMessageIds = {msg::ADMIN_FORCED_LISTEN_REQUEST};
    startServer(deaf);
    folder_.write("drop.txt", {kLongAgo, "BLOCKED_LISTEN: SET _client.8_ from _client.9_",
                               "FORCED_LISTEN: SET _client.12_ to _client.13_"});
    int status = -1;
    std::thread ctl([&] {
        status = run({"run-command-files", "--folder", folder_.path().string()});
    });
    EXPECT_TRUE(test::waitUntil([&] { return received("ADMIN_FORCED_LISTEN_REQUEST") == 1; }));
    stopServer();
    startServer();
    EXPECT_TRUE(test::waitUntil([&] { return !folder_.has("drop.txt"); }));
    stop_ = true;
    ctl.join();

    EXPECT_EQ(status, kExitOk);
    const std::string out = out_.str();
    EXPECT_NE(out.find("'drop.txt' command 2: FORCED_LISTEN SET: asked again after a new login"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("finished 'drop.txt': deleted"), std::string::npos);
    EXPECT_NE(err_.str().find("the connection to the server was lost"), std::string::npos);
    stopServer();
    EXPECT_TRUE(site_.forcedListens[12].test(13));
    EXPECT_EQ(received("ADMIN_BLOCKED_LISTEN_UPDATE"), 1u);
    EXPECT_EQ(received("ADMIN_FORCED_LISTEN_UPDATE"), 1u);
}

} // namespace
} // namespace mirx::ctl
