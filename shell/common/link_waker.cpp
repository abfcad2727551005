#include "shell/common/link_waker.h"

#include "link/server_link.h"

namespace mirx::shell {

LinkWaker::LinkWaker(const link::ServerLink& link, QObject* parent)
    : QObject(parent) {
    // Counted here, not on the watcher, so a change made right after the
    // waker exists is told even when the watcher starts late.
    watcher_ = std::thread([this, &link, seen = link.ChangeCount()]() mutable {
        while (!stop_.load(std::memory_order_acquire)) {
            if (link.WaitForChange(seen, kStopCheck) &&
                !pending_.exchange(true, std::memory_order_acq_rel)) {
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        pending_.store(false, std::memory_order_release);
                        emit changed();
                    },
                    Qt::QueuedConnection);
            }
        }
    });
}

LinkWaker::~LinkWaker() {
    stop_.store(true, std::memory_order_release);
    // Joined before QObject's destructor drops what is still queued, so
    // nothing is posted to a waker that is going.
    watcher_.join();
}

} // namespace mirx::shell
