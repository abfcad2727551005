#include "reports/status_text.h"

#include <gtest/gtest.h>

namespace mirx::reports {
namespace {

struct UpTimeCase {
    std::int64_t seconds;
    const char* text;
    StatusColour colour;
};

TEST(StatusText, UpTime) {
    const UpTimeCase cases[] = {
        {59, "  0d,  0h,  0m", StatusColour::Red},
        {119, "  0d,  0h,  1m", StatusColour::Red},
        {120, "  0d,  0h,  2m", StatusColour::Yellow},
        {9 * 60, "  0d,  0h,  9m", StatusColour::Yellow},
        {10 * 60, "  0d,  0h, 10m", StatusColour::Green},
        {3600, "  0d,  1h,  0m", StatusColour::Green},
        {86400 + 3 * 3600 + 61, "  1d,  3h,  1m", StatusColour::Green},
    };
    for (const UpTimeCase& c : cases) {
        const StatusField f = upTimeField(c.seconds);
        EXPECT_EQ(f.text, c.text) << c.seconds;
        EXPECT_EQ(f.colour, c.colour) << c.seconds;
    }
}

TEST(StatusText, ProcessorAndConnections) {
    EXPECT_EQ(processorField(5, 3).text, " 5 ( 3)");
    EXPECT_EQ(processorField(59, 0).colour, StatusColour::Green);
    EXPECT_EQ(processorField(60, 0).colour, StatusColour::Yellow);
    EXPECT_EQ(processorField(80, 0).colour, StatusColour::Red);

    struct Case {
        std::uint16_t active, configured;
        StatusColour colour;
    };
    const Case cases[] = {{0, 10, StatusColour::Red},
                          {1, 10, StatusColour::Yellow},
                          {2, 10, StatusColour::Green}, // 10 >> 2 == 2
                          {0, 0, StatusColour::Red},
                          {1, 3, StatusColour::Green}};
    for (const Case& c : cases) {
        const StatusField f = connectionsField(c.active, c.configured);
        EXPECT_EQ(f.colour, c.colour) << c.active << " of " << c.configured;
    }
    EXPECT_EQ(connectionsField(1, 10).text, "1 of 10");
    EXPECT_EQ(audioField(4).colour, StatusColour::Cyan);
}

TEST(StatusText, Failover) {
    EXPECT_EQ(failoverField(3).field.text, "PRIMARY ACTIVE\nSecondary Standby");
    EXPECT_EQ(failoverField(3).buttonEnabled, true);
    EXPECT_EQ(failoverField(5).field.text, "Primary Standby\n SECONDARY ACTIVE");
    EXPECT_EQ(failoverField(5).buttonCaption, "Force Failback");
    EXPECT_EQ(failoverField(4).buttonEnabled, false);
    EXPECT_FALSE(failoverField(1).buttonCaption.has_value());
    EXPECT_EQ(failoverField(9).field.text, "?");
}

TEST(StatusText, TrunkingFollowsTheMode) {
    model::SystemStatus s;
    s.set(model::SystemStatus::kRtsTrunkState, 3);
    s.set(model::SystemStatus::kRtsTrunksActive, 1);
    s.set(model::SystemStatus::kRtsTrunksConfigured, 2);
    s.set(model::SystemStatus::kDelecTrunkState, 2);
    const TrunkingFields rts = trunkingFields(Trunking::Rts, s);
    EXPECT_EQ(rts.status.text, "Trunk Master On-Line");
    ASSERT_TRUE(rts.activeTrunks);
    EXPECT_EQ(rts.activeTrunks->text, "1 of 2");
    const TrunkingFields delec = trunkingFields(Trunking::Delec, s);
    EXPECT_EQ(delec.status.text, "Oratis Off-Line");
    EXPECT_EQ(delec.status.colour, StatusColour::Red);
    EXPECT_FALSE(delec.activeTrunks);
}

} // namespace
} // namespace mirx::reports
