#pragma once

#include "core/wire_frame.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace mirx::link {

// Outcome of looking at the front of the pending bytes.
enum class CutStatus {
    Frame,          // a whole frame is there
    NeedMore,       // a frame has begun but is not complete
    BadStartMarker, // the bytes do not begin with the start marker
    BadSize,        // the size field cannot describe a frame
    BadStopMarker,  // the frame's last four bytes are not the stop marker
};

struct CutStep {
    CutStatus status = CutStatus::NeedMore;
    // A start marker and a plausible size were seen (counts as traffic).
    bool headValid = false;
    // Frame: the bytes it occupies. Errors: unused.
    std::size_t frameSize = 0;
    // Valid from 14 bytes on; reported with size errors.
    std::uint16_t messageId = 0;
    std::int32_t sizeField = 0;
    wire::FrameView frame;
};

// Pure decision on the first frame of `pending`; never reads past its end.
// A size of 16 to 19 passes the old size check but leaves no room for a
// payload and a stop marker, so it is rejected like any other bad size.
CutStep cutOne(std::span<const std::uint8_t> pending);

// Called by FrameReceiver for what it finds; all calls come from the thread
// that feeds the receiver.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // A valid frame head arrived (the frame itself may still be incomplete).
    virtual void onTraffic() {}
    virtual void onKeepAlive(std::uint16_t checkTimeMs) = 0;
    // `frame.payload` points into the receive buffer and is valid only
    // during the call.
    virtual void onFrame(const wire::FrameView& frame) = 0;
};

// The receive buffer of one connection. Bytes are received straight into
// freeSpace(); commit() cuts them into frames in place. Any framing error
// throws away every pending byte: the stream must resynchronise on a fresh
// receive that begins with a frame.
class FrameReceiver {
public:
    FrameReceiver();

    void setPeerText(std::string peerText) { peerText_ = std::move(peerText); }
    const std::string& peerText() const { return peerText_; }

    std::span<std::uint8_t> freeSpace() { return {buffer_.get() + pending_, capacity_ - pending_}; }

    // Accounts for `received` new bytes at freeSpace() and delivers every
    // complete frame. Returns true when an incomplete frame is left pending.
    bool commit(std::size_t received, FrameSink& sink);

    std::size_t pending() const { return pending_; }
    // Forgets pending bytes, e.g. for a new connection.
    void reset() { pending_ = 0; }
    static constexpr std::size_t capacity() { return capacity_; }
    // Start of the receive buffer; frames handed out point inside it.
    const std::uint8_t* data() const { return buffer_.get(); }

private:
    static constexpr std::size_t capacity_ = wire::kMaxFrameSize;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t pending_ = 0;
    std::string peerText_;
};

} // namespace mirx::link
