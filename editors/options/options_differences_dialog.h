#pragma once

#include "shell/common/view_dialog.h"

class QPlainTextEdit;

namespace mirx::editors {

// Where a client's options differ from the defaults, as plain text to read
// or copy.
class COptionsDifferencesDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    COptionsDifferencesDlg(shell::ShellContext& context, const QString& client,
                           const QString& differences, QWidget* parent = nullptr);

    QPlainTextEdit* text() const { return text_; }

private:
    QPlainTextEdit* text_ = nullptr;
};

} // namespace mirx::editors
