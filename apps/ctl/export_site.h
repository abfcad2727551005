#pragma once

#include "link/server_link.h"
#include "model/mirror.h"
#include "site/site.h"

#include <atomic>
#include <optional>
#include <ostream>
#include <string>

// mirx-ctl export: the mirrored configuration as a stable JSON document
// (docs/export.md).

namespace mirx::ctl {

struct ExportOptions {
    bool includePasswords = false;
    // Per-record answer time before the export gives up.
    int answerTimeoutMs = 5000;
};

// Fetches the per-client options and audio settings through `link` (one
// request in flight at a time) and gathers the mirrored configuration.
// Nothing, with `error` set, when an answer did not come.
std::optional<site::Site> fetchSite(link::ServerLink& link, model::Mirror& mirror,
                                    const ExportOptions& options, const std::atomic<bool>& stop,
                                    std::string& error);

// The document, written as it is made: the largest site never sits in
// memory as text or as a JSON tree.
void writeExport(const site::Site& site, std::ostream& out);

} // namespace mirx::ctl
