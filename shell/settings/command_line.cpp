#include "shell/settings/command_line.h"

#include "core/ascii.h"
#include "core/utf16.h"
#include "link/installer_launcher.h"
#include "link/settings_store.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <istream>
#include <limits>

namespace mirx::shell {

namespace {

enum class Option {
    Profile,
    Debug,
    DebugLog,
    IpAddress,
    IpPort,
    LoginName,
    LoginPassword,
    LoginPasswordFile,
    LoginPasswordStdin,
    LoginPasswordStored,
    Help,
    Version,
};

struct OptionSpelling {
    std::string_view name;
    Option option;
    bool takesValue;
};

constexpr std::array kOptions{
    OptionSpelling{"/Profile", Option::Profile, true},
    OptionSpelling{"--profile", Option::Profile, true},
    OptionSpelling{"/Debug", Option::Debug, false},
    OptionSpelling{"--debug", Option::Debug, false},
    OptionSpelling{"/DebugLog", Option::DebugLog, false},
    OptionSpelling{"--debug-log", Option::DebugLog, false},
    OptionSpelling{"/ip_address", Option::IpAddress, true},
    OptionSpelling{"--ip-address", Option::IpAddress, true},
    OptionSpelling{"/ip_port", Option::IpPort, true},
    OptionSpelling{"--ip-port", Option::IpPort, true},
    OptionSpelling{"/login_name", Option::LoginName, true},
    OptionSpelling{"--login-name", Option::LoginName, true},
    OptionSpelling{link::kLoginPasswordOption, Option::LoginPassword, true},
    OptionSpelling{link::kLoginPasswordLongOption, Option::LoginPassword, true},
    OptionSpelling{"/login_password_file", Option::LoginPasswordFile, true},
    OptionSpelling{"--login-password-file", Option::LoginPasswordFile, true},
    OptionSpelling{"--password-file", Option::LoginPasswordFile, true},
    OptionSpelling{link::kLoginPasswordStdinOptions[0], Option::LoginPasswordStdin, false},
    OptionSpelling{link::kLoginPasswordStdinOptions[1], Option::LoginPasswordStdin, false},
    OptionSpelling{link::kLoginPasswordStdinOptions[2], Option::LoginPasswordStdin, false},
    OptionSpelling{link::kLoginPasswordStoredOption, Option::LoginPasswordStored, false},
    OptionSpelling{"--login-password-stored", Option::LoginPasswordStored, false},
    OptionSpelling{"--help", Option::Help, false},
    OptionSpelling{"-h", Option::Help, false},
    OptionSpelling{"--version", Option::Version, false},
};

const OptionSpelling* findOption(std::string_view name) {
    const auto it = std::find_if(kOptions.begin(), kOptions.end(), [&](const OptionSpelling& o) {
        return text::equalsIgnoringAsciiCase(o.name, name);
    });
    return it == kOptions.end() ? nullptr : &*it;
}

std::string cut(std::string_view text, std::size_t maxChars) {
    return std::string(text::prefixWithinUtf16Units(text, maxChars));
}

std::optional<std::string> nonEmpty(std::string_view text, std::size_t maxChars) {
    if (text.empty()) {
        return std::nullopt;
    }
    return cut(text, maxChars);
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Decimal with optional sign after leading blanks, up to the first other
// character; out-of-range values stop at the int limits. Then the low 16 bits.
std::uint16_t portFromText(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && isSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<int>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        magnitude = std::min(magnitude * 10 + (text[pos] - '0'), kLimit);
    }
    const std::int64_t value =
        negative ? -magnitude : std::min<std::int64_t>(magnitude, kLimit - 1);
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFF);
}

void apply(StartupOptions& options, Option option, std::string_view value) {
    switch (option) {
    case Option::Profile:
        options.profile = nonEmpty(value, link::kProfileNameMaxChars);
        break;
    case Option::IpAddress:
        options.ipAddress = nonEmpty(value, kAddressMaxChars);
        break;
    case Option::IpPort:
        options.ipPort = portFromText(value);
        break;
    case Option::LoginName:
        // Whole: a longer one is refused (loginFieldProblem), never cut.
        options.loginName = value.empty() ? std::nullopt : std::optional<std::string>(value);
        break;
    case Option::LoginPassword:
        options.loginPassword = std::string(value);
        break;
    case Option::LoginPasswordFile:
        options.loginPasswordFile = std::string(value);
        break;
    case Option::LoginPasswordStdin:
        options.loginPasswordStdin = true;
        break;
    case Option::LoginPasswordStored:
        options.keepStoredPassword = true;
        break;
    case Option::Debug:
        options.debug = true;
        break;
    case Option::DebugLog:
        options.debugLog = true;
        break;
    case Option::Help:
        options.help = true;
        break;
    case Option::Version:
        options.version = true;
        break;
    }
}

} // namespace

StartupOptions parseCommandLine(std::span<const std::string_view> arguments) {
    StartupOptions options;
    if (arguments.empty()) {
        return options;
    }
    options.programPath = cut(arguments[0], kProgramPathMaxChars);
    const std::size_t slash = options.programPath.rfind('/');
    if (slash != std::string::npos) {
        options.programDirectory = options.programPath.substr(0, slash);
    }
    std::string relaunch = "\"" + options.programPath + "\"";
    const std::vector<std::string> relaunched =
        link::withoutPasswordArguments({arguments.begin(), arguments.end()});
    for (std::size_t i = 1; i < relaunched.size(); ++i) {
        relaunch += ' ';
        relaunch += relaunched[i];
    }
    options.relaunchCommandLine = cut(relaunch, kRelaunchCommandLineMaxChars);

    std::string unknown;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string_view name = arguments[i];
        std::optional<std::string_view> inlineValue;
        if (name.starts_with("--")) {
            if (const std::size_t eq = name.find('='); eq != std::string_view::npos) {
                inlineValue = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
        }
        const OptionSpelling* spelling = findOption(name);
        if (spelling == nullptr || (inlineValue && !spelling->takesValue)) {
            unknown += (unknown.empty() ? "" : " ") + std::string(arguments[i]);
            continue;
        }
        const bool secret = spelling->option == Option::LoginPassword;
        if (!spelling->takesValue) {
            apply(options, spelling->option, {});
        } else if (inlineValue) {
            apply(options, spelling->option, *inlineValue);
            if (secret) {
                options.secretArguments.emplace_back(i, name.size() + 1);
            }
        } else if (i + 1 < arguments.size()) {
            apply(options, spelling->option, arguments[++i]);
            if (secret) {
                options.secretArguments.emplace_back(i, 0);
            }
        } else {
            options.warnings.push_back("WARNING: Option " + std::string(name) +
                                       " needs a value; ignored.");
        }
    }
    if (!unknown.empty()) {
        options.warnings.push_back("WARNING: Unknown options skipped: " + unknown);
    }
    return options;
}

StartupOptions parseCommandLine(int argc, const char* const* argv) {
    std::vector<std::string_view> arguments;
    arguments.reserve(argc > 0 ? static_cast<std::size_t>(argc) : 0);
    for (int i = 0; i < argc; ++i) {
        arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    }
    return parseCommandLine(arguments);
}

std::string readStartupPassword(StartupOptions& options, std::istream& standardInput) {
    if (options.loginPasswordFile && options.loginPasswordStdin) {
        return "the password file and standard input exclude each other";
    }
    std::ifstream file;
    std::istream* in = &standardInput;
    std::string source = "standard input";
    if (options.loginPasswordFile) {
        source = "the password file " + *options.loginPasswordFile;
        file.open(*options.loginPasswordFile, std::ios::binary);
        if (!file) {
            return "cannot read " + source;
        }
        in = &file;
    } else if (!options.loginPasswordStdin) {
        return {};
    }
    std::string line;
    if (!std::getline(*in, line) && line.empty()) {
        return "no password in " + source;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    options.loginPassword = line;
    return {};
}

std::string loginFieldProblem(const StartupOptions& options) {
    if (options.loginName && text::utf16Length(*options.loginName) > kLoginFieldMaxChars) {
        return "the login name is longer than 20 characters";
    }
    if (options.loginPassword && text::utf16Length(*options.loginPassword) > kLoginFieldMaxChars) {
        return "the password is longer than 20 characters";
    }
    return {};
}

void eraseSecretArguments(const StartupOptions& options, int argc, char** argv) {
    for (const auto& [index, offset] : options.secretArguments) {
        if (index >= static_cast<std::size_t>(argc) || argv[index] == nullptr) {
            continue;
        }
        char* text = argv[index];
        const std::size_t length = std::strlen(text);
        if (offset < length) {
            // Through a volatile pointer, so the stores are not elided.
            volatile char* p = text + offset;
            for (std::size_t k = offset; k < length; ++k) {
                *p++ = '\0';
            }
        }
    }
}

Locks applyStartupOptions(const StartupOptions& options, link::SettingsStore& store) {
    Locks locks;
    if (options.loginName) {
        store.writeString(link::kUserName.name, *options.loginName);
        if (options.loginPassword || !options.keepStoredPassword) {
            store.writeString(link::kPassword.name, options.loginPassword.value_or(std::string()));
        }
        locks.loginFieldsLocked = true;
    }
    if (options.ipAddress) {
        store.writeString(link::kServerIPAddress.name, *options.ipAddress);
        locks.connectionFieldsLocked = true;
    }
    if (options.ipPort != 0) {
        store.writeNumber(link::kDataIpPort.name, options.ipPort);
        locks.connectionFieldsLocked = true;
    }
    return locks;
}

std::string helpText(std::string_view programName) {
    std::string text = "Usage: ";
    text += programName;
    text += " [options]\n"
            "\n"
            "  /Profile NAME, --profile NAME\n"
            "      Use the settings profile NAME (at most 50 characters) and make it\n"
            "      the profile used when none is given.\n"
            "  /Debug, --debug\n"
            "      Show the debug-only controls and every debug line on standard\n"
            "      error; without it standard error gets only warnings and errors\n"
            "      unless it is a terminal.\n"
            "  /DebugLog, --debug-log\n"
            "      Write the debug log to a file in the program's folder, or when\n"
            "      that is not writable in $XDG_STATE_HOME/Talbrook\n"
            "      (~/.local/state/Talbrook).\n"
            "  /ip_address ADDRESS, --ip-address ADDRESS\n"
            "      Store the server address or host name and lock it for this run.\n"
            "  /ip_port PORT, --ip-port PORT\n"
            "      Store the server port (0 is ignored) and lock it for this run.\n"
            "  /login_name NAME, --login-name NAME\n"
            "      Store the login name with the password below (empty without it)\n"
            "      and lock both for this run.\n"
            "  /login_password PASSWORD, --login-password PASSWORD\n"
            "      Password stored with /login_name. Other users can see command\n"
            "      lines until the program has read it; prefer the two below.\n"
            "  /login_password_file FILE, --login-password-file FILE,\n"
            "  --password-file FILE\n"
            "      Take that password from the first line of FILE.\n"
            "  /login_password_stdin, --login-password-stdin, --password-stdin\n"
            "      Take that password from the first line of standard input.\n"
            "  /login_password_stored, --login-password-stored\n"
            "      Without one of the three above, keep the stored password with\n"
            "      /login_name (an update restarts the console so).\n"
            "  --help, -h\n"
            "      Show this text and exit.\n"
            "  --version\n"
            "      Show the version and exit.\n"
            "\n"
            "Option names are not case-sensitive. The -- forms also accept\n"
            "--option=VALUE. Unknown options are skipped and named in one warning.\n"
            "Settings are kept per user in\n"
            "$XDG_CONFIG_HOME/Talbrook/SystemAdministration.conf (~/.config when\n"
            "XDG_CONFIG_HOME is not set); without either the program does not start.\n"
            "A stored password goes to the desktop keyring (Secret Service) when the\n"
            "session has one, otherwise into that file, which only you can read.\n"
            "Command files are read from \"Command Files\" beside the program when that\n"
            "folder exists, otherwise from $XDG_DATA_HOME/Talbrook/Command Files\n"
            "(~/.local/share/Talbrook/Command Files).\n";
    return text;
}

} // namespace mirx::shell
