#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Saving a report text: UTF-16LE with a byte order mark and CRLF line ends,
// the form the console has always written. The text goes to a temporary
// file beside the target, which is renamed over it only once complete, so a
// failed save leaves neither a half-written file under the chosen name nor
// the temporary file.

namespace mirx::reports {

// The bytes of the saved file for a UTF-8 text with "\n" line ends. Every
// line, the last one too, ends in CR LF; a "\r" before "\n" is not doubled.
// Bytes that are not UTF-8 become U+FFFD.
std::string reportFileBytes(std::string_view text);

// Writes the file. Empty on success, else what went wrong, naming the file
// ("/a/b.txt: cannot create a temporary file: Permission denied").
std::string saveReportFile(const std::filesystem::path& path, std::string_view text);

// The file name the save question offers for the connection status report.
inline constexpr const char* kConnectionStatusFileName = "ConnectionStatus.txt";

} // namespace mirx::reports
