#include "model/group_membership.h"

#include "model/typed_text.h"

#include <algorithm>
#include <string>

namespace mirx::model {
namespace {

using L = LabelInfo;
using P = PartyLineMembership;

int compareInts(int a, int b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

std::string badMember(std::size_t entry, int member) {
    return "entry " + std::to_string(entry + 1) + " names " + std::to_string(member) +
           ", neither a client index nor a label number";
}

std::string badMode(std::size_t entry, int mode) {
    return "entry " + std::to_string(entry + 1) + " has the unknown mode " + std::to_string(mode);
}

} // namespace

const char* membershipModeText(std::uint8_t mode) {
    switch (mode) {
    case static_cast<std::uint8_t>(MembershipMode::Talk):
        return "Talk Only";
    case static_cast<std::uint8_t>(MembershipMode::Listen):
        return "Listen Only";
    case static_cast<std::uint8_t>(MembershipMode::TalkAndListen):
        return "Talk and Listen";
    default:
        return "";
    }
}

MembershipReading readPartyLineMembers(const PartyLineMembership& record,
                                       std::string_view refusal) {
    MembershipReading reading;
    if (!refusal.empty()) {
        reading.problems.emplace_back(refusal);
    }
    for (std::size_t k = 0; k < record.entryCount(); ++k) {
        const PartyLineEntry entry = record.entry(k);
        if (entry.member == kNoLabel) {
            continue;
        }
        if (!isMemberReference(entry.member)) {
            reading.problems.push_back(badMember(k, entry.member));
            continue;
        }
        if (!isMembershipMode(entry.mode)) {
            reading.problems.push_back(badMode(k, entry.mode));
            continue;
        }
        MemberRow row{entry.member, entry.mode, {}};
        const auto rest = record.get(P::entryRest(k));
        std::copy(rest.begin(), rest.end(), row.rest.begin());
        reading.rows.push_back(row);
    }
    return reading;
}

MembershipReading readFixedGroupMembers(const ClientBitSet& set, std::string_view refusal) {
    MembershipReading reading;
    if (!refusal.empty()) {
        reading.problems.emplace_back(refusal);
    }
    for (int client = 0; client < static_cast<int>(ClientBitSet::kBits); ++client) {
        if (set.test(client)) {
            reading.rows.push_back({static_cast<std::int16_t>(client),
                                    static_cast<std::uint8_t>(MembershipMode::TalkAndListen),
                                    {}});
        }
    }
    return reading;
}

std::vector<CandidateRow> membershipCandidates(const LabelTable& labels, bool partyLine) {
    std::vector<CandidateRow> rows;
    int reference = kNoLabel;
    for (std::size_t visited = 0;
         visited < kClientsPerSystem &&
         labels.Next(reference, static_cast<int>(LabelKind::Client), false) != kNoLabel;
         ++visited) {
        const LabelInfo* label = labels.Find(reference);
        if (label == nullptr || labels.IsRtsTrunk(reference) ||
            (partyLine && labels.IsControlPanel(reference))) {
            continue;
        }
        CandidateRow row;
        row.clientIndex = label->get(L::kIndex);
        row.labelNumber = reference;
        row.type = LabelTable::ClientTypeName(label->get(L::kClientType), false);
        row.name = labels.DisplayName(reference);
        row.description = labels.Description(reference);
        rows.push_back(std::move(row));
    }
    return rows;
}

int compareCandidates(const CandidateRow& a, const CandidateRow& b, int column) {
    int result = 0;
    switch (column) {
    case 0:
        result = compareCaseBlind(a.type, b.type);
        break;
    case 1:
        result = compareCaseBlind(a.name, b.name);
        break;
    default: {
        const int c = a.description.compare(b.description);
        result = c < 0 ? -1 : (c > 0 ? 1 : 0);
        break;
    }
    }
    return result != 0 ? result : compareInts(a.clientIndex, b.clientIndex);
}

std::string memberName(const LabelTable& labels, const MemberRow& row, bool partyLine) {
    if (!partyLine) {
        return labels.DisplayName(row.member);
    }
    switch (row.mode) {
    case static_cast<std::uint8_t>(MembershipMode::Talk):
        return labels.SelectorName(row.member, 2, true);
    case static_cast<std::uint8_t>(MembershipMode::Listen):
        return labels.SelectorName(row.member, 1, true);
    default:
        return labels.DisplayName(row.member);
    }
}

std::size_t MemberList::capacity() const {
    return partyLine_ ? P::kMaxEntries : ClientBitSet::kBits;
}

MemberInsert MemberList::insert(int position, MemberRow row, int& inserted) {
    const bool taken = std::any_of(rows_.begin(), rows_.end(), [&](const MemberRow& r) {
        return r.member == row.member && (!partyLine_ || r.mode == row.mode);
    });
    if (taken) {
        return MemberInsert::Duplicate;
    }
    if (rows_.size() >= capacity()) {
        return MemberInsert::Full;
    }
    if (!partyLine_) {
        row.mode = static_cast<std::uint8_t>(MembershipMode::TalkAndListen);
    }
    const bool inside = position >= 0 && static_cast<std::size_t>(position) < rows_.size();
    inserted = inside ? position : static_cast<int>(rows_.size());
    rows_.insert(rows_.begin() + inserted, row);
    return MemberInsert::Added;
}

int MemberList::remove(int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= rows_.size()) {
        return -1;
    }
    rows_.erase(rows_.begin() + position);
    if (rows_.empty()) {
        return -1;
    }
    return std::min(position, static_cast<int>(rows_.size()) - 1);
}

void MemberList::sortByName(const LabelTable& labels) {
    std::vector<std::pair<std::string, MemberRow>> named;
    named.reserve(rows_.size());
    for (const MemberRow& row : rows_) {
        named.emplace_back(memberName(labels, row, partyLine_), row);
    }
    std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
        return compareCaseBlind(a.first, b.first) < 0;
    });
    for (std::size_t i = 0; i < named.size(); ++i) {
        rows_[i] = named[i].second;
    }
}

PartyLineMembership partyLineRecord(std::uint16_t partyLine, std::span<const MemberRow> rows) {
    PartyLineMembership record;
    record.set(P::kPartyLine, partyLine);
    const std::size_t count = std::min(rows.size(), P::kMaxEntries);
    for (std::size_t k = 0; k < count; ++k) {
        record.setEntry(k, {rows[k].member, rows[k].mode});
        const auto rest = record.view().subspan(P::entryRest(k).offset, P::entryRest(k).size);
        std::copy(rows[k].rest.begin(), rows[k].rest.end(), rest.begin());
    }
    record.set(P::kEntryCount, count);
    return record;
}

ClientBitSet fixedGroupSet(std::span<const MemberRow> rows) {
    ClientBitSet set;
    for (const MemberRow& row : rows) {
        set.setBit(row.member);
    }
    return set;
}

} // namespace mirx::model
