#include "link/message_catalogue.h"

#include "core/debug_log.h"

#include <algorithm>
#include <array>
#include <string>

namespace mirx::msg {
namespace {

constexpr MessageInfo kMessages[] = {
#define MIRX_MESSAGE_ROW(name, id, direction, second, maxPayload)                                  \
    MessageInfo{id, #name, Direction::direction, second, maxPayload},
    MIRX_MESSAGE_TABLE(MIRX_MESSAGE_ROW)
#undef MIRX_MESSAGE_ROW
};

constexpr bool sortedById() {
    for (std::size_t i = 1; i < std::size(kMessages); ++i) {
        if (kMessages[i - 1].id >= kMessages[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(sortedById(), "message table must be sorted by ID without duplicates");

constexpr std::uint16_t kLastUpdateExchangeId = 9;

} // namespace

std::span<const MessageInfo> allMessages() {
    return kMessages;
}

const MessageInfo* findMessage(std::uint16_t id) {
    const auto* it =
        std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                         [](const MessageInfo& m, std::uint16_t v) { return m.id < v; });
    return it != std::end(kMessages) && it->id == id ? it : nullptr;
}

std::string_view messageName(std::uint16_t id) {
    const MessageInfo* info = findMessage(id);
    return info != nullptr ? info->name : std::string_view("UNKNOWN");
}

Route routeReceived(std::uint16_t id) {
    if (id == KEEP_ALIVE) {
        return Route::KeepAlive;
    }
    const MessageInfo* info = findMessage(id);
    if (info == nullptr || info->direction == Direction::ToServer) {
        return Route::NotRecognized;
    }
    return id <= kLastUpdateExchangeId ? Route::UpdateExchange : Route::MainDispatch;
}

void reportNotRecognized(std::string_view peerText, std::uint16_t id, std::size_t payloadLength) {
    const std::string peer(peerText);
    log::print("[%s] Message ID %d not recognized (Size of message: %d bytes)", peer.c_str(), id,
               static_cast<int>(payloadLength));
}

} // namespace mirx::msg
