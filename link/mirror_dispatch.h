#pragma once

#include "link/server_link.h"
#include "model/mirror.h"

// Hands the configuration records and monitoring answers the server sends to
// the data model's mirror. Runs on the connection thread.

namespace mirx::link {

class MirrorDispatch final : public ModelSink {
public:
    explicit MirrorDispatch(model::Mirror& mirror)
        : mirror_(mirror) {}

    bool Store(std::uint16_t messageId, std::uint16_t secondValue,
               std::span<const std::uint8_t> payload, const std::string& peerText) override;

private:
    model::Mirror& mirror_;
};

} // namespace mirx::link
