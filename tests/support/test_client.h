#pragma once

#include "link/frame_cutter.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace mirx::test {

// A console stand-in for tests: one blocking-with-time-out TCP connection to
// 127.0.0.1 that writes frames and cuts what comes back with the console's own
// FrameReceiver (so its framing reports land in the debug log). Keep-alives
// are counted, never returned as frames.
class TestClient final : private link::FrameSink {
public:
    struct Frame {
        std::uint16_t id = 0;
        std::uint16_t second = 0;
        std::vector<std::uint8_t> payload;
    };

    TestClient() = default;
    ~TestClient() override;
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    // False when nobody accepted within the time.
    bool connect(std::uint16_t port, int timeoutMs = 2000);
    // Takes over an accepted, non-blocking descriptor: the test plays the
    // server and the code under test is the one that connected.
    void adopt(int fd);
    void close();
    bool connected() const { return fd_ >= 0; }
    // The client's own port, as the server sees it.
    std::uint16_t localPort() const { return localPort_; }

    // False when not every byte could be written.
    bool send(std::uint16_t id, std::uint16_t second, std::span<const std::uint8_t> payload = {});
    bool sendRaw(std::span<const std::uint8_t> bytes);
    bool sendKeepAlive(std::uint16_t checkTimeMs);

    // The next frame other than a keep-alive, or nothing when none came in
    // time or the peer closed.
    std::optional<Frame> receive(int timeoutMs);
    // The next frame with `id`; frames before it are dropped.
    std::optional<Frame> waitFor(std::uint16_t id, int timeoutMs);
    // True once the peer closed (or reset) the connection; frames still
    // arriving meanwhile are kept for receive().
    bool waitClosed(int timeoutMs);

    int keepAlivesSeen() const { return keepAlives_; }
    std::optional<std::uint16_t> lastCheckTime() const { return lastCheckTime_; }

private:
    // One poll-and-recv of at most `timeoutMs`; false when the time ran out or
    // the connection ended.
    bool readOnce(int timeoutMs);

    void onKeepAlive(std::uint16_t checkTimeMs) override;
    void onFrame(const wire::FrameView& frame) override;

    int fd_ = -1;
    std::uint16_t localPort_ = 0;
    bool peerClosed_ = false;
    link::FrameReceiver receiver_;
    std::deque<Frame> frames_;
    int keepAlives_ = 0;
    std::optional<std::uint16_t> lastCheckTime_;
};

} // namespace mirx::test
