#include "model/typed_text.h"

#include <gtest/gtest.h>

namespace mirx::model {
namespace {

struct TypedCase {
    const char* typed;
    const char* name;
    const char* loginName;
};

TEST(TypedText, QuotesAndBlanksBecomeWhatRecordsCanHold) {
    const TypedCase cases[] = {
        {"", "", ""},
        {"Stage Left", "Stage Left", "Stage_Left"},
        {"say \"hi\"", "say 'hi'", "say_'hi'"},
        {"\"", "'", "'"},
        {"it's", "it's", "it's"},
        {"  two  blanks ", "  two  blanks ", "__two__blanks_"},
        // Tabs and other white space are not blanks.
        {"a\tb", "a\tb", "a\tb"},
        // Non-ASCII text passes untouched, quote marks that are not ASCII too.
        {"B\xC3\xBChne \xE2\x80\x9C"
         "eins\xE2\x80\x9D",
         "B\xC3\xBChne \xE2\x80\x9C"
         "eins\xE2\x80\x9D",
         "B\xC3\xBChne_\xE2\x80\x9C"
         "eins\xE2\x80\x9D"},
    };
    for (const TypedCase& c : cases) {
        EXPECT_EQ(typedName(c.typed), c.name) << c.typed;
        EXPECT_EQ(typedLoginName(c.typed), c.loginName) << c.typed;
    }
}

struct CompareCase {
    const char* left;
    const char* right;
    int sign;
};

TEST(TypedText, CompareIgnoresTheCaseOfLettersOnly) {
    const CompareCase cases[] = {
        {"abc", "ABC", 0},
        {"Alpha", "beta", -1},
        {"beta", "Alpha", 1},
        {"", "", 0},
        {"", "a", -1},
        {"ab", "a", 1},
        {"a_b", "a b", 1},
        {"Z", "a", 1},
        {"[", "a", -1}, // '[' sorts before letters once they are folded to lower case
        {"\xC3\x84", "\xC3\xA4", -1},
    };
    for (const CompareCase& c : cases) {
        const int result = compareCaseBlind(c.left, c.right);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.left << " vs " << c.right;
    }
}

} // namespace
} // namespace mirx::model
