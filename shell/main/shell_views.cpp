#include "shell/main/shell_views.h"

#include "shell/commandfiles/command_files_dialog.h"
#include "shell/common/shell_context.h"
#include "shell/main/view_registry.h"

namespace mirx::shell {

void registerShellViews(ViewRegistry& views) {
    views.add(ViewKey::CommandFiles, [](ShellContext& context, QWidget* parent) -> QDialog* {
        // The main window hides the button when this run has no command files.
        if (context.commandFiles == nullptr) {
            return nullptr;
        }
        return new CCommandFilesDlg(context, *context.commandFiles, parent);
    });
}

} // namespace mirx::shell
