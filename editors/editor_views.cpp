#include "editors/editor_views.h"

#include "editors/settings/system_settings_dialog.h"
#include "editors/settings/ui_settings_dialog.h"
#include "shell/main/view_registry.h"

namespace mirx::editors {

void registerEditorViews(shell::ViewRegistry& views) {
    // One line per view: views.add(shell::ViewKey::..., factory).
    views.add(shell::ViewKey::SystemSettings, [](shell::ShellContext& context, QWidget* parent) {
        return new CSystemSettingsDlg(context, parent);
    });
    views.add(shell::ViewKey::UserInterfaceSettings,
              [](shell::ShellContext& context, QWidget* parent) {
                  return new CUserInterfaceSettingsDlg(context, parent);
              });
}

} // namespace mirx::editors
