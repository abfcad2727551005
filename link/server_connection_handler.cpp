#include "link/server_connection_handler.h"

#include "core/clock.h"
#include "core/debug_log.h"
#include "core/wire_frame.h"
#include "link/login_records.h"
#include "link/message_catalogue.h"
#include "link/password_cipher.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/system_settings.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace mirx::link {
namespace {

CServerConnectionUpdateSubHandler::Environment updateEnvironment(const LinkServices& services) {
    CServerConnectionUpdateSubHandler::Environment env;
    env.tempRoot = services.tempRoot;
    env.consoleVersion = services.consoleVersion;
    env.relaunchArguments = services.relaunchArguments;
    if (services.launch) {
        env.launch = services.launch;
    }
    return env;
}

std::int64_t secondsSince1970() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

// ---------------------------------------------------------------- handler

CServerConnectionHandler::CServerConnectionHandler(ServerLink& link)
    : link_(link)
    , update_(*this, updateEnvironment(link.services()))
    , login_(*this, link) {
    WatchQueue(link.requestQueue(), true);
}

CServerConnectionHandler::~CServerConnectionHandler() {
    link_.requestQueue().SetPostHook({});
}

void CServerConnectionHandler::SetCredentials(std::string loginName, std::string password,
                                              bool domain) {
    std::lock_guard lock(credentialsLock_);
    loginName_ = std::move(loginName);
    password_ = std::move(password);
    domain_ = domain;
}

std::string CServerConnectionHandler::LoginName() const {
    std::lock_guard lock(credentialsLock_);
    return loginName_;
}

std::string CServerConnectionHandler::Password() const {
    std::lock_guard lock(credentialsLock_);
    return password_;
}

void CServerConnectionHandler::OnConnect() {
    // All of the last connection's state goes before the new one is counted:
    // a waiter that sees the count must not read the old check's outcome.
    link_.trunkingMode_.store(TrunkingMode::None);
    ClearDisconnectRequest();
    update_.Reset();
    heard_.store(false, std::memory_order_release);
    watchedState_ = kIdle;
    framesSinceWatch_ = false;
    SetState(0);
    CConnectionHandler::OnConnect();
    link_.NotifyChange();
}

void CServerConnectionHandler::OnMessage(std::uint16_t messageId, std::uint16_t secondValue,
                                         const std::uint8_t* payload, std::size_t length) {
    const std::span<const std::uint8_t> bytes(payload, length);
    heard_.store(true, std::memory_order_release);
    // A server that sends frames is answering, however long it takes (the
    // configuration of a large site streams in before the login completes).
    framesSinceWatch_ = true;
    // The configuration that streams in before the login completes concerns
    // no waiter; waking Connect for each of its frames would cost a context
    // switch per frame.
    const bool quietDuringLogin = State() == kStateLoginSent &&
                                  messageId != msg::ADMIN_LOGIN_COMPLETE &&
                                  messageId != msg::CLIENT_LOGIN_RESPONSE;
    if (messageId <= 9) {
        update_.OnMessage(messageId, secondValue, payload, length);
    } else {
        login_.Dispatch(messageId, secondValue, bytes);
    }
    if (!quietDuringLogin) {
        link_.NotifyChange();
    }
}

void CServerConnectionHandler::OnPoll() {
    WatchAnswer();
    const int state = State();
    if (state == kIdle) {
        return;
    }
    if (state < kStateSendLogin) {
        update_.Step();
    } else {
        login_.Step();
    }
    WatchAnswer();
}

void CServerConnectionHandler::WatchAnswer() {
    const int state = State();
    if (state != watchedState_ || framesSinceWatch_) {
        watchedState_ = state;
        framesSinceWatch_ = false;
        answerTimer_.start(link_.services().answerTimeoutMs);
        return;
    }
    const bool awaiting = state == kStateLoginSent || update_.AwaitingAnswer();
    if (!awaiting || !answerTimer_.expired()) {
        return;
    }
    const char* text = state == kStateLoginSent  ? kNoLoginAnswerText
                       : update_.CheckFinished() ? kUpdateStalledText
                                                 : kNoIdentificationAnswerText;
    log::print("[%s] ERROR: %s", PeerText().c_str(), text);
    update_.OnLinkEnded(text);
    link_.setErrorText(text);
    SetState(kIdle);
    RequestDisconnect();
}

std::uint32_t CServerConnectionHandler::MsUntilPollDue() const {
    const int state = State();
    std::uint32_t due = kNoPollDue;
    if (state == kStateLoginSent || update_.AwaitingAnswer()) {
        // A state not yet seen by WatchAnswer starts its timer at the next poll.
        due = state == watchedState_ && !framesSinceWatch_ ? answerTimer_.remaining() : 0;
    }
    if (state >= 0 && state < kStateSendLogin) {
        due = std::min(due, update_.MsUntilPollDue());
    } else if (state >= kStateSendLogin) {
        due = std::min(due, login_.MsUntilPollDue());
    }
    return due;
}

void CServerConnectionHandler::OnDisconnect() {
    update_.OnLinkEnded(kConnectionEndedText);
    // Cleared before `connected` drops: Connect reads them once it sees that.
    link_.loginDone_.store(false, std::memory_order_release);
    link_.loginAccepted_.store(false, std::memory_order_release);
    // Under the link's lock: once `connected` drops the link may go away.
    link_.NotifyChange([this] { CConnectionHandler::OnDisconnect(); });
}

void CServerConnectionHandler::EnterLoggedIn(CMessageQueue& requestQueue) {
    CurrentQueue().DisableAndClear();
    MakeCurrent(requestQueue);
    requestQueue.Enable();
}

// ---------------------------------------------------------------- login and dispatch

CServerConnectionLoginSubHandler::CServerConnectionLoginSubHandler(
    CServerConnectionHandler& handler, ServerLink& link)
    : handler_(handler)
    , link_(link) {}

void CServerConnectionLoginSubHandler::Step() {
    switch (handler_.State()) {
    case kStateSendLogin:
        SendLoginRequest();
        break;
    case kStateLoggedIn:
        if (pollTimer_.expired()) {
            handler_.CurrentQueue().PostCopy(msg::ADMIN_SYSTEM_STATUS_REQUEST, 0, nullptr, 0);
            pollTimer_.start(kStatusPollMs);
        }
        break;
    default:
        break;
    }
}

std::uint32_t CServerConnectionLoginSubHandler::MsUntilPollDue() const {
    switch (handler_.State()) {
    case kStateSendLogin:
        return 0;
    case kStateLoggedIn:
        return pollTimer_.remaining();
    default:
        return CConnectionHandler::kNoPollDue;
    }
}

void CServerConnectionLoginSubHandler::SendLoginRequest() {
    std::optional<AesKey> key;
    if (handler_.DomainLogin()) {
        const auto base = readString(link_.settings(), kDomainAuthenticationKey);
        const auto parsed = base ? parseKeyBase(*base) : std::nullopt;
        if (!parsed) {
            // Without the shared key the server could not read the password.
            link_.setErrorText("Failed to validate the login using Domain Authentication!");
            log::print("ERROR: %s", "DomainAuthenticationKey is missing or not 32 hex digits");
            handler_.SetState(CConnectionHandler::kIdle);
            handler_.RequestDisconnect();
            return;
        }
        key = deriveKey(*parsed, handler_.LocalPort());
    }
    const LoginRequest request =
        buildLoginRequest(handler_.LoginName(), handler_.Password(), key, secondsSince1970());
    handler_.CurrentQueue().PostCopy(msg::ADMIN_LOGIN_REQUEST, 0, request.data(),
                                     LoginRequest::kSize);
    handler_.SetState(kStateLoginSent);
}

void CServerConnectionLoginSubHandler::Dispatch(std::uint16_t id, std::uint16_t second,
                                                std::span<const std::uint8_t> payload) {
    const char* peer = handler_.PeerText().c_str();
    switch (id) {
    case msg::CLIENT_DEBUG_FILTER: {
        log::print("[%s] Processing CLIENT_DEBUG_FILTER ... # of filters: %d", peer, second);
        // The count is the sender's word; never read past what arrived.
        const std::size_t count = std::min<std::size_t>(second, payload.size() / 4);
        std::vector<std::uint32_t> words(count);
        for (std::size_t i = 0; i < count; ++i) {
            words[i] = wire::readU32(payload.data() + 4 * i);
        }
        log::setFilters(static_cast<std::uint32_t>(count), words.data());
        return;
    }
    case msg::CONFIGURATION_DATA_SYSTEM_SETTINGS:
        OnSystemSettings(payload);
        break; // the data model may keep its own copy too
    case msg::ADMIN_LOGIN_ACCEPTED: {
        log::print("{%s}: Processing ADMIN_LOGIN_ACCEPTED", peer);
        const LoginAccepted accepted = LoginAccepted::fromPayload(payload);
        link_.privilegeWord_.store(accepted.get(LoginAccepted::kPrivilegeWord));
        const std::uint8_t level = accepted.get(LoginAccepted::kPrivilegeLevel);
        link_.privilegeLevel_.store(level);
        link_.fullAdministrator_.store(level == kFullAdministratorLevel);
        // What was typed, never the ciphertext.
        link_.settings().writeString(kUserName.name, handler_.LoginName());
        link_.settings().writeString(kPassword.name, handler_.Password());
        return;
    }
    case msg::ADMIN_LOGIN_COMPLETE:
        handler_.EnterLoggedIn(link_.requestQueue());
        link_.loginAccepted_.store(true, std::memory_order_release);
        link_.loginDone_.store(true, std::memory_order_release);
        handler_.SetState(kStateLoggedIn);
        pollTimer_.mark();
        return;
    case msg::CLIENT_LOGIN_RESPONSE: {
        log::print("{%s}: Processing CLIENT_LOGIN_RESPONSE", peer);
        const std::uint8_t reason = payload.empty() ? 0 : payload[0];
        const std::string text(rejectionText(reason));
        link_.setErrorText(text);
        log::print("%s", text.c_str());
        handler_.SetState(CConnectionHandler::kIdle);
        handler_.RequestDisconnect();
        return;
    }
    case msg::ADMIN_SYSTEM_STATUS_RESPONSE: {
        // Merging a short record with the last one would show fields of two
        // different moments as one status.
        if (payload.size() < model::SystemStatus::kSize) {
            log::print("{%s}: WARNING: ADMIN_SYSTEM_STATUS_RESPONSE of %d bytes ignored, the "
                       "status needs %d",
                       peer, static_cast<int>(payload.size()),
                       static_cast<int>(model::SystemStatus::kSize));
            return;
        }
        {
            std::lock_guard lock(link_.recordLock_);
            link_.status_.assignPrefix(payload);
        }
        link_.statusChanged_.store(true, std::memory_order_release);
        return;
    }
    case msg::ADMIN_TRUNKING_MODE:
        if (payload.size() == 1) {
            link_.trunkingMode_.store(trunkingModeFromFlags(payload[0]));
        }
        return;
    default:
        break;
    }
    if (link_.services().model != nullptr &&
        link_.services().model->Store(id, second, payload, handler_.PeerText())) {
        return;
    }
    if (id == msg::CONFIGURATION_DATA_SYSTEM_SETTINGS) {
        return;
    }
    if (msg::routeReceived(id) != msg::Route::MainDispatch) {
        msg::reportNotRecognized(handler_.PeerText(), id, payload.size());
    }
}

void CServerConnectionLoginSubHandler::OnSystemSettings(std::span<const std::uint8_t> payload) {
    using model::SystemSettings;
    const bool duringLogin = !link_.loginDone_.load(std::memory_order_acquire);
    SystemSettings now;
    bool changed = false;
    {
        std::lock_guard lock(link_.recordLock_);
        const SystemSettings before = link_.systemSettings_;
        if (payload.size() <= SystemSettings::kSize) {
            link_.systemSettings_.assignPrefix(payload);
        }
        now = link_.systemSettings_;
        if (!duringLogin) {
            const auto address = now.get(SystemSettings::kServerAddress);
            const auto dataPort = now.get(SystemSettings::kClientDataPort);
            const auto audioPort = now.get(SystemSettings::kClientAudioPort);
            if (address != before.get(SystemSettings::kServerAddress)) {
                link_.settings().writeString(kServerIPAddress.name, model::formatIpv4(address));
                changed = true;
            }
            if (dataPort != before.get(SystemSettings::kClientDataPort)) {
                link_.settings().writeNumber(kDataIpPort.name, dataPort);
                changed = true;
            }
            changed = changed || audioPort != before.get(SystemSettings::kClientAudioPort);
        }
    }
    if (changed) {
        // The next login must use the new address and ports.
        handler_.SetState(CConnectionHandler::kIdle);
        handler_.RequestDisconnect();
    }
    const auto secondary = now.get(SystemSettings::kSecondaryServerAddress);
    link_.settings().writeString(kSecondaryServerIpAddress.name,
                                 secondary == 0 ? std::string() : model::formatIpv4(secondary));
    link_.settings().writeNumber(kSecondaryServerIpPort.name,
                                 now.get(SystemSettings::kSecondaryClientDataPort));
}

} // namespace mirx::link
