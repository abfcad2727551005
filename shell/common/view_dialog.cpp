#include "shell/common/view_dialog.h"

#include "link/server_link.h"
#include "shell/common/accessible_names.h"
#include "shell/common/mnemonics.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"
#include "shell/common/window_position.h"

#include <QTimer>

namespace mirx::shell {

ViewDialog::ViewDialog(ShellContext& context, ViewKey key, QWidget* parent)
    : QDialog(parent)
    , context_(context)
    , key_(key) {
    setWindowTitle(viewTitle(key, context.profile));
    setObjectName(QString::fromLatin1(entry().caption));
    if (entry().closesWhenLoggedOut) {
        viewTimer(kLoggedOutCheckMs, [this] { checkLoggedIn(); });
    }
}

ViewDialog::~ViewDialog() = default;

void ViewDialog::restorePosition() {
    if (!entry().positionName.empty()) {
        restoreWindowPosition(*this, context_.settings, entry().positionName);
    }
}

QTimer* ViewDialog::viewTimer(int intervalMs, std::function<void()> tick, bool start) {
    auto* timer = new QTimer(this);
    timer->setInterval(intervalMs);
    connect(timer, &QTimer::timeout, this, std::move(tick));
    timers_.push_back(timer);
    if (start && !closed_) {
        timer->start();
    }
    return timer;
}

void ViewDialog::showEvent(QShowEvent* event) {
    if (!named_) {
        named_ = true;
        assignMnemonics(*this);
        nameControls(*this);
    }
    QDialog::showEvent(event);
}

void ViewDialog::checkLoggedIn() {
    if (!closed_ && !context_.link.loggedIn()) {
        reject();
    }
}

void ViewDialog::giveUp(const QString& text) {
    if (closed_) {
        return;
    }
    context_.prompter.tell(this, windowTitle(), text, PromptIcon::Error);
    reject();
}

void ViewDialog::done(int result) {
    if (!closed_) {
        closed_ = true;
        for (QTimer* timer : timers_) {
            timer->stop();
        }
        closing(result);
        if (!entry().positionName.empty()) {
            saveWindowPosition(*this, context_.settings, entry().positionName);
        }
    }
    QDialog::done(result);
}

} // namespace mirx::shell
