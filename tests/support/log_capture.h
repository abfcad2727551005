#pragma once

#include "core/debug_log.h"

#include <mutex>
#include <string>
#include <vector>

namespace mirx::test {

// Collects every debug-log message while alive (it replaces the debugger
// channel). Lines are stored without their trailing "\n".
class LogCapture final : public log::LineSink {
public:
    LogCapture();
    ~LogCapture() override;
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void write(std::string_view line) override;

    std::vector<std::string> lines() const;
    // Raw texts exactly as the channel received them, line feeds included.
    std::vector<std::string> raw() const;
    bool contains(std::string_view text) const;
    std::size_t count(std::string_view text) const;
    void clear();

private:
    mutable std::mutex lock_;
    std::vector<std::string> raw_;
};

} // namespace mirx::test
