#include "apps/ctl/export_site.h"

#include "apps/ctl/export_memberships.h"
#include "apps/ctl/wait_for_answer.h"
#include "commandfiles/answer_guard.h"
#include "link/message_catalogue.h"
#include "link/server_connection_handler.h"
#include "model/label_info.h"
#include "model/selector_assignments.h"
#include "site/scenario.h"

#include <algorithm>
#include <chrono>
#include <functional>

namespace mirx::ctl {
namespace {

// The sections of the site document that describe the configuration; the
// rest of it (status, statistics, logs) is the simulator's business.
constexpr std::string_view kExportedSections[] = {
    "format",    "labels",  "credentials",    "masterAdministrator",   "options", "audio",
    "selectors", "systems", "systemSettings", "userInterfaceSettings", "server",
};

// The meaningful bytes only: the store's buffer keeps whatever a longer
// record left beyond them.
model::SelectorAssignments cleanSelectors(const model::SelectorAssignments& received) {
    model::SelectorAssignments record;
    record.assignPrefix(received.wire());
    return record;
}

// The default record, then each client's; a client whose answer is the
// default record byte for byte is left to the defaults, which the server
// treats alike.
bool fetchSelectors(link::ServerLink& link, model::Mirror& mirror,
                    const std::vector<ClientRef>& clients, const ExportOptions& options,
                    const std::atomic<bool>& stop, site::Site& site, std::string& error) {
    model::ClientStore& flags = mirror.clientFlags();
    // The record as its answer brought it.
    std::optional<model::SelectorAssignments> fetched;
    const auto fetch = [&](std::uint16_t second) {
        fetched.reset();
        model::SelectorAnswerWait answer(second);
        const auto ask = [&] {
            answer.asking(flags);
            link.requestQueue().PostCopy(msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST, second, nullptr,
                                         0);
        };
        ask();
        // As the views: a record another client's answer displaced is asked
        // for again.
        return waitForAnswer(
            [&] {
                if (!answer.answered(flags)) {
                    return false;
                }
                fetched = mirror.read([&](const model::MirrorData& d) {
                    return d.clients.selectorAssignmentsFor(second);
                });
                if (!fetched) {
                    ask();
                }
                return fetched.has_value();
            },
            link, options.answerTimeoutMs, stop);
    };
    if (!fetch(model::kDefaultRecordSecondValue)) {
        error = "no default selector assignments arrived";
        return false;
    }
    site.defaultSelectors = cleanSelectors(*fetched);
    for (const ClientRef& client : clients) {
        if (!fetch(static_cast<std::uint16_t>(client.index))) {
            error = "no selector assignments arrived for client " + std::to_string(client.index);
            return false;
        }
        const model::SelectorAssignments record = cleanSelectors(*fetched);
        if (!record.sameWire(site.defaultSelectors)) {
            site.selectors[client.index] = record;
        }
    }
    return true;
}

} // namespace

std::vector<ClientRef> localClients(const model::MirrorData& d) {
    std::vector<ClientRef> clients;
    int reference = -1;
    while (d.labels.Next(reference, static_cast<int>(model::LabelKind::Client), false) != -1) {
        const model::LabelInfo* label = d.labels.Find(reference);
        if (label == nullptr) {
            continue;
        }
        const int index = label->get(model::LabelInfo::kIndex);
        if (index >= 0 && static_cast<std::size_t>(index) < model::kClientsPerSystem) {
            clients.push_back({index, reference});
        }
    }
    return clients;
}

site::Site mirroredSite(const model::MirrorData& d, const std::vector<ClientRef>& clients,
                        bool includePasswords) {
    site::Site site;
    d.labels.ForEachLabel([&](const model::LabelInfo& label) {
        site.labels[label.get(model::LabelInfo::kLabelNumber)] = label;
    });
    const auto count = static_cast<int>(d.clients.credentialsCount());
    for (int i = 0; i < count; ++i) {
        auto record = d.clients.credentials(i);
        if (record && !record->get(model::ClientCredentials::kLoginName).empty()) {
            if (!includePasswords) {
                record->set(model::ClientCredentials::kPassword, "");
            }
            site.credentials[i] = *record;
        }
    }
    if (auto master = d.clients.credentials(-1)) {
        if (!includePasswords) {
            master->set(model::ClientCredentials::kPassword, "");
        }
        site.masterAdministrator = *master;
    }
    site.defaultOptions = d.clients.options(-1).value_or(site.defaultOptions);
    site.sipDefaultOptions = d.clients.options(-2).value_or(site.sipDefaultOptions);
    site.defaultAudio = d.clients.audio(-1).value_or(site.defaultAudio);
    for (const ClientRef& client : clients) {
        if (auto o = d.clients.options(client.index)) {
            site.options[client.index] = *o;
        }
        if (auto a = d.clients.audio(client.index)) {
            site.audio[client.index] = *a;
        }
    }
    for (std::size_t i = 0; i < d.labels.SystemCount(); ++i) {
        site.systems.push_back(d.labels.System(i));
    }
    site.systemSettings = d.systemSettings;
    site.userInterfaceSettings = d.userInterfaceSettings;
    return site;
}

std::optional<site::Site> fetchSite(link::ServerLink& link, model::Mirror& mirror,
                                    const ExportOptions& options, const std::atomic<bool>& stop,
                                    std::string& error) {
    const auto clients = mirror.read([](const model::MirrorData& d) { return localClients(d); });

    site::Site site;
    model::ClientStore& flags = mirror.clientFlags();
    // One request in flight at a time: an answer is known by its ID alone.
    for (const ClientRef& client : clients) {
        const auto index = static_cast<std::uint16_t>(client.index);
        flags.TakeOptionsReceived();
        link.requestQueue().PostCopy(msg::ADMIN_CLIENT_OPTIONS_REQUEST, index, nullptr, 0);
        if (!waitForAnswer([&] { return flags.TakeOptionsReceived(); }, link,
                           options.answerTimeoutMs, stop)) {
            error = "no options arrived for client " + std::to_string(client.index);
            return std::nullopt;
        }
        flags.TakeAudioReceived();
        link.requestQueue().PostCopy(msg::ADMIN_AUDIO_SETTINGS_REQUEST, index, nullptr, 0);
        if (!waitForAnswer([&] { return flags.TakeAudioReceived(); }, link, options.answerTimeoutMs,
                           stop)) {
            error = "no audio settings arrived for client " + std::to_string(client.index);
            return std::nullopt;
        }
    }

    site = mirror.read([&](const model::MirrorData& d) {
        return mirroredSite(d, clients, options.includePasswords);
    });
    switch (link.trunkingMode()) {
    case link::TrunkingMode::Rts:
        site.trunkingFlags = 0x1;
        break;
    case link::TrunkingMode::Delec:
        site.trunkingFlags = 0x2;
        break;
    case link::TrunkingMode::None:
        break;
    }
    site.serverVersion = link.handler().Update().ServerVersion();
    if (!fetchSelectors(link, mirror, clients, options, stop, site, error)) {
        return std::nullopt;
    }
    if (options.memberships) {
        // The guard of this run: nothing else here asks for memberships, but
        // the rule that one such request is outstanding at a time holds.
        commandfiles::AnswerGuard guard(mirror.membershipFlags());
        if (!fetchMemberships(link, mirror, guard, clients, options, stop, site, error)) {
            return std::nullopt;
        }
    }

    return site;
}

void writeExport(const site::Site& site, std::ostream& out, bool memberships) {
    site::ScenarioFilter filter;
    filter.sections.assign(std::begin(kExportedSections), std::end(kExportedSections));
    if (memberships) {
        filter.sections.insert(filter.sections.end(), std::begin(kMembershipSections),
                               std::end(kMembershipSections));
    }
    // The console knows neither the server's accounts nor its identifier.
    filter.serverAccounts = false;
    site::writeScenario(site, out, filter);
}

} // namespace mirx::ctl
