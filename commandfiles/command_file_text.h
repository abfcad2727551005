#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The text of a command file and the small readers its lines need: the
// decoding of the file's bytes, the cutting into lines, and a scanf-style
// reader for the number formats the keywords use.

namespace mirx::commandfiles {

// The file's text as 16-bit units: the byte-order mark, the text, and one
// carriage return as end mark. A line ends at CR LF, at LF alone (files
// written on Linux), at a lone CR or at a NUL; the text is never changed, so
// a second pass finds the same lines.
class CommandText {
public:
    static constexpr char16_t kByteOrderMark = 0xFEFF;
    static constexpr char16_t kCarriageReturn = 0x000D;
    static constexpr char16_t kLineFeed = 0x000A;

    // `bytes`: the first bytes of the file (at most `maxBytes` are used);
    // `fileBytes`: the file's full size, which tells whether it was cut.
    // FF FE first: UTF-16LE after the mark; otherwise one unit per byte. At
    // most `maxUnits` units are kept; when the file does not fit, the text
    // ends after its last complete line so that no line is read half.
    static CommandText decode(std::span<const std::uint8_t> bytes, std::size_t fileBytes,
                              std::size_t maxBytes, std::size_t maxUnits);

    // The next line that is not a comment (first unit ';'), or nothing at
    // the end. A line runs to the first CR, LF or NUL; a CR or NUL with an LF
    // right after it is one line end.
    std::optional<std::u16string_view> nextLine();
    // Back to the first line.
    void rewind();

    // Physical lines cut so far since the last rewind, comments included:
    // the 1-based number of the line nextLine() returned last.
    int lineNumber() const { return lineNumber_; }
    bool truncated() const { return truncated_; }
    // Text units between the mark and the end mark.
    std::size_t size() const { return units_.empty() ? 0 : units_.size() - 2; }

private:
    std::vector<char16_t> units_;
    std::size_t readPosition_ = 1;
    std::size_t endPosition_ = 1;
    int lineNumber_ = 0;
    bool truncated_ = false;
};

// White space as the C library's scanf skips it.
constexpr bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// Letters of ASCII and Latin-1 folded to lower case; everything else as is.
char16_t foldCase(char16_t c);
bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b);

// Reads `input` as the C library's scanf reads it with `format`, for
// formats made of "%d" / "%hd" conversions with an optional width, white
// space (skips any white space) and other characters (must match exactly).
// A conversion skips white space, takes an optional sign and at least one
// digit, and never more units than its width (the sign counts). Values are
// stored as read; the caller narrows them to the conversion's size. Returns
// the number of values stored, or -1 when the input ended before the first
// conversion; `consumed` receives the units read up to the last directive
// that matched.
int scanFormatted(std::u16string_view input, std::string_view format,
                  std::span<std::int64_t> values, std::size_t* consumed = nullptr);

// Narrows like a store into a 16-bit field.
constexpr std::int16_t toInt16(std::int64_t value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(value)));
}

std::string toUtf8(std::u16string_view text);

} // namespace mirx::commandfiles
