// mirx-ctl report selectors on the largest site (1000 clients; one selector
// request each for all but the video sources, answered by ondrel-sim on
// 127.0.0.1): from the first request
// to the finished text, against as many raw loopback ping-pongs of the same
// sizes in the same run, interleaved, with a spinning ping-pong as the
// floor. Medians are printed; the last line gives the ratio to the blocking
// ping-pongs (goal <= 3) and to the floor, and that of the fastest rounds.
// The blocking ping-pong runs with both ends on one core, its fastest: on a
// machine whose idle cores halt, an unpinned one runs on one core (about
// 6 us a turn) or across two (about 40) as the scheduler happens to place
// it, and the slow mode would flatter the report, which is not pinned.
#include "apps/ctl/report_command.h"
#include "bench/interleaved.h"
#include "bench/loopback_pair.h"
#include "bench/served_site.h"
#include "core/debug_log.h"
#include "core/wire_frame.h"
#include "link/console_link.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "reports/selector_gathering.h"
#include "sim/demo_site.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

namespace {

using namespace mirx;

// The report takes three threads a turn, the ping-pong two: on a busy
// machine single rounds scatter widely, so the medians take many.
constexpr int kRounds = 21;

} // namespace

int main() {
    struct SilentSink final : log::LineSink {
        void write(std::string_view) override {}
    } silent;
    log::setDebuggerSink(&silent);
    ServedSite f(sim::maxSite());
    link::LinkServices services;
    services.settings = &f.store;
    link::ConsoleLink console(services);
    model::Mirror& mirror = console.mirror();
    link::ServerLink& link = console.link();
    if (!link.Connect("admin", "admin")) {
        std::fprintf(stderr, "reports: login failed: %s\n", link.errorText().c_str());
        return 1;
    }

    // The answers the report asks for, by size: one ping-pong of that size
    // per answer.
    const auto clients = mirror.read(
        [](const model::MirrorData& d) { return reports::selectorReportClients(d.labels); });
    std::map<std::size_t, int> answers;
    for (const int client : clients) {
        const auto own = f.site.selectors.find(client);
        const auto& record = own != f.site.selectors.end() ? own->second : f.site.defaultSelectors;
        ++answers[wire::kFrameOverhead + record.wireLength()];
    }
    PingPongMix pingPongs(wire::kFrameOverhead, answers);

    const std::atomic<bool> stop{false};
    const std::tm now = reports::reportLocalTime(std::time(nullptr));
    std::optional<ctl::GatheredReport> report;
    std::vector<Measure> measures = {
        {"report selectors",
         [&] {
             return timed([&] {
                 report = ctl::gatherReport(link, mirror, ctl::ReportKind::Selectors, now, stop);
             });
         }},
        pingPongs.blocking(),
        pingPongs.busy(),
    };
    runInterleaved(measures, kRounds);
    link.StopLink();
    log::setDebuggerSink(nullptr);
    if (!report || report->missing != 0 || report->asked != clients.size()) {
        std::fprintf(stderr, "reports: %s\n",
                     !report ? "no report" : "some selector records did not arrive");
        return 1;
    }
    const double run = measures[0].median();
    const double raw = measures[1].median();
    const double floor = measures[2].median();
    const auto fastest = [](const Measure& m) {
        return *std::min_element(m.seconds.begin(), m.seconds.end());
    };
    std::printf("reports: selector assignments of %zu clients (%zu bytes of text) in %.1f ms = "
                "%.2fx %zu blocking raw ping-pongs on one core (%.1f ms; goal <= 3), %.2fx the "
                "busy floor (%.1f ms); fastest rounds %.2fx\n",
                clients.size(), report->text.size(), run * 1e3, run / raw, clients.size(),
                raw * 1e3, run / floor, floor * 1e3, fastest(measures[0]) / fastest(measures[1]));
    return 0;
}
