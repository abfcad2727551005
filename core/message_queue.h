#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace mirx {

// A fixed ring of outgoing messages: any thread posts, the connection thread
// takes each record out as one complete frame.
//
// - Starts disabled; posts to a disabled queue are dropped silently and
//   return false, so nothing piles up while no connection sends.
// - A post never overwrites an unsent record and never blocks: when all
//   Capacity() records are pending it is refused with a "WARNING: " line.
// - A payload too long for any frame is refused with an "ERROR: " line; it
//   would otherwise sit at the head for ever.
// - Payloads of up to kInlineCapacity bytes are copied into the slot; longer
//   copies get a heap block of exactly their length, freed when taken out.
//   PostRef stores the caller's pointer: that memory must stay valid and
//   unchanged until the record was taken out.
//
// Threads: producers are serialised by a mutex. Exactly one consumer calls
// TakeFramed() and DisableAndClear(), without the lock; positions are 64-bit
// counters that only grow, published with release/acquire.
class CMessageQueue {
public:
    static constexpr std::size_t kInlineCapacity = 10;
    static constexpr std::uint32_t kTakenType = 0xFFFFFFFF;

    // What the head record holds, for inspection by the consumer.
    struct Record {
        std::uint32_t type = kTakenType;
        std::uint32_t length = 0;
        const std::uint8_t* data = nullptr;
        bool owned = false; // data is a heap block of the queue
    };

    explicit CMessageQueue(std::uint16_t capacity);
    ~CMessageQueue();

    CMessageQueue(const CMessageQueue&) = delete;
    CMessageQueue& operator=(const CMessageQueue&) = delete;

    void Enable();
    // Consumer thread: stops accepting posts, then drops every pending record.
    void DisableAndClear();
    bool IsEnabled() const;

    // type = (second << 16) | id, as in the frame header. True when queued.
    bool PostCopy(std::uint16_t id, std::uint16_t second, const void* data, std::size_t length);
    bool PostCopy(std::uint32_t type, const void* data, std::size_t length);
    bool PostRef(std::uint16_t id, std::uint16_t second, const void* data, std::size_t length);
    bool PostRef(std::uint32_t type, const void* data, std::size_t length);

    // Called after every accepted post, outside the lock and on the posting
    // thread, so the consumer can sleep in poll() and be woken (e.g. by a
    // write to an eventfd). Set it before enabling the queue: a post already
    // in flight may still call the previous hook.
    void SetPostHook(std::function<void()> hook);

    bool HasPending() const;

    // Consumer thread: writes the head record as one frame into `dest` and
    // takes it out. Returns the frame size, or 0 with nothing taken when the
    // queue is empty or `room` is smaller than the frame.
    std::size_t TakeFramed(std::uint8_t* dest, std::size_t room);

    // Consumer thread: the head record, if any, left in place.
    std::optional<Record> PeekHead() const;

    std::uint16_t Capacity() const { return capacity_; }
    std::size_t PendingCount() const;
    std::size_t WriteSlotIndex() const;
    std::size_t ReadSlotIndex() const;

private:
    struct Slot {
        std::uint32_t type = kTakenType;
        std::uint32_t length = 0;
        const std::uint8_t* data = nullptr;
        std::uint8_t owned = 0;
        std::uint8_t inlineData[kInlineCapacity] = {};
    };

    enum class Storage { Copy, Reference };

    bool post(std::uint32_t type, const void* data, std::size_t length, Storage storage);
    static void release(Slot& slot);
    std::size_t slotIndex(std::uint64_t position) const;

    const std::uint16_t capacity_;
    const std::unique_ptr<Slot[]> slots_;

    std::mutex lock_;
    // Written under lock_; the unlocked read only spares a copy when disabled.
    std::atomic<bool> enabled_{false};
    std::shared_ptr<const std::function<void()>> hook_; // guarded by lock_

    std::atomic<std::uint64_t> write_{0}; // records ever posted
    std::atomic<std::uint64_t> read_{0};  // records ever taken out
};

} // namespace mirx
