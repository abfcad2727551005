#include "model/hot_keys.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace mirx::model {
namespace {

TEST(HotKeys, NamesByCode) {
    struct Case {
        int code;
        const char* name; // nullptr: not in the table
    };
    const Case cases[] = {
        {0x20, "Space"},
        {0x2F, "Help"},
        {0x30, "0"},
        {0x39, "9"},
        {0x41, "A"},
        {0x5A, "Z"},
        {0x5F, "Sleep"},
        {0x60, "#0"},
        {0x69, "#9"},
        {0x6A, "#*"},
        {0x6C, "#Separator"},
        {0x6F, "#/"},
        {0x70, "F1"},
        {0x87, "F24"},
        {0xA6, "Browser Back"},
        {0xAB, "Browser Favorites"},
        {0xB3, "Play/Pause Media"},
        {0xB7, "Launch App 2"},
        {0x00, nullptr},
        {0x1F, nullptr},
        {0x3A, nullptr},
        {0x40, nullptr},
        {0x5B, nullptr},
        {0x5E, nullptr},
        {0x88, nullptr},
        {0xA5, nullptr},
        {0xB8, nullptr},
        {0xFF, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const auto name = hotKeyName(c.code);
        if (c.name == nullptr) {
            EXPECT_FALSE(name.has_value());
        } else {
            ASSERT_TRUE(name.has_value());
            EXPECT_EQ(*name, c.name);
        }
    }
}

TEST(HotKeys, TableIsInCodeOrderWithoutTheEndMark) {
    // The key list is filled in table order; code 0 would offer "no key"
    // as a key.
    int previous = 0;
    for (const HotKeyInfo& key : hotKeys()) {
        EXPECT_GT(key.code, previous) << key.name;
        EXPECT_FALSE(key.name.empty());
        previous = key.code;
    }
    EXPECT_EQ(hotKeys().front().code, 0x20);
    EXPECT_EQ(hotKeys().back().code, 0xB7);
}

TEST(HotKeys, DisplayText) {
    struct Case {
        std::uint8_t code;
        std::uint8_t modifiers;
        const char* text;
    };
    const Case cases[] = {
        {0x41, kHotKeyAlt | kHotKeyShift, "Alt+Shift+A"},
        {0x20, kHotKeyAlt | kHotKeyCtrl | kHotKeyShift, "Alt+Ctrl+Shift+Space"},
        {0x6C, 0, "#Separator"},
        {0x70, kHotKeyCtrl, "Ctrl+F1"},
        // Bits above Shift belong to other uses and show nothing.
        {0x41, 0xF8 | kHotKeyCtrl, "Ctrl+A"},
        {0x90, kHotKeyCtrl, "0x290"},
        {0x3A, 0, "0x03a"},
        {0xFF, 0xFF, "0xffff"},
        {0x00, 0, ""},
        {0x00, kHotKeyAlt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(hotKeyText(c.code, c.modifiers), c.text);
    }
}

} // namespace
} // namespace mirx::model
