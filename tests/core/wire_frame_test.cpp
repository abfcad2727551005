#include "core/wire_frame.h"

#include <gtest/gtest.h>
#include <vector>

namespace mirx::wire {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct GoldenCase {
    const char* name;
    std::uint16_t id;
    std::uint16_t second;
    Bytes payload;
    Bytes expected; // written out by hand from the frame layout
};

class GoldenFrame : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenFrame, IsWrittenByteForByte) {
    const GoldenCase& c = GetParam();
    Bytes out(c.expected.size() + 8, 0xEE);
    const std::size_t n =
        writeFrame(out.data(), out.size(), c.id, c.second, c.payload.data(), c.payload.size());
    ASSERT_EQ(n, c.expected.size());
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n)), c.expected);
    EXPECT_EQ(out[n], 0xEE) << "wrote past the frame";
}

const GoldenCase kGoldenCases[] = {
    {"StatusRequestNoPayload", 6004, 0, {}, {0x55, 0xAA, 0x00, 0xFF, 0x14, 0x00, 0x00,
                                             0x00, 0x00, 0x00, 0x00, 0x00, 0x74, 0x17,
                                             0x00, 0x00, 0xFF, 0x00, 0xAA, 0x55}},
    {"BlockedListenUpdateTwoBytes", 6048, 5, {0x01, 0x02}, {0x55, 0xAA, 0x00, 0xFF, 0x16, 0x00,
                                                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                            0xA0, 0x17, 0x05, 0x00, 0x01, 0x02,
                                                            0xFF, 0x00, 0xAA, 0x55}},
    {"DefaultRecordSecondValue", 6006, 0xFFFF, {}, {0x55, 0xAA, 0x00, 0xFF, 0x14, 0x00, 0x00,
                                                    0x00, 0x00, 0x00, 0x00, 0x00, 0x76, 0x17,
                                                    0xFF, 0xFF, 0xFF, 0x00, 0xAA, 0x55}},
};

INSTANTIATE_TEST_SUITE_P(Table, GoldenFrame, ::testing::ValuesIn(kGoldenCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(KeepAlive, CarriesTheCheckTime) {
    const Bytes expected = {0x55, 0xAA, 0x00, 0xFF, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0xFF, 0xFF, 0xAC, 0x0D, 0xFF, 0x00, 0xAA, 0x55};
    Bytes out(20);
    ASSERT_EQ(writeKeepAlive(out.data(), out.size(), 3500), 20u);
    EXPECT_EQ(out, expected);
}

TEST(WriteFrame, RefusesWhenTheRoomIsShort) {
    Bytes out(21, 0xEE);
    const std::uint8_t payload[2] = {1, 2};
    EXPECT_EQ(writeFrame(out.data(), 21, 1, 0, payload, 2), 0u);
    EXPECT_EQ(out, Bytes(21, 0xEE));
    EXPECT_EQ(writeFrame(out.data(), 22 - 1, 1, 0, payload, 2), 0u);
}

TEST(WriteFrame, RefusesPayloadsNoReceiverCouldTake) {
    Bytes out(kMaxFrameSize + 64);
    Bytes payload(kMaxFrameSize - kFrameOverhead + 1);
    EXPECT_EQ(writeFrame(out.data(), out.size(), 1, 0, payload.data(), payload.size()), 0u);
    payload.pop_back();
    EXPECT_EQ(writeFrame(out.data(), out.size(), 1, 0, payload.data(), payload.size()),
              kMaxFrameSize);
}

} // namespace
} // namespace mirx::wire
