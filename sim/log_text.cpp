#include "sim/log_text.h"

#include <ctime>

namespace mirx::sim {
namespace {

std::string stampText(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    localtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

} // namespace

std::string logLinesText(const std::vector<site::LogLine>& lines, std::size_t begin,
                         std::size_t end) {
    std::string text;
    for (std::size_t i = begin; i < end && i < lines.size(); ++i) {
        text += stampText(lines[i].time);
        text += "  ";
        text += lines[i].text;
        text += '\n';
    }
    return text;
}

} // namespace mirx::sim
