#include "core/debug_log.h"
#include "core/ip_socket.h"
#include "core/wire_frame.h"
#include "link/connection_handler.h"
#include "link/connection_thread.h"
#include "tests/support/log_capture.h"
#include "tests/support/test_client.h"
#include "tests/support/test_listener.h"
#include "tests/support/wait_until.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace mirx::link {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

struct Received {
    std::uint16_t id;
    std::uint16_t second;
    std::vector<std::uint8_t> payload;
};

class RecordingHandler final : public CConnectionHandler {
public:
    void OnConnect() override {
        CConnectionHandler::OnConnect();
        connects_.fetch_add(1);
    }
    void OnMessage(std::uint16_t id, std::uint16_t second, const std::uint8_t* payload,
                   std::size_t length) override {
        {
            std::lock_guard lock(lock_);
            received_.push_back({id, second, std::vector<std::uint8_t>(payload, payload + length)});
        }
        if (id == disconnectOn_.load()) {
            RequestDisconnect();
        }
    }
    void OnPoll() override { polls_.fetch_add(1); }
    std::uint32_t MsUntilPollDue() const override { return pollDueMs_.load(); }
    void setPollDue(std::uint32_t ms) {
        pollDueMs_.store(ms);
        Wake();
    }
    int polls() const { return polls_.load(); }
    // Asks to close the connection when a frame with this ID arrives.
    void disconnectOn(std::uint16_t id) { disconnectOn_.store(id); }
    void OnDisconnect() override {
        CConnectionHandler::OnDisconnect();
        disconnects_.fetch_add(1);
    }

    std::vector<Received> received() const {
        std::lock_guard lock(lock_);
        return received_;
    }
    int connects() const { return connects_.load(); }
    int disconnects() const { return disconnects_.load(); }

private:
    mutable std::mutex lock_;
    std::vector<Received> received_;
    std::atomic<int> disconnectOn_{-1};
    std::atomic<int> connects_{0};
    std::atomic<int> disconnects_{0};
    std::atomic<int> polls_{0};
    std::atomic<std::uint32_t> pollDueMs_{kNoPollDue};
};

using test::waitUntil;

// A console connection thread talking to a test peer on 127.0.0.1.
class ConnectionThread : public ::testing::Test {
protected:
    void SetUp() override {
        const std::uint32_t everything = 0x7FFFFFFF;
        log::setFilters(1, &everything);
        ASSERT_EQ(socket_.OpenConnection("127.0.0.1", 0, "127.0.0.1", listener_.port()), 0);
        const int fd = listener_.accept(2000);
        ASSERT_GE(fd, 0);
        peer_.adopt(fd);
        auto* thread = new CConnectionThread({&socket_, &handler_, false, false});
        thread->SetAutoDelete(true);
        ASSERT_TRUE(thread->Start());
        ASSERT_TRUE(waitUntil([&] { return handler_.IsConnected(); }, 2s));
    }

    void TearDown() override {
        handler_.RequestDisconnect();
        EXPECT_TRUE(waitUntil([&] { return log_.contains("Connection thread terminated"); }, 3s));
        EXPECT_EQ(handler_.disconnects(), 1);
        const std::uint32_t initial = log::DebugFilterTable::kDefaultWord;
        log::setFilters(1, &initial);
    }

    bool closedWithin(std::chrono::milliseconds limit) {
        return waitUntil([&] { return !handler_.IsConnected(); }, limit);
    }

    test::LogCapture log_;
    test::TestListener listener_;
    CIpSocket socket_;
    RecordingHandler handler_;
    test::TestClient peer_;
};

TEST_F(ConnectionThread, DeliversFramesInOrderAndConsumesKeepAlives) {
    const std::vector<std::uint8_t> payload = {1, 2, 3};
    ASSERT_TRUE(peer_.send(2010, 10001, payload));
    ASSERT_TRUE(peer_.sendKeepAlive(3500));
    ASSERT_TRUE(peer_.send(6002, 0));
    ASSERT_TRUE(waitUntil([&] { return handler_.received().size() == 2; }, 2s));
    const auto got = handler_.received();
    EXPECT_EQ(got[0].id, 2010);
    EXPECT_EQ(got[0].second, 10001);
    EXPECT_EQ(got[0].payload, payload);
    EXPECT_EQ(got[1].id, 6002);
    EXPECT_EQ(handler_.connects(), 1);
    EXPECT_TRUE(log_.contains("Received Keep Alive ... Auto Disconnect Check Time: 3500"));
}

// Frames of `payloadSize` bytes with second values first, first + 1, ...,
// each payload filled from its second value, back to back.
std::vector<std::uint8_t> burst(std::uint16_t id, int count, int first, std::size_t payloadSize) {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> frame(payloadSize + wire::kFrameOverhead);
    for (int i = first; i < first + count; ++i) {
        const std::vector<std::uint8_t> payload(payloadSize, static_cast<std::uint8_t>(i * 7));
        wire::writeFrame(frame.data(), frame.size(), id, static_cast<std::uint16_t>(i),
                         payload.data(), payload.size());
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

TEST_F(ConnectionThread, BurstOfManyReceivesArrivesWholeAndInOrder) {
    // About 1 MB: frames cut across receives and across passes of the loop.
    constexpr int kFrames = 1000;
    constexpr std::size_t kPayload = 1001;
    ASSERT_TRUE(peer_.sendRaw(burst(2010, kFrames, 0, kPayload)));
    ASSERT_TRUE(waitUntil([&] { return handler_.received().size() >= kFrames; }, 10s));
    const auto got = handler_.received();
    ASSERT_EQ(got.size(), static_cast<std::size_t>(kFrames));
    for (int i = 0; i < kFrames; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].second, i);
        EXPECT_EQ(got[i].payload,
                  std::vector<std::uint8_t>(kPayload, static_cast<std::uint8_t>(i * 7)));
    }
    EXPECT_FALSE(log_.contains("***ERROR***"));
}

TEST_F(ConnectionThread, HandlerThatAsksToCloseGetsNothingFromLaterReceives) {
    constexpr std::size_t kPayload = 1000;
    constexpr std::size_t kFrameSize = kPayload + wire::kFrameOverhead;
    handler_.disconnectOn(6002);
    std::vector<std::uint8_t> bytes = burst(2010, 20, 0, kPayload);
    const auto closing = burst(6002, 1, 20, kPayload);
    const auto rest = burst(2010, 200, 21, kPayload);
    bytes.insert(bytes.end(), closing.begin(), closing.end());
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    peer_.sendRaw(bytes); // the console may close before all of it went out
    ASSERT_TRUE(closedWithin(2s));

    const auto got = handler_.received();
    const auto at =
        std::find_if(got.begin(), got.end(), [](const Received& r) { return r.id == 6002; });
    ASSERT_NE(at, got.end());
    const auto after = static_cast<std::size_t>(got.end() - at - 1);
    EXPECT_LE(after * kFrameSize, static_cast<std::size_t>(CIpSocket::kReceiveBufferSize))
        << after << " frames came after the request to close";
}

TEST_F(ConnectionThread, PostedRequestsLeaveAsConsecutiveFrames) {
    const std::uint8_t two[2] = {7, 0};
    handler_.CurrentQueue().PostCopy(6032, 0, two, sizeof two);
    handler_.CurrentQueue().PostCopy(6004, 0, nullptr, 0);
    handler_.CurrentQueue().PostCopy(6048, 12, nullptr, 0);
    const std::uint16_t expected[3][2] = {{6032, 0}, {6004, 0}, {6048, 12}};
    for (const auto& e : expected) {
        const auto frame = peer_.receive(2000);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->id, e[0]);
        EXPECT_EQ(frame->second, e[1]);
    }
}

TEST_F(ConnectionThread, SendsKeepAlivesWhileIdleCarryingItsCheckTime) {
    // Keep the console's own time-out from firing while we listen.
    for (int i = 0; i < 4; ++i) {
        peer_.sendKeepAlive(6000);
        peer_.receive(700);
    }
    EXPECT_GE(peer_.keepAlivesSeen(), 1);
    ASSERT_TRUE(peer_.lastCheckTime());
    EXPECT_EQ(*peer_.lastCheckTime(), 6000) << "the announced check time becomes ours";
    EXPECT_TRUE(log_.contains("Keep Alive message sent to prevent connection timeout!"));
    EXPECT_TRUE(handler_.IsConnected());
}

TEST_F(ConnectionThread, IdleKeepAlivesComeAtTheirInterval) {
    // The earliest gap between two keep-alives is the interval itself plus
    // the wake-up latency; later ones can only be late, never early.
    peer_.sendKeepAlive(6000);
    std::vector<SteadyClock::time_point> seen;
    const auto end =
        SteadyClock::now() + 4 * std::chrono::milliseconds(CConnectionThread::kKeepAliveIntervalMs);
    while (SteadyClock::now() < end) {
        const int before = peer_.keepAlivesSeen();
        peer_.receive(5);
        if (peer_.keepAlivesSeen() != before) {
            seen.push_back(SteadyClock::now());
            peer_.sendKeepAlive(6000); // keeps the console's time-out away
        }
    }
    ASSERT_GE(seen.size(), 3u);
    auto shortest = std::chrono::milliseconds::max();
    for (std::size_t i = 1; i < seen.size(); ++i) {
        shortest = std::min(
            shortest, std::chrono::duration_cast<std::chrono::milliseconds>(seen[i] - seen[i - 1]));
    }
    EXPECT_GE(shortest, 1250ms - 30ms);
    EXPECT_LE(shortest, 1250ms + 150ms);
}

// Passes of the loop are counted, not timed: an idle link must not spin.
TEST_F(ConnectionThread, IdleLoopRunsOnlyWhenSomethingIsDue) {
    peer_.sendKeepAlive(6000);
    std::this_thread::sleep_for(100ms);
    const int before = handler_.polls();
    std::this_thread::sleep_for(1000ms); // nothing due: no keep-alive yet, no time-out
    EXPECT_LE(handler_.polls() - before, 2);

    handler_.setPollDue(100);
    std::this_thread::sleep_for(1000ms);
    const int paced = handler_.polls() - before;
    EXPECT_GE(paced, 5) << "the handler's next poll wakes the loop";
    EXPECT_LE(paced, 15);
    handler_.setPollDue(CConnectionHandler::kNoPollDue);
}

TEST_F(ConnectionThread, PostedRequestLeavesWithoutWaitingForADeadline) {
    peer_.sendKeepAlive(6000);
    std::this_thread::sleep_for(100ms);
    const auto start = SteadyClock::now();
    ASSERT_TRUE(handler_.CurrentQueue().PostCopy(6004, 7, nullptr, 0));
    const auto frame = peer_.waitFor(6004, 1000);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->second, 7);
    EXPECT_LT(SteadyClock::now() - start, 500ms) << "woken by the post, not by the keep-alive";
}

TEST_F(ConnectionThread, FirstKeepAliveCarriesTheInitialTimeout) {
    peer_.receive(1600);
    ASSERT_TRUE(peer_.lastCheckTime());
    EXPECT_EQ(*peer_.lastCheckTime(), 3500);
}

TEST_F(ConnectionThread, SilentPeerIsDroppedAfterTheCommunicationTimeout) {
    const auto start = SteadyClock::now();
    ASSERT_TRUE(closedWithin(6s));
    const auto took = SteadyClock::now() - start;
    EXPECT_GE(took, 3000ms);
    EXPECT_TRUE(log_.contains("Closing connection due to communication timeout!"));
    EXPECT_TRUE(peer_.waitClosed(1000));
}

TEST_F(ConnectionThread, AnnouncedCheckTimeShortensTheTimeout) {
    const auto start = SteadyClock::now();
    peer_.sendKeepAlive(800);
    ASSERT_TRUE(closedWithin(3s));
    EXPECT_LT(SteadyClock::now() - start, 2500ms);
    EXPECT_EQ(handler_.LastEnd().reason, ConnectionEnd::NoAnswer);
    EXPECT_EQ(handler_.LastEnd().detail, 800u);
    EXPECT_EQ(connectionEndText(handler_.LastEnd()), "Ondrel sent nothing for 800 ms.");
}

TEST_F(ConnectionThread, PeerThatKeepsTalkingStaysConnected) {
    for (int i = 0; i < 8; ++i) {
        peer_.sendKeepAlive(1000);
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_TRUE(handler_.IsConnected());
}

TEST_F(ConnectionThread, DisconnectRequestClosesPromptly) {
    const auto start = SteadyClock::now();
    handler_.RequestDisconnect();
    ASSERT_TRUE(closedWithin(1s));
    EXPECT_LT(SteadyClock::now() - start, 500ms);
    EXPECT_TRUE(log_.contains("Closing connection by request of Client Handler !"));
    EXPECT_EQ(handler_.LastEnd().reason, ConnectionEnd::ByConsole);
    EXPECT_EQ(connectionEndText(handler_.LastEnd()), "");
}

TEST_F(ConnectionThread, PeerCloseEndsTheLoopWithoutAnError) {
    const std::int64_t before = wallClockMs();
    peer_.close();
    ASSERT_TRUE(closedWithin(2s));
    EXPECT_FALSE(log_.contains("***ERROR***"));
    EXPECT_EQ(handler_.LastEnd().reason, ConnectionEnd::ClosedByServer);
    EXPECT_GE(handler_.LastEnd().atMs, before);
    EXPECT_LE(handler_.LastEnd().atMs, wallClockMs());
}

TEST_F(ConnectionThread, QueueIsDisabledAfterTheConnection) {
    handler_.RequestDisconnect();
    ASSERT_TRUE(closedWithin(1s));
    EXPECT_FALSE(handler_.CurrentQueue().PostCopy(6004, 0, nullptr, 0));
}

} // namespace
} // namespace mirx::link
