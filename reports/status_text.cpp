#include "reports/status_text.h"

#include <cstdarg>
#include <cstdio>

namespace mirx::reports {
namespace {

__attribute__((format(printf, 1, 2))) std::string format(const char* pattern, ...) {
    char text[64];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

} // namespace

StatusField upTimeField(std::int64_t seconds) {
    const std::int64_t days = seconds / 86400;
    const std::int64_t hours = seconds / 3600 - days * 24;
    const std::int64_t minutes = seconds / 60 - (seconds / 3600) * 60;
    StatusField field{format("%3dd, %2dh, %2dm", static_cast<int>(days), static_cast<int>(hours),
                             static_cast<int>(minutes)),
                      StatusColour::Green};
    if (days == 0 && seconds / 3600 == 0) {
        if (minutes < 2) {
            field.colour = StatusColour::Red;
        } else if (minutes < 10) {
            field.colour = StatusColour::Yellow;
        }
    }
    return field;
}

StatusField processorField(std::uint8_t first, std::uint8_t second) {
    const StatusColour colour = first >= 80  ? StatusColour::Red
                                : first < 60 ? StatusColour::Green
                                             : StatusColour::Yellow;
    return {format("%2d (%2d)", first, second), colour};
}

StatusField connectionsField(std::uint16_t active, std::uint16_t configured) {
    const StatusColour colour = active == 0                  ? StatusColour::Red
                                : active < (configured >> 2) ? StatusColour::Yellow
                                                             : StatusColour::Green;
    return {format("%d of %d", active, configured), colour};
}

StatusField audioField(std::uint16_t count) {
    return {format("%d", count), StatusColour::Cyan};
}

FailoverField failoverField(std::uint8_t state) {
    switch (state) {
    case 1:
        return {{"Not Configured", StatusColour::Yellow}, std::nullopt, std::nullopt};
    case 2:
        return {
            {"PRIMARY ACTIVE\nSecondary Off-line", StatusColour::Yellow}, "Force Failover", false};
    case 3:
        return {{"PRIMARY ACTIVE\nSecondary Standby", StatusColour::Green}, "Force Failover", true};
    case 4:
        return {{"Primary off-line\nSECONDARY ACTIVE", StatusColour::Red}, "Force Failback", false};
    case 5:
        return {
            {"Primary Standby\n SECONDARY ACTIVE", StatusColour::Yellow}, "Force Failback", true};
    default:
        return {{"?", StatusColour::Default}, std::nullopt, std::nullopt};
    }
}

TrunkingFields trunkingFields(Trunking mode, const model::SystemStatus& status) {
    using model::SystemStatus;
    const bool rts = mode == Trunking::Rts;
    const std::uint8_t state =
        status.get(rts ? SystemStatus::kRtsTrunkState : SystemStatus::kDelecTrunkState);
    const std::uint8_t active =
        status.get(rts ? SystemStatus::kRtsTrunksActive : SystemStatus::kDelecTrunksActive);
    const std::uint8_t configured =
        status.get(rts ? SystemStatus::kRtsTrunksConfigured : SystemStatus::kDelecTrunksConfigured);
    switch (state) {
    case 1:
        return {{"Not Configured", StatusColour::Yellow}, std::nullopt};
    case 2:
        return {{rts ? "Trunk Master Off-Line" : "Oratis Off-Line", StatusColour::Red},
                std::nullopt};
    case 3:
        return {{rts ? "Trunk Master On-Line" : "Oratis On-Line", StatusColour::Green},
                StatusField{format("%d of %d", active, configured), StatusColour::Cyan}};
    default:
        // Colours were reset; the texts stay as they were.
        return {{"", StatusColour::Default}, std::nullopt};
    }
}

} // namespace mirx::reports
