#include "shell/common/record_fetch.h"

#include <QPointer>

namespace mirx::shell {

RecordFetch::RecordFetch(QObject* parent)
    : QObject(parent) {
    poll_.setInterval(kPollMs);
    deadline_.setSingleShot(true);
    connect(&poll_, &QTimer::timeout, this, &RecordFetch::tick);
    connect(&deadline_, &QTimer::timeout, this,
            [this] { fail(timeoutText(steps_[current_].what, timeoutMs_)); });
}

void RecordFetch::setSteps(std::vector<Step> steps) {
    cancel();
    steps_ = std::move(steps);
}

QString RecordFetch::timeoutText(const QString& what, int timeoutMs) {
    return tr("The server did not send the %1 within %2 seconds. The view is closed; "
              "nothing was changed.")
        .arg(what)
        .arg((timeoutMs + 999) / 1000);
}

QString RecordFetch::queueFullText(const QString& what) {
    return tr("The request for the %1 could not be sent to the server. The view is closed; "
              "nothing was changed.")
        .arg(what);
}

void RecordFetch::start() {
    cancel();
    current_ = 0;
    beginStep();
}

void RecordFetch::cancel() {
    poll_.stop();
    deadline_.stop();
}

void RecordFetch::beginStep() {
    if (current_ >= steps_.size()) {
        cancel();
        emit ready();
        return;
    }
    const Step& step = steps_[current_];
    // An answer left over from an earlier request must not stand in for
    // this one.
    step.arrived();
    if (!step.request()) {
        fail(queueFullText(step.what));
        return;
    }
    deadline_.start(timeoutMs_);
    poll_.start();
}

void RecordFetch::checkNow() {
    if (running()) {
        tick();
    }
}

void RecordFetch::tick() {
    if (!quickWait_) {
        if (current_ < steps_.size() && steps_[current_].arrived()) {
            ++current_;
            beginStep();
        }
        return;
    }
    if (looking_) {
        lookAgain_ = true;
        return;
    }
    const QPointer<RecordFetch> alive(this);
    looking_ = true;
    const auto until = std::chrono::steady_clock::now() + kBurst;
    for (;;) {
        lookAgain_ = false;
        if (current_ < steps_.size() && steps_[current_].arrived()) {
            ++current_;
            beginStep(); // its ready() may start the next fetch
            if (!alive) {
                return;
            }
        }
        if (lookAgain_) {
            continue;
        }
        if (!quickWait_ || !running() || std::chrono::steady_clock::now() >= until ||
            !quickWait_()) {
            break;
        }
    }
    looking_ = false;
}

void RecordFetch::fail(const QString& text) {
    cancel();
    emit failed(text);
}

} // namespace mirx::shell
