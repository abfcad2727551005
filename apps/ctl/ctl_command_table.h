#pragma once

#include "apps/ctl/ctl_options.h"

#include <array>
#include <atomic>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace mirx::link {
class ServerLink;
}
namespace mirx::model {
class Mirror;
}

// Every mirx-ctl command in one table: its name, whether it logs in, the
// options only it takes, and what runs it. The option parser, the usage text
// and runCtl all read it.

namespace mirx::ctl {

struct CtlStreams {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
};

// What a command that logs in is handed once the login succeeded.
struct CtlSession {
    const CtlOptions& options;
    CtlStreams streams;
    const std::atomic<bool>& stop;
    link::ServerLink& link;
    model::Mirror& mirror;
    // Logs in again with the same name and password.
    std::function<bool()> reconnect;
};

struct CtlCommand {
    std::string_view name;
    // Arguments and what the command does, for the usage text.
    std::string_view synopsis;
    std::string_view description;
    bool needsLogin;
    // Options that belong to this command alone.
    std::span<const std::string_view> options;
    // Plain arguments (file names) are taken.
    bool takesFiles;
    // One of the two runs it, as needsLogin says.
    int (*runOffline)(const CtlOptions&, CtlStreams);
    int (*runLoggedIn)(CtlSession&);
};

// The command of that name; nullptr when there is none.
const CtlCommand* findCtlCommand(std::string_view name);
// The first command an option belongs to; nullptr for a general option.
const CtlCommand* ownerOfOption(std::string_view option);
// Whether `option` is one of the command's own.
bool commandTakes(const CtlCommand& command, std::string_view option);
std::span<const CtlCommand> ctlCommands();

} // namespace mirx::ctl
