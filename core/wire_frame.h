#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

// Layout of one frame on the wire, little-endian throughout:
//   0  u32 start marker 0xFF00AA55      4  i32 total size (payload + 20)
//   8  u32 reserved, 0                   12 u16 message ID
//   14 u16 second value                  16 payload, then u32 stop marker 0x55AA00FF
// Shared by everything that reads or writes frames: the queue, the cutter and
// the simulator.

namespace mirx::wire {

inline constexpr std::uint32_t kStartMarker = 0xFF00AA55;
inline constexpr std::uint32_t kStopMarker = 0x55AA00FF;

inline constexpr std::size_t kStartMarkerOffset = 0;
inline constexpr std::size_t kTotalSizeOffset = 4;
inline constexpr std::size_t kReservedOffset = 8;
inline constexpr std::size_t kMessageIdOffset = 12;
inline constexpr std::size_t kSecondValueOffset = 14;
inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kStopMarkerSize = 4;
inline constexpr std::size_t kFrameOverhead = kHeaderSize + kStopMarkerSize;

// Largest frame either side handles: the size of the connection buffers.
inline constexpr std::size_t kMaxFrameSize = 500000;
// A total size below this fails the size check outright.
inline constexpr std::size_t kMinSizeField = 16;

inline constexpr std::uint16_t kKeepAliveId = 0xFFFF;
inline constexpr std::size_t kKeepAliveSize = kFrameOverhead;

inline std::uint16_t readU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t readU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int32_t readI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(readU32(p));
}

inline void writeU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void writeU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Writes one complete frame at `dest`. Returns the bytes written
// (payloadLength + 20), or 0 without writing anything when `room` is too small.
std::size_t writeFrame(std::uint8_t* dest, std::size_t room, std::uint16_t messageId,
                       std::uint16_t secondValue, const std::uint8_t* payload,
                       std::size_t payloadLength);

// The 20-byte keep-alive announcing the sender's check time in milliseconds.
std::size_t writeKeepAlive(std::uint8_t* dest, std::size_t room, std::uint16_t checkTimeMs);

// A frame as delivered to a handler: a view into the receive buffer.
struct FrameView {
    std::uint16_t messageId = 0;
    std::uint16_t secondValue = 0;
    std::span<const std::uint8_t> payload;
};

} // namespace mirx::wire
