#pragma once

#include "shell/login/login_attempt.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mirx::shell {

struct ShellContext;

// Gathers the login name and password, asks the link to connect, and retries
// on its own when asked to. Ends Accepted when logged in, Rejected when the
// administrator gives up, kUpdateInstalled when an update's installer took
// over and the console must end.
class CLoginDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "System Administration Login";
    static constexpr int kUpdateInstalled = 2;
    static constexpr int kAttemptTickMs = 100;
    static constexpr int kAutomaticRetryMs = 5000;

    // `firstShowing`: the first login view of this run, which makes an
    // attempt at once when "Login Automatically" is ticked.
    CLoginDlg(ShellContext& context, bool firstShowing, QWidget* parent = nullptr);
    ~CLoginDlg() override;

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* passwordEdit() const { return password_; }
    QPushButton* loginButton() const { return login_; }
    QPushButton* configureButton() const { return configure_; }
    QCheckBox* automaticBox() const { return automatic_; }
    QLabel* statusText() const { return status_; }
    bool attemptRunning() const { return attempt_.running(); }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void opened();
    void onLoginClicked();
    void onAutomaticClicked(bool checked);
    void onConfigureClicked();
    void onAttemptTick();
    void onRetryTick();
    // False when there is still no server address to try.
    bool ensureServerAddress(bool openSettings);
    void attempt();
    void onAttemptFinished(bool loggedIn);
    void onUpdateOffered();
    void applyFieldLocks();
    void openConfiguration(bool fromAttempt);

    ShellContext& context_;
    const bool firstShowing_;
    bool openedOnce_ = false;
    bool closed_ = false;
    QLineEdit* name_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* login_ = nullptr;
    QPushButton* configure_ = nullptr;
    QCheckBox* automatic_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer attemptTick_;
    QTimer retryTick_;
    LoginAttempt attempt_;
    QPointer<QDialog> configuration_;
};

} // namespace mirx::shell
