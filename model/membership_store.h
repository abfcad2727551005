#pragma once

#include "core/message_ids.h"
#include "model/bit_set.h"
#include "model/client_store.h"
#include "model/membership_records.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

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

    // An answer is stored whole or not at all: a party line record must be
    // exactly 4 + 10 x its count bytes (count at most 1000), a set exactly
    // its 125 bytes. A refused answer still raises its flag, so the waiter
    // learns at once; the buffer is then emptied and the refusal says why.
    // Bytes of an earlier answer never survive into a later one.
    bool ReceivePartyLineMembership(std::span<const std::uint8_t> payload);
    bool ReceiveFixedGroupMembership(std::span<const std::uint8_t> payload);
    bool ReceiveBlockedListen(std::span<const std::uint8_t> payload);
    bool ReceiveForcedListen(std::span<const std::uint8_t> payload);

    // Why the last answer into that buffer was refused; empty when it was
    // stored (or none came yet).
    const std::string& partyLineRefusal() const { return partyLineRefusal_; }
    const std::string& setRefusal(MembershipSet which) const;
    // The whole entries a refused party line answer did hold (its head, and
    // as many entries as both its count and its length cover), so a view
    // can show what was sound. For showing only: never sent back. Empty
    // after an answer that was stored.
    const PartyLineMembership& partyLineReadablePart() const { return partyLineReadable_; }
    // Why the party line record must not be used for a cycle on
    // `requestedPartyLine`: its refusal, or an answer for another party line.
    // Empty when it may.
    std::string partyLineAnswerProblem(std::uint16_t requestedPartyLine) const;

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

    void keepReadablePart(std::span<const std::uint8_t> payload);
    bool receiveSet(MembershipSet which, const char* name, std::span<const std::uint8_t> payload);
    std::string& refusalOf(MembershipSet which);

    PartyLineMembership partyLine_;
    PartyLineMembership partyLineReadable_;
    ClientBitSet fixedGroup_;
    ClientBitSet blockedListen_;
    ClientBitSet forcedListen_;
    std::string partyLineRefusal_;
    std::string fixedGroupRefusal_;
    std::string blockedListenRefusal_;
    std::string forcedListenRefusal_;

    std::atomic<bool> membershipResponse_{false};
    std::atomic<bool> blockedListenResponse_{false};
    std::atomic<bool> forcedListenResponse_{false};
};

} // namespace mirx::model
