// Arbitrary byte streams cut in arbitrary receives: the cutter must never
// crash, never hand out a payload outside its buffer or beyond the bytes
// received, and never hand out a frame without its stop marker.
#include "core/debug_log.h"
#include "core/wire_frame.h"
#include "link/frame_cutter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <vector>

namespace {

class SilentSink final : public mirx::log::LineSink {
public:
    void write(std::string_view) override {}
};

class CheckingSink final : public mirx::link::FrameSink {
public:
    const std::uint8_t* begin = nullptr;
    const std::uint8_t* end = nullptr; // one past the last received byte

    void onKeepAlive(std::uint16_t) override {}
    void onFrame(const mirx::wire::FrameView& frame) override {
        const std::uint8_t* p = frame.payload.data();
        const std::size_t n = frame.payload.size();
        if (p < begin + mirx::wire::kHeaderSize || p + n + mirx::wire::kStopMarkerSize > end ||
            n > mirx::wire::kMaxFrameSize - mirx::wire::kFrameOverhead) {
            std::abort();
        }
        if (mirx::wire::readU32(p + n) != mirx::wire::kStopMarker ||
            mirx::wire::readU32(p - mirx::wire::kHeaderSize) != mirx::wire::kStartMarker) {
            std::abort();
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SilentSink silent;
    mirx::log::setDebuggerSink(&silent);
    static mirx::link::FrameReceiver receiver; // 500 KB: allocate once, reset per input
    receiver.reset();

    FuzzedDataProvider input(data, size);
    CheckingSink sink;
    while (input.remaining_bytes() > 0) {
        const auto want = input.ConsumeIntegralInRange<std::size_t>(1, 9000);
        const std::vector<std::uint8_t> chunk = input.ConsumeBytes<std::uint8_t>(want);
        auto space = receiver.freeSpace();
        const std::size_t n = std::min(chunk.size(), space.size());
        std::memcpy(space.data(), chunk.data(), n);
        sink.begin = receiver.data();
        sink.end = space.data() + n;
        receiver.commit(n, sink);
        if (receiver.pending() > mirx::link::FrameReceiver::capacity()) {
            std::abort();
        }
    }
    return 0;
}
