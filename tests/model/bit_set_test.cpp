#include "model/bit_set.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace mirx::model {
namespace {

bool allZero(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

TEST(BitSet, BitsLiveLeastSignificantFirst) {
    ClientBitSet set;
    set.setBit(999);
    set.setBit(0);
    set.setBit(10);
    std::array<std::uint8_t, 125> expected{};
    expected[0] = 0x01;
    expected[1] = 0x04;
    expected[124] = 0x80;
    EXPECT_TRUE(std::equal(set.bytes().begin(), set.bytes().end(), expected.begin()));
    EXPECT_TRUE(set.test(999));
    EXPECT_FALSE(set.test(998));
}

TEST(BitSet, BitNumbersOutsideTheSetAreIgnored) {
    ClientBitSet set;
    set.setBit(1000);
    set.setBit(-1);
    EXPECT_TRUE(allZero(set.bytes()));
    EXPECT_EQ(set.state(), BitSetState::Empty);

    set.setAll();
    set.clearBit(1000);
    EXPECT_EQ(set.state(), BitSetState::NonEmpty);
    EXPECT_FALSE(set.test(1000));
}

TEST(BitSet, NextSetBitWalk) {
    ClientBitSet set;
    set.setBit(9);
    set.setBit(3);
    EXPECT_EQ(set.nextSetBit(-1), 3);
    EXPECT_EQ(set.nextSetBit(3), 9);
    EXPECT_EQ(set.nextSetBit(9), -1);
    EXPECT_EQ(set.nextSetBit(999), -1);

    set.setBit(999);
    EXPECT_EQ(set.nextSetBit(9), 999);
}

TEST(BitSet, SetAllAndClearAll) {
    BitSet<12> odd; // padding bits of the last byte stay clear
    odd.setAll();
    EXPECT_EQ(odd.bytes()[0], 0xFF);
    EXPECT_EQ(odd.bytes()[1], 0x0F);
    EXPECT_EQ(odd.nextSetBit(10), 11);
    EXPECT_EQ(odd.nextSetBit(11), -1);

    ClientBitSet set;
    set.setAll();
    EXPECT_EQ(set.bytes()[124], 0xFF);
    set.clearAll();
    EXPECT_TRUE(allZero(set.bytes()));
    EXPECT_EQ(set.state(), BitSetState::Empty);
}

TEST(BitSet, StateTransitions) {
    ClientBitSet set;
    EXPECT_EQ(set.state(), BitSetState::Empty);

    set.setBit(5);
    EXPECT_EQ(set.state(), BitSetState::NonEmpty);

    // Clearing leaves open whether anything is left, even for the last bit.
    set.clearBit(5);
    EXPECT_EQ(set.state(), BitSetState::Undetermined);
    // Only a search from the start settles it.
    EXPECT_EQ(set.nextSetBit(0), -1);
    EXPECT_EQ(set.state(), BitSetState::Undetermined);
    EXPECT_EQ(set.nextSetBit(-1), -1);
    EXPECT_EQ(set.state(), BitSetState::Empty);

    set.setBit(7);
    set.setBit(8);
    set.clearBit(7);
    EXPECT_EQ(set.state(), BitSetState::Undetermined);
    EXPECT_EQ(set.nextSetBit(-1), 8);
    EXPECT_EQ(set.state(), BitSetState::NonEmpty);

    set.clearAll();
    set.clearBit(3);
    EXPECT_EQ(set.state(), BitSetState::Undetermined);
}

TEST(BitSet, SearchOverAnEmptySetDoesNotLook) {
    ClientBitSet set;
    auto raw = set.receiveBytes();
    set.clearAll();
    raw[0] = 0x10; // behind the set's back: it still believes itself empty
    EXPECT_EQ(set.nextSetBit(-1), -1);
    EXPECT_EQ(set.state(), BitSetState::Empty);

    set.receiveBytes();
    EXPECT_EQ(set.state(), BitSetState::Undetermined);
    EXPECT_EQ(set.nextSetBit(-1), 4);
    EXPECT_EQ(set.state(), BitSetState::NonEmpty);
}

TEST(BitSet, ReceivingCopiesAtMostTheSetsBytes) {
    ClientBitSet set;
    std::vector<std::uint8_t> payload(200, 0xFF);
    payload[0] = 0x02;
    EXPECT_EQ(set.assignPrefix(payload), 125u);
    EXPECT_EQ(set.state(), BitSetState::Undetermined);
    EXPECT_EQ(set.nextSetBit(-1), 1);
    EXPECT_TRUE(set.test(999));

    set.clearAll();
    const std::array<std::uint8_t, 2> shortPayload{0x00, 0x01};
    EXPECT_EQ(set.assignPrefix(shortPayload), 2u);
    EXPECT_EQ(set.nextSetBit(-1), 8);
    EXPECT_EQ(set.nextSetBit(8), -1);
}

} // namespace
} // namespace mirx::model
