#include "editors/clients/client_settings_editors.h"

#include "editors/audio/audio_settings_dialog.h"
#include "editors/options/client_options_dialog.h"
#include "editors/selectors/selector_assignments_dialog.h"

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
    switch (kind) {
    case model::TemplateKind::SelectorAssignments:
        return new CClientConfigurationSelectorAssignmentsDlg(context, clientIndex, parent);
    case model::TemplateKind::AudioSettings:
        return new CClientConfigurationAudioSettingsDlg(context, clientIndex, parent);
    case model::TemplateKind::Options:
        break;
    }
    return new CClientConfigurationOptionsDlg(context, clientIndex, parent);
}

} // namespace mirx::editors
