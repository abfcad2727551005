#pragma once

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

// `commandLine` (program path first) without the password options and their
// values, "--login-password=VALUE" included; names compared without regard
// to ASCII case. What an installer is given to restart the console with:
// it never needs the password, and its own command line is public.
std::vector<std::string> withoutPasswordArguments(std::vector<std::string> commandLine);

} // namespace mirx::link
