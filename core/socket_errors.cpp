#include "core/socket_errors.h"

#include <array>
#include <cerrno>

namespace mirx {

namespace {

// EAGAIN and EWOULDBLOCK are one value on Linux but not everywhere; a lookup
// takes the first match, so listing both costs nothing.
constexpr std::array kTable{
    SocketErrorMapping{EINTR, 10004},
    SocketErrorMapping{EBADF, 10009},
    SocketErrorMapping{EACCES, 10013},
    SocketErrorMapping{EFAULT, 10014},
    SocketErrorMapping{EINVAL, 10022},
    SocketErrorMapping{EMFILE, 10024},
    SocketErrorMapping{EWOULDBLOCK, kWouldBlock},
    SocketErrorMapping{EAGAIN, kWouldBlock},
    SocketErrorMapping{EINPROGRESS, 10036},
    SocketErrorMapping{EALREADY, 10037},
    SocketErrorMapping{ENOTSOCK, 10038},
    SocketErrorMapping{EDESTADDRREQ, 10039},
    SocketErrorMapping{EMSGSIZE, kMessageTooLong},
    SocketErrorMapping{EPROTOTYPE, 10041},
    SocketErrorMapping{ENOPROTOOPT, 10042},
    SocketErrorMapping{EPROTONOSUPPORT, 10043},
    SocketErrorMapping{ESOCKTNOSUPPORT, 10044},
    SocketErrorMapping{EOPNOTSUPP, 10045},
    SocketErrorMapping{EPFNOSUPPORT, 10046},
    SocketErrorMapping{EAFNOSUPPORT, 10047},
    SocketErrorMapping{EADDRINUSE, 10048},
    SocketErrorMapping{EADDRNOTAVAIL, 10049},
    SocketErrorMapping{ENETDOWN, 10050},
    SocketErrorMapping{ENETUNREACH, 10051},
    SocketErrorMapping{ENETRESET, 10052},
    SocketErrorMapping{ECONNABORTED, 10053},
    SocketErrorMapping{ECONNRESET, 10054},
    SocketErrorMapping{ENOBUFS, 10055},
    SocketErrorMapping{EISCONN, 10056},
    SocketErrorMapping{ENOTCONN, 10057},
    SocketErrorMapping{ESHUTDOWN, 10058},
    // Writing after shutdown; the console's number for it is "shut down".
    SocketErrorMapping{EPIPE, 10058},
    SocketErrorMapping{ETOOMANYREFS, 10059},
    SocketErrorMapping{ETIMEDOUT, 10060},
    SocketErrorMapping{ECONNREFUSED, 10061},
    SocketErrorMapping{ELOOP, 10062},
    SocketErrorMapping{ENAMETOOLONG, 10063},
    SocketErrorMapping{EHOSTDOWN, 10064},
    SocketErrorMapping{EHOSTUNREACH, 10065},
    SocketErrorMapping{ENOTEMPTY, 10066},
    SocketErrorMapping{EUSERS, 10068},
    SocketErrorMapping{EDQUOT, 10069},
    SocketErrorMapping{ESTALE, 10070},
    SocketErrorMapping{EREMOTE, 10071},
};

} // namespace

std::span<const SocketErrorMapping> socketErrorTable() {
    return kTable;
}

int consoleSocketError(int posixErrno) {
    for (const auto& entry : kTable) {
        if (entry.posixErrno == posixErrno) {
            return entry.consoleError;
        }
    }
    return posixErrno;
}

int lastConsoleSocketError() {
    return consoleSocketError(errno);
}

} // namespace mirx
