#pragma once

#include <cstddef>
#include <span>

// The console reports socket failures with its own error numbers (those of the
// Windows Sockets interface the server's tools also print), so that every
// message reads the same on every platform. This is the one place where a
// POSIX errno becomes such a number.

namespace mirx {

// Nothing to read, no room to write, or a connect still under way.
inline constexpr int kWouldBlock = 10035;
// A datagram longer than the receive buffer.
inline constexpr int kMessageTooLong = 10040;

struct SocketErrorMapping {
    int posixErrno;
    int consoleError;
};

// Every errno the console knows how to name.
std::span<const SocketErrorMapping> socketErrorTable();

// The console's number for `posixErrno`; values it has no number for pass
// through unchanged.
int consoleSocketError(int posixErrno);

// consoleSocketError(errno).
int lastConsoleSocketError();

} // namespace mirx
