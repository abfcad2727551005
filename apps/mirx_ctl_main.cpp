// mirx-ctl: the console's link without a display, for automation.
#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "link/console_version.h"
#include "link/installer_launcher.h"
#include "shell/keyring/keychain_secret_store.h"
#include "shell/settings/qsettings_store.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>

#include <QCoreApplication>

#ifdef MIRX_CTL_PRINTING
#include "monitor/report_printer.h"

#include <QGuiApplication>
#endif

namespace {

std::atomic<bool> g_stop{false};
std::atomic<int> g_signal{0};

// Every wait of the run looks at g_stop often; a second signal of the same
// kind ends the program at once, as the default action does.
void onSignal(int signal) {
    g_signal.store(signal);
    g_stop.store(true);
    std::signal(signal, SIG_DFL);
}

void catchSignal(int signal) {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocking read returns at once
    sigaction(signal, &action, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    using namespace mirx;
    std::vector<std::string> args(argv + 1, argv + argc);
    ctl::CtlOptions options;
    const std::string problem = ctl::parseCtlOptions(args, options);
    if (!problem.empty()) {
        std::cerr << "mirx-ctl: " << problem << "\n\n" << ctl::ctlUsage();
        return ctl::kExitUsage;
    }
    if (options.help) {
        std::cout << ctl::ctlUsage();
        return ctl::kExitOk;
    }
    if (options.version) {
        std::cout << "mirx-ctl " << link::consoleVersionText() << "\n";
        return ctl::kExitOk;
    }
    catchSignal(SIGINT);
    catchSignal(SIGTERM);
    std::signal(SIGPIPE, SIG_IGN);
    const std::filesystem::path settingsFile = shell::QSettingsStore::defaultFilePath();
    if (settingsFile.empty()) {
        std::cerr << "mirx-ctl: " << shell::QSettingsStore::kNoSettingsFolderText << "\n";
        return ctl::kExitUsage;
    }
    // The keyring's jobs run in a Qt event loop, which wants the application;
    // printing a PDF wants fonts, which want the GUI application, on a
    // platform that needs no display.
    std::unique_ptr<QCoreApplication> application;
#ifdef MIRX_CTL_PRINTING
    if (options.pdfFile) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
        options.pdfPrinter = &monitor::printReportPdf;
    }
#endif
    if (!application) {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    shell::KeychainSecretStore keyring;
    shell::QSettingsStore profile(options.profile, settingsFile);
    profile.useSecretStore(
        &keyring, [](const std::string& notice) { std::cerr << "mirx-ctl: " << notice << "\n"; });
    if (options.serverHost) {
        profile.setRunServer(*options.serverHost);
    }
    if (!profile.refusal().empty() && options.command != "check") {
        // Going on would run without the stored server, name and password,
        // and fail for a reason that is not the real one.
        std::cerr << "mirx-ctl: " << profile.refusal() << "\n";
        return ctl::kExitSettingsRefused;
    }
    const int status = ctl::runCtl(options, profile, {std::cout, std::cerr, std::cin}, g_stop,
                                   link::ownCommandLine(argc, argv),
                                   [&profile] { return profile.passwordProblem(); });
    if (const int signal = g_signal.load(); signal != 0) {
        // Cleaned up; now end the way the signal would have, so the shell
        // sees 128 + its number.
        std::cout.flush();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    return status;
}
