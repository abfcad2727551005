#include "shell/keyring/keychain_secret_store.h"

#include <future>

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

} // namespace

KeychainSecretStore::KeychainSecretStore(std::chrono::milliseconds wait)
    : wait_(wait)
    , thread_(std::make_unique<QThread>()) {
    thread_->setObjectName(QStringLiteral("keyring"));
    home_ = new QObject;
    home_->moveToThread(thread_.get());
    // Jobs still waiting for the keyring when the thread ends go with it.
    QObject::connect(
        thread_.get(), &QThread::finished, thread_.get(), [home = home_] { delete home; },
        Qt::DirectConnection);
    thread_->start();
}

KeychainSecretStore::~KeychainSecretStore() {
    thread_->quit();
    thread_->wait();
}

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
    auto answer = std::make_shared<std::promise<SecretResult>>();
    std::future<SecretResult> future = answer->get_future();
    QObject* home = home_;
    const bool queued = QMetaObject::invokeMethod(
        home_,
        [home, answer, operation, key = QString::fromStdString(key),
         secret = QString::fromStdString(secret)] {
            if (std::string why = whyUnreachable(); !why.empty()) {
                answer->set_value({SecretStatus::Unreachable, {}, std::move(why)});
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
                job, &QKeychain::Job::finished, home, [answer, operation](QKeychain::Job* done) {
                    SecretResult result = resultOf(*done, operation == Operation::Erase);
                    if (operation == Operation::Read && result.status == SecretStatus::Ok) {
                        result.secret = static_cast<QKeychain::ReadPasswordJob*>(done)
                                            ->textData()
                                            .toStdString();
                    }
                    answer->set_value(std::move(result));
                });
            job->start();
        },
        Qt::QueuedConnection);
    if (!queued) {
        return {SecretStatus::Unreachable, {}, "the keyring thread is not running"};
    }
    if (future.wait_for(wait_) != std::future_status::ready) {
        return {SecretStatus::Unreachable,
                {},
                "no answer from the keyring within " + std::to_string(wait_.count() / 1000) + " s"};
    }
    return future.get();
}

} // namespace mirx::shell
