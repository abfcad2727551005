#include "tests/support/log_capture.h"

namespace mirx::test {

LogCapture::LogCapture() {
    log::setDebuggerSink(this);
}

LogCapture::~LogCapture() {
    log::setDebuggerSink(nullptr);
}

void LogCapture::write(std::string_view line) {
    std::lock_guard lock(lock_);
    raw_.emplace_back(line);
}

std::vector<std::string> LogCapture::raw() const {
    std::lock_guard lock(lock_);
    return raw_;
}

std::vector<std::string> LogCapture::lines() const {
    std::vector<std::string> result = raw();
    for (auto& line : result) {
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
        }
    }
    return result;
}

bool LogCapture::contains(std::string_view text) const {
    return count(text) != 0;
}

std::size_t LogCapture::count(std::string_view text) const {
    std::size_t n = 0;
    for (const auto& line : lines()) {
        if (line.find(text) != std::string::npos) {
            ++n;
        }
    }
    return n;
}

void LogCapture::clear() {
    std::lock_guard lock(lock_);
    raw_.clear();
}

} // namespace mirx::test
