#include "link/settings_store.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <ostream>
#include <set>
#include <string>

namespace mirx::link {

void PrintTo(const Rect& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

// Table rows print as their label in failure messages.
template <typename Case>
requires requires(const Case& c) {
    c.label;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.label;
}

constexpr std::string_view kOpenError = "ERROR: Failed to opened registry key memory[Default]";

// ---- Reading rules ---------------------------------------------------------

struct StringCase {
    const char* label;
    std::optional<StoredValue> stored;
    std::size_t limit;
    std::optional<std::string> expected;
};

class StringReads : public testing::TestWithParam<StringCase> {};

TEST_P(StringReads, TakeOnlyStringsCutToTheLimit) {
    const StringCase& c = GetParam();
    MemorySettingsStore store;
    if (c.stored) {
        store.set("Value", *c.stored);
    }
    EXPECT_EQ(store.readString("Value", c.limit), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StringReads,
    testing::Values(StringCase{"plain", std::string("10.0.0.1"), 50, "10.0.0.1"},
                    StringCase{"empty_is_present", std::string(), 50, ""},
                    StringCase{"absent", std::nullopt, 50, std::nullopt},
                    StringCase{"number", std::uint32_t{1000}, 50, std::nullopt},
                    StringCase{"other_type", OtherValue{"b:0102"}, 50, std::nullopt},
                    StringCase{"exact_limit", std::string(19, 'x'), 19, std::string(19, 'x')},
                    StringCase{"over_limit", std::string(60, 'x'), 50, std::string(50, 'x')},
                    // Limits count UTF-16 units and never split a character.
                    StringCase{"two_byte_chars", std::string("\xC3\xA9\xC3\xA9\xC3\xA9"), 2,
                               std::string("\xC3\xA9\xC3\xA9")},
                    StringCase{"surrogate_pair", std::string("a\xF0\x9F\x98\x80"), 2,
                               std::string("a")}),
    [](const auto& p) { return std::string(p.param.label); });

TEST(SettingsStore, NumbersAreTakenOnlyAsNumbers) {
    MemorySettingsStore store;
    store.set("Number", std::uint32_t{0xFFFFFFFF});
    store.set("Text", std::string("1000"));
    store.set("Other", OtherValue{"?"});
    EXPECT_EQ(store.readNumber("Number"), 0xFFFFFFFFu);
    EXPECT_EQ(store.readNumber("Text"), std::nullopt);
    EXPECT_EQ(store.readNumber("Other"), std::nullopt);
    EXPECT_EQ(store.readNumber("Missing"), std::nullopt);
}

TEST(SettingsStore, WritesKeepTheirTypes) {
    MemorySettingsStore store;
    EXPECT_TRUE(store.writeString("A", "1000"));
    EXPECT_TRUE(store.writeNumber("B", 1000));
    EXPECT_EQ(store.get("A"), StoredValue{std::string("1000")});
    EXPECT_EQ(store.get("B"), StoredValue{std::uint32_t{1000}});
}

TEST(SettingsStore, UnopenedStoreLogsEachAccessAndRetries) {
    test::LogCapture log;
    MemorySettingsStore store;
    store.set("UserName", std::string("bob"));
    store.setFailOpen(true);

    EXPECT_EQ(store.readString("UserName", 20), std::nullopt);
    EXPECT_EQ(store.readNumber("DataIpPort"), std::nullopt);
    EXPECT_FALSE(store.writeString("UserName", "eve"));
    EXPECT_FALSE(store.writeNumber("DataIpPort", 1));
    EXPECT_EQ(log.raw(), std::vector<std::string>(4, std::string(kOpenError) + "\n"));
    EXPECT_EQ(store.get("UserName"), StoredValue{std::string("bob")});

    log.clear();
    store.setFailOpen(false);
    EXPECT_EQ(store.readString("UserName", 20), "bob");
    EXPECT_TRUE(log.raw().empty());
}

// ---- Values and their defaults -----------------------------------------------

TEST(SettingsValues, TableHoldsEachNameOnceWithItsTypeAndLimit) {
    std::set<std::string_view> names;
    for (const SettingValue& v : kProfileValues) {
        EXPECT_TRUE(names.insert(v.name).second) << v.name;
        EXPECT_EQ(v.type == ValueType::String, v.maxChars > 0) << v.name;
    }
    EXPECT_EQ(names.count(kProfileValueName), 0u);
    EXPECT_EQ(kServerIPAddress.maxChars, 50u);
    EXPECT_EQ(kClientIPAddress.maxChars, 50u);
    EXPECT_EQ(kSecondaryServerIpAddress.maxChars, 19u);
    EXPECT_EQ(kUserName.maxChars, 20u);
    EXPECT_EQ(kPassword.maxChars, 20u);
    EXPECT_EQ(kDataIpPort.type, ValueType::Number);
    EXPECT_EQ(kSecondaryServerIpPort.type, ValueType::Number);
}

TEST(SettingsValues, PortDefaultIsWrittenBackAtOnce) {
    MemorySettingsStore store;
    EXPECT_EQ(readPort(store), 1000);
    EXPECT_EQ(store.get("DataIpPort"), StoredValue{std::uint32_t{1000}});

    // A string is no port: replaced by the number.
    store.set("DataIpPort", std::string("2000"));
    EXPECT_EQ(readPort(store), 1000);
    EXPECT_EQ(store.get("DataIpPort"), StoredValue{std::uint32_t{1000}});
}

TEST(SettingsValues, PortsUseTheLowSixteenBits) {
    MemorySettingsStore store;
    store.set("DataIpPort", std::uint32_t{0x12345});
    store.set("SecondaryServerIpPort", std::uint32_t{70000});
    EXPECT_EQ(readPort(store), 0x2345);
    EXPECT_EQ(readSecondaryPort(store), 70000 - 65536);
    EXPECT_EQ(store.get("DataIpPort"), StoredValue{std::uint32_t{0x12345}});
}

TEST(SettingsValues, SecondaryPortDefaultIsNotWritten) {
    MemorySettingsStore store;
    EXPECT_EQ(readSecondaryPort(store), 1000);
    EXPECT_TRUE(store.values().empty());
}

TEST(SettingsValues, PortOfAnUnopenableStoreIs1000) {
    test::LogCapture log;
    MemorySettingsStore store;
    store.setFailOpen(true);
    EXPECT_EQ(readPort(store), 1000);
    // The read and the write-back each report the failure.
    EXPECT_EQ(log.count(kOpenError), 2u);
}

struct FlagCase {
    const char* label;
    std::optional<StoredValue> stored;
    bool expected;
};

class DomainAuthentication : public testing::TestWithParam<FlagCase> {};

TEST_P(DomainAuthentication, OnlyForAPresentNonZeroNumber) {
    MemorySettingsStore store;
    if (GetParam().stored) {
        store.set("UseDomainAuthentication", *GetParam().stored);
    }
    EXPECT_EQ(readDomainAuthentication(store), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DomainAuthentication,
                         testing::Values(FlagCase{"absent", std::nullopt, false},
                                         FlagCase{"zero", std::uint32_t{0}, false},
                                         FlagCase{"one", std::uint32_t{1}, true},
                                         FlagCase{"any_non_zero", std::uint32_t{0x100}, true},
                                         FlagCase{"string_one", std::string("1"), false}),
                         [](const auto& p) { return std::string(p.param.label); });

struct NameCase {
    const char* label;
    std::optional<StoredValue> stored;
    std::string expected;
};

class UserName : public testing::TestWithParam<NameCase> {};

TEST_P(UserName, AdminUnlessAStringIsStored) {
    MemorySettingsStore store;
    if (GetParam().stored) {
        store.set("UserName", *GetParam().stored);
    }
    EXPECT_EQ(readUserName(store), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, UserName,
                         testing::Values(NameCase{"absent", std::nullopt, "admin"},
                                         NameCase{"number", std::uint32_t{7}, "admin"},
                                         NameCase{"other_type", OtherValue{"x"}, "admin"},
                                         NameCase{"empty", std::string(), ""},
                                         NameCase{"stored", std::string("operator"), "operator"},
                                         NameCase{"over_limit", std::string(25, 'n'),
                                                  std::string(20, 'n')}),
                         [](const auto& p) { return std::string(p.param.label); });

TEST(SettingsValues, PasswordAndSaslMechanismDefaults) {
    MemorySettingsStore store;
    EXPECT_EQ(readPassword(store), "");
    EXPECT_EQ(readDomainSaslMechanism(store), "GSSAPI");
    store.set("DomainSaslMechanism", std::string());
    EXPECT_EQ(readDomainSaslMechanism(store), "GSSAPI");
    store.set("DomainSaslMechanism", std::string("EXTERNAL"));
    store.set("Password", std::string(30, 'p'));
    EXPECT_EQ(readDomainSaslMechanism(store), "EXTERNAL");
    EXPECT_EQ(readPassword(store), std::string(20, 'p'));
}

// ---- Window positions --------------------------------------------------------

TEST(WindowPositions, NamesJoinPrefixAndEdge) {
    EXPECT_EQ(windowPositionName("Main", WindowEdge::Left), "MainWindowPositionLeft");
    EXPECT_EQ(windowPositionName("Login", WindowEdge::Top), "LoginWindowPositionTop");
    EXPECT_EQ(windowPositionName("DebugLogDlg", WindowEdge::Right),
              "DebugLogDlgWindowPositionRight");
    EXPECT_EQ(windowPositionName("GroupMembership", WindowEdge::Bottom),
              "GroupMembershipWindowPositionBottom");
}

TEST(WindowPositions, OnlyLoginIsMoveOnly) {
    std::set<std::string_view> prefixes;
    for (const WindowPositionKey& key : kWindowPositionKeys) {
        EXPECT_TRUE(prefixes.insert(key.prefix).second) << key.prefix;
        EXPECT_EQ(key.resizable, key.prefix != "Login") << key.prefix;
    }
    EXPECT_EQ(prefixes.size(), 18u);
    ASSERT_TRUE(findWindowPositionKey("ReportSelectorAssignmentsDlg"));
    EXPECT_TRUE(findWindowPositionKey("ReportSelectorAssignmentsDlg")->resizable);
    EXPECT_FALSE(findWindowPositionKey("main"));
}

TEST(WindowPositions, ResizableViewStoresItsRectangle) {
    MemorySettingsStore store;
    EXPECT_TRUE(writeWindowPosition(store, "ClientStatistics", true, {-1200, 40, -400, 640}));
    EXPECT_EQ(store.get("ClientStatisticsWindowPositionLeft"),
              StoredValue{std::uint32_t{0xFFFFFB50}});
    EXPECT_EQ(readWindowPosition(store, "ClientStatistics", true), (Rect{-1200, 40, -400, 640}));
}

TEST(WindowPositions, MoveOnlyViewStoresItsCorner) {
    MemorySettingsStore store;
    EXPECT_TRUE(writeWindowPosition(store, "Login", false, {10, 20, 300, 400}));
    EXPECT_EQ(store.values().size(), 2u);
    store.set("LoginWindowPositionRight", std::uint32_t{999});
    EXPECT_EQ(readWindowPosition(store, "Login", false), (Rect{10, 20, 0, 0}));
}

TEST(WindowPositions, ZeroRightAndBottomAreNotWritten) {
    MemorySettingsStore store;
    store.set("DebugLogDlgWindowPositionRight", std::uint32_t{800});
    EXPECT_TRUE(writeWindowPosition(store, "DebugLogDlg", true, {0, 0, 0, 0}));
    EXPECT_EQ(store.get("DebugLogDlgWindowPositionRight"), StoredValue{std::uint32_t{800}});
    EXPECT_FALSE(store.get("DebugLogDlgWindowPositionBottom"));
    EXPECT_EQ(store.get("DebugLogDlgWindowPositionLeft"), StoredValue{std::uint32_t{0}});
}

TEST(WindowPositions, AbsentOrWrongTypeReadsAsZero) {
    MemorySettingsStore store;
    store.set("MainWindowPositionTop", std::string("40"));
    EXPECT_EQ(readWindowPosition(store, "Main", false), Rect{});
    EXPECT_EQ(readWindowPosition(store, "SipRegistrations", true), Rect{});
}

TEST(WindowPositions, FailedWriteIsReported) {
    MemorySettingsStore store;
    store.setFailOpen(true);
    test::LogCapture log;
    EXPECT_FALSE(writeWindowPosition(store, "Main", false, {1, 2, 0, 0}));
}

struct PlaceCase {
    const char* label;
    Rect stored;
    bool resizable;
    Size current;
    std::optional<Rect> expected;
};

class PlaceWindow : public testing::TestWithParam<PlaceCase> {};

// A 3840x1080 virtual screen whose primary screen is 1920x1080.
TEST_P(PlaceWindow, FollowsTheRestoreRule) {
    const PlaceCase& c = GetParam();
    EXPECT_EQ(placeWindow(c.stored, 3840, 1080, 1920, 1080, c.current, c.resizable), c.expected);
}

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

INSTANTIATE_TEST_SUITE_P(
    Cases, PlaceWindow,
    testing::Values(
        PlaceCase{"corner_zero_keeps_default", {0, 0, 500, 400}, true, {}, std::nullopt},
        PlaceCase{"move_only_zero_keeps_default", {0, 0, 0, 0}, false, {300, 200}, std::nullopt},
        PlaceCase{
            "left_zero_alone_is_a_position", {0, 10, 500, 410}, true, {}, Rect{0, 10, 500, 410}},
        PlaceCase{
            "on_screen_keeps_rectangle", {100, 50, 600, 450}, true, {}, Rect{100, 50, 600, 450}},
        PlaceCase{"second_screen", {2500, 100, 3000, 500}, true, {}, Rect{2500, 100, 3000, 500}},
        PlaceCase{
            "left_of_primary", {-1500, 100, -700, 700}, true, {}, Rect{-1500, 100, -700, 700}},
        PlaceCase{"move_only_keeps_current_size",
                  {100, 50, 900, 900},
                  false,
                  {300, 200},
                  Rect{100, 50, 400, 250}},
        PlaceCase{"far_off_centred_with_stored_size",
                  {5000, 5000, 5800, 5600},
                  true,
                  {},
                  Rect{560, 240, 1360, 840}},
        PlaceCase{"left_at_virtual_width_is_off",
                  {3840, 100, 4640, 700},
                  true,
                  {},
                  Rect{560, 240, 1360, 840}},
        PlaceCase{"top_at_virtual_height_is_off",
                  {100, 1080, 900, 1680},
                  true,
                  {},
                  Rect{560, 240, 1360, 840}},
        PlaceCase{"move_only_centred_with_current_size",
                  {9000, 20, 0, 0},
                  false,
                  {301, 201},
                  Rect{810, 440, 1111, 641}},
        // Wild values from a hand-edited file are clamped, never overflowed.
        PlaceCase{"extreme_values",
                  {kMax, kMax, kMin, kMin},
                  true,
                  {},
                  Rect{kMax, kMax, -2147482688, -2147483108}}),
    [](const auto& p) { return std::string(p.param.label); });

TEST(PlaceWindow, HalvesTruncateTowardZero) {
    // Odd primary size and odd window size.
    EXPECT_EQ(placeWindow({5000, 5000, 0, 0}, 1365, 767, 1365, 767, {301, 201}, false),
              (Rect{532, 283, 833, 484}));
}

} // namespace
} // namespace mirx::link
