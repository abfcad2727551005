#include "shell/common/record_sender.h"

#include "core/debug_log.h"
#include "core/message_queue.h"

#include <QCoreApplication>

namespace mirx::shell {

RecordSender::RecordSender(CMessageQueue& queue, QObject* parent)
    : QObject(parent)
    , queue_(queue) {
    drain_.setInterval(kDrainPollMs);
    connect(&drain_, &QTimer::timeout, this, &RecordSender::pump);
}

void RecordSender::send(std::vector<model::OutgoingRecord> records) {
    for (model::OutgoingRecord& record : records) {
        waiting_.push_back(std::move(record));
    }
    pump();
}

void RecordSender::finishAlone() {
    alone_ = true;
    if (waiting_.empty()) {
        deleteLater();
        return;
    }
    // Outlives the view that made it; the application deletes it at the
    // latest.
    setParent(QCoreApplication::instance());
}

void RecordSender::pump() {
    const std::size_t room = queue_.Capacity() > kHeadroom ? queue_.Capacity() - kHeadroom : 1;
    while (!waiting_.empty()) {
        if (!queue_.IsEnabled()) {
            const std::size_t lost = waiting_.size();
            waiting_.clear();
            log::print("WARNING: RecordSender: the request queue is closed; %zu records not sent",
                       lost);
            drain_.stop();
            emit dropped(lost);
            if (alone_) {
                deleteLater();
            }
            return;
        }
        if (queue_.PendingCount() >= room) {
            break;
        }
        const model::OutgoingRecord& record = waiting_.front();
        if (!queue_.PostCopy(record.id, record.second, record.bytes.data(), record.bytes.size())) {
            if (queue_.IsEnabled() && queue_.PendingCount() + 1 < room) {
                // Refused with room to spare: no frame holds it, and it would
                // block every record behind it.
                log::print("ERROR: RecordSender: message %u (%zu bytes) refused by the queue",
                           unsigned{record.id}, record.bytes.size());
                waiting_.pop_front();
                continue;
            }
            // Taken by another poster since the count; try again shortly.
            break;
        }
        waiting_.pop_front();
    }
    if (!waiting_.empty()) {
        drain_.start();
        return;
    }
    drain_.stop();
    emit sent();
    if (alone_) {
        deleteLater();
    }
}

} // namespace mirx::shell
