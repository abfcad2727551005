#include "shell/settings/command_line.h"

#include "core/utf16.h"
#include "link/settings_store.h"

#include <algorithm>
#include <array>
#include <cstdint>
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
    OptionSpelling{"/login_password", Option::LoginPassword, true},
    OptionSpelling{"--login-password", Option::LoginPassword, true},
    OptionSpelling{"--help", Option::Help, false},
    OptionSpelling{"-h", Option::Help, false},
    OptionSpelling{"--version", Option::Version, false},
};

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

const OptionSpelling* findOption(std::string_view name) {
    const auto it = std::find_if(kOptions.begin(), kOptions.end(), [&](const OptionSpelling& o) {
        return equalsIgnoringCase(o.name, name);
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
        options.loginName = nonEmpty(value, kLoginFieldMaxChars);
        break;
    case Option::LoginPassword:
        options.loginPassword = cut(value, kLoginFieldMaxChars);
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
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        relaunch += ' ';
        relaunch += arguments[i];
    }
    options.relaunchCommandLine = cut(relaunch, kRelaunchCommandLineMaxChars);

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
            continue;
        }
        if (!spelling->takesValue) {
            apply(options, spelling->option, {});
        } else if (inlineValue) {
            apply(options, spelling->option, *inlineValue);
        } else if (i + 1 < arguments.size()) {
            apply(options, spelling->option, arguments[++i]);
        } else {
            options.warnings.push_back("WARNING: Option " + std::string(name) +
                                       " needs a value; ignored.");
        }
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

Locks applyStartupOptions(const StartupOptions& options, link::SettingsStore& store) {
    Locks locks;
    if (options.loginName) {
        store.writeString(link::kUserName.name, *options.loginName);
        store.writeString(link::kPassword.name, options.loginPassword.value_or(std::string()));
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
            "      Show the debug-only controls.\n"
            "  /DebugLog, --debug-log\n"
            "      Write the debug log to a file in the program's folder.\n"
            "  /ip_address ADDRESS, --ip-address ADDRESS\n"
            "      Store the server address or host name and lock it for this run.\n"
            "  /ip_port PORT, --ip-port PORT\n"
            "      Store the server port (0 is ignored) and lock it for this run.\n"
            "  /login_name NAME, --login-name NAME\n"
            "      Store the login name with the password below (empty without it)\n"
            "      and lock both for this run.\n"
            "  /login_password PASSWORD, --login-password PASSWORD\n"
            "      Password stored with /login_name. Other users can see command\n"
            "      lines; prefer typing it in the login view.\n"
            "  --help, -h\n"
            "      Show this text and exit.\n"
            "  --version\n"
            "      Show the version and exit.\n"
            "\n"
            "Option names are not case-sensitive. The -- forms also accept\n"
            "--option=VALUE. Settings are kept per user in\n"
            "$XDG_CONFIG_HOME/Talbrook/SystemAdministration.conf.\n";
    return text;
}

} // namespace mirx::shell
