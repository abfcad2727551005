#include "model/membership_store.h"

#include "core/debug_log.h"

#include <utility>

namespace mirx::model {

bool MembershipStore::ReceivePartyLineMembership(std::span<const std::uint8_t> payload) {
    log::print("{-}: Processing ADMIN_PARTY_LINE_MEMBERSHIP_RESPONSE");
    if (payload.size() > kMaxPartyLineBytes) {
        return false;
    }
    partyLine_.assignPrefix(payload);
    raise(membershipResponse_);
    return true;
}

bool MembershipStore::ReceiveFixedGroupMembership(std::span<const std::uint8_t> payload) {
    log::print("{-}: Processing ADMIN_FIXED_GROUP_MEMBERSHIP_RESPONSE");
    fixedGroup_.assignPrefix(payload);
    raise(membershipResponse_);
    return true;
}

bool MembershipStore::ReceiveBlockedListen(std::span<const std::uint8_t> payload) {
    log::print("{-}: Processing ADMIN_BLOCKED_LISTEN_RESPONSE");
    blockedListen_.assignPrefix(payload);
    raise(blockedListenResponse_);
    return true;
}

bool MembershipStore::ReceiveForcedListen(std::span<const std::uint8_t> payload) {
    log::print("{-}: Processing ADMIN_FORCED_LISTEN_RESPONSE");
    forcedListen_.assignPrefix(payload);
    raise(forcedListenResponse_);
    return true;
}

const ClientBitSet& MembershipStore::bits(MembershipSet which) const {
    switch (which) {
    case MembershipSet::FixedGroup:
        return fixedGroup_;
    case MembershipSet::BlockedListen:
        return blockedListen_;
    case MembershipSet::ForcedListen:
        break;
    }
    return forcedListen_;
}

ClientBitSet& MembershipStore::bits(MembershipSet which) {
    return const_cast<ClientBitSet&>(std::as_const(*this).bits(which));
}

bool MembershipStore::AddPartyLineMember(std::int16_t member, MembershipMode mode) {
    const PartyLineEntry entry{member, static_cast<std::uint8_t>(mode)};
    return !partyLine_.findEntry(entry) && partyLine_.addEntry(entry);
}

bool MembershipStore::RemovePartyLineMember(std::int16_t member, MembershipMode mode) {
    const auto k = partyLine_.findEntry({member, static_cast<std::uint8_t>(mode)});
    return k && partyLine_.removeEntry(*k);
}

bool MembershipStore::SetPartyLineEntries(std::span<const PartyLineEntry> entries) {
    if (entries.size() > PartyLineMembership::kMaxEntries) {
        return false;
    }
    for (std::size_t k = 0; k < entries.size(); ++k) {
        partyLine_.setEntry(k, entries[k]);
    }
    partyLine_.set(PartyLineMembership::kEntryCount, entries.size());
    return true;
}

OutgoingRecord MembershipStore::PartyLineUpdate(std::uint16_t partyLine) const {
    const auto wire = partyLine_.wire();
    return {msg::ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE, partyLine, {wire.begin(), wire.end()}};
}

OutgoingRecord MembershipStore::SetUpdate(MembershipSet which, std::uint16_t second) const {
    std::uint16_t id = msg::ADMIN_FORCED_LISTEN_UPDATE;
    if (which == MembershipSet::FixedGroup) {
        id = msg::ADMIN_FIXED_GROUP_MEMBERSHIP_UPDATE;
    } else if (which == MembershipSet::BlockedListen) {
        id = msg::ADMIN_BLOCKED_LISTEN_UPDATE;
    }
    const auto bytes = bits(which).bytes();
    return {id, second, {bytes.begin(), bytes.end()}};
}

} // namespace mirx::model
