// The client statistics view open on the largest site (1000 clients,
// `ondrel-sim --generate-max` as a child process, so only the console's own
// threads are measured), refreshed every second on the offscreen platform.
// After the view has settled, the process's CPU time over a stretch of wall
// time (30 s unless `--seconds N` says otherwise) is printed last, as a
// share of one core (goal: at most 2 %).
#include "bench/simulator_child.h"
#include "core/debug_log.h"
#include "link/console_link.h"
#include "link/settings_store.h"
#include "monitor/client_statistics_dialog.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <QApplication>
#include <QTimer>

namespace {

using namespace mirx;
using namespace std::chrono_literals;

constexpr double kGoalPercent = 2.0;
// The first refreshes build the rows and measure the names once.
constexpr int kSettleMs = 3000;

} // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--seconds") {
            seconds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    // Before Qt starts a thread: the child is spawned from a small process.
    const std::string outPath = "/tmp/bench_statistics_view_" + std::to_string(::getpid());
    const pid_t sim = bench::startSimulator(MIRX_SIM_PROGRAM, "--generate-max", outPath);
    const std::uint32_t port = sim > 0 ? bench::waitForPort(outPath, 10s) : 0;

    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    struct SilentSink final : log::LineSink {
        void write(std::string_view) override {}
    } silent;
    log::setDebuggerSink(&silent);

    int status = 1;
    if (port == 0) {
        std::fprintf(stderr, "statistics_view: ondrel-sim did not start\n");
    } else {
        link::MemorySettingsStore store;
        store.set(link::kServerIPAddress.name, std::string("127.0.0.1"));
        store.set(link::kDataIpPort.name, port);
        link::LinkServices services;
        services.settings = &store;
        link::ConsoleLink console(std::move(services));
        shell::MessageBoxPrompter prompter;
        shell::ShellContext context{
            store, console.link(), console.mirror(), prompter, {}, false, {}, {}, nullptr, nullptr};
        if (!console.link().Connect("admin", "admin")) {
            std::fprintf(stderr, "statistics_view: login failed: %s\n",
                         console.link().errorText().c_str());
        } else {
            auto* view = new monitor::CClientStatisticsDlg(context);
            view->show();
            double cpuBefore = 0;
            std::size_t refreshesBefore = 0;
            auto wallBefore = std::chrono::steady_clock::now();
            QTimer::singleShot(kSettleMs, [&] {
                cpuBefore = bench::cpuSeconds();
                refreshesBefore = view->refreshCount();
                wallBefore = std::chrono::steady_clock::now();
                QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &app, &QApplication::quit);
            });
            app.exec();
            const double cpu = bench::cpuSeconds() - cpuBefore;
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore)
                    .count();
            const std::size_t refreshes = view->refreshCount() - refreshesBefore;
            const std::size_t rows = view->model()->rows().size();
            const bool loggedIn = console.link().loggedIn();
            delete view;
            console.link().StopLink();
            if (!loggedIn || refreshes == 0) {
                std::fprintf(stderr, "statistics_view: the view did not refresh\n");
            } else {
                const double share = 100.0 * cpu / wall;
                std::printf("statistics_view: %zu rows, %zu refreshes in %.1f s: %.1f ms CPU\n",
                            rows, refreshes, wall, cpu * 1e3);
                std::printf("statistics_view: %.2f %% of one core = %.2fx the goal (goal <= %.0f "
                            "%%)\n",
                            share, share / kGoalPercent, kGoalPercent);
                status = 0;
            }
        }
    }
    if (sim > 0) {
        ::kill(sim, SIGTERM);
        ::waitpid(sim, nullptr, 0);
    }
    std::remove(outPath.c_str());
    log::setDebuggerSink(nullptr);
    return status;
}
