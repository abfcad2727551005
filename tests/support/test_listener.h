#pragma once

#include <cstdint>

namespace mirx::test {

// A listening socket on 127.0.0.1 with a free port, for tests in which the
// code under test is the one that connects.
class TestListener {
public:
    TestListener();
    ~TestListener();
    TestListener(const TestListener&) = delete;
    TestListener& operator=(const TestListener&) = delete;

    std::uint16_t port() const { return port_; }
    // The accepted descriptor (non-blocking), or -1 when nobody came in time.
    int accept(int timeoutMs);
    // Stops listening: later connects are refused.
    void close();

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

} // namespace mirx::test
