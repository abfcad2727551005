#include "shell/main/application.h"

#include "link/server_link.h"
#include "shell/common/shell_context.h"
#include "shell/login/login_dialog.h"
#include "shell/main/main_window.h"

#include <QTimer>

namespace mirx::shell {

CSystemAdministrationApp::CSystemAdministrationApp(ShellContext& context, ViewRegistry views,
                                                   QObject* parent)
    : QObject(parent)
    , context_(context)
    , views_(std::move(views)) {}

CSystemAdministrationApp::~CSystemAdministrationApp() {
    delete main_.data();
    delete login_.data();
    context_.link.StopLink();
}

void CSystemAdministrationApp::start() {
    showLogin();
}

void CSystemAdministrationApp::showLogin() {
    auto* login = new CLoginDlg(context_, nextLogin_);
    login->setAttribute(Qt::WA_DeleteOnClose);
    login_ = login;
    connect(login, &QDialog::finished, this, &CSystemAdministrationApp::onLoginDone);
    login->show();
}

void CSystemAdministrationApp::onLoginDone(int result) {
    login_ = nullptr;
    if (result == CLoginDlg::kUpdateInstalled) {
        end(Outcome::UpdateInstalled);
        return;
    }
    if (result != QDialog::Accepted) {
        end(Outcome::LoginCancelled);
        return;
    }
    const auto trunking = context_.link.trunkingMode();
    const auto layout = trunking == link::TrunkingMode::None
                            ? CSystemAdministrationDlg::Layout::Standard
                            : CSystemAdministrationDlg::Layout::Trunking;
    auto* window = new CSystemAdministrationDlg(context_, views_, layout);
    window->setAttribute(Qt::WA_DeleteOnClose);
    main_ = window;
    connect(window, &QDialog::finished, this, [this, window](int mainResult) {
        nextLogin_ = window->connectionLost() ? CLoginDlg::Opening::AfterLostConnection
                                              : CLoginDlg::Opening::AfterLogout;
        onMainDone(mainResult);
    });
    window->show();
    emit mainWindowOpened(window);
}

void CSystemAdministrationApp::onMainDone(int result) {
    main_ = nullptr;
    if (result != QDialog::Accepted) {
        end(Outcome::Exited);
        return;
    }
    // The closing window's events run first, as the next view opens after
    // it has gone.
    QTimer::singleShot(0, this, &CSystemAdministrationApp::showLogin);
}

void CSystemAdministrationApp::end(Outcome outcome) {
    if (ended_) {
        return;
    }
    ended_ = true;
    context_.link.StopLink();
    emit finished(outcome);
}

} // namespace mirx::shell
