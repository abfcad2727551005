#pragma once

#include "shell/common/view_dialog.h"

namespace mirx::shell {

// The program's name, version and maker.
class CAboutDlg final : public ViewDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(ShellContext& context, QWidget* parent = nullptr);
};

// "<major>.<minor>.<build>-<revision> (Linux)" of this build.
QString programVersionText();

} // namespace mirx::shell
