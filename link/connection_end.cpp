#include "link/connection_end.h"

#include <chrono>

namespace mirx::link {

std::string connectionEndText(const ConnectionEvent& event) {
    switch (event.reason) {
    case ConnectionEnd::None:
    case ConnectionEnd::ByConsole:
        return {};
    case ConnectionEnd::ClosedByServer:
        return "Ondrel closed the connection.";
    case ConnectionEnd::NoAnswer:
        return "Ondrel sent nothing for " + std::to_string(event.detail) + " ms.";
    case ConnectionEnd::SocketError:
        return "The connection failed (socket error " + std::to_string(event.detail) + ").";
    case ConnectionEnd::Refused:
        return "Ondrel refused the connection: nothing listens on its port.";
    case ConnectionEnd::Unreachable:
        return "Ondrel could not be reached (socket error " + std::to_string(event.detail) + ").";
    }
    return {};
}

std::int64_t wallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace mirx::link
