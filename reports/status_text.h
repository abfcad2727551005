#pragma once

#include "model/system_status.h"

#include <cstdint>
#include <optional>
#include <string>

// The texts and colours of the server status fields, as the main window and
// `mirx-ctl status` show them. Pure functions: the views only paint them.

namespace mirx::reports {

enum class StatusColour { Default, Red, Green, Yellow, Cyan };

struct StatusField {
    std::string text;
    StatusColour colour = StatusColour::Default;
};

enum class Trunking { None, Rts, Delec };

// "%3dd, %2dh, %2dm"; red for the first two minutes, yellow up to ten.
StatusField upTimeField(std::int64_t seconds);
// "%2d (%2d)"; red from 80 %, green below 60 %, else yellow.
StatusField processorField(std::uint8_t first, std::uint8_t second);
// "%d of %d"; red with none active, yellow below a quarter of configured.
StatusField connectionsField(std::uint16_t active, std::uint16_t configured);
// "%d", cyan.
StatusField audioField(std::uint16_t count);

struct FailoverField {
    StatusField field;
    // Unset: the button keeps its caption and state.
    std::optional<std::string> buttonCaption;
    std::optional<bool> buttonEnabled;
};
FailoverField failoverField(std::uint8_t state);

struct TrunkingFields {
    StatusField status;
    // Unset: "Active Trunks:" keeps its text.
    std::optional<StatusField> activeTrunks;
};
TrunkingFields trunkingFields(Trunking mode, const model::SystemStatus& status);

} // namespace mirx::reports
