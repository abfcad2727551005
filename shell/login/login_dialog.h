#pragma once

#include "shell/common/view_dialog.h"
#include "shell/login/login_attempt.h"

#include <QPointer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace mirx::shell {

// Gathers the login name and password, asks the link to connect, and retries
// on its own when asked to. Ends Accepted when logged in, Rejected when the
// administrator gives up, kUpdateInstalled when an update's installer took
// over and the console must end.
class CLoginDlg final : public ViewDialog {
    Q_OBJECT
public:
    static constexpr int kUpdateInstalled = 2;
    static constexpr int kAttemptTickMs = 100;
    static constexpr int kAutomaticRetryMs = 5000;
    static constexpr int kIndicatorTickMs = 200;

    enum class Opening {
        // Makes an attempt at once when "Login Automatically" is ticked.
        ProgramStart,
        // The administrator logged out: automatic login waits until they log
        // in by hand (or tick the box again).
        AfterLogout,
        AfterLostConnection,
    };

    CLoginDlg(ShellContext& context, Opening opening, QWidget* parent = nullptr);
    ~CLoginDlg() override;

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* passwordEdit() const { return password_; }
    QPushButton* loginButton() const { return login_; }
    QPushButton* configureButton() const { return configure_; }
    QCheckBox* automaticBox() const { return automatic_; }
    QLabel* statusText() const { return status_; }
    // Why the connection was lost or the last attempt could not connect,
    // and when.
    QLabel* connectionNote() const { return note_; }
    // "Next attempt in N s" while automatic login waits.
    QLabel* countdownText() const { return countdown_; }
    QProgressBar* busyIndicator() const { return busy_; }
    // Cancels the running attempt or the automatic retries.
    QPushButton* cancelButton() const { return cancel_; }
    bool attemptRunning() const { return attempt_.running(); }
    // Whether "Login Automatically" retries on its own now.
    bool automaticRetriesPaused() const { return automaticPaused_; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closing(int result) override;

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
    void updateIndicators();
    // Milliseconds until automatic login tries again; negative: it does not.
    int automaticRetryInMs() const;
    void cancelAttempts();
    void showConnectionEvent(bool lost);

    ShellContext& context_;
    const Opening opening_;
    bool automaticPaused_ = false;
    bool openedOnce_ = false;
    QLineEdit* name_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* login_ = nullptr;
    QPushButton* configure_ = nullptr;
    QCheckBox* automatic_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* note_ = nullptr;
    QLabel* countdown_ = nullptr;
    QProgressBar* busy_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::int64_t attemptStartedMs_ = 0;
    QTimer* attemptTick_ = nullptr;
    QTimer* retryTick_ = nullptr;
    LoginAttempt attempt_;
    QPointer<QDialog> configuration_;
};

} // namespace mirx::shell
