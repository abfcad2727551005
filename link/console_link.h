#pragma once

#include "link/mirror_dispatch.h"
#include "link/server_link.h"
#include "model/mirror.h"

#include <memory>
#include <string>
#include <vector>

// The link as every program wires it: the mirror the connection thread
// fills, the dispatch that routes records into it, and the server link.

namespace mirx::link {

class ConsoleLink {
public:
    // `services.model` is replaced by this object's dispatch.
    explicit ConsoleLink(LinkServices services);
    ~ConsoleLink();
    ConsoleLink(const ConsoleLink&) = delete;
    ConsoleLink& operator=(const ConsoleLink&) = delete;

    model::Mirror& mirror() { return mirror_; }
    ServerLink& link() { return *link_; }

private:
    model::Mirror mirror_;
    MirrorDispatch dispatch_{mirror_};
    // Last, so it is gone (and its connection thread with it) before the
    // mirror that thread writes into.
    std::unique_ptr<ServerLink> link_;
};

// The services of an installed program: this console's version, updates
// under $TMPDIR, the installer relaunching `ownCommandLine`.
LinkServices programServices(SettingsStore& settings, std::vector<std::string> ownCommandLine);

} // namespace mirx::link
