// `mirx-ctl statistics --format csv` on the largest site (1000 clients):
// one request, its 80 KB answer taken into the history, the rows built,
// sorted and written as CSV, against one raw loopback round trip of the
// same bytes (the request frame out, the answer frame back); the two run in
// turn so the machine's load touches both alike; the round trip with both
// ends on one core, its fastest (an unpinned one is fast or several times
// slower as the scheduler places it). The login is not part of
// it: the command's own work is what repeats. The command's three parts
// are also timed on their own, in the same rounds, so a slow result shows
// where its time went. Prints the ratio last (goal: at most 5).
#include "apps/ctl/monitor_commands.h"
#include "bench/interleaved.h"
#include "bench/loopback_pair.h"
#include "bench/served_site.h"
#include "core/debug_log.h"
#include "core/wire_frame.h"
#include "link/console_link.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "model/statistics.h"
#include "reports/client_statistics.h"
#include "sim/demo_site.h"

#include <atomic>
#include <cstdio>

namespace {

using namespace mirx;

constexpr int kRounds = 21;
constexpr double kGoal = 5.0;

} // namespace

int main() {
    struct SilentSink final : log::LineSink {
        void write(std::string_view) override {}
    } silent;
    log::setDebuggerSink(&silent);

    ServedSite served(sim::maxSite());
    link::LinkServices services;
    services.settings = &served.store;
    link::ConsoleLink console(services);
    model::Mirror& mirror = console.mirror();
    link::ServerLink& link = console.link();
    if (!link.Connect("admin", "admin")) {
        std::fprintf(stderr, "statistics_csv: login failed: %s\n", link.errorText().c_str());
        return 1;
    }
    const std::atomic<bool> stop{false};
    reports::StatisticsHistory history;
    std::size_t csvBytes = 0;
    std::size_t rowCount = 0;
    bool failed = false;
    const auto command = [&] {
        auto rows = ctl::fetchStatisticsRows(link, mirror, history, {}, stop);
        if (!rows) {
            failed = true;
            return;
        }
        rowCount = rows->size();
        const auto csv = ctl::statisticsText(std::move(*rows), "csv");
        csvBytes = csv ? csv->size() : 0;
        failed = failed || !csv;
    };
    command(); // the first sample only primes the history
    RawPingPong raw(wire::kFrameOverhead + 2, wire::kFrameOverhead + model::StatisticsTable::kSize);
    raw.keepOnCoreZero();
    std::vector<reports::StatisticsRow> rows;
    std::vector<Measure> measures = {
        {"  fetch",
         [&] {
             return timed([&] { failed |= !ctl::requestStatistics(link, mirror, stop); });
         }},
        {"  rows",
         [&] {
             return timed([&] {
                 rows = mirror.read([&](const model::MirrorData& d) {
                     return reports::refreshStatistics(d.labels, d.statistics, history, {}, false);
                 });
             });
         }},
        {"  sort, cells, CSV",
         [&] {
             return timed([&] { failed |= !ctl::statisticsText(std::move(rows), "csv"); });
         }},
        {"statistics as CSV",
         [&] {
             return timed(command);
         }},
        {"raw loopback round trip",
         [&] {
             const OnCoreZero pinned;
             return timed([&] { raw.exchange(); });
         }},
    };
    runInterleaved(measures, kRounds);
    link.StopLink();
    log::setDebuggerSink(nullptr);
    const double ours = measures[3].median();
    const double yardstick = measures[4].median();
    if (failed || ours <= 0 || yardstick <= 0) {
        std::fprintf(stderr, "statistics_csv: a measurement failed\n");
        return 1;
    }
    std::printf("statistics_csv: %zu rows, %zu bytes of CSV in %.3f ms = %.2fx one raw loopback "
                "round trip of the same bytes (%.3f ms; goal <= %.0f)\n",
                rowCount, csvBytes, ours * 1e3, ours / yardstick, yardstick * 1e3, kGoal);
    return 0;
}
