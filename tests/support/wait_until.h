#pragma once

#include <chrono>
#include <thread>

namespace mirx::test {

// Default bound for waits on the simulator: generous, since sanitizer builds
// on a loaded machine are slow; a passing test never waits this long.
inline constexpr std::chrono::milliseconds kNetworkTimeout{20000};

// Polls `done` every millisecond until it holds or `timeout` passed; the
// last answer of `done`.
template <typename Predicate>
bool waitUntil(Predicate&& done, std::chrono::milliseconds timeout = kNetworkTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace mirx::test
