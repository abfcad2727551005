#include "core/message_queue.h"

#include "core/debug_log.h"
#include "core/wire_frame.h"

#include <cstring>
#include <utility>

namespace mirx {
namespace {

constexpr std::size_t kMaxPayload = wire::kMaxFrameSize - wire::kFrameOverhead;

std::uint32_t makeType(std::uint16_t id, std::uint16_t second) {
    return (static_cast<std::uint32_t>(second) << 16) | id;
}

unsigned messageIdOf(std::uint32_t type) {
    return type & 0xFFFFu;
}

} // namespace

CMessageQueue::CMessageQueue(std::uint16_t capacity)
    : capacity_(capacity)
    , slots_(std::make_unique<Slot[]>(capacity)) {}

CMessageQueue::~CMessageQueue() {
    const std::uint64_t end = write_.load(std::memory_order_acquire);
    for (std::uint64_t pos = read_.load(std::memory_order_relaxed); pos != end; ++pos) {
        release(slots_[slotIndex(pos)]);
    }
}

void CMessageQueue::Enable() {
    std::lock_guard lock(lock_);
    enabled_.store(true, std::memory_order_relaxed);
}

void CMessageQueue::DisableAndClear() {
    // Under the lock: a post that saw the queue enabled has finished filling
    // its slot before we clear, and none can follow.
    std::lock_guard lock(lock_);
    enabled_.store(false, std::memory_order_relaxed);
    const std::uint64_t end = write_.load(std::memory_order_relaxed);
    std::uint64_t pos = read_.load(std::memory_order_relaxed);
    for (; pos != end; ++pos) {
        release(slots_[slotIndex(pos)]);
    }
    read_.store(pos, std::memory_order_release);
}

bool CMessageQueue::IsEnabled() const {
    return enabled_.load(std::memory_order_relaxed);
}

bool CMessageQueue::PostCopy(std::uint16_t id, std::uint16_t second, const void* data,
                             std::size_t length) {
    return post(makeType(id, second), data, length, Storage::Copy);
}

bool CMessageQueue::PostCopy(std::uint32_t type, const void* data, std::size_t length) {
    return post(type, data, length, Storage::Copy);
}

bool CMessageQueue::PostRef(std::uint16_t id, std::uint16_t second, const void* data,
                            std::size_t length) {
    return post(makeType(id, second), data, length, Storage::Reference);
}

bool CMessageQueue::PostRef(std::uint32_t type, const void* data, std::size_t length) {
    return post(type, data, length, Storage::Reference);
}

void CMessageQueue::SetPostHook(std::function<void()> hook) {
    auto shared = hook ? std::make_shared<const std::function<void()>>(std::move(hook)) : nullptr;
    std::lock_guard lock(lock_);
    hook_ = std::move(shared);
}

bool CMessageQueue::post(std::uint32_t type, const void* data, std::size_t length,
                         Storage storage) {
    if (!enabled_.load(std::memory_order_relaxed)) {
        return false;
    }
    if (length > kMaxPayload) {
        log::print("ERROR: Message queue refused message ID %u: payload of %zu bytes exceeds the "
                   "largest frame payload (%zu bytes)",
                   messageIdOf(type), length, kMaxPayload);
        return false;
    }
    if (length != 0 && data == nullptr) {
        log::print("ERROR: Message queue refused message ID %u: no data for %zu bytes",
                   messageIdOf(type), length);
        return false;
    }

    // Copied before taking the lock so producers do not wait on the allocator.
    std::unique_ptr<std::uint8_t[]> block;
    if (storage == Storage::Copy && length > kInlineCapacity) {
        block = std::make_unique_for_overwrite<std::uint8_t[]>(length);
        std::memcpy(block.get(), data, length);
    }

    std::shared_ptr<const std::function<void()>> hook;
    bool full = false;
    {
        std::lock_guard lock(lock_);
        if (!enabled_.load(std::memory_order_relaxed)) {
            return false;
        }
        const std::uint64_t pos = write_.load(std::memory_order_relaxed);
        full = pos - read_.load(std::memory_order_acquire) >= capacity_;
        if (!full) {
            Slot& slot = slots_[slotIndex(pos)];
            slot.type = type;
            slot.length = static_cast<std::uint32_t>(length);
            if (storage == Storage::Reference) {
                slot.data = static_cast<const std::uint8_t*>(data);
                slot.owned = 0;
            } else if (block) {
                slot.data = block.release();
                slot.owned = 1;
            } else {
                if (length != 0) {
                    std::memcpy(slot.inlineData, data, length);
                }
                slot.data = slot.inlineData;
                slot.owned = 0;
            }
            write_.store(pos + 1, std::memory_order_release);
            hook = hook_;
        }
    }
    if (full) {
        log::print("WARNING: Message queue full (%u slots) ... message ID %u dropped",
                   static_cast<unsigned>(capacity_), messageIdOf(type));
        return false;
    }
    if (hook) {
        (*hook)();
    }
    return true;
}

bool CMessageQueue::HasPending() const {
    return read_.load(std::memory_order_acquire) != write_.load(std::memory_order_acquire);
}

std::size_t CMessageQueue::TakeFramed(std::uint8_t* dest, std::size_t room) {
    const std::uint64_t pos = read_.load(std::memory_order_relaxed);
    if (pos == write_.load(std::memory_order_acquire)) {
        return 0;
    }
    Slot& slot = slots_[slotIndex(pos)];
    const std::size_t written =
        wire::writeFrame(dest, room, static_cast<std::uint16_t>(slot.type),
                         static_cast<std::uint16_t>(slot.type >> 16), slot.data, slot.length);
    if (written == 0) {
        return 0; // stays at the head until a later pass has room
    }
    release(slot);
    read_.store(pos + 1, std::memory_order_release);
    return written;
}

std::optional<CMessageQueue::Record> CMessageQueue::PeekHead() const {
    const std::uint64_t pos = read_.load(std::memory_order_relaxed);
    if (pos == write_.load(std::memory_order_acquire)) {
        return std::nullopt;
    }
    const Slot& slot = slots_[slotIndex(pos)];
    return Record{slot.type, slot.length, slot.data, slot.owned != 0};
}

std::size_t CMessageQueue::PendingCount() const {
    // read first: it can only have grown by the time write is loaded
    const std::uint64_t taken = read_.load(std::memory_order_acquire);
    return static_cast<std::size_t>(write_.load(std::memory_order_acquire) - taken);
}

std::size_t CMessageQueue::WriteSlotIndex() const {
    return slotIndex(write_.load(std::memory_order_acquire));
}

std::size_t CMessageQueue::ReadSlotIndex() const {
    return slotIndex(read_.load(std::memory_order_acquire));
}

void CMessageQueue::release(Slot& slot) {
    if (slot.owned != 0) {
        delete[] slot.data;
    }
    slot.data = nullptr;
    slot.owned = 0;
    slot.length = 0;
    slot.type = kTakenType;
}

std::size_t CMessageQueue::slotIndex(std::uint64_t position) const {
    return capacity_ == 0 ? 0 : static_cast<std::size_t>(position % capacity_);
}

} // namespace mirx
