#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Start-up options. The "/Option" spellings work as written; each also has a
// "--option" alias (which may take its value as "--option=value"). Names are
// compared case-insensitively and must match whole; unknown arguments are
// skipped and named together in one warning.

namespace mirx::link {
class SettingsStore;
}

namespace mirx::shell {

inline constexpr std::size_t kProgramPathMaxChars = 249;
inline constexpr std::size_t kRelaunchCommandLineMaxChars = 259;
inline constexpr std::size_t kAddressMaxChars = 50;
inline constexpr std::size_t kLoginFieldMaxChars = 20;

struct StartupOptions {
    // The first argument, at most 249 characters.
    std::string programPath;
    // The program path up to, not including, its last '/'; empty without one.
    std::string programDirectory;
    // "\"<program path>\"" and " <argument>" for each further argument but
    // the password options and their values, at most 259 characters: what an
    // update relaunches.
    std::string relaunchCommandLine;

    // Empty values count as not given: an empty address or login name would
    // lock fields the administrator then could not fill in.
    std::optional<std::string> profile;
    bool debug = false;
    bool debugLog = false;
    std::optional<std::string> ipAddress;
    // 0 when not given (a given 0 is ignored).
    std::uint16_t ipPort = 0;
    std::optional<std::string> loginName;
    std::optional<std::string> loginPassword;
    // Where readStartupPassword() takes the password from instead.
    std::optional<std::string> loginPasswordFile;
    bool loginPasswordStdin = false;
    // With a login name but no password: keep the stored one.
    bool keepStoredPassword = false;
    // Where a password given on the command line sits in argv: argument
    // index and the offset of the value in it (after "=" in --opt=value).
    std::vector<std::pair<std::size_t, std::size_t>> secretArguments;

    bool help = false;
    bool version = false;
    // One line per argument that was ignored for a reason worth telling.
    std::vector<std::string> warnings;
};

// `arguments` is argv as given, the program path first.
StartupOptions parseCommandLine(std::span<const std::string_view> arguments);
StartupOptions parseCommandLine(int argc, const char* const* argv);

// Reads the password named by loginPasswordFile or loginPasswordStdin (its
// first line, without CR LF or LF; loginFieldProblem checks its length) into
// loginPassword. Empty on success or when neither was given, else what went
// wrong.
std::string readStartupPassword(StartupOptions& options, std::istream& standardInput);

// Why a login name or password given at start cannot be used (longer than
// the login request holds); empty when both fit or were not given.
std::string loginFieldProblem(const StartupOptions& options);

// Overwrites with NUL bytes the password values recorded in
// options.secretArguments, in argv itself: /proc/<pid>/cmdline, and so ps,
// no longer shows them. Call once the values have been copied.
void eraseSecretArguments(const StartupOptions& options, int argc, char** argv);

// Which fields of the connection settings and login views the command line
// has fixed for this run.
struct Locks {
    bool connectionFieldsLocked = false;
    bool loginFieldsLocked = false;
    friend bool operator==(const Locks&, const Locks&) = default;
};

// Stores what the command line gave (login name with its password, or with
// the stored password kept when asked; server address; non-zero port). The
// locks are set even when a write fails: the command line still decides for
// this run.
Locks applyStartupOptions(const StartupOptions& options, link::SettingsStore& store);

// Usage text for --help, ending in a line feed.
std::string helpText(std::string_view programName);

} // namespace mirx::shell
