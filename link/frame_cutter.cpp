#include "link/frame_cutter.h"

#include "core/debug_log.h"

#include <algorithm>
#include <cstring>

namespace mirx::link {

CutStep cutOne(std::span<const std::uint8_t> pending) {
    using namespace wire;
    CutStep step;
    if (pending.size() < kHeaderSize) {
        return step;
    }
    const std::uint8_t* p = pending.data();
    if (readU32(p + kStartMarkerOffset) != kStartMarker) {
        step.status = CutStatus::BadStartMarker;
        return step;
    }
    step.sizeField = readI32(p + kTotalSizeOffset);
    step.messageId = readU16(p + kMessageIdOffset);
    if (step.sizeField < static_cast<std::int32_t>(kFrameOverhead) ||
        step.sizeField > static_cast<std::int32_t>(kMaxFrameSize)) {
        step.status = CutStatus::BadSize;
        return step;
    }
    step.headValid = true;
    const auto size = static_cast<std::size_t>(step.sizeField);
    if (pending.size() < size) {
        return step;
    }
    if (readU32(p + size - kStopMarkerSize) != kStopMarker) {
        step.status = CutStatus::BadStopMarker;
        return step;
    }
    step.status = CutStatus::Frame;
    step.frameSize = size;
    step.frame.messageId = step.messageId;
    step.frame.secondValue = readU16(p + kSecondValueOffset);
    step.frame.payload = pending.subspan(kHeaderSize, size - kFrameOverhead);
    return step;
}

// Room for the largest frame, so a frame that passed the size check always fits.
FrameReceiver::FrameReceiver()
    : buffer_(new std::uint8_t[capacity_]) {}

bool FrameReceiver::commit(std::size_t received, FrameSink& sink) {
    pending_ += std::min(received, capacity_ - pending_);
    std::size_t offset = 0;
    bool incomplete = false;
    for (;;) {
        const std::size_t left = pending_ - offset;
        const CutStep step = cutOne({buffer_.get() + offset, left});
        if (step.headValid) {
            sink.onTraffic();
        }
        switch (step.status) {
        case CutStatus::Frame:
            if (step.frame.messageId == wire::kKeepAliveId) {
                sink.onKeepAlive(step.frame.secondValue);
            } else {
                sink.onFrame(step.frame);
            }
            offset += step.frameSize;
            continue;
        case CutStatus::NeedMore:
            incomplete = left != 0;
            break;
        case CutStatus::BadStartMarker:
            log::printError(log::debugFilters(), log::kConnectionCategory,
                            "[%s] ***ERROR*** Message Start Marker invalid ... Discarding %d bytes",
                            peerText_.c_str(), static_cast<int>(left));
            reset();
            return false;
        case CutStatus::BadSize:
            log::printError(log::debugFilters(), log::kConnectionCategory,
                            "[%s] ***ERROR*** Message size invalid ... Message ID: %d, Message "
                            "Size: %d, Bytes to Process: %d",
                            peerText_.c_str(), step.messageId, step.sizeField,
                            static_cast<int>(left));
            reset();
            return false;
        case CutStatus::BadStopMarker:
            log::printError(log::debugFilters(), log::kConnectionCategory,
                            "[%s] ***ERROR*** Message Stop Marker invalid ... Discarding %d bytes",
                            peerText_.c_str(), static_cast<int>(left));
            reset();
            return false;
        }
        break;
    }
    if (offset != 0) {
        std::memmove(buffer_.get(), buffer_.get() + offset, pending_ - offset);
        pending_ -= offset;
    }
    return incomplete;
}

} // namespace mirx::link
