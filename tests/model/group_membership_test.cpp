#include "model/group_membership.h"
#include "model/membership_store.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::model {
namespace {

using L = LabelInfo;
using P = PartyLineMembership;
using Mode = MembershipMode;

constexpr auto kTalk = static_cast<std::uint8_t>(Mode::Talk);
constexpr auto kListen = static_cast<std::uint8_t>(Mode::Listen);
constexpr auto kBoth = static_cast<std::uint8_t>(Mode::TalkAndListen);

struct RawEntry {
    std::int16_t member;
    std::uint8_t mode;
    std::uint8_t restFill;
};

// A party line answer as the server sends it: `count` in the head, whatever
// entries are given after it.
std::vector<std::uint8_t> answer(std::uint16_t partyLine, std::uint16_t count,
                                 const std::vector<RawEntry>& entries) {
    std::vector<std::uint8_t> bytes{
        static_cast<std::uint8_t>(partyLine), static_cast<std::uint8_t>(partyLine >> 8),
        static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8)};
    for (const RawEntry& e : entries) {
        const auto member = static_cast<std::uint16_t>(e.member);
        bytes.push_back(static_cast<std::uint8_t>(member));
        bytes.push_back(static_cast<std::uint8_t>(member >> 8));
        bytes.push_back(e.mode);
        bytes.insert(bytes.end(), 7, e.restFill);
    }
    return bytes;
}

MembershipReading readAnswer(const std::vector<std::uint8_t>& bytes) {
    MembershipStore store;
    store.ReceivePartyLineMembership(bytes);
    const bool refused = !store.partyLineRefusal().empty();
    return readPartyLineMembers(refused ? store.partyLineReadablePart() : store.partyLine(),
                                store.partyLineRefusal());
}

std::vector<std::int16_t> members(const std::vector<MemberRow>& rows) {
    std::vector<std::int16_t> out;
    for (const MemberRow& row : rows) {
        out.push_back(row.member);
    }
    return out;
}

// Whatever the answer, the view gets the sound entries and is told what was
// not, so it never saves a record it could not read whole.
TEST(MembershipReadingTest, ShowsWhatIsSoundAndNamesTheRest) {
    mirx::test::LogCapture log;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::vector<std::int16_t> shown;
        std::vector<std::string> problems; // a part of each problem's text
    };
    const Case cases[] = {
        {"whole record",
         answer(10020, 3, {{4, kBoth, 1}, {11000, kTalk, 2}, {9, kListen, 3}}),
         {4, 11000, 9},
         {}},
        {"member -1 is passed over quietly",
         answer(10020, 2, {{-1, kBoth, 0}, {5, kTalk, 0}}),
         {5},
         {}},
        {"member out of range",
         answer(10020, 3, {{4, kBoth, 0}, {1500, kTalk, 0}, {-7, kTalk, 0}}),
         {4},
         {"entry 2 names 1500", "entry 3 names -7"}},
        {"unknown mode",
         answer(10020, 2, {{4, 0, 0}, {5, 9, 0}}),
         {},
         {"entry 1 has the unknown mode 0", "entry 2 has the unknown mode 9"}},
        {"count above the entries sent",
         answer(10020, 5, {{4, kBoth, 0}, {5, kTalk, 0}}),
         {4, 5},
         {"entries need"}},
        {"count below the entries sent",
         answer(10020, 1, {{4, kBoth, 0}, {5, kTalk, 0}}),
         {4},
         {"entries need"}},
        {"a torn entry",
         [] {
             auto b = answer(10020, 2, {{4, kBoth, 0}, {5, kTalk, 0}});
             b.pop_back();
             return b;
         }(),
         {4},
         {"entries need"}},
        {"too short for a head", {0x24}, {}, {"too few for its head"}},
    };
    for (const Case& c : cases) {
        const MembershipReading reading = readAnswer(c.bytes);
        EXPECT_EQ(members(reading.rows), c.shown) << c.what;
        ASSERT_EQ(reading.problems.size(), c.problems.size()) << c.what;
        for (std::size_t i = 0; i < c.problems.size(); ++i) {
            EXPECT_NE(reading.problems[i].find(c.problems[i]), std::string::npos)
                << c.what << ": " << reading.problems[i];
        }
        EXPECT_EQ(reading.whole(), c.problems.empty()) << c.what;
    }
}

TEST(MembershipReadingTest, FixedGroupBitsInClientOrder) {
    const auto reading = readFixedGroupMembers(site::clientSet({999, 3, 0}), "");
    EXPECT_EQ(members(reading.rows), (std::vector<std::int16_t>{0, 3, 999}));
    EXPECT_TRUE(reading.whole());
    EXPECT_FALSE(readFixedGroupMembers(ClientBitSet{}, "the answer holds 3 bytes").whole());
}

// The record goes back with each membership's own trailing bytes, whatever
// the order of the rows.
TEST(MembershipRecordTest, CarriesTrailingBytesWithTheirMembership) {
    mirx::test::LogCapture log;
    const auto bytes = answer(10020, 3, {{4, kBoth, 0x11}, {5, kTalk, 0x22}, {6, kListen, 0x33}});
    MembershipReading reading = readAnswer(bytes);
    std::swap(reading.rows[0], reading.rows[2]);
    const P record = partyLineRecord(10020, reading.rows);
    const auto expected =
        answer(10020, 3, {{6, kListen, 0x33}, {5, kTalk, 0x22}, {4, kBoth, 0x11}});
    const auto wire = record.wire();
    EXPECT_EQ(std::vector<std::uint8_t>(wire.begin(), wire.end()), expected);

    // No rows: the head alone, count 0.
    const P emptyRecord = partyLineRecord(10020, {});
    const auto empty = emptyRecord.wire();
    EXPECT_EQ(std::vector<std::uint8_t>(empty.begin(), empty.end()),
              (std::vector<std::uint8_t>{0x24, 0x27, 0, 0}));

    const std::vector<MemberRow> fixed = {{0, kBoth, {}}, {999, kBoth, {}}, {0, kBoth, {}}};
    const ClientBitSet set = fixedGroupSet(fixed);
    EXPECT_EQ(set.bytes()[0], 0x01);
    EXPECT_EQ(set.bytes()[124], 0x80);
    const ClientBitSet none = fixedGroupSet({});
    EXPECT_TRUE(std::ranges::all_of(none.bytes(), [](std::uint8_t b) { return b == 0; }));
}

MemberRow row(int member, std::uint8_t mode = kBoth) {
    return {static_cast<std::int16_t>(member), mode, {}};
}

std::vector<MemberRow> rowsOf(std::initializer_list<std::pair<int, std::uint8_t>> list) {
    std::vector<MemberRow> rows;
    for (const auto& [member, mode] : list) {
        rows.push_back(row(member, mode));
    }
    return rows;
}

TEST(MemberListTest, Edits) {
    std::vector<MemberRow> full;
    for (int i = 0; i < static_cast<int>(P::kMaxEntries); ++i) {
        full.push_back(row(i % 1000, i < 1000 ? kBoth : kTalk));
    }
    struct Case {
        const char* what;
        bool partyLine;
        std::vector<MemberRow> before;
        // insert at `position` when `add`, else remove at `position`
        bool add;
        int position;
        MemberRow added;
        MemberInsert result;
        int selected;
        std::vector<MemberRow> after;
    };
    const Case cases[] = {
        {"add at the end", true, rowsOf({{1, kBoth}}), true, -1, row(2, kTalk), MemberInsert::Added,
         1, rowsOf({{1, kBoth}, {2, kTalk}})},
        {"add before the selected row", true, rowsOf({{1, kBoth}, {2, kBoth}}), true, 1,
         row(3, kListen), MemberInsert::Added, 1, rowsOf({{1, kBoth}, {3, kListen}, {2, kBoth}})},
        {"same client, other mode", true, rowsOf({{1, kBoth}}), true, -1, row(1, kTalk),
         MemberInsert::Added, 1, rowsOf({{1, kBoth}, {1, kTalk}})},
        {"same membership twice", true, rowsOf({{1, kTalk}}), true, -1, row(1, kTalk),
         MemberInsert::Duplicate, -1, rowsOf({{1, kTalk}})},
        {"fixed group: a client once, mode not kept", false, rowsOf({{1, kBoth}}), true, -1,
         row(1, kTalk), MemberInsert::Duplicate, -1, rowsOf({{1, kBoth}})},
        {"fixed group: insert stores no mode",
         false,
         {},
         true,
         0,
         row(7, kTalk),
         MemberInsert::Added,
         0,
         rowsOf({{7, kBoth}})},
        {"add to a full list", true, full, true, 0, row(999, kListen), MemberInsert::Full, -1,
         full},
        {"remove the last row selects the new last",
         true,
         rowsOf({{1, kBoth}, {2, kBoth}}),
         false,
         1,
         {},
         MemberInsert::Added,
         0,
         rowsOf({{1, kBoth}})},
        {"remove the first row keeps the order",
         true,
         rowsOf({{1, kBoth}, {2, kTalk}, {3, kListen}}),
         false,
         0,
         {},
         MemberInsert::Added,
         0,
         rowsOf({{2, kTalk}, {3, kListen}})},
        {"remove the only row",
         true,
         rowsOf({{1, kBoth}}),
         false,
         0,
         {},
         MemberInsert::Added,
         -1,
         {}},
        {"remove out of range",
         true,
         rowsOf({{1, kBoth}}),
         false,
         3,
         {},
         MemberInsert::Added,
         -1,
         rowsOf({{1, kBoth}})},
    };
    for (const Case& c : cases) {
        MemberList list(c.partyLine);
        list.assign(c.before);
        int selected = -1;
        if (c.add) {
            EXPECT_EQ(list.insert(c.position, c.added, selected), c.result) << c.what;
        } else {
            selected = list.remove(c.position);
        }
        EXPECT_EQ(selected, c.selected) << c.what;
        EXPECT_TRUE(list.rows() == c.after) << c.what;
    }
}

// Changing a member's mode is a remove and an add; the record then carries
// the new mode, and the old membership is gone.
TEST(MemberListTest, ChangeModeGoesOutInTheRecord) {
    MemberList list(true);
    list.assign(rowsOf({{1, kBoth}, {2, kTalk}, {3, kBoth}}));
    const int next = list.remove(1);
    int at = -1;
    ASSERT_EQ(list.insert(next, row(2, kListen), at), MemberInsert::Added);
    const P record = partyLineRecord(10020, list.rows());
    EXPECT_EQ(record.entryCount(), 3u);
    EXPECT_EQ(record.entry(1), (PartyLineEntry{2, kListen}));
    EXPECT_FALSE(record.findEntry({2, kTalk}));
}

class MembershipSiteTest : public ::testing::Test {
protected:
    MembershipSiteTest() {
        site::addClient(site, 10000, 0, 10, "Panel", "desk panel", "p", "p");
        site::addClient(site, 10001, 1, 50, "Four Wire", "", "f", "f");
        site::addClient(site, 10002, 2, 53, "Trunk", "", "t", "t");
        site::addClient(site, 10003, 3, 102, "soft", "", "s", "s");
        test::labelOf(site, 10001).set(L::kListenOnlyName, "FW listen");
        data = test::loadSite(site);
    }
    mirx::test::LogCapture log;
    site::Site site;
    std::unique_ptr<MirrorData> data;
};

TEST_F(MembershipSiteTest, CandidatesLeaveOutTrunksAndForPartyLinesPanels) {
    std::vector<int> partyLine;
    for (const auto& c : membershipCandidates(data->labels, true)) {
        partyLine.push_back(c.clientIndex);
    }
    EXPECT_EQ(partyLine, (std::vector<int>{1, 3}));
    const auto fixed = membershipCandidates(data->labels, false);
    ASSERT_EQ(fixed.size(), 3u);
    EXPECT_EQ(fixed[0].type, "MCP: Windows Desktop");
    EXPECT_EQ(fixed[0].name, "Panel");
    EXPECT_EQ(fixed[0].description, "desk panel");
    // By name case-blind, by description in character codes, ties by index.
    EXPECT_GT(compareCandidates(fixed[2], fixed[1], 1), 0);
    EXPECT_GT(compareCandidates(fixed[0], fixed[1], 2), 0);
    EXPECT_LT(compareCandidates(fixed[1], fixed[2], 2), 0);
}

TEST_F(MembershipSiteTest, MemberNamesFollowTheMode) {
    const auto& labels = data->labels;
    EXPECT_EQ(memberName(labels, row(1, kTalk), true), "FW listen");
    EXPECT_EQ(memberName(labels, row(1, kListen), true), "Four Wire");
    EXPECT_EQ(memberName(labels, row(1, kBoth), true), "Four Wire");
    EXPECT_EQ(memberName(labels, row(1, kTalk), false), "Four Wire");
    EXPECT_EQ(memberName(labels, row(500, kBoth), true), "NO LABEL");

    MemberList list(true);
    list.assign(rowsOf({{3, kBoth}, {1, kTalk}, {0, kBoth}, {1, kListen}}));
    list.sortByName(labels);
    // "Four Wire", "FW listen", "Panel", "soft": case-blind.
    EXPECT_TRUE(list.rows() == rowsOf({{1, kListen}, {1, kTalk}, {0, kBoth}, {3, kBoth}}));
}

} // namespace
} // namespace mirx::model
