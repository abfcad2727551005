// The link against ondrel-sim on 127.0.0.1: time from Connect to logged in,
// and 1000 sequential request/response pairs through the request queue,
// against a raw loopback ping-pong of the same frame sizes in the same run.
// The last line printed is the request/response ratio (goal: within 3x).
#include "bench/loopback_pair.h"
#include "bench/quiet_run.h"
#include "bench/ratio_reporter.h"
#include "bench/served_site.h"
#include "core/debug_log.h"
#include "core/wire_frame.h"
#include "link/message_catalogue.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/membership_records.h"
#include "sim/demo_site.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"

#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace mirx;

constexpr int kPairs = 1000;
constexpr std::size_t kRequestBytes = wire::kFrameOverhead; // no payload
constexpr std::size_t kResponseBytes = wire::kFrameOverhead + model::kFixedGroupSetBytes;

// Counts the blocked-listen answers the link hands to the data model.
class CountingModel final : public link::ModelSink {
public:
    bool Store(std::uint16_t id, std::uint16_t, std::span<const std::uint8_t>,
               const std::string&) override {
        if (id == msg::ADMIN_BLOCKED_LISTEN_RESPONSE) {
            answers.fetch_add(1, std::memory_order_release);
        }
        return true;
    }
    std::atomic<int> answers{0};
};

struct SimFixture : ServedSite {
    SimFixture()
        : ServedSite(sim::demoSite()) {
        services.settings = &store;
        services.model = &model;
    }
    CountingModel model;
    link::LinkServices services;
};

SimFixture& fixture() {
    static SimFixture f;
    return f;
}

void BM_Login(benchmark::State& state) {
    SimFixture& f = fixture();
    link::ServerLink link(f.services);
    for (auto _ : state) {
        if (!link.Connect("admin", "admin")) {
            state.SkipWithError("login failed");
            break;
        }
        state.PauseTiming();
        link.StopLink();
        state.ResumeTiming();
    }
}

void BM_LinkRequestResponse(benchmark::State& state) {
    SimFixture& f = fixture();
    link::ServerLink link(f.services);
    if (!link.Connect("admin", "admin")) {
        state.SkipWithError("login failed");
        return;
    }
    for (auto _ : state) {
        for (int i = 0; i < kPairs; ++i) {
            const int before = f.model.answers.load(std::memory_order_acquire);
            link.requestQueue().PostCopy(msg::ADMIN_BLOCKED_LISTEN_REQUEST,
                                         static_cast<std::uint16_t>(i % 40), nullptr, 0);
            while (f.model.answers.load(std::memory_order_acquire) == before) {
                // Spin: what is measured is the link, not the wait.
            }
        }
    }
    link.StopLink();
}

// The same sizes over a bare loopback connection with blocking sockets.
void BM_RawPingPong(benchmark::State& state) {
    RawPingPong yardstick(kRequestBytes, kResponseBytes);
    for (auto _ : state) {
        for (int i = 0; i < kPairs; ++i) {
            yardstick.exchange();
        }
    }
}

BENCHMARK(BM_Login)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_LinkRequestResponse)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawPingPong)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    RatioReporter reporter;
    runQuietly(argc, argv, reporter);
    const double ratio = reporter.ratio("BM_LinkRequestResponse", "BM_RawPingPong");
    if (ratio <= 0) {
        std::fprintf(stderr, "login_roundtrip: benchmarks did not run\n");
        return 1;
    }
    std::printf("login_roundtrip: Connect to logged in %.2f ms; %d request/response pairs take "
                "%.2fx a raw loopback ping-pong (goal <= 3)\n",
                reporter.time("BM_Login"), kPairs, ratio);
    return 0;
}
