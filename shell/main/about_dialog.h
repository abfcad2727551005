#pragma once

#include <QDialog>

namespace mirx::shell {

// The program's name, version and maker.
class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// "<major>.<minor>.<build>-<revision> (Linux)" of this build.
QString programVersionText();

} // namespace mirx::shell
