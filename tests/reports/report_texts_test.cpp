#include "reports/report_texts.h"
#include "reports/selector_gathering.h"
#include "site/site_builder.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace mirx::reports {
namespace {

using model::SelectorEntry;
using S = model::ClientStatistics;

std::string blanks(std::size_t n) {
    return std::string(n, ' ');
}

std::tm localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(ReportTimeStamp, MonthDayFourDigitYearThenTime) {
    struct Case {
        std::tm time;
        const char* text;
    };
    const Case cases[] = {
        {localTime(2026, 1, 5, 3, 4, 5), "01/05/2026 03:04:05"},
        {localTime(1999, 12, 31, 23, 59, 59), "12/31/1999 23:59:59"},
        {localTime(2031, 10, 10, 0, 0, 0), "10/10/2031 00:00:00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reportTimeStamp(c.time), c.text);
    }
}

TEST(ConnectionStatusLine, FieldWidthsAlignmentAndCuts) {
    struct Case {
        const char* what;
        ConnectionStatusRow row;
        std::string line;
    };
    const std::string desc60(60, 'd');
    const Case cases[] = {
        {"every field padded",
         {0, 10, "", "MCP", "Alpha", "Desk", "On-Line", "1h, 0m", "10.0.0.7", "2.1.3-45 (Linux)"},
         "MCP    Alpha" + blanks(15) + "  Desk" + blanks(46) + "   On-Line         1h, 0m  " +
             "10.0.0.7" + blanks(7) + "  2.1.3-45 (Linux)" + blanks(14) + "\n"},
        {"empty cells keep their columns",
         {0, 150, "", "", "V", "", "Off-Line", "", "", ""},
         blanks(5) + "  V" + blanks(19) + "  " + blanks(50) + "  Off-Line  " + blanks(13) + "  " +
             blanks(15) + "  " + blanks(30) + "\n"},
        {"long texts cut to their columns",
         {0, 50, "", "ABCDEFG", "Twenty-five characters..", desc60, "On-Line", "123d, 23h, 59m",
          "255.255.255.255", std::string(35, 'v')},
         "ABCDE  Twenty-five characte  " + std::string(50, 'd') +
             "   On-Line  123d, 23h, 59  255.255.255.255  " + std::string(30, 'v') + "\n"},
        {"widths count characters, not bytes",
         {0, 10, "", "MCP", "Jürgen Ærø", "Café", "On-Line", "5s", "", ""},
         "MCP    Jürgen Ærø" + blanks(10) + "  Café" + blanks(46) + "   On-Line  " + blanks(11) +
             "5s  " + blanks(15) + "  " + blanks(30) + "\n"},
        {"a cut does not split a character",
         {0, 10, "", "MCP", "ääääääääääääääääääääää", "", "On-Line", "", "", ""},
         "MCP    " + std::string("ääääääääääääääääääää") + "  " + blanks(50) + "   On-Line  " +
             blanks(13) + "  " + blanks(15) + "  " + blanks(30) + "\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(connectionStatusLine(c.row), c.line) << c.what;
    }
}

// A small site: clients of each type class, a party line with and without
// a description, a second party line nobody listens to.
class ReportSite : public ::testing::Test {
protected:
    void SetUp() override {
        // Added out of name order, so the sort is seen.
        site::addClient(site_, 10000, 0, 100, "zeta", "SIP phone", "z", "p");
        site::addClient(site_, 10001, 1, 10, "bravo", "Desk B", "b", "p");
        site::addClient(site_, 10002, 2, 10, "Alpha", "Desk A", "a", "p");
        site::addClient(site_, 10003, 3, 50, "four", "", "f", "p");
        site::addClient(site_, 10004, 4, 150, "cam", "Camera", "c", "p");
        site::addClient(site_, 10005, 5, 10, "charlie", "", "ch", "p");
        model::test::labelOf(site_, 10001).set(model::LabelInfo::kListenOnlyName, "bravo-L");
        site::addPartyLine(site_, 10100, 0, "PL One", "First line");
        site::addPartyLine(site_, 10101, 1, "PL Two", "");
        site::addPartyLine(site_, 10102, 2, "PL Quiet", "Nobody");
        data_ = model::test::loadSite(site_);
    }

    const model::LabelTable& labels() const { return data_->labels; }

    // The credentials download logs each record.
    test::LogCapture quiet_;
    site::Site site_;
    std::unique_ptr<model::MirrorData> data_;
    const std::tm time_ = localTime(2026, 3, 7, 14, 5, 9);
};

TEST_F(ReportSite, ConnectionStatusRowsCellsAndOrder) {
    auto table = std::make_unique<model::StatisticsTable>();
    table->set(model::StatisticsTable::kServerTime, std::int64_t{100000});
    const auto put = [&](int index, bool online, std::int64_t lastChange, std::uint32_t address,
                         std::uint32_t version) {
        S record;
        record.setBit(S::kFlags, S::kFlagOnline, online);
        record.set(S::kLastChangeTime, lastChange);
        record.set(S::kAddress, address);
        record.set(S::kVersion, version);
        table->setClient(static_cast<std::size_t>(index), record);
    };
    const std::uint32_t version = model::packClientVersion({2, 1, 3, 45, 5, 0});
    put(0, true, 100000 - 61, 0x0700000A, version); // SIP: no version shown
    put(1, true, 100000 - 3600, 0x0100A8C0, version);
    put(2, false, 100000 - 59, 0, 0);
    put(3, false, 0, 0, version);                      // never seen: no duration
    put(4, true, 100000 - 86400, 0x0200000A, version); // video: no version shown

    const auto rows = connectionStatusRows(labels(), *table);
    std::vector<std::string> clients;
    for (const auto& row : rows) {
        clients.push_back(row.client);
    }
    // Type class first, then the display name without regard to case.
    EXPECT_EQ(clients, (std::vector<std::string>{"Alpha", "bravo / bravo-L ", "charlie", "four",
                                                 "zeta", "cam"}));

    const std::string header =
        "CONNECTION STATUS REPORT as of 03/07/2026 14:05:09\n"
        "\nType   Client                Description                                         "
        "State     Duration       IP Address       Version\n\n";
    const std::string text = connectionStatusReport(labels(), *table, time_);
    const std::string expected =
        header +
        // Alpha: off-line 59 s, no address, no version.
        "MCP    Alpha" + blanks(15) + "  Desk A" + blanks(44) + "  Off-Line  " + blanks(10) +
        "59s  " + blanks(15) + "  " + blanks(30) + "\n" +
        // bravo: the listen-only name joins the client column.
        "MCP    bravo / bravo-L" + blanks(7) + "Desk B" + blanks(44) + "   On-Line  " + blanks(7) +
        "1h, 0m  192.168.0.1      2.1.3-45 (Linux)" + blanks(14) + "\n" +
        // charlie: no statistics entry set, never seen.
        "MCP    charlie" + blanks(13) + "  " + blanks(50) + "  Off-Line  " + blanks(13) + "  " +
        blanks(15) + "  " + blanks(30) + "\n" +
        // four: never seen, but its version is known.
        "MDV    four" + blanks(16) + "  " + blanks(50) + "  Off-Line  " + blanks(13) + "  " +
        blanks(15) + "  2.1.3-45 (Linux)" + blanks(14) + "\n" + "SIP    zeta" + blanks(16) +
        "  SIP phone" + blanks(41) + "   On-Line  " + blanks(7) + "1m, 1s  10.0.0.7" + blanks(7) +
        "  " + blanks(30) + "\n" +
        // "VIDEO: ..." is cut to five.
        "VIDEO  cam" + blanks(17) + "  Camera" + blanks(44) + "   On-Line  " + blanks(3) +
        "1d, 0h, 0m  10.0.0.2" + blanks(7) + "  " + blanks(30) + "\n";
    EXPECT_EQ(text, expected);
}

TEST(SelectorFunctionText, KnownAndUnknownCodes) {
    EXPECT_EQ(selectorFunctionText(1), "(TALK only)");
    EXPECT_EQ(selectorFunctionText(2), "(LISTEN only)");
    EXPECT_EQ(selectorFunctionText(3), "");
    EXPECT_EQ(selectorFunctionText(0), "(function 0)");
    EXPECT_EQ(selectorFunctionText(9), "(function 9)");
}

GatheredSelectors
gathered(std::initializer_list<std::pair<int, model::SelectorAssignments>> records,
         std::vector<int> missing = {}) {
    GatheredSelectors g;
    for (const auto& [client, record] : records) {
        g.records.emplace(client, record);
    }
    g.missing = std::move(missing);
    return g;
}

std::string memberLine(const std::string& name, const std::string& description,
                       const std::string& type) {
    return "      " + name + blanks(20 - name.size()) + " / " + description +
           blanks(50 - description.size()) + " / " + type + "\n";
}

TEST_F(ReportSite, PartyLineMembershipRules) {
    using site::layoutMark;
    using site::selector;
    using site::selectorList;
    const auto g = gathered({
        // Talk only is no membership; listen only and split talk/listen are.
        {2, selectorList({selector(10100, SelectorEntry::kTalkOnly),
                          selector(10101, SelectorEntry::kListenOnly)})},
        // Two entries for one party line: listed twice.
        {1, selectorList({selector(10100, SelectorEntry::kSplitTalkListen), layoutMark(0),
                          selector(10100, SelectorEntry::kListenOnly),
                          selector(10002, SelectorEntry::kListenOnly)})},
        {0, selectorList({selector(10101, SelectorEntry::kSplitTalkListen)})},
        // An entry naming a party line label nobody has is nobody's.
        {3, selectorList({selector(10150, SelectorEntry::kListenOnly)})},
        {5, selectorList({})},
    });
    const std::string text = partyLineMembershipReport(labels(), g, time_);
    const std::string expected = "PARTY LINE MEMBERSHIP REPORT as of 03/07/2026 14:05:09\n"
                                 "\n'PL One' / First line ... 2 members\n\n" +
                                 memberLine("bravo", "Desk B", "MCP: Windows Desktop") +
                                 memberLine("bravo", "Desk B", "MCP: Windows Desktop") +
                                 // No description: the short header.
                                 "\n'PL Two' ... 2 members\n\n" +
                                 memberLine("zeta", "SIP phone", "SIP: Telephone Adapter") +
                                 memberLine("Alpha", "Desk A", "MCP: Windows Desktop");
    EXPECT_EQ(text, expected);
}

TEST_F(ReportSite, SelectorAssignmentsEntriesAndCounts) {
    using site::layoutMark;
    using site::selector;
    using site::selectorList;
    const auto g = gathered({
        {2, selectorList(
                {layoutMark(SelectorEntry::kSpacer), selector(10100, SelectorEntry::kTalkOnly),
                 layoutMark(SelectorEntry::kRowBreak), selector(10001, SelectorEntry::kListenOnly),
                 selector(3, SelectorEntry::kSplitTalkListen), selector(10101, 7)})},
        // No entries: not in the report.
        {1, selectorList({})},
        // No description: the short header. An unknown label still shows.
        {5, selectorList({selector(12345, SelectorEntry::kTalkOnly)})},
    });
    const std::string text = selectorAssignmentsReport(labels(), g, time_);
    const auto entry = [](const std::string& name, const std::string& function,
                          const std::string& description, const std::string& type) {
        return "      " + name + blanks(20 - name.size()) + " " + function +
               blanks(13 - function.size()) + " / " + description +
               blanks(50 - description.size()) + " / " + type + "\n";
    };
    const std::string expected =
        "SELECTOR ASSIGNMENTS REPORT as of 03/07/2026 14:05:09\n"
        // Six entries, two of them layout marks: counted, not listed.
        "\n'Alpha' / Desk A / MCP: Windows Desktop ... 6 selectors\n\n" +
        entry("PL One", "(TALK only)", "First line", "Party Line") +
        entry("bravo", "(LISTEN only)", "Desk B", "MCP: Windows Desktop") +
        entry("four", "", "", "MDV: Four-Wire Interface") +
        entry("PL Two", "(function 7)", "", "Party Line") +
        "\n'charlie' / MCP: Windows Desktop ... 1 selectors\n\n" +
        entry("NO LABEL", "(TALK only)", "<Invalid>", "INVALID LABEL TYPE");
    EXPECT_EQ(text, expected);
}

TEST_F(ReportSite, MissingClientsAreListedAfterTheRest) {
    const auto g = gathered(
        {{2, site::selectorList({site::selector(10100, SelectorEntry::kListenOnly)})}}, {3, 0});
    const std::string missing = "\nMISSING ... 2 clients (no selector assignments arrived)\n\n" +
                                memberLine("four", "", "MDV: Four-Wire Interface") +
                                memberLine("zeta", "SIP phone", "SIP: Telephone Adapter");
    const std::string selectors = selectorAssignmentsReport(labels(), g, time_);
    EXPECT_NE(selectors.find("'Alpha' / Desk A"), std::string::npos);
    EXPECT_TRUE(selectors.ends_with(missing)) << selectors;
    const std::string members = partyLineMembershipReport(labels(), g, time_);
    EXPECT_NE(members.find("'PL One' / First line ... 1 members"), std::string::npos);
    EXPECT_TRUE(members.ends_with(missing)) << members;

    // Nothing missing: no such section.
    EXPECT_EQ(selectorAssignmentsReport(labels(), gathered({}), time_),
              "SELECTOR ASSIGNMENTS REPORT as of 03/07/2026 14:05:09\n");
}

TEST_F(ReportSite, ReportClientsAreLocalClientsBelowVideo) {
    // A client of another local system with a type in range is not one of
    // system 0's client indexes.
    site::putLabel(site_, site::makeLabel({.number = 10200,
                                           .system = 1,
                                           .kind = 0,
                                           .index = 7,
                                           .clientType = 10,
                                           .name = "remote",
                                           .description = ""}));
    data_ = model::test::loadSite(site_);
    EXPECT_EQ(selectorReportClients(labels()), (std::vector<int>{0, 1, 2, 3, 5}));
}

TEST(SelectorGathering, OneClientAtATimeLateAnswersDroppedShortRecordsCut) {
    using site::selector;
    using site::selectorList;
    SelectorGathering g({4, 9, 12});
    ASSERT_EQ(g.awaited(), 4);

    const auto first = selectorList({selector(10000, 1), selector(10001, 2)});
    // An answer for another client is not the awaited one.
    EXPECT_FALSE(g.take(9, first, first.wireLength()));
    EXPECT_EQ(g.awaited(), 4);
    EXPECT_TRUE(g.take(4, first, first.wireLength()));
    EXPECT_EQ(g.awaited(), 9);

    g.giveUp();
    EXPECT_EQ(g.awaited(), 12);
    // The late answer of the client given up on does not stand in for 12.
    EXPECT_FALSE(g.take(9, first, first.wireLength()));

    // The buffer still holds three entries, but the answer carried a head
    // claiming three and one entry: only that entry is kept.
    auto buffer = selectorList({selector(10002, 3), selector(10003, 3), selector(10004, 3)});
    EXPECT_TRUE(g.take(12, buffer, model::SelectorAssignments::entryOffset(1)));
    EXPECT_TRUE(g.done());
    EXPECT_EQ(g.awaited(), std::nullopt);
    EXPECT_FALSE(g.take(12, buffer, buffer.wireLength()));

    const GatheredSelectors& result = g.gathered();
    EXPECT_EQ(result.missing, std::vector<int>{9});
    ASSERT_EQ(result.records.size(), 2u);
    EXPECT_TRUE(result.records.at(4).sameWire(first));
    const auto& cut = result.records.at(12);
    ASSERT_EQ(cut.entryCount(), 1u);
    EXPECT_EQ(cut.entry(0).get(SelectorEntry::kLabel), 10002);
    EXPECT_EQ(cut.get(model::SelectorAssignments::kEntryCount), 1);
}

TEST(SelectorGathering, ASilentServerEndsTheGatheringAfterAFewTimeOutsInARow) {
    const auto record = site::selectorList({site::selector(10000, 1)});
    SelectorGathering g({1, 2, 3, 4, 5, 6, 7, 8});
    // An answer between time-outs starts the count again.
    for (const int client : {1, 2}) {
        EXPECT_EQ(g.awaited(), client);
        g.giveUp();
    }
    ASSERT_TRUE(g.take(3, record, record.wireLength()));
    for (int i = 1; i < SelectorGathering::kSilentLimit; ++i) {
        g.giveUp();
        EXPECT_FALSE(g.done());
    }
    g.giveUp();
    EXPECT_TRUE(g.done());
    EXPECT_EQ(g.doneCount(), g.clientCount());
    EXPECT_EQ(g.gathered().missing, (std::vector<int>{1, 2, 4, 5, 6, 7, 8}));
    EXPECT_EQ(g.gathered().records.size(), 1u);
}

TEST(SelectorGathering, WithoutKeepingOnlyTheLastRecordIsHeld) {
    using site::selector;
    using site::selectorList;
    SelectorGathering g({1, 2}, false);
    const auto first = selectorList({selector(10000, 1), selector(10001, 2)});
    ASSERT_TRUE(g.take(1, first, first.wireLength()));
    EXPECT_TRUE(g.lastTaken().sameWire(first));
    // A short answer after a longer one: only what it carried.
    const auto second = selectorList({selector(10005, 3), selector(10006, 3)});
    ASSERT_TRUE(g.take(2, second, model::SelectorAssignments::entryOffset(1)));
    EXPECT_EQ(g.lastTaken().entryCount(), 1u);
    EXPECT_EQ(g.lastTaken().entry(0).get(SelectorEntry::kLabel), 10005);
    EXPECT_TRUE(g.gathered().records.empty());
}

TEST(SelectorGathering, TakesTheStoresClientRecordByItsSecondValue) {
    model::ClientStore store;
    const auto record = site::selectorList({site::selector(10000, 1)});
    SelectorGathering g({3});
    store.ReceiveSelectorAssignments(0xFFFF, record.wire()); // the defaults: no client's
    EXPECT_FALSE(g.takeFrom(store));
    store.ReceiveSelectorAssignments(2, record.wire());
    EXPECT_FALSE(g.takeFrom(store));
    store.ReceiveSelectorAssignments(3, record.wire());
    EXPECT_TRUE(g.takeFrom(store));
    EXPECT_TRUE(g.gathered().records.at(3).sameWire(record));
}

} // namespace
} // namespace mirx::reports
