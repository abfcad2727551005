#include "link/connection_thread.h"

#include "core/debug_log.h"
#include "link/connection_handler.h"
#include "link/frame_cutter.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <poll.h>
#include <thread>

namespace mirx::link {
namespace {

constexpr std::uint32_t kCategory = log::kConnectionCategory;

log::DebugFilterTable& filters() {
    return log::debugFilters();
}

} // namespace

class CConnectionThread::Sink final : public FrameSink {
public:
    explicit Sink(CConnectionThread& thread)
        : thread_(thread) {}

    void onTraffic() override { thread_.communicationTimeout_.restart(); }

    void onKeepAlive(std::uint16_t checkTimeMs) override {
        if (checkTimeMs != thread_.communicationTimeout_.interval()) {
            thread_.communicationTimeout_.start(checkTimeMs);
        }
        log::printDetail(filters(), kCategory,
                         "[%s] Received Keep Alive ... Auto Disconnect Check Time: %d",
                         thread_.peerText_.c_str(), checkTimeMs);
    }

    void onFrame(const wire::FrameView& frame) override {
        ++frames;
        if (thread_.handler_ != nullptr) {
            thread_.handler_->OnMessage(frame.messageId, frame.secondValue, frame.payload.data(),
                                        frame.payload.size());
        }
    }

    std::uint64_t frames = 0;

private:
    CConnectionThread& thread_;
};

CConnectionThread::CConnectionThread(const Config& config)
    : CThread("Connection thread")
    , socket_(config.socket)
    , handler_(config.handler)
    , ownsSocket_(config.ownsSocket)
    , ownsHandler_(config.ownsHandler) {
    peerAddress_ = socket_->RemoteAddress();
    peerPort_ = socket_->RemotePort();
    localAddress_ = socket_->LocalAddress();
    localPort_ = socket_->LocalPort();
    peerText_ = formatPeer(peerAddress_, peerPort_);
}

CConnectionThread::~CConnectionThread() {
    if (ownsSocket_) {
        delete socket_;
    }
}

void CConnectionThread::Run() {
    if (handler_ != nullptr) {
        handler_->SetEndpoints(peerAddress_, peerPort_, localAddress_, localPort_);
        handler_->OnConnect();
    }

    std::unique_ptr<FrameReceiver> receiver;
    std::unique_ptr<std::uint8_t[]> sendBuffer;
    try {
        receiver = std::make_unique<FrameReceiver>();
        sendBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
    } catch (const std::bad_alloc&) {
        receiver.reset();
    }

    if (receiver) {
        communicationTimeout_.start(kInitialCommunicationTimeoutMs);
        if (handler_ != nullptr) {
            keepAliveTimer_.start(kKeepAliveIntervalMs);
        }
        receiver->setPeerText(peerText_);
        log::printInfo(filters(), kCategory, "[%s] Connection thread started", peerText_.c_str());

        Sink sink(*this);
        while (!stopRequest_.load(std::memory_order_acquire)) {
            bool incomplete = false;
            const std::uint64_t framesBefore = sink.frames;
            bool sentFrames = false;
            if (!ReceiveWaiting(*receiver, sink, incomplete)) {
                break;
            }

            if (handler_ != nullptr) {
                handler_->OnPoll();
                CMessageQueue& queue = handler_->CurrentQueue();
                if (queue.HasPending()) {
                    std::size_t filled = 0;
                    while (queue.HasPending()) {
                        const std::size_t n =
                            queue.TakeFramed(sendBuffer.get() + filled, kBufferSize - filled);
                        if (n == 0) {
                            break;
                        }
                        filled += n;
                    }
                    SendAll(sendBuffer.get(), filled);
                    sentFrames = filled != 0;
                } else if (keepAliveTimer_.armed() && keepAliveTimer_.expired()) {
                    std::uint8_t frame[wire::kKeepAliveSize];
                    wire::writeKeepAlive(
                        frame, sizeof frame,
                        static_cast<std::uint16_t>(communicationTimeout_.interval()));
                    const int sent = socket_->Send(frame, static_cast<int>(sizeof frame));
                    if (sent > 0) {
                        log::printInfo(
                            filters(), kCategory,
                            "[%s] Keep Alive message sent to prevent connection timeout!",
                            peerText_.c_str());
                        keepAliveTimer_.restart();
                        if (static_cast<std::size_t>(sent) < sizeof frame) {
                            // Half a frame on the wire would desynchronise the peer.
                            SendAll(frame + sent, sizeof frame - static_cast<std::size_t>(sent));
                        }
                    } else if (sent == 0) {
                        log::printError(filters(), kCategory,
                                        "[%s] ***ERROR*** Socket send sent zero bytes",
                                        peerText_.c_str());
                    } else if (sent != -kWouldBlock) {
                        log::printError(filters(), kCategory,
                                        "[%s] ***ERROR*** Socket send failure: %d",
                                        peerText_.c_str(), -sent);
                        NoteEnd(ConnectionEnd::SocketError, static_cast<std::uint32_t>(-sent));
                        RequestStop();
                    }
                }
            }

            if (communicationTimeout_.expired()) {
                log::printInfo(filters(), kCategory,
                               "[%s] Closing connection due to communication timeout!",
                               peerText_.c_str());
                NoteEnd(ConnectionEnd::NoAnswer, communicationTimeout_.interval());
                RequestStop();
                break;
            }
            if (handler_ != nullptr && handler_->DisconnectRequested()) {
                log::printInfo(filters(), kCategory,
                               "[%s] Closing connection by request of Client Handler !",
                               peerText_.c_str());
                break;
            }
            if (stopRequest_.load(std::memory_order_acquire)) {
                break;
            }
            if (incomplete || !(sentFrames || sink.frames != framesBefore) || !SpinForWork()) {
                Wait(incomplete ? kIncompleteWaitMs : -1);
            }
        }
    }

    socket_->Close();
    if (handler_ != nullptr) {
        handler_->RecordEnd(end_, endDetail_);
        handler_->OnDisconnect();
        if (ownsHandler_) {
            delete handler_;
            handler_ = nullptr;
        }
    } else {
        log::printInfo(filters(), kCategory,
                       "[%s] Connection Thread terminated prior to Connection Handler creation",
                       peerText_.c_str());
    }
    log::printInfo(filters(), kCategory, "[%s] Connection thread terminated", peerText_.c_str());
}

bool CConnectionThread::ReceiveWaiting(FrameReceiver& receiver, FrameSink& sink, bool& incomplete) {
    // Every Receive is cut at once, so a framing error still drops no more
    // than the receive it came in; taking what waits in one pass saves a
    // poll() per 8 KB of a download.
    for (int round = 0; round < kMaxReceivesPerPass; ++round) {
        const auto room =
            std::min<std::size_t>(receiver.freeSpace().size(), static_cast<std::size_t>(INT32_MAX));
        const int received = socket_->Receive(receiver.freeSpace().data(), static_cast<int>(room));
        if (received == 0) {
            NoteEnd(ConnectionEnd::ClosedByServer, 0);
            return false; // the peer closed, or the socket refused the call
        }
        if (received == -kWouldBlock) {
            incomplete = receiver.pending() != 0;
            return true;
        }
        if (received < 0) {
            log::printError(filters(), kCategory, "[%s] ***ERROR*** Socket receive error: %d",
                            peerText_.c_str(), -received);
            NoteEnd(ConnectionEnd::SocketError, static_cast<std::uint32_t>(-received));
            return false;
        }
        incomplete = receiver.commit(static_cast<std::size_t>(received), sink);
        const auto asked = std::min(room, static_cast<std::size_t>(socket_->ReceiveBufferSize()));
        // A short receive emptied the socket. A handler that asked to close
        // gets nothing from a later receive, as with one receive per pass.
        if (static_cast<std::size_t>(received) < asked ||
            stopRequest_.load(std::memory_order_acquire) ||
            (handler_ != nullptr && handler_->DisconnectRequested())) {
            return true;
        }
    }
    return true;
}

bool CConnectionThread::SendAll(const std::uint8_t* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const std::size_t chunk = std::min<std::size_t>(length - done, INT32_MAX);
        const int sent = socket_->Send(data + done, static_cast<int>(chunk));
        if (sent > 0) {
            keepAliveTimer_.restart();
            if (static_cast<std::size_t>(sent) < length - done) {
                communicationTimeout_.restart();
            }
            done += static_cast<std::size_t>(sent);
        } else if (sent == -kWouldBlock) {
            if (communicationTimeout_.expired()) {
                NoteEnd(ConnectionEnd::NoAnswer, communicationTimeout_.interval());
                return false;
            }
            WaitWritable();
        } else if (sent == 0) {
            log::printError(filters(), kCategory, "[%s] ***ERROR*** Socket send sent zero bytes",
                            peerText_.c_str());
            RequestStop(); // nothing moves: the rest of the frames would be lost half-way
            return false;
        } else {
            log::printError(filters(), kCategory, "[%s] ***ERROR*** Socket send failure: %d",
                            peerText_.c_str(), -sent);
            NoteEnd(ConnectionEnd::SocketError, static_cast<std::uint32_t>(-sent));
            RequestStop();
            return false;
        }
        if (done < length && communicationTimeout_.expired()) {
            NoteEnd(ConnectionEnd::NoAnswer, communicationTimeout_.interval());
            return false;
        }
    }
    return true;
}

void CConnectionThread::NoteEnd(ConnectionEnd reason, std::uint32_t detail) {
    if (end_ == ConnectionEnd::ByConsole) {
        end_ = reason;
        endDetail_ = detail;
    }
}

bool CConnectionThread::WaitWritable() {
    pollfd fd{socket_->Fd(), POLLOUT, 0};
    return ::poll(&fd, 1, kIncompleteWaitMs) > 0;
}

bool CConnectionThread::SpinForWork() {
    if (handler_ == nullptr || !handler_->PostedRecently()) {
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + kBusySpin;
    pollfd fd{socket_->Fd(), POLLIN, 0};
    do {
        if (handler_->CurrentQueue().HasPending() || stopRequest_.load(std::memory_order_acquire) ||
            handler_->DisconnectRequested() || ::poll(&fd, 1, 0) != 0) {
            return true;
        }
        std::this_thread::yield();
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

void CConnectionThread::Wait(int timeoutMs) {
    // -1: no limit of its own, only the deadlines.
    std::uint32_t limit = timeoutMs < 0 ? UINT32_MAX : static_cast<std::uint32_t>(timeoutMs);
    limit = std::min(limit, communicationTimeout_.remaining());
    if (keepAliveTimer_.armed()) {
        limit = std::min(limit, keepAliveTimer_.remaining());
    }
    if (handler_ != nullptr) {
        limit = std::min(limit, handler_->MsUntilPollDue());
    }
    limit = std::min<std::uint32_t>(limit, INT32_MAX);
    pollfd fds[2] = {{socket_->Fd(), POLLIN, 0}, {-1, POLLIN, 0}};
    nfds_t count = 1;
    if (handler_ != nullptr && handler_->WakeupFd() >= 0) {
        fds[1].fd = handler_->WakeupFd();
        count = 2;
    }
    if (::poll(fds, count, static_cast<int>(limit)) > 0 && count == 2 &&
        (fds[1].revents & POLLIN) != 0) {
        handler_->DrainWakeup();
    }
}

} // namespace mirx::link
