#include "monitor/monitor_views.h"

#include "shell/main/view_registry.h"

namespace mirx::monitor {

void registerMonitorViews(shell::ViewRegistry& views) {
    // One line per view: views.add(shell::ViewKey::..., factory).
    static_cast<void>(views);
}

} // namespace mirx::monitor
