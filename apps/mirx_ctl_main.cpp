// mirx-ctl: the console's link without a display, for automation.
#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "link/console_version.h"
#include "link/installer_launcher.h"
#include "shell/settings/qsettings_store.h"

#include <csignal>
#include <filesystem>
#include <iostream>

namespace {

std::atomic<bool> g_stop{false};

void onSignal(int) { g_stop.store(true); }

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
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    const std::filesystem::path settingsFile = shell::QSettingsStore::defaultFilePath();
    if (settingsFile.empty()) {
        std::cerr << "mirx-ctl: " << shell::QSettingsStore::kNoSettingsFolderText << "\n";
        return ctl::kExitUsage;
    }
    shell::QSettingsStore profile(options.profile, settingsFile);
    return ctl::runCtl(options, profile, {std::cout, std::cerr, std::cin}, g_stop,
                       link::ownCommandLine(argc, argv));
}
