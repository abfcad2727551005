#pragma once

#include "model/bit_set.h"
#include "model/label_table.h"
#include "model/membership_records.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The group membership view as plain data: the members read from a fetched
// record (and what could not be read), the clients offered beside them, the
// edits, and the record built to go back.

namespace mirx::model {

inline constexpr const char* kMembershipUnreadable =
    "This membership could not be read whole (%1). It is shown as far as it could be read "
    "and cannot be saved.";
inline constexpr const char* kMembershipListFull =
    "The membership holds %1 entries, the most one record can carry.";
inline constexpr const char* kMembershipDuplicate = "%1 is already a member with that mode.";

// "Talk Only", "Listen Only", "Talk and Listen"; empty for another code.
const char* membershipModeText(std::uint8_t mode);

// A client index of local system 0 or a label number: what a member may be.
constexpr bool isMemberReference(int reference) {
    return (reference >= 0 && reference < static_cast<int>(kClientsPerSystem)) ||
           isLabelNumber(reference);
}

constexpr bool isMembershipMode(int mode) {
    return mode >= static_cast<int>(MembershipMode::Talk) &&
           mode <= static_cast<int>(MembershipMode::TalkAndListen);
}

struct MemberRow {
    // Label reference; a client index for a local client.
    std::int16_t member = kNoLabel;
    std::uint8_t mode = static_cast<std::uint8_t>(MembershipMode::TalkAndListen);
    // The entry's bytes after the mode, carried with the membership they
    // came with; zero for a new one.
    std::array<std::uint8_t, 7> rest{};
    friend bool operator==(const MemberRow&, const MemberRow&) = default;
};

struct MembershipReading {
    std::vector<MemberRow> rows;
    // Why the record cannot go back as read; empty when read whole.
    std::vector<std::string> problems;
    bool whole() const { return problems.empty(); }
};

// The members of a party line record in record order. Entries whose member
// is -1 are left out (and dropped on save). An entry with a member that is
// neither a client index nor a label number, or with an unknown mode, is
// left out and named in the problems; so is a refusal of the answer, whose
// readable part `record` then is.
MembershipReading readPartyLineMembers(const PartyLineMembership& record, std::string_view refusal);
// One row per set bit, in client order.
MembershipReading readFixedGroupMembers(const ClientBitSet& set, std::string_view refusal);

// One client offered for membership.
struct CandidateRow {
    int clientIndex = -1;
    int labelNumber = kNoLabel;
    // Modes it may get, as MembershipMode bits: 3 all.
    int allowedModes = 3;
    std::string type;
    std::string name;
    std::string description;
};

// Clients of local system 0 in label order, less RTS trunks and, for a
// party line, control panels. Members stay in the list.
std::vector<CandidateRow> membershipCandidates(const LabelTable& labels, bool partyLine);
// Columns: 0 type and 1 name case-blind, 2 description by character code;
// ties by client index.
int compareCandidates(const CandidateRow& a, const CandidateRow& b, int column);
// Whether a candidate may be added with `mode`.
constexpr bool candidateAllows(const CandidateRow& row, MembershipMode mode) {
    return mode == MembershipMode::TalkAndListen ? row.allowedModes == 3
                                                 : (row.allowedModes & static_cast<int>(mode)) != 0;
}

// The member's name as the member list shows it.
std::string memberName(const LabelTable& labels, const MemberRow& row, bool partyLine);

enum class MemberInsert : std::uint8_t { Added, Full, Duplicate };

// The member rows of the view and its edits.
class MemberList {
public:
    explicit MemberList(bool partyLine)
        : partyLine_(partyLine) {}

    bool partyLine() const { return partyLine_; }
    const std::vector<MemberRow>& rows() const { return rows_; }
    void assign(std::vector<MemberRow> rows) { rows_ = std::move(rows); }
    // Entries one record can carry.
    std::size_t capacity() const;

    // Inserts before `position` (out of range: at the end); `inserted` gets
    // the row's position. Refused when the record is full, or when the same
    // membership (the same client, with the same mode on a party line) is
    // already there.
    MemberInsert insert(int position, MemberRow row, int& inserted);
    // Removes the row; returns the row to select next (the one now at that
    // position, or the new last), -1 when none is left or out of range.
    int remove(int position);
    void clear() { rows_.clear(); }
    // By the shown name, case-blind; rows of equal names keep their order.
    void sortByName(const LabelTable& labels);

private:
    bool partyLine_;
    std::vector<MemberRow> rows_;
};

// The record to send: the head and one entry per row, in row order.
PartyLineMembership partyLineRecord(std::uint16_t partyLine, std::span<const MemberRow> rows);
// The set to send: one bit per row's client.
ClientBitSet fixedGroupSet(std::span<const MemberRow> rows);

} // namespace mirx::model
