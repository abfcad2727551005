#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

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
