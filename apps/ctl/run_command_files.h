#pragma once

#include "apps/ctl/ctl_commands.h"
#include "commandfiles/command_files.h"

#include <atomic>
#include <filesystem>
#include <functional>

namespace mirx::link {
class ServerLink;
}
namespace mirx::model {
class Mirror;
}

// mirx-ctl run-command-files: the console's command file scheduler without a
// display. The same one-second and response ticks as the main window's
// timers, on a plain loop; every file found, started, asked, answered,
// finished or failed is one line on standard output.

namespace mirx::ctl {

struct RunCommandFilesOptions {
    std::filesystem::path folder;
    // Run what is due now, then end.
    bool once = false;
    commandfiles::SchedulerTiming timing;
    // Pause between login attempts after the connection was lost.
    std::chrono::milliseconds reloginDelay{5000};
};

// The default folder: the console's rule (commandfiles::commandFilesFolder)
// from the program's folder.
std::filesystem::path defaultCommandFilesFolder(const std::vector<std::string>& ownCommandLine);

// Runs on a logged-in `link` until `stop` (or, with once, until nothing due
// is left). `relogin` logs in again after a lost connection (not with once).
// Returns kExitOk, kExitUsage (no such folder), kExitConnectionLost (once:
// the connection ended) or kExitCommandFileFailed (once: a file got no
// answer).
int runCommandFiles(link::ServerLink& link, model::Mirror& mirror,
                    const RunCommandFilesOptions& options, CtlStreams streams,
                    const std::atomic<bool>& stop, const std::function<bool()>& relogin);

} // namespace mirx::ctl
