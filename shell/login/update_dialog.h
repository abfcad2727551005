#pragma once

#include "shell/common/view_dialog.h"

#include <cstdint>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace mirx::link {
class CServerConnectionUpdateSubHandler;
class ServerLink;
} // namespace mirx::link

namespace mirx::shell {

class Prompter;
struct ShellContext;

// The update the server offers: asks once per run (unless the server says
// not to ask), then shows the download block by block. Ends Accepted when
// the installer has been started, Rejected otherwise. Open it with open()
// or exec(); the answer to the question is asked when it is shown.
class CUpdateDlg final : public ViewDialog {
    Q_OBJECT
public:
    static constexpr int kTickMs = 5;
    // How long the notice that the installer starts stays before the view
    // closes.
    static constexpr int kInstallerNoticeMs = 1500;

    explicit CUpdateDlg(ShellContext& context, QWidget* parent = nullptr);

    // Forgets an earlier refusal; the refusal otherwise lasts the whole run.
    static void resetRefusalForTesting();

    QLabel* fileText() const { return fileText_; }
    QProgressBar* progress() const { return progress_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void onOpened();
    void begin();
    void tick();

    link::ServerLink& link_;
    link::CServerConnectionUpdateSubHandler& update_;
    Prompter& prompter_;
    QLabel* fileText_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer* ticker_ = nullptr;
    bool opened_ = false;
    bool begun_ = false;
    std::uint32_t shownFileSize_ = 0xFFFFFFFF;
    std::string shownFileName_;
    std::uint32_t shownBlocks_ = 0;
};

} // namespace mirx::shell
