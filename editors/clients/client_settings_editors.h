#pragma once

#include "model/template_links.h"
#include "shell/common/view_table.h"

class QDialog;
class QWidget;

namespace mirx::shell {
struct ShellContext;
}

namespace mirx::editors {

// The view that edits one kind of a client's settings.
shell::ViewKey settingsEditorKey(model::TemplateKind kind);

// The editor of `kind` for the client (a client index below 0: the
// defaults), not yet shown; the client list opens it and waits for its
// result.
QDialog* createSettingsEditor(shell::ShellContext& context, model::TemplateKind kind,
                              int clientIndex, QWidget* parent);

} // namespace mirx::editors
