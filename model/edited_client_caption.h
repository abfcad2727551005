#pragma once

#include "model/label_table.h"

#include <string>

// The line naming whose record a client editor shows.

namespace mirx::model {

inline constexpr const char* kAllClientsCaption = "DEFAULT SETTINGS FOR ALL CLIENTS";

// kAllClientsCaption for a default index (below 0), else "type / display
// name / description" with the short client type name. The label's fields
// keep it well within the line's 249 characters.
std::string editedClientCaption(const LabelTable& labels, int clientIndex);

} // namespace mirx::model
