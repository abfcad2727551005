#include "core/thread.h"
#include "tests/support/log_capture.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace mirx {
namespace {

// What a probe thread reports back; outlives the thread object.
struct Probe {
    std::atomic<int> runs{0};
    std::promise<void> destroyed;
    std::promise<void> gate; // Run() blocks until this is set, when `blocking`
    std::shared_future<void> gateOpen = gate.get_future().share();
    bool blocking = false;
};

class ProbeThread final : public CThread {
public:
    ProbeThread(std::string_view description, Probe& probe)
        : CThread(description)
        , probe_(probe) {}
    ~ProbeThread() override {
        Wait();
        probe_.destroyed.set_value();
    }

protected:
    void Run() override {
        if (probe_.blocking) {
            probe_.gateOpen.wait();
        }
        probe_.runs.fetch_add(1);
    }

private:
    Probe& probe_;
};

TEST(Thread, RunsBodyOnceAndStopsRunningAfterwards) {
    Probe probe;
    ProbeThread thread("", probe);
    ASSERT_TRUE(thread.Start());
    thread.Wait();
    EXPECT_EQ(probe.runs.load(), 1);
    EXPECT_FALSE(thread.IsRunning());
}

TEST(Thread, SecondStartWhileRunningIsRefused) {
    test::LogCapture log;
    Probe probe;
    probe.blocking = true;
    ProbeThread thread("busy", probe);

    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_FALSE(thread.Start());

    char expected[100];
    std::snprintf(expected, sizeof expected,
                  "***ERROR*** Attempt to start a thread that is already running ... Handle: "
                  "0x%04x",
                  thread.Id());
    EXPECT_EQ(log.lines(), std::vector<std::string>{expected});

    probe.gate.set_value();
    thread.Wait();
    EXPECT_EQ(probe.runs.load(), 1);
}

TEST(Thread, FinishedThreadStartsAgainWithOrWithoutWait) {
    Probe probe;
    ProbeThread thread("", probe);

    ASSERT_TRUE(thread.Start());
    thread.Wait();
    ASSERT_TRUE(thread.Start());
    while (thread.IsRunning()) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(thread.Start()); // the unwaited earlier run is reaped here
    thread.Wait();

    EXPECT_EQ(probe.runs.load(), 3);
}

TEST(Thread, AutoDeleteObjectDeletesItselfAfterRun) {
    Probe probe;
    probe.blocking = true;
    auto destroyed = probe.destroyed.get_future();
    auto* thread = new ProbeThread("self-deleting", probe);
    thread->SetAutoDelete(true);
    ASSERT_TRUE(thread->Start());
    thread = nullptr; // no longer ours

    EXPECT_EQ(destroyed.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    probe.gate.set_value();
    ASSERT_EQ(destroyed.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(probe.runs.load(), 1);
}

struct DescriptionCase {
    const char* name;
    std::string given;
    std::string kept;
};

std::ostream& operator<<(std::ostream& os, const DescriptionCase& c) {
    return os << c.name;
}

std::string repeat(const std::string& unit, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += unit;
    }
    return out;
}

class ThreadDescription : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(ThreadDescription, KeepsAtMostHundredCharacters) {
    Probe probe;
    ProbeThread thread(GetParam().given, probe);
    EXPECT_EQ(thread.Description(), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ThreadDescription,
    ::testing::Values(DescriptionCase{"Empty", "", ""},
                      DescriptionCase{"Short", "Connection", "Connection"},
                      DescriptionCase{"Exactly100", repeat("a", 100), repeat("a", 100)},
                      DescriptionCase{"Cut101", repeat("a", 101), repeat("a", 100)},
                      // two bytes per character: cut by characters, never mid-character
                      DescriptionCase{"CutMultiByte", repeat("\xC3\xA9", 101),
                                      repeat("\xC3\xA9", 100)}),
    [](const auto& p) { return std::string(p.param.name); });

struct StartFailureCase {
    const char* name;
    const char* description;
    std::string expected;
};

std::ostream& operator<<(std::ostream& os, const StartFailureCase& c) {
    return os << c.name;
}

// Runs in a forked child: with the process limit at 1 for an unprivileged
// user, creating a thread fails with EAGAIN.
[[noreturn]] void startWithoutThreadsLeft(const StartFailureCase& c) {
    if (geteuid() == 0 && setuid(65534) != 0) {
        std::fprintf(stderr, "cannot drop privileges\n");
        _exit(2);
    }
    const rlimit limit{1, 1};
    if (setrlimit(RLIMIT_NPROC, &limit) != 0) {
        _exit(3);
    }
    test::LogCapture log;
    Probe probe;
    {
        ProbeThread thread(c.description, probe);
        if (thread.Start()) {
            thread.Wait();
            std::fprintf(stderr, "thread started despite the limit\n");
            _exit(4);
        }
    }
    const auto lines = log.lines();
    if (lines != std::vector<std::string>{c.expected}) {
        for (const auto& line : lines) {
            std::fprintf(stderr, "got: %s\n", line.c_str());
        }
        _exit(5);
    }
    _exit(0);
}

class ThreadStartFailureDeathTest : public ::testing::TestWithParam<StartFailureCase> {};

TEST_P(ThreadStartFailureDeathTest, ReportsRuntimeErrorNumber) {
    EXPECT_EXIT(startWithoutThreadsLeft(GetParam()), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ThreadStartFailureDeathTest,
    ::testing::Values(
        StartFailureCase{
            "WithDescription", "worker",
            "***ERROR*** Failed to start thread ... Description: worker, Error Code: " +
                std::to_string(EAGAIN)},
        StartFailureCase{"WithoutDescription", "",
                         "***ERROR*** Failed to start thread ... Error Code: " +
                             std::to_string(EAGAIN)}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace mirx
