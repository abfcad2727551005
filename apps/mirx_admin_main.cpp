// mirx-admin: the console window.
#include "commandfiles/answer_guard.h"
#include "commandfiles/command_files.h"
#include "core/debug_log.h"
#include "link/console_version.h"
#include "link/domain_login.h"
#include "link/installer_launcher.h"
#include "link/mirror_dispatch.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "shell/commandfiles/command_files_dialog.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"
#include "shell/main/application.h"
#include "shell/settings/command_line.h"
#include "shell/settings/qsettings_store.h"

#include <csignal>
#include <iostream>
#include <optional>

#include <QApplication>

int main(int argc, char** argv) {
    using namespace mirx;
    const shell::StartupOptions options = shell::parseCommandLine(argc, argv);
    if (options.help) {
        std::cout << shell::helpText("mirx-admin");
        return 0;
    }
    if (options.version) {
        std::cout << "mirx-admin " << link::consoleVersionText() << "\n";
        return 0;
    }
    for (const std::string& warning : options.warnings) {
        std::cerr << "mirx-admin: " << warning << "\n";
    }
    std::signal(SIGPIPE, SIG_IGN);

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mirx-admin"));
    QApplication::setApplicationVersion(QString::fromLatin1(link::consoleVersionText()));
    QGuiApplication::setDesktopFileName(QStringLiteral("mirx-admin"));
    QApplication::setQuitOnLastWindowClosed(false);

    shell::QSettingsStore settings(options.profile);
    if (!settings.refusal().empty()) {
        std::cerr << "mirx-admin: " << settings.refusal() << "\n";
        log::print("ERROR: %s", settings.refusal().c_str());
    }
    const shell::Locks locks = shell::applyStartupOptions(options, settings);
    if (options.debugLog) {
        log::openLogFile(options.programDirectory);
    }

    model::Mirror mirror;
    link::MirrorDispatch dispatch(mirror);
    link::LinkServices services;
    services.settings = &settings;
    services.model = &dispatch;
    services.tempRoot = link::temporaryRoot();
    services.consoleVersion = link::consoleVersion().pack();
    services.relaunchArguments = link::ownCommandLine(argc, argv);
    services.domainAccount = [&settings] {
        return link::CheckDomainAccount(link::readDomainSettings(settings));
    };
    link::ServerLink serverLink(services);
    shell::MessageBoxPrompter prompter;
    commandfiles::AnswerGuard answerGuard(mirror.membershipFlags());
    // Lives for the whole run; ended before the log file closes, which
    // takes its farewell lines.
    std::optional<commandfiles::CCommandFiles> commandFiles;
    commandFiles.emplace(commandfiles::commandFilesFolder(options.programDirectory),
                         commandfiles::CommandEnvironment{mirror, &serverLink.requestQueue()},
                         answerGuard, commandfiles::probeLink(serverLink));
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
    views.add(shell::ViewKey::CommandFiles,
              [&commandFiles](shell::ShellContext& viewContext, QWidget* parent) -> QDialog* {
                  return new shell::CCommandFilesDlg(viewContext, *commandFiles, parent);
              });

    int exitCode = 0;
    {
        shell::CSystemAdministrationApp app(context, std::move(views));
        QObject::connect(
            &app, &shell::CSystemAdministrationApp::finished, &application,
            [&exitCode](shell::CSystemAdministrationApp::Outcome) { QApplication::exit(0); });
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
