#pragma once

#include <cstdint>
#include <string>

namespace mirx::link {

// Why the last connection ended, or why the last one could not be opened.
enum class ConnectionEnd : std::uint8_t {
    None,
    // The console closed it (logout, exit, a handler's request).
    ByConsole,
    ClosedByServer,
    // Nothing arrived within the communication time-out.
    NoAnswer,
    SocketError,
    // Opening: the server's machine answered that nothing listens there.
    Refused,
    // Opening: no answer from the address (time-out, no route, no network).
    Unreachable,
};

struct ConnectionEvent {
    ConnectionEnd reason = ConnectionEnd::None;
    // NoAnswer: the time-out in milliseconds; SocketError, Refused,
    // Unreachable: the socket error number.
    std::uint32_t detail = 0;
    // Wall-clock milliseconds since 1970 when it happened; 0: never.
    std::int64_t atMs = 0;
};

// "Ondrel closed the connection." and the like; empty for None and ByConsole.
std::string connectionEndText(const ConnectionEvent& event);

// Wall-clock milliseconds since 1970, now.
std::int64_t wallClockMs();

} // namespace mirx::link
