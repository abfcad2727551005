#pragma once

#include "core/elapsed_timer.h"
#include "link/connection_handler.h"
#include "link/update_exchange.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

namespace mirx::link {

class ServerLink;

// Handler states beyond the update exchange (0..8).
inline constexpr int kStateSendLogin = 9;
inline constexpr int kStateLoginSent = 10;
inline constexpr int kStateLoggedIn = 12;

class CServerConnectionHandler;

// The login request, the answers to it, the status poll and the main
// dispatch of every message from ID 10 up.
class CServerConnectionLoginSubHandler {
public:
    static constexpr std::uint32_t kStatusPollMs = 1000;

    CServerConnectionLoginSubHandler(CServerConnectionHandler& handler, ServerLink& link);

    void Step();
    std::uint32_t MsUntilPollDue() const;
    void Dispatch(std::uint16_t id, std::uint16_t second, std::span<const std::uint8_t> payload);

private:
    void SendLoginRequest();
    void OnSystemSettings(std::span<const std::uint8_t> payload);

    CServerConnectionHandler& handler_;
    ServerLink& link_;
    CElapsedTimer pollTimer_;
};

// The console's protocol on one connection: the identification and update
// exchange first, then the login, then the logged-in dispatch. Reused for
// every connection of the run.
class CServerConnectionHandler final : public CConnectionHandler {
public:
    explicit CServerConnectionHandler(ServerLink& link);
    ~CServerConnectionHandler() override;

    void OnConnect() override;
    void OnMessage(std::uint16_t messageId, std::uint16_t secondValue, const std::uint8_t* payload,
                   std::size_t length) override;
    void OnPoll() override;
    void OnDisconnect() override;
    std::uint32_t MsUntilPollDue() const override;

    // Any thread: some frame other than a keep-alive arrived on the current
    // or last connection.
    bool HeardFromServer() const { return heard_.load(std::memory_order_acquire); }

    // Copied in by Connect before the connection thread starts.
    void SetCredentials(std::string loginName, std::string password, bool domain);
    std::string LoginName() const;
    std::string Password() const;
    bool DomainLogin() const { return domain_; }

    CServerConnectionUpdateSubHandler& Update() { return update_; }

private:
    friend class CServerConnectionLoginSubHandler;
    void EnterLoggedIn(CMessageQueue& requestQueue);
    // Restarts the answer timer when the state moved; gives up on an answer
    // that took too long.
    void WatchAnswer();

    ServerLink& link_;
    CServerConnectionUpdateSubHandler update_;
    CServerConnectionLoginSubHandler login_;
    mutable std::mutex credentialsLock_;
    std::string loginName_;
    std::string password_;
    std::atomic<bool> domain_{false};
    std::atomic<bool> heard_{false};
    // Connection thread only.
    int watchedState_ = kIdle;
    bool framesSinceWatch_ = false;
    CElapsedTimer answerTimer_;
};

} // namespace mirx::link
