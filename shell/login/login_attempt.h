#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include <QObject>
#include <QTimer>

namespace mirx::link {
class ServerLink;
struct DomainCheck;
} // namespace mirx::link

namespace mirx::shell {

// One login attempt that never blocks the event loop. Opening the socket
// (up to two bounded connects) and the directory check run on a short-lived
// worker; the rest of the exchange is polled every few milliseconds, so the
// login view keeps painting and can be closed at any time.
class LoginAttempt final : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 5;
    static constexpr const char* kDomainFailureText =
        "Failed to validate the login using Domain Authentication!";

    // The headline, and on a second line why the directory did not prove
    // the account.
    static std::string domainFailureText(const link::DomainCheck& check);

    explicit LoginAttempt(link::ServerLink& link, QObject* parent = nullptr);
    ~LoginAttempt() override;

    // With `domain`, the login name and password are the directory account
    // name found by the link's domain check; the given ones are not used.
    void start(const std::string& loginName, const std::string& password, bool domain);
    bool running() const { return state_ != State::Idle; }

    // After updateOffered: whether the update view started the installer.
    void resumeAfterUpdate(bool installerStarted);

    // Gives up a running attempt and closes whatever connection it opened.
    void abandon();

signals:
    // The server offers a newer console; answer with resumeAfterUpdate.
    void updateOffered();
    void finished(bool loggedIn);

private:
    enum class State { Idle, Opening, Polling, WaitingForUpdate };
    void poll();
    void finish(bool loggedIn);
    void joinWorker();

    link::ServerLink& link_;
    QTimer timer_;
    State state_ = State::Idle;
    std::thread worker_;
    std::atomic<bool> workerDone_{false};
    // Written by the worker before workerDone_ is set.
    bool opened_ = false;
};

} // namespace mirx::shell
