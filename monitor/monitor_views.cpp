#include "monitor/monitor_views.h"

#include "monitor/client_statistics_dialog.h"
#include "monitor/log_dialog.h"
#include "monitor/reports_dialog.h"
#include "monitor/sip_registrations_dialog.h"
#include "shell/main/view_registry.h"

namespace mirx::monitor {

void registerMonitorViews(shell::ViewRegistry& views) {
    // One line per view: views.add(shell::ViewKey::..., factory).
    views.add(shell::ViewKey::ClientStatistics,
              [](shell::ShellContext& context, QWidget* parent) -> QDialog* {
                  return new CClientStatisticsDlg(context, parent);
              });
    views.add(shell::ViewKey::SipRegistrations,
              [](shell::ShellContext& context, QWidget* parent) -> QDialog* {
                  return new CSipRegistrationsDlg(context, parent);
              });
    views.add(shell::ViewKey::ActivityLog, [](shell::ShellContext& context, QWidget* parent) {
        return static_cast<QDialog*>(new CActivityLogDlg(context, parent));
    });
    views.add(shell::ViewKey::DebugLog, [](shell::ShellContext& context, QWidget* parent) {
        return static_cast<QDialog*>(new CDebugLogDlg(context, parent));
    });
    views.add(shell::ViewKey::Reports, [](shell::ShellContext& context, QWidget* parent) {
        return static_cast<QDialog*>(new CReportsDlg(context, parent));
    });
}

} // namespace mirx::monitor
