#include "link/message_catalogue.h"
#include "sim/fault_switches.h"
#include "sim/sim_server.h"
#include "tests/support/log_capture.h"
#include "tests/support/test_client.h"
#include "tests/support/wait_until.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace mirx::sim {

namespace {

using test::TestClient;
using Bytes = std::vector<std::uint8_t>;
using SteadyClock = std::chrono::steady_clock;

// Asks the echo protocol to answer and then end the connection.
constexpr std::uint16_t kCloseRequest = 500;

// Greets each console with APPLICATION_ID carrying the console's port as the
// second value, and answers every frame with ID + 1, same second value and
// payload.
class EchoProtocol final : public SimProtocol {
public:
    enum class ThrowIn { Nowhere, Connect, Frame, Tick };

    void onConnect(SimConnection& connection) override {
        ++connects;
        throwIf(ThrowIn::Connect);
        connection.send(msg::APPLICATION_ID, connection.peerPort(), {});
    }
    void onFrame(SimConnection& connection, const wire::FrameView& frame) override {
        throwIf(ThrowIn::Frame);
        connection.send(static_cast<std::uint16_t>(frame.messageId + 1), frame.secondValue,
                        frame.payload);
        if (frame.messageId == kCloseRequest) {
            connection.close();
        }
    }
    void onTick(SimConnection&) override {
        ++ticks;
        throwIf(ThrowIn::Tick);
    }
    void onDisconnect() override { ++disconnects; }

    std::atomic<int> connects{0};
    std::atomic<int> disconnects{0};
    std::atomic<int> ticks{0};
    std::atomic<ThrowIn> throwIn{ThrowIn::Nowhere};

private:
    void throwIf(ThrowIn where) const {
        if (throwIn.load() == where) {
            throw std::runtime_error("boom");
        }
    }
};

// A simulator on a free port, running in the background, its frame log kept
// in memory.
class RunningSim {
public:
    explicit RunningSim(FaultSwitches faults = {})
        : server(protocol, std::move(faults)) {
        server.frameLog().setWriter([this](std::string_view line) {
            std::lock_guard lock(linesLock_);
            lines_.emplace_back(line);
        });
        listening = server.listen();
        server.runInBackground();
    }
    ~RunningSim() { server.stop(); }

    bool logged(std::string_view text) const {
        std::lock_guard lock(linesLock_);
        for (const auto& line : lines_) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    std::uint16_t port() const { return server.port(); }

    EchoProtocol protocol;
    SimServer server;
    bool listening = false;

private:
    mutable std::mutex linesLock_;
    std::vector<std::string> lines_;
};

long msSince(SteadyClock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count());
}

// Connects and waits for the greeting, i.e. until the simulator serves us.
::testing::AssertionResult connectServed(TestClient& client, const RunningSim& sim) {
    if (!sim.listening || !client.connect(sim.port())) {
        return ::testing::AssertionFailure() << "no connection";
    }
    if (!client.waitFor(msg::APPLICATION_ID, 2000)) {
        return ::testing::AssertionFailure() << "no greeting";
    }
    return ::testing::AssertionSuccess();
}

Bytes pattern(std::size_t size, std::uint8_t first) {
    Bytes bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

Bytes frameBytes(std::uint16_t id, const Bytes& payload) {
    Bytes bytes(payload.size() + wire::kFrameOverhead);
    wire::writeFrame(bytes.data(), bytes.size(), id, 0, payload.data(), payload.size());
    return bytes;
}

FaultSwitches faults(const std::function<void(FaultSwitches&)>& change) {
    FaultSwitches f;
    change(f);
    return f;
}

// --- The connection -------------------------------------------------------

TEST(SimServer, AnswersAFrameAndLogsBothDirections) {
    RunningSim sim;
    TestClient client;
    ASSERT_TRUE(sim.listening && client.connect(sim.port()));

    const auto greeting = client.receive(2000);
    ASSERT_TRUE(greeting);
    EXPECT_EQ(greeting->id, msg::APPLICATION_ID);
    EXPECT_EQ(greeting->second, client.localPort()) << "peerPort() is the console's port";

    const Bytes payload = pattern(108, 1);
    ASSERT_TRUE(client.send(msg::ADMIN_LOGIN_REQUEST, 3, payload));
    const auto answer = client.receive(2000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->id, msg::ADMIN_LOGIN_ACCEPTED);
    EXPECT_EQ(answer->second, 3);
    EXPECT_EQ(answer->payload, payload);

    const std::string peer = "[127.0.0.1:" + std::to_string(client.localPort()) + "] ";
    EXPECT_TRUE(sim.logged("sim <- " + peer + "ADMIN_LOGIN_REQUEST (6000) second=3 len=108"));
    EXPECT_TRUE(sim.logged("sim -> " + peer + "ADMIN_LOGIN_ACCEPTED (6001) second=3 len=108"));
}

TEST(SimServer, ServesOneConsoleAtATimeThenTheNext) {
    RunningSim sim;
    TestClient first;
    TestClient second;
    ASSERT_TRUE(connectServed(first, sim));
    ASSERT_TRUE(second.connect(sim.port())) << "waits in the backlog";
    EXPECT_FALSE(second.receive(300)) << "not served while the first is connected";

    first.close();
    ASSERT_TRUE(second.waitFor(msg::APPLICATION_ID, 2000));
    ASSERT_TRUE(second.send(40, 0, Bytes{9}));
    const auto answer = second.receive(2000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->id, 41);

    second.close();
    EXPECT_TRUE(test::waitUntil([&] { return sim.protocol.disconnects == 2; }));
    EXPECT_EQ(sim.protocol.connects, 2);
}

TEST(SimServer, DropsGarbageFromTheConsoleAndKeepsTheConnection) {
    test::LogCapture log;
    RunningSim sim;
    TestClient client;
    ASSERT_TRUE(connectServed(client, sim));

    // At least a header's worth, or the receiver would wait for more.
    ASSERT_TRUE(client.sendRaw(Bytes(20, 0x01)));
    ASSERT_TRUE(test::waitUntil(
        [&] { return log.contains("Message Start Marker invalid ... Discarding 20 bytes"); }));
    ASSERT_TRUE(client.send(10, 0));
    const auto answer = client.receive(2000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->id, 11);
}

TEST(SimServer, ProtocolCloseSendsQueuedAnswersFirst) {
    RunningSim sim(faults([](FaultSwitches& f) { f.answerDelayMs = 200; }));
    TestClient client;
    ASSERT_TRUE(connectServed(client, sim));

    ASSERT_TRUE(client.send(kCloseRequest, 7));
    const auto answer = client.receive(2000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->id, kCloseRequest + 1);
    EXPECT_TRUE(client.waitClosed(2000));
}

// --- Keep-alives and the communication time-out ---------------------------

TEST(SimServer, ExchangesKeepAlivesAndFollowsTheConsolesCheckTime) {
    RunningSim sim(faults([](FaultSwitches& f) {
        f.keepAliveIntervalMs = 100;
        f.announcedCheckTimeMs = 1234;
    }));
    TestClient client;
    ASSERT_TRUE(connectServed(client, sim));

    // Announce 400 ms and keep the link alive well beyond that.
    auto lastKeepAlive = SteadyClock::now();
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(client.sendKeepAlive(400));
        lastKeepAlive = SteadyClock::now();
        EXPECT_FALSE(client.receive(150)) << "keep-alives are never frames";
    }
    EXPECT_FALSE(client.waitClosed(0)) << "the console's keep-alives count as traffic";
    EXPECT_GE(client.keepAlivesSeen(), 3);
    EXPECT_LE(client.keepAlivesSeen(), 20);
    EXPECT_EQ(client.lastCheckTime(), 1234);
    EXPECT_GE(sim.protocol.ticks, 3);

    // Falls silent: the 400 ms the console announced apply, not 3500 ms.
    ASSERT_TRUE(client.waitClosed(3000));
    EXPECT_GE(msSince(lastKeepAlive), 300);
    EXPECT_TRUE(sim.logged("communication time-out after 400 ms"));
}

TEST(SimServer, ClosesASilentConsoleAfterItsCheckTime) {
    // Both at once, to keep the run short.
    RunningSim quiet;
    RunningSim announcing;
    TestClient quietClient;
    TestClient announcingClient;
    const auto start = SteadyClock::now();
    ASSERT_TRUE(connectServed(quietClient, quiet));
    ASSERT_TRUE(connectServed(announcingClient, announcing));
    ASSERT_TRUE(announcingClient.sendKeepAlive(1000));

    ASSERT_TRUE(announcingClient.waitClosed(3000));
    EXPECT_GE(msSince(start), 900);
    EXPECT_LT(msSince(start), 3000) << "sooner than the initial 3500 ms";

    ASSERT_TRUE(quietClient.waitClosed(6000));
    EXPECT_GE(msSince(start), 3400) << "the initial check time is 3500 ms";
}

// --- Transport faults ------------------------------------------------------

TEST(SimFaults, SilentAfterStopsEverythingButKeepsTheConnection) {
    RunningSim sim(faults([](FaultSwitches& f) {
        f.silentAfterMs = 300;
        f.keepAliveIntervalMs = 50;
        f.announcedCheckTimeMs = 300;
    }));
    TestClient client;
    const auto start = SteadyClock::now();
    ASSERT_TRUE(connectServed(client, sim));
    EXPECT_FALSE(client.receive(200));
    EXPECT_GT(client.keepAlivesSeen(), 0);
    EXPECT_EQ(client.lastCheckTime(), 300) << "what the console will wait at most";

    std::this_thread::sleep_until(start + std::chrono::milliseconds(400));
    EXPECT_FALSE(client.receive(0)); // takes what was already sent
    const int before = client.keepAlivesSeen();
    ASSERT_TRUE(client.send(10, 0));
    // Longer than the 300 ms the console was told to wait.
    EXPECT_FALSE(client.receive(500)) << "no answer while silent";
    EXPECT_EQ(client.keepAlivesSeen(), before) << "no keep-alives while silent";
    EXPECT_FALSE(client.waitClosed(0)) << "silent, not closed";
    EXPECT_TRUE(sim.logged("(dropped: silent)"));
}

TEST(SimFaults, CloseAfterFramesClosesOnTheNthFrameWithoutAnswering) {
    RunningSim sim(faults([](FaultSwitches& f) { f.closeAfterFrames = 2; }));
    TestClient client;
    ASSERT_TRUE(connectServed(client, sim));
    ASSERT_TRUE(client.sendKeepAlive(3500)); // keep-alives are not counted
    ASSERT_TRUE(client.send(10, 0));
    ASSERT_TRUE(client.waitFor(11, 2000));

    ASSERT_TRUE(client.send(20, 0));
    EXPECT_TRUE(client.waitClosed(2000));
    EXPECT_FALSE(client.receive(0)) << "the closing frame is not answered";
    EXPECT_TRUE(sim.logged("(closing: close-after-frames)"));
}

TEST(SimFaults, GarbageByteCostsTheConsoleThatReceive) {
    test::LogCapture log;
    // The greeting is the first frame the protocol sends, so the third is
    // the answer to the second request.
    RunningSim sim(faults([](FaultSwitches& f) {
        f.garbageBeforeFrame = 3;
        f.keepAliveIntervalMs = 0;
    }));
    TestClient client;
    ASSERT_TRUE(connectServed(client, sim));
    ASSERT_TRUE(client.send(10, 0));
    ASSERT_TRUE(client.waitFor(11, 2000));

    ASSERT_TRUE(client.send(20, 0));
    EXPECT_FALSE(client.receive(300)) << "lost with the stray byte";
    // The stray byte and the 20-byte answer arrived in one receive.
    EXPECT_TRUE(log.contains("[127.0.0.1:" + std::to_string(sim.port()) +
                             "] ***ERROR*** Message Start Marker invalid ... Discarding 21 bytes"));

    ASSERT_TRUE(client.send(30, 0));
    const auto answer = client.receive(2000);
    ASSERT_TRUE(answer) << "only that one frame is lost";
    EXPECT_EQ(answer->id, 31);
}

TEST(SimFaults, SplitWritesStillDeliverWholeFramesInOrder) {
    RunningSim sim(faults([](FaultSwitches& f) { f.splitWrites = true; }));
    TestClient client;
    ASSERT_TRUE(connectServed(client, sim));

    Bytes requests;
    for (std::uint16_t id : {10, 20, 30}) {
        const Bytes frame = frameBytes(id, pattern(1000, static_cast<std::uint8_t>(id)));
        requests.insert(requests.end(), frame.begin(), frame.end());
    }
    ASSERT_TRUE(client.sendRaw(requests));
    for (std::uint16_t id : {10, 20, 30}) {
        const auto answer = client.receive(3000);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->id, id + 1);
        EXPECT_EQ(answer->payload, pattern(1000, static_cast<std::uint8_t>(id)));
    }
}

TEST(SimFaults, AnswerDelayHoldsAnswersAndKeepsTheirOrder) {
    RunningSim sim(faults([](FaultSwitches& f) { f.answerDelayMs = 200; }));
    TestClient client;
    ASSERT_TRUE(connectServed(client, sim));

    const auto sentAt = SteadyClock::now();
    ASSERT_TRUE(client.sendRaw(frameBytes(10, {})));
    ASSERT_TRUE(client.sendRaw(frameBytes(20, {})));
    const auto first = client.receive(2000);
    ASSERT_TRUE(first);
    EXPECT_GE(msSince(sentAt), 150);
    EXPECT_EQ(first->id, 11);
    const auto second = client.receive(2000);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->id, 21);
}

TEST(SimFaults, IgnoredIdsAreNeverAnswered) {
    RunningSim sim(faults([](FaultSwitches& f) { f.ignoreMessageIds = {7}; }));
    TestClient client;
    ASSERT_TRUE(connectServed(client, sim));

    ASSERT_TRUE(client.send(7, 0));
    ASSERT_TRUE(client.send(9, 0));
    // Answers keep their order, so the next one would be 8 had 7 been answered.
    const auto answer = client.receive(2000);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->id, 10);
    EXPECT_TRUE(sim.logged("(7) second=0 len=0 (ignored)"));
}

// --- A failing protocol -----------------------------------------------------

class ThrowingProtocol : public ::testing::TestWithParam<EchoProtocol::ThrowIn> {};

TEST_P(ThrowingProtocol, ClosesThatConnectionOnlyAndServesTheNext) {
    RunningSim sim;
    sim.protocol.throwIn = GetParam();
    TestClient failing;
    ASSERT_TRUE(failing.connect(sim.port()));
    if (GetParam() == EchoProtocol::ThrowIn::Frame) {
        ASSERT_TRUE(failing.send(10, 0));
    }
    EXPECT_TRUE(failing.waitClosed(2000));
    EXPECT_TRUE(sim.logged("closed: protocol failed: boom"));
    EXPECT_TRUE(test::waitUntil([&] { return sim.protocol.disconnects == 1; }));

    sim.protocol.throwIn = EchoProtocol::ThrowIn::Nowhere;
    TestClient next;
    ASSERT_TRUE(connectServed(next, sim));
    ASSERT_TRUE(next.send(10, 0));
    EXPECT_TRUE(next.waitFor(11, 2000));
}

INSTANTIATE_TEST_SUITE_P(Everywhere, ThrowingProtocol,
                         ::testing::Values(EchoProtocol::ThrowIn::Connect,
                                           EchoProtocol::ThrowIn::Frame,
                                           EchoProtocol::ThrowIn::Tick),
                         [](const auto& paramInfo) {
                             switch (paramInfo.param) {
                             case EchoProtocol::ThrowIn::Connect:
                                 return "InConnect";
                             case EchoProtocol::ThrowIn::Frame:
                                 return "InFrame";
                             case EchoProtocol::ThrowIn::Tick:
                                 return "InTick";
                             case EchoProtocol::ThrowIn::Nowhere:
                                 break;
                             }
                             return "Nowhere";
                         });

// --- Frame log ---------------------------------------------------------------

TEST(FrameLog, WritesLinesToAFileAndCanLeaveOutKeepAlives) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("sim_frame_log_" + std::to_string(::getpid()) + ".txt");
    {
        std::ofstream old(path);
        old << "from an earlier run\n";
    }
    {
        FrameLog log;
        ASSERT_TRUE(log.openFile(path));
        log.setShowKeepAlives(false);
        log.received("127.0.0.1:40122", msg::ADMIN_LOGIN_REQUEST, 0, 108);
        log.sent("127.0.0.1:40122", wire::kKeepAliveId, 5000, 0);
        log.sent("127.0.0.1:40122", msg::ADMIN_LOGIN_ACCEPTED, 0, 4, "delayed");
        log.event("127.0.0.1:40122", "closed: test");
    }
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::filesystem::remove(path);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "sim <- [127.0.0.1:40122] ADMIN_LOGIN_REQUEST (6000) second=0 len=108",
                         "sim -> [127.0.0.1:40122] ADMIN_LOGIN_ACCEPTED (6001) second=0 len=4 "
                         "(delayed)",
                         "sim -- [127.0.0.1:40122] closed: test",
                     }));
    EXPECT_FALSE(FrameLog().openFile("/nonexistent-dir/x.txt"));
}

// --- Options -----------------------------------------------------------------

struct GoodOptions {
    std::vector<std::string> args;
    std::function<bool(const FaultSwitches&)> holds;
};

TEST(FaultOptions, ReadsEveryOption) {
    const std::vector<GoodOptions> cases = {
        {{},
         [](const FaultSwitches& f) {
             return f.announcedCheckTimeMs == 5000 && f.keepAliveIntervalMs == 1000 &&
                    f.silentAfterMs == 0 && !f.splitWrites && f.rejectLoginReason == 0;
         }},
        {{"--silent-after", "1500"},
         [](const FaultSwitches& f) {
             return f.silentAfterMs == 1500;
         }},
        {{"--check-time", "65535"},
         [](const FaultSwitches& f) {
             return f.announcedCheckTimeMs == 65535;
         }},
        {{"--close-after-frames", "3"},
         [](const FaultSwitches& f) {
             return f.closeAfterFrames == 3;
         }},
        {{"--garbage-before-frame", "2"},
         [](const FaultSwitches& f) {
             return f.garbageBeforeFrame == 2;
         }},
        {{"--split-writes"},
         [](const FaultSwitches& f) {
             return f.splitWrites;
         }},
        {{"--answer-delay", "250"},
         [](const FaultSwitches& f) {
             return f.answerDelayMs == 250;
         }},
        {{"--ignore-id", "6004", "--ignore-id", "0xFFFF"},
         [](const FaultSwitches& f) {
             return f.ignoreMessageIds == std::set<std::uint16_t>{6004, 0xFFFF};
         }},
        {{"--incompatible", "--short-compatibility"},
         [](const FaultSwitches& f) {
             return f.incompatibleVersion && f.shortCompatibilityAnswer;
         }},
        {{"--reject-login", "9"},
         [](const FaultSwitches& f) {
             return f.rejectLoginReason == 9;
         }},
        {{"--offer-update", "a.bin", "--offer-update", "dir/b.bin"},
         [](const FaultSwitches& f) {
             return f.offerUpdateFiles == std::vector<std::string>{"a.bin", "dir/b.bin"};
         }},
        {{"--keepalive-interval", "0"},
         [](const FaultSwitches& f) {
             return f.keepAliveIntervalMs == 0;
         }},
    };
    for (const auto& c : cases) {
        FaultSwitches f;
        const std::string joined = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(parseFaultSwitches(c.args, f), "") << joined;
        EXPECT_TRUE(c.holds(f)) << joined;
    }
}

TEST(FaultOptions, RejectsBadOptionsNamingThem) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--silent"}, "unknown option '--silent'"},
        {{"--split-writes", "yes"}, "unknown option 'yes'"},
        {{"--answer-delay"}, "--answer-delay needs a value MS"},
        {{"--answer-delay", "soon"}, "--answer-delay: bad value 'soon'"},
        {{"--answer-delay", "-5"}, "--answer-delay: bad value '-5'"},
        {{"--answer-delay", "12ms"}, "--answer-delay: bad value '12ms'"},
        {{"--check-time", "65536"}, "--check-time: bad value '65536' (a number from 0 to 65535)"},
        {{"--ignore-id", "0x10000"}, "--ignore-id: bad value '0x10000'"},
        {{"--reject-login", "256"}, "--reject-login: bad value '256'"},
        {{"--offer-update", "--split-writes"}, "--offer-update: bad value '--split-writes'"},
    };
    for (const auto& [args, expected] : cases) {
        FaultSwitches f;
        const std::string error = parseFaultSwitches(args, f);
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    }
}

TEST(FaultOptions, PassesOtherOptionsOnWhenAsked) {
    FaultSwitches f;
    std::vector<std::string> others;
    const std::vector<std::string> args = {"--port", "5000", "--split-writes", "--scenario",
                                           "demo.txt"};
    EXPECT_EQ(parseFaultSwitches(args, f, &others), "");
    EXPECT_TRUE(f.splitWrites);
    EXPECT_EQ(others, (std::vector<std::string>{"--port", "5000", "--scenario", "demo.txt"}));
}

} // namespace
} // namespace mirx::sim
