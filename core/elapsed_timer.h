#pragma once

#include "core/clock.h"

#include <cstdint>

namespace mirx {

// A start tick and a period in milliseconds; every time-out and polling
// interval of the server link is one of these. A plain value: copy it freely,
// but it belongs to one thread. The tick wraps after 2^32 ms, so all arithmetic
// stays unsigned 32-bit.
class CElapsedTimer {
public:
    CElapsedTimer() = default;

    void start(std::uint32_t interval) {
        start_ = tickNow();
        interval_ = interval;
    }

    // Starts a new period of the same length.
    void restart() { start_ = tickNow(); }

    // An unarmed timer (interval 0) is always expired.
    bool expired() const {
        const std::uint32_t elapsed = tickNow() - start_; // modulo 2^32 across the wrap
        return elapsed >= interval_;
    }

    // Milliseconds until expired() turns true; 0 once it has.
    std::uint32_t remaining() const {
        const std::uint32_t elapsed = tickNow() - start_;
        return elapsed >= interval_ ? 0 : interval_ - elapsed;
    }
    bool armed() const { return interval_ != 0; }
    std::uint32_t interval() const { return interval_; }

    // Notes the current tick without arming; initialises timers.
    void mark() { start(0); }

private:
    std::uint32_t start_ = 0;
    std::uint32_t interval_ = 0;
};

} // namespace mirx
