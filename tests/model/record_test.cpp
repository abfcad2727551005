#include "model/record.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::rec {
namespace {

using ByteList = std::vector<std::uint8_t>;

struct Numbers : Record<24> {
    static constexpr Scalar<std::int16_t> kI16{1}; // odd offset on purpose
    static constexpr Scalar<std::uint32_t> kU32{3};
    static constexpr Scalar<double> kDouble{7};
    static constexpr Scalar<std::int8_t> kI8{15};
    static constexpr Scalar<std::uint16_t> kU16{16};
};

struct Texts : Record<64> {
    static constexpr Utf16Text kShort{0, 5};
    static constexpr Utf16Text kFull{10, 20, 20};
    static constexpr AsciiText kAscii{50, 6};
};

// A record whose every byte is `fill`, so stray writes show.
template <typename R>
R filled(std::uint8_t fill) {
    R r;
    r.bytes.fill(fill);
    return r;
}

template <typename R>
ByteList slice(const R& r, std::size_t offset, std::size_t n) {
    return {r.bytes.begin() + static_cast<std::ptrdiff_t>(offset),
            r.bytes.begin() + static_cast<std::ptrdiff_t>(offset + n)};
}

// The whole record after a write: `fill` everywhere except `bytes` at `offset`.
template <typename R>
void expectOnly(const R& r, std::uint8_t fill, std::size_t offset, const ByteList& bytes) {
    auto expected = filled<R>(fill);
    std::copy(bytes.begin(), bytes.end(),
              expected.bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    EXPECT_EQ(r.bytes, expected.bytes);
}

TEST(RecordScalar, WritesLittleEndianAndTouchesNothingElse) {
    {
        auto r = filled<Numbers>(0xAA);
        r.set(Numbers::kI16, -1234); // 0xFB2E
        expectOnly(r, 0xAA, 1, {0x2E, 0xFB});
        EXPECT_EQ(r.get(Numbers::kI16), -1234);
    }
    {
        auto r = filled<Numbers>(0xAA);
        r.set(Numbers::kI16, -1);
        expectOnly(r, 0xAA, 1, {0xFF, 0xFF});
        EXPECT_EQ(r.get(Numbers::kI16), -1);
    }
    {
        auto r = filled<Numbers>(0xAA);
        r.set(Numbers::kU32, 0x12345678u);
        expectOnly(r, 0xAA, 3, {0x78, 0x56, 0x34, 0x12});
        EXPECT_EQ(r.get(Numbers::kU32), 0x12345678u);
    }
    {
        auto r = filled<Numbers>(0xAA);
        r.set(Numbers::kDouble, 1.5); // 0x3FF8000000000000
        expectOnly(r, 0xAA, 7, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F});
        EXPECT_EQ(r.get(Numbers::kDouble), 1.5);
    }
    {
        auto r = filled<Numbers>(0xAA);
        r.set(Numbers::kDouble, -2.0); // 0xC000000000000000
        expectOnly(r, 0xAA, 7, {0, 0, 0, 0, 0, 0, 0, 0xC0});
        EXPECT_EQ(r.get(Numbers::kDouble), -2.0);
    }
    {
        auto r = filled<Numbers>(0xAA);
        r.set(Numbers::kI8, -3);
        expectOnly(r, 0xAA, 15, {0xFD});
        EXPECT_EQ(r.get(Numbers::kI8), -3);
    }
}

TEST(RecordScalar, ReadsHandBuiltBytes) {
    Numbers r;
    r.bytes[1] = 0x00;
    r.bytes[2] = 0x80;
    r.bytes[16] = 0xEF;
    r.bytes[17] = 0xBE;
    r.bytes[15] = 0x80;
    EXPECT_EQ(r.get(Numbers::kI16), -32768);
    EXPECT_EQ(r.get(Numbers::kU16), 0xBEEF);
    EXPECT_EQ(r.get(Numbers::kI8), -128);
}

TEST(RecordScalar, BitsOfAWideField) {
    auto r = filled<Numbers>(0x00);
    r.setBit(Numbers::kU16, 9, true);
    expectOnly(r, 0x00, 16, {0x00, 0x02});
    EXPECT_TRUE(r.testBit(Numbers::kU16, 9));
    EXPECT_FALSE(r.testBit(Numbers::kU16, 1));
    r.setBit(Numbers::kU16, 9, false);
    expectOnly(r, 0x00, 16, {0x00, 0x00});
}

struct Utf16Case {
    const char* name;
    std::string text;
    ByteList bytes; // the 10 bytes of the 5-unit field
    bool whole;
    std::string readBack;
};

TEST(RecordUtf16Text, FiveUnitFieldKeepsFourCharactersAndATerminator) {
    const std::vector<Utf16Case> cases{
        {"short", "abc", {0x61, 0, 0x62, 0, 0x63, 0, 0, 0, 0, 0}, true, "abc"},
        {"non-ASCII", "\xC3\xA9", {0xE9, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, "\xC3\xA9"},
        {"surrogate pair fits",
         "ab\xF0\x9F\x98\x80", // U+1F600 = D83D DE00
         {0x61, 0, 0x62, 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0},
         true,
         "ab\xF0\x9F\x98\x80"},
        {"pair not split",
         "abc\xF0\x9F\x98\x80",
         {0x61, 0, 0x62, 0, 0x63, 0, 0, 0, 0, 0},
         false,
         "abc"},
        {"cut", "abcde", {0x61, 0, 0x62, 0, 0x63, 0, 0x64, 0, 0, 0}, false, "abcd"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = filled<Texts>(0xAA);
        EXPECT_EQ(r.set(Texts::kShort, c.text), c.whole);
        expectOnly(r, 0xAA, 0, c.bytes);
        EXPECT_EQ(r.get(Texts::kShort), c.readBack);
    }
}

TEST(RecordUtf16Text, FieldWithoutRoomForTerminatorIsFilledCompletely) {
    auto r = filled<Texts>(0xAA);
    const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
    EXPECT_TRUE(r.set(Texts::kFull, twenty));
    ByteList expected;
    for (char c : twenty) {
        expected.push_back(static_cast<std::uint8_t>(c));
        expected.push_back(0);
    }
    expectOnly(r, 0xAA, 10, expected);
    EXPECT_EQ(r.get(Texts::kFull), twenty);

    EXPECT_FALSE(r.set(Texts::kFull, twenty + "U"));
    EXPECT_EQ(r.get(Texts::kFull), twenty);
    EXPECT_EQ(r.bytes[50], 0xAA);
}

TEST(RecordUtf16Text, ShorterTextZeroPadsTheRest) {
    auto r = filled<Texts>(0xAA);
    r.set(Texts::kFull, "ABCDEFGHIJKLMNOPQRST");
    r.set(Texts::kFull, "x");
    ByteList expected(40, 0);
    expected[0] = 'x';
    expectOnly(r, 0xAA, 10, expected);
}

TEST(RecordAsciiText, ReplacesEachNonAsciiCharacterWithOneQuestionMark) {
    struct Case {
        const char* name;
        std::string text;
        ByteList bytes; // the 6 bytes of the field
        bool whole;
    };
    const std::vector<Case> cases{
        {"plain", "sip", {'s', 'i', 'p', 0, 0, 0}, true},
        {"two-byte character", "caf\xC3\xA9!", {'c', 'a', 'f', '?', '!', 0}, true},
        {"three-byte character",
         "\xE2\x82\xAC"
         "1",
         {'?', '1', 0, 0, 0, 0},
         true},
        {"cut", "abcdefg", {'a', 'b', 'c', 'd', 'e', 0}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = filled<Texts>(0xAA);
        EXPECT_EQ(r.set(Texts::kAscii, c.text), c.whole);
        expectOnly(r, 0xAA, 50, c.bytes);
    }
}

TEST(RecordAssignPrefix, CopiesOverTheStartAndKeepsTheTail) {
    auto r = filled<Record<8>>(0xAA);
    const std::array<std::uint8_t, 3> three{1, 2, 3};
    EXPECT_EQ(r.assignPrefix(three), 3u);
    EXPECT_EQ(slice(r, 0, 8), (ByteList{1, 2, 3, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}));

    const std::array<std::uint8_t, 10> ten{9, 9, 9, 9, 9, 9, 9, 9, 7, 7};
    EXPECT_EQ(r.assignPrefix(ten), 8u);
    EXPECT_EQ(slice(r, 0, 8), ByteList(8, 9));

    EXPECT_EQ(r.assignPrefix({}), 0u);
    EXPECT_EQ(slice(r, 0, 8), ByteList(8, 9));
}

} // namespace
} // namespace mirx::rec
