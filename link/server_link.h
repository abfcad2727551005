#pragma once

#include "core/elapsed_timer.h"
#include "core/ip_socket.h"
#include "core/message_queue.h"
#include "core/wakeup.h"
#include "link/connection_end.h"
#include "link/domain_login.h"
#include "link/password_cipher.h"
#include "model/system_settings.h"
#include "model/system_status.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mirx::link {

class SettingsStore;
class CServerConnectionHandler;
class CServerConnectionUpdateSubHandler;

// Where the attempt to reach the server stands.
enum LinkState : int {
    kLinkIdle = 1,
    kAttemptRequested = 2,
    kAttemptRunning = 3,
    kLoggedIn = 4,
    kAttemptFailed = 5,
};

// How long an awaited answer (the identification, an update step, the login)
// may take while the link stays alive. Keep-alives only prove the server's
// transport works; one that sends them but never answers would otherwise hold
// the attempt forever. A login answer may wait on a directory check at the
// server, which takes seconds, not tens of them; an update block is one
// read of a file.
inline constexpr std::uint32_t kAnswerTimeoutMs = 10000;

// Why an attempt ended, beyond the server's own rejection texts.
inline constexpr const char* kIncompatibleText = "Software version is not compatible with Server!";
inline constexpr const char* kServerSilentText =
    "Ondrel accepted the connection but never answered; another console may already be "
    "connected to it!";
inline constexpr const char* kNoIdentificationAnswerText =
    "Ondrel did not answer the version check!";
inline constexpr const char* kCheckEndedText =
    "The connection to Ondrel ended during the version check!";
inline constexpr const char* kNoLoginAnswerText = "Ondrel did not answer the login!";
inline constexpr const char* kUpdateStalledText = "Ondrel stopped answering during the update!";
inline constexpr const char* kConnectionEndedText =
    "The connection to Ondrel ended before the login was answered!";
inline constexpr const char* kInterruptedText = "The login was interrupted.";
// Longer names and passwords are refused before connecting, never cut.
inline constexpr std::size_t kLoginFieldChars = 20;
inline constexpr const char* kLoginNameTooLongText = "The login name is longer than 20 characters!";
inline constexpr const char* kPasswordTooLongText = "The password is longer than 20 characters!";

enum class TrunkingMode : std::uint8_t { None = 0, Rts = 1, Delec = 2 };
// RTS wins when the server reports both.
TrunkingMode trunkingModeFromFlags(std::uint8_t flags);
const char* trunkingModeName(TrunkingMode mode);

// Receives the configuration records the data model owns. Runs on the
// connection thread; returns false for a message it does not take.
class ModelSink {
public:
    virtual ~ModelSink() = default;
    virtual bool Store(std::uint16_t messageId, std::uint16_t secondValue,
                       std::span<const std::uint8_t> payload, const std::string& peerText) = 0;
};

// What the link needs from the program around it.
struct LinkServices {
    SettingsStore* settings = nullptr;
    // Shown on the user-interface thread when the server offers a newer
    // console; true when the installer was started and the console must end.
    std::function<bool(CServerConnectionUpdateSubHandler&)> runUpdate;
    // The domain account name after checking the directory, or why not.
    std::function<DomainCheck()> domainAccount;
    // Update environment.
    std::filesystem::path tempRoot;
    std::uint32_t consoleVersion = 0;
    std::vector<std::string> relaunchArguments;
    std::function<bool(const std::filesystem::path&, const std::vector<std::string>&)> launch;
    ModelSink* model = nullptr;
    // kAnswerTimeoutMs; shorter in tests.
    std::uint32_t answerTimeoutMs = kAnswerTimeoutMs;
};

// The console's one link to the server: the outcome of the last attempt, the
// request queue, and the handler that speaks the protocol. Connect and
// StopLink belong to the user-interface thread; the handler fills the rest on
// the connection thread.
class ServerLink {
public:
    static constexpr std::uint16_t kRequestQueueSlots = 300;
    static constexpr std::uint32_t kRetryDelayMs = 5000;

    explicit ServerLink(LinkServices services);
    ~ServerLink();
    ServerLink(const ServerLink&) = delete;
    ServerLink& operator=(const ServerLink&) = delete;

    // Blocks until logged in or failed; errorText() says why it failed.
    // Gives up with kInterruptedText once *abort (SetAbortFlag) is true.
    bool Connect(const std::string& loginName, const std::string& password);
    // Seen by Connect at least every kAbortCheckMs; nullptr: none.
    static constexpr std::chrono::milliseconds kAbortCheckMs{50};
    void SetAbortFlag(const std::atomic<bool>* abort) { abort_ = abort; }

    // Any thread: something a waiter may watch changed (a frame arrived, the
    // connection began or ended). `change`, if given, is made under the lock
    // the waiters use, so no waiter misses it.
    void NotifyChange(const std::function<void()>& change = {});
    // Waits until NotifyChange is called after the call that made `seen`
    // (start with ChangeCount()), or `limit` passed; updates `seen`. With
    // `spin`, the count is watched that long before the thread sleeps: an
    // answer from a near server comes sooner than a sleeping thread is woken
    // on a machine whose idle cores halt, and one request after another
    // pays that wake-up each time.
    std::uint64_t ChangeCount() const;
    bool WaitForChange(std::uint64_t& seen, std::chrono::milliseconds limit,
                       std::chrono::microseconds spin = {}) const;
    // Long enough for a near server's answer even when the scheduler is
    // slow to run the threads between; a spin the change did not end makes
    // the next kWaitsWithoutSpin waits sleep at once, so a far server's
    // answers cost the waiter little.
    static constexpr std::chrono::microseconds kAnswerSpin{1000};
    static constexpr int kWaitsWithoutSpin = 16;

    // For a thread whose event loop watches a descriptor rather than a
    // condition: every NotifyChange signals `wakeup`, unless `pending` says
    // it was signalled and not yet looked at (the listener clears it, then
    // drains, then looks). No thread of its own waits for the changes.
    // Registered until RemoveChangeListener; both may be called from any
    // thread.
    void AddChangeListener(CWakeup& wakeup, std::atomic<bool>& pending) const;
    void RemoveChangeListener(const CWakeup& wakeup) const;

    // The same attempt in steps, for callers that must keep an event loop
    // running: BeginConnect opens the connection, PollConnect reports
    // progress; after UpdateOffered the caller shows the update and calls
    // ResumeAfterUpdate.
    enum class Progress { Pending, UpdateOffered, Succeeded, Failed };
    bool BeginConnect(const std::string& loginName, const std::string& password);
    Progress PollConnect();
    void ResumeAfterUpdate(bool installerStarted);

    // Gives up a stepped attempt that has not succeeded: closes its
    // connection, if any, and leaves the link idle.
    void AbandonConnect();

    // Closes a logged-in connection and waits until it has ended.
    void StopLink();

    int linkState() const { return linkState_.load(std::memory_order_acquire); }
    void setLinkState(int state) { linkState_.store(state, std::memory_order_release); }
    std::string errorText() const;
    void setErrorText(std::string text);

    // The latest of: why the last connection ended, why the last one could
    // not be opened.
    ConnectionEvent lastConnectionEvent() const;

    std::int16_t privilegeWord() const { return privilegeWord_.load(); }
    std::uint8_t privilegeLevel() const { return privilegeLevel_.load(); }
    bool fullAdministrator() const { return fullAdministrator_.load(); }
    TrunkingMode trunkingMode() const { return trunkingMode_.load(); }
    bool loggedIn() const;
    bool connected() const;

    CMessageQueue& requestQueue() { return requestQueue_; }
    CElapsedTimer& retryTimer() { return retryTimer_; }
    std::atomic<bool>& configurationOpen() { return configurationOpen_; }

    // The last system status; TakeStatusChanged clears the arrival flag.
    bool takeStatusChanged() { return statusChanged_.exchange(false, std::memory_order_acq_rel); }
    model::SystemStatus status() const;
    // The server's system settings as last received.
    model::SystemSettings systemSettings() const;

    CServerConnectionHandler& handler() { return *handler_; }
    SettingsStore& settings() { return *services_.settings; }
    const LinkServices& services() const { return services_; }

private:
    friend class CServerConnectionHandler;
    friend class CServerConnectionLoginSubHandler;

    bool OpenSocket();
    bool Fail(std::string text, bool unreachable);
    // Ends the handler's connection, if any, and waits until it has.
    void EndConnection();
    // The text for a connection that ended before the login was answered.
    std::string EndedEarlyText(bool checkFinished) const;

    LinkServices services_;
    std::atomic<int> linkState_{kLinkIdle};
    mutable std::mutex textLock_;
    std::string errorText_;
    ConnectionEvent openFailure_;
    std::string loginName_;
    std::atomic<std::int16_t> privilegeWord_{-1};
    std::atomic<std::uint8_t> privilegeLevel_{0};
    std::atomic<bool> fullAdministrator_{false};
    std::atomic<TrunkingMode> trunkingMode_{TrunkingMode::None};
    std::atomic<bool> statusChanged_{false};
    std::atomic<bool> configurationOpen_{false};
    std::atomic<bool> loginDone_{false};
    std::atomic<bool> loginAccepted_{false};
    mutable std::mutex recordLock_;
    model::SystemStatus status_;
    model::SystemSettings systemSettings_;
    CElapsedTimer retryTimer_;
    CIpSocket socket_;
    CMessageQueue requestQueue_{kRequestQueueSlots};
    std::unique_ptr<CServerConnectionHandler> handler_;
    enum class Step { None, WaitConnected, WaitCheck, WaitUpdate, WaitLogin };
    Step step_ = Step::None;
    unsigned connectionsBefore_ = 0;
    const std::atomic<bool>* abort_ = nullptr;
    mutable std::mutex changeLock_;
    mutable std::condition_variable changed_;
    // Written under changeLock_; read without it only by a spinning waiter.
    std::atomic<std::uint64_t> changes_{0};
    mutable std::atomic<int> waitsWithoutSpin_{0};
    struct ChangeListener {
        CWakeup* wakeup;
        std::atomic<bool>* pending;
    };
    // Under changeLock_.
    mutable std::vector<ChangeListener> listeners_;
};

} // namespace mirx::link
