#pragma once

#include "link/server_link.h"
#include "model/mirror.h"
#include "site/site.h"

#include <atomic>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// mirx-ctl export: the mirrored configuration as a stable JSON document
// (docs/export.md).

namespace mirx::ctl {

struct ExportOptions {
    bool includePasswords = false;
    // Party line and fixed group membership, blocked and forced listens.
    bool memberships = false;
    // Per-record answer time before the export gives up.
    int answerTimeoutMs = 5000;
};

// A client of local system 0 as the label walk found it.
struct ClientRef {
    int index;
    int labelNumber;
};

// The enumerated clients of local system 0, in label order. A label the
// walk does not reach (its index is outside the client map) is not among
// them, so no request ever names a client index the server cannot hold.
std::vector<ClientRef> localClients(const model::MirrorData& d);

// The configuration part of the mirror as a site: the enumerated labels,
// credentials, defaults, the records of `clients` held, systems and
// settings. Link-level facts (trunking mode, server version) are not set.
site::Site mirroredSite(const model::MirrorData& d, const std::vector<ClientRef>& clients,
                        bool includePasswords);

// Fetches the per-client options and audio settings through `link` (one
// request in flight at a time), with `options.memberships` also every
// membership and listen set, and gathers the mirrored configuration.
// Nothing, with `error` set, when an answer did not come.
std::optional<site::Site> fetchSite(link::ServerLink& link, model::Mirror& mirror,
                                    const ExportOptions& options, const std::atomic<bool>& stop,
                                    std::string& error);

// The document, written as it is made: the largest site never sits in
// memory as text or as a JSON tree.
void writeExport(const site::Site& site, std::ostream& out, bool memberships = false);

} // namespace mirx::ctl
