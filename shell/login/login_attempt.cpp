#include "shell/login/login_attempt.h"

#include "link/server_link.h"

namespace mirx::shell {

LoginAttempt::LoginAttempt(link::ServerLink& link, QObject* parent)
    : QObject(parent)
    , link_(link) {
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &LoginAttempt::poll);
}

std::string LoginAttempt::domainFailureText(const link::DomainCheck& check) {
    std::string text = kDomainFailureText;
    if (!check.refusal.empty()) {
        text += "\n" + check.refusal;
    }
    return text;
}

LoginAttempt::~LoginAttempt() {
    abandon();
}

void LoginAttempt::start(const std::string& loginName, const std::string& password, bool domain) {
    if (running()) {
        return;
    }
    state_ = State::Opening;
    workerDone_.store(false);
    opened_ = false;
    link_.setLinkState(link::kAttemptRunning);
    const auto domainAccount = link_.services().domainAccount;
    worker_ = std::thread([this, loginName, password, domain, domainAccount] {
        if (domain) {
            const link::DomainCheck check = domainAccount ? domainAccount() : link::DomainCheck{};
            const std::optional<std::string>& account = check.account;
            if (!account || account->empty()) {
                link_.setErrorText(domainFailureText(check));
                link_.setLinkState(link::kAttemptFailed);
                opened_ = false;
            } else {
                opened_ = link_.BeginConnect(*account, *account);
            }
        } else {
            opened_ = link_.BeginConnect(loginName, password);
        }
        workerDone_.store(true, std::memory_order_release);
    });
    timer_.start();
}

void LoginAttempt::joinWorker() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void LoginAttempt::poll() {
    if (state_ == State::Opening) {
        if (!workerDone_.load(std::memory_order_acquire)) {
            return;
        }
        joinWorker();
        if (!opened_) {
            finish(false);
            return;
        }
        state_ = State::Polling;
    }
    if (state_ != State::Polling) {
        return;
    }
    switch (link_.PollConnect()) {
    case link::ServerLink::Progress::Pending:
        return;
    case link::ServerLink::Progress::UpdateOffered:
        state_ = State::WaitingForUpdate;
        timer_.stop();
        emit updateOffered();
        return;
    case link::ServerLink::Progress::Succeeded:
        finish(true);
        return;
    case link::ServerLink::Progress::Failed:
        finish(false);
        return;
    }
}

void LoginAttempt::resumeAfterUpdate(bool installerStarted) {
    if (state_ != State::WaitingForUpdate) {
        return;
    }
    link_.ResumeAfterUpdate(installerStarted);
    state_ = State::Polling;
    timer_.start();
}

void LoginAttempt::finish(bool loggedIn) {
    timer_.stop();
    state_ = State::Idle;
    emit finished(loggedIn);
}

void LoginAttempt::abandon() {
    if (!running()) {
        return;
    }
    timer_.stop();
    joinWorker();
    state_ = State::Idle;
    link_.AbandonConnect();
}

} // namespace mirx::shell
