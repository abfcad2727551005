#include "link/server_link.h"

#include "core/debug_log.h"
#include "core/local_addresses.h"
#include "core/socket_errors.h"
#include "core/thread.h"
#include "core/utf16.h"
#include "link/connection_thread.h"
#include "link/server_connection_handler.h"
#include "link/settings_store.h"

#include <cerrno>
#include <chrono>
#include <thread>

namespace mirx::link {
namespace {

bool isLoopback(const std::string& dotted) {
    return dotted.rfind("127.", 0) == 0;
}

} // namespace

TrunkingMode trunkingModeFromFlags(std::uint8_t flags) {
    if ((flags & 0x1) != 0) {
        return TrunkingMode::Rts;
    }
    return (flags & 0x2) != 0 ? TrunkingMode::Delec : TrunkingMode::None;
}

const char* trunkingModeName(TrunkingMode mode) {
    switch (mode) {
    case TrunkingMode::Rts:
        return "RTS";
    case TrunkingMode::Delec:
        return "Delec";
    case TrunkingMode::None:
        break;
    }
    return "none";
}

ServerLink::ServerLink(LinkServices services)
    : services_(std::move(services))
    , handler_(std::make_unique<CServerConnectionHandler>(*this)) {}

ServerLink::~ServerLink() {
    StopLink();
    // A connection still running (an attempt abandoned half-way) must end
    // before the handler it uses goes away.
    EndConnection();
    // The connection thread's last NotifyChange holds this lock.
    std::lock_guard lock(changeLock_);
}

void ServerLink::EndConnection() {
    if (!handler_->IsConnected()) {
        return;
    }
    handler_->SetState(CConnectionHandler::kIdle);
    handler_->RequestDisconnect();
    std::uint64_t seen = ChangeCount();
    while (handler_->IsConnected()) {
        WaitForChange(seen, kAbortCheckMs);
    }
}

void ServerLink::NotifyChange(const std::function<void()>& change) {
    std::lock_guard lock(changeLock_);
    if (change) {
        change();
    }
    changes_.fetch_add(1, std::memory_order_release);
    changed_.notify_all();
    for (const ChangeListener& listener : listeners_) {
        if (!listener.pending->exchange(true, std::memory_order_acq_rel)) {
            listener.wakeup->signal();
        }
    }
}

void ServerLink::AddChangeListener(CWakeup& wakeup, std::atomic<bool>& pending) const {
    std::lock_guard lock(changeLock_);
    listeners_.push_back({&wakeup, &pending});
}

void ServerLink::RemoveChangeListener(const CWakeup& wakeup) const {
    std::lock_guard lock(changeLock_);
    std::erase_if(listeners_,
                  [&wakeup](const ChangeListener& listener) { return listener.wakeup == &wakeup; });
}

std::uint64_t ServerLink::ChangeCount() const {
    std::lock_guard lock(changeLock_);
    return changes_.load(std::memory_order_relaxed);
}

bool ServerLink::WaitForChange(std::uint64_t& seen, std::chrono::milliseconds limit,
                               std::chrono::microseconds spin) const {
    const auto start = std::chrono::steady_clock::now();
    bool spun = false;
    if (spin.count() > 0 && waitsWithoutSpin_.load(std::memory_order_relaxed) > 0) {
        waitsWithoutSpin_.fetch_sub(1, std::memory_order_relaxed);
    } else if (spin.count() > 0) {
        spun = true;
        const auto until = start + std::min<std::chrono::microseconds>(spin, limit);
        do {
            // Acquire: what the change's maker wrote before counting it is seen.
            const std::uint64_t now = changes_.load(std::memory_order_acquire);
            if (now != seen) {
                seen = now;
                return true;
            }
            // Gives the core to a thread the answer needs, should one share it.
            std::this_thread::yield();
        } while (std::chrono::steady_clock::now() < until);
    }
    std::unique_lock lock(changeLock_);
    const bool changed = changed_.wait_for(
        lock, limit, [&] { return changes_.load(std::memory_order_relaxed) != seen; });
    seen = changes_.load(std::memory_order_relaxed);
    lock.unlock();
    // A change soon after the spin was a hiccup of the scheduler; one much
    // later, or none, a far or quiet server, not worth spinning for.
    if (spun && (!changed || std::chrono::steady_clock::now() - start > 2 * spin)) {
        waitsWithoutSpin_.store(kWaitsWithoutSpin, std::memory_order_relaxed);
    }
    return changed;
}

std::string ServerLink::EndedEarlyText(bool checkFinished) const {
    // A time-out or the download's failure set their own text.
    if (std::string text = errorText(); !text.empty()) {
        return text;
    }
    if (std::string problem = handler_->Update().DownloadProblem(); !problem.empty()) {
        return problem;
    }
    if (!handler_->HeardFromServer()) {
        return kServerSilentText;
    }
    return checkFinished ? kConnectionEndedText : kCheckEndedText;
}

std::string ServerLink::errorText() const {
    std::lock_guard lock(textLock_);
    return errorText_;
}

ConnectionEvent ServerLink::lastConnectionEvent() const {
    ConnectionEvent opening;
    {
        const std::lock_guard lock(textLock_);
        opening = openFailure_;
    }
    const ConnectionEvent ended = handler_->LastEnd();
    return ended.atMs > opening.atMs ? ended : opening;
}

void ServerLink::setErrorText(std::string text) {
    std::lock_guard lock(textLock_);
    errorText_ = std::move(text);
}

bool ServerLink::loggedIn() const {
    return linkState() == kLoggedIn && handler_->IsConnected();
}

bool ServerLink::connected() const {
    return handler_->IsConnected();
}

model::SystemStatus ServerLink::status() const {
    std::lock_guard lock(recordLock_);
    return status_;
}

model::SystemSettings ServerLink::systemSettings() const {
    std::lock_guard lock(recordLock_);
    return systemSettings_;
}

bool ServerLink::Fail(std::string text, bool unreachable) {
    log::print("ERROR: %s", text.c_str());
    setErrorText(std::move(text));
    setLinkState(kAttemptFailed);
    if (unreachable) {
        retryTimer_.start(kRetryDelayMs);
    }
    step_ = Step::None;
    return false;
}

bool ServerLink::OpenSocket() {
    SettingsStore& store = settings();
    const std::string server = readString(store, kServerIPAddress).value_or("");
    std::string client = readString(store, kClientIPAddress).value_or("");

    std::string resolved;
    const bool resolvedOk = ResolveHost(server, resolved) == 0;

    if (!IsLocalAddress(client)) {
        std::string first;
        if (FindLocalAddress(first)) {
            client = first;
            store.writeString(kClientIPAddress.name, client);
        } else if (resolvedOk && isLoopback(resolved)) {
            // A console on the server's own machine needs no network card.
            client = "127.0.0.1";
        } else {
            store.writeString(kClientIPAddress.name, "");
            setErrorText("Local IP address invalid!");
            return false;
        }
    }
    if (!resolvedOk) {
        setErrorText("Ondrel Host Name could not be resolved!");
        return false;
    }
    if (isLoopback(resolved) && !isLoopback(client)) {
        client = "127.0.0.1";
    }
    if (socket_.OpenConnection(client, 0, resolved, readPort(store)) == 0) {
        return true;
    }
    const std::string secondary = readString(store, kSecondaryServerIpAddress).value_or("");
    if (!secondary.empty()) {
        const std::uint16_t port = readSecondaryPort(store);
        if (socket_.OpenConnection(isLoopback(secondary) ? "127.0.0.1" : client, 0, secondary,
                                   port) == 0) {
            return true;
        }
    }
    {
        const int error = socket_.LastConnectError();
        const std::lock_guard lock(textLock_);
        openFailure_ = {error == consoleSocketError(ECONNREFUSED) ? ConnectionEnd::Refused
                                                                  : ConnectionEnd::Unreachable,
                        static_cast<std::uint32_t>(error), wallClockMs()};
    }
    setErrorText("Unable to connect to Ondrel!");
    return false;
}

bool ServerLink::BeginConnect(const std::string& loginName, const std::string& password) {
    setLinkState(kAttemptRunning);
    setErrorText({});
    privilegeWord_.store(-1);
    // In UTF-16 units, as the request carries them.
    if (text::utf16Length(loginName) > kLoginFieldChars) {
        return Fail(kLoginNameTooLongText, false);
    }
    if (text::utf16Length(password) > kLoginFieldChars) {
        return Fail(kPasswordTooLongText, false);
    }
    loginName_ = loginName;

    // A connection left over from an abandoned attempt.
    EndConnection();
    if (!OpenSocket()) {
        return Fail(errorText(), true);
    }
    handler_->SetCredentials(loginName_, password, readDomainAuthentication(settings()));
    connectionsBefore_ = handler_->ConnectionCount();
    auto* thread = new CConnectionThread({&socket_, handler_.get(), false, false});
    thread->SetAutoDelete(true);
    if (!thread->Start()) {
        delete thread;
        log::print("***ERROR*** Thread failed to start likely due to exhaustion of resources!!!!");
        socket_.Close();
        return Fail("Unable to connect to Ondrel!", false);
    }
    step_ = Step::WaitConnected;
    return true;
}

ServerLink::Progress ServerLink::PollConnect() {
    auto& update = handler_->Update();
    switch (step_) {
    case Step::None:
        return linkState() == kLoggedIn ? Progress::Succeeded : Progress::Failed;
    case Step::WaitConnected:
        if (handler_->ConnectionCount() == connectionsBefore_) {
            return Progress::Pending;
        }
        step_ = Step::WaitCheck;
        [[fallthrough]];
    case Step::WaitCheck:
        if (handler_->IsConnected() && !update.CheckFinished()) {
            return Progress::Pending;
        }
        if (handler_->IsConnected() && update.UpdateAvailable()) {
            step_ = Step::WaitUpdate;
            return Progress::UpdateOffered;
        }
        break;
    case Step::WaitUpdate:
        return Progress::UpdateOffered;
    case Step::WaitLogin:
        break;
    }
    if (step_ == Step::WaitCheck) {
        if (!update.CheckFinished()) {
            // The connection ended before the server judged us.
            Fail(EndedEarlyText(false), false);
            return Progress::Failed;
        }
        if (!update.Compatible()) {
            Fail(kIncompatibleText, false);
            return Progress::Failed;
        }
        step_ = Step::WaitLogin;
    }
    // Step::WaitLogin
    if (handler_->IsConnected() && !loginDone_.load(std::memory_order_acquire)) {
        return Progress::Pending;
    }
    step_ = Step::None;
    if (loginAccepted_.load(std::memory_order_acquire)) {
        setErrorText({});
        setLinkState(kLoggedIn);
        return Progress::Succeeded;
    }
    // A rejection set its text; otherwise the connection ended first.
    setErrorText(EndedEarlyText(true));
    setLinkState(kAttemptFailed);
    return Progress::Failed;
}

void ServerLink::ResumeAfterUpdate(bool installerStarted) {
    if (installerStarted) {
        step_ = Step::None;
        setLinkState(kAttemptFailed);
        return;
    }
    step_ = Step::WaitCheck;
    // Declined or cancelled: the exchange has moved the handler on to the
    // login, or ended the connection; either way the compatibility decides.
    auto& update = handler_->Update();
    if (!update.Compatible()) {
        Fail(kIncompatibleText, false);
        return;
    }
    step_ = Step::WaitLogin;
}

bool ServerLink::Connect(const std::string& loginName, const std::string& password) {
    if (!BeginConnect(loginName, password)) {
        return false;
    }
    std::uint64_t seen = ChangeCount();
    for (;;) {
        if (abort_ != nullptr && abort_->load()) {
            AbandonConnect();
            setErrorText(kInterruptedText);
            setLinkState(kAttemptFailed);
            return false;
        }
        switch (PollConnect()) {
        case Progress::Pending:
            // Every step Connect waits for comes with a NotifyChange.
            WaitForChange(seen, kAbortCheckMs);
            break;
        case Progress::UpdateOffered: {
            const bool started =
                services_.runUpdate ? services_.runUpdate(handler_->Update()) : false;
            if (!started && !services_.runUpdate) {
                handler_->Update().Decline();
            }
            ResumeAfterUpdate(started);
            if (started) {
                return false;
            }
            break;
        }
        case Progress::Succeeded:
            return true;
        case Progress::Failed:
            return false;
        }
    }
}

void ServerLink::AbandonConnect() {
    if (linkState() == kLoggedIn) {
        return;
    }
    EndConnection();
    step_ = Step::None;
    if (linkState() == kAttemptRunning) {
        setLinkState(kLinkIdle);
    }
}

void ServerLink::StopLink() {
    if (linkState() != kLoggedIn) {
        return;
    }
    EndConnection();
    privilegeWord_.store(-1);
    setLinkState(kLinkIdle);
}

} // namespace mirx::link
