#include "core/wire_frame.h"

namespace mirx::wire {

std::size_t writeFrame(std::uint8_t* dest, std::size_t room, std::uint16_t messageId,
                       std::uint16_t secondValue, const std::uint8_t* payload,
                       std::size_t payloadLength) {
    if (payloadLength > kMaxFrameSize - kFrameOverhead || room < payloadLength + kFrameOverhead) {
        return 0;
    }
    const std::size_t total = payloadLength + kFrameOverhead;
    writeU32(dest + kStartMarkerOffset, kStartMarker);
    writeU32(dest + kTotalSizeOffset, static_cast<std::uint32_t>(total));
    writeU32(dest + kReservedOffset, 0);
    writeU16(dest + kMessageIdOffset, messageId);
    writeU16(dest + kSecondValueOffset, secondValue);
    if (payloadLength != 0) {
        std::memcpy(dest + kHeaderSize, payload, payloadLength);
    }
    writeU32(dest + kHeaderSize + payloadLength, kStopMarker);
    return total;
}

std::size_t writeKeepAlive(std::uint8_t* dest, std::size_t room, std::uint16_t checkTimeMs) {
    return writeFrame(dest, room, kKeepAliveId, checkTimeMs, nullptr, 0);
}

} // namespace mirx::wire
