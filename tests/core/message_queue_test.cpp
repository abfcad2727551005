#include "core/message_queue.h"
#include "core/wire_frame.h"
#include "tests/support/log_capture.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

namespace mirx {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Decoded by hand from the wire layout, independent of the frame writer.
struct Frame {
    std::uint32_t start = 0;
    std::uint32_t size = 0;
    std::uint32_t reserved = 0;
    std::uint16_t id = 0;
    std::uint16_t second = 0;
    Bytes payload;
    std::uint32_t stop = 0;
};

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

Frame decode(const std::uint8_t* p, std::size_t available) {
    Frame f;
    f.start = le32(p);
    f.size = le32(p + 4);
    f.reserved = le32(p + 8);
    f.id = le16(p + 12);
    f.second = le16(p + 14);
    if (f.size < 20 || f.size > available) {
        ADD_FAILURE() << "frame size " << f.size << " with " << available << " bytes available";
        return f;
    }
    f.payload.assign(p + 16, p + f.size - 4);
    f.stop = le32(p + f.size - 4);
    return f;
}

void expectFrame(const Frame& f, std::uint16_t id, std::uint16_t second, const Bytes& payload) {
    EXPECT_EQ(f.start, 0xFF00AA55u);
    EXPECT_EQ(f.size, payload.size() + 20);
    EXPECT_EQ(f.reserved, 0u);
    EXPECT_EQ(f.id, id);
    EXPECT_EQ(f.second, second);
    EXPECT_EQ(f.payload, payload);
    EXPECT_EQ(f.stop, 0x55AA00FFu);
}

Bytes pattern(std::size_t length, std::uint8_t first = 1) {
    Bytes out(length);
    std::iota(out.begin(), out.end(), first);
    return out;
}

class MessageQueueTest : public ::testing::Test {
protected:
    MessageQueueTest() { queue.Enable(); }

    Frame takeOne() {
        const std::size_t n = queue.TakeFramed(buffer.data(), buffer.size());
        EXPECT_NE(n, 0u);
        return decode(buffer.data(), n);
    }

    test::LogCapture log;
    CMessageQueue queue{4};
    Bytes buffer = Bytes(4096);
};

// --- storage of copied payloads -------------------------------------------

struct CopyCase {
    const char* name;
    std::size_t length;
    bool heap;
};

std::ostream& operator<<(std::ostream& os, const CopyCase& c) {
    return os << c.name;
}

class MessageQueueCopy : public MessageQueueTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(MessageQueueCopy, StoresPrivateCopyAndFramesIt) {
    const CopyCase& c = GetParam();
    Bytes source = pattern(c.length, 0x40);
    const Bytes original = source;

    ASSERT_TRUE(queue.PostCopy(0x0123, 0x4567, source.data(), source.size()));
    const auto head = queue.PeekHead();
    ASSERT_TRUE(head.has_value());
    EXPECT_EQ(head->type, 0x45670123u);
    EXPECT_EQ(head->length, c.length);
    EXPECT_EQ(head->owned, c.heap);
    EXPECT_NE(head->data, source.data());

    std::fill(source.begin(), source.end(), 0xEE); // the caller may reuse its buffer at once
    expectFrame(takeOne(), 0x0123, 0x4567, original);
    EXPECT_FALSE(queue.HasPending());
}

INSTANTIATE_TEST_SUITE_P(Sizes, MessageQueueCopy,
                         ::testing::Values(CopyCase{"Empty", 0, false},
                                           CopyCase{"OneByte", 1, false},
                                           CopyCase{"TenBytesInline", 10, false},
                                           CopyCase{"ElevenBytesOnHeap", 11, true},
                                           CopyCase{"Large", 3000, true}),
                         [](const auto& p) { return std::string(p.param.name); });

// --- the four post forms ----------------------------------------------------

enum class Form { CopyIdSecond, CopyType, RefIdSecond, RefType };

struct FormCase {
    const char* name;
    Form form;
    bool reference;
};

std::ostream& operator<<(std::ostream& os, const FormCase& c) {
    return os << c.name;
}

class MessageQueueForms : public MessageQueueTest,
                          public ::testing::WithParamInterface<FormCase> {};

TEST_P(MessageQueueForms, TypeCarriesIdLowAndSecondHigh) {
    Bytes data = pattern(16);
    const std::uint16_t id = 0xBEEF;
    const std::uint16_t second = 0x8001;
    const std::uint32_t type = 0x8001BEEF;
    bool posted = false;
    switch (GetParam().form) {
    case Form::CopyIdSecond:
        posted = queue.PostCopy(id, second, data.data(), data.size());
        break;
    case Form::CopyType:
        posted = queue.PostCopy(type, data.data(), data.size());
        break;
    case Form::RefIdSecond:
        posted = queue.PostRef(id, second, data.data(), data.size());
        break;
    case Form::RefType:
        posted = queue.PostRef(type, data.data(), data.size());
        break;
    }
    ASSERT_TRUE(posted);
    ASSERT_EQ(queue.PeekHead()->data == data.data(), GetParam().reference);

    // A reference sends what the memory holds when the record goes out.
    data[0] = 0x99;
    Bytes expected = pattern(16);
    if (GetParam().reference) {
        expected[0] = 0x99;
    }
    expectFrame(takeOne(), id, second, expected);
}

INSTANTIATE_TEST_SUITE_P(All, MessageQueueForms,
                         ::testing::Values(FormCase{"CopyIdSecond", Form::CopyIdSecond, false},
                                           FormCase{"CopyType", Form::CopyType, false},
                                           FormCase{"RefIdSecond", Form::RefIdSecond, true},
                                           FormCase{"RefType", Form::RefType, true}),
                         [](const auto& p) { return std::string(p.param.name); });

// --- taking out -------------------------------------------------------------

TEST_F(MessageQueueTest, TakeNeedsRoomForWholeFrame) {
    const Bytes payload = pattern(33);
    ASSERT_TRUE(queue.PostCopy(7, 0, payload.data(), payload.size()));
    std::fill(buffer.begin(), buffer.end(), 0xCC);

    EXPECT_EQ(queue.TakeFramed(buffer.data(), payload.size() + 19), 0u);
    EXPECT_TRUE(queue.HasPending());
    EXPECT_EQ(buffer[0], 0xCC) << "nothing may be written when the frame does not fit";

    ASSERT_EQ(queue.TakeFramed(buffer.data(), payload.size() + 20), payload.size() + 20);
    expectFrame(decode(buffer.data(), payload.size() + 20), 7, 0, payload);
    EXPECT_EQ(buffer[payload.size() + 20], 0xCC);
    EXPECT_FALSE(queue.HasPending());
}

TEST_F(MessageQueueTest, TakeFromEmptyQueueWritesNothing) {
    EXPECT_FALSE(queue.HasPending());
    EXPECT_FALSE(queue.PeekHead().has_value());
    EXPECT_EQ(queue.TakeFramed(buffer.data(), buffer.size()), 0u);
}

TEST_F(MessageQueueTest, FramesLeaveInPostOrder) {
    const std::size_t lengths[] = {0, 10, 11, 2, 100, 10, 12, 1, 50};
    std::size_t used = 0;
    std::size_t next = 0;
    // More messages than slots: post and take in turns, batching frames into one buffer.
    for (std::size_t posted = 0; posted < std::size(lengths); ++posted) {
        const Bytes payload = pattern(lengths[posted], static_cast<std::uint8_t>(posted));
        ASSERT_TRUE(
            queue.PostCopy(static_cast<std::uint16_t>(posted), 0, payload.data(), payload.size()));
        if (queue.PendingCount() == queue.Capacity() || posted + 1 == std::size(lengths)) {
            while (const std::size_t n =
                       queue.TakeFramed(buffer.data() + used, buffer.size() - used)) {
                used += n;
            }
        }
    }
    for (std::size_t at = 0; at < used; ++next) {
        const Frame f = decode(buffer.data() + at, used - at);
        ASSERT_LT(next, std::size(lengths));
        expectFrame(f, static_cast<std::uint16_t>(next), 0,
                    pattern(lengths[next], static_cast<std::uint8_t>(next)));
        at += f.size;
    }
    EXPECT_EQ(next, std::size(lengths));
}

TEST_F(MessageQueueTest, LargestFramePayloadAcceptedOneMoreRefused) {
    const std::size_t largest = wire::kMaxFrameSize - wire::kFrameOverhead;
    const Bytes big(largest + 1, 0x5A);

    EXPECT_FALSE(queue.PostRef(9, 0, big.data(), largest + 1));
    EXPECT_FALSE(queue.HasPending());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].rfind("ERROR: ", 0), 0u) << log.lines()[0];

    ASSERT_TRUE(queue.PostCopy(9, 0, big.data(), largest));
    Bytes frame(wire::kMaxFrameSize);
    ASSERT_EQ(queue.TakeFramed(frame.data(), frame.size()), wire::kMaxFrameSize);
    expectFrame(decode(frame.data(), frame.size()), 9, 0, Bytes(largest, 0x5A));
}

// --- ring positions and the full ring --------------------------------------

TEST_F(MessageQueueTest, WritePositionWrapsAfterCapacityPosts) {
    const std::uint8_t byte = 1;
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(queue.WriteSlotIndex(), 0u);
        for (std::size_t i = 0; i < queue.Capacity(); ++i) {
            ASSERT_TRUE(queue.PostCopy(1, 0, &byte, 1));
            EXPECT_EQ(queue.WriteSlotIndex(), (i + 1) % queue.Capacity());
        }
        EXPECT_EQ(queue.PendingCount(), queue.Capacity());
        while (queue.TakeFramed(buffer.data(), buffer.size()) != 0) {
        }
        EXPECT_EQ(queue.ReadSlotIndex(), 0u);
        EXPECT_EQ(queue.PendingCount(), 0u);
    }
}

TEST_F(MessageQueueTest, FullRingRefusesWithWarningAndKeepsPendingRecords) {
    // Start mid-ring so the refused post would land on the oldest record.
    const std::uint8_t filler = 0;
    ASSERT_TRUE(queue.PostCopy(99, 0, &filler, 1));
    ASSERT_NE(queue.TakeFramed(buffer.data(), buffer.size()), 0u);

    std::vector<Bytes> payloads;
    for (std::uint16_t i = 0; i < queue.Capacity(); ++i) {
        payloads.push_back(pattern(5u + 4u * i, static_cast<std::uint8_t>(0x10 * i)));
        ASSERT_TRUE(queue.PostCopy(i, 0, payloads.back().data(), payloads.back().size()));
    }
    log.clear();

    const Bytes extra = pattern(20, 0xA0);
    EXPECT_FALSE(queue.PostCopy(0x0777, 0, extra.data(), extra.size()));
    EXPECT_FALSE(queue.PostRef(0x0778, 0, extra.data(), extra.size()));
    ASSERT_EQ(log.lines().size(), 2u);
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.rfind("WARNING: ", 0), 0u) << line;
    }
    EXPECT_TRUE(log.contains("1911")) << "names the dropped message ID";

    for (std::uint16_t i = 0; i < queue.Capacity(); ++i) {
        expectFrame(takeOne(), i, 0, payloads[i]);
    }
    EXPECT_FALSE(queue.HasPending());

    // Room again after taking out.
    EXPECT_TRUE(queue.PostCopy(0x0777, 0, extra.data(), extra.size()));
    expectFrame(takeOne(), 0x0777, 0, extra);
}

// --- enabling ----------------------------------------------------------------

struct DisabledCase {
    const char* name;
    bool enableThenDisable;
};

std::ostream& operator<<(std::ostream& os, const DisabledCase& c) {
    return os << c.name;
}

class MessageQueueDisabled : public ::testing::TestWithParam<DisabledCase> {};

TEST_P(MessageQueueDisabled, PostsAreDroppedSilently) {
    test::LogCapture log;
    CMessageQueue queue(4);
    int hookCalls = 0;
    queue.SetPostHook([&] { ++hookCalls; });
    if (GetParam().enableThenDisable) {
        queue.Enable();
        queue.DisableAndClear();
    }
    const Bytes small = pattern(4);
    const Bytes large = pattern(40);

    EXPECT_FALSE(queue.IsEnabled());
    EXPECT_FALSE(queue.PostCopy(1, 0, small.data(), small.size()));
    EXPECT_FALSE(queue.PostCopy(0x00010002u, large.data(), large.size()));
    EXPECT_FALSE(queue.PostRef(3, 0, large.data(), large.size()));
    EXPECT_FALSE(queue.PostRef(0x00010004u, small.data(), small.size()));
    EXPECT_FALSE(queue.HasPending());
    EXPECT_EQ(queue.WriteSlotIndex(), 0u);
    EXPECT_EQ(hookCalls, 0);
    EXPECT_TRUE(log.lines().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, MessageQueueDisabled,
                         ::testing::Values(DisabledCase{"NeverEnabled", false},
                                           DisabledCase{"Disabled", true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(MessageQueueTest, DisableAndClearDropsPendingRecordsUntilEnabledAgain) {
    const Bytes small = pattern(3);
    const Bytes large = pattern(64);
    ASSERT_TRUE(queue.PostCopy(1, 0, small.data(), small.size()));
    ASSERT_TRUE(queue.PostCopy(2, 0, large.data(), large.size())); // freed by the clear
    ASSERT_TRUE(queue.PostRef(3, 0, large.data(), large.size()));

    queue.DisableAndClear();
    EXPECT_FALSE(queue.HasPending());
    EXPECT_EQ(queue.TakeFramed(buffer.data(), buffer.size()), 0u);
    EXPECT_FALSE(queue.PostCopy(4, 0, small.data(), small.size()));

    queue.Enable();
    ASSERT_TRUE(queue.PostCopy(5, 0, large.data(), large.size()));
    expectFrame(takeOne(), 5, 0, large);
}

TEST(MessageQueue, DestructionFreesPendingHeapCopies) {
    // A leak shows up under AddressSanitizer.
    CMessageQueue local(3);
    local.Enable();
    const Bytes large = pattern(200);
    ASSERT_TRUE(local.PostCopy(1, 0, large.data(), large.size()));
    ASSERT_TRUE(local.PostCopy(2, 0, large.data(), 11));
}

// --- wake-up hook --------------------------------------------------------------

TEST_F(MessageQueueTest, PostHookRunsOncePerAcceptedPost) {
    int calls = 0;
    std::size_t pendingSeenByHook = 0;
    queue.SetPostHook([&] {
        ++calls;
        pendingSeenByHook = queue.PendingCount();
    });
    const std::uint8_t byte = 0;

    for (std::size_t i = 0; i < queue.Capacity(); ++i) {
        ASSERT_TRUE(queue.PostCopy(1, 0, &byte, 1));
    }
    EXPECT_EQ(calls, queue.Capacity());
    EXPECT_EQ(pendingSeenByHook, queue.Capacity()) << "the hook runs after the record is visible";

    EXPECT_FALSE(queue.PostCopy(1, 0, &byte, 1)); // full
    EXPECT_EQ(calls, queue.Capacity());

    queue.SetPostHook(nullptr);
    ASSERT_NE(queue.TakeFramed(buffer.data(), buffer.size()), 0u);
    EXPECT_TRUE(queue.PostCopy(1, 0, &byte, 1));
    EXPECT_EQ(calls, queue.Capacity());
}

} // namespace
} // namespace mirx
