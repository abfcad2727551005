#pragma once

#include "core/elapsed_timer.h"
#include "core/ip_socket.h"
#include "core/socket_errors.h"
#include "core/thread.h"
#include "core/wire_frame.h"
#include "link/connection_end.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace mirx::link {

class CConnectionHandler;
class FrameReceiver;
class FrameSink;

// Owns one open TCP connection until it ends: cuts received bytes into
// frames for the handler, drains the handler's current queue into the
// socket, keeps the link alive and closes it on silence, on a socket error
// or when the handler asks. Sleeps in poll() on the socket and the handler's
// wake-up descriptor until the next deadline: keep-alive due, time-out, or
// the handler's next poll.
class CConnectionThread final : public CThread {
public:
    static constexpr std::size_t kBufferSize = wire::kMaxFrameSize;
    static constexpr std::uint32_t kInitialCommunicationTimeoutMs = 3500;
    static constexpr std::uint32_t kKeepAliveIntervalMs = 1250;
    static constexpr int kIncompleteWaitMs = 1;
    // Receives per pass at most, so a long download still lets the handler
    // poll, the queue drain and keep-alives go out between them.
    static constexpr int kMaxReceivesPerPass = 64;
    // After a pass that moved frames, while requests are being posted
    // (CConnectionHandler::PostedRecently), the loop watches the socket
    // and the queue this long before it sleeps: the answer to a request
    // just sent, or the caller's next request, usually comes sooner than a
    // sleeping thread is woken on a machine whose idle cores halt.
    static constexpr std::chrono::microseconds kBusySpin{20};

    struct Config {
        CIpSocket* socket = nullptr; // connected
        CConnectionHandler* handler = nullptr;
        bool ownsSocket = false;
        bool ownsHandler = false;
    };

    explicit CConnectionThread(const Config& config);
    ~CConnectionThread() override;

    // Any thread: the loop ends at its next pass.
    void RequestStop() { stopRequest_.store(true, std::memory_order_release); }

protected:
    void Run() override;

private:
    class Sink;
    // Receives and cuts what the socket holds, up to kMaxReceivesPerPass
    // receives. False when the loop must end (peer closed, socket error).
    bool ReceiveWaiting(FrameReceiver& receiver, FrameSink& sink, bool& incomplete);
    // Sends the whole buffer unless the socket fails or the link times out.
    bool SendAll(const std::uint8_t* data, std::size_t length);
    bool WaitWritable();
    // Until the socket can be read, the queue holds a frame or a stop was
    // asked for (true), or kBusySpin passed (false).
    bool SpinForWork();
    void Wait(int timeoutMs);
    // The first reason the loop must end wins.
    void NoteEnd(ConnectionEnd reason, std::uint32_t detail);

    std::atomic<bool> stopRequest_{false};
    CIpSocket* socket_;
    CConnectionHandler* handler_;
    bool ownsSocket_;
    bool ownsHandler_;
    std::array<std::uint8_t, 4> peerAddress_{};
    std::uint16_t peerPort_ = 0;
    std::uint32_t localAddress_ = 0;
    std::uint16_t localPort_ = 0;
    std::string peerText_;
    CElapsedTimer communicationTimeout_;
    CElapsedTimer keepAliveTimer_;
    ConnectionEnd end_ = ConnectionEnd::ByConsole;
    std::uint32_t endDetail_ = 0;
};

} // namespace mirx::link
