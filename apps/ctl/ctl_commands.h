#pragma once

#include "apps/ctl/ctl_command_table.h"
#include "apps/ctl/ctl_options.h"
#include "link/settings_store.h"

#include <atomic>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>

namespace mirx::ctl {

// Exit statuses, one per way to fail (docs/mirx-ctl.md).
enum ExitCode : int {
    kExitOk = 0,
    kExitInternal = 1,
    kExitUsage = 2,
    kExitNoLocalAddress = 3,
    kExitUnresolvable = 4,
    kExitUnreachable = 5,
    kExitIncompatible = 6,
    kExitDomainCheck = 7,
    kExitBadCredentials = 8,
    kExitAlreadyLoggedOn = 9,
    kExitPrivilegeDisabled = 10,
    kExitControlPanelOnly = 11,
    kExitNoAdministration = 12,
    kExitRejected = 13,
    kExitConnectionLost = 14,
    kExitUpdateInstalled = 15,
    kExitNoPassword = 16,
    kExitCommandFileFailed = 17,
    kExitCommandFileInvalid = 18,
    kExitFolderInUse = 19,
    kExitServerSilent = 20,
    kExitNoAnswer = 21,
    kExitUpdateFailed = 22,
    kExitSettingsRefused = 23,
    kExitInterrupted = 24,
    kExitNotWritten = 25,
};

// The exit status for a failed attempt's error text.
int exitCodeFor(const std::string& errorText);

// Values given for this run only sit on top of the profile; everything else
// is read from and written to the profile as the console would.
class OverlaySettingsStore final : public link::SettingsStore {
public:
    explicit OverlaySettingsStore(link::SettingsStore& below)
        : below_(below) {}
    void override(std::string name, link::StoredValue value);
    // From now on every write stays in this run, except to `passThrough`
    // (empty: none).
    void keepWritesInRun(std::string passThrough) {
        keepWrites_ = true;
        passThrough_ = std::move(passThrough);
    }
    std::string profileKeyPath() const override { return below_.profileKeyPath(); }

protected:
    bool openProfile() override { return true; }
    std::optional<link::StoredValue> load(std::string_view name) override;
    bool save(std::string_view name, const link::StoredValue& value) override;

private:
    link::SettingsStore& below_;
    std::map<std::string, link::StoredValue, std::less<>> overrides_;
    bool keepWrites_ = false;
    std::string passThrough_;
};

// Runs one command; returns the exit status. `stop` ends the command in any
// phase (the caller turns a signal into its own exit status).
// `storedPasswordProblem` says, after the profile's password was read, why
// there was none although one is stored (a keyring that cannot be reached).
int runCtl(const CtlOptions& options, link::SettingsStore& profile, CtlStreams streams,
           const std::atomic<bool>& stop, std::vector<std::string> ownCommandLine = {},
           const std::function<std::string()>& storedPasswordProblem = {});

} // namespace mirx::ctl
