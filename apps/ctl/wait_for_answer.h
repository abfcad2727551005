#pragma once

#include "link/server_link.h"

#include <atomic>
#include <functional>

namespace mirx::ctl {

// Waits until `take` reports the answer (true), or the link ends, `stop` is
// set or `timeoutMs` passes (false). Wakes on every frame the link receives.
bool waitForAnswer(const std::function<bool()>& take, const link::ServerLink& link, int timeoutMs,
                   const std::atomic<bool>& stop);

} // namespace mirx::ctl
