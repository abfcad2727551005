#include "link/console_link.h"

#include "link/console_version.h"
#include "link/installer_launcher.h"

namespace mirx::link {

ConsoleLink::ConsoleLink(LinkServices services) {
    services.model = &dispatch_;
    link_ = std::make_unique<ServerLink>(std::move(services));
}

ConsoleLink::~ConsoleLink() = default;

LinkServices programServices(SettingsStore& settings, std::vector<std::string> ownCommandLine) {
    LinkServices services;
    services.settings = &settings;
    services.tempRoot = temporaryRoot();
    services.consoleVersion = consoleVersion().pack();
    services.relaunchArguments = std::move(ownCommandLine);
    return services;
}

} // namespace mirx::link
