#pragma once

#include "shell/settings/secret_store.h"

#include <chrono>
#include <string>

namespace mirx::shell {

// The desktop keyring through QtKeychain, used only where the session bus
// has a Secret Service (running or startable): without one every call is
// Unreachable at once instead of waiting for a keychain job to time out.
//
// The jobs run on a thread of their own, so callers on any thread (the
// connection thread saves the password after a login) get an answer without
// an event loop of theirs; each call waits at most `wait`, after which it
// counts as Unreachable, and so does every call until that job has ended.
// The thread needs a QCoreApplication and ends with it.
class KeychainSecretStore final : public SecretStore {
public:
    // QtKeychain's "service": the entries' name in the keyring.
    static constexpr const char* kService = "MIRX System Administration";
    // Long enough for a keyring that asks to be unlocked, short enough not
    // to stall a login for long when nobody answers.
    static constexpr std::chrono::milliseconds kDefaultWait{10000};

    explicit KeychainSecretStore(std::chrono::milliseconds wait = kDefaultWait);
    ~KeychainSecretStore() override;

    SecretResult read(const std::string& key) override;
    SecretResult write(const std::string& key, const std::string& secret) override;
    SecretResult erase(const std::string& key) override;

private:
    enum class Operation { Read, Write, Erase };
    SecretResult run(Operation operation, const std::string& key, const std::string& secret);

    std::chrono::milliseconds wait_;
};

} // namespace mirx::shell
