#pragma once

#include "apps/ctl/ctl_commands.h"

#include <optional>
#include <string>
#include <vector>

namespace mirx::model {
class Mirror;
}
namespace mirx::site {
struct Site;
}

// mirx-ctl check: the console's scan pass over command files, without a
// server. Client names resolve against an exported site document when one
// is given (docs/command-files.md).

namespace mirx::ctl {

struct CheckOptions {
    std::vector<std::string> files;
    // A site document as `mirx-ctl export` writes it.
    std::optional<std::string> config;
};

// The labels and credentials of `site`, stored as the link stores them when
// the server sends them.
void loadSiteIntoMirror(const site::Site& site, model::Mirror& mirror);

// Prints every problem as "FILE:LINE: message" and, for a valid file, its
// description, processing time and commands. kExitOk when every file is
// valid, kExitCommandFileInvalid when one is not, kExitUsage when the site
// document cannot be read.
int checkCommandFiles(const CheckOptions& options, CtlStreams streams);

} // namespace mirx::ctl
