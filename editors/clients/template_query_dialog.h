#pragma once

#include "shell/common/view_dialog.h"

class QPushButton;

namespace mirx::editors {

// "Edit Confirmation": asked before a settings editor opens for a client
// that follows a template. Ends with Accepted for "Template", kUnlinkResult
// for "Unlink", Rejected for "Cancel".
class CClientConfigurationTemplateQueryDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    static constexpr int kUnlinkResult = 100;
    static constexpr const char* kText =
        "The selected item is a linked to a template.\nPress Edit Template to edit the base "
        "template.\nPress Unlink to edit this individual client. ";

    // `templateKnown`: the template is a client of this site (a link to a
    // deleted client has nothing to edit). `mayUnlink`: the administrator
    // may change links.
    CClientConfigurationTemplateQueryDlg(shell::ShellContext& context, bool templateKnown,
                                         bool mayUnlink, QWidget* parent = nullptr);

    QPushButton* templateButton() const { return template_; }
    QPushButton* unlinkButton() const { return unlink_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    QPushButton* template_ = nullptr;
    QPushButton* unlink_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace mirx::editors
