#pragma once

#include "model/sip_registrations.h"

#include <cstdint>
#include <span>
#include <vector>

// The simulator as SIP registrar: the site's registrations with expiration
// times that count down and start again as each device re-registers.

namespace mirx::sim {

// Each registration's expiration is its full term less the seconds since
// its last (simulated) renewal; a term of 0 stays 0.
std::vector<std::uint8_t> sipRegistrationsAnswer(std::span<const model::SipRegistration> site,
                                                 std::uint64_t elapsedSeconds);

} // namespace mirx::sim
