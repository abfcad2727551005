#pragma once

// Hexadecimal digits, shared by everything that reads or writes hex text.

namespace mirx::hex {

// 0..15, or -1 for a character that is not a hexadecimal digit.
constexpr int digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

inline constexpr char kLowerDigits[] = "0123456789abcdef";

} // namespace mirx::hex
