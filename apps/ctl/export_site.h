#pragma once

#include "link/server_link.h"
#include "model/mirror.h"

#include <atomic>
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
// request in flight at a time), then renders the document. Empty with
// `error` set when an answer did not come.
std::string exportSite(link::ServerLink& link, model::Mirror& mirror, const ExportOptions& options,
                       const std::atomic<bool>& stop, std::string& error);

} // namespace mirx::ctl
