#pragma once

#include "model/client_store.h"

#include <cstddef>
#include <deque>
#include <vector>

#include <QObject>
#include <QTimer>

namespace mirx {
class CMessageQueue;
}

namespace mirx::shell {

// Posts records in order without overrunning the request queue. One change
// (unlinking a template with hundreds of followers) can make more records
// than the queue has slots; the sender posts while there is room and the
// rest as the connection drains the queue, so nothing is refused and lost.
class RecordSender final : public QObject {
    Q_OBJECT
public:
    static constexpr int kDrainPollMs = 10;
    // Slots left free for the connection's own requests (the status poll).
    static constexpr std::size_t kHeadroom = 20;

    explicit RecordSender(CMessageQueue& queue, QObject* parent = nullptr);

    // Queues the records behind any still waiting and posts what fits now.
    void send(std::vector<model::OutgoingRecord> records);
    // Records not yet handed to the queue.
    std::size_t waiting() const { return waiting_.size(); }

    // For an owner that goes away: the sender keeps posting on its own and
    // deletes itself once everything is out (or the link is gone).
    void finishAlone();

signals:
    // Everything handed to the queue.
    void sent();
    // The queue stopped taking records (the login ended); `count` were lost.
    void dropped(std::size_t count);

private:
    void pump();

    CMessageQueue& queue_;
    std::deque<model::OutgoingRecord> waiting_;
    QTimer drain_;
    bool alone_ = false;
};

} // namespace mirx::shell
