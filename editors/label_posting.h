#pragma once

#include "model/label_info.h"
#include "model/label_trunking.h"

#include <cstdint>

namespace mirx::shell {
struct ShellContext;
}

// What the group and remote views share: the trunking mode as the label
// lists read it, and the one way an edited label reaches the server and
// the console's copy.

namespace mirx::editors {

model::LabelTrunking labelTrunking(const shell::ShellContext& context);

// Posts ADMIN_LABEL_UPDATE for `label` and, once it is queued, stores it in
// the console's table, so the copy never holds a change the server was not
// sent. False, with nothing changed, when the console is not logged in or
// the queue refused it.
bool postLabel(shell::ShellContext& context, const model::LabelInfo& label);

// Posts a request without payload; false when it was not queued.
bool postRequest(shell::ShellContext& context, std::uint16_t id, std::uint16_t second);

} // namespace mirx::editors
