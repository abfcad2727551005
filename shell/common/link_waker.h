#pragma once

#include "core/wakeup.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <QObject>

class QSocketNotifier;

namespace mirx::link {
class ServerLink;
}

namespace mirx::shell {

// Tells the user-interface thread as soon as the link reports a change (a
// frame was stored, the connection began or ended), so a view waiting on an
// arrival flag looks at once instead of at its next poll. A view asking a
// thousand records in a row is then paced by the answers.
class LinkWaker final : public QObject {
    Q_OBJECT
public:
    // How long closing the waker may wait for its watcher to notice.
    static constexpr std::chrono::milliseconds kStopCheck{20};

    explicit LinkWaker(const link::ServerLink& link, QObject* parent = nullptr);
    ~LinkWaker() override;

signals:
    // On the waker's thread; changes that come while one is pending are
    // told by that one.
    void changed();

private:
    void tell();

    std::atomic<bool> stop_{false};
    std::atomic<bool> pending_{false};
    // The watcher reaches the waker's thread through a descriptor its event
    // loop watches, not through a posted Qt event: nothing is built on one
    // thread and freed on the other behind Qt's own locks, which the thread
    // checker cannot see.
    CWakeup wakeup_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::thread watcher_;
};

} // namespace mirx::shell
