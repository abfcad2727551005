#include "sim/sim_server.h"

#include "core/clock.h"
#include "core/debug_log.h"
#include "link/frame_cutter.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace mirx::sim {
namespace {

std::uint32_t elapsedSince(std::uint32_t startTick) {
    return tickNow() - startTick; // modulo 2^32 across the wrap
}

// Milliseconds until a period that began at `startTick` is over; 0 when it is.
std::int64_t remaining(std::uint32_t startTick, std::uint32_t interval) {
    const std::uint32_t elapsed = elapsedSince(startTick);
    return elapsed >= interval ? 0 : std::int64_t{interval} - elapsed;
}

// strerror() is not safe beside other threads.
std::string errorText(int error) {
    return std::generic_category().message(error);
}

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

std::string formatPeer(const sockaddr_in& address) {
    const std::uint32_t host = ntohl(address.sin_addr.s_addr);
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d:%d", static_cast<int>(host >> 24),
                  static_cast<int>((host >> 16) & 0xFF), static_cast<int>((host >> 8) & 0xFF),
                  static_cast<int>(host & 0xFF), static_cast<int>(ntohs(address.sin_port)));
    return text;
}

} // namespace

// One console connection: its socket, receive buffer, outgoing bytes and
// timers. Lives on the loop thread only.
class SimServer::Connection final : public SimConnection, private link::FrameSink {
public:
    Connection(int fd, const sockaddr_in& peer, SimProtocol& protocol, const FaultSwitches& faults,
               FrameLog& frameLog)
        : fd_(fd)
        , peerText_(formatPeer(peer))
        , peerPort_(ntohs(peer.sin_port))
        , protocol_(protocol)
        , faults_(faults)
        , log_(frameLog) {
        receiver_.setPeerText(peerText_);
        startTick_ = tickNow();
        lastTraffic_ = lastSend_ = lastTick_ = startTick_;
    }

    ~Connection() override { finish("connection discarded"); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void start() {
        log_.event(peerText_, "connected");
        connected_ = true;
        guarded([&] { protocol_.onConnect(*this); });
    }

    int fd() const { return fd_; }
    bool finished() const { return finished_; }

    short pollEvents() const {
        return static_cast<short>(POLLIN | (hasOutput() && !silent() ? POLLOUT : 0));
    }

    // Reads what the socket holds and hands the frames on.
    void receive() {
        if (finished_) {
            return;
        }
        const auto space = receiver_.freeSpace();
        const ssize_t n = ::recv(fd_, space.data(), space.size(), 0);
        if (n == 0) {
            finish("console closed the connection");
            return;
        }
        if (n < 0) {
            if (!wouldBlock(errno)) {
                finish(std::string("receive error: ") + errorText(errno));
            }
            return;
        }
        receiver_.commit(static_cast<std::size_t>(n), *this);
    }

    // Timers and writing; called after every wake-up of the loop.
    void service() {
        if (finished_) {
            return;
        }
        if (silent()) {
            dropOutput();
        }
        while (!delayed_.empty() &&
               elapsedSince(delayed_.front().queuedTick) >= faults_.answerDelayMs) {
            Pending& next = delayed_.front();
            putOnWire(next.bytes, next.id, next.second, next.payloadLength, next.note);
            delayed_.pop_front();
        }
        if (elapsedSince(lastTick_) >= kTickMs) {
            lastTick_ = tickNow();
            guarded([&] { protocol_.onTick(*this); });
        }
        if (finished_) {
            return;
        }
        if (keepAliveDue() && remaining(lastSend_, faults_.keepAliveIntervalMs) == 0) {
            std::uint8_t frame[wire::kKeepAliveSize];
            wire::writeKeepAlive(frame, sizeof frame, faults_.announcedCheckTimeMs);
            out_.insert(out_.end(), frame, frame + sizeof frame);
            log_.sent(peerText_, wire::kKeepAliveId, faults_.announcedCheckTimeMs, 0);
        }
        flush();
        if (finished_) {
            return;
        }
        if (closing_ && !hasOutput() && delayed_.empty()) {
            finish("closed by the protocol");
        } else if (elapsedSince(lastTraffic_) >= checkTimeMs_) {
            finish("communication time-out after " + std::to_string(checkTimeMs_) + " ms");
        }
    }

    // Until the earliest timer of this connection is due.
    int msUntilNextTimer() const {
        std::int64_t ms = remaining(lastTick_, kTickMs);
        ms = std::min(ms, remaining(lastTraffic_, checkTimeMs_));
        if (keepAliveDue()) {
            ms = std::min(ms, remaining(lastSend_, faults_.keepAliveIntervalMs));
        }
        if (!delayed_.empty()) {
            ms = std::min(ms, remaining(delayed_.front().queuedTick, faults_.answerDelayMs));
        }
        if (faults_.silentAfterMs != 0 && !silent()) {
            ms = std::min(ms, remaining(startTick_, faults_.silentAfterMs));
        }
        return static_cast<int>(ms);
    }

    // Closes the socket at once, dropping what was not sent yet.
    void finish(const std::string& reason) {
        if (finished_) {
            return;
        }
        finished_ = true;
        // Logged first, so the log tells the story in the order the peer sees it.
        log_.event(peerText_, "closed: " + reason);
        ::close(fd_);
        fd_ = -1;
        out_.clear();
        outSent_ = 0;
        delayed_.clear();
        if (connected_) {
            connected_ = false;
            try {
                protocol_.onDisconnect();
            } catch (const std::exception& e) {
                log_.event(peerText_, std::string("protocol failed in onDisconnect: ") + e.what());
            } catch (...) {
                log_.event(peerText_, "protocol failed in onDisconnect");
            }
        }
    }

    // SimConnection
    void send(std::uint16_t id, std::uint16_t second,
              std::span<const std::uint8_t> payload) override {
        if (finished_ || closing_ || silent()) {
            log_.sent(peerText_, id, second, payload.size(),
                      finished_ || closing_ ? "dropped: closing" : "dropped: silent");
            return;
        }
        ++framesQueued_;
        const bool garbage = framesQueued_ == faults_.garbageBeforeFrame;
        if (!garbage && faults_.answerDelayMs == 0) {
            // Straight into the output: a large answer is copied once.
            const std::size_t at = out_.size();
            out_.resize(at + payload.size() + wire::kFrameOverhead);
            if (wire::writeFrame(out_.data() + at, out_.size() - at, id, second, payload.data(),
                                 payload.size()) == 0) {
                out_.resize(at);
                log_.sent(peerText_, id, second, payload.size(), "dropped: too large for a frame");
                return;
            }
            log_.sent(peerText_, id, second, payload.size(), "");
            return;
        }
        Pending pending{tickNow(),
                        id,
                        second,
                        payload.size(),
                        garbage ? "after 1 stray byte" : "",
                        std::vector<std::uint8_t>(payload.size() + wire::kFrameOverhead + 1)};
        std::uint8_t* start = pending.bytes.data() + (garbage ? 1 : 0);
        const std::size_t size = wire::writeFrame(start, pending.bytes.size() - 1, id, second,
                                                  payload.data(), payload.size());
        if (size == 0) {
            log_.sent(peerText_, id, second, payload.size(), "dropped: too large for a frame");
            return;
        }
        pending.bytes.resize(size + (garbage ? 1 : 0));
        if (faults_.answerDelayMs != 0) {
            delayed_.push_back(std::move(pending));
        } else {
            putOnWire(pending.bytes, id, second, payload.size(), pending.note);
        }
    }

    void close() override { closing_ = true; }
    const std::string& peerText() const override { return peerText_; }
    std::uint16_t peerPort() const override { return peerPort_; }
    const FaultSwitches& faults() const override { return faults_; }

private:
    // A frame waiting for the answer delay, already in wire form.
    struct Pending {
        std::uint32_t queuedTick;
        std::uint16_t id;
        std::uint16_t second;
        std::size_t payloadLength;
        std::string note;
        std::vector<std::uint8_t> bytes;
    };

    // link::FrameSink
    void onTraffic() override { lastTraffic_ = tickNow(); }

    void onKeepAlive(std::uint16_t checkTimeMs) override {
        if (finished_) {
            return;
        }
        log_.received(peerText_, wire::kKeepAliveId, checkTimeMs, 0);
        checkTimeMs_ = checkTimeMs;
    }

    void onFrame(const wire::FrameView& frame) override {
        if (finished_) {
            return;
        }
        const std::size_t length = frame.payload.size();
        ++framesReceived_;
        if (framesReceived_ == faults_.closeAfterFrames) {
            log_.received(peerText_, frame.messageId, frame.secondValue, length,
                          "closing: close-after-frames");
            finish("closed after " + std::to_string(framesReceived_) + " frames");
            return;
        }
        if (faults_.ignoreMessageIds.contains(frame.messageId)) {
            log_.received(peerText_, frame.messageId, frame.secondValue, length, "ignored");
            return;
        }
        if (closing_) {
            log_.received(peerText_, frame.messageId, frame.secondValue, length,
                          "dropped: closing");
            return;
        }
        log_.received(peerText_, frame.messageId, frame.secondValue, length);
        guarded([&] { protocol_.onFrame(*this, frame); });
    }

    // Whatever the protocol throws ends this connection only.
    template <typename Call>
    void guarded(Call&& call) {
        try {
            call();
        } catch (const std::exception& e) {
            finish(std::string("protocol failed: ") + e.what());
        } catch (...) {
            finish("protocol failed");
        }
    }

    bool silent() const {
        return faults_.silentAfterMs != 0 && elapsedSince(startTick_) >= faults_.silentAfterMs;
    }

    bool hasOutput() const { return outSent_ < out_.size(); }

    // A keep-alive goes out only on an idle link, never between the bytes of
    // a frame.
    bool keepAliveDue() const {
        return faults_.keepAliveIntervalMs != 0 && !closing_ && !silent() && !hasOutput();
    }

    void putOnWire(const std::vector<std::uint8_t>& bytes, std::uint16_t id, std::uint16_t second,
                   std::size_t payloadLength, const std::string& note) {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
        log_.sent(peerText_, id, second, payloadLength, note);
    }

    void dropOutput() {
        for (const Pending& pending : delayed_) {
            log_.sent(peerText_, pending.id, pending.second, pending.payloadLength,
                      "dropped: silent");
        }
        delayed_.clear();
        out_.clear();
        outSent_ = 0;
    }

    // Writes until everything went out or the socket is full; never blocks.
    void flush() {
        while (hasOutput()) {
            const std::size_t chunk = faults_.splitWrites ? 1 : out_.size() - outSent_;
            const ssize_t n = ::send(fd_, out_.data() + outSent_, chunk, MSG_NOSIGNAL);
            if (n < 0) {
                if (!wouldBlock(errno)) {
                    finish(std::string("send error: ") + errorText(errno));
                }
                break;
            }
            outSent_ += static_cast<std::size_t>(n);
            lastSend_ = tickNow();
        }
        if (!hasOutput()) {
            out_.clear();
            outSent_ = 0;
        } else if (outSent_ > 65536 && outSent_ * 2 > out_.size()) {
            out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(outSent_));
            outSent_ = 0;
        }
    }

    int fd_;
    const std::string peerText_;
    const std::uint16_t peerPort_;
    SimProtocol& protocol_;
    const FaultSwitches& faults_;
    FrameLog& log_;
    link::FrameReceiver receiver_;

    std::vector<std::uint8_t> out_;
    std::size_t outSent_ = 0;
    std::deque<Pending> delayed_;

    std::uint32_t startTick_ = 0;
    std::uint32_t lastTraffic_ = 0;
    std::uint32_t lastSend_ = 0;
    std::uint32_t lastTick_ = 0;
    std::uint32_t checkTimeMs_ = kInitialCheckTimeMs;
    std::uint32_t framesReceived_ = 0;
    std::uint32_t framesQueued_ = 0;
    bool connected_ = false;
    bool closing_ = false;
    bool finished_ = false;
};

SimServer::SimServer(SimProtocol& protocol, FaultSwitches faults)
    : protocol_(protocol)
    , faults_(std::move(faults))
    , wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

SimServer::~SimServer() {
    stop();
    connection_.reset();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
    }
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

bool SimServer::listen(std::string_view address, std::uint16_t port) {
    const std::string where = std::string(address) + ":" + std::to_string(port);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (::inet_pton(AF_INET, std::string(address).c_str(), &local.sin_addr) != 1) {
        log::print("sim: cannot listen on %s: not an IPv4 address", where.c_str());
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        log::print("sim: cannot create a socket: %s", errorText(errno).c_str());
        return false;
    }
    // A restarted simulator must not wait for the old port's TIME_WAIT.
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    socklen_t length = sizeof local;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        log::print("sim: cannot listen on %s: %s", where.c_str(), errorText(errno).c_str());
        ::close(fd);
        return false;
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
    }
    listenFd_ = fd;
    port_ = ntohs(local.sin_port);
    frameLog_.event({}, "listening on " + std::string(address) + ":" + std::to_string(port_));
    return true;
}

void SimServer::run() {
    if (listenFd_ < 0 || wakeFd_ < 0) {
        log::print("sim: run() without a listening socket");
        return;
    }
    while (!stopRequest_.load(std::memory_order_acquire)) {
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        int timeout = -1;
        if (connection_) {
            fds[1] = {connection_->fd(), connection_->pollEvents(), 0};
            timeout = connection_->msUntilNextTimer();
        }
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
            log::print("sim: poll failed: %s", errorText(errno).c_str());
            break;
        }
        if (stopRequest_.load(std::memory_order_acquire)) {
            break;
        }
        if (!connection_) {
            if ((fds[1].revents & POLLIN) == 0) {
                continue;
            }
            acceptOne();
            if (!connection_) {
                continue;
            }
        } else if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            connection_->receive();
        }
        connection_->service();
        if (connection_->finished()) {
            connection_.reset();
        }
    }
    if (connection_) {
        connection_->finish("simulator stopped");
        connection_.reset();
    }
}

void SimServer::acceptOne() {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        if (!wouldBlock(errno) && errno != ECONNABORTED) {
            log::print("sim: accept failed: %s", errorText(errno).c_str());
        }
        return;
    }
    // Small answers go out at once instead of waiting for the console's ACK.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    connection_ = std::make_unique<Connection>(fd, peer, protocol_, faults_, frameLog_);
    connection_->start();
}

void SimServer::runInBackground() {
    std::lock_guard lock(threadLock_);
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { run(); });
    }
}

void SimServer::stop() {
    stopRequest_.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    const ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
    (void)ignored; // a full counter already wakes the loop
    std::lock_guard lock(threadLock_);
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

} // namespace mirx::sim
