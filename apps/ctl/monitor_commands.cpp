#include "apps/ctl/monitor_commands.h"

#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/wait_for_answer.h"
#include "core/ascii.h"
#include "core/message_ids.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "model/system_status.h"
#include "model/typed_text.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <ostream>

namespace mirx::ctl {
namespace {

using namespace std::chrono_literals;

// The view refreshes once a second; so do the two samples here.
constexpr auto kSampleSpacing = 1s;

int noAnswer(CtlSession& s, const char* what) {
    s.link.StopLink();
    if (s.stop.load()) {
        return kExitInterrupted;
    }
    if (!s.link.connected() && !s.link.errorText().empty()) {
        s.streams.err << "mirx-ctl: the connection to the server was lost\n";
        return kExitConnectionLost;
    }
    s.streams.err << "mirx-ctl: the server did not answer the " << what << " request\n";
    return kExitNoAnswer;
}

// `text` writes the list in a format, or gives nothing for an unknown one.
int print(CtlSession& s,
          const std::function<std::optional<std::string>(std::string_view format)>& text) {
    s.link.StopLink();
    const auto printed = text(s.options.format.empty() ? "table" : s.options.format);
    if (!printed) {
        s.streams.err << "mirx-ctl: unknown format " << s.options.format << "\n";
        return kExitUsage;
    }
    s.streams.out << *printed;
    s.streams.out.flush();
    return kExitOk;
}

// Sleeps `spacing`, waking early only for `stop`.
bool pause(const link::ServerLink& link, std::chrono::steady_clock::duration spacing,
           const std::atomic<bool>& stop) {
    const auto until = std::chrono::steady_clock::now() + spacing;
    std::uint64_t seen = link.ChangeCount();
    while (std::chrono::steady_clock::now() < until) {
        if (stop.load() || !link.connected()) {
            return false;
        }
        link.WaitForChange(seen, link::ServerLink::kAbortCheckMs);
    }
    return true;
}

} // namespace

std::vector<reports::StatisticsRow> sortedByFirstColumn(std::vector<reports::StatisticsRow> rows) {
    // What compareStatisticsRows(a, b, 0) looks at: the type class, the name
    // case-blind, the client index. A thousand rows sort fastest as small
    // keys holding the name's first 16 bytes, folded and big-endian, so most
    // names compare as two integers; equal prefixes (or a byte 0 inside a
    // name) fall back to comparing the names themselves.
    struct Key {
        int typeClass;
        int clientIndex;
        std::uint64_t high;
        std::uint64_t low;
        std::size_t position;
    };
    std::vector<Key> keys;
    keys.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const reports::StatisticsRow& row = rows[i];
        const std::string_view name = row.cell(reports::StatisticsColumn::Client);
        std::uint64_t prefix[2] = {0, 0};
        for (std::size_t k = 0; k < 16; ++k) {
            const auto byte = k < name.size()
                                  ? static_cast<unsigned char>(text::lowerAscii(name[k]))
                                  : std::uint64_t{0};
            prefix[k / 8] |= static_cast<std::uint64_t>(byte) << (8 * (7 - k % 8));
        }
        keys.push_back({row.typeClass, row.clientIndex, prefix[0], prefix[1], i});
    }
    const auto name = [&rows](const Key& key) {
        return rows[key.position].cell(reports::StatisticsColumn::Client);
    };
    std::sort(keys.begin(), keys.end(), [&name](const Key& a, const Key& b) {
        if (a.typeClass != b.typeClass) {
            return a.typeClass < b.typeClass;
        }
        if (a.high != b.high) {
            return a.high < b.high;
        }
        if (a.low != b.low) {
            return a.low < b.low;
        }
        if (const int names = model::compareCaseBlind(name(a), name(b)); names != 0) {
            return names < 0;
        }
        return a.clientIndex < b.clientIndex;
    });
    // Each row moves once, along the cycles of the order, without a second
    // list: keys[i].position is the row that belongs at i, and i once placed.
    for (std::size_t start = 0; start < keys.size(); ++start) {
        if (keys[start].position == start) {
            continue;
        }
        reports::StatisticsRow held = std::move(rows[start]);
        std::size_t slot = start;
        while (keys[slot].position != start) {
            const std::size_t from = keys[slot].position;
            rows[slot] = std::move(rows[from]);
            keys[slot].position = slot;
            slot = from;
        }
        rows[slot] = std::move(held);
        keys[slot].position = slot;
    }
    return rows;
}

std::optional<std::string> statisticsText(std::vector<reports::StatisticsRow> rows,
                                          std::string_view format) {
    const std::vector<reports::StatisticsRow> sorted = sortedByFirstColumn(std::move(rows));
    return formatTextTable(reports::statisticsTableView(sorted, false), format);
}

std::optional<std::string> formatTextTable(const reports::TextTableView& table,
                                           std::string_view format) {
    if (format == "table") {
        return reports::alignedText(table);
    }
    if (format == "csv") {
        return reports::csvText(table);
    }
    if (format == "json") {
        return reports::jsonText(table);
    }
    return std::nullopt;
}

bool requestStatistics(link::ServerLink& link, model::Mirror& mirror, const std::atomic<bool>& stop,
                       int timeoutMs) {
    model::ChangeCursor answers(mirror.flags().statistics);
    const auto request = model::encodeStatisticsRequest();
    return link.requestQueue().PostCopy(msg::ADMIN_CLIENT_STATISTICS_REQUEST, 0, request.data(),
                                        request.size()) &&
           waitForAnswer([&] { return answers.take(); }, link, timeoutMs, stop);
}

std::optional<std::vector<reports::StatisticsRow>>
fetchStatisticsRows(link::ServerLink& link, model::Mirror& mirror,
                    reports::StatisticsHistory& history, const reports::StatisticsFilter& filter,
                    const std::atomic<bool>& stop, int timeoutMs) {
    if (!requestStatistics(link, mirror, stop, timeoutMs)) {
        return std::nullopt;
    }
    return mirror.read([&](const model::MirrorData& d) {
        return reports::refreshStatistics(d.labels, d.statistics, history, filter, false);
    });
}

std::optional<std::vector<reports::SipRow>> fetchSipRows(link::ServerLink& link,
                                                         model::Mirror& mirror, bool externalOnly,
                                                         const std::atomic<bool>& stop,
                                                         int timeoutMs) {
    model::ArrivalFlag& arrived = mirror.flags().sipRegistrations;
    arrived.take();
    const auto request = model::encodeSipRegistrationsRequest();
    if (!link.requestQueue().PostCopy(msg::ADMIN_SIP_REGISTRATIONS_REQUEST, 0, request.data(),
                                      request.size()) ||
        !waitForAnswer([&] { return arrived.take(); }, link, timeoutMs, stop)) {
        return std::nullopt;
    }
    const std::string server = reports::serverContactText(
        link.systemSettings(), link.status().get(model::SystemStatus::kFailoverState));
    return mirror.read([&](const model::MirrorData& d) {
        return reports::sipRegistrationRows(d.sipRegistrations, externalOnly, server);
    });
}

int statisticsCommand(CtlSession& s) {
    reports::StatisticsFilter filter;
    filter.unusedClients = s.options.unused;
    reports::StatisticsHistory history;
    // The first sample gives the counters the per-second figures start from.
    if (!fetchStatisticsRows(s.link, s.mirror, history, filter, s.stop)) {
        return noAnswer(s, "statistics");
    }
    if (!pause(s.link, kSampleSpacing, s.stop)) {
        return noAnswer(s, "statistics");
    }
    auto rows = fetchStatisticsRows(s.link, s.mirror, history, filter, s.stop);
    if (!rows) {
        return noAnswer(s, "statistics");
    }
    return print(s,
                 [&](std::string_view format) { return statisticsText(std::move(*rows), format); });
}

int sipRegistrationsCommand(CtlSession& s) {
    const bool externalOnly = !s.options.all;
    if (externalOnly) {
        // The failover state in the status record decides which server
        // address is the server's own; it comes once a second.
        if (!waitForAnswer([&] { return s.link.takeStatusChanged(); }, s.link,
                           kMonitorAnswerTimeoutMs, s.stop)) {
            return noAnswer(s, "status");
        }
    }
    const auto rows = fetchSipRows(s.link, s.mirror, externalOnly, s.stop);
    if (!rows) {
        return noAnswer(s, "SIP registrations");
    }
    const reports::TextTable table = reports::sipTextTable(*rows);
    return print(s, [&](std::string_view format) {
        return formatTextTable(reports::viewOf(table), format);
    });
}

} // namespace mirx::ctl
