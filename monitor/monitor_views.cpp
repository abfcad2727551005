#include "monitor/monitor_views.h"

#include "monitor/log_dialog.h"
#include "shell/main/view_registry.h"

namespace mirx::monitor {

void registerMonitorViews(shell::ViewRegistry& views) {
    // One line per view: views.add(shell::ViewKey::..., factory).
    views.add(shell::ViewKey::ActivityLog, [](shell::ShellContext& context, QWidget* parent) {
        return static_cast<QDialog*>(new CActivityLogDlg(context, parent));
    });
    views.add(shell::ViewKey::DebugLog, [](shell::ShellContext& context, QWidget* parent) {
        return static_cast<QDialog*>(new CDebugLogDlg(context, parent));
    });
}

} // namespace mirx::monitor
