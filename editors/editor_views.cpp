#include "editors/editor_views.h"

#include "editors/clients/client_list_dialog.h"
#include "editors/groups/group_configuration_dialog.h"
#include "editors/remote/remote_configuration_dialog.h"
#include "editors/selectors/selector_assignments_dialog.h"
#include "editors/settings/system_settings_dialog.h"
#include "editors/settings/ui_settings_dialog.h"
#include "shell/main/view_registry.h"

namespace mirx::editors {

void registerEditorViews(shell::ViewRegistry& views) {
    views.add(shell::ViewKey::ClientConfiguration,
              [](shell::ShellContext& context, QWidget* parent) -> QDialog* {
                  return new CClientConfigurationDlg(context, parent);
              });
    views.add(shell::ViewKey::GroupConfiguration,
              [](shell::ShellContext& context, QWidget* parent) -> QDialog* {
                  return new CGroupConfigurationDlg(context, parent);
              });
    views.add(shell::ViewKey::RemoteConfiguration,
              [](shell::ShellContext& context, QWidget* parent) -> QDialog* {
                  return new CRemoteConfigurationDlg(context, parent);
              });
    // Opened by its key alone it edits the default assignments; the client
    // list opens it for one client.
    views.add(shell::ViewKey::ClientSelectorAssignments,
              [](shell::ShellContext& context, QWidget* parent) -> QDialog* {
                  return new CClientConfigurationSelectorAssignmentsDlg(context, -1, parent);
              });
    views.add(shell::ViewKey::SystemSettings, [](shell::ShellContext& context, QWidget* parent) {
        return new CSystemSettingsDlg(context, parent);
    });
    views.add(shell::ViewKey::UserInterfaceSettings,
              [](shell::ShellContext& context, QWidget* parent) {
                  return new CUserInterfaceSettingsDlg(context, parent);
              });
}

} // namespace mirx::editors
