#pragma once

#include "core/wakeup.h"

#include <atomic>
#include <memory>

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
    // Keep `link` while the waker lives.
    explicit LinkWaker(const link::ServerLink& link, QObject* parent = nullptr);
    ~LinkWaker() override;

signals:
    // On the waker's thread; changes that come while one is pending are
    // told by that one.
    void changed();

private:
    void tell();

    const link::ServerLink& link_;
    // The link signals a descriptor this thread's event loop watches: no
    // thread of ours waits for its changes, and nothing is built on one
    // thread and freed on another behind Qt's own locks, which the thread
    // checker cannot see.
    CWakeup wakeup_;
    std::atomic<bool> pending_{false};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace mirx::shell
