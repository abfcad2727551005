// A logged-in console left alone: the link against `ondrel-sim --demo`, run
// as a child process so only the console's own threads are measured. After
// the configuration download has settled, the process's CPU time over a
// stretch of wall time (30 s unless `--seconds N` says otherwise) is printed
// last, as a percentage of one core (goal: at most 0.02 %). The link keeps
// its status request every second, as it does when logged in.
#include "bench/simulator_child.h"
#include "core/debug_log.h"
#include "link/mirror_dispatch.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/mirror.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace mirx;
using namespace std::chrono_literals;

constexpr double kGoalPercent = 0.02;
// Long enough for the demo site's configuration to arrive and be stored.
constexpr auto kSettle = 3s;

} // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--seconds") {
            seconds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    struct SilentSink final : log::LineSink {
        void write(std::string_view) override {}
    } silent;
    log::setDebuggerSink(&silent);

    const std::string outPath = "/tmp/bench_idle_sim_" + std::to_string(::getpid()) + ".out";
    const pid_t sim = bench::startSimulator(MIRX_SIM_PROGRAM, "--demo", outPath);
    const std::uint32_t port = sim > 0 ? bench::waitForPort(outPath, 5s) : 0;
    int status = 1;
    if (port == 0) {
        std::fprintf(stderr, "idle: ondrel-sim did not start\n");
    } else {
        link::MemorySettingsStore store;
        store.set(link::kServerIPAddress.name, std::string("127.0.0.1"));
        store.set(link::kDataIpPort.name, port);
        model::Mirror mirror;
        link::MirrorDispatch dispatch(mirror);
        link::LinkServices services;
        services.settings = &store;
        services.model = &dispatch;
        link::ServerLink link(services);
        if (!link.Connect("admin", "admin")) {
            std::fprintf(stderr, "idle: login failed: %s\n", link.errorText().c_str());
        } else {
            std::this_thread::sleep_for(kSettle);
            const double cpuBefore = bench::cpuSeconds();
            const auto wallBefore = std::chrono::steady_clock::now();
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            const double cpu = bench::cpuSeconds() - cpuBefore;
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore)
                    .count();
            const bool stillLoggedIn = link.loggedIn();
            link.StopLink();
            if (!stillLoggedIn) {
                std::fprintf(stderr, "idle: the link ended while idle\n");
            } else {
                std::printf("idle: logged in and idle for %.1f s: %.3f ms CPU\n", wall, cpu * 1e3);
                std::printf("idle: %.4f %% of one core (goal <= %.2f %%)\n", 100.0 * cpu / wall,
                            kGoalPercent);
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
