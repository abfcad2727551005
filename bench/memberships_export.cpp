// mirx-ctl export --memberships on the largest site (200 party lines, 100
// fixed groups, 1000 blocked and 1000 forced listen sets): the membership
// part of the export, fetched through the answer guard from ondrel-sim on
// 127.0.0.1 and written as its four document sections, against as many raw
// loopback ping-pongs of the same sizes in the same run, interleaved, with
// a spinning ping-pong as the floor. The blocking ping-pongs run with both
// ends on one core, their fastest (unpinned, they come out fast or several
// times slower as the scheduler places them). Medians are printed; the last
// line gives the ratio to the blocking ping-pongs (goal <= 3) and to the
// floor.
#include "apps/ctl/export_memberships.h"
#include "apps/ctl/export_site.h"
#include "bench/interleaved.h"
#include "bench/loopback_pair.h"
#include "bench/served_site.h"
#include "commandfiles/answer_guard.h"
#include "core/debug_log.h"
#include "core/wire_frame.h"
#include "link/console_link.h"
#include "link/server_link.h"
#include "model/membership_records.h"
#include "model/mirror.h"
#include "sim/demo_site.h"
#include "site/site_builder.h"

#include <cstdio>
#include <ostream>
#include <streambuf>

namespace {

using namespace mirx;

constexpr int kPartyLines = static_cast<int>(model::kPartyLinesPerSystem);
constexpr int kSets = static_cast<int>(model::kFixedGroupsPerSystem + 2 * model::kClientsPerSystem);
// The largest site's party lines hold ten members each.
constexpr std::size_t kPartyLineAnswer =
    wire::kFrameOverhead + model::PartyLineMembership::entryOffset(10);
constexpr std::size_t kSetAnswer = wire::kFrameOverhead + model::kFixedGroupSetBytes;
constexpr int kRounds = 7;

site::Site largestSiteWithListens() {
    site::Site site = sim::maxSite();
    for (int client = 0; client < static_cast<int>(model::kClientsPerSystem); ++client) {
        site.blockedListens[client] = site::clientSet({(client + 1) % 1000, (client + 500) % 1000});
        site.forcedListens[client] = site::clientSet({(client + 7) % 1000});
    }
    return site;
}

// Counts what the document would hold without keeping it.
struct CountingBuffer final : std::streambuf {
    std::size_t bytes = 0;
    int_type overflow(int_type c) override {
        ++bytes;
        return c;
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        bytes += static_cast<std::size_t>(n);
        return n;
    }
};

} // namespace

int main() {
    struct SilentSink final : log::LineSink {
        void write(std::string_view) override {}
    } silent;
    log::setDebuggerSink(&silent);
    ServedSite f(largestSiteWithListens());
    link::LinkServices services;
    services.settings = &f.store;
    link::ConsoleLink console(services);
    model::Mirror& mirror = console.mirror();
    link::ServerLink& link = console.link();
    if (!link.Connect("admin", "admin")) {
        std::fprintf(stderr, "memberships_export: login failed: %s\n", link.errorText().c_str());
        return 1;
    }
    const auto clients =
        mirror.read([](const model::MirrorData& d) { return ctl::localClients(d); });
    const std::atomic<bool> stop{false};
    commandfiles::AnswerGuard guard(mirror.membershipFlags());
    PingPongMix pingPongs(wire::kFrameOverhead,
                          {{kPartyLineAnswer, kPartyLines}, {kSetAnswer, kSets}});
    std::string error;
    std::size_t documentBytes = 0;
    std::size_t records = 0;
    std::vector<Measure> measures = {
        {"export --memberships",
         [&] {
             return timed([&] {
                 site::Site site;
                 if (!ctl::fetchMemberships(link, mirror, guard, clients, {}, stop, site, error)) {
                     return;
                 }
                 CountingBuffer counter;
                 std::ostream out(&counter);
                 ctl::writeExport(site, out, true);
                 documentBytes = counter.bytes;
                 records = site.partyLines.size() + site.fixedGroups.size() +
                           site.blockedListens.size() + site.forcedListens.size();
             });
         }},
        pingPongs.blocking(),
        pingPongs.busy(),
    };
    runInterleaved(measures, kRounds);
    link.StopLink();
    log::setDebuggerSink(nullptr);
    if (!error.empty() || records != static_cast<std::size_t>(kPartyLines + kSets)) {
        std::fprintf(stderr, "memberships_export: %s (%zu records)\n",
                     error.empty() ? "records missing" : error.c_str(), records);
        return 1;
    }
    const double run = measures[0].median();
    const double blocking = measures[1].median();
    const double floor = measures[2].median();
    std::printf("memberships_export: %d records (%zu bytes of document) in %.1f ms = %.2fx %d "
                "blocking raw ping-pongs (%.1f ms; goal <= 3), %.2fx the busy floor (%.1f ms)\n",
                kPartyLines + kSets, documentBytes, run * 1e3, run / blocking, kPartyLines + kSets,
                blocking * 1e3, run / floor, floor * 1e3);
    return 0;
}
