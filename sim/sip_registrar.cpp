#include "sim/sip_registrar.h"

namespace mirx::sim {

std::vector<std::uint8_t> sipRegistrationsAnswer(std::span<const model::SipRegistration> site,
                                                 std::uint64_t elapsedSeconds) {
    using R = model::SipRegistration;
    std::vector<R> now(site.begin(), site.end());
    for (std::size_t i = 0; i < now.size(); ++i) {
        const std::uint32_t term = now[i].get(R::kExpirationSeconds);
        if (term != 0) {
            // Devices renew at different moments.
            const std::uint64_t since = (elapsedSeconds + i * 37) % term;
            now[i].set(R::kExpirationSeconds, static_cast<std::uint32_t>(term - since));
        }
    }
    return model::encodeSipRegistrations(now);
}

} // namespace mirx::sim
