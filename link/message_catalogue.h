#pragma once

#include "core/message_ids.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Names, directions and limits of every message, from the one table in
// core/message_ids.h; used for logging and for routing what the server sends.

namespace mirx::msg {

enum class Direction : std::uint8_t { ToServer = 1, ToConsole = 2, Both = 3 };

struct MessageInfo {
    std::uint16_t id;
    std::string_view name;
    Direction direction;
    std::string_view secondValue;
    std::size_t maxPayload; // 0: bounded by the receiving buffer
};

std::span<const MessageInfo> allMessages();
const MessageInfo* findMessage(std::uint16_t id);
// The message's name, or "UNKNOWN" for an ID outside the table.
std::string_view messageName(std::uint16_t id);

// Where a message received from the server goes.
enum class Route {
    UpdateExchange, // IDs 0..9 the server sends
    MainDispatch,   // every other ID the server sends
    KeepAlive,      // handled by the connection thread itself
    NotRecognized,  // unknown, or an ID only the console sends
};
Route routeReceived(std::uint16_t id);

// "[peer] Message ID n not recognized (Size of message: n bytes)".
void reportNotRecognized(std::string_view peerText, std::uint16_t id, std::size_t payloadLength);

} // namespace mirx::msg
