// The scheduler's own rules, driven without a network: a manual clock for the
// tick and the local time, a request queue read back frame by frame, answers
// written into the mirror as the link would.
#include "commandfiles/answer_guard.h"
#include "commandfiles/command_files.h"
#include "core/clock.h"
#include "core/message_ids.h"
#include "core/message_queue.h"
#include "core/wire_frame.h"
#include "model/bit_set.h"
#include "model/mirror.h"
#include "tests/commandfiles/command_file_folder.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace mirx::commandfiles {
namespace {

using model::ClientBitSet;

struct Sent {
    std::uint16_t id = 0;
    std::uint16_t second = 0;
    friend bool operator==(const Sent&, const Sent&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Sent& s) {
        return out << "{" << s.id << ", " << s.second << "}";
    }
};

constexpr std::uint16_t kBlockedRequest = msg::ADMIN_BLOCKED_LISTEN_REQUEST;
constexpr std::uint16_t kBlockedUpdate = msg::ADMIN_BLOCKED_LISTEN_UPDATE;
constexpr std::uint16_t kForcedRequest = msg::ADMIN_FORCED_LISTEN_REQUEST;
constexpr std::uint16_t kForcedUpdate = msg::ADMIN_FORCED_LISTEN_UPDATE;

// The clock stands at 2024-03-14 12:00:00.
constexpr const char* kDueAt11 = "TIME_ABSOLUTE: 11:00:00 03-14-2024";
constexpr const char* kDueAt1130 = "TIME_ABSOLUTE: 11:30:00 03-14-2024";

class SchedulerRules : public ::testing::Test {
protected:
    void SetUp() override {
        clock_.setLocalTime({2024, 3, 14, 12, 0, 0, 0});
        queue_.Enable();
        files_ = std::make_unique<CCommandFiles>(
            folder_.path(), CommandEnvironment{mirror_, &queue_}, guard_, [this] { return link_; });
    }

    // Frames posted since the last call, oldest first; the last update's set
    // is kept in lastSet_.
    std::vector<Sent> sent() {
        std::vector<Sent> frames;
        std::vector<std::uint8_t> buffer(wire::kMaxFrameSize);
        while (const std::size_t size = queue_.TakeFramed(buffer.data(), buffer.size())) {
            const Sent s{wire::readU16(&buffer[wire::kMessageIdOffset]),
                         wire::readU16(&buffer[wire::kSecondValueOffset])};
            if (s.id == kBlockedUpdate || s.id == kForcedUpdate) {
                lastSet_ = ClientBitSet();
                lastSet_.assignPrefix(
                    std::span(buffer).subspan(wire::kHeaderSize, size - wire::kFrameOverhead));
            }
            frames.push_back(s);
        }
        return frames;
    }

    // An answer arriving as the connection thread would store it.
    void answer(AwaitedAnswer kind, const ClientBitSet& set = {}) {
        mirror_.edit([&](model::MirrorData& d) {
            if (kind == AwaitedAnswer::BlockedListen) {
                d.membership.ReceiveBlockedListen(set.bytes());
            } else {
                d.membership.ReceiveForcedListen(set.bytes());
            }
        });
    }

    std::vector<std::string> statuses() const {
        std::vector<std::string> texts;
        for (const FileRow& row : files_->rows()) {
            texts.push_back(row.fileName + ": " + statusText(row.status));
        }
        return texts;
    }

    ManualClock clock_{5000};
    ScopedClock installed_{clock_};
    test::CommandFileFolder folder_;
    model::Mirror mirror_;
    CMessageQueue queue_{300};
    AnswerGuard guard_{mirror_.membershipFlags()};
    LinkView link_{true, 1};
    std::unique_ptr<CCommandFiles> files_;
    ClientBitSet lastSet_;
};

TEST_F(SchedulerRules, NoAnswerIsAskedAgainTwiceThenTheFileFailsAndTheNextRuns) {
    folder_.write("a.txt", {kDueAt11, "BLOCKED_LISTEN: SET _client.1_ from _client.2_"});
    folder_.write("b.txt", {kDueAt1130, "FORCED_LISTEN: SET _client.3_ to _client.4_"});
    ASSERT_TRUE(files_->SecondTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedRequest, 1}}));

    clock_.advance(29999);
    EXPECT_TRUE(files_->ResponseTick());
    EXPECT_TRUE(sent().empty());
    for (int again = 2; again <= 3; ++again) {
        clock_.advance(again == 2 ? 1 : 30000);
        EXPECT_TRUE(files_->ResponseTick());
        EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedRequest, 1}})) << "try " << again;
    }
    clock_.advance(30000);
    EXPECT_TRUE(files_->ResponseTick()); // b.txt now waits
    EXPECT_EQ(sent(), (std::vector<Sent>{{kForcedRequest, 3}}));
    EXPECT_EQ(statuses(), (std::vector<std::string>{"a.txt: Failed: no answer from the server",
                                                    "b.txt: Processing"}));
    EXPECT_TRUE(folder_.has("a.txt"));

    // a.txt's answer turning up late is not b.txt's.
    answer(AwaitedAnswer::BlockedListen);
    EXPECT_TRUE(files_->ResponseTick());
    EXPECT_TRUE(sent().empty());

    answer(AwaitedAnswer::ForcedListen);
    EXPECT_FALSE(files_->ResponseTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kForcedUpdate, 3}}));
    EXPECT_FALSE(folder_.has("b.txt"));

    // The failed file stays passed over.
    EXPECT_FALSE(files_->SecondTick());
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(statuses(), (std::vector<std::string>{"a.txt: Failed: no answer from the server"}));
}

TEST_F(SchedulerRules, ARefusedAnswerFailsTheFileAtOnceAndTheNextRuns) {
    folder_.write("a.txt", {kDueAt11, "BLOCKED_LISTEN: SET _client.1_ from _client.2_",
                            "BLOCKED_LISTEN: SET _client.1_ from _client.5_"});
    folder_.write("b.txt", {kDueAt1130, "FORCED_LISTEN: SET _client.3_ to _client.4_"});
    ASSERT_TRUE(files_->SecondTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedRequest, 1}}));

    mirror_.edit([](model::MirrorData& d) {
        d.membership.ReceiveBlockedListen(std::vector<std::uint8_t>(60, 0xFF));
    });
    EXPECT_TRUE(files_->ResponseTick()); // b.txt now waits
    EXPECT_EQ(sent(), (std::vector<Sent>{{kForcedRequest, 3}})) << "no update for a.txt";
    EXPECT_EQ(statuses(), (std::vector<std::string>{
                              "a.txt: Failed: the server's answer was refused, nothing was sent",
                              "b.txt: Processing"}));
    EXPECT_TRUE(folder_.has("a.txt"));
}

TEST_F(SchedulerRules, AFailedFileThatChangesOnDiskIsReadAfresh) {
    files_ = std::make_unique<CCommandFiles>(
        folder_.path(), CommandEnvironment{mirror_, &queue_}, guard_, [this] { return link_; },
        SchedulerTiming{1000, 1, 0});
    folder_.write("a.txt", {kDueAt11, "BLOCKED_LISTEN: SET _client.1_ from _client.2_"});
    ASSERT_TRUE(files_->SecondTick());
    clock_.advance(1000);
    EXPECT_FALSE(files_->ResponseTick());
    EXPECT_EQ(statuses(), (std::vector<std::string>{"a.txt: Failed: no answer from the server"}));
    sent();

    folder_.write("a.txt", {kDueAt11, "FORCED_LISTEN: SET _client.5_ to _client.6_"});
    EXPECT_TRUE(files_->SecondTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kForcedRequest, 5}}));
}

TEST_F(SchedulerRules, TheAnsweredFileCompletesBeforeAFileFoundAheadOfIt) {
    folder_.write("late.txt", {kDueAt1130, "BLOCKED_LISTEN: SET _client.1_ from _client.2_",
                               "BLOCKED_LISTEN: SET _client.5_ from _client.6_"});
    ASSERT_TRUE(files_->SecondTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedRequest, 1}}));

    folder_.write("early.txt", {kDueAt11, "BLOCKED_LISTEN: SET _client.7_ from _client.8_"});
    EXPECT_TRUE(files_->SecondTick());
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(files_->rows().front().fileName, "early.txt");

    ClientBitSet heldByServer;
    heldByServer.setBit(9);
    answer(AwaitedAnswer::BlockedListen, heldByServer);
    EXPECT_TRUE(files_->ResponseTick());
    // late.txt's update is built from its own answer, then its next command.
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedUpdate, 1}, {kBlockedRequest, 5}}));
    EXPECT_TRUE(lastSet_.test(9));
    EXPECT_TRUE(lastSet_.test(2));

    answer(AwaitedAnswer::BlockedListen);
    EXPECT_TRUE(files_->ResponseTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedUpdate, 5}, {kBlockedRequest, 7}}));
    answer(AwaitedAnswer::BlockedListen);
    EXPECT_FALSE(files_->ResponseTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedUpdate, 7}}));
    EXPECT_TRUE(files_->rows().empty());
}

TEST_F(SchedulerRules, ARequestOfAnEndedConnectionIsAskedAgainAfterTheNextLogin) {
    folder_.write("a.txt", {kDueAt11, "BLOCKED_LISTEN: SET _client.1_ from _client.2_"});
    ASSERT_TRUE(files_->SecondTick());
    sent();

    link_ = {false, 1};
    // An answer stored just before the end, never seen by the response tick.
    answer(AwaitedAnswer::BlockedListen);
    EXPECT_FALSE(files_->ResponseTick());
    EXPECT_FALSE(files_->SecondTick());
    link_ = {false, 2};
    EXPECT_FALSE(files_->SecondTick());
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(statuses(), (std::vector<std::string>{"a.txt: Processing"}));

    link_ = {true, 2};
    EXPECT_TRUE(files_->SecondTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedRequest, 1}}));
    // The stale answer was dropped: only the new one completes the command.
    EXPECT_TRUE(files_->ResponseTick());
    EXPECT_TRUE(sent().empty());
    answer(AwaitedAnswer::BlockedListen);
    EXPECT_FALSE(files_->ResponseTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedUpdate, 1}}));
    EXPECT_FALSE(folder_.has("a.txt"));
}

TEST_F(SchedulerRules, NothingStartsWhileAnotherViewAwaitsItsAnswer) {
    folder_.write("a.txt", {kDueAt11, "BLOCKED_LISTEN: SET _client.1_ from _client.2_"});
    const int groupView = 0;
    ASSERT_TRUE(guard_.tryAcquire(AwaitedAnswer::Membership, &groupView));
    EXPECT_FALSE(files_->SecondTick());
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(statuses(), (std::vector<std::string>{"a.txt: Pending"}));

    guard_.release(&groupView);
    EXPECT_TRUE(files_->SecondTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedRequest, 1}}));
    EXPECT_FALSE(guard_.tryAcquire(AwaitedAnswer::Membership, &groupView));
}

TEST_F(SchedulerRules, AFinishedFileThatCannotBeDeletedDoesNotRunTwice) {
    files_->setRemover([](const std::filesystem::path&) {
        return std::make_error_code(std::errc::permission_denied);
    });
    folder_.write("a.txt", {kDueAt11, "BLOCKED_LISTEN: SET _client.1_ from _client.2_"});
    ASSERT_TRUE(files_->SecondTick());
    answer(AwaitedAnswer::BlockedListen);
    EXPECT_FALSE(files_->ResponseTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedRequest, 1}, {kBlockedUpdate, 1}}));
    EXPECT_TRUE(folder_.has("a.txt"));

    EXPECT_FALSE(files_->SecondTick());
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(files_->rows().empty());

    // Gone and back with the very same time: a new file now.
    const auto time = folder_.writeTime("a.txt");
    folder_.remove("a.txt");
    EXPECT_FALSE(files_->SecondTick());
    folder_.write("a.txt", {kDueAt11, "BLOCKED_LISTEN: SET _client.1_ from _client.2_"});
    folder_.setWriteTime("a.txt", time);
    EXPECT_TRUE(files_->SecondTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedRequest, 1}}));
}

TEST_F(SchedulerRules, AFileChangedWhileItRunsIsKeptAndRunAgainFromItsNewText) {
    folder_.write("a.txt",
                  {"DESCRIPTION: old", kDueAt11, "BLOCKED_LISTEN: SET _client.1_ from _client.2_"});
    ASSERT_TRUE(files_->SecondTick());
    sent();
    folder_.write("a.txt",
                  {"DESCRIPTION: new", kDueAt11, "FORCED_LISTEN: SET _client.3_ to _client.4_"});
    EXPECT_TRUE(files_->SecondTick());
    EXPECT_EQ(files_->rows().at(0).description, "old");

    answer(AwaitedAnswer::BlockedListen);
    EXPECT_FALSE(files_->ResponseTick());
    EXPECT_EQ(sent(), (std::vector<Sent>{{kBlockedUpdate, 1}}));
    EXPECT_TRUE(folder_.has("a.txt"));

    EXPECT_TRUE(files_->SecondTick());
    EXPECT_EQ(files_->rows().at(0).description, "new");
    EXPECT_EQ(sent(), (std::vector<Sent>{{kForcedRequest, 3}}));
}

TEST_F(SchedulerRules, PlacementAndFarewellAreLogged) {
    test::LogCapture log;
    folder_.write("b.txt", {kDueAt1130});
    folder_.write("c.txt", {"DESCRIPTION: no time"});
    files_->CheckFileUpdates();
    folder_.write("a.txt", {"DESCRIPTION: first", kDueAt11});
    files_->CheckFileUpdates();
    EXPECT_TRUE(log.contains("Add 'b.txt' 36 bytes\n"));
    EXPECT_TRUE(log.contains("Add 'c.txt' 22 bytes\n"));
    EXPECT_TRUE(log.contains("Insert 'a.txt' 56 bytes\n"));
    EXPECT_EQ(statuses(), (std::vector<std::string>{"a.txt: Pending", "b.txt: Pending",
                                                    "c.txt: Format or ID error"}));
    EXPECT_EQ(files_->rows().at(0).processingTime, "2024-03-14 11:00:00");
    EXPECT_EQ(files_->rows().at(2).processingTime, "");

    files_.reset();
    std::size_t farewells = 0;
    for (const std::string& line : log.lines()) {
        farewells += line.starts_with("~CCommandFiles: 'a.txt', 'first', &: 0x") ? 1 : 0;
    }
    EXPECT_EQ(farewells, 1u);
    EXPECT_EQ(log.count("~CCommandFiles: '"), 3u);
}

TEST(AnswerGuard, OneHolderWhoTakesOnlyTheAnswerItAwaits) {
    model::Mirror mirror;
    model::MembershipStore& flags = mirror.membershipFlags();
    auto raiseAll = [&mirror] {
        const ClientBitSet none;
        mirror.edit([&](model::MirrorData& d) {
            d.membership.ReceiveBlockedListen(none.bytes());
            d.membership.ReceiveForcedListen(none.bytes());
            d.membership.ReceiveFixedGroupMembership(none.bytes());
        });
    };
    AnswerGuard guard(flags);
    const int scheduler = 0;
    const int groupView = 0;

    raiseAll();
    ASSERT_TRUE(guard.tryAcquire(AwaitedAnswer::None, &scheduler));
    EXPECT_FALSE(flags.TakeBlockedListenResponse()) << "stale flags dropped on taking the guard";
    EXPECT_FALSE(guard.tryAcquire(AwaitedAnswer::Membership, &groupView));

    raiseAll(); // the answer arrives before the kind is named
    ASSERT_TRUE(guard.tryAcquire(AwaitedAnswer::ForcedListen, &scheduler));
    EXPECT_FALSE(guard.takeAnswer(&groupView));
    EXPECT_TRUE(guard.takeAnswer(&scheduler));
    EXPECT_FALSE(guard.takeAnswer(&scheduler));
    EXPECT_TRUE(flags.TakeBlockedListenResponse()) << "another kind's flag is left alone";

    guard.release(&groupView);
    EXPECT_TRUE(guard.heldBy(&scheduler));
    guard.release(&scheduler);
    EXPECT_TRUE(guard.tryAcquire(AwaitedAnswer::Membership, &groupView));
    EXPECT_FALSE(guard.takeAnswer(&groupView)); // the earlier membership flag was stale
}

} // namespace
} // namespace mirx::commandfiles
