#include "core/utf16.h"

#include <cstdint>
#include <cstdio>

namespace mirx::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point starting at `pos`; advances `pos` past it.
char32_t decodeUtf8(std::string_view s, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++pos;
        return kReplacement;
    }
    if (pos + static_cast<std::size_t>(extra) >= s.size()) {
        ++pos;
        return kReplacement;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(s[pos + static_cast<std::size_t>(i)]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return kReplacement;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    pos += static_cast<std::size_t>(extra) + 1;
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return kReplacement;
    }
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

template <typename Emit>
void forEachUtf16Unit(std::string_view utf8, Emit emit) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = decodeUtf8(utf8, pos);
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            emit(static_cast<char16_t>(0xD800 + (v >> 10)));
            emit(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            emit(static_cast<char16_t>(cp));
        }
    }
}

} // namespace

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    forEachUtf16Unit(utf8, [&](char16_t unit) { out += unit; });
    return out;
}

std::string toUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            const char32_t cp =
                0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            appendUtf8(out, cp);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

std::size_t utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    forEachUtf16Unit(utf8, [&](char16_t) { ++units; });
    return units;
}

std::string_view prefixWithinUtf16Units(std::string_view utf8, std::size_t maxUnits) {
    std::size_t pos = 0;
    std::size_t units = 0;
    while (pos < utf8.size()) {
        std::size_t next = pos;
        const char32_t cp = decodeUtf8(utf8, next);
        const std::size_t width = cp >= 0x10000 ? 2 : 1;
        if (units + width > maxUnits) {
            break;
        }
        units += width;
        pos = next;
    }
    return utf8.substr(0, pos);
}

void appendUtf16le(std::string& out, std::string_view utf8) {
    forEachUtf16Unit(utf8, [&](char16_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    });
}

std::string visibleText(std::string_view utf8) {
    std::u16string shown;
    for (const char16_t c : toUtf16(utf8)) {
        const bool c0 = c < 0x20 || c == 0x7F;
        const bool c1 = c >= 0x80 && c <= 0x9F;
        if (!c0 && !c1) {
            shown += c;
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, c0 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(c));
        for (const char* p = escape; *p != 0; ++p) {
            shown += static_cast<char16_t>(*p);
        }
    }
    return toUtf8(shown);
}

} // namespace mirx::text
