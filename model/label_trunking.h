#pragma once

#include <cstdint>

// Which external names the group and remote lists and their edit views show:
// they follow the server's trunking mode.

namespace mirx::model {

enum class LabelTrunking : std::uint8_t { None, Rts, Delec };

} // namespace mirx::model
