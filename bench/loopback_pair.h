#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

// The set of core 0 alone, for pinning a yardstick's threads.
inline cpu_set_t coreZero() {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    return set;
}

// Two ends of one TCP connection over 127.0.0.1: the raw yardstick the link
// benchmarks are measured against.
struct LoopbackPair {
    int client = -1;
    int server = -1;

    explicit LoopbackPair(bool noDelay) {
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(listener, 1);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        client = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(client, reinterpret_cast<sockaddr*>(&address), length);
        server = ::accept(listener, nullptr, nullptr);
        ::close(listener);
        if (noDelay) {
            const int one = 1;
            ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        }
    }
    ~LoopbackPair() {
        ::close(client);
        ::close(server);
    }
    LoopbackPair(const LoopbackPair&) = delete;
    LoopbackPair& operator=(const LoopbackPair&) = delete;
};

// Reads exactly `n` bytes; false when the stream ended first.
inline bool readExactly(int fd, std::uint8_t* buffer, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::recv(fd, buffer + got, n - got, 0);
        if (r <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(r);
    }
    return true;
}

// A raw request/response yardstick with blocking sockets: the far end
// answers every ping of `pingBytes` with a pong of `pongBytes`.
class RawPingPong {
public:
    RawPingPong(std::size_t pingBytes, std::size_t pongBytes)
        : pair_(true)
        , ping_(pingBytes)
        , pong_(pongBytes)
        , echo_([this] {
            std::vector<std::uint8_t> ping(ping_.size());
            const std::vector<std::uint8_t> pong(pong_.size());
            while (readExactly(pair_.server, ping.data(), ping.size())) {
                ::send(pair_.server, pong.data(), pong.size(), MSG_NOSIGNAL);
            }
        }) {}
    ~RawPingPong() {
        ::shutdown(pair_.client, SHUT_RDWR);
        echo_.join();
    }
    RawPingPong(const RawPingPong&) = delete;
    RawPingPong& operator=(const RawPingPong&) = delete;

    void exchange() {
        ::send(pair_.client, ping_.data(), ping_.size(), MSG_NOSIGNAL);
        readExactly(pair_.client, pong_.data(), pong_.size());
    }

    // Keeps the far end on core 0, for a caller that runs its exchanges
    // there too (OnCoreZero).
    void keepOnCoreZero() {
        const cpu_set_t set = coreZero();
        ::pthread_setaffinity_np(echo_.native_handle(), sizeof set, &set);
    }

private:
    LoopbackPair pair_;
    std::vector<std::uint8_t> ping_;
    std::vector<std::uint8_t> pong_;
    std::thread echo_;
};

// The calling thread on core 0 while this lives. A blocking ping-pong whose
// two ends share a core is the fastest it can be: where idle cores halt, a
// wake-up across cores costs several times the exchange, and the scheduler
// places the two ends on one core or two as what ran before suggests, so an
// unpinned ping-pong comes out fast or slow by chance.
class OnCoreZero {
public:
    OnCoreZero() {
        ::pthread_getaffinity_np(::pthread_self(), sizeof saved_, &saved_);
        const cpu_set_t set = coreZero();
        ::pthread_setaffinity_np(::pthread_self(), sizeof set, &set);
    }
    ~OnCoreZero() { ::pthread_setaffinity_np(::pthread_self(), sizeof saved_, &saved_); }
    OnCoreZero(const OnCoreZero&) = delete;
    OnCoreZero& operator=(const OnCoreZero&) = delete;

private:
    cpu_set_t saved_{};
};

// The floor under every ping-pong figure: the same exchange with both ends
// spinning on non-blocking sockets, so no thread sleeps and waits for the
// scheduler to wake it; it does not vary with how idle the machine is. The
// far end spins only between begin() and end(), so it takes no core from
// the measurements it is interleaved with.
class BusyRawPingPong {
public:
    BusyRawPingPong(std::size_t pingBytes, std::size_t pongBytes)
        : pair_(true)
        , ping_(pingBytes)
        , pong_(pongBytes) {
        for (const int fd : {pair_.client, pair_.server}) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        }
        echo_ = std::thread([this] {
            std::vector<std::uint8_t> ping(ping_.size());
            const std::vector<std::uint8_t> pong(pong_.size());
            for (;;) {
                {
                    std::unique_lock lock(lock_);
                    wake_.wait(lock, [this] { return active_ || stop_.load(); });
                }
                if (stop_.load()) {
                    return;
                }
                while (spinRead(pair_.server, ping.data(), ping.size(), true)) {
                    spinWrite(pair_.server, pong.data(), pong.size());
                }
            }
        });
    }
    ~BusyRawPingPong() {
        stop_.store(true);
        end();
        echo_.join();
    }
    BusyRawPingPong(const BusyRawPingPong&) = delete;
    BusyRawPingPong& operator=(const BusyRawPingPong&) = delete;

    void begin() {
        std::lock_guard lock(lock_);
        active_ = true;
        wake_.notify_one();
    }
    void end() {
        std::lock_guard lock(lock_);
        active_ = false;
        idle_.store(true);
        wake_.notify_one();
    }

    void exchange() {
        spinWrite(pair_.client, ping_.data(), ping_.size());
        spinRead(pair_.client, pong_.data(), pong_.size());
    }

private:
    // `mayRest`: the far end, which goes back to sleep after end().
    bool spinRead(int fd, std::uint8_t* buffer, std::size_t n, bool mayRest = false) {
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = ::recv(fd, buffer + got, n - got, MSG_DONTWAIT);
            if (r > 0) {
                got += static_cast<std::size_t>(r);
            } else if (r == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) || stop_.load()) {
                return false;
            } else if (mayRest && got == 0 && idle_.exchange(false)) {
                return false; // between exchanges: back to sleep until begin()
            }
        }
        return true;
    }
    void spinWrite(int fd, const std::uint8_t* data, std::size_t n) {
        std::size_t sent = 0;
        while (sent < n) {
            const ssize_t r = ::send(fd, data + sent, n - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (r > 0) {
                sent += static_cast<std::size_t>(r);
            } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return;
            }
        }
    }

    LoopbackPair pair_;
    std::vector<std::uint8_t> ping_;
    std::vector<std::uint8_t> pong_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> idle_{false};
    std::mutex lock_;
    std::condition_variable wake_;
    bool active_ = false; // guarded by lock_
    std::thread echo_;
};
