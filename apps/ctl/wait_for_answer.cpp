#include "apps/ctl/wait_for_answer.h"

#include <chrono>

namespace mirx::ctl {

bool waitForAnswer(const std::function<bool()>& take, const link::ServerLink& link, int timeoutMs,
                   const std::atomic<bool>& stop) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint64_t seen = link.ChangeCount();
    while (!take()) {
        if (!link.connected() || stop.load() || std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        // Every answer arrives with a NotifyChange; the slice bounds how late
        // `stop` is seen.
        link.WaitForChange(seen, link::ServerLink::kAbortCheckMs, link::ServerLink::kAnswerSpin);
    }
    return true;
}

} // namespace mirx::ctl
