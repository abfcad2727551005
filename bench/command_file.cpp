// 1000 blocked-listen SET commands run by the command file scheduler against
// ondrel-sim on 127.0.0.1, from the moment they are due until the last file
// is deleted, against 1000 raw loopback ping-pongs of the same sizes in the
// same run. One file holds at most 10,000 characters, so the commands are
// spread over five files of 200, all due at the same time. The scheduler is
// driven as the console drives it: the response tick as often as
// responsePollMs() asks. The last line printed is the ratio (goal: within 5x).
#include "bench/loopback_pair.h"
#include "bench/quiet_run.h"
#include "bench/ratio_reporter.h"
#include "bench/served_site.h"
#include "commandfiles/answer_guard.h"
#include "commandfiles/command_files.h"
#include "core/debug_log.h"
#include "core/wire_frame.h"
#include "link/mirror_dispatch.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/membership_records.h"
#include "model/mirror.h"
#include "sim/demo_site.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace mirx;
namespace fs = std::filesystem;

constexpr int kFiles = 5;
constexpr int kCommandsPerFile = 200;
constexpr int kCommands = kFiles * kCommandsPerFile;
// Per command the console sends a request and an update and receives an
// answer; the yardstick sends both frames' bytes and receives the answer's.
constexpr std::size_t kSetFrameBytes = wire::kFrameOverhead + model::kFixedGroupSetBytes;
constexpr std::size_t kPingBytes = wire::kFrameOverhead + kSetFrameBytes;
constexpr std::size_t kPongBytes = kSetFrameBytes;

struct SimFixture : ServedSite {
    SimFixture()
        : ServedSite(sim::demoSite()) {
        folder = fs::temp_directory_path() / ("mirx-bench-cf-" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    ~SimFixture() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path folder;
};

SimFixture& fixture() {
    static SimFixture f;
    return f;
}

void writeFiles(const fs::path& folder) {
    for (int file = 0; file < kFiles; ++file) {
        std::string text = "TIME_ABSOLUTE: 08:00:00 01-02-2020\r\n";
        for (int i = 0; i < kCommandsPerFile; ++i) {
            const int n = file * kCommandsPerFile + i;
            text += "BLOCKED_LISTEN: SET _client." + std::to_string(n % 1000) + "_ x _client." +
                    std::to_string((n * 7 + 1) % 1000) + "_\r\n";
        }
        std::ofstream(folder / ("bench-" + std::to_string(file) + ".txt"), std::ios::binary)
            << text;
    }
}

void BM_CommandFile(benchmark::State& state) {
    SimFixture& f = fixture();
    model::Mirror mirror;
    link::MirrorDispatch dispatch(mirror);
    link::LinkServices services;
    services.settings = &f.store;
    services.model = &dispatch;
    link::ServerLink link(services);
    if (!link.Connect("admin", "admin")) {
        state.SkipWithError("login failed");
        return;
    }
    commandfiles::AnswerGuard guard(mirror.membershipFlags());
    commandfiles::CCommandFiles files(f.folder, {mirror, &link.requestQueue()}, guard,
                                      commandfiles::probeLink(link));
    for (auto _ : state) {
        writeFiles(f.folder);
        files.CheckFileUpdates();
        const auto start = std::chrono::steady_clock::now();
        bool responding = files.CheckFileProcessing();
        while (responding) {
            responding = files.ResponseTick();
            if (files.responsePollMs() != 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(files.responsePollMs()));
            }
        }
        const auto end = std::chrono::steady_clock::now();
        if (!fs::is_empty(f.folder) || !files.rows().empty()) {
            state.SkipWithError("the files did not all finish");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    link.StopLink();
}

// The same number of exchanges over a bare loopback connection.
void BM_RawPingPong(benchmark::State& state) {
    RawPingPong yardstick(kPingBytes, kPongBytes);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kCommands; ++i) {
            yardstick.exchange();
        }
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

BENCHMARK(BM_CommandFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_RawPingPong)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace

int main(int argc, char** argv) {
    RatioReporter reporter;
    runQuietly(argc, argv, reporter);
    const double ratio = reporter.ratio("BM_CommandFile", "BM_RawPingPong");
    if (ratio <= 0) {
        std::fprintf(stderr, "command_file: benchmarks did not run\n");
        return 1;
    }
    std::printf("command_file: %d blocked-listen SET commands from due to deleted in %.1f ms; "
                "%.2fx %d raw loopback ping-pongs (goal <= 5)\n",
                kCommands, reporter.time("BM_CommandFile"), ratio, kCommands);
    return 0;
}
