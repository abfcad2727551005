#pragma once

#include <string>
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

// RFC 4180 fields, lines ending in "\r\n". A cell that a spreadsheet would
// run as a formula (starting with =, +, @, a tab or a carriage return, or
// with - when it is not a plain number or a lone dash) gets a leading
// apostrophe, so a name sent by the network cannot start a formula.
std::string csvText(const TextTable& table);

// One line per row, cells separated by tabs; tabs and line breaks inside a
// cell become blanks, so the shape survives a paste.
std::string tabText(const TextTable& table);

// An array with one object per row, keyed by header.
std::string jsonText(const TextTable& table);

// Columns padded to their widest cell, two blanks apart, a dashed line under
// the header. Control characters are shown as \xNN, so a hostile text cannot
// steer the terminal.
std::string alignedText(const TextTable& table);

} // namespace mirx::reports
