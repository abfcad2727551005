#include "commandfiles/command_file_text.h"

#include "core/utf16.h"

#include <algorithm>

namespace mirx::commandfiles {
namespace {

constexpr std::uint64_t kSaturation = 1'000'000'000'000'000'000ULL;

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool isLineEnd(char16_t c) {
    return c == CommandText::kCarriageReturn || c == CommandText::kLineFeed || c == 0;
}

} // namespace

CommandText CommandText::decode(std::span<const std::uint8_t> bytes, std::size_t fileBytes,
                                std::size_t maxBytes, std::size_t maxUnits) {
    const auto read = bytes.first(std::min(bytes.size(), maxBytes));
    bool cut = fileBytes > read.size();

    CommandText text;
    text.units_.reserve(std::min(read.size(), maxUnits) + 2);
    text.units_.push_back(kByteOrderMark);
    if (read.size() >= 2 && read[0] == 0xFF && read[1] == 0xFE) {
        const std::size_t available = (read.size() - 2) / 2;
        const std::size_t n = std::min(available, maxUnits);
        cut = cut || available > n;
        for (std::size_t k = 0; k < n; ++k) {
            text.units_.push_back(static_cast<char16_t>(read[2 + 2 * k] | read[3 + 2 * k] << 8));
        }
    } else {
        const std::size_t n = std::min(read.size(), maxUnits);
        cut = cut || read.size() > n;
        for (std::size_t k = 0; k < n; ++k) {
            text.units_.push_back(read[k]);
        }
    }
    if (cut) {
        // A line cut in the middle could still parse, as another command
        // (a shorter login name, a date without its year): drop it whole.
        const auto lastEnd = std::find_if(text.units_.rbegin(), text.units_.rend() - 1,
                                          [](char16_t c) { return isLineEnd(c); });
        if (lastEnd != text.units_.rend() - 1) {
            text.units_.resize(static_cast<std::size_t>(text.units_.rend() - lastEnd));
        }
    }
    text.truncated_ = cut;
    text.units_.push_back(kCarriageReturn);
    text.endPosition_ = text.units_.size() - 1;
    return text;
}

std::optional<std::u16string_view> CommandText::nextLine() {
    for (;;) {
        if (readPosition_ >= endPosition_) {
            return std::nullopt;
        }
        const std::size_t start = readPosition_;
        std::size_t end = start;
        // The end mark stops this at endPosition_ at the latest.
        while (!isLineEnd(units_[end])) {
            ++end;
        }
        std::size_t next = end + 1;
        if (units_[end] != kLineFeed && next < endPosition_ && units_[next] == kLineFeed) {
            ++next;
        }
        readPosition_ = next;
        ++lineNumber_;
        if (end > start && units_[start] == u';') {
            continue;
        }
        return std::u16string_view(units_.data() + start, end - start);
    }
}

void CommandText::rewind() {
    readPosition_ = 1;
    lineNumber_ = 0;
}

char16_t foldCase(char16_t c) {
    const bool asciiUpper = c >= u'A' && c <= u'Z';
    const bool latinUpper = c >= 0xC0 && c <= 0xDE && c != 0xD7;
    return asciiUpper || latinUpper ? static_cast<char16_t>(c + 0x20) : c;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return foldCase(x) == foldCase(y); });
}

namespace {

int scan(std::u16string_view input, std::string_view format, std::span<std::int64_t> values,
         std::size_t& matched) {
    std::size_t in = 0;
    std::size_t stored = 0;
    const auto skipBlanks = [&] {
        while (in < input.size() && isBlank(input[in])) {
            ++in;
        }
    };
    const auto endOfInput = [&] {
        return stored == 0 ? -1 : static_cast<int>(stored);
    };

    for (std::size_t f = 0; f < format.size();) {
        const char directive = format[f];
        if (isBlank(static_cast<char16_t>(directive))) {
            skipBlanks();
            matched = in;
            ++f;
            continue;
        }
        if (directive != '%') {
            if (in >= input.size()) {
                return endOfInput();
            }
            if (input[in] != static_cast<char16_t>(directive)) {
                return static_cast<int>(stored);
            }
            ++in;
            matched = in;
            ++f;
            continue;
        }

        ++f;
        std::size_t width = 0;
        while (f < format.size() && format[f] >= '0' && format[f] <= '9') {
            width = width * 10 + static_cast<std::size_t>(format[f] - '0');
            ++f;
        }
        if (f < format.size() && format[f] == 'h') {
            ++f;
        }
        ++f; // 'd'
        if (stored >= values.size()) {
            break;
        }

        skipBlanks();
        if (in >= input.size()) {
            return endOfInput();
        }
        const std::size_t limit = width != 0 ? width : input.size();
        std::size_t taken = 0;
        bool negative = false;
        if (input[in] == u'-' || input[in] == u'+') {
            negative = input[in] == u'-';
            ++in;
            ++taken;
        }
        std::uint64_t magnitude = 0;
        std::size_t digits = 0;
        while (in < input.size() && taken < limit && isDigit(input[in])) {
            magnitude = std::min(kSaturation, magnitude * 10 + (input[in] - u'0'));
            ++in;
            ++taken;
            ++digits;
        }
        if (digits == 0) {
            return static_cast<int>(stored);
        }
        const auto value = static_cast<std::int64_t>(magnitude);
        values[stored++] = negative ? -value : value;
        matched = in;
    }
    return static_cast<int>(stored);
}

} // namespace

int scanFormatted(std::u16string_view input, std::string_view format,
                  std::span<std::int64_t> values, std::size_t* consumed) {
    std::size_t matched = 0;
    const int stored = scan(input, format, values, matched);
    if (consumed != nullptr) {
        *consumed = matched;
    }
    return stored;
}

std::string toUtf8(std::u16string_view text) {
    return text::toUtf8(text);
}

} // namespace mirx::commandfiles
