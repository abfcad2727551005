#include "core/debug_log.h"
#include "link/frame_cutter.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>
#include <vector>

namespace mirx::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Frames written out from the layout by hand, not by the code under test.
Bytes frame(std::uint16_t id, std::uint16_t second, const Bytes& payload) {
    const auto size = static_cast<std::uint32_t>(payload.size() + 20);
    Bytes out = {0x55,
                 0xAA,
                 0x00,
                 0xFF,
                 static_cast<std::uint8_t>(size),
                 static_cast<std::uint8_t>(size >> 8),
                 static_cast<std::uint8_t>(size >> 16),
                 static_cast<std::uint8_t>(size >> 24),
                 0,
                 0,
                 0,
                 0,
                 static_cast<std::uint8_t>(id),
                 static_cast<std::uint8_t>(id >> 8),
                 static_cast<std::uint8_t>(second),
                 static_cast<std::uint8_t>(second >> 8)};
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), {0xFF, 0x00, 0xAA, 0x55});
    return out;
}

Bytes withSizeField(Bytes bytes, std::uint32_t size) {
    for (int i = 0; i < 4; ++i) {
        bytes[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    return bytes;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

struct Delivered {
    std::uint16_t id;
    std::uint16_t second;
    Bytes payload;
    friend bool operator==(const Delivered&, const Delivered&) = default;
};

void PrintTo(const Delivered& d, std::ostream* os) {
    *os << "{id " << d.id << ", second " << d.second << ", " << d.payload.size() << " bytes}";
}

struct RecordingSink final : FrameSink {
    void onTraffic() override { ++traffic; }
    void onKeepAlive(std::uint16_t checkTimeMs) override { keepAlives.push_back(checkTimeMs); }
    void onFrame(const wire::FrameView& f) override {
        frames.push_back({f.messageId, f.secondValue, Bytes(f.payload.begin(), f.payload.end())});
    }
    int traffic = 0;
    std::vector<std::uint16_t> keepAlives;
    std::vector<Delivered> frames;
};

class Cutter : public ::testing::Test {
protected:
    Cutter() { receiver_.setPeerText("127.0.0.1:1000"); }

    // One receive: the bytes land in the free space, then get cut.
    bool feed(const Bytes& bytes) {
        auto space = receiver_.freeSpace();
        EXPECT_LE(bytes.size(), space.size());
        std::copy(bytes.begin(), bytes.end(), space.begin());
        return receiver_.commit(bytes.size(), sink_);
    }

    test::LogCapture log_;
    FrameReceiver receiver_;
    RecordingSink sink_;
};

TEST_F(Cutter, TwoFramesInOneReceiveAreDeliveredInOrder) {
    EXPECT_FALSE(feed(concat({frame(2010, 10001, {1, 2, 3}), frame(6002, 0, {})})));
    EXPECT_EQ(sink_.frames, (std::vector<Delivered>{{2010, 10001, {1, 2, 3}}, {6002, 0, {}}}));
    EXPECT_EQ(receiver_.pending(), 0u);
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(Cutter, FrameSplitInsideTheHeaderIsDeliveredOnceIntact) {
    const Bytes whole = frame(6005, 0, Bytes(40, 0x5A));
    EXPECT_TRUE(feed(Bytes(whole.begin(), whole.begin() + 5)));
    EXPECT_TRUE(feed(Bytes(whole.begin() + 5, whole.begin() + 12)));
    EXPECT_TRUE(sink_.frames.empty());
    EXPECT_FALSE(feed(Bytes(whole.begin() + 12, whole.end())));
    EXPECT_EQ(sink_.frames, (std::vector<Delivered>{{6005, 0, Bytes(40, 0x5A)}}));
}

TEST_F(Cutter, IncompleteTailMovesToTheFrontAndCompletesLater) {
    const Bytes second = frame(2011, 3, Bytes(300, 7));
    Bytes first = frame(2018, 0, {9});
    first.insert(first.end(), second.begin(), second.begin() + 100);
    EXPECT_TRUE(feed(first));
    EXPECT_EQ(receiver_.pending(), 100u);
    EXPECT_FALSE(feed(Bytes(second.begin() + 100, second.end())));
    ASSERT_EQ(sink_.frames.size(), 2u);
    EXPECT_EQ(sink_.frames[1], (Delivered{2011, 3, Bytes(300, 7)}));
}

TEST_F(Cutter, KeepAliveIsConsumedNotDelivered) {
    EXPECT_FALSE(feed(concat({frame(0xFFFF, 6000, {}), frame(6001, 0, {1})})));
    EXPECT_EQ(sink_.keepAlives, std::vector<std::uint16_t>{6000});
    EXPECT_EQ(sink_.frames, (std::vector<Delivered>{{6001, 0, {1}}}));
}

TEST_F(Cutter, AValidHeadCountsAsTrafficBeforeTheFrameIsComplete) {
    const Bytes whole = frame(6005, 0, Bytes(100, 1));
    feed(Bytes(whole.begin(), whole.begin() + 15));
    EXPECT_EQ(sink_.traffic, 0) << "15 bytes are not yet a head";
    feed(Bytes(whole.begin() + 15, whole.begin() + 30));
    EXPECT_GE(sink_.traffic, 1);
}

struct ErrorCase {
    const char* name;
    Bytes receive;
    const char* report;
};

class CutterErrors : public Cutter, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(CutterErrors, DropEverythingPendingAndRecoverOnAFreshReceive) {
    const ErrorCase& c = GetParam();
    EXPECT_FALSE(feed(c.receive));
    EXPECT_EQ(receiver_.pending(), 0u);
    EXPECT_TRUE(sink_.frames.empty());
    EXPECT_EQ(log_.lines(), std::vector<std::string>{c.report});

    EXPECT_FALSE(feed(frame(6002, 0, {})));
    EXPECT_EQ(sink_.frames, (std::vector<Delivered>{{6002, 0, {}}}));
}

const ErrorCase kErrorCases[] = {
    {"StrayLeadingByte", concat({Bytes{0x00}, frame(6002, 0, {})}),
     "[127.0.0.1:1000] ***ERROR*** Message Start Marker invalid ... Discarding 21 bytes"},
    {"SizeOneAboveTheLimit", withSizeField(frame(2010, 0, Bytes(30, 1)), 500001),
     "[127.0.0.1:1000] ***ERROR*** Message size invalid ... Message ID: 2010, Message Size: "
     "500001, Bytes to Process: 50"},
    {"NegativeSize", withSizeField(frame(2010, 0, {}), 0xFFFFFFFF),
     "[127.0.0.1:1000] ***ERROR*** Message size invalid ... Message ID: 2010, Message Size: -1, "
     "Bytes to Process: 20"},
    {"SizeSixteenLeavesNoRoomForAStopMarker", withSizeField(frame(6001, 0, {}), 16),
     "[127.0.0.1:1000] ***ERROR*** Message size invalid ... Message ID: 6001, Message Size: 16, "
     "Bytes to Process: 20"},
    {"SizeNineteen", withSizeField(frame(6001, 0, {}), 19),
     "[127.0.0.1:1000] ***ERROR*** Message size invalid ... Message ID: 6001, Message Size: 19, "
     "Bytes to Process: 20"},
    {"StopMarkerWrong",
     [] {
         Bytes b = frame(6005, 0, {1, 2, 3});
         b.back() = 0x00;
         return concat({b, frame(6002, 0, {})});
     }(),
     "[127.0.0.1:1000] ***ERROR*** Message Stop Marker invalid ... Discarding 43 bytes"},
};

INSTANTIATE_TEST_SUITE_P(Table, CutterErrors, ::testing::ValuesIn(kErrorCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(Cutter, FramesBeforeAnErrorAreStillDelivered) {
    feed(concat({frame(6002, 1, {}), Bytes(16, 0x11)}));
    EXPECT_EQ(sink_.frames, (std::vector<Delivered>{{6002, 1, {}}}));
    EXPECT_EQ(log_.lines(),
              std::vector<std::string>{"[127.0.0.1:1000] ***ERROR*** Message Start Marker invalid "
                                       "... Discarding 16 bytes"});
}

TEST_F(Cutter, ReportsAreErrorLevelOfTheConnectionCategory) {
    const std::uint32_t noErrors = 0x20000000u | 0x1FFFFFFF; // level 1: errors pass
    const std::uint32_t other = 0x60000000u | (7u << 26) | (99u << 16) | (63u << 10) | 1023u;
    log::setFilters(1, &other);
    feed(Bytes(20, 0x42));
    EXPECT_TRUE(log_.lines().empty()) << "a filter for another group must hide the report";
    log::setFilters(1, &noErrors);
    feed(Bytes(20, 0x42));
    EXPECT_EQ(log_.lines().size(), 1u);
    const std::uint32_t initial = log::DebugFilterTable::kDefaultWord;
    log::setFilters(1, &initial);
}

TEST(CutOne, NeverReadsPastTheSpan) {
    const Bytes whole = frame(1, 0, Bytes(8, 0));
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const CutStep step = cutOne({whole.data(), n});
        EXPECT_EQ(step.status, CutStatus::NeedMore) << n;
    }
    EXPECT_EQ(cutOne(whole).status, CutStatus::Frame);
}

} // namespace
} // namespace mirx::link
