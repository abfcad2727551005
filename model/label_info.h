#pragma once

#include "model/record.h"

#include <cstddef>
#include <cstdint>

// The label: one nameable thing of the intercom system (a local client, party
// line or fixed group, an RTS resource or a Delec channel entry). The server
// sends one `LabelInfo` per label and gets the whole record back after every
// edit; the console's label table holds these records as they are.

namespace mirx::model {

// --- Capacities, fixed at build time ---

inline constexpr std::size_t kLabelSlots = 20000;
inline constexpr std::int16_t kFirstLabelNumber = 10000;
inline constexpr std::int16_t kLastLabelNumber = 29999;
inline constexpr std::size_t kLabelNumberCount = kLastLabelNumber - kFirstLabelNumber + 1;

inline constexpr std::size_t kLocalSystems = 32;
inline constexpr std::size_t kClientsPerSystem = 1000;
inline constexpr std::size_t kPartyLinesPerSystem = 200;
inline constexpr std::size_t kFixedGroupsPerSystem = 100;

inline constexpr std::size_t kRtsSystems = 255;
inline constexpr std::size_t kRtsLabelTypes = 9;
inline constexpr std::size_t kEntriesPerRtsLabelType = 1000;

inline constexpr std::size_t kDelecSystems = 6;
inline constexpr std::size_t kDelecChannels = 64;
inline constexpr std::size_t kEntriesPerDelecChannel = 200;

static_assert(kLabelNumberCount == kLabelSlots);

enum class SystemClass : std::uint8_t { Local = 0, Rts = 1, Delec = 2 };

// Label kind of a local label. For an RTS label the same byte holds the RTS
// label type (0..8), for a Delec label the channel (0..63).
enum class LabelKind : std::uint8_t { Client = 0, PartyLine = 1, FixedGroup = 2 };

// --- Label references ---
// Every record that points at a label holds a signed 16-bit reference:
// -1 none, 0..9999 a client index of local system 0 (resolved through that
// system's client map), 10000..29999 a label number.

inline constexpr std::int16_t kNoLabel = -1;

constexpr bool isLabelNumber(int reference) {
    return reference >= kFirstLabelNumber && reference <= kLastLabelNumber;
}

constexpr bool isClientIndexReference(int reference) {
    return reference >= 0 && reference < kFirstLabelNumber;
}

// Position of a label number in the number map; the caller checks
// isLabelNumber() first.
constexpr std::size_t numberMapPosition(int labelNumber) {
    return static_cast<std::size_t>(labelNumber - kFirstLabelNumber);
}

// The label number after `labelNumber`, wrapping from the last to the first.
constexpr std::int16_t nextLabelNumberAfter(int labelNumber) {
    return labelNumber >= kLastLabelNumber ? kFirstLabelNumber
                                           : static_cast<std::int16_t>(labelNumber + 1);
}

// --- The record ---

struct LabelInfo : rec::Record<300> {
    // -1 marks a free slot of the table.
    static constexpr rec::Scalar<std::int16_t> kLabelNumber{0};
    static constexpr rec::Scalar<std::uint8_t> kSystemClass{2};
    // 0-based; shown 1-based.
    static constexpr rec::Scalar<std::uint8_t> kSystemNumber{3};
    static constexpr rec::Scalar<std::uint8_t> kLabelKind{4};
    // Clients only.
    static constexpr rec::Scalar<std::uint8_t> kClientType{5};
    static constexpr rec::Scalar<std::int16_t> kIndex{6};
    static constexpr rec::Bytes kReserved8{8, 6};
    static constexpr rec::Utf16Text kDescription{14, 51};
    // The selector name.
    static constexpr rec::Utf16Text kTalkListenName{116, 21};
    static constexpr rec::Utf16Text kListenOnlyName{158, 21};
    static constexpr rec::Utf16Text kExternalLongName{200, 21};
    static constexpr rec::Utf16Text kExternalShortName{242, 9};
    static constexpr rec::Scalar<std::uint8_t> kSelectorFlags{260};
    // Non-zero: the label counts as restricted.
    static constexpr rec::Scalar<std::uint8_t> kAssignmentRestrictions{261};
    static constexpr rec::Bytes kReserved262{262, 2};
    // Colour values 0x00BBGGRR, groups only; both 0 means no colour.
    static constexpr rec::Scalar<std::uint32_t> kTextColour{264};
    static constexpr rec::Scalar<std::uint32_t> kBackgroundColour{268};
    static constexpr rec::Bytes kReserved272{272, 8};
    static constexpr rec::Scalar<std::uint8_t> kClientFlags{280};
    // Low nibble: the privilege level; the high nibble is carried.
    static constexpr rec::Scalar<std::uint8_t> kAdminPrivileges{281};
    // Template links hold label references. A client is a template for a kind
    // of settings when its own field for that kind holds its own label number.
    static constexpr rec::Scalar<std::int16_t> kSelectorAssignmentsTemplate{282};
    static constexpr rec::Scalar<std::int16_t> kAudioSettingsTemplate{284};
    static constexpr rec::Scalar<std::int16_t> kOptionsTemplate{286};
    // Not interpreted; -1 on every client the console creates.
    static constexpr rec::Scalar<std::int16_t> kFourthLink{288};
    // 0-based (entered and shown 1-based); -1 none.
    static constexpr rec::Scalar<std::int16_t> kRtsFunctionNumber{290};
    // Function type code; kNoRtsFunctionType none.
    static constexpr rec::Scalar<std::uint8_t> kRtsFunctionType{292};
    static constexpr rec::Bytes kReserved293{293, 7};

    static constexpr std::int16_t kFreeSlot = -1;
    static constexpr std::int16_t kNoRtsFunctionNumber = -1;
    static constexpr std::uint8_t kNoRtsFunctionType = 255;

    // Bits of kSelectorFlags; the others are carried.
    static constexpr unsigned kLatchDisableTalkBit = 0;
    static constexpr unsigned kLoginDisabledBit = 1;

    // Bits of kAssignmentRestrictions.
    static constexpr unsigned kNoLocalAssignmentByAdminBit = 0;
    static constexpr unsigned kNoLocalAssignmentByUserBit = 1;
    static constexpr unsigned kNoRemoteAssignmentByAdminBit = 2;
    static constexpr unsigned kNoRemoteAssignmentByUserBit = 3;

    // Bits of kClientFlags; bit 7 is carried.
    static constexpr unsigned kPartyLineOperationBit = 0;
    static constexpr unsigned kAllowAnonymousLoginBit = 1;
    static constexpr unsigned kAlwaysShowSelectorOfflineBit = 2;
    static constexpr unsigned kIfbDestinationBit = 3;
    static constexpr unsigned kIsoDestinationBit = 4;
    static constexpr unsigned kMultiplePartyLinesBit = 5;
    static constexpr unsigned kDomainAuthenticationBit = 6;

    // Levels in the low nibble of kAdminPrivileges.
    static constexpr std::uint8_t kPrivilegeNone = 0;
    static constexpr std::uint8_t kPrivilegeMaster = 1;
    static constexpr std::uint8_t kPrivilegeStandard = 2;
    static constexpr std::uint8_t kPrivilegeLevelMask = 0x0F;

    std::uint8_t privilegeLevel() const { return get(kAdminPrivileges) & kPrivilegeLevelMask; }
    void setPrivilegeLevel(std::uint8_t level) {
        const auto kept = static_cast<std::uint8_t>(get(kAdminPrivileges) & ~kPrivilegeLevelMask);
        set(kAdminPrivileges, kept | (level & kPrivilegeLevelMask));
    }
};

static_assert(rec::fits(LabelInfo::kLabelNumber, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kSystemClass, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kSystemNumber, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kLabelKind, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kClientType, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kIndex, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kReserved8, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kDescription, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kTalkListenName, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kListenOnlyName, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kExternalLongName, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kExternalShortName, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kSelectorFlags, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kAssignmentRestrictions, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kReserved262, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kTextColour, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kBackgroundColour, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kReserved272, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kClientFlags, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kAdminPrivileges, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kSelectorAssignmentsTemplate, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kAudioSettingsTemplate, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kOptionsTemplate, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kFourthLink, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kRtsFunctionNumber, LabelInfo::kSize));
static_assert(rec::fits(LabelInfo::kRtsFunctionType, LabelInfo::kSize));
static_assert(rec::endOf(LabelInfo::kReserved293) == LabelInfo::kSize);

} // namespace mirx::model
