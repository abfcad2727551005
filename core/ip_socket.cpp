#include "core/ip_socket.h"

#include "core/debug_log.h"
#include "core/socket_errors.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/ip.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mirx {

namespace {

// Descriptors are ints here; the messages print them the way they always have.
unsigned hex(int value) {
    return static_cast<unsigned>(value);
}

int setIntOption(int fd, int level, int name, int value) {
    return ::setsockopt(fd, level, name, &value, sizeof value);
}

} // namespace

CIpSocket::~CIpSocket() {
    if (fd_ != -1) {
        log::print("WARNING: Closing socket from destructor");
        Close();
    }
}

int CIpSocket::Create(int socketType, int protocol) {
    if (fd_ != -1 || (Permissions() & kAllowCreate) == 0) {
        log::print("ERROR: Create failed ... Socket not invalid (0x%x) or operation not allowed "
                   "(0x%0x)",
                   hex(fd_), Permissions());
        return -1;
    }
    socketType_ = socketType;
    const int fd = ::socket(AF_INET, socketType | SOCK_CLOEXEC, protocol);
    if (fd == -1) {
        const int error = lastConsoleSocketError();
        log::print("ERROR: Create failed (%d) ... Unable to create socket for specified type (%d) "
                   "and protocol (%d)",
                   error, socketType, protocol);
        return error;
    }
    fd_ = fd;
    state_ = State::Created;

    const bool tcp = protocol == kTcpProtocol || (protocol == 0 && socketType == SOCK_STREAM);
    const bool udp = protocol == kUdpProtocol || (protocol == 0 && socketType == SOCK_DGRAM);
    protocolName_ = tcp ? "TCP" : udp ? "UDP" : "";
    if (tcp) {
        // Only the most one Receive reads. Linux takes a fixed SO_RCVBUF as the
        // whole receive window and stops growing it, so an 8 KB request would
        // make every 8 KB of a download wait for a round trip.
        receiveBufferSize_ = kReceiveBufferSize;
        // Small frames go out at once: with Nagle's delay an update followed
        // by the next request waits for the peer's delayed acknowledgement.
        if (setIntOption(fd_, IPPROTO_TCP, TCP_NODELAY, 1) != 0) {
            log::print("WARNING: %s Socket failed to set TCP_NODELAY (%d)", protocolName_.c_str(),
                       lastConsoleSocketError());
        }
    }
    int sendBuffer = 0;
    socklen_t size = sizeof sendBuffer;
    if (::getsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &sendBuffer, &size) != 0) {
        log::print("ERROR: %s Socket failed to get send buffer size (%d)", protocolName_.c_str(),
                   lastConsoleSocketError());
    } else {
        sendBufferSize_ = sendBuffer;
    }
    return 0;
}

int CIpSocket::Bind(const sockaddr_in& local) {
    if ((Permissions() & kAllowBind) == 0 || local.sin_family != AF_INET) {
        return -1;
    }
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return lastConsoleSocketError();
    }
    localAddress_ = local;
    state_ = State::Bound;
    return 0;
}

int CIpSocket::Connect(const sockaddr_in& remote) {
    if ((Permissions() & kAllowConnect) == 0 || remote.sin_family != AF_INET) {
        log::print("ERROR: Connect failed ... Socket not invalid (0x%x) or operation not allowed "
                   "(0x%0x) or !AF_INET",
                   hex(fd_), Permissions());
        return -1;
    }
    remoteAddress_ = remote;

    int error = 0;
    // Linux would take 0.0.0.0 to mean this machine; the console never means
    // that, and an unparsable server address must not end up there either.
    if (remote.sin_addr.s_addr == htonl(INADDR_ANY) ||
        remote.sin_addr.s_addr == htonl(INADDR_NONE)) {
        error = consoleSocketError(EADDRNOTAVAIL);
    } else if (::connect(fd_, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
        state_ = State::Connected;
        return 0;
    } else if (errno == EINPROGRESS || errno == EINTR) {
        // EINTR: the connect goes on in the background, like a pending one.
        error = WaitForConnect();
        if (error == 0) {
            state_ = State::Connected;
        }
        return error;
    } else {
        error = lastConsoleSocketError();
    }
    log::print("Socket send error: %d", error);
    return error;
}

int CIpSocket::WaitForConnect() {
    using std::chrono::steady_clock;
    const auto deadline = steady_clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now());
        pollfd entry{fd_, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = lastConsoleSocketError();
            log::print("ERROR: WSAWaitForMultipleEvents failed (0x%0x)", hex(error));
            return error;
        }
        if (ready == 0) {
            return consoleSocketError(ETIMEDOUT);
        }
        int outcome = 0;
        socklen_t size = sizeof outcome;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &outcome, &size) != 0) {
            return lastConsoleSocketError();
        }
        return outcome == 0 ? 0 : consoleSocketError(outcome);
    }
}

int CIpSocket::OpenConnection(const std::string& localAddressText, std::uint16_t localPort,
                              const std::string& remoteAddressText, std::uint16_t remotePort) {
    connectError_ = 0;
    const int created = Create(SOCK_STREAM, kTcpProtocol);
    if (state_ == State::Closed) {
        log::print("ERROR: Failed to create the socket: %ld", static_cast<long>(created));
        return 1;
    }

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(localPort);
    const bool haveLocal = ::inet_pton(AF_INET, localAddressText.c_str(), &local.sin_addr) == 1;

    if (setIntOption(fd_, SOL_SOCKET, SO_REUSEADDR, 1) != 0) {
        log::print("ERROR: %s Socket failed to set reuse address flag for %s (%d)",
                   protocolName_.c_str(), haveLocal ? localAddressText.c_str() : "0.0.0.0",
                   lastConsoleSocketError());
    }
    if (haveLocal) {
        const int bound = Bind(local);
        if (bound != 0) {
            log::print("Socket listen error: %d", bound);
        } else if (localPort == 0) {
            ReadLocalAddressBack();
        }
    }

    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(remotePort);
    if (::inet_pton(AF_INET, remoteAddressText.c_str(), &remote.sin_addr) != 1) {
        remote.sin_addr.s_addr = htonl(INADDR_NONE);
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags == -1 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) == -1) {
        log::print("Error changing socket to non-blocking: %d", lastConsoleSocketError());
    }

    connectError_ = Connect(remote);
    if (connectError_ == 0) {
        // The system picked the local end when we did not bind.
        ReadLocalAddressBack();
        MarkAudioVideo();
        return 0;
    }
    Close();
    return 1;
}

void CIpSocket::ReadLocalAddressBack() {
    sockaddr_in actual{};
    socklen_t size = sizeof actual;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&actual), &size) != 0) {
        log::print("***ERROR***: Getsockname() failed ... Error Code: (0x%x)",
                   hex(lastConsoleSocketError()));
        return;
    }
    localAddress_ = actual;
}

void CIpSocket::MarkAudioVideo() {
    // Stands in for an audio/video QoS flow; the connection works without it.
    if (setIntOption(fd_, IPPROTO_IP, IP_TOS, kAudioVideoTos) != 0) {
        log::print("***ERROR*** QOSAddSocketToFlow() failed to add a flow (0x%x)",
                   hex(lastConsoleSocketError()));
    }
}

int CIpSocket::Send(const void* data, int length) {
    if ((Permissions() & kAllowSend) == 0 || data == nullptr || length <= 0) {
        return -1;
    }
    // Without a known buffer size, let the system decide how much fits.
    const int chunk = sendBufferSize_ > 0 ? std::min(length, sendBufferSize_) : length;
    const auto sent =
        ::send(fd_, data, static_cast<std::size_t>(chunk), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
        const int error = lastConsoleSocketError();
        if (error != kWouldBlock) {
            log::print("Socket send error: %d", error);
        }
        return -error;
    }
    if (sent < length) {
        log::print("Entire message not sent!!!");
    }
    return static_cast<int>(sent);
}

int CIpSocket::Receive(void* buffer, int length) {
    if ((Permissions() & kAllowReceive) == 0 || buffer == nullptr || length <= 0) {
        log::print("Receive():  Invalid Socket (%d) or Invalid Operation (0x%x) or Invalid Buffer "
                   "Ptr (0x%x) or Invlalid Packet Length (%d)",
                   fd_, Permissions(),
                   static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(buffer)), length);
        return 0;
    }
    const int wanted = std::min(length, receiveBufferSize_);
    // MSG_TRUNC makes a datagram report its full length, so a cut one shows.
    const bool datagram = socketType_ == SOCK_DGRAM;
    const int flags = MSG_DONTWAIT | (datagram ? MSG_TRUNC : 0);
    const auto received = ::recv(fd_, buffer, static_cast<std::size_t>(wanted), flags);
    int error = 0;
    if (received < 0) {
        error = lastConsoleSocketError();
    } else if (datagram && received > wanted) {
        error = kMessageTooLong;
    }
    if (error == kMessageTooLong) {
        log::print(
            "ERROR: %s Socket recvfrom() returned WSAEMSGSIZE ... Bytes Received = %d, Buffer "
            "Length = %d, RCVBUF = %d",
            protocolName_.c_str(), received < 0 ? -1 : wanted, length, receiveBufferSize_);
    }
    return error != 0 ? -error : static_cast<int>(received);
}

int CIpSocket::Close() {
    if (fd_ == -1 || (Permissions() & kAllowClose) == 0) {
        log::print("ERROR: Socket invalid (%d) or IPSO_CLOSE not supported: %d!", fd_,
                   static_cast<int>(Permissions()));
        return -1;
    }
    if (state_ == State::Connected && protocolName_ == "TCP" && ::shutdown(fd_, SHUT_RDWR) != 0) {
        log::print("ERROR: %s Socket shutdown failed: %d!", protocolName_.c_str(),
                   lastConsoleSocketError());
    }
    // Linux releases the descriptor even when close() reports an error, so
    // keeping it would only invite a second close of a reused number.
    const int closed = ::close(fd_);
    const int error = closed == 0 ? 0 : lastConsoleSocketError();
    fd_ = -1;
    state_ = State::Closed;
    if (error != 0) {
        log::print("ERROR: Socket close failed: %d!", error);
    }
    return error;
}

std::array<std::uint8_t, 4> CIpSocket::RemoteAddress() const {
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &remoteAddress_.sin_addr.s_addr, bytes.size());
    return bytes;
}

std::uint16_t CIpSocket::RemotePort() const {
    return ntohs(remoteAddress_.sin_port);
}

std::uint32_t CIpSocket::LocalAddress() const {
    return ntohl(localAddress_.sin_addr.s_addr);
}

std::uint16_t CIpSocket::LocalPort() const {
    return ntohs(localAddress_.sin_port);
}

} // namespace mirx
