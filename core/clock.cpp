#include "core/clock.h"

#include <chrono>
#include <ctime>

namespace mirx {
namespace {

class SystemClock final : public Clock {
public:
    std::uint32_t tickMs() const override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
        return static_cast<std::uint32_t>(ms); // wraps like the 32-bit counter it stands for
    }

    LocalTime localTime() const override {
        const auto now = std::chrono::system_clock::now();
        const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        std::tm fields{};
        localtime_r(&seconds, &fields);
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
            1000;
        return LocalTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                         fields.tm_hour,        fields.tm_min,     fields.tm_sec,
                         static_cast<int>(ms)};
    }
};

std::atomic<Clock*> g_clock{nullptr};

} // namespace

Clock& systemClock() {
    static SystemClock instance;
    return instance;
}

Clock& clock() {
    Clock* current = g_clock.load(std::memory_order_acquire);
    return current != nullptr ? *current : systemClock();
}

void setClock(Clock* replacement) {
    g_clock.store(replacement, std::memory_order_release);
}

LocalTime ManualClock::localTime() const {
    std::lock_guard lock(timeLock_);
    return time_;
}

void ManualClock::setLocalTime(const LocalTime& time) {
    std::lock_guard lock(timeLock_);
    time_ = time;
}

} // namespace mirx
