#pragma once

#include "core/message_queue.h"
#include "core/wakeup.h"
#include "link/connection_end.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace mirx::link {

// Protocol logic plugs into a connection thread through this interface. The
// callbacks run on the connection thread, never concurrently; the flags and
// queues may be used from any thread.
class CConnectionHandler {
public:
    static constexpr std::uint16_t kOwnQueueSlots = 50;
    static constexpr int kIdle = -1;

    CConnectionHandler();
    virtual ~CConnectionHandler();
    CConnectionHandler(const CConnectionHandler&) = delete;
    CConnectionHandler& operator=(const CConnectionHandler&) = delete;

    // Once per connection, before any message.
    virtual void OnConnect();
    virtual void OnMessage(std::uint16_t messageId, std::uint16_t secondValue,
                           const std::uint8_t* payload, std::size_t length) = 0;
    // Once per pass of the connection loop.
    virtual void OnPoll() {}
    // How long the connection thread may sleep before the next OnPoll is
    // due when nothing arrives and nobody wakes it.
    static constexpr std::uint32_t kNoPollDue = UINT32_MAX;
    virtual std::uint32_t MsUntilPollDue() const { return kNoPollDue; }
    // Once, after the socket was closed.
    virtual void OnDisconnect();

    // Filled by the connection thread before OnConnect.
    void SetEndpoints(std::array<std::uint8_t, 4> peerAddress, std::uint16_t peerPort,
                      std::uint32_t localAddress, std::uint16_t localPort);
    const std::string& PeerText() const { return peerText_; }
    std::uint16_t LocalPort() const { return localPort_; }
    std::uint16_t PeerPort() const { return peerPort_; }

    // Set by the connection thread just before OnDisconnect: why the
    // connection ended. Any thread may read the last one.
    void RecordEnd(ConnectionEnd reason, std::uint32_t detail);
    ConnectionEvent LastEnd() const;

    // Any thread: closes the connection within one pass.
    void RequestDisconnect();
    bool DisconnectRequested() const { return disconnectRequest_.load(std::memory_order_acquire); }
    bool IsConnected() const { return connected_.load(std::memory_order_acquire); }
    // Grows by one at every OnConnect, so a waiter cannot miss a connection
    // that came and went between two looks.
    unsigned ConnectionCount() const { return connections_.load(std::memory_order_acquire); }
    int State() const { return state_.load(std::memory_order_acquire); }
    void SetState(int state) { state_.store(state, std::memory_order_release); }

    // The queue the connection thread drains.
    CMessageQueue& CurrentQueue() const { return *currentQueue_.load(std::memory_order_acquire); }
    CMessageQueue& OwnQueue() { return ownQueue_; }

    // The connection thread waits on this beside its socket; posts into a
    // queue watched with WatchQueue() and disconnect requests signal it.
    int WakeupFd() const { return wakeup_.fd(); }
    void DrainWakeup() { wakeup_.drain(); }
    // Any thread: the connection thread runs a pass at once (after a state
    // change made outside it, for instance).
    void Wake() { wakeup_.signal(); }

    // Whether the callers' queue took a post in the last kBusyWindow: a
    // caller is working through requests, and the connection thread spins
    // a moment before it sleeps, so neither the caller's next request nor
    // the server's answer waits for a wake-up.
    bool PostedRecently() const;
    static constexpr std::chrono::milliseconds kBusyWindow{5};

protected:
    // Connection thread only: the queue to drain from now on.
    void MakeCurrent(CMessageQueue& queue) {
        currentQueue_.store(&queue, std::memory_order_release);
    }
    // Posts into `queue` wake the connection thread at once.
    // `callers`: the queue other threads post their requests into; only
    // its posts count for PostedRecently(), not the handler's own.
    void WatchQueue(CMessageQueue& queue, bool callers = false);
    void ClearDisconnectRequest() { disconnectRequest_.store(false, std::memory_order_release); }

private:
    std::string peerText_;
    std::array<std::uint8_t, 4> peerAddress_{};
    std::uint16_t peerPort_ = 0;
    std::uint32_t localAddress_ = 0;
    std::uint16_t localPort_ = 0;
    std::atomic<int> state_{kIdle};
    CWakeup wakeup_;
    CMessageQueue ownQueue_{kOwnQueueSlots};
    std::atomic<CMessageQueue*> currentQueue_{&ownQueue_};
    std::atomic<bool> connected_{false};
    std::atomic<unsigned> connections_{0};
    std::atomic<bool> disconnectRequest_{false};
    // steady_clock nanoseconds; far in the past until the first post.
    std::atomic<std::int64_t> postedAt_{INT64_MIN / 2};
    mutable std::mutex endLock_;
    ConnectionEvent lastEnd_;
};

// "%d.%d.%d.%d:%d" of an address as four wire bytes and a port.
std::string formatPeer(const std::array<std::uint8_t, 4>& address, std::uint16_t port);

} // namespace mirx::link
