#pragma once

#include "apps/ctl/ctl_command_table.h"

#include <string_view>

namespace mirx::ctl {

// The server logs mirx-ctl can print.
bool isServerLogName(std::string_view name);

// `log activity|debug [--follow]`: pulls the whole log as the log views do
// and prints it oldest line first; with --follow goes on printing new text
// as it comes until stopped.
int logCommand(CtlSession& session);

} // namespace mirx::ctl
