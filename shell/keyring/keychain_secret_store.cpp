#include "shell/keyring/keychain_secret_store.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QThread>
#include <qt6keychain/keychain.h>

namespace mirx::shell {
namespace {

const QString kSecretServiceName = QStringLiteral("org.freedesktop.secrets");

// Empty when the session bus has a Secret Service or can start one.
std::string whyUnreachable() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        const QString error = bus.lastError().message();
        return "no session bus" + (error.isEmpty() ? std::string() : ": " + error.toStdString());
    }
    const QDBusConnectionInterface* daemon = bus.interface();
    if (daemon == nullptr) {
        return "the session bus does not answer";
    }
    if (daemon->isServiceRegistered(kSecretServiceName).value()) {
        return {};
    }
    if (daemon->activatableServiceNames().value().contains(kSecretServiceName)) {
        return {};
    }
    return "no Secret Service on the session bus";
}

SecretResult resultOf(const QKeychain::Job& job, bool erasing) {
    const std::string detail = job.errorString().toStdString();
    switch (job.error()) {
    case QKeychain::NoError:
        return {SecretStatus::Ok, {}, {}};
    case QKeychain::EntryNotFound:
        return {erasing ? SecretStatus::Ok : SecretStatus::Absent, {}, {}};
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return {SecretStatus::Unreachable, {}, detail};
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
    case QKeychain::OtherError:
        break;
    }
    return {SecretStatus::Failed, {}, detail.empty() ? "the keyring refused" : detail};
}

// QtKeychain queues its jobs, one at a time, on the thread that ran the first
// one: every store of the process shares one thread, which ends with the
// application.
struct KeyringThread {
    QThread thread;
    // Lives on `thread`; the jobs' parent.
    QObject* home = nullptr;
};

// Jobs a caller gave up waiting for that have not ended: the queue is stuck
// behind them, so later calls need not wait too.
std::atomic<int> g_stalledJobs{0};

// One call's answer, and whether its caller gave up on it.
struct Call {
    std::mutex lock;
    std::condition_variable answered;
    std::optional<SecretResult> result;
    bool abandoned = false;

    void answer(SecretResult value) {
        const std::lock_guard hold(lock);
        result = std::move(value);
        if (abandoned) {
            g_stalledJobs.fetch_sub(1);
        }
        answered.notify_all();
    }
};

std::mutex g_threadLock;
KeyringThread* g_thread = nullptr;

// Requests travel to the keyring thread through this queue, not inside the
// queued call: its hand-over is one a thread checker can see. Each takes the
// jobs' parent.
using Request = std::function<void(QObject*)>;
std::mutex g_requestsLock;
std::deque<Request> g_requests;
std::atomic<QObject*> g_home{nullptr};

void runRequests() {
    for (;;) {
        Request next;
        {
            const std::lock_guard hold(g_requestsLock);
            if (g_requests.empty()) {
                return;
            }
            next = std::move(g_requests.front());
            g_requests.pop_front();
        }
        next(g_home.load());
    }
}

void stopKeyringThread() {
    const std::lock_guard hold(g_threadLock);
    if (g_thread != nullptr) {
        g_thread->thread.quit();
        g_thread->thread.wait();
        delete g_thread;
        g_thread = nullptr;
        g_home.store(nullptr);
        const std::lock_guard holdRequests(g_requestsLock);
        g_requests.clear();
    }
}

// Null without a QCoreApplication (no event loop could run the jobs) or
// once it has gone.
KeyringThread* keyringThread() {
    const std::lock_guard hold(g_threadLock);
    if (g_thread == nullptr && QCoreApplication::instance() != nullptr) {
        g_thread = new KeyringThread;
        g_thread->thread.setObjectName(QStringLiteral("keyring"));
        g_thread->home = new QObject;
        g_thread->home->moveToThread(&g_thread->thread);
        g_home.store(g_thread->home);
        // Jobs still waiting for the keyring when the thread ends go with it.
        QObject::connect(
            &g_thread->thread, &QThread::finished, &g_thread->thread,
            [home = g_thread->home] { delete home; }, Qt::DirectConnection);
        g_thread->thread.start();
        qAddPostRoutine(stopKeyringThread);
    }
    return g_thread;
}

} // namespace

KeychainSecretStore::KeychainSecretStore(std::chrono::milliseconds wait)
    : wait_(wait) {}

KeychainSecretStore::~KeychainSecretStore() = default;

SecretResult KeychainSecretStore::read(const std::string& key) {
    return run(Operation::Read, key, {});
}

SecretResult KeychainSecretStore::write(const std::string& key, const std::string& secret) {
    return run(Operation::Write, key, secret);
}

SecretResult KeychainSecretStore::erase(const std::string& key) {
    return run(Operation::Erase, key, {});
}

SecretResult KeychainSecretStore::run(Operation operation, const std::string& key,
                                      const std::string& secret) {
    KeyringThread* worker = keyringThread();
    if (worker == nullptr) {
        return {SecretStatus::Unreachable, {}, "the keyring needs the application object"};
    }
    if (g_stalledJobs.load() > 0) {
        return {SecretStatus::Unreachable, {}, "the keyring has not answered an earlier request"};
    }
    auto call = std::make_shared<Call>();
    Request request = [call, operation, key = QString::fromStdString(key),
                       secret = QString::fromStdString(secret)](QObject* home) {
        if (std::string why = whyUnreachable(); !why.empty()) {
            call->answer({SecretStatus::Unreachable, {}, std::move(why)});
            return;
        }
        const QString service = QString::fromLatin1(kService);
        QKeychain::Job* job = nullptr;
        switch (operation) {
        case Operation::Read:
            job = new QKeychain::ReadPasswordJob(service, home);
            break;
        case Operation::Write: {
            auto* writing = new QKeychain::WritePasswordJob(service, home);
            writing->setTextData(secret);
            job = writing;
            break;
        }
        case Operation::Erase:
            job = new QKeychain::DeletePasswordJob(service, home);
            break;
        }
        // Never QtKeychain's own plain-text file: the settings store
        // decides where a password goes when the keyring cannot take it.
        job->setInsecureFallback(false);
        job->setAutoDelete(true);
        job->setKey(key);
        QObject::connect(
            job, &QKeychain::Job::finished, home, [call, operation](QKeychain::Job* done) {
                SecretResult result = resultOf(*done, operation == Operation::Erase);
                if (operation == Operation::Read && result.status == SecretStatus::Ok) {
                    result.secret =
                        static_cast<QKeychain::ReadPasswordJob*>(done)->textData().toStdString();
                }
                call->answer(std::move(result));
            });
        job->start();
    };
    {
        const std::lock_guard holdRequests(g_requestsLock);
        g_requests.push_back(std::move(request));
    }
    QMetaObject::invokeMethod(
        worker->home, [] { runRequests(); }, Qt::QueuedConnection);
    std::unique_lock hold(call->lock);
    if (!call->answered.wait_for(hold, wait_, [&call] { return call->result.has_value(); })) {
        call->abandoned = true;
        g_stalledJobs.fetch_add(1);
        return {SecretStatus::Unreachable,
                {},
                "no answer from the keyring within " + std::to_string(wait_.count() / 1000) + " s"};
    }
    return std::move(*call->result);
}

} // namespace mirx::shell
