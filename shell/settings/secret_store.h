#pragma once

#include <string>
#include <string_view>

// Where a remembered password can live instead of the settings file: the
// desktop keyring in the programs, an in-memory store in tests. Plain C++, so
// the settings store decides where a password goes without knowing how the
// keyring is reached.

namespace mirx::shell {

enum class SecretStatus {
    Ok,
    // Read: no entry under that key.
    Absent,
    // No keyring to ask (no session bus, no Secret Service on it, no answer
    // in time).
    Unreachable,
    // The keyring answered with an error (locked and not unlocked, access
    // denied, ...).
    Failed,
};

struct SecretResult {
    SecretStatus status = SecretStatus::Unreachable;
    std::string secret;
    // Why it was not Ok, for the user.
    std::string detail;
};

class SecretStore {
public:
    SecretStore() = default;
    virtual ~SecretStore() = default;
    SecretStore(const SecretStore&) = delete;
    SecretStore& operator=(const SecretStore&) = delete;

    // Every call may be made from any thread and returns within a bounded
    // time.
    virtual SecretResult read(const std::string& key) = 0;
    virtual SecretResult write(const std::string& key, const std::string& secret) = 0;
    // Ok also when there was no entry.
    virtual SecretResult erase(const std::string& key) = 0;
};

// The keyring entry of a profile's password for one server. The profile name
// goes first with '\' and '@' escaped, so no two (profile, server) pairs share
// an entry.
std::string secretKey(std::string_view profile, std::string_view server);

} // namespace mirx::shell
