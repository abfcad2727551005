// Throughput of the frame cutter on a 64 MB stream of mixed frames arriving in
// 8192-byte receives, against memcpy of the same bytes in the same run.
// The last line printed is the ratio (cutter throughput / memcpy throughput).
#include "bench/ratio_reporter.h"
#include "core/wire_frame.h"
#include "link/frame_cutter.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kStreamBytes = 64u << 20;
constexpr std::size_t kReadSize = 8192;

const std::vector<std::uint8_t>& stream() {
    static const std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> out(kStreamBytes + mirx::wire::kMaxFrameSize);
        std::mt19937 random(42);
        std::uniform_int_distribution<int> pick(0, 99);
        std::vector<std::uint8_t> payload(11 * 1024, 0xA5);
        std::size_t used = 0;
        while (used < kStreamBytes) {
            const int p = pick(random);
            const std::size_t length = p < 70 ? 320 : p < 95 ? 20 : 11 * 1024;
            used += mirx::wire::writeFrame(out.data() + used, out.size() - used, 2010,
                                           static_cast<std::uint16_t>(p), payload.data(), length);
        }
        out.resize(used);
        return out;
    }();
    return bytes;
}

class CountingSink final : public mirx::link::FrameSink {
public:
    void onKeepAlive(std::uint16_t) override {}
    void onFrame(const mirx::wire::FrameView& frame) override {
        ++frames;
        bytes += frame.payload.size();
    }
    std::size_t frames = 0;
    std::size_t bytes = 0;
};

void BM_Cutter(benchmark::State& state) {
    const auto& input = stream();
    mirx::link::FrameReceiver receiver;
    for (auto _ : state) {
        CountingSink sink;
        for (std::size_t at = 0; at < input.size(); at += kReadSize) {
            const std::size_t n = std::min(kReadSize, input.size() - at);
            std::memcpy(receiver.freeSpace().data(), input.data() + at, n);
            receiver.commit(n, sink);
        }
        benchmark::DoNotOptimize(sink.bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void BM_Memcpy(benchmark::State& state) {
    const auto& input = stream();
    std::vector<std::uint8_t> buffer(mirx::wire::kMaxFrameSize);
    for (auto _ : state) {
        std::size_t offset = 0;
        for (std::size_t at = 0; at < input.size(); at += kReadSize) {
            const std::size_t n = std::min(kReadSize, input.size() - at);
            // Same access pattern as a receive buffer that keeps refilling.
            if (offset + n > buffer.size()) {
                offset = 0;
            }
            std::memcpy(buffer.data() + offset, input.data() + at, n);
            offset += n;
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

BENCHMARK(BM_Cutter)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    stream(); // build the input outside the timed runs
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // Throughput ratio: the inverse of the time ratio.
    const double ratio = reporter.ratio("BM_Memcpy", "BM_Cutter");
    if (ratio <= 0) {
        std::fprintf(stderr, "frame_cut: benchmarks did not run\n");
        return 1;
    }
    std::printf("frame_cut: cutter throughput / memcpy throughput = %.2f (goal >= 0.50)\n", ratio);
    return 0;
}
