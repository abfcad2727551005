#include "core/debug_log.h"
#include "core/message_queue.h"
#include "core/wire_frame.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Several producers against the one consumer the queue is built for. Run under
// ThreadSanitizer to catch unsynchronised slot hand-over; the checks here catch
// torn, lost, duplicated or reordered records.

namespace mirx {
namespace {

constexpr int kProducers = 4;
constexpr std::uint32_t kPostsPerProducer = 50000;
constexpr std::uint16_t kFirstId = 0x0100;

// Payload: producer number, 32-bit sequence number, then bytes derived from
// both. 5 to 28 bytes, so inline and heap copies alternate.
std::size_t payloadLength(std::uint32_t seq) {
    return 5 + seq % 24;
}

std::uint8_t fillByte(int producer, std::uint32_t seq, std::size_t i) {
    return static_cast<std::uint8_t>(std::size_t{seq} * 7 + i +
                                     static_cast<std::size_t>(producer) * 31);
}

std::size_t makePayload(std::uint8_t* out, int producer, std::uint32_t seq) {
    const std::size_t length = payloadLength(seq);
    out[0] = static_cast<std::uint8_t>(producer);
    wire::writeU32(out + 1, seq);
    for (std::size_t i = 5; i < length; ++i) {
        out[i] = fillByte(producer, seq, i);
    }
    return length;
}

class CountingSink final : public log::LineSink {
public:
    void write(std::string_view line) override {
        (line.rfind("WARNING: ", 0) == 0 ? warnings : others).fetch_add(1);
    }
    std::atomic<std::uint64_t> warnings{0};
    std::atomic<std::uint64_t> others{0};
};

class ScopedSink {
public:
    explicit ScopedSink(log::LineSink& sink) { log::setDebuggerSink(&sink); }
    ~ScopedSink() { log::setDebuggerSink(nullptr); }
    ScopedSink(const ScopedSink&) = delete;
    ScopedSink& operator=(const ScopedSink&) = delete;
};

// The consumer side: frames checked as they are cut from the send buffer.
struct Receiver {
    std::array<std::vector<std::uint32_t>, kProducers> sequences;
    std::string firstError;
    std::uint64_t errors = 0;

    void fail(std::string what) {
        if (errors++ == 0) {
            firstError = std::move(what);
        }
    }

    void parse(const std::uint8_t* p, std::size_t used) {
        std::size_t at = 0;
        while (at < used) {
            const std::uint8_t* f = p + at;
            const std::uint32_t size = wire::readU32(f + 4);
            if (used - at < 20 || wire::readU32(f) != wire::kStartMarker || size < 25 ||
                size > used - at || wire::readU32(f + size - 4) != wire::kStopMarker ||
                wire::readU32(f + 8) != 0) {
                fail("malformed frame at offset " + std::to_string(at));
                return;
            }
            at += size;
            const std::uint8_t* payload = f + 16;
            const int producer = payload[0];
            const std::uint32_t seq = wire::readU32(payload + 1);
            if (producer >= kProducers || wire::readU16(f + 12) != kFirstId + producer ||
                wire::readU16(f + 14) != static_cast<std::uint16_t>(seq) ||
                size - 20 != payloadLength(seq)) {
                fail("header does not match payload, seq " + std::to_string(seq));
                continue;
            }
            for (std::size_t i = 5; i < size - 20; ++i) {
                if (payload[i] != fillByte(producer, seq, i)) {
                    fail("payload byte " + std::to_string(i) + " of seq " + std::to_string(seq));
                    break;
                }
            }
            auto& seen = sequences[static_cast<std::size_t>(producer)];
            if (!seen.empty() && seq <= seen.back()) {
                fail("producer " + std::to_string(producer) + " seq " + std::to_string(seq) +
                     " after " + std::to_string(seen.back()));
            }
            seen.push_back(seq);
        }
    }
};

struct Producer {
    std::vector<std::uint32_t> accepted;
    std::uint64_t refused = 0;

    void run(CMessageQueue& queue, int self) {
        accepted.reserve(kPostsPerProducer);
        std::uint8_t payload[64];
        for (std::uint32_t seq = 0; seq < kPostsPerProducer; ++seq) {
            const std::size_t length = makePayload(payload, self, seq);
            const auto id = static_cast<std::uint16_t>(kFirstId + self);
            const auto second = static_cast<std::uint16_t>(seq);
            const bool posted =
                seq % 2 == 0 ? queue.PostCopy(id, second, payload, length)
                             : queue.PostCopy((std::uint32_t{second} << 16) | id, payload, length);
            if (posted) {
                accepted.push_back(seq);
            } else {
                ++refused;
                std::this_thread::yield(); // let the consumer drain
            }
        }
    }
};

// Runs the producers and one consumer; `betweenBatches` is called on the
// consumer thread after each drained batch.
template <typename BetweenBatches>
void runProducersAndConsumer(CMessageQueue& queue, std::array<Producer, kProducers>& producers,
                             Receiver& receiver, BetweenBatches betweenBatches) {
    std::atomic<int> finished{0};
    std::thread consumer([&] {
        std::vector<std::uint8_t> buffer(2048);
        for (;;) {
            const bool allPosted = finished.load(std::memory_order_acquire) == kProducers;
            std::size_t used = 0;
            while (const std::size_t n =
                       queue.TakeFramed(buffer.data() + used, buffer.size() - used)) {
                used += n;
            }
            if (used == 0) {
                if (allPosted) {
                    return;
                }
                std::this_thread::yield();
                continue;
            }
            receiver.parse(buffer.data(), used);
            betweenBatches();
        }
    });
    std::vector<std::thread> threads;
    threads.reserve(kProducers);
    for (int p = 0; p < kProducers; ++p) {
        threads.emplace_back([&, p] {
            producers[static_cast<std::size_t>(p)].run(queue, p);
            finished.fetch_add(1, std::memory_order_release);
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    consumer.join();
}

TEST(MessageQueueStress, EveryAcceptedPostArrivesOnceInOrder) {
    CountingSink sink;
    ScopedSink installed(sink);
    CMessageQueue queue(50);
    std::atomic<std::uint64_t> hookCalls{0};
    queue.SetPostHook([&] { hookCalls.fetch_add(1, std::memory_order_relaxed); });
    queue.Enable();

    std::array<Producer, kProducers> producers;
    Receiver receiver;
    runProducersAndConsumer(queue, producers, receiver, [] {});

    EXPECT_EQ(receiver.errors, 0u) << receiver.firstError;
    std::uint64_t accepted = 0;
    std::uint64_t refused = 0;
    for (std::size_t p = 0; p < kProducers; ++p) {
        EXPECT_EQ(receiver.sequences[p], producers[p].accepted) << "producer " << p;
        EXPECT_FALSE(producers[p].accepted.empty());
        accepted += producers[p].accepted.size();
        refused += producers[p].refused;
    }
    RecordProperty("accepted", std::to_string(accepted));
    RecordProperty("refused", std::to_string(refused));
    EXPECT_EQ(accepted + refused, std::uint64_t{kProducers} * kPostsPerProducer);
    EXPECT_EQ(sink.warnings.load(), refused) << "each refusal is reported once";
    EXPECT_EQ(sink.others.load(), 0u);
    EXPECT_EQ(hookCalls.load(), accepted);
    EXPECT_FALSE(queue.HasPending());
}

TEST(MessageQueueStress, DisableAndClearRacingPostsLeavesNoTornRecords) {
    CountingSink sink;
    ScopedSink installed(sink);
    CMessageQueue queue(50);
    queue.Enable();

    std::array<Producer, kProducers> producers;
    Receiver receiver;
    std::uint64_t batches = 0;
    runProducersAndConsumer(queue, producers, receiver, [&] {
        if (++batches % 16 == 0) {
            queue.DisableAndClear(); // as when a connection ends and the next comes up
            queue.Enable();
        }
    });

    // Cleared records are lost by design; what arrives must still be whole and in order.
    EXPECT_EQ(receiver.errors, 0u) << receiver.firstError;
    for (std::size_t p = 0; p < kProducers; ++p) {
        EXPECT_FALSE(receiver.sequences[p].empty());
        EXPECT_TRUE(std::includes(producers[p].accepted.begin(), producers[p].accepted.end(),
                                  receiver.sequences[p].begin(), receiver.sequences[p].end()))
            << "producer " << p << " received a record it never had accepted";
    }
    queue.DisableAndClear();
    EXPECT_FALSE(queue.HasPending());
}

} // namespace
} // namespace mirx
