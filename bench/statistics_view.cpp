// The client statistics view open on the largest site (1000 clients,
// `ondrel-sim --generate-max` as a child process, so only the console's own
// threads are measured), refreshed every second on the offscreen platform.
// After the view has settled, the process's CPU time over a stretch of wall
// time (30 s unless `--seconds N` says otherwise) is printed last, as a
// share of one core (goal: at most 2 %).
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
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <QApplication>
#include <QTimer>

extern char** environ;

namespace {

using namespace mirx;
using namespace std::chrono_literals;

constexpr double kGoalPercent = 2.0;
// The first refreshes build the rows and measure the names once.
constexpr int kSettleMs = 3000;

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

pid_t startSimulator(const std::string& outPath) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = MIRX_SIM_PROGRAM;
    char* args[] = {program.data(), const_cast<char*>("--generate-max"),
                    const_cast<char*>("--quiet"), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args, environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out);
    return pid;
}

std::uint32_t waitForPort(const std::string& outPath) {
    for (int i = 0; i < 200; ++i) {
        std::this_thread::sleep_for(50ms);
        if (FILE* f = std::fopen(outPath.c_str(), "r")) {
            char line[256];
            unsigned port = 0;
            while (std::fgets(line, sizeof line, f) != nullptr) {
                if (std::sscanf(line, "listening on 127.0.0.1:%u", &port) == 1) {
                    break;
                }
            }
            std::fclose(f);
            if (port != 0) {
                return port;
            }
        }
    }
    return 0;
}

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
    const pid_t sim = startSimulator(outPath);
    const std::uint32_t port = sim > 0 ? waitForPort(outPath) : 0;

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
                cpuBefore = cpuSeconds();
                refreshesBefore = view->refreshCount();
                wallBefore = std::chrono::steady_clock::now();
                QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &app, &QApplication::quit);
            });
            app.exec();
            const double cpu = cpuSeconds() - cpuBefore;
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
