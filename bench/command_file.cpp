// 1000 blocked-listen SET commands run by the command file scheduler against
// ondrel-sim on 127.0.0.1, from the moment they are due until the last file
// is deleted, against 1000 raw loopback ping-pongs of the same sizes in the
// same run, interleaved, with a spinning ping-pong as the floor. One file
// holds at most 10,000 characters, so the commands are spread over five files
// of 200, all due at the same time. The scheduler is driven as the console
// drives it: the response tick as often as responsePollMs() asks. Medians are
// printed; the last line gives the ratios to the floor and to the blocking
// ping-pong.
#include "bench/interleaved.h"
#include "bench/loopback_pair.h"
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

constexpr int kRounds = 9;

// The folder keeps its lock file while the scheduler has it open.
bool anyFileLeft(const fs::path& folder) {
    for (int file = 0; file < kFiles; ++file) {
        if (fs::exists(folder / ("bench-" + std::to_string(file) + ".txt"))) {
            return true;
        }
    }
    return false;
}

} // namespace

int main() {
    using namespace mirx;
    namespace fs = std::filesystem;
    struct SilentSink final : log::LineSink {
        void write(std::string_view) override {}
    } silent;
    log::setDebuggerSink(&silent);
    SimFixture f;
    model::Mirror mirror;
    link::MirrorDispatch dispatch(mirror);
    link::LinkServices services;
    services.settings = &f.store;
    services.model = &dispatch;
    link::ServerLink link(services);
    if (!link.Connect("admin", "admin")) {
        std::fprintf(stderr, "command_file: login failed: %s\n", link.errorText().c_str());
        return 1;
    }
    commandfiles::AnswerGuard guard(mirror.membershipFlags());
    commandfiles::CCommandFiles files(f.folder, {mirror, &link.requestQueue()}, guard,
                                      commandfiles::probeLink(link));
    RawPingPong blocking(kPingBytes, kPongBytes);
    BusyRawPingPong busy(kPingBytes, kPongBytes);
    bool finished = true;
    std::vector<Measure> measures = {
        {"command files",
         [&] {
             writeFiles(f.folder);
             files.CheckFileUpdates();
             const double s = timed([&] {
                 bool responding = files.CheckFileProcessing();
                 while (responding) {
                     responding = files.ResponseTick();
                     if (files.responsePollMs() != 0) {
                         std::this_thread::sleep_for(
                             std::chrono::milliseconds(files.responsePollMs()));
                     }
                 }
             });
             finished = finished && !anyFileLeft(f.folder) && files.rows().empty();
             return s;
         }},
        blockingPingPongs(blocking, kCommands),
        busyPingPongs(busy, kCommands),
    };
    runInterleaved(measures, kRounds);
    link.StopLink();
    log::setDebuggerSink(nullptr);
    if (!finished) {
        std::fprintf(stderr, "command_file: the files did not all finish\n");
        return 1;
    }
    const double run = measures[0].median();
    const double blockingTime = measures[1].median();
    const double floorTime = measures[2].median();
    std::printf("command_file: %d blocked-listen SET commands from due to deleted in %.1f ms = "
                "%.2fx %d busy raw ping-pongs (floor, %.2f ms), %.2fx blocking ones (%.2f ms); "
                "goal <= 5x the floor\n",
                kCommands, run * 1e3, run / floorTime, kCommands, floorTime * 1e3,
                run / blockingTime, blockingTime * 1e3);
    return 0;
}
