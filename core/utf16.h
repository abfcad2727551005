#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Texts live in UTF-8 inside the program; the wire, the log file and the
// reports use UTF-16LE. Lengths that the protocol limits are counted in
// UTF-16 code units, so the cut helpers count the same way.

namespace mirx::text {

// Invalid UTF-8 becomes U+FFFD.
std::u16string toUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string toUtf8(std::u16string_view utf16);

// UTF-16 code units needed for `utf8`.
std::size_t utf16Length(std::string_view utf8);

// Longest prefix of `utf8` that fits in `maxUnits` UTF-16 code units without
// splitting a character.
std::string_view prefixWithinUtf16Units(std::string_view utf8, std::size_t maxUnits);

// `utf8` fit for a terminal: control characters shown as escapes (C0 and
// DEL as \xHH, C1 as \u00HH), invalid UTF-8 as U+FFFD, all else as is.
std::string visibleText(std::string_view utf8);

// Appends the UTF-16LE bytes of `utf8`, no terminator.
void appendUtf16le(std::string& out, std::string_view utf8);

} // namespace mirx::text
