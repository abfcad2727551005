// mirx-admin: the console window.
#include "commandfiles/answer_guard.h"
#include "commandfiles/command_files.h"
#include "core/debug_log.h"
#include "editors/editor_views.h"
#include "link/console_link.h"
#include "link/console_version.h"
#include "link/domain_login.h"
#include "link/installer_launcher.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "monitor/monitor_views.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"
#include "shell/keyring/keychain_secret_store.h"
#include "shell/main/application.h"
#include "shell/main/shell_views.h"
#include "shell/settings/command_line.h"
#include "shell/settings/qsettings_store.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <optional>
#include <unistd.h>

#include <QApplication>

int main(int argc, char** argv) {
    using namespace mirx;
    shell::StartupOptions options = shell::parseCommandLine(argc, argv);
    // Copied: no other local user needs to read it in our arguments.
    shell::eraseSecretArguments(options, argc, argv);
    if (options.help) {
        std::cout << shell::helpText("mirx-admin");
        return 0;
    }
    if (options.version) {
        std::cout << "mirx-admin " << link::consoleVersionText() << "\n";
        return 0;
    }
    // The debug channel stays out of the way of a desktop session's log:
    // everything with /Debug or on a terminal, otherwise warnings and errors.
    log::setStandardErrorLines(options.debug || ::isatty(STDERR_FILENO) != 0
                                   ? log::StandardErrorLines::All
                                   : log::StandardErrorLines::WarningsAndErrors);
    if (const std::string problem = shell::readStartupPassword(options, std::cin);
        !problem.empty()) {
        std::cerr << "mirx-admin: " << problem << "\n";
        return 2;
    }
    if (const std::string problem = shell::loginFieldProblem(options); !problem.empty()) {
        std::cerr << "mirx-admin: " << problem << "\n";
        return 2;
    }
    const std::filesystem::path settingsFile = shell::QSettingsStore::defaultFilePath();
    if (settingsFile.empty()) {
        std::cerr << "mirx-admin: " << shell::QSettingsStore::kNoSettingsFolderText << "\n";
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mirx-admin"));
    QApplication::setApplicationVersion(QString::fromLatin1(link::consoleVersionText()));
    QGuiApplication::setDesktopFileName(QStringLiteral("mirx-admin"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Read again once the toolkit took its own options (-platform, -style...)
    // out of the arguments, so only options nobody knows are named.
    for (const std::string& warning : shell::parseCommandLine(argc, argv).warnings) {
        std::cerr << "mirx-admin: " << warning << "\n";
    }

    shell::MessageBoxPrompter prompter;
    shell::KeychainSecretStore keyring;
    shell::QSettingsStore settings(options.profile, settingsFile);
    settings.useSecretStore(&keyring, [&prompter, &application](const std::string& notice) {
        log::print("WARNING: %s", notice.c_str());
        // The store says it once per settings file; the saving thread may be
        // the connection thread, so the box waits for the user-interface one.
        QMetaObject::invokeMethod(
            &application,
            [&prompter, text = QString::fromStdString(notice)] {
                prompter.tell(QApplication::activeWindow(), QStringLiteral("Remembered password"),
                              text, shell::PromptIcon::Information);
            },
            Qt::QueuedConnection);
    });
    if (!settings.refusal().empty()) {
        std::cerr << "mirx-admin: " << settings.refusal() << "\n";
        log::print("ERROR: %s", settings.refusal().c_str());
    }
    const shell::Locks locks = shell::applyStartupOptions(options, settings);
    if (options.debugLog) {
        if (const auto folder = log::logFolder(options.programDirectory)) {
            log::openLogFile(*folder);
        }
    }

    link::LinkServices services = link::programServices(settings, link::ownCommandLine(argc, argv));
    services.domainAccount = [&settings] {
        return link::CheckDomainAccount(link::readDomainSettings(settings));
    };
    link::ConsoleLink console(std::move(services));
    model::Mirror& mirror = console.mirror();
    link::ServerLink& serverLink = console.link();
    commandfiles::AnswerGuard answerGuard(mirror.membershipFlags());
    // Lives for the whole run; ended before the log file closes, which
    // takes its farewell lines.
    std::optional<commandfiles::CCommandFiles> commandFiles;
    commandFiles.emplace(commandfiles::commandFilesFolder(options.programDirectory),
                         commandfiles::CommandEnvironment{mirror, &serverLink.requestQueue()},
                         answerGuard, commandfiles::probeLink(serverLink),
                         commandfiles::SchedulerTiming{}, commandfiles::RanFiles::forCurrentUser());
    shell::ShellContext context{settings,
                                serverLink,
                                mirror,
                                prompter,
                                settings.currentProfile(),
                                options.debug,
                                locks,
                                options.programDirectory,
                                &answerGuard,
                                &*commandFiles};

    shell::ViewRegistry views;
    shell::registerShellViews(views);
    editors::registerEditorViews(views);
    monitor::registerMonitorViews(views);

    int exitCode = 0;
    {
        shell::CSystemAdministrationApp app(context, std::move(views));
        QObject::connect(&app, &shell::CSystemAdministrationApp::finished, &application,
                         [](shell::CSystemAdministrationApp::Outcome) { QApplication::exit(0); });
        app.start();
        exitCode = QApplication::exec();
    }
    context.commandFiles = nullptr;
    commandFiles.reset();
    if (options.debugLog) {
        log::closeLogFile();
    }
    return exitCode;
}
