#include "core/ip_socket.h"
#include "core/socket_errors.h"
#include "tests/support/log_capture.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace mirx {
namespace {

using Clock = std::chrono::steady_clock;

class OwnedFd {
public:
    explicit OwnedFd(int fd = -1)
        : fd_(fd) {}
    ~OwnedFd() {
        if (fd_ != -1) {
            ::close(fd_);
        }
    }
    OwnedFd(OwnedFd&& other) noexcept
        : fd_(other.fd_) {
        other.fd_ = -1;
    }
    OwnedFd& operator=(OwnedFd&&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::uint16_t localPortOf(int fd) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

// A socket bound to 127.0.0.1 on a port the system picks; listening unless
// asked not to, which makes its port a closed one nobody else can take.
OwnedFd boundSocket(int type, bool listening) {
    OwnedFd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
    const sockaddr_in address = loopback(0);
    EXPECT_EQ(::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    if (listening) {
        EXPECT_EQ(::listen(fd.get(), 4), 0);
    }
    return fd;
}

bool waitReadable(int fd, int timeoutMs = 2000) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, timeoutMs) == 1;
}

OwnedFd acceptPeer(int listener) {
    if (!waitReadable(listener)) {
        ADD_FAILURE() << "no connection arrived";
        return OwnedFd();
    }
    return OwnedFd(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
}

int bytesWaiting(int fd) {
    int waiting = 0;
    ::ioctl(fd, FIONREAD, &waiting);
    return waiting;
}

// Polls until `fd` has `count` bytes queued, or two seconds passed.
bool waitForBytes(int fd, int count) {
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (bytesWaiting(fd) < count && Clock::now() < deadline) {
        waitReadable(fd, 10);
    }
    return bytesWaiting(fd) >= count;
}

TEST(SocketErrors, MapsErrnoToConsoleNumbers) {
    const std::vector<std::pair<int, int>> cases = {
        {EWOULDBLOCK, 10035},
        {EAGAIN, 10035},
        {EMSGSIZE, 10040},
        {EINPROGRESS, 10036},
        {EALREADY, 10037},
        {ENOTSOCK, 10038},
        {EADDRINUSE, 10048},
        {EADDRNOTAVAIL, 10049},
        {ENETDOWN, 10050},
        {ENETUNREACH, 10051},
        {ECONNABORTED, 10053},
        {ECONNRESET, 10054},
        {ENOBUFS, 10055},
        {EISCONN, 10056},
        {ENOTCONN, 10057},
        {ESHUTDOWN, 10058},
        {EPIPE, 10058},
        {ETIMEDOUT, 10060},
        {ECONNREFUSED, 10061},
        {EHOSTUNREACH, 10065},
        {EINVAL, 10022},
        {EBADF, 10009},
        {EACCES, 10013},
        {EFAULT, 10014},
        {EMFILE, 10024},
        // Nothing to translate: the value itself.
        {0, 0},
        {ENOMEM, ENOMEM},
        {4242, 4242},
    };
    for (const auto& [posix, console] : cases) {
        EXPECT_EQ(consoleSocketError(posix), console) << "errno " << posix;
    }
    EXPECT_EQ(kWouldBlock, 10035);
    EXPECT_EQ(kMessageTooLong, 10040);

    errno = ECONNREFUSED;
    EXPECT_EQ(lastConsoleSocketError(), 10061);
}

TEST(SocketErrors, TableNamesEachErrnoOnce) {
    std::map<int, int> seen;
    for (const auto& entry : socketErrorTable()) {
        const auto [it, inserted] = seen.emplace(entry.posixErrno, entry.consoleError);
        if (!inserted) {
            EXPECT_EQ(it->second, entry.consoleError) << "errno " << entry.posixErrno;
        }
    }
}

class IpSocketTest : public ::testing::Test {
protected:
    OwnedFd listener_ = boundSocket(SOCK_STREAM, true);
    std::uint16_t port_ = localPortOf(listener_.get());
    test::LogCapture log_;
};

TEST_F(IpSocketTest, OpensConnectionFromAnyOrGivenLocalAddress) {
    // Text that is not an address means any local address.
    for (const std::string local : {"", "127.0.0.1", "not-an-address"}) {
        SCOPED_TRACE("local '" + local + "'");
        log_.clear();
        CIpSocket socket;
        ASSERT_EQ(socket.OpenConnection(local, 0, "127.0.0.1", port_), 0);
        const OwnedFd peer = acceptPeer(listener_.get());

        EXPECT_EQ(socket.GetState(), CIpSocket::State::Connected);
        EXPECT_GE(socket.Fd(), 0);
        EXPECT_EQ(socket.RemoteAddress(), (std::array<std::uint8_t, 4>{127, 0, 0, 1}));
        EXPECT_EQ(socket.RemotePort(), port_);
        EXPECT_EQ(socket.LocalAddress(), INADDR_LOOPBACK);
        sockaddr_in seen{};
        socklen_t size = sizeof seen;
        ASSERT_EQ(::getpeername(peer.get(), reinterpret_cast<sockaddr*>(&seen), &size), 0);
        EXPECT_EQ(socket.LocalPort(), ntohs(seen.sin_port));

        EXPECT_EQ(socket.ProtocolName(), "TCP");
        EXPECT_EQ(socket.ReceiveBufferSize(), 8192);
        // The system sizes the receive window; Linux would report a pinned
        // 8192-byte request as twice that and never grow it.
        int kernelBuffer = 0;
        size = sizeof kernelBuffer;
        ASSERT_EQ(::getsockopt(socket.Fd(), SOL_SOCKET, SO_RCVBUF, &kernelBuffer, &size), 0);
        EXPECT_NE(kernelBuffer, 2 * 8192);
        // Read at creation; the system may grow the buffer once connected.
        EXPECT_GT(socket.SendBufferSize(), 0);

        int tos = 0;
        size = sizeof tos;
        ASSERT_EQ(::getsockopt(socket.Fd(), IPPROTO_IP, IP_TOS, &tos, &size), 0);
        EXPECT_EQ(tos, CIpSocket::kAudioVideoTos);
        EXPECT_EQ(tos, 0x88);
        EXPECT_TRUE(log_.lines().empty()) << log_.lines().front();
        EXPECT_EQ(socket.Close(), 0);
    }
}

TEST_F(IpSocketTest, FailedBindStillConnectsUnbound) {
    CIpSocket socket;
    // The listener holds this port, so the bind is refused.
    ASSERT_EQ(socket.OpenConnection("127.0.0.1", port_, "127.0.0.1", port_), 0);
    EXPECT_TRUE(log_.contains("Socket listen error: 10048"));
    EXPECT_EQ(socket.GetState(), CIpSocket::State::Connected);
    EXPECT_NE(socket.LocalPort(), port_);
    socket.Close();
}

TEST_F(IpSocketTest, RefusedConnectFailsQuicklyAndLeavesSocketReusable) {
    const OwnedFd closed = boundSocket(SOCK_STREAM, false);
    CIpSocket socket;
    const auto start = Clock::now();
    EXPECT_EQ(socket.OpenConnection("", 0, "127.0.0.1", localPortOf(closed.get())), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(socket.GetState(), CIpSocket::State::Closed);
    EXPECT_EQ(socket.Fd(), -1);
    EXPECT_FALSE(log_.contains("WARNING"));

    EXPECT_EQ(socket.OpenConnection("", 0, "127.0.0.1", port_), 0);
    EXPECT_EQ(socket.GetState(), CIpSocket::State::Connected);
    socket.Close();
}

TEST_F(IpSocketTest, ConnectReportsRefusalWithConsoleNumber) {
    const OwnedFd closed = boundSocket(SOCK_STREAM, false);
    CIpSocket socket;
    ASSERT_EQ(socket.Create(SOCK_STREAM, CIpSocket::kTcpProtocol), 0);
    EXPECT_EQ(socket.Connect(loopback(localPortOf(closed.get()))), 10061);
    EXPECT_EQ(socket.GetState(), CIpSocket::State::Created);
    socket.Close();
}

TEST_F(IpSocketTest, ConnectGivesUpWhenNothingAnswers) {
    // A listener that never accepts: once its queue is full, further
    // handshakes go unanswered.
    const OwnedFd full(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = loopback(0);
    ASSERT_EQ(::bind(full.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(full.get(), 0), 0);
    const std::uint16_t port = localPortOf(full.get());

    std::vector<OwnedFd> queued;
    for (int i = 0; i < 8; ++i) {
        OwnedFd filler(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        const sockaddr_in target = loopback(port);
        // Pending or done, each one takes a place in the queue.
        static_cast<void>(
            ::connect(filler.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target));
        queued.push_back(std::move(filler));
    }

    CIpSocket socket;
    const auto start = Clock::now();
    EXPECT_EQ(socket.OpenConnection("", 0, "127.0.0.1", port), 1);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(CIpSocket::kConnectTimeoutMs - 100));
    EXPECT_LT(elapsed, std::chrono::seconds(3));
    EXPECT_EQ(socket.GetState(), CIpSocket::State::Closed);
}

TEST_F(IpSocketTest, RefusesRemoteThatIsNoAddress) {
    // Linux would take 0.0.0.0 as this machine and reach the listener.
    for (const std::string remote : {"0.0.0.0", "server.example", ""}) {
        SCOPED_TRACE("remote '" + remote + "'");
        log_.clear();
        CIpSocket socket;
        EXPECT_EQ(socket.OpenConnection("", 0, remote, port_), 1);
        EXPECT_TRUE(log_.contains("Socket send error: 10049"));
        EXPECT_EQ(socket.GetState(), CIpSocket::State::Closed);
    }
}

class ConnectedSocketTest : public IpSocketTest {
protected:
    void SetUp() override {
        ASSERT_EQ(socket_.OpenConnection("", 0, "127.0.0.1", port_), 0);
        peer_ = std::make_unique<OwnedFd>(acceptPeer(listener_.get()));
        log_.clear();
    }

    CIpSocket socket_;
    std::unique_ptr<OwnedFd> peer_;
};

TEST_F(ConnectedSocketTest, ReceiveWithNothingWaitingWouldBlock) {
    char buffer[16];
    EXPECT_EQ(socket_.Receive(buffer, sizeof buffer), -10035);
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(ConnectedSocketTest, ReceivesAtMostTheReceiveBufferSize) {
    const std::vector<char> sent(9000, 'x');
    ASSERT_EQ(::send(peer_->get(), sent.data(), sent.size(), 0), 9000);
    ASSERT_TRUE(waitForBytes(socket_.Fd(), 9000));

    std::vector<char> buffer(10000);
    EXPECT_EQ(socket_.Receive(buffer.data(), 10000), 8192);
    EXPECT_EQ(socket_.Receive(buffer.data(), 10000), 9000 - 8192);
}

TEST_F(ConnectedSocketTest, ReceiveReturnsZeroAfterPeerClosed) {
    ASSERT_EQ(::send(peer_->get(), "abc", 3, 0), 3);
    peer_.reset();
    ASSERT_TRUE(waitReadable(socket_.Fd()));
    char buffer[16];
    EXPECT_EQ(socket_.Receive(buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(socket_.Receive(buffer, sizeof buffer), 0);
}

TEST_F(ConnectedSocketTest, SendIsCutAtTheSendBufferSize) {
    socket_.SetSendBufferSizeForTesting(100);
    const std::vector<char> data(1000, 'y');
    EXPECT_EQ(socket_.Send(data.data(), 100), 100);
    EXPECT_FALSE(log_.contains("Entire message not sent!!!"));

    EXPECT_EQ(socket_.Send(data.data(), 1000), 100);
    EXPECT_EQ(log_.count("Entire message not sent!!!"), 1u);
    EXPECT_TRUE(waitForBytes(peer_->get(), 200));
    EXPECT_EQ(bytesWaiting(peer_->get()), 200);
}

TEST_F(ConnectedSocketTest, SendToPeerNotReadingGoesPartialThenWouldBlock) {
    const std::vector<char> data(static_cast<std::size_t>(socket_.SendBufferSize()) * 2, 'z');
    const int length = static_cast<int>(data.size());
    const int first = socket_.Send(data.data(), length);
    EXPECT_GT(first, 0);
    EXPECT_LT(first, length);
    EXPECT_TRUE(log_.contains("Entire message not sent!!!"));

    int result = first;
    for (int i = 0; i < 10000 && result > 0; ++i) {
        result = socket_.Send(data.data(), length);
    }
    EXPECT_EQ(result, -10035);
    EXPECT_FALSE(log_.contains("Socket send error"));
}

TEST_F(ConnectedSocketTest, SendAfterPeerResetReportsTheError) {
    const linger abort{1, 0};
    ::setsockopt(peer_->get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    peer_.reset();
    ASSERT_TRUE(waitReadable(socket_.Fd()));

    // Reset first, then broken pipe; the second one must not raise SIGPIPE.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int result = socket_.Send("hello", 5);
        EXPECT_TRUE(result == -10054 || result == -10058) << result;
        EXPECT_TRUE(log_.contains("Socket send error: " + std::to_string(-result)));
    }
}

TEST_F(ConnectedSocketTest, CloseShutsDownAndReturnsToClosed) {
    EXPECT_EQ(socket_.Close(), 0);
    EXPECT_EQ(socket_.GetState(), CIpSocket::State::Closed);
    EXPECT_EQ(socket_.Fd(), -1);
    ASSERT_TRUE(waitReadable(peer_->get()));
    char byte = 0;
    EXPECT_EQ(::recv(peer_->get(), &byte, 1, 0), 0);
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(IpSocketTest, DestructorClosesAnOpenSocketWithWarning) {
    int fd = -1;
    {
        CIpSocket socket;
        ASSERT_EQ(socket.Create(SOCK_STREAM, CIpSocket::kTcpProtocol), 0);
        fd = socket.Fd();
    }
    EXPECT_EQ(log_.count("WARNING: Closing socket from destructor"), 1u);
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);

    log_.clear();
    { CIpSocket unused; }
    EXPECT_TRUE(log_.lines().empty());
}

TEST_F(IpSocketTest, DatagramLongerThanTheBufferIsReported) {
    const OwnedFd peer = boundSocket(SOCK_DGRAM, false);
    CIpSocket socket;
    ASSERT_EQ(socket.Create(SOCK_DGRAM, CIpSocket::kUdpProtocol), 0);
    ASSERT_EQ(socket.Connect(loopback(localPortOf(peer.get()))), 0);
    const sockaddr_in target = loopback(localPortOf(socket.Fd()));
    const auto sendTo = [&](std::size_t bytes) {
        const std::vector<char> datagram(bytes, 'd');
        return ::sendto(peer.get(), datagram.data(), datagram.size(), 0,
                        reinterpret_cast<const sockaddr*>(&target), sizeof target);
    };

    char buffer[10];
    ASSERT_EQ(sendTo(100), 100);
    ASSERT_TRUE(waitReadable(socket.Fd()));
    EXPECT_EQ(socket.Receive(buffer, sizeof buffer), -10040);
    EXPECT_TRUE(log_.contains("ERROR: UDP Socket recvfrom() returned WSAEMSGSIZE ... Bytes "
                              "Received = 10, Buffer Length = 10, RCVBUF = 8192"));

    ASSERT_EQ(sendTo(7), 7);
    ASSERT_TRUE(waitReadable(socket.Fd()));
    EXPECT_EQ(socket.Receive(buffer, sizeof buffer), 7);
    socket.Close();
}

// What each operation does in a state that does not allow it.
TEST_F(IpSocketTest, OperationsRefusedInWrongStates) {
    using State = CIpSocket::State;
    char buffer[16];
    const auto hex = [](auto value) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
        return std::string(text);
    };
    const auto receiveRefusal = [&](const CIpSocket& s, const void* ptr, int length) {
        return "Receive():  Invalid Socket (" + std::to_string(s.Fd()) +
               ") or Invalid Operation (" + hex(s.Permissions()) + ") or Invalid Buffer Ptr (" +
               hex(reinterpret_cast<std::uintptr_t>(ptr)) + ") or Invlalid Packet Length (" +
               std::to_string(length) + ")";
    };
    const auto connectRefusal = [&](const CIpSocket& s) {
        return "ERROR: Connect failed ... Socket not invalid (" + hex(s.Fd()) +
               ") or operation not allowed (" + hex(s.Permissions()) + ") or !AF_INET";
    };
    sockaddr_in v6 = loopback(port_);
    v6.sin_family = AF_INET6;

    struct Case {
        const char* name;
        State state;
        std::function<int(CIpSocket&)> operation;
        int result;
        // Empty: nothing may be logged.
        std::function<std::string(const CIpSocket&)> message;
    };
    const std::vector<Case> cases = {
        {"send when closed", State::Closed, [&](CIpSocket& s) { return s.Send("x", 1); }, -1,
         nullptr},
        {"receive when closed", State::Closed, [&](CIpSocket& s) { return s.Receive(buffer, 16); },
         0,
         [&](const CIpSocket& s) {
             return receiveRefusal(s, buffer, 16);
         }},
        {"close when closed", State::Closed, [](CIpSocket& s) { return s.Close(); }, -1,
         [](const CIpSocket&) {
             return std::string("ERROR: Socket invalid (-1) or IPSO_CLOSE not supported: 1!");
         }},
        {"connect when closed", State::Closed,
         [&](CIpSocket& s) { return s.Connect(loopback(port_)); }, -1, connectRefusal},
        {"bind when closed", State::Closed, [](CIpSocket& s) { return s.Bind(loopback(0)); }, -1,
         nullptr},
        {"create when created", State::Created,
         [](CIpSocket& s) { return s.Create(SOCK_STREAM, 6); }, -1,
         [&](const CIpSocket& s) {
             return "ERROR: Create failed ... Socket not invalid (" + hex(s.Fd()) +
                    ") or operation not allowed (0x26)";
         }},
        {"send when created", State::Created, [](CIpSocket& s) { return s.Send("x", 1); }, -1,
         nullptr},
        {"receive when created", State::Created,
         [&](CIpSocket& s) { return s.Receive(buffer, 16); }, 0,
         [&](const CIpSocket& s) {
             return receiveRefusal(s, buffer, 16);
         }},
        {"connect to a non-IPv4 address", State::Created,
         [&](CIpSocket& s) { return s.Connect(v6); }, -1, connectRefusal},
        {"bind a non-IPv4 address", State::Created, [&](CIpSocket& s) { return s.Bind(v6); }, -1,
         nullptr},
        {"connect when connected", State::Connected,
         [&](CIpSocket& s) { return s.Connect(loopback(port_)); }, -1,
         [&](const CIpSocket& s) {
             EXPECT_EQ(s.Permissions(), 0x38u);
             return connectRefusal(s);
         }},
        {"bind when connected", State::Connected, [](CIpSocket& s) { return s.Bind(loopback(0)); },
         -1, nullptr},
        {"send nothing", State::Connected, [](CIpSocket& s) { return s.Send("x", 0); }, -1,
         nullptr},
        {"send from no buffer", State::Connected, [](CIpSocket& s) { return s.Send(nullptr, 4); },
         -1, nullptr},
        {"receive into no buffer", State::Connected,
         [&](CIpSocket& s) { return s.Receive(nullptr, 16); }, 0,
         [&](const CIpSocket& s) {
             return receiveRefusal(s, nullptr, 16);
         }},
        {"receive zero bytes", State::Connected, [&](CIpSocket& s) { return s.Receive(buffer, 0); },
         0,
         [&](const CIpSocket& s) {
             return receiveRefusal(s, buffer, 0);
         }},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CIpSocket socket;
        if (c.state == State::Created) {
            ASSERT_EQ(socket.Create(SOCK_STREAM, CIpSocket::kTcpProtocol), 0);
        } else if (c.state == State::Connected) {
            ASSERT_EQ(socket.OpenConnection("", 0, "127.0.0.1", port_), 0);
        }
        log_.clear();
        EXPECT_EQ(c.operation(socket), c.result);
        EXPECT_EQ(socket.GetState(), c.state);
        const std::vector<std::string> expected =
            c.message ? std::vector{c.message(socket)} : std::vector<std::string>{};
        EXPECT_EQ(log_.lines(), expected);
        if (socket.GetState() != State::Closed) {
            socket.Close();
        }
        if (c.state == State::Connected) {
            acceptPeer(listener_.get());
        }
    }
}

} // namespace
} // namespace mirx
