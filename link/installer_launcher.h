#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Starting a downloaded installer so that it outlives the console, which ends
// right after to let the installer replace it.

namespace mirx::link {

// Makes `program` executable for its owner and runs it with `arguments`
// (argv[1] on; argv[0] is the program path) in a new session, reparented
// away from us so that it neither dies with the console nor lingers as our
// zombie. Standard input is /dev/null; descriptors beyond the standard
// three are not inherited.
// Returns once the program was executed or failed to be: false with errno
// telling why (chmod, fork or exec).
bool LaunchDetached(const std::filesystem::path& program,
                    const std::vector<std::string>& arguments);

// Where downloads go: $TMPDIR when it names an absolute path, else /tmp.
std::filesystem::path temporaryRoot();

// The console's own command line, for an installer that restarts it: the
// running executable (from /proc/self/exe, argv[0] when that is unreadable)
// followed by argv[1] on.
std::vector<std::string> ownCommandLine(int argc, const char* const argv[]);

// The console's options whose value is a password.
inline constexpr std::string_view kLoginPasswordOption = "/login_password";
inline constexpr std::string_view kLoginPasswordLongOption = "--login-password";
// The console's options that read the password from standard input.
inline constexpr std::array<std::string_view, 3> kLoginPasswordStdinOptions{
    "/login_password_stdin", "--login-password-stdin", "--password-stdin"};
// Tells the console to keep the password its profile holds (what the run
// that was given the password stored) instead of storing an empty one.
inline constexpr std::string_view kLoginPasswordStoredOption = "/login_password_stored";

// What an installer is given to restart the console with: `commandLine`
// (program path first) without the password options and their values
// ("--login-password=VALUE" included) and without the standard-input ones
// (an installer's standard input is /dev/null); in their place, once,
// kLoginPasswordStoredOption. Names are compared without regard to ASCII
// case. The installer never needs the password, and its command line is
// public.
std::vector<std::string> withoutPasswordArguments(std::vector<std::string> commandLine);

} // namespace mirx::link
