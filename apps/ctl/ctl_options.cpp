#include "apps/ctl/ctl_options.h"

#include "apps/ctl/ctl_command_table.h"
#include "apps/ctl/ctl_log.h"
#include "apps/ctl/report_command.h"

#include <algorithm>
#include <charconv>
#include <vector>

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

namespace {

// "--watch belongs to the status command", "--folder and --once belong to
// ...", "--format belongs to the export, statistics and sip-registrations
// commands".
std::string belongsText(std::string_view option) {
    std::vector<const CtlCommand*> owners;
    for (const CtlCommand& command : ctlCommands()) {
        if (commandTakes(command, option)) {
            owners.push_back(&command);
        }
    }
    if (owners.size() > 1) {
        std::string names;
        for (std::size_t i = 0; i < owners.size(); ++i) {
            if (i > 0) {
                names += i + 1 == owners.size() ? " and " : ", ";
            }
            names += owners[i]->name;
        }
        return std::string(option) + " belongs to the " + names + " commands";
    }
    const CtlCommand& owner = *owners.front();
    std::string names;
    for (std::size_t i = 0; i < owner.options.size(); ++i) {
        if (i > 0) {
            names += i + 1 == owner.options.size() ? " and " : ", ";
        }
        names += owner.options[i];
    }
    return names + (owner.options.size() == 1 ? " belongs" : " belong") + " to the " +
           std::string(owner.name) + " command";
}

// Appends `text` cut into lines of at most `width` characters, each indented.
void wrapInto(std::string& out, std::string_view text, std::size_t indent, std::size_t width) {
    std::size_t column = indent;
    out.append(indent, ' ');
    while (!text.empty()) {
        const std::size_t blank = text.find(' ');
        const std::string_view word = text.substr(0, blank);
        if (column > indent && column + 1 + word.size() > width) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
        } else if (column > indent) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        text = blank == std::string_view::npos ? std::string_view{} : text.substr(blank + 1);
    }
    out += '\n';
}

} // namespace

std::string parseCtlOptions(std::span<const std::string> args, CtlOptions& options) {
    std::vector<std::string_view> commandOptions;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (ownerOfOption(arg) != nullptr) {
            commandOptions.push_back(arg);
        }
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
        } else if (arg == "--memberships") {
            options.memberships = true;
        } else if (arg == "--once") {
            options.once = true;
        } else if (arg == "--follow") {
            options.follow = true;
        } else if (arg == "--config") {
            if (!value(v)) {
                return arg + " needs a value";
            }
            options.config = v;
        } else if (arg == "--text") {
            if (!value(v)) {
                return arg + " needs a value";
            }
            options.textFile = v;
        } else if (arg == "--pdf") {
            if (!value(v)) {
                return arg + " needs a value";
            }
            options.pdfFile = v;
        } else if (arg == "--folder") {
            if (!value(v)) {
                return arg + " needs a value";
            }
            options.folder = v;
        } else if (arg == "--format") {
            if (!value(v)) {
                return arg + " needs a value";
            }
            options.format = v;
        } else if (arg == "--unused") {
            options.unused = true;
        } else if (arg == "--all") {
            options.all = true;
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
        } else if (const CtlCommand* command = findCtlCommand(options.command);
                   command != nullptr && command->takesFiles) {
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
    const CtlCommand* command = findCtlCommand(options.command);
    if (command == nullptr) {
        return "unknown command " + options.command;
    }
    for (std::string_view option : commandOptions) {
        if (!commandTakes(*command, option)) {
            return belongsText(option);
        }
    }
    if (!options.format.empty()) {
        const auto formats = command->name == "export"
                                 ? std::vector<std::string_view>{"json"}
                                 : std::vector<std::string_view>{"table", "csv", "json"};
        if (std::find(formats.begin(), formats.end(), options.format) == formats.end()) {
            std::string known;
            for (std::string_view f : formats) {
                known += (known.empty() ? "" : ", ") + std::string(f);
            }
            return options.command + " --format knows " + known;
        }
    }
    if (command->runLoggedIn == &logCommand &&
        (options.files.size() != 1 || !isServerLogName(options.files.front()))) {
        return "log takes one of activity and debug";
    }
    if (command->runLoggedIn == &reportCommand &&
        (options.files.size() != 1 || !reportKindNamed(options.files.front()))) {
        return "report takes one of connection-status, party-lines and selectors";
    }
    if (command->takesFiles && options.files.empty()) {
        return options.command + " needs at least one command file";
    }
    return {};
}

std::string ctlUsage() {
    std::string text = "usage: mirx-ctl [OPTIONS] COMMAND\n\nCommands:\n";
    for (const CtlCommand& command : ctlCommands()) {
        text += "  ";
        text += command.name;
        if (!command.synopsis.empty()) {
            text += ' ';
            text += command.synopsis;
        }
        text += '\n';
        wrapInto(text, command.description, 21, 78);
    }
    text += "\n"
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
            "Without a password option the profile's stored password is used: from\n"
            "the desktop keyring (Secret Service) when it is kept there, else from\n"
            "the settings file.\n"
            "Exit status: see docs/mirx-ctl.md.\n";
    return text;
}

} // namespace mirx::ctl
