#pragma once

#include "link/settings_store.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class QSettings;
class QString;
class QVariant;

// The per-user settings file, through QSettings with a typed text format:
//
//   # comment
//   Profile=s:"Site A"
//
//   [Site A]
//   ServerIPAddress=s:"10.0.0.5"
//   DataIpPort=n:1000
//
// "s:" values are strings in double quotes (\\ \" \n \r \t and \xHH escapes),
// "n:" values unsigned 32-bit decimal numbers. Anything else on a value line
// is kept as it stands but reads as absent. Section and value names escape
// the characters that would end them the same way.
//
// The file holds a password: it is created 0600 (its folder 0700), both are
// tightened when found wider, and every write replaces it atomically
// (temporary file and rename, which keeps the mode).
//
// With a secret store (the desktop keyring) the password goes there instead,
// under secretKey(profile, ServerIPAddress), and leaves the file; where the
// keyring cannot take it, it stays in the file. A password in the file is
// always the newest one written (a keyring write removes it), so reads take
// the file's first and ask the keyring only when the file has none and
// PasswordInKeyring says the keyring holds it.

namespace mirx::shell {

class SecretStore;

class QSettingsStore final : public link::SettingsStore {
public:
    // Applies the profile rules: a profile from the command line becomes the
    // current one and is stored as Profile; otherwise a stored Profile string
    // is used (an empty one puts the values beside it); otherwise the values
    // live in "Default" and the current profile name is empty.
    explicit QSettingsStore(const std::optional<std::string>& commandLineProfile,
                            std::filesystem::path file = defaultFilePath());
    ~QSettingsStore() override;

    // $XDG_CONFIG_HOME/Talbrook/SystemAdministration.conf, with ~/.config when
    // XDG_CONFIG_HOME is unset, empty or relative. Empty when neither names an
    // absolute folder: the tools then refuse to start rather than guess one
    // (a store on an empty path never opens).
    static std::filesystem::path defaultFilePath();
    // The error the tools print for an empty defaultFilePath().
    static constexpr const char* kNoSettingsFolderText =
        "neither XDG_CONFIG_HOME nor HOME names an absolute folder, so there is no "
        "place for the settings; set one of them";

    // Shown in window titles; empty when the "Default" key is used.
    const std::string& currentProfile() const { return currentProfile_; }
    const std::filesystem::path& filePath() const { return file_; }

    // Why the file is not used this run (a link, another user's file, ...);
    // empty when it is.
    const std::string& refusal() const { return refusal_; }

    // "<file>[<profile key>]".
    std::string profileKeyPath() const override;

    // Set before the store is shared with other threads. `secrets` outlives
    // the store. `notice` hears, once per settings file until a password
    // reaches the keyring again, that one was kept in the file instead.
    void useSecretStore(SecretStore* secrets, std::function<void(const std::string&)> notice);
    // The server this run logs in to when it is not the profile's own
    // (mirx-ctl --server): the keyring entry is the one for that server.
    void setRunServer(std::string address) { runServer_ = std::move(address); }
    // Why the last read of the password came back empty although the
    // keyring holds one; empty otherwise.
    std::string passwordProblem() const;

protected:
    bool openProfile() override;
    std::optional<link::StoredValue> load(std::string_view name) override;
    bool save(std::string_view name, const link::StoredValue& value) override;

private:
    bool openFile();
    bool put(const QString& key, const QVariant& value);
    bool erase(const QString& key);
    bool change(const QString& key, const std::optional<QVariant>& value);
    std::optional<std::string> readStoredProfile();
    std::optional<link::StoredValue> loadPassword();
    bool savePassword(const std::string& password);
    std::string keyringKey() const;
    void setPasswordProblem(std::string problem);

    std::filesystem::path file_;
    std::string refusal_;
    std::unique_ptr<QSettings> settings_;
    std::string currentProfile_;
    // The group holding the profile's values; empty = beside Profile.
    std::string group_;
    SecretStore* secrets_ = nullptr;
    std::optional<std::string> runServer_;
    std::function<void(const std::string&)> notice_;
    mutable std::mutex problemLock_;
    std::string passwordProblem_;
    // What the keyring is known to hold (read or written by this store), so
    // the password the link stores after every login costs no keyring call
    // on the connection thread when it has not changed.
    struct KnownSecret {
        std::string key;
        std::string secret;
    };
    bool keyringHolds(const std::string& key, const std::string& secret) const;
    void setKeyringHolds(std::optional<KnownSecret> known);
    mutable std::mutex knownLock_;
    std::optional<KnownSecret> keyringKnown_;
};

} // namespace mirx::shell
