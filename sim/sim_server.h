#pragma once

#include "core/wire_frame.h"
#include "sim/fault_switches.h"
#include "sim/frame_log.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>

namespace mirx::sim {

// What the protocol logic sees of the one console connection. An interface,
// so a protocol can also be driven by a recording fake without sockets. Valid
// from onConnect until onDisconnect returns; loop thread only.
class SimConnection {
public:
    virtual ~SimConnection() = default;
    // Queues one frame and returns at once; the loop writes it when the socket
    // takes it, after the answer delay, and drops it while silent or closing.
    virtual void send(std::uint16_t id, std::uint16_t second,
                      std::span<const std::uint8_t> payload) = 0;
    // Ends the connection once every frame queued so far has gone out.
    virtual void close() = 0;
    // "%d.%d.%d.%d:%d" of the console.
    virtual const std::string& peerText() const = 0;
    // The console's own TCP port; its login cipher uses it.
    virtual std::uint16_t peerPort() const = 0;
    virtual const FaultSwitches& faults() const = 0;
};

// The protocol logic on top of the transport. One object serves every
// connection in turn; all calls come from the loop thread. An exception
// thrown from any of them closes the connection, never the simulator.
class SimProtocol {
public:
    virtual ~SimProtocol() = default;
    virtual void onConnect(SimConnection& connection) = 0;
    // Every frame except keep-alives and ignored IDs. The payload is valid
    // only during the call.
    virtual void onFrame(SimConnection& connection, const wire::FrameView& frame) = 0;
    // About every kTickMs while connected.
    virtual void onTick(SimConnection&) {}
    // Once per onConnect, after the socket was closed.
    virtual void onDisconnect() {}
};

// The listening side of the link: serves one console connection at a time
// (later ones wait in the backlog) with a single-threaded poll() loop.
//
// Keep-alives follow the console's own rules from the other end: the
// simulator sends one carrying faults.announcedCheckTimeMs whenever it has
// sent nothing for faults.keepAliveIntervalMs, and closes a connection on
// which no valid frame head arrived for the check time the console last
// announced (kInitialCheckTimeMs until it announces one).
class SimServer {
public:
    static constexpr std::uint32_t kInitialCheckTimeMs = 3500;
    static constexpr std::uint32_t kTickMs = 100;

    explicit SimServer(SimProtocol& protocol, FaultSwitches faults = {});
    // Stops and joins a background loop.
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Binds and listens; port 0 picks a free port. False, with a line in the
    // debug log, when the address is bad or taken.
    bool listen(std::string_view address = "127.0.0.1", std::uint16_t port = 0);
    // The bound port, valid after listen() succeeded.
    std::uint16_t port() const { return port_; }

    // Where frames and connection events are logged; standard error unless
    // changed. Configure before the loop runs.
    FrameLog& frameLog() { return frameLog_; }

    // Serves connections until stop(). Returns at once after a stop.
    void run();
    // run() on a thread of the server's own.
    void runInBackground();
    // Any thread: makes the loop close its connection and return; when the
    // loop runs in the background (and this is not that thread), also waits
    // for it.
    void stop();

private:
    class Connection;

    void acceptOne();

    SimProtocol& protocol_;
    const FaultSwitches faults_;
    FrameLog frameLog_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopRequest_{false};
    std::unique_ptr<Connection> connection_;
    std::mutex threadLock_; // guards thread_ against two stoppers
    std::thread thread_;
};

} // namespace mirx::sim
