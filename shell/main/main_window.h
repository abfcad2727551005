#pragma once

#include "shell/main/view_registry.h"

#include <map>

#include <QDialog>
#include <QPointer>
#include <QTimer>

class QLabel;
class QPushButton;
class QStatusBar;

namespace mirx::shell {

struct ShellContext;
class CommandFileTimers;

// The main window: the server's status, a button for every other view, and
// the restart and forced failover requests. Ends Accepted for "Logout" and a
// lost connection (the login view returns), Rejected for "Exit".
class CSystemAdministrationDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kConnectionWatchMs = 100;
    static constexpr int kStatusRefreshMs = 1000;

    enum class Layout { Standard, Trunking };

    CSystemAdministrationDlg(ShellContext& context, const ViewRegistry& views, Layout layout,
                             QWidget* parent = nullptr);
    ~CSystemAdministrationDlg() override;

    // The command file scheduler's timers while the window is open; null
    // when the context has no scheduler.
    CommandFileTimers* commandFileTimers() const { return commandFileTimers_; }

    Layout layout() const { return layout_; }
    QPushButton* button(ViewKey key) const;
    QPushButton* restartButton() const { return restart_; }
    QPushButton* failoverButton() const { return failover_; }
    QPushButton* logoutButton() const { return logout_; }
    QPushButton* exitButton() const { return exit_; }
    QLabel* upTimeField() const { return upTime_; }
    QLabel* connectionsField() const { return connections_; }
    QLabel* audioInputsField() const { return audioInputs_; }
    QLabel* audioOutputsField() const { return audioOutputs_; }
    QLabel* processorField() const { return processor_; }
    QLabel* failoverField() const { return failoverStatus_; }
    QLabel* trunkingField() const { return trunkingStatus_; }
    QLabel* activeTrunksField() const { return activeTrunks_; }
    // The status bar: where the console is connected, as whom, since when,
    // and when the server last sent its status.
    QLabel* serverText() const { return serverText_; }
    QLabel* userText() const { return userText_; }
    QLabel* connectionText() const { return connectionText_; }
    QLabel* lastStatusText() const { return lastStatusText_; }
    // The open modeless view, if any.
    QDialog* openView(ViewKey key) const;

    // True when the window ended because the connection was lost, not by
    // "Logout" or "Exit".
    bool connectionLost() const { return connectionLost_; }

    // Shows the last status the link received.
    void refreshStatus();

    void done(int result) override;

public slots:
    void showAbout();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    QStatusBar* buildStatusBar();
    void openViewFor(ViewKey key);
    void confirmRestart();
    void confirmFailover();
    void watchConnection();
    void statusTick();

    ShellContext& context_;
    const ViewRegistry& views_;
    const Layout layout_;
    bool closed_ = false;
    bool connectionLost_ = false;
    bool shownOnce_ = false;
    std::map<ViewKey, QPushButton*> buttons_;
    std::map<ViewKey, QPointer<QDialog>> modeless_;
    QPushButton* restart_ = nullptr;
    QPushButton* failover_ = nullptr;
    QPushButton* logout_ = nullptr;
    QPushButton* exit_ = nullptr;
    QLabel* upTime_ = nullptr;
    QLabel* connections_ = nullptr;
    QLabel* audioInputs_ = nullptr;
    QLabel* audioOutputs_ = nullptr;
    QLabel* processor_ = nullptr;
    QLabel* failoverStatus_ = nullptr;
    QLabel* trunkingStatus_ = nullptr;
    QLabel* activeTrunks_ = nullptr;
    QLabel* serverText_ = nullptr;
    QLabel* userText_ = nullptr;
    QLabel* connectionText_ = nullptr;
    QLabel* lastStatusText_ = nullptr;
    QTimer connectionWatch_;
    QTimer statusRefresh_;
    CommandFileTimers* commandFileTimers_ = nullptr;
};

} // namespace mirx::shell
