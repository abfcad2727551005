#include "model/record.h"

#include "core/utf16.h"

namespace mirx::rec {

std::string get(std::span<const std::uint8_t> bytes, Utf16Text f) {
    std::string out;
    appendTo(out, bytes, f);
    return out;
}

void appendTo(std::string& out, std::span<const std::uint8_t> bytes, Utf16Text f) {
    const auto unitAt = [&](std::size_t i) {
        return static_cast<char16_t>(bytes[f.offset + 2 * i] | (bytes[f.offset + 2 * i + 1] << 8));
    };
    std::size_t length = 0;
    bool ascii = true;
    for (; length < f.units; ++length) {
        const char16_t unit = unitAt(length);
        if (unit == 0) {
            break;
        }
        ascii = ascii && unit < 0x80;
    }
    // Most names are ASCII; lists read thousands of them at a time.
    if (ascii) {
        const std::size_t at = out.size();
        out.resize(at + length);
        for (std::size_t i = 0; i < length; ++i) {
            out[at + i] = static_cast<char>(unitAt(i));
        }
        return;
    }
    std::u16string units(length, u'\0');
    for (std::size_t i = 0; i < length; ++i) {
        units[i] = unitAt(i);
    }
    out += text::toUtf8(units);
}

bool set(std::span<std::uint8_t> bytes, Utf16Text f, std::string_view utf8) {
    const std::string_view kept = text::prefixWithinUtf16Units(utf8, f.limit());
    const std::u16string units = text::toUtf16(kept);
    std::memset(bytes.data() + f.offset, 0, 2 * f.units);
    for (std::size_t i = 0; i < units.size(); ++i) {
        bytes[f.offset + 2 * i] = static_cast<std::uint8_t>(units[i] & 0xFF);
        bytes[f.offset + 2 * i + 1] = static_cast<std::uint8_t>(units[i] >> 8);
    }
    return kept.size() == utf8.size();
}

std::string get(std::span<const std::uint8_t> bytes, AsciiText f) {
    std::string out;
    for (std::size_t i = 0; i < f.bytes; ++i) {
        const auto c = static_cast<char>(bytes[f.offset + i]);
        if (c == '\0') {
            break;
        }
        out += c;
    }
    return out;
}

bool set(std::span<std::uint8_t> bytes, AsciiText f, std::string_view text) {
    std::memset(bytes.data() + f.offset, 0, f.bytes);
    std::size_t written = 0;
    bool whole = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (written == f.limit()) {
            whole = false;
            break;
        }
        auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            // One '?' per UTF-8 character, not per byte.
            while (i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
                ++i;
            }
            c = '?';
        }
        bytes[f.offset + written++] = c;
    }
    return whole;
}

} // namespace mirx::rec
