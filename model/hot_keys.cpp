#include "model/hot_keys.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace mirx::model {
namespace {

constexpr auto kKeys = std::to_array<HotKeyInfo>({
    {0x20, "Space"},
    {0x21, "Page Up"},
    {0x22, "Page Down"},
    {0x23, "End"},
    {0x24, "Home"},
    {0x25, "Left"},
    {0x26, "Up"},
    {0x27, "Right"},
    {0x28, "Down"},
    {0x29, "Select"},
    {0x2A, "Print"},
    {0x2B, "Execute"},
    {0x2C, "Snapshot"},
    {0x2D, "Insert"},
    {0x2E, "Delete"},
    {0x2F, "Help"},
    {0x30, "0"},
    {0x31, "1"},
    {0x32, "2"},
    {0x33, "3"},
    {0x34, "4"},
    {0x35, "5"},
    {0x36, "6"},
    {0x37, "7"},
    {0x38, "8"},
    {0x39, "9"},
    {0x41, "A"},
    {0x42, "B"},
    {0x43, "C"},
    {0x44, "D"},
    {0x45, "E"},
    {0x46, "F"},
    {0x47, "G"},
    {0x48, "H"},
    {0x49, "I"},
    {0x4A, "J"},
    {0x4B, "K"},
    {0x4C, "L"},
    {0x4D, "M"},
    {0x4E, "N"},
    {0x4F, "O"},
    {0x50, "P"},
    {0x51, "Q"},
    {0x52, "R"},
    {0x53, "S"},
    {0x54, "T"},
    {0x55, "U"},
    {0x56, "V"},
    {0x57, "W"},
    {0x58, "X"},
    {0x59, "Y"},
    {0x5A, "Z"},
    {0x5F, "Sleep"},
    {0x60, "#0"},
    {0x61, "#1"},
    {0x62, "#2"},
    {0x63, "#3"},
    {0x64, "#4"},
    {0x65, "#5"},
    {0x66, "#6"},
    {0x67, "#7"},
    {0x68, "#8"},
    {0x69, "#9"},
    {0x6A, "#*"},
    {0x6B, "#+"},
    {0x6C, "#Separator"},
    {0x6D, "#-"},
    {0x6E, "#."},
    {0x6F, "#/"},
    {0x70, "F1"},
    {0x71, "F2"},
    {0x72, "F3"},
    {0x73, "F4"},
    {0x74, "F5"},
    {0x75, "F6"},
    {0x76, "F7"},
    {0x77, "F8"},
    {0x78, "F9"},
    {0x79, "F10"},
    {0x7A, "F11"},
    {0x7B, "F12"},
    {0x7C, "F13"},
    {0x7D, "F14"},
    {0x7E, "F15"},
    {0x7F, "F16"},
    {0x80, "F17"},
    {0x81, "F18"},
    {0x82, "F19"},
    {0x83, "F20"},
    {0x84, "F21"},
    {0x85, "F22"},
    {0x86, "F23"},
    {0x87, "F24"},
    {0xA6, "Browser Back"},
    {0xA7, "Browser Forward"},
    {0xA8, "Browser Refresh"},
    {0xA9, "Browser Stop"},
    {0xAA, "Browser Search"},
    {0xAB, "Browser Favorites"},
    {0xAC, "Browser Home"},
    {0xAD, "Volume Mute"},
    {0xAE, "Volume Down"},
    {0xAF, "Volume Up"},
    {0xB0, "Next Track"},
    {0xB1, "Prev Track"},
    {0xB2, "Stop Media"},
    {0xB3, "Play/Pause Media"},
    {0xB4, "Launch Mail"},
    {0xB5, "Launch Media"},
    {0xB6, "Launch App 1"},
    {0xB7, "Launch App 2"},
});

} // namespace

std::span<const HotKeyInfo> hotKeys() {
    return kKeys;
}

std::optional<std::string_view> hotKeyName(int code) {
    const auto* key = std::find_if(kKeys.begin(), kKeys.end(),
                                   [code](const HotKeyInfo& k) { return k.code == code; });
    if (key == kKeys.end()) {
        return std::nullopt;
    }
    return key->name;
}

std::string hotKeyText(std::uint8_t code, std::uint8_t modifiers) {
    if (code == 0) {
        return {};
    }
    const auto name = hotKeyName(code);
    if (!name) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%03x", (unsigned{modifiers} << 8) | code);
        return text;
    }
    std::string text;
    if ((modifiers & kHotKeyAlt) != 0) {
        text += "Alt+";
    }
    if ((modifiers & kHotKeyCtrl) != 0) {
        text += "Ctrl+";
    }
    if ((modifiers & kHotKeyShift) != 0) {
        text += "Shift+";
    }
    text += *name;
    return text;
}

} // namespace mirx::model
