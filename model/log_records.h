#pragma once

#include "core/wire_frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The server's debug log (6020/6021) and activity log (6018/6019), pulled
// in chunks, and its debug filter list (6043/6044, 6045).

namespace mirx::model {

// --- log chunks ---

// The 16-bit value of ADMIN_DEBUG_LOG_REQUEST and ADMIN_ACTIVITY_LOG_REQUEST.
enum class LogRequest : std::uint16_t {
    NextChunk = 0,
    Stop = 1,
};

std::array<std::uint8_t, 2> encodeLogRequest(LogRequest request);

// Payload of 6019 and 6021: signed 64-bit time stamp, then UTF-16LE text
// without terminator up to the end of the payload.
inline constexpr std::size_t kLogChunkTextOffset = 8;

// The sender does not bound a chunk and no size is fixed for the console's
// copy; we keep as much text as one frame can carry, so only a frame that
// could not have been received is ever cut.
inline constexpr std::size_t kLogTextCapacityBytes =
    wire::kMaxFrameSize - wire::kFrameOverhead - kLogChunkTextOffset;

struct LogChunk {
    std::int64_t timeStamp = 0;
    // Text bytes as kept (payload length - 8, bounded); the views decide on
    // this whether a chunk is shown and whether to ask again at once.
    std::size_t textBytes = 0;
    std::string text; // UTF-8
};

// Nothing when the payload cannot hold the time stamp. Text beyond
// kLogTextCapacityBytes is dropped, never splitting a surrogate pair; an odd
// last byte carries no character.
std::optional<LogChunk> decodeLogChunk(std::span<const std::uint8_t> payload);
std::vector<std::uint8_t> encodeLogChunk(std::int64_t timeStamp, std::string_view utf8);

// Where a chunk goes: after the text shown so far when it is newer than the
// oldest chunk seen since the view opened, else before it.
class LogChunkOrder {
public:
    // The view opened: the first chunk counts as older.
    void reset() { oldest_ = std::numeric_limits<std::int64_t>::max(); }
    // True when the chunk is newer; keeps the smaller time stamp as oldest.
    bool place(std::int64_t timeStamp) {
        const bool newer = timeStamp > oldest_;
        if (!newer) {
            oldest_ = timeStamp;
        }
        return newer;
    }
    std::int64_t oldest() const { return oldest_; }

private:
    std::int64_t oldest_ = std::numeric_limits<std::int64_t>::max();
};

// --- debug filters ---

// 6043 ADMIN_GET_DEBUG_FILTER_REQUEST: the 16-bit value 0.
std::array<std::uint8_t, 2> encodeGetDebugFilterRequest();

// The console's filter list buffer, shared by the editor's answer and its
// replacement request.
inline constexpr std::size_t kDebugFilterListCapacity = 256;

// 6044 (and 6045 on the server's side): the second value is the count, the
// payload that many 32-bit words. The sender does not bound it: at most the
// words the payload holds and the buffer's 256 are read.
std::vector<std::uint32_t> decodeDebugFilterList(std::uint16_t count,
                                                 std::span<const std::uint8_t> payload);

struct DebugFilterListPayload {
    std::uint16_t count = 0; // the second value
    std::vector<std::uint8_t> payload;
};

// 6045 ADMIN_SET_DEBUG_FILTER_REQUEST, in list order. The server takes no
// more than the console's buffer holds, so words past 256 are not sent.
DebugFilterListPayload encodeDebugFilterList(std::span<const std::uint32_t> words);

} // namespace mirx::model
