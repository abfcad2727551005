#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The keys a selector's hot key may use: key code (the virtual-key code the
// panels understand) and the name the console shows, in the order the key
// list offers them.

namespace mirx::model {

struct HotKeyInfo {
    std::uint8_t code;
    std::string_view name;
};

// Bits of a selector's hot key modifier byte; the others are carried.
inline constexpr std::uint8_t kHotKeyAlt = 0x01;
inline constexpr std::uint8_t kHotKeyCtrl = 0x02;
inline constexpr std::uint8_t kHotKeyShift = 0x04;
inline constexpr std::uint8_t kHotKeyModifierMask = kHotKeyAlt | kHotKeyCtrl | kHotKeyShift;

std::span<const HotKeyInfo> hotKeys();
std::optional<std::string_view> hotKeyName(int code);

// "Alt+Ctrl+Shift+<name>" with the set modifiers for a key of the table;
// "0x%03x" of modifiers (high byte) and code (low byte) for any other code;
// empty for code 0.
std::string hotKeyText(std::uint8_t code, std::uint8_t modifiers);

} // namespace mirx::model
