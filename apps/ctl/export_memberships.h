#pragma once

#include "apps/ctl/export_site.h"

#include <atomic>
#include <optional>
#include <string>

namespace mirx::commandfiles {
class AnswerGuard;
}

// mirx-ctl export --memberships: who belongs to which party line and fixed
// group, and the blocked and forced listens of every client, fetched under
// the answer guard with at most one request per kind of answer outstanding.

namespace mirx::ctl {

// The sections the memberships add to the document.
inline constexpr std::string_view kMembershipSections[] = {
    "partyLines",
    "fixedGroups",
    "blockedListens",
    "forcedListens",
};

// Asks for the membership of every party line and fixed group of local
// system 0 and the listen sets of every client in `clients`, and fills
// those four maps of `site`. Empty records are left out: the server answers
// the same for them as for one it never held. False, with `error` set, when
// an answer did not come or could not be read whole.
bool fetchMemberships(link::ServerLink& link, model::Mirror& mirror,
                      commandfiles::AnswerGuard& guard, const std::vector<ClientRef>& clients,
                      const ExportOptions& options, const std::atomic<bool>& stop, site::Site& site,
                      std::string& error);

} // namespace mirx::ctl
