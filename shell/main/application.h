#pragma once

#include "shell/login/login_dialog.h"
#include "shell/main/main_window.h"
#include "shell/main/view_registry.h"

#include <QObject>
#include <QPointer>

namespace mirx::shell {

struct ShellContext;

// The run: the login view, then the main window, then the login view again
// after a logout or a lost connection, until the login view is closed or
// "Exit" is chosen. Emits finished once, after the link has been stopped.
class CSystemAdministrationApp final : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Exited, LoginCancelled, UpdateInstalled };

    CSystemAdministrationApp(ShellContext& context, ViewRegistry views, QObject* parent = nullptr);
    ~CSystemAdministrationApp() override;

    void start();

    // The view on screen now (one of the two, or neither after the end).
    CLoginDlg* loginView() const { return login_; }
    CSystemAdministrationDlg* mainWindow() const { return main_; }
    ViewRegistry& views() { return views_; }

signals:
    void finished(mirx::shell::CSystemAdministrationApp::Outcome outcome);
    // A main window has just opened; the command file scheduler hooks in.
    void mainWindowOpened(mirx::shell::CSystemAdministrationDlg* window);

private:
    void showLogin();
    void onLoginDone(int result);
    void onMainDone(int result);
    void end(Outcome outcome);

    ShellContext& context_;
    ViewRegistry views_;
    QPointer<CLoginDlg> login_;
    QPointer<CSystemAdministrationDlg> main_;
    CLoginDlg::Opening nextLogin_ = CLoginDlg::Opening::ProgramStart;
    bool ended_ = false;
};

} // namespace mirx::shell
