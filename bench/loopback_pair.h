#pragma once

#include <arpa/inet.h>
#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

private:
    LoopbackPair pair_;
    std::vector<std::uint8_t> ping_;
    std::vector<std::uint8_t> pong_;
    std::thread echo_;
};
