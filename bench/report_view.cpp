// The selector assignments report view on the largest site (1000 clients,
// one selector request each, answered on 127.0.0.1 by the simulator in this
// process), on the offscreen platform: from opening the view to its
// finished text, against as many blocking raw loopback ping-pongs of the
// same sizes, interleaved. Medians are printed; the last line gives the
// ratio (goal <= 3: the view takes each answer as the link stores it).
#include "bench/interleaved.h"
#include "bench/loopback_pair.h"
#include "bench/served_site.h"
#include "core/debug_log.h"
#include "core/wire_frame.h"
#include "link/console_link.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "monitor/report_dialogs.h"
#include "reports/selector_gathering.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"
#include "sim/demo_site.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

using namespace mirx;

constexpr int kRounds = 7;
constexpr int kGiveUpMs = 60000;

// Opens the view, runs the event loop until its text is there, closes it;
// the text's length, 0 when it did not come.
std::size_t gatherInView(shell::ShellContext& context) {
    monitor::CReportSelectorAssignmentsDlg view(context);
    view.show();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (view.gathered() || view.closed()) {
            loop.quit();
        }
    });
    check.start(1);
    QTimer::singleShot(kGiveUpMs, &loop, &QEventLoop::quit);
    loop.exec();
    const std::size_t size = view.gathered() ? view.reportText().size() : 0;
    view.accept();
    return size;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    struct SilentSink final : log::LineSink {
        void write(std::string_view) override {}
    } silent;
    log::setDebuggerSink(&silent);
    ServedSite f(sim::maxSite());
    link::LinkServices services;
    services.settings = &f.store;
    link::ConsoleLink console(services);
    shell::MessageBoxPrompter prompter;
    shell::ShellContext context{f.store, console.link(), console.mirror(), prompter, {}, false, {},
                                {},      nullptr,        nullptr};
    if (!console.link().Connect("admin", "admin")) {
        std::fprintf(stderr, "report_view: login failed: %s\n", console.link().errorText().c_str());
        return 1;
    }

    // One ping-pong of each answer's size per answer.
    const auto clients = console.mirror().read(
        [](const model::MirrorData& d) { return reports::selectorReportClients(d.labels); });
    std::map<std::size_t, int> answers;
    for (const int client : clients) {
        const auto own = f.site.selectors.find(client);
        const auto& record = own != f.site.selectors.end() ? own->second : f.site.defaultSelectors;
        ++answers[wire::kFrameOverhead + record.wireLength()];
    }
    PingPongMix pingPongs(wire::kFrameOverhead, answers);

    std::size_t textSize = 0;
    std::vector<Measure> measures = {
        {"report view, selectors",
         [&] {
             return timed([&] { textSize = gatherInView(context); });
         }},
        pingPongs.blocking(),
    };
    runInterleaved(measures, kRounds);
    console.link().StopLink();
    log::setDebuggerSink(nullptr);
    if (textSize == 0) {
        std::fprintf(stderr, "report_view: the view did not finish its text\n");
        return 1;
    }
    const double run = measures[0].median();
    const double raw = measures[1].median();
    // A loaded machine scatters the medians; the fastest rounds less.
    const auto fastest = [](const Measure& m) {
        return *std::min_element(m.seconds.begin(), m.seconds.end());
    };
    std::printf(
        "report_view: selector assignments of %zu clients (%zu bytes of text) in %.1f ms "
        "= %.2fx %zu blocking raw ping-pongs on one core (%.1f ms; goal <= 3); fastest rounds "
        "%.2fx\n",
        clients.size(), textSize, run * 1e3, run / raw, clients.size(), raw * 1e3,
        fastest(measures[0]) / fastest(measures[1]));
    return 0;
}
