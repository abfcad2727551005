#include "apps/ctl/ctl_commands.h"

#include "apps/ctl/check_command_files.h"
#include "apps/ctl/ctl_log.h"
#include "apps/ctl/export_site.h"
#include "apps/ctl/monitor_commands.h"
#include "apps/ctl/report_command.h"
#include "apps/ctl/run_command_files.h"
#include "core/debug_log.h"
#include "link/app_version.h"
#include "link/console_link.h"
#include "link/console_version.h"
#include "link/domain_login.h"
#include "link/installer_launcher.h"
#include "link/login_records.h"
#include "link/server_connection_handler.h"
#include "link/server_link.h"
#include "model/system_status.h"
#include "reports/status_text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>

namespace mirx::ctl {
namespace {

using namespace std::chrono_literals;

struct FailureExit {
    std::string_view text;
    int code;
};

constexpr FailureExit kFailureExits[] = {
    {"Local IP address invalid!", kExitNoLocalAddress},
    {"Ondrel Host Name could not be resolved!", kExitUnresolvable},
    {"Unable to connect to Ondrel!", kExitUnreachable},
    {link::kIncompatibleText, kExitIncompatible},
    {link::kServerSilentText, kExitServerSilent},
    {link::kNoIdentificationAnswerText, kExitNoAnswer},
    {link::kCheckEndedText, kExitConnectionLost},
    {link::kNoLoginAnswerText, kExitNoAnswer},
    {link::kUpdateStalledText, kExitUpdateFailed},
    {link::kConnectionEndedText, kExitConnectionLost},
    {link::kInterruptedText, kExitInterrupted},
    {"Failed to validate the login using Domain Authentication!", kExitDomainCheck},
    {link::rejectionText(1), kExitBadCredentials},
    {link::rejectionText(2), kExitAlreadyLoggedOn},
    {link::rejectionText(4), kExitPrivilegeDisabled},
    {link::rejectionText(5), kExitControlPanelOnly},
    {link::rejectionText(6), kExitNoAdministration},
};

class SilentSink final : public log::LineSink {
public:
    void write(std::string_view) override {}
};

std::string firstLine(std::istream& in) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::string versionText(std::uint32_t packed) {
    const link::AppVersion v = link::unpack(packed);
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d build %d", v.major, v.minor, v.revision, v.build);
    const std::string_view platform = link::platformName(v.platform);
    return platform.empty() ? text : std::string(text) + " (" + std::string(platform) + ")";
}

void printStatus(std::ostream& out, const model::SystemStatus& s, link::TrunkingMode mode) {
    using model::SystemStatus;
    const std::int64_t up = s.get(SystemStatus::kUpTimeSeconds);
    std::string failover = reports::failoverField(s.get(SystemStatus::kFailoverState)).field.text;
    for (char& c : failover) {
        if (c == '\n') {
            c = '/';
        }
    }
    out << "up time:            " << reports::upTimeField(up).text << " (" << up << " s)\n"
        << "active connections: " << s.get(SystemStatus::kActiveConnections) << "\n"
        << "audio inputs:       " << s.get(SystemStatus::kActiveAudioInputs) << "\n"
        << "audio outputs:      " << s.get(SystemStatus::kActiveAudioOutputs) << "\n"
        << "processor:          "
        << reports::processorField(s.get(SystemStatus::kProcessorPercent),
                                   s.get(SystemStatus::kSecondProcessorPercent))
               .text
        << "\n"
        << "failover:           " << failover << "\n";
    if (mode != link::TrunkingMode::None) {
        const auto t = reports::trunkingFields(
            mode == link::TrunkingMode::Rts ? reports::Trunking::Rts : reports::Trunking::Delec, s);
        out << "trunking:           " << t.status.text;
        if (t.activeTrunks) {
            out << ", " << t.activeTrunks->text << " active";
        }
        out << "\n";
    }
    out.flush();
}

int checkCommand(const CtlOptions& options, CtlStreams streams) {
    return checkCommandFiles({options.files, options.config}, streams);
}

int loginCheckCommand(CtlSession& s) {
    link::ServerLink& link = s.link;
    s.streams.out << "server version:  " << versionText(link.handler().Update().ServerVersion())
                  << "\n"
                  << "privilege level: " << int(link.privilegeLevel())
                  << (link.fullAdministrator() ? " (full administrator)" : " (standard)") << "\n"
                  << "trunking mode:   " << link::trunkingModeName(link.trunkingMode()) << "\n";
    link.StopLink();
    return kExitOk;
}

int exportCommand(CtlSession& s) {
    ExportOptions exportOptions;
    exportOptions.includePasswords = s.options.includePasswords;
    exportOptions.memberships = s.options.memberships;
    std::string error;
    const auto site = fetchSite(s.link, s.mirror, exportOptions, s.stop, error);
    s.link.StopLink();
    if (s.stop.load()) {
        return kExitInterrupted;
    }
    if (!site) {
        s.streams.err << "mirx-ctl: " << error << "\n";
        return kExitConnectionLost;
    }
    writeExport(*site, s.streams.out, exportOptions.memberships);
    s.streams.out.flush();
    return kExitOk;
}

int runCommandFilesCommand(CtlSession& s) {
    RunCommandFilesOptions run;
    run.folder = s.options.folder ? std::filesystem::path(*s.options.folder)
                                  : defaultCommandFilesFolder(s.link.services().relaunchArguments);
    run.once = s.options.once;
    return runCommandFiles(s.link, s.mirror, run, s.streams, s.stop, s.reconnect);
}

int statusCommand(CtlSession& s) {
    link::ServerLink& link = s.link;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    bool first = true;
    std::uint64_t seen = link.ChangeCount();
    for (;;) {
        if (link.takeStatusChanged()) {
            if (!first) {
                s.streams.out << "\n";
            }
            printStatus(s.streams.out, link.status(), link.trunkingMode());
            if (!s.options.watch) {
                link.StopLink();
                return kExitOk;
            }
            first = false;
        }
        if (s.stop.load()) {
            link.StopLink();
            return s.options.watch && !first ? kExitOk : kExitInterrupted;
        }
        if (!link.connected()) {
            s.streams.err << "mirx-ctl: the connection to the server was lost\n";
            link.StopLink();
            return kExitConnectionLost;
        }
        if (first && std::chrono::steady_clock::now() > deadline) {
            s.streams.err << "mirx-ctl: the server sent no status\n";
            link.StopLink();
            return kExitConnectionLost;
        }
        // Each status arrives with a NotifyChange, as does the connection's end.
        link.WaitForChange(seen, link::ServerLink::kAbortCheckMs);
    }
}

constexpr std::array<std::string_view, 0> kNoOptions{};
constexpr std::array<std::string_view, 1> kStatusOptions{"--watch"};
constexpr std::array<std::string_view, 3> kExportOptions{"--format", "--include-passwords",
                                                         "--memberships"};
constexpr std::array<std::string_view, 2> kRunOptions{"--folder", "--once"};
constexpr std::array<std::string_view, 1> kCheckOptions{"--config"};
constexpr std::array<std::string_view, 2> kStatisticsOptions{"--format", "--unused"};
constexpr std::array<std::string_view, 2> kSipOptions{"--format", "--all"};
constexpr std::array<std::string_view, 1> kLogOptions{"--follow"};
constexpr std::array<std::string_view, 2> kReportOptions{"--text", "--pdf"};

const std::array kCommands{
    CtlCommand{"login-check", "",
               "log in, print the server version, privilege level and trunking mode, log out", true,
               kNoOptions, false, nullptr, &loginCheckCommand},
    CtlCommand{"status", "[--watch]", "print the server status once, or every second", true,
               kStatusOptions, false, nullptr, &statusCommand},
    CtlCommand{"export", "[--format json] [--include-passwords] [--memberships]",
               "write the mirrored configuration as JSON to standard output (passwords left "
               "empty unless asked for; --memberships adds party line and fixed group "
               "membership and blocked and forced listens)",
               true, kExportOptions, false, nullptr, &exportCommand},
    CtlCommand{"run-command-files", "[--folder DIR] [--once]",
               "run the command files of DIR (default: \"Command Files\" beside the program "
               "when it exists, else in $XDG_DATA_HOME/Talbrook, ~/.local/share/Talbrook) as the "
               "console does; --once runs what is due now and ends",
               true, kRunOptions, false, nullptr, &runCommandFilesCommand},
    CtlCommand{"statistics", "[--format table|csv|json] [--unused]",
               "print the client statistics list (two samples a second apart, so the rates and "
               "the per-second loss are filled); --unused adds the clients never seen",
               true, kStatisticsOptions, false, nullptr, &statisticsCommand},
    CtlCommand{"sip-registrations", "[--format table|csv|json] [--all]",
               "print the SIP registrations the server holds, without those whose contact is "
               "the server itself unless --all",
               true, kSipOptions, false, nullptr, &sipRegistrationsCommand},
    CtlCommand{"check", "FILE... [--config site.json]",
               "check command files without a server: each problem as FILE:LINE: message, then "
               "what each valid file would do; login names resolve against an exported site",
               false, kCheckOptions, true, &checkCommand, nullptr},
    CtlCommand{"log", "activity|debug [--follow]",
               "print the server's activity or debug log, oldest line first; --follow then "
               "prints new lines as they come until interrupted",
               true, kLogOptions, true, nullptr, &logCommand},
    CtlCommand{"report", "connection-status|party-lines|selectors [--text FILE] [--pdf FILE]",
               "print the connection status, party line membership or selector assignments "
               "report of the report views; --text FILE saves it as the views do (UTF-16 with "
               "CR LF) instead, --pdf FILE prints it to a PDF file as the views do (either or "
               "both)",
               true, kReportOptions, true, nullptr, &reportCommand},
};

} // namespace

const CtlCommand* findCtlCommand(std::string_view name) {
    for (const CtlCommand& command : kCommands) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

const CtlCommand* ownerOfOption(std::string_view option) {
    for (const CtlCommand& command : kCommands) {
        for (std::string_view own : command.options) {
            if (own == option) {
                return &command;
            }
        }
    }
    return nullptr;
}

bool commandTakes(const CtlCommand& command, std::string_view option) {
    return std::find(command.options.begin(), command.options.end(), option) !=
           command.options.end();
}

std::span<const CtlCommand> ctlCommands() {
    return kCommands;
}

int exitCodeFor(const std::string& errorText) {
    for (const FailureExit& f : kFailureExits) {
        if (errorText == f.text) {
            return f.code;
        }
    }
    return kExitRejected;
}

void OverlaySettingsStore::override(std::string name, link::StoredValue value) {
    overrides_[std::move(name)] = std::move(value);
}

std::optional<link::StoredValue> OverlaySettingsStore::load(std::string_view name) {
    if (const auto it = overrides_.find(name); it != overrides_.end()) {
        return it->second;
    }
    if (auto text = below_.readString(name, 1024)) {
        return link::StoredValue(std::move(*text));
    }
    if (auto number = below_.readNumber(name)) {
        return link::StoredValue(*number);
    }
    return std::nullopt;
}

bool OverlaySettingsStore::save(std::string_view name, const link::StoredValue& value) {
    if (const auto it = overrides_.find(name); it != overrides_.end()) {
        it->second = value;
        return true;
    }
    if (keepWrites_ && name != passThrough_) {
        overrides_.emplace(std::string(name), value);
        return true;
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return below_.writeString(name, *text);
    }
    if (const auto* number = std::get_if<std::uint32_t>(&value)) {
        return below_.writeNumber(name, *number);
    }
    return false;
}

int runCtl(const CtlOptions& options, link::SettingsStore& profile, CtlStreams streams,
           const std::atomic<bool>& stop, std::vector<std::string> ownCommandLine,
           const std::function<std::string()>& storedPasswordProblem) {
    SilentSink silent;
    if (!options.verbose) {
        log::setDebuggerSink(&silent);
    }
    struct RestoreSink {
        ~RestoreSink() { log::setDebuggerSink(nullptr); }
    } restore;

    const CtlCommand* command = findCtlCommand(options.command);
    if (command == nullptr) {
        streams.err << "mirx-ctl: unknown command " << options.command << "\n";
        return kExitUsage;
    }
    if (!command->needsLogin) {
        return command->runOffline(options, streams);
    }
    if (options.pdfFile && !options.pdfPrinter) {
        // Known before the login, so nothing is gathered in vain.
        streams.err << "mirx-ctl: --pdf needs a mirx-ctl built with Qt's GUI modules\n";
        return kExitUsage;
    }

    OverlaySettingsStore store(profile);
    if (options.serverHost) {
        store.override(std::string(link::kServerIPAddress.name), *options.serverHost);
    }
    if (options.serverPort) {
        store.override(std::string(link::kDataIpPort.name), std::uint32_t{*options.serverPort});
    }
    if (options.serverHost && !options.profile) {
        // A server for this run leaves the stored profile as it is: the
        // login's name, password, local address and secondary server are
        // not this profile's. Only a password asked to be saved goes in.
        store.keepWritesInRun(options.savePassword ? std::string(link::kPassword.name)
                                                   : std::string());
    }

    std::string user = options.user.value_or(link::readUserName(store));
    std::string password;
    if (options.passwordFile) {
        std::ifstream file(*options.passwordFile);
        if (!file) {
            streams.err << "mirx-ctl: cannot read the password file " << *options.passwordFile
                        << "\n";
            return kExitNoPassword;
        }
        password = firstLine(file);
    } else if (options.passwordStdin) {
        password = firstLine(streams.in);
    } else {
        password = link::readPassword(store);
        const std::string problem =
            password.empty() && storedPasswordProblem ? storedPasswordProblem() : std::string();
        if (!problem.empty()) {
            streams.err << "mirx-ctl: " << problem
                        << ".\nGive the password with --password-file FILE or --password-stdin.\n";
            return kExitNoPassword;
        }
    }
    if ((options.passwordFile || options.passwordStdin) && !options.savePassword) {
        // The login stores the password it used; this one stays in the run.
        store.override(std::string(link::kPassword.name), password);
    }

    if (stop.load()) {
        return kExitInterrupted;
    }
    if (link::readDomainAuthentication(store)) {
        const auto check = link::CheckDomainAccount(link::readDomainSettings(store));
        if (!check.account) {
            streams.err << "Failed to validate the login using Domain Authentication!\n"
                        << check.refusal << "\n";
            return kExitDomainCheck;
        }
        user = *check.account;
        password = *check.account;
    }
    if (user.empty()) {
        streams.err << "Login Name required.\n";
        return kExitUsage;
    }

    link::LinkServices services = link::programServices(store, std::move(ownCommandLine));
    // Why --accept-update did not end in a started installer.
    std::string updateProblem;
    link::ServerLink* linkPointer = nullptr;
    services.runUpdate = [&](link::CServerConnectionUpdateSubHandler& update) {
        if (!options.acceptUpdate) {
            streams.err << "mirx-ctl: the server offers version "
                        << versionText(update.NewVersion())
                        << "; declined (use --accept-update to install it)\n";
            update.Decline();
            return false;
        }
        if (!update.StartDownload()) {
            updateProblem = "the server no longer offers the update";
            return false;
        }
        link::ServerLink& link = *linkPointer;
        std::uint64_t seen = link.ChangeCount();
        std::uint32_t shown = 0;
        // Each arrival, the connection's end and every failure wake this.
        while (!update.DownloadFinished() && !stop.load() && link.connected()) {
            const std::uint32_t blocks = update.BlocksReceived();
            if (blocks != shown) {
                shown = blocks;
                streams.err << "downloading " << update.FileName() << ": block " << blocks << " of "
                            << update.TotalBlocks() << "\n";
            }
            link.WaitForChange(seen, link::ServerLink::kAbortCheckMs);
        }
        if (!update.DownloadFinished()) {
            update.Cancel();
            // A failure that came with the connection's end has its own text.
            updateProblem = stop.load()                         ? link::kInterruptedText
                            : !update.DownloadProblem().empty() ? update.DownloadProblem()
                            : link.errorText().empty()
                                ? "the connection to the server ended during the download"
                                : link.errorText();
            return false;
        }
        updateProblem = update.DownloadProblem();
        return update.DownloadSucceeded();
    };

    link::ConsoleLink console(std::move(services));
    link::ServerLink& link = console.link();
    model::Mirror& mirror = console.mirror();
    linkPointer = &link;
    link.SetAbortFlag(&stop);
    const bool loggedIn = link.Connect(user, password);
    if (link.handler().Update().InstallerStarted()) {
        streams.out << "update downloaded and its installer started\n";
        return kExitUpdateInstalled;
    }
    if (!updateProblem.empty() && !stop.load()) {
        // Asked for the update and did not get it: no command runs instead.
        streams.err << "mirx-ctl: " << updateProblem << "\n";
        link.StopLink();
        return kExitUpdateFailed;
    }
    if (!loggedIn) {
        streams.err << link.errorText() << "\n";
        return exitCodeFor(link.errorText());
    }

    CtlSession session{options, streams, stop, link, mirror, [&link, &user, &password] {
                           return link.Connect(user, password);
                       }};
    return command->runLoggedIn(session);
}

} // namespace mirx::ctl
