#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A list as text for other programs: CSV for spreadsheets and files,
// tab-separated lines for the clipboard, JSON for scripts, aligned columns
// for a terminal. Cells are UTF-8.

namespace mirx::reports {

struct TextTable {
    std::vector<std::string> headers;
    // Each row has one cell per header; missing cells read as empty.
    std::vector<std::vector<std::string>> rows;
};

// The same shape with the cells lent by their owner, valid while a writer
// runs: a list with rows of its own is written without copying each cell
// into a TextTable first.
struct TextTableView {
    std::vector<std::string_view> headers;
    std::size_t rows = 0;
    // Row r, column c at cells[r * headers.size() + c].
    std::vector<std::string_view> cells;
};

TextTableView viewOf(const TextTable& table);

// RFC 4180 fields, lines ending in "\r\n". A cell that a spreadsheet would
// run as a formula (starting with =, +, @, a tab or a carriage return, or
// with - when it is not a plain number or a lone dash) gets a leading
// apostrophe, so a name sent by the network cannot start a formula.
std::string csvText(const TextTable& table);
std::string csvText(const TextTableView& table);

// One line per row, cells separated by tabs; tabs and line breaks inside a
// cell become blanks, so the shape survives a paste.
std::string tabText(const TextTable& table);
std::string tabText(const TextTableView& table);

// An array with one object per row, keyed by header.
std::string jsonText(const TextTable& table);
std::string jsonText(const TextTableView& table);

// Columns padded to their widest cell, two blanks apart, a dashed line under
// the header. Control characters are shown as \xNN, so a hostile text cannot
// steer the terminal.
std::string alignedText(const TextTable& table);
std::string alignedText(const TextTableView& table);

} // namespace mirx::reports
