#include "model/membership_store.h"

#include "core/debug_log.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace mirx::model {

bool MembershipStore::ReceivePartyLineMembership(std::span<const std::uint8_t> payload) {
    log::print("{-}: Processing ADMIN_PARTY_LINE_MEMBERSHIP_RESPONSE");
    partyLine_ = PartyLineMembership{};
    partyLineReadable_ = PartyLineMembership{};
    partyLineRefusal_.clear();
    char why[160] = {};
    if (payload.size() < PartyLineMembership::kHeadSize) {
        std::snprintf(why, sizeof why,
                      "the party line membership answer holds %zu bytes, too few for its head",
                      payload.size());
    } else {
        const std::size_t count = payload[2] | (std::size_t{payload[3]} << 8);
        const std::size_t expected = PartyLineMembership::entryOffset(count);
        if (count > PartyLineMembership::kMaxEntries) {
            std::snprintf(why, sizeof why,
                          "the party line membership answer counts %zu entries, more than %zu",
                          count, PartyLineMembership::kMaxEntries);
        } else if (payload.size() != expected) {
            std::snprintf(why, sizeof why,
                          "the party line membership answer holds %zu bytes where its %zu "
                          "entries need %zu",
                          payload.size(), count, expected);
        }
    }
    if (why[0] != '\0') {
        partyLineRefusal_ = why;
        keepReadablePart(payload);
        log::print("{-}: ERROR: %s; refused", why);
        raise(membershipResponse_);
        return false;
    }
    partyLine_.assignPrefix(payload);
    raise(membershipResponse_);
    return true;
}

void MembershipStore::keepReadablePart(std::span<const std::uint8_t> payload) {
    using P = PartyLineMembership;
    if (payload.size() < P::kHeadSize) {
        return;
    }
    const std::size_t declared = payload[2] | (std::size_t{payload[3]} << 8);
    const std::size_t present = (payload.size() - P::kHeadSize) / P::kEntrySize;
    const std::size_t whole = std::min({declared, present, P::kMaxEntries});
    partyLineReadable_.assignPrefix(payload.first(P::entryOffset(whole)));
    partyLineReadable_.set(P::kEntryCount, whole);
}

bool MembershipStore::ReceiveFixedGroupMembership(std::span<const std::uint8_t> payload) {
    log::print("{-}: Processing ADMIN_FIXED_GROUP_MEMBERSHIP_RESPONSE");
    const bool stored = receiveSet(MembershipSet::FixedGroup, "fixed group membership", payload);
    raise(membershipResponse_);
    return stored;
}

bool MembershipStore::ReceiveBlockedListen(std::span<const std::uint8_t> payload) {
    log::print("{-}: Processing ADMIN_BLOCKED_LISTEN_RESPONSE");
    const bool stored = receiveSet(MembershipSet::BlockedListen, "blocked listen", payload);
    raise(blockedListenResponse_);
    return stored;
}

bool MembershipStore::ReceiveForcedListen(std::span<const std::uint8_t> payload) {
    log::print("{-}: Processing ADMIN_FORCED_LISTEN_RESPONSE");
    const bool stored = receiveSet(MembershipSet::ForcedListen, "forced listen", payload);
    raise(forcedListenResponse_);
    return stored;
}

bool MembershipStore::receiveSet(MembershipSet which, const char* name,
                                 std::span<const std::uint8_t> payload) {
    ClientBitSet& set = bits(which);
    std::string& refusal = refusalOf(which);
    set.clearAll();
    refusal.clear();
    if (payload.size() != ClientBitSet::byteSize()) {
        char why[128];
        std::snprintf(why, sizeof why, "the %s answer holds %zu bytes, not the %zu of a set", name,
                      payload.size(), ClientBitSet::byteSize());
        refusal = why;
        log::print("{-}: ERROR: %s; refused", why);
        return false;
    }
    set.assignPrefix(payload);
    return true;
}

const std::string& MembershipStore::setRefusal(MembershipSet which) const {
    switch (which) {
    case MembershipSet::FixedGroup:
        return fixedGroupRefusal_;
    case MembershipSet::BlockedListen:
        return blockedListenRefusal_;
    case MembershipSet::ForcedListen:
        break;
    }
    return forcedListenRefusal_;
}

std::string MembershipStore::partyLineAnswerProblem(std::uint16_t requestedPartyLine) const {
    if (!partyLineRefusal_.empty()) {
        return partyLineRefusal_;
    }
    const std::uint16_t answered = partyLine_.get(PartyLineMembership::kPartyLine);
    if (answered != requestedPartyLine) {
        return "the membership answer is for party line label " + std::to_string(answered) +
               ", not the requested " + std::to_string(requestedPartyLine);
    }
    return {};
}

std::string& MembershipStore::refusalOf(MembershipSet which) {
    return const_cast<std::string&>(std::as_const(*this).setRefusal(which));
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
