#include "reports/text_table.h"

#include <gtest/gtest.h>

namespace mirx::reports {
namespace {

TEST(TextTable, CsvQuotesAndDefusesFormulas) {
    struct Case {
        const char* cell;
        const char* field;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"=HYPERLINK(1)", "'=HYPERLINK(1)"},
        {"+1", "'+1"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"-cmd|x", "'-cmd|x"},
        {"-", "-"},
        {"-12", "-12"},
        {"-0.25", "-0.25"},
        {"", ""},
    };
    for (const Case& c : cases) {
        const TextTable t{{"h"}, {{c.cell}}};
        EXPECT_EQ(csvText(t), std::string("h\r\n") + c.field + "\r\n") << c.cell;
    }
}

TEST(TextTable, ShortRowsReadAsEmptyCells) {
    const TextTable t{{"a", "b"}, {{"1"}}};
    EXPECT_EQ(csvText(t), "a,b\r\n1,\r\n");
    EXPECT_EQ(tabText(t), "a\tb\n1\t\n");
}

TEST(TextTable, TabTextKeepsItsShape) {
    const TextTable t{{"a", "b"}, {{"x\ty", "line\r\nbreak"}}};
    EXPECT_EQ(tabText(t), "a\tb\nx y\tline  break\n");
}

TEST(TextTable, JsonEscapes) {
    const TextTable t{{"", "name"}, {{"MCP", "q\"\\\x01\xC3\xA9"}, {"", ""}}};
    EXPECT_EQ(jsonText(t), "[\n  {\"\": \"MCP\", \"name\": \"q\\\"\\\\\\u0001\xC3\xA9\"},\n"
                           "  {\"\": \"\", \"name\": \"\"}\n]\n");
    EXPECT_EQ(jsonText(TextTable{{"a"}, {}}), "[]\n");
}

TEST(TextTable, AlignedColumnsEscapeControls) {
    const TextTable t{{"User", "Exp"}, {{"\xC3\xA9t\xC3\xA9", "300s"}, {"a\x1b[2J", "1s"}}};
    EXPECT_EQ(alignedText(t), "User      Exp\n"
                              "--------------\n"
                              "\xC3\xA9t\xC3\xA9       300s\n"
                              "a\\x1b[2J  1s\n");
}

} // namespace
} // namespace mirx::reports
