// Debug filter words and names, the log pull's steps and the shown text.
#include "model/debug_filters.h"
#include "model/log_pull.h"
#include "tests/model/client_site.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::model {
namespace {

TEST(DebugFilterWord, PacksAndUnpacksEveryField) {
    struct Case {
        const char* name;
        DebugFilter filter;
        std::uint32_t word;
    };
    const Case cases[] = {
        {"new filter: DETAIL and every wildcard", kNewDebugFilter, 0xFFFFFFFF},
        {"all zero keeps bit 31", {0, 0, 0, 0, 0}, 0x80000000},
        {"ERROR, MSA, category 13, subcategory 0, client 5", {0, 3, 13, 0, 5}, 0x8C0D0005},
        {"WARNING, Application Update, category 24", {1, 4, 24, 62, 999}, 0xB018FBE7},
        {"INFO, all targets, one client", {2, 7, 1023, 63, 0}, 0xDFFFFC00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(log::encodeFilter(c.filter), c.word);
        EXPECT_EQ(log::decodeFilter(c.word), c.filter);
    }
}

TEST(DebugFilterWord, FieldsNeverReachIntoTheirNeighbours) {
    // Out-of-range values (a wider number than the field holds) are cut to
    // the field instead of changing the type or the target.
    EXPECT_EQ(log::encodeFilter({3, 7, 1023, 64, 1023}), 0xFFFF03FF);
    EXPECT_EQ(log::encodeFilter({0, 8, 0, 0, 0}), 0x80000000);
    EXPECT_EQ(log::encodeFilter({4, 0, 0, 0, 1024}), 0x80000000);
    EXPECT_EQ(log::decodeFilter(log::encodeFilter({1, 2, 1024 + 5, 0, 0})).group, 5u);
}

TEST(DebugFilterNames, TablesHoldEveryNamedValue) {
    EXPECT_EQ(kDebugFilterTypeNames[0], "ERROR");
    EXPECT_EQ(kDebugFilterTypeNames[3], "DETAIL");
    EXPECT_EQ(kDebugFilterTargetNames[1], "MCP4Windows");
    EXPECT_EQ(kDebugFilterTargetNames[4], "Application Update");
    EXPECT_EQ(kDebugFilterCategoryNames[0], "Application Update");
    EXPECT_EQ(kDebugFilterCategoryNames[6], "System Admin Connection Handler");
    EXPECT_EQ(kDebugFilterCategoryNames[19], "Pacific Interactive Connection Handler");
    EXPECT_EQ(kDebugFilterCategoryNames[24], "WebRTC Peer Thread");
}

class DebugFilterRows : public ::testing::Test {
protected:
    DebugFilterRows() {
        site::addClient(site, 10000, 0, 10, "Desk", "", "desk", "pw");
        site::addClient(site, 10001, 7, 50, "", "", "stage", "pw");
        data = test::loadSite(site);
    }
    site::Site site;
    std::unique_ptr<MirrorData> data;
};

TEST_F(DebugFilterRows, CellsNameEveryField) {
    struct Case {
        std::uint32_t word;
        std::array<std::string, kDebugFilterColumnCount> cells;
    };
    const Case cases[] = {
        {0xFFFFFFFF, {"DETAIL", "All", "All", "ALL", "ALL"}},
        {0x8C0D0000, {"ERROR", "MSA", "Connection Handler", "0", "desk"}},
        {log::encodeFilter({1, 4, 24, 62, 7}),
         {"WARNING", "Application Update", "WebRTC Peer Thread", "62", "stage"}},
        // Values without a name, as a server may send them.
        {log::encodeFilter({2, 5, 25, 1, 3}), {"INFO", "5", "25", "1", "N004"}},
        {log::encodeFilter({2, 6, 1022, 1, 1000}), {"INFO", "6", "1022", "1", "1000"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        const DebugFilterRow row = buildDebugFilterRow(c.word, data->clients);
        EXPECT_EQ(row.word, c.word);
        EXPECT_EQ(row.cells, c.cells);
    }
}

TEST_F(DebugFilterRows, ChoicesListNamesThenAll) {
    const auto types = debugFilterTypeChoices();
    ASSERT_EQ(types.size(), 4u);
    EXPECT_EQ(types.back(), (DebugFilterChoice{3, "DETAIL"}));

    // Every named target, so a word naming Application Update can be made
    // and edited without losing it.
    const auto targets = debugFilterTargetChoices();
    ASSERT_EQ(targets.size(), 6u);
    EXPECT_EQ(targets[4], (DebugFilterChoice{4, "Application Update"}));
    EXPECT_EQ(targets[5], (DebugFilterChoice{kAnyTarget, "All"}));

    const auto categories = debugFilterCategoryChoices();
    ASSERT_EQ(categories.size(), 26u);
    EXPECT_EQ(categories[12], (DebugFilterChoice{12, "Performance Monitoring"}));
    EXPECT_EQ(categories.back(), (DebugFilterChoice{kAnyCategory, "All"}));

    const auto clients = debugFilterIdentifierChoices(data->labels);
    const std::vector<DebugFilterChoice> expected{
        {0, "Desk"}, {7, "N008"}, {kAnyIdentifier, "All"}};
    EXPECT_EQ(clients, expected);
}

TEST(DebugFilterChoices, UnnamedValueIsAddedOnceAsItsNumber) {
    auto targets = debugFilterTargetChoices();
    EXPECT_EQ(ensureDebugFilterChoice(targets, 2), 2u);
    EXPECT_EQ(ensureDebugFilterChoice(targets, kAnyTarget), 5u);
    EXPECT_EQ(ensureDebugFilterChoice(targets, 6), 6u);
    EXPECT_EQ(targets[6], (DebugFilterChoice{6, "6"}));
    EXPECT_EQ(ensureDebugFilterChoice(targets, 6), 6u);
    EXPECT_EQ(targets.size(), 7u);
}

TEST(DebugFilterSubcategory, ReadsAllOrANumberThatFits) {
    struct Case {
        const char* text;
        std::optional<std::uint32_t> value;
    };
    const Case cases[] = {
        {"All", kAnySubcategory},
        {"ALL", kAnySubcategory}, // as the list shows it
        {" all ", kAnySubcategory},
        {"0", 0u},
        {"62", 62u},
        {" 17", 17u},
        {"63", std::nullopt}, // would read as "all"
        {"64", std::nullopt},
        {"4294967296", std::nullopt},
        {"-1", std::nullopt},
        {"+3", std::nullopt},
        {"12abc", std::nullopt},
        {"", std::nullopt},
        {"Al", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseDebugFilterSubcategory(c.text), c.value) << '"' << c.text << '"';
    }
    EXPECT_EQ(debugFilterSubcategoryText(kAnySubcategory), "All");
    EXPECT_EQ(debugFilterSubcategoryText(9), "9");
}

TEST(LogPullSteps, AsksWaitsAndPausesAfterAnEmptyAnswer) {
    struct Case {
        const char* name;
        std::size_t textBytes;
        bool shown;
        LogPull::State after;
    };
    const Case cases[] = {
        {"empty", 0, false, LogPull::State::Paused},
        {"two bytes: nothing new", 2, false, LogPull::State::Paused},
        {"three bytes: not shown, asked again at once", 3, false, LogPull::State::Ask},
        {"ten bytes: not shown", 10, false, LogPull::State::Ask},
        {"eleven bytes: shown", 11, true, LogPull::State::Ask},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogPull pull;
        pull.reset();
        EXPECT_EQ(pull.take(1, c.textBytes).show, false) << "nothing was asked";
        EXPECT_TRUE(pull.askTick());
        EXPECT_FALSE(pull.askTick()) << "one request at a time";
        pull.pauseTick();
        EXPECT_EQ(pull.state(), LogPull::State::Waiting);
        EXPECT_EQ(pull.take(1, c.textBytes).show, c.shown);
        EXPECT_EQ(pull.state(), c.after);
        EXPECT_EQ(pull.caughtUp(), c.after == LogPull::State::Paused);
        pull.pauseTick();
        EXPECT_EQ(pull.state(), LogPull::State::Ask);
    }
}

TEST(LogPullSteps, OlderChunksGoBeforeAndNewerAfter) {
    LogPull pull;
    pull.reset();
    const auto step = [&](std::int64_t stamp) {
        EXPECT_TRUE(pull.askTick());
        return pull.take(stamp, 20).newer;
    };
    EXPECT_FALSE(step(500)) << "the first chunk counts as older";
    EXPECT_FALSE(step(400));
    EXPECT_TRUE(step(450)) << "newer than the oldest seen";
    EXPECT_TRUE(step(900));
    EXPECT_FALSE(step(400)) << "as old as the oldest";
    pull.reset();
    EXPECT_FALSE(step(1000)) << "reopened: the first chunk counts as older again";
}

TEST(ReadableLogText, LineEndsAndControlCharacters) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"plain line\n", "plain line\n"},
        {"a\r\nb\r\n", "a\nb\n"},
        {"a\rb", "a\nb"},
        {"a\r\r\nb", "a\n\nb"},
        {"tab\tstays", "tab\tstays"},
        {"bell\a and \x1b[2J", "bell\\x07 and \\x1b[2J"},
        {std::string("nul\0inside", 10), "nul\\x00inside"},
        {"c1 \xC2\x9B", "c1 \\u009b"},
        {"bad \xFF utf-8", "bad \xEF\xBF\xBD utf-8"},
        {"", ""},
        {"\n", "\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readableLogText(c.in), c.out) << c.in;
    }
}

TEST(LogChunkText, OddUtf16IsShownAsFarAsSound) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> text; // after the 8-byte stamp
        std::string shown;
        std::size_t textBytes;
    };
    const Case cases[] = {
        {"lone high surrogate in the middle",
         {'a', 0, 0x3D, 0xD8, 'b', 0},
         "a\xEF\xBF\xBD"
         "b",
         6},
        {"lone low surrogate",
         {0x00, 0xDE, 'z', 0},
         "\xEF\xBF\xBD"
         "z",
         4},
        {"high surrogate last, no terminator", {'q', 0, 0x3D, 0xD8}, "q\xEF\xBF\xBD", 4},
        {"pair intact", {0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80", 4},
        {"odd last byte carries nothing", {'x', 0, 'y'}, "x", 3},
        {"terminator inside is a character", {'x', 0, 0, 0, 'y', 0}, "x\\x00y", 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> payload(8, 0);
        payload.insert(payload.end(), c.text.begin(), c.text.end());
        // Only the payload's own bytes are read: a copy of exactly its size.
        const std::vector<std::uint8_t> exact(payload);
        const auto chunk = decodeLogChunk(exact);
        ASSERT_TRUE(chunk.has_value());
        EXPECT_EQ(chunk->textBytes, c.textBytes);
        EXPECT_EQ(readableLogText(chunk->text), c.shown);
    }
}

} // namespace
} // namespace mirx::model
