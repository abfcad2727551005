#include "shell/common/link_waker.h"

#include "link/server_link.h"

#include <QSocketNotifier>

namespace mirx::shell {

LinkWaker::LinkWaker(const link::ServerLink& link, QObject* parent)
    : QObject(parent)
    , link_(link) {
    if (wakeup_.fd() < 0) {
        return; // nothing could tell this thread; the views' own polls still look
    }
    notifier_ = std::make_unique<QSocketNotifier>(wakeup_.fd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &LinkWaker::tell);
    link_.AddChangeListener(wakeup_, pending_);
}

LinkWaker::~LinkWaker() {
    if (notifier_) {
        link_.RemoveChangeListener(wakeup_);
    }
}

void LinkWaker::tell() {
    // Cleared before the look the signal leads to: a change after this is
    // signalled again, one before it is seen by that look.
    pending_.store(false, std::memory_order_release);
    wakeup_.drain();
    emit changed();
}

} // namespace mirx::shell
