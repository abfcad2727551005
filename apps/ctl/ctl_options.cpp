#include "apps/ctl/ctl_options.h"

#include <charconv>

namespace mirx::ctl {

std::optional<std::pair<std::string, std::optional<std::uint16_t>>>
splitServer(std::string_view text) {
    const auto colon = text.rfind(':');
    if (text.empty() || colon == 0) {
        return std::nullopt;
    }
    if (colon == std::string_view::npos) {
        return std::pair{std::string(text), std::optional<std::uint16_t>{}};
    }
    const std::string_view digits = text.substr(colon + 1);
    unsigned port = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535) {
        return std::nullopt;
    }
    return std::pair{std::string(text.substr(0, colon)),
                     std::optional<std::uint16_t>{static_cast<std::uint16_t>(port)}};
}

std::string parseCtlOptions(std::span<const std::string> args, CtlOptions& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) -> bool {
            if (i + 1 >= args.size()) {
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
        } else if (arg == "--accept-update") {
            options.acceptUpdate = true;
        } else if (arg == "--password-stdin") {
            options.passwordStdin = true;
        } else if (arg == "--save-password") {
            options.savePassword = true;
        } else if (arg == "--watch") {
            options.watch = true;
        } else if (arg == "--include-passwords") {
            options.includePasswords = true;
        } else if (arg == "--once") {
            options.once = true;
        } else if (arg == "--config") {
            if (!value(v)) {
                return arg + " needs a value";
            }
            options.config = v;
        } else if (arg == "--folder") {
            if (!value(v)) {
                return arg + " needs a value";
            }
            options.folder = v;
        } else if (arg == "--format") {
            if (!value(v)) {
                return arg + " needs a value";
            }
            if (v != "json") {
                return "--format knows only json";
            }
        } else if (arg == "--profile" || arg == "--user" || arg == "--password-file" ||
                   arg == "--server") {
            if (!value(v)) {
                return arg + " needs a value";
            }
            if (arg == "--profile") {
                options.profile = v;
            } else if (arg == "--user") {
                options.user = v;
            } else if (arg == "--password-file") {
                options.passwordFile = v;
            } else {
                const auto server = splitServer(v);
                if (!server) {
                    return "--server wants HOST or HOST:PORT with a port from 1 to 65535";
                }
                options.serverHost = server->first;
                options.serverPort = server->second;
            }
        } else if (arg == "--password") {
            return "passwords are not taken from the command line: use --password-file or "
                   "--password-stdin";
        } else if (!arg.empty() && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (options.command.empty()) {
            options.command = arg;
        } else if (options.command == "check") {
            options.files.push_back(arg);
        } else {
            return "unexpected argument " + arg;
        }
    }
    if (options.passwordStdin && options.passwordFile) {
        return "--password-file and --password-stdin exclude each other";
    }
    if (options.savePassword && !options.passwordStdin && !options.passwordFile) {
        return "--save-password needs --password-file or --password-stdin";
    }
    if (options.help || options.version) {
        return {};
    }
    if (options.command.empty()) {
        return "no command given";
    }
    if (options.command != "login-check" && options.command != "status" &&
        options.command != "export" && options.command != "run-command-files" &&
        options.command != "check") {
        return "unknown command " + options.command;
    }
    if (options.includePasswords && options.command != "export") {
        return "--include-passwords belongs to the export command";
    }
    if (options.watch && options.command != "status") {
        return "--watch belongs to the status command";
    }
    if ((options.folder || options.once) && options.command != "run-command-files") {
        return "--folder and --once belong to the run-command-files command";
    }
    if (options.config && options.command != "check") {
        return "--config belongs to the check command";
    }
    if (options.command == "check" && options.files.empty()) {
        return "check needs at least one command file";
    }
    return {};
}

std::string ctlUsage() {
    return "usage: mirx-ctl [OPTIONS] COMMAND\n"
           "\n"
           "Commands:\n"
           "  login-check        log in, print the server version, privilege level and\n"
           "                     trunking mode, log out\n"
           "  status [--watch]   print the server status once, or every second\n"
           "  export [--format json] [--include-passwords]\n"
           "                     write the mirrored configuration as JSON to standard\n"
           "                     output (passwords left empty unless asked for)\n"
           "  run-command-files [--folder DIR] [--once]\n"
           "                     run the command files of DIR (default: \"Command Files\"\n"
           "                     beside the program when it exists, else in\n"
           "                     $XDG_DATA_HOME/Talbrook, ~/.local/share/Talbrook)\n"
           "                     as the console does; --once runs\n"
           "                     what is due now and ends\n"
           "  check FILE... [--config site.json]\n"
           "                     check command files without a server: each problem as\n"
           "                     FILE:LINE: message, then what each valid file would do;\n"
           "                     login names resolve against an exported site\n"
           "\n"
           "Options:\n"
           "  --profile NAME          settings profile (default: the stored one)\n"
           "  --server HOST[:PORT]    server for this run only; without --profile\n"
           "                          nothing is stored in the profile\n"
           "  --user NAME             login name (default: the profile's)\n"
           "  --password-file FILE    read the password from the first line of FILE\n"
           "  --password-stdin        read the password from the first line of stdin\n"
           "  --save-password         store that password in the profile after the\n"
           "                          login (not done otherwise)\n"
           "  --accept-update         download and start an update the server offers\n"
           "  -v, --verbose           show the debug log on standard error\n"
           "  --help, --version\n"
           "\n"
           "Without a password option the profile's stored password is used.\n"
           "Exit status: see docs/mirx-ctl.md.\n";
}

} // namespace mirx::ctl
