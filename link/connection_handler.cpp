#include "link/connection_handler.h"

#include <chrono>
#include <cstdio>

namespace mirx::link {
namespace {

std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

std::string formatPeer(const std::array<std::uint8_t, 4>& address, std::uint16_t port) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d:%d", address[0], address[1], address[2],
                  address[3], port);
    return text;
}

CConnectionHandler::CConnectionHandler() {
    WatchQueue(ownQueue_);
}

CConnectionHandler::~CConnectionHandler() {
    ownQueue_.SetPostHook({});
}

void CConnectionHandler::WatchQueue(CMessageQueue& queue, bool callers) {
    if (!callers) {
        queue.SetPostHook([this] { wakeup_.signal(); });
        return;
    }
    queue.SetPostHook([this] {
        postedAt_.store(steadyNanoseconds(), std::memory_order_relaxed);
        wakeup_.signal();
    });
}

bool CConnectionHandler::PostedRecently() const {
    return steadyNanoseconds() - postedAt_.load(std::memory_order_relaxed) <
           std::chrono::nanoseconds(kBusyWindow).count();
}

void CConnectionHandler::SetEndpoints(std::array<std::uint8_t, 4> peerAddress,
                                      std::uint16_t peerPort, std::uint32_t localAddress,
                                      std::uint16_t localPort) {
    peerAddress_ = peerAddress;
    peerPort_ = peerPort;
    localAddress_ = localAddress;
    localPort_ = localPort;
}

void CConnectionHandler::OnConnect() {
    peerText_ = formatPeer(peerAddress_, peerPort_);
    CurrentQueue().Enable();
    connected_.store(true, std::memory_order_release);
    connections_.fetch_add(1, std::memory_order_acq_rel);
}

void CConnectionHandler::RecordEnd(ConnectionEnd reason, std::uint32_t detail) {
    const std::lock_guard lock(endLock_);
    lastEnd_ = {reason, detail, wallClockMs()};
}

ConnectionEvent CConnectionHandler::LastEnd() const {
    const std::lock_guard lock(endLock_);
    return lastEnd_;
}

void CConnectionHandler::OnDisconnect() {
    disconnectRequest_.store(false, std::memory_order_release);
    CurrentQueue().DisableAndClear();
    MakeCurrent(ownQueue_);
    // Last: once this drops, the owner may reuse or destroy the handler.
    connected_.store(false, std::memory_order_release);
}

void CConnectionHandler::RequestDisconnect() {
    disconnectRequest_.store(true, std::memory_order_release);
    wakeup_.signal();
}

} // namespace mirx::link
