#include "core/clock.h"
#include "core/elapsed_timer.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>

namespace mirx {
namespace {

struct ExpiryCase {
    const char* name;
    std::uint32_t startTick;
    std::uint32_t interval;
    std::uint32_t advance; // ms after start when expired() is asked
    bool expired;
};

std::ostream& operator<<(std::ostream& os, const ExpiryCase& c) {
    return os << c.name;
}

class TimerExpiry : public ::testing::TestWithParam<ExpiryCase> {};

TEST_P(TimerExpiry, ExpiresWhenIntervalHasElapsed) {
    const ExpiryCase& c = GetParam();
    ManualClock clock(c.startTick);
    ScopedClock installed(clock);

    CElapsedTimer timer;
    timer.start(c.interval);
    clock.advance(c.advance);

    EXPECT_EQ(timer.expired(), c.expired);
    EXPECT_EQ(timer.armed(), c.interval != 0);
    EXPECT_EQ(timer.interval(), c.interval);
}

// Starting at 0xFFFFFF00 the deadline (0x100 after the wrap) is numerically
// below the start: a plain "now >= start + interval" or a widened subtraction
// gets the cases around the wrap wrong.
const ExpiryCase kExpiryCases[] = {
    {"Fresh", 1000, 500, 0, false},
    {"OneShort", 1000, 500, 499, false},
    {"Exact", 1000, 500, 500, true},
    {"Late", 1000, 500, 100000, true},
    {"IntervalZeroAtOnce", 1000, 0, 0, true},
    {"IntervalZeroAtWrap", 0xFFFFFFFF, 0, 0, true},
    {"WrapBeforeCounterWraps", 0xFFFFFF00, 0x200, 0x80, false},
    {"WrapJustAfterCounterWraps", 0xFFFFFF00, 0x200, 0x1FF, false},
    {"WrapAtDeadline", 0xFFFFFF00, 0x200, 0x200, true},
    {"WrapPastDeadline", 0xFFFFFF00, 0x200, 0x5000, true},
    {"LongestInterval", 0, 0xFFFFFFFF, 0xFFFFFFFE, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, TimerExpiry, ::testing::ValuesIn(kExpiryCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ElapsedTimer, RestartBeginsNewPeriodOfSameInterval) {
    ManualClock clock(0xFFFFFFF0);
    ScopedClock installed(clock);

    CElapsedTimer timer;
    timer.start(100);
    clock.advance(150);
    ASSERT_TRUE(timer.expired());

    timer.restart();
    EXPECT_EQ(timer.interval(), 100u);
    EXPECT_FALSE(timer.expired());
    clock.advance(99);
    EXPECT_FALSE(timer.expired());
    clock.advance(1);
    EXPECT_TRUE(timer.expired());
}

TEST(ElapsedTimer, MarkDisarms) {
    ManualClock clock(5000);
    ScopedClock installed(clock);

    CElapsedTimer timer;
    timer.start(100);
    timer.mark();
    EXPECT_FALSE(timer.armed());
    EXPECT_EQ(timer.interval(), 0u);
    EXPECT_TRUE(timer.expired());
}

TEST(ElapsedTimer, CopyKeepsStartAndInterval) {
    ManualClock clock(7);
    ScopedClock installed(clock);

    CElapsedTimer original;
    original.start(50);
    clock.advance(30);
    const CElapsedTimer copy = original;
    original.restart();
    clock.advance(20);

    EXPECT_TRUE(copy.expired());
    EXPECT_FALSE(original.expired());
}

} // namespace
} // namespace mirx
