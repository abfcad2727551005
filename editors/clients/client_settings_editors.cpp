#include "editors/clients/client_settings_editors.h"

#include "editors/selectors/selector_assignments_dialog.h"
#include "shell/main/placeholder_view.h"

namespace mirx::editors {

shell::ViewKey settingsEditorKey(model::TemplateKind kind) {
    switch (kind) {
    case model::TemplateKind::SelectorAssignments:
        return shell::ViewKey::ClientSelectorAssignments;
    case model::TemplateKind::AudioSettings:
        return shell::ViewKey::ClientAudioSettings;
    case model::TemplateKind::Options:
        break;
    }
    return shell::ViewKey::ClientOptions;
}

QDialog* createSettingsEditor(shell::ShellContext& context, model::TemplateKind kind,
                              int clientIndex, QWidget* parent) {
    if (kind == model::TemplateKind::SelectorAssignments) {
        return new CClientConfigurationSelectorAssignmentsDlg(context, clientIndex, parent);
    }
    return new shell::PlaceholderView(context, settingsEditorKey(kind), parent);
}

} // namespace mirx::editors
