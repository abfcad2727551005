// The scheduler against the simulator over 127.0.0.1: files found, ordered,
// run, deleted, and the server's site changed by them; a connection lost
// while a command waits.
#include "commandfiles/answer_guard.h"
#include "commandfiles/command_files.h"
#include "link/mirror_dispatch.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/membership_records.h"
#include "model/mirror.h"
#include "sim/demo_site.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "tests/commandfiles/command_file_folder.h"
#include "tests/support/served_site.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>

namespace mirx::commandfiles {
namespace {

using namespace std::chrono_literals;

constexpr const char* kLongAgo = "TIME_ABSOLUTE: 08:00:00 01-02-2020";
constexpr const char* kLater = "TIME_ABSOLUTE: 09:00:00 01-02-2020";
constexpr const char* kFarAhead = "TIME_ABSOLUTE: 08:00:00 01-02-2099";
// Demo site clients and party lines nothing else touches.
constexpr int kReplay = 8;
constexpr int kSecurity = 12;
constexpr int kCamera2 = 16;
constexpr int kReplayPartyLineLabel = 10106;

class Finishes final : public SchedulerObserver {
public:
    void fileFinished(const CCommandFile& file, Finish how) override {
        names.push_back(file.fileName());
        deleted.push_back(how == Finish::Deleted);
    }
    std::vector<std::string> names;
    std::vector<bool> deleted;
};

class SchedulerAgainstSim : public ::testing::Test {
protected:
    void SetUp() override {
        store_.set(link::kServerIPAddress.name, std::string("127.0.0.1"));
        link::LinkServices services;
        services.settings = &store_;
        services.model = &dispatch_;
        link_ = std::make_unique<link::ServerLink>(services);
        files_ = std::make_unique<CCommandFiles>(
            folder_.path(), CommandEnvironment{mirror_, &link_->requestQueue()}, guard_,
            probeLink(*link_));
        files_->setObserver(&finishes_);
    }

    void TearDown() override {
        files_.reset();
        link_->StopLink();
        link_.reset();
        stopServer();
    }

    // The same port each time, so a restarted server is where the link looks.
    void startServer(sim::FaultSwitches faults = {}) {
        served_.start(std::move(faults), port_);
        port_ = served_.port();
        store_.set(link::kDataIpPort.name, std::uint32_t{port_});
    }
    // Afterwards the site is ours to read.
    void stopServer() { served_.stop(); }
    std::size_t received(const std::string& name) const { return served_.received(name); }

    // The two timers' work, faster than real time: the scheduler only cares
    // about the order of its ticks.
    template <typename Predicate>
    bool runUntil(Predicate done, std::chrono::milliseconds limit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        bool responding = false;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            responding = responding ? files_->ResponseTick() : files_->SecondTick();
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }

    std::vector<std::string> statuses() const {
        std::vector<std::string> texts;
        for (const FileRow& row : files_->rows()) {
            texts.push_back(row.fileName + ": " + statusText(row.status));
        }
        return texts;
    }

    test::ServedSite served_;
    site::Site& site_ = served_.site;
    test::CommandFileFolder folder_;
    link::MemorySettingsStore store_;
    model::Mirror mirror_;
    link::MirrorDispatch dispatch_{mirror_};
    AnswerGuard guard_{mirror_.membershipFlags()};
    std::unique_ptr<link::ServerLink> link_;
    std::unique_ptr<CCommandFiles> files_;
    Finishes finishes_;
    std::uint16_t port_ = 0;
};

TEST_F(SchedulerAgainstSim, EqualTimesRunInTheOrderFoundAndFinishedFilesAreDeleted) {
    startServer();
    // Found before the login, b.txt a scan earlier than a.txt.
    folder_.write("b.txt", {kLongAgo, "BLOCKED_LISTEN: SET _client.8_ from _client.9_",
                            "PARTY_LINE: ADD TALK to _client.16_ on _pl.6_"});
    files_->CheckFileUpdates();
    folder_.write("a.txt", {kLongAgo, "BLOCKED_LISTEN: SET _client.8_ from _client.10_"});
    files_->CheckFileUpdates();
    EXPECT_EQ(statuses(), (std::vector<std::string>{"b.txt: Pending", "a.txt: Pending"}));

    ASSERT_TRUE(link_->Connect("admin", "admin"));
    ASSERT_TRUE(runUntil([&] { return finishes_.names.size() == 2; }));
    EXPECT_EQ(finishes_.names, (std::vector<std::string>{"b.txt", "a.txt"}));
    EXPECT_EQ(finishes_.deleted, (std::vector<bool>{true, true}));
    EXPECT_FALSE(folder_.has("a.txt"));
    EXPECT_FALSE(folder_.has("b.txt"));

    // A file is done once its last update is queued; the server may not
    // have read it yet.
    ASSERT_TRUE(runUntil([&] { return received("ADMIN_BLOCKED_LISTEN_UPDATE") == 2; }));
    stopServer();
    const model::ClientBitSet& blocked = site_.blockedListens[kReplay];
    EXPECT_TRUE(blocked.test(9));
    EXPECT_TRUE(blocked.test(10));
    EXPECT_TRUE(site_.partyLines[kReplayPartyLineLabel]
                    .findEntry({kCamera2, static_cast<std::uint8_t>(model::MembershipMode::Talk)})
                    .has_value());
}

TEST_F(SchedulerAgainstSim, AnInvalidFileDoesNotHoldBackAFutureFileDoes) {
    startServer();
    folder_.write("1.txt", {kLongAgo, "BLOCKED_LISTEN: SET _client.8_"});
    folder_.write("2.txt", {kLongAgo, "BLOCKED_LISTEN: SET _client.8_ from _client.9_"});
    folder_.write("3.txt", {kLater, "BLOCKED_LISTEN: SET _client.8_ from _client.10_"});
    folder_.write("4.txt", {kLater, "FORCED_LISTEN: SET _client.12_ to _client.13_"});
    files_->CheckFileUpdates();
    // Rewritten for a time far ahead, 3.txt keeps its place in front of 4.txt.
    folder_.write("3.txt", {kFarAhead, "BLOCKED_LISTEN: SET _client.8_ from _client.10_"});
    files_->CheckFileUpdates();

    ASSERT_TRUE(link_->Connect("admin", "admin"));
    ASSERT_TRUE(runUntil([&] { return !finishes_.names.empty(); }));
    // A few more seconds' worth of ticks: nothing behind 3.txt may run.
    for (int tick = 0; tick < 5; ++tick) {
        EXPECT_FALSE(files_->SecondTick());
    }
    EXPECT_EQ(finishes_.names, (std::vector<std::string>{"2.txt"}));
    EXPECT_EQ(statuses(), (std::vector<std::string>{"1.txt: Format or ID error", "3.txt: Pending",
                                                    "4.txt: Pending"}));
    EXPECT_EQ(files_->rows().at(1).processingTime, "2099-01-02 08:00:00");
    EXPECT_TRUE(folder_.has("1.txt"));
    EXPECT_TRUE(folder_.has("4.txt"));

    ASSERT_TRUE(runUntil([&] { return received("ADMIN_BLOCKED_LISTEN_UPDATE") == 1; }));
    stopServer();
    EXPECT_TRUE(site_.blockedListens[kReplay].test(9));
    EXPECT_FALSE(site_.blockedListens[kReplay].test(10));
    EXPECT_FALSE(site_.forcedListens[kSecurity].test(13));
    EXPECT_EQ(received("ADMIN_FORCED_LISTEN_REQUEST"), 0u);
}

TEST_F(SchedulerAgainstSim, ACommandWaitingWhenTheConnectionEndsCompletesOnceAfterTheNextLogin) {
    sim::FaultSwitches deaf;
    deaf.ignoreMessageIds = {msg::ADMIN_FORCED_LISTEN_REQUEST};
    startServer(deaf);
    folder_.write("drop.txt", {kLongAgo, "BLOCKED_LISTEN: SET _client.8_ from _client.9_",
                               "FORCED_LISTEN: SET _client.12_ to _client.13_"});
    ASSERT_TRUE(link_->Connect("admin", "admin"));
    ASSERT_TRUE(runUntil([&] { return received("ADMIN_FORCED_LISTEN_REQUEST") == 1; }));
    EXPECT_TRUE(files_->waiting());

    stopServer();
    ASSERT_TRUE(runUntil([&] { return !link_->connected(); }));
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_FALSE(files_->SecondTick());
        EXPECT_FALSE(files_->ResponseTick());
    }
    EXPECT_EQ(statuses(), (std::vector<std::string>{"drop.txt: Processing"}));
    EXPECT_TRUE(folder_.has("drop.txt"));
    EXPECT_TRUE(site_.blockedListens[kReplay].test(9));
    EXPECT_FALSE(site_.forcedListens[kSecurity].test(13));

    startServer();
    link_->StopLink();
    ASSERT_TRUE(link_->Connect("admin", "admin"));
    ASSERT_TRUE(runUntil([&] { return !folder_.has("drop.txt"); }));
    EXPECT_TRUE(files_->rows().empty());

    ASSERT_TRUE(runUntil([&] { return received("ADMIN_FORCED_LISTEN_UPDATE") == 1; }));
    stopServer();
    EXPECT_TRUE(site_.forcedListens[kSecurity].test(13));
    EXPECT_TRUE(site_.blockedListens[kReplay].test(9));
    // The first command was not run again; the second was asked twice and
    // done once.
    EXPECT_EQ(received("ADMIN_BLOCKED_LISTEN_REQUEST"), 1u);
    EXPECT_EQ(received("ADMIN_BLOCKED_LISTEN_UPDATE"), 1u);
    EXPECT_EQ(received("ADMIN_FORCED_LISTEN_REQUEST"), 2u);
    EXPECT_EQ(received("ADMIN_FORCED_LISTEN_UPDATE"), 1u);
}

} // namespace
} // namespace mirx::commandfiles
