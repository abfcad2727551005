#pragma once

#include "model/bit_set.h"
#include "model/record.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

// Who belongs to a party line, as the server sends it and takes it back. A
// member and a mode together make one membership, so the same member may
// appear twice with different modes.

namespace mirx::model {

enum class MembershipMode : std::uint8_t { Talk = 1, Listen = 2, TalkAndListen = 3 };

struct PartyLineEntry {
    // Label reference; a client index for a local client.
    std::int16_t member;
    std::uint8_t mode;
    friend bool operator==(const PartyLineEntry&, const PartyLineEntry&) = default;
};

struct PartyLineMembership : rec::Record<10004> {
    static constexpr std::size_t kHeadSize = 4;
    static constexpr std::size_t kEntrySize = 10;
    static constexpr std::size_t kMaxEntries = 1000;

    // Label number of the party line.
    static constexpr rec::Scalar<std::uint16_t> kPartyLine{0};
    static constexpr rec::Scalar<std::uint16_t> kEntryCount{2};

    static constexpr std::size_t entryOffset(std::size_t k) { return kHeadSize + kEntrySize * k; }
    static constexpr rec::Scalar<std::int16_t> entryMember(std::size_t k) {
        return {entryOffset(k)};
    }
    static constexpr rec::Scalar<std::uint8_t> entryMode(std::size_t k) {
        return {entryOffset(k) + 2};
    }
    // Not ours to interpret: stored as received, sent back unchanged.
    static constexpr rec::Bytes entryRest(std::size_t k) { return {entryOffset(k) + 3, 7}; }

    // A count above the buffer's capacity is read as the capacity, so nothing
    // reads past the record.
    std::size_t entryCount() const {
        const std::size_t n = get(kEntryCount);
        return n < kMaxEntries ? n : kMaxEntries;
    }

    // Bytes meaningful and sent: the head and the first entryCount() entries.
    std::size_t wireLength() const { return entryOffset(entryCount()); }
    std::span<const std::uint8_t> wire() const { return view().first(wireLength()); }

    PartyLineEntry entry(std::size_t k) const { return {get(entryMember(k)), get(entryMode(k))}; }
    void setEntry(std::size_t k, PartyLineEntry e) {
        set(entryMember(k), e.member);
        set(entryMode(k), e.mode);
    }

    std::optional<std::size_t> findEntry(PartyLineEntry e) const {
        for (std::size_t k = 0; k < entryCount(); ++k) {
            if (entry(k) == e) {
                return k;
            }
        }
        return std::nullopt;
    }

    // Fills the next slot; its seven trailing bytes stay as they were. False
    // when the record is full.
    bool addEntry(PartyLineEntry e) {
        const std::size_t n = entryCount();
        if (n == kMaxEntries) {
            return false;
        }
        setEntry(n, e);
        set(kEntryCount, n + 1);
        return true;
    }

    // Moves the last entry, all ten bytes, into slot k; order is not kept.
    bool removeEntry(std::size_t k) {
        const std::size_t n = entryCount();
        if (k >= n) {
            return false;
        }
        if (k != n - 1) {
            std::memmove(data() + entryOffset(k), data() + entryOffset(n - 1), kEntrySize);
        }
        set(kEntryCount, n - 1);
        return true;
    }
};

static_assert(rec::fits(PartyLineMembership::kPartyLine, PartyLineMembership::kSize));
static_assert(rec::fits(PartyLineMembership::kEntryCount, PartyLineMembership::kSize));
static_assert(rec::endOf(PartyLineMembership::entryRest(PartyLineMembership::kMaxEntries - 1)) ==
              PartyLineMembership::kSize);

// The fixed group membership, blocked-listen and forced-listen sets.
inline constexpr std::size_t kFixedGroupSetBytes = ClientBitSet::byteSize();
static_assert(kFixedGroupSetBytes == 125);

} // namespace mirx::model
