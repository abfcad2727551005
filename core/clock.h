#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace mirx {

// Calendar fields of the local time, as shown in log stamps and file names.
struct LocalTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The one source of time: the 32-bit millisecond tick every timer is built
// on, and the local wall-clock time used for stamps. Tests swap in a
// ManualClock to put the tick near 2^32 or fix the date.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary origin; wraps after 2^32 ms.
    virtual std::uint32_t tickMs() const = 0;
    virtual LocalTime localTime() const = 0;
};

// steady_clock for the tick, the system's local time zone for the calendar.
Clock& systemClock();

// The clock in force; the system clock unless a test installed another.
Clock& clock();
inline std::uint32_t tickNow() {
    return clock().tickMs();
}

// Installs `replacement` (nullptr restores the system clock). The caller keeps
// it alive until it is uninstalled.
void setClock(Clock* replacement);

class ManualClock final : public Clock {
public:
    explicit ManualClock(std::uint32_t tick = 0)
        : tick_(tick) {}
    std::uint32_t tickMs() const override { return tick_.load(std::memory_order_acquire); }
    LocalTime localTime() const override;
    void setTick(std::uint32_t tick) { tick_.store(tick, std::memory_order_release); }
    void advance(std::uint32_t ms) { tick_.fetch_add(ms, std::memory_order_acq_rel); }
    void setLocalTime(const LocalTime& time);

private:
    std::atomic<std::uint32_t> tick_;
    mutable std::mutex timeLock_;
    LocalTime time_;
};

// Installs a clock for the lifetime of the guard.
class ScopedClock {
public:
    explicit ScopedClock(Clock& replacement) { setClock(&replacement); }
    ~ScopedClock() { setClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

} // namespace mirx
