#pragma once

#include "core/message_ids.h"
#include "model/bit_set.h"
#include "model/client_store.h"
#include "model/membership_records.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

// The single buffers behind every read-modify-write of group membership and
// listen rules: post a request, wait for its response flag, change the
// buffer, post the update with the request's second value. One buffer per
// kind of record, so only one cycle per kind may be in progress. The caller
// serialises access to the buffers; only the flags are read without that
// lock.

namespace mirx::model {

// The three client sets.
enum class MembershipSet {
    FixedGroup,    // bit i: client i belongs to the fixed group last fetched
    BlockedListen, // bit i: the client last fetched does not hear client i
    ForcedListen,  // bit i: the client last fetched always hears client i
};

class MembershipStore {
public:
    static constexpr std::size_t kMaxPartyLineBytes = PartyLineMembership::kSize;

    MembershipStore() = default;
    MembershipStore(const MembershipStore&) = delete;
    MembershipStore& operator=(const MembershipStore&) = delete;

    // --- receiving (connection thread); true when the record was stored ---

    // A record longer than the buffer is refused and raises no flag.
    bool ReceivePartyLineMembership(std::span<const std::uint8_t> payload);
    // The sets take at most their own size; a longer payload is cut.
    bool ReceiveFixedGroupMembership(std::span<const std::uint8_t> payload);
    bool ReceiveBlockedListen(std::span<const std::uint8_t> payload);
    bool ReceiveForcedListen(std::span<const std::uint8_t> payload);

    // --- response flags: true once per arrival ---

    // Shared by party lines and fixed groups: whoever takes it first owns
    // the answer.
    bool TakeMembershipResponse() { return take(membershipResponse_); }
    bool TakeBlockedListenResponse() { return take(blockedListenResponse_); }
    bool TakeForcedListenResponse() { return take(forcedListenResponse_); }

    // --- the buffers ---

    const PartyLineMembership& partyLine() const { return partyLine_; }
    PartyLineMembership& partyLine() { return partyLine_; }
    const ClientBitSet& bits(MembershipSet which) const;
    ClientBitSet& bits(MembershipSet which);

    // --- changes ---

    // False, with nothing changed, when that member already has that mode
    // or the record is full. The new entry's seven trailing bytes are
    // whatever the slot held.
    bool AddPartyLineMember(std::int16_t member, MembershipMode mode);
    // Moves the last entry into the gap, so the order is not kept. False
    // when there is no such membership.
    bool RemovePartyLineMember(std::int16_t member, MembershipMode mode);
    // Rewrites member and mode of the first entries.size() slots and the
    // count; the trailing bytes of each slot stay. False, with nothing
    // changed, when the record cannot hold them all.
    bool SetPartyLineEntries(std::span<const PartyLineEntry> entries);

    // --- what to post ---

    // The head and the counted entries.
    OutgoingRecord PartyLineUpdate(std::uint16_t partyLine) const;
    // The whole set; `second` is the fixed group or the listening client.
    OutgoingRecord SetUpdate(MembershipSet which, std::uint16_t second) const;

private:
    static bool take(std::atomic<bool>& flag) {
        return flag.exchange(false, std::memory_order_acquire);
    }
    static void raise(std::atomic<bool>& flag) { flag.store(true, std::memory_order_release); }

    PartyLineMembership partyLine_;
    ClientBitSet fixedGroup_;
    ClientBitSet blockedListen_;
    ClientBitSet forcedListen_;

    std::atomic<bool> membershipResponse_{false};
    std::atomic<bool> blockedListenResponse_{false};
    std::atomic<bool> forcedListenResponse_{false};
};

} // namespace mirx::model
