#include "shell/common/link_waker.h"

#include "link/server_link.h"

#include <QSocketNotifier>

namespace mirx::shell {

LinkWaker::LinkWaker(const link::ServerLink& link, QObject* parent)
    : QObject(parent) {
    if (wakeup_.fd() < 0) {
        return; // nothing could tell this thread; the views' own polls still look
    }
    notifier_ = std::make_unique<QSocketNotifier>(wakeup_.fd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &LinkWaker::tell);
    // Counted here, not on the watcher, so a change made right after the
    // waker exists is told even when the watcher starts late.
    watcher_ = std::thread([this, &link, seen = link.ChangeCount()]() mutable {
        while (!stop_.load(std::memory_order_acquire)) {
            if (link.WaitForChange(seen, kStopCheck) &&
                !pending_.exchange(true, std::memory_order_acq_rel)) {
                wakeup_.signal();
            }
        }
    });
}

LinkWaker::~LinkWaker() {
    stop_.store(true, std::memory_order_release);
    if (watcher_.joinable()) {
        watcher_.join();
    }
}

void LinkWaker::tell() {
    wakeup_.drain();
    pending_.store(false, std::memory_order_release);
    emit changed();
}

} // namespace mirx::shell
