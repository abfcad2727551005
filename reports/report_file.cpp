#include "reports/report_file.h"

#include "core/replace_file.h"
#include "core/utf16.h"

namespace mirx::reports {

std::string reportFileBytes(std::string_view text) {
    std::string bytes("\xFF\xFE", 2);
    bytes.reserve(2 + text.size() * 2 + text.size() / 16);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        text::appendUtf16le(bytes, line);
        bytes.append("\r\0\n\0", 4);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return bytes;
}

std::string saveReportFile(const std::filesystem::path& path, std::string_view text) {
    return core::replaceFile(path, reportFileBytes(text));
}

} // namespace mirx::reports
