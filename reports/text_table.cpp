#include "reports/text_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace mirx::reports {
namespace {

const std::string& cellAt(const std::vector<std::string>& row, std::size_t column) {
    static const std::string empty;
    return column < row.size() ? row[column] : empty;
}

bool plainNumber(const std::string& text) {
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

bool startsFormula(const std::string& text) {
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

// A plain loop: find_first_of calls memchr once per byte of the cell.
bool needsQuotes(const std::string& text) {
    for (const char c : text) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            return true;
        }
    }
    return false;
}

void appendCsvField(std::string& out, const std::string& text) {
    const bool formula = startsFormula(text);
    if (!needsQuotes(text)) {
        if (formula) {
            out += '\'';
        }
        out += text;
        return;
    }
    out += '"';
    if (formula) {
        out += '\'';
    }
    for (const char c : text) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
}

std::string jsonString(const std::string& text) {
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
std::string terminalText(const std::string& text, std::size_t& width) {
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

// Appends each cell through `append(out, cell)`.
// The text with every cell as it is, one separator after each and the line
// ends: about what the joined text takes.
std::size_t plainSize(const TextTable& table, std::size_t lineEnd) {
    const std::size_t columns = table.headers.size();
    std::size_t size = 0;
    const auto add = [&](const std::vector<std::string>& row) {
        for (std::size_t c = 0; c < columns && c < row.size(); ++c) {
            size += row[c].size();
        }
        size += columns + lineEnd;
    };
    add(table.headers);
    for (const auto& row : table.rows) {
        add(row);
    }
    return size;
}

template <typename Append>
std::string joinRows(const TextTable& table, char separator, const char* lineEnd, Append append) {
    std::string out;
    // Room for the usual text and a few quotes: one allocation, not a dozen.
    const std::size_t plain = plainSize(table, std::strlen(lineEnd));
    out.reserve(plain + plain / 16);
    const auto line = [&](const std::vector<std::string>& row) {
        for (std::size_t c = 0; c < table.headers.size(); ++c) {
            if (c > 0) {
                out += separator;
            }
            append(out, cellAt(row, c));
        }
        out += lineEnd;
    };
    line(table.headers);
    for (const auto& row : table.rows) {
        line(row);
    }
    return out;
}

} // namespace

std::string csvText(const TextTable& table) {
    return joinRows(table, ',', "\r\n", appendCsvField);
}

std::string tabText(const TextTable& table) {
    return joinRows(table, '\t', "\n", [](std::string& out, const std::string& text) {
        for (const char c : text) {
            out += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
        }
    });
}

std::string jsonText(const TextTable& table) {
    std::string out = "[";
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        out += r == 0 ? "\n  {" : ",\n  {";
        for (std::size_t c = 0; c < table.headers.size(); ++c) {
            if (c > 0) {
                out += ", ";
            }
            out += jsonString(table.headers[c]) + ": " + jsonString(cellAt(table.rows[r], c));
        }
        out += "}";
    }
    out += table.rows.empty() ? "]\n" : "\n]\n";
    return out;
}

std::string alignedText(const TextTable& table) {
    const std::size_t columns = table.headers.size();
    std::vector<std::vector<std::string>> shown;
    std::vector<std::vector<std::size_t>> widths;
    std::vector<std::size_t> widest(columns, 0);
    const auto take = [&](const std::vector<std::string>& row) {
        std::vector<std::string> texts(columns);
        std::vector<std::size_t> lengths(columns);
        for (std::size_t c = 0; c < columns; ++c) {
            texts[c] = terminalText(cellAt(row, c), lengths[c]);
            widest[c] = std::max(widest[c], lengths[c]);
        }
        shown.push_back(std::move(texts));
        widths.push_back(std::move(lengths));
    };
    take(table.headers);
    for (const auto& row : table.rows) {
        take(row);
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

} // namespace mirx::reports
