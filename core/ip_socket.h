#pragma once

#include <array>
#include <cstdint>
#include <netinet/in.h>
#include <string>

namespace mirx {

// One IPv4 socket: the console's TCP connection to the server. It is opened on
// the user-interface thread and then handed to the connection thread, which
// alone sends, receives and closes it; it is never used by two threads at once.
//
// Error numbers in results and messages are the console's own (see
// socket_errors.h), so "would block" is 10035 here too.
class CIpSocket {
public:
    enum class State { Closed, Created, Bound, Connected };

    // Operations a state allows; a set of these is the socket's permissions.
    enum Permission : std::uint32_t {
        kAllowCreate = 0x01,
        kAllowBind = 0x02,
        kAllowConnect = 0x04,
        kAllowSend = 0x08,
        kAllowReceive = 0x10,
        kAllowClose = 0x20,
    };

    static constexpr std::uint32_t PermissionsOf(State state) {
        switch (state) {
        case State::Closed:
            return kAllowCreate;
        case State::Created:
            return kAllowBind | kAllowConnect | kAllowClose;
        case State::Bound:
            return kAllowConnect | kAllowClose;
        case State::Connected:
            return kAllowSend | kAllowReceive | kAllowClose;
        }
        return 0;
    }

    // A server that has not answered by then is treated as absent.
    static constexpr int kConnectTimeoutMs = 2000;
    // The most one Receive reads. Not requested from the system: the
    // kernel sizes the receive window itself (see Create).
    static constexpr int kReceiveBufferSize = 8192;
    static constexpr int kTcpProtocol = 6;
    static constexpr int kUdpProtocol = 17;
    // DSCP AF41 (interactive audio/video) in the TOS byte.
    static constexpr int kAudioVideoTos = 0x88;

    CIpSocket() = default;
    // Closes a socket that is still open, with a warning: an owner should have.
    ~CIpSocket();
    CIpSocket(const CIpSocket&) = delete;
    CIpSocket& operator=(const CIpSocket&) = delete;

    // Only when Closed. 0 when Created; -1 when refused; otherwise the
    // console's error number of the failed socket().
    int Create(int socketType, int protocol);
    // Only when Created, with an IPv4 address. 0 when Bound; -1 when refused;
    // otherwise the console's error number.
    int Bind(const sockaddr_in& local);
    // Only when Created or Bound, with an IPv4 address. Waits at most
    // kConnectTimeoutMs. 0 when Connected; -1 when refused; otherwise the
    // console's error number (10060 after the time-out).
    int Connect(const sockaddr_in& remote);

    // The whole sequence: create, bind to the local address (empty or
    // unparsable text: any), connect without blocking, mark for audio/video.
    // 0 on success; 1 on failure, the socket then Closed and reusable.
    int OpenConnection(const std::string& localAddressText, std::uint16_t localPort,
                       const std::string& remoteAddressText, std::uint16_t remotePort);
    // Why the last OpenConnection failed: the connect's error number
    // (10061 refused, 10060 time-out, ...), or 0.
    int LastConnectError() const { return connectError_; }

    // Bytes sent (at most SendBufferSize()), -kWouldBlock when nothing fits,
    // another negated error number, or -1 when not Connected or nothing given.
    int Send(const void* data, int length);
    // Bytes received (at most ReceiveBufferSize()), 0 when the peer closed or
    // the call is invalid, or the negated error number (-kWouldBlock when
    // nothing is waiting).
    int Receive(void* buffer, int length);
    // 0 when Closed; -1 when refused; otherwise the console's error number.
    int Close();

    State GetState() const { return state_; }
    std::uint32_t Permissions() const { return PermissionsOf(state_); }
    // The descriptor for poll(); -1 when Closed. The socket keeps ownership.
    int Fd() const { return fd_; }

    // Peer address as the four bytes on the wire.
    std::array<std::uint8_t, 4> RemoteAddress() const;
    std::uint16_t RemotePort() const;
    // Host order.
    std::uint32_t LocalAddress() const;
    std::uint16_t LocalPort() const;

    int ReceiveBufferSize() const { return receiveBufferSize_; }
    int SendBufferSize() const { return sendBufferSize_; }
    const std::string& ProtocolName() const { return protocolName_; }

    // Lets a test see a partial send without filling the kernel's buffer.
    void SetSendBufferSizeForTesting(int bytes) { sendBufferSize_ = bytes; }

private:
    int WaitForConnect();
    void MarkAudioVideo();
    void ReadLocalAddressBack();

    int fd_ = -1;
    State state_ = State::Closed;
    sockaddr_in localAddress_{};
    sockaddr_in remoteAddress_{};
    int receiveBufferSize_ = kReceiveBufferSize;
    int sendBufferSize_ = 0;
    int socketType_ = 0;
    std::string protocolName_;
    int connectError_ = 0;
};

} // namespace mirx
