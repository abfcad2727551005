#pragma once

#include "shell/common/view_dialog.h"

#include <QPointer>

class QPushButton;

namespace mirx::monitor {

// "Reports": opens one of the three report views over itself.
class CReportsDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    explicit CReportsDlg(shell::ShellContext& context, QWidget* parent = nullptr);

    QPushButton* partyLinesButton() const { return partyLines_; }
    QPushButton* selectorsButton() const { return selectors_; }
    QPushButton* connectionStatusButton() const { return connectionStatus_; }
    QPushButton* okButton() const { return ok_; }
    // The report view open over the chooser; null when none is.
    QDialog* reportView() const { return report_; }

private:
    void openOver(QDialog* report);
    // A report still open over the chooser closes first, so it remembers
    // its place whichever of the two saw the logout first.
    void closing(int result) override;

    QPointer<QDialog> report_;
    QPushButton* partyLines_ = nullptr;
    QPushButton* selectors_ = nullptr;
    QPushButton* connectionStatus_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace mirx::monitor
