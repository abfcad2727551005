#include "tests/support/test_client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace mirx::test {
namespace {

using SteadyClock = std::chrono::steady_clock;

int msLeft(SteadyClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
            .count();
    return left > 0 ? static_cast<int>(left) : 0;
}

SteadyClock::time_point after(int timeoutMs) {
    return SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
}

} // namespace

TestClient::~TestClient() {
    close();
}

bool TestClient::connect(std::uint16_t port, int timeoutMs) {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        return false;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
        pollfd p{fd_, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        if (errno != EINPROGRESS || ::poll(&p, 1, timeoutMs) != 1 ||
            ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            close();
            return false;
        }
    }
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length);
    localPort_ = ntohs(local.sin_port);
    receiver_.setPeerText("127.0.0.1:" + std::to_string(port));
    return true;
}

void TestClient::adopt(int fd) {
    close();
    fd_ = fd;
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    ::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &length);
    localPort_ = 0;
    receiver_.setPeerText("127.0.0.1:" + std::to_string(ntohs(peer.sin_port)));
}

void TestClient::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    peerClosed_ = false;
    receiver_.reset();
    frames_.clear();
    keepAlives_ = 0;
    lastCheckTime_.reset();
}

bool TestClient::sendRaw(std::span<const std::uint8_t> bytes) {
    std::size_t sent = 0;
    const auto deadline = after(2000);
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        pollfd p{fd_, POLLOUT, 0};
        if ((errno != EAGAIN && errno != EINTR) || ::poll(&p, 1, msLeft(deadline)) <= 0) {
            return false;
        }
    }
    return fd_ >= 0;
}

bool TestClient::send(std::uint16_t id, std::uint16_t second,
                      std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> frame(payload.size() + wire::kFrameOverhead);
    if (wire::writeFrame(frame.data(), frame.size(), id, second, payload.data(), payload.size()) ==
        0) {
        return false;
    }
    return sendRaw(frame);
}

bool TestClient::sendKeepAlive(std::uint16_t checkTimeMs) {
    std::uint8_t frame[wire::kKeepAliveSize];
    wire::writeKeepAlive(frame, sizeof frame, checkTimeMs);
    return sendRaw(frame);
}

bool TestClient::readOnce(int timeoutMs) {
    if (fd_ < 0 || peerClosed_) {
        return false;
    }
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) {
        return false;
    }
    const auto space = receiver_.freeSpace();
    const ssize_t n = ::recv(fd_, space.data(), space.size(), 0);
    if (n > 0) {
        receiver_.commit(static_cast<std::size_t>(n), *this);
        return true;
    }
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        peerClosed_ = true; // an orderly close or a reset
        return false;
    }
    return true;
}

std::optional<TestClient::Frame> TestClient::receive(int timeoutMs) {
    const auto deadline = after(timeoutMs);
    while (frames_.empty()) {
        const int left = msLeft(deadline);
        if (!readOnce(left) && (peerClosed_ || left == 0 || fd_ < 0)) {
            return std::nullopt;
        }
    }
    Frame frame = std::move(frames_.front());
    frames_.pop_front();
    return frame;
}

std::optional<TestClient::Frame> TestClient::waitFor(std::uint16_t id, int timeoutMs) {
    const auto deadline = after(timeoutMs);
    for (;;) {
        auto frame = receive(msLeft(deadline));
        if (!frame || frame->id == id) {
            return frame;
        }
    }
}

bool TestClient::waitClosed(int timeoutMs) {
    const auto deadline = after(timeoutMs);
    while (!peerClosed_ && fd_ >= 0) {
        const int left = msLeft(deadline);
        if (!readOnce(left) && left == 0) {
            break;
        }
    }
    return peerClosed_;
}

void TestClient::onKeepAlive(std::uint16_t checkTimeMs) {
    ++keepAlives_;
    lastCheckTime_ = checkTimeMs;
}

void TestClient::onFrame(const wire::FrameView& frame) {
    frames_.push_back({frame.messageId, frame.secondValue,
                       std::vector<std::uint8_t>(frame.payload.begin(), frame.payload.end())});
}

} // namespace mirx::test
