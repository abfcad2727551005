// The sender that paces records into the request queue, against a queue with
// no connection taking records out until the test does.
#include "core/message_queue.h"
#include "shell/common/record_sender.h"

#include <array>
#include <vector>

#include <QSignalSpy>
#include <QtTest>

using mirx::CMessageQueue;
using mirx::model::OutgoingRecord;
using mirx::shell::RecordSender;

namespace {

constexpr std::uint16_t kSlots = 300;
constexpr std::uint16_t kLabelUpdate = 6012;

std::vector<OutgoingRecord> numbered(int count) {
    std::vector<OutgoingRecord> records;
    records.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        records.push_back({kLabelUpdate, static_cast<std::uint16_t>(i),
                           std::vector<std::uint8_t>(300, static_cast<std::uint8_t>(i))});
    }
    return records;
}

// Second values of the records taken out, in order.
std::vector<int> takeAll(CMessageQueue& queue) {
    std::vector<int> seconds;
    std::array<std::uint8_t, 1024> frame{};
    while (const auto head = queue.PeekHead()) {
        seconds.push_back(static_cast<int>(head->type >> 16));
        if (queue.TakeFramed(frame.data(), frame.size()) == 0) {
            break;
        }
    }
    return seconds;
}

} // namespace

class RecordSenderTest : public QObject {
    Q_OBJECT

private slots:
    void moreRecordsThanSlotsAllArriveInOrder() {
        CMessageQueue queue(kSlots);
        queue.Enable();
        RecordSender sender(queue);
        QSignalSpy sent(&sender, &RecordSender::sent);
        sender.send(numbered(450));
        // Room is left for the connection's own requests.
        QCOMPARE(queue.PendingCount(), std::size_t{kSlots - RecordSender::kHeadroom});
        QCOMPARE(sender.waiting(), std::size_t{450 - (kSlots - RecordSender::kHeadroom)});
        std::vector<int> seconds = takeAll(queue);
        QTRY_COMPARE(sender.waiting(), std::size_t{0});
        const std::vector<int> rest = takeAll(queue);
        seconds.insert(seconds.end(), rest.begin(), rest.end());
        QCOMPARE(seconds.size(), std::size_t{450});
        for (int i = 0; i < 450; ++i) {
            QCOMPARE(seconds[static_cast<std::size_t>(i)], i);
        }
        QCOMPARE(sent.count(), 1);
    }

    void aClosedQueueDropsTheRestAndSaysSo() {
        CMessageQueue queue(kSlots);
        queue.Enable();
        RecordSender sender(queue);
        QSignalSpy dropped(&sender, &RecordSender::dropped);
        sender.send(numbered(300));
        QVERIFY(sender.waiting() > 0);
        queue.DisableAndClear();
        QTRY_COMPARE(dropped.count(), 1);
        QCOMPARE(dropped.at(0).at(0).value<std::size_t>(),
                 std::size_t{300 - (kSlots - RecordSender::kHeadroom)});
        QCOMPARE(sender.waiting(), std::size_t{0});
    }

    void leftAloneItFinishesAndGoes() {
        CMessageQueue queue(kSlots);
        queue.Enable();
        QPointer<RecordSender> sender = new RecordSender(queue);
        sender->send(numbered(kSlots));
        sender->finishAlone();
        QVERIFY(!sender.isNull());
        takeAll(queue);
        QTRY_VERIFY(sender.isNull());
        QCOMPARE(takeAll(queue).size(), std::size_t{RecordSender::kHeadroom});
    }
};

QTEST_GUILESS_MAIN(RecordSenderTest)
#include "record_sender_test.moc"
