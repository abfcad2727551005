#include "reports/text_table.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace mirx::reports {
namespace {

bool plainNumber(std::string_view text) {
    // "-", "-3", "-0.25": the list's own dashes and negative figures.
    if (text == "-") {
        return true;
    }
    bool digits = false;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c != '.') {
            return false;
        }
    }
    return digits;
}

bool startsFormula(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    switch (text.front()) {
    case '=':
    case '+':
    case '@':
    case '\t':
    case '\r':
        return true;
    case '-':
        return !plainNumber(text);
    default:
        return false;
    }
}

// The bytes that make a field quoted, as a table: find_first_of calls
// memchr once per byte, and four compares per byte were most of the time a
// large export took.
constexpr std::array<bool, 256> kQuotedBytes = [] {
    std::array<bool, 256> quoted{};
    for (const char c : {',', '"', '\r', '\n'}) {
        quoted[static_cast<unsigned char>(c)] = true;
    }
    return quoted;
}();

// The longest a cell can become as a field: every byte a doubled quote,
// with the quotes around it and the apostrophe.
std::size_t csvFieldRoom(std::string_view text) {
    return 2 * text.size() + 3;
}

// Writes the field at `out`; returns its end. Most cells need no quotes:
// they are copied while looking for a byte that does, in one pass.
char* writeCsvField(char* out, std::string_view text) {
    const bool formula = startsFormula(text);
    char* const start = out;
    if (formula) {
        *out++ = '\'';
    }
    bool quoted = false;
    for (const char c : text) {
        quoted |= kQuotedBytes[static_cast<unsigned char>(c)];
        *out++ = c;
    }
    if (!quoted) {
        return out;
    }
    out = start;
    *out++ = '"';
    if (formula) {
        *out++ = '\'';
    }
    for (const char c : text) {
        if (c == '"') {
            *out++ = '"';
        }
        *out++ = c;
    }
    *out++ = '"';
    return out;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// The text a terminal shows; its width in characters.
std::string terminalText(std::string_view text, std::size_t& width) {
    std::string out;
    width = 0;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
            width += 4;
        } else {
            out += ch;
            // UTF-8 continuation bytes take no column.
            width += (c & 0xC0) == 0x80 ? 0 : 1;
        }
    }
    return out;
}

// The text with every cell as it is, one separator after each and the line
// ends: about what the joined text takes.
std::size_t plainSize(const TextTableView& table, std::size_t lineEnd) {
    std::size_t size = 0;
    for (const std::string_view text : table.headers) {
        size += text.size();
    }
    for (const std::string_view text : table.cells) {
        size += text.size();
    }
    return size + (table.rows + 1) * (table.headers.size() + lineEnd);
}

// Appends each cell through `append(out, cell)`.
template <typename Append>
std::string joinRows(const TextTableView& table, char separator, const char* lineEnd,
                     Append append) {
    std::string out;
    // Room for the usual text and a few quotes: one allocation, not a dozen.
    const std::size_t plain = plainSize(table, std::strlen(lineEnd));
    out.reserve(plain + plain / 16);
    const std::size_t columns = table.headers.size();
    const auto line = [&](const std::string_view* row) {
        for (std::size_t c = 0; c < columns; ++c) {
            if (c > 0) {
                out += separator;
            }
            append(out, row[c]);
        }
        out += lineEnd;
    };
    line(table.headers.data());
    for (std::size_t r = 0; r < table.rows; ++r) {
        line(table.cells.data() + r * columns);
    }
    return out;
}

} // namespace

TextTableView viewOf(const TextTable& table) {
    TextTableView view;
    const std::size_t columns = table.headers.size();
    view.headers.assign(table.headers.begin(), table.headers.end());
    view.rows = table.rows.size();
    view.cells.reserve(view.rows * columns);
    for (const auto& row : table.rows) {
        for (std::size_t c = 0; c < columns; ++c) {
            view.cells.emplace_back(c < row.size() ? std::string_view(row[c]) : std::string_view());
        }
    }
    return view;
}

std::string csvText(const TextTableView& table) {
    // Written into room for the worst case and cut to what was written: a
    // hundred thousand bytes of short cells, each appended to a string,
    // spend their time checking the string's capacity.
    const std::size_t columns = table.headers.size();
    std::size_t room = (table.rows + 1) * (columns + 2);
    for (const std::string_view text : table.headers) {
        room += csvFieldRoom(text);
    }
    for (const std::string_view text : table.cells) {
        room += csvFieldRoom(text);
    }
    std::string out(room, '\0');
    char* end = out.data();
    const auto line = [&](const std::string_view* row) {
        for (std::size_t c = 0; c < columns; ++c) {
            if (c > 0) {
                *end++ = ',';
            }
            end = writeCsvField(end, row[c]);
        }
        *end++ = '\r';
        *end++ = '\n';
    };
    line(table.headers.data());
    for (std::size_t r = 0; r < table.rows; ++r) {
        line(table.cells.data() + r * columns);
    }
    out.resize(static_cast<std::size_t>(end - out.data()));
    return out;
}

std::string tabText(const TextTableView& table) {
    return joinRows(table, '\t', "\n", [](std::string& out, std::string_view text) {
        for (const char c : text) {
            out += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
        }
    });
}

std::string jsonText(const TextTableView& table) {
    const std::size_t columns = table.headers.size();
    std::string out = "[";
    for (std::size_t r = 0; r < table.rows; ++r) {
        out += r == 0 ? "\n  {" : ",\n  {";
        for (std::size_t c = 0; c < columns; ++c) {
            if (c > 0) {
                out += ", ";
            }
            out += jsonString(table.headers[c]) + ": " + jsonString(table.cells[r * columns + c]);
        }
        out += "}";
    }
    out += table.rows == 0 ? "]\n" : "\n]\n";
    return out;
}

std::string alignedText(const TextTableView& table) {
    const std::size_t columns = table.headers.size();
    std::vector<std::vector<std::string>> shown;
    std::vector<std::vector<std::size_t>> widths;
    std::vector<std::size_t> widest(columns, 0);
    const auto take = [&](const std::string_view* row) {
        std::vector<std::string> texts(columns);
        std::vector<std::size_t> lengths(columns);
        for (std::size_t c = 0; c < columns; ++c) {
            texts[c] = terminalText(row[c], lengths[c]);
            widest[c] = std::max(widest[c], lengths[c]);
        }
        shown.push_back(std::move(texts));
        widths.push_back(std::move(lengths));
    };
    take(table.headers.data());
    for (std::size_t r = 0; r < table.rows; ++r) {
        take(table.cells.data() + r * columns);
    }
    std::string out;
    const auto line = [&](std::size_t r) {
        std::string text;
        for (std::size_t c = 0; c < columns; ++c) {
            text += shown[r][c];
            if (c + 1 < columns) {
                text.append(widest[c] - widths[r][c] + 2, ' ');
            }
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        out += text + "\n";
    };
    line(0);
    std::size_t total = 0;
    for (std::size_t c = 0; c < columns; ++c) {
        total += widest[c] + (c + 1 < columns ? 2 : 0);
    }
    out.append(total, '-');
    out += "\n";
    for (std::size_t r = 1; r < shown.size(); ++r) {
        line(r);
    }
    return out;
}

std::string csvText(const TextTable& table) {
    return csvText(viewOf(table));
}

std::string tabText(const TextTable& table) {
    return tabText(viewOf(table));
}

std::string jsonText(const TextTable& table) {
    return jsonText(viewOf(table));
}

std::string alignedText(const TextTable& table) {
    return alignedText(viewOf(table));
}

} // namespace mirx::reports
