#pragma once

#include "model/record.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

// A client's ordered list of selectors (panel keys, or the automatic
// connections of a device without a panel): a 28-byte head followed by
// 10-byte entries. The server keeps one per client and one default record.

namespace mirx::model {

// One selector, or a layout mark when the label reference is -1.
struct SelectorEntry : rec::Record<10> {
    // Label reference of the assigned label; kLayoutEntry for a layout mark.
    static constexpr rec::Scalar<std::int16_t> kLabel{0};
    // A selector function for a label, a layout code for a layout mark.
    static constexpr rec::Scalar<std::uint8_t> kCode{2};
    static constexpr rec::Scalar<std::uint8_t> kFlags{3};
    // Key code; 0 = none.
    static constexpr rec::Scalar<std::uint8_t> kHotKey{4};
    static constexpr rec::Scalar<std::uint8_t> kHotKeyModifiers{5};
    // The low nibble is cleared for a new entry; the high nibble is carried.
    static constexpr rec::Scalar<std::uint8_t> kByte6{6};
    static constexpr rec::Bytes kKept{7, 3};

    static constexpr std::int16_t kLayoutEntry = -1;

    // Selector functions.
    static constexpr std::uint8_t kTalkOnly = 1;
    static constexpr std::uint8_t kListenOnly = 2;
    static constexpr std::uint8_t kSplitTalkListen = 3;

    // Layout codes.
    static constexpr std::uint8_t kSpacer = 0;
    static constexpr std::uint8_t kRowBreak = 1;
    static constexpr std::uint8_t kPageBreak = 2;
    static constexpr std::uint8_t kCallNotification = 4;

    // Bits of kFlags; bits 6 and 7 are carried.
    static constexpr unsigned kNotLatchableBit = 0;
    static constexpr unsigned kIfbBit = 1;
    static constexpr unsigned kIsoBit = 2;
    static constexpr unsigned kSpeakerDimOffBit = 3;
    static constexpr unsigned kAlwaysOnVisibleBit = 4;
    static constexpr unsigned kAlwaysOnInvisibleBit = 5;

    // Bits of kHotKeyModifiers; bits 3 to 7 are carried.
    static constexpr unsigned kAltBit = 0;
    static constexpr unsigned kCtrlBit = 1;
    static constexpr unsigned kShiftBit = 2;

    static constexpr std::uint8_t kByte6NewEntryClearMask = 0x0F;

    bool isLayout() const { return get(kLabel) == kLayoutEntry; }
};

static_assert(rec::fits(SelectorEntry::kLabel, SelectorEntry::kSize));
static_assert(rec::fits(SelectorEntry::kCode, SelectorEntry::kSize));
static_assert(rec::fits(SelectorEntry::kFlags, SelectorEntry::kSize));
static_assert(rec::fits(SelectorEntry::kHotKey, SelectorEntry::kSize));
static_assert(rec::fits(SelectorEntry::kHotKeyModifiers, SelectorEntry::kSize));
static_assert(rec::fits(SelectorEntry::kByte6, SelectorEntry::kSize));
static_assert(rec::endOf(SelectorEntry::kKept) == SelectorEntry::kSize);

// Activation methods of a client without a panel.
enum class ActivationMethod : std::uint8_t {
    OnThisClientConnect = 0,
    OnOtherClientDisconnect = 1,
    OnVoiceActivityDetection = 2,
    OnLogicInputActivation = 3,
    OnDtmfToneDetection = 4,
};

struct SelectorAssignments : rec::Record<11028> {
    static constexpr std::size_t kHeadSize = 28;
    static constexpr std::size_t kEntrySize = SelectorEntry::kSize;
    static constexpr std::size_t kMaxEntries = 1100;

    static constexpr rec::Scalar<std::uint8_t> kActivationMethod{0};
    static constexpr rec::Bytes kCarried1{1, 1};
    // The editor writes -1 whenever it stores an activation method.
    static constexpr rec::Scalar<std::int16_t> kActivationDetail{2};
    static constexpr rec::Scalar<std::uint8_t> kOptionBits{4};
    static constexpr rec::Bytes kCarried5{5, 17};
    // Entries that belong to the primary panel; 0 = no split.
    static constexpr rec::Scalar<std::int16_t> kSplitScreenPosition{22};
    static constexpr rec::Scalar<std::int16_t> kEntryCount{24};
    // Control panels only.
    static constexpr rec::Scalar<std::int16_t> kSelectorsPerRow{26};

    // Bit of kOptionBits; the others are carried.
    static constexpr unsigned kDefaultNonLatchableBit = 0;

    static constexpr std::size_t entryOffset(std::size_t k) { return kHeadSize + kEntrySize * k; }

    // A count outside 0..kMaxEntries is read as the nearest bound, so nothing
    // reads past the record.
    std::size_t entryCount() const {
        const int n = get(kEntryCount);
        return static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(kMaxEntries)));
    }

    // Bytes meaningful and sent.
    std::size_t wireLength() const { return entryOffset(entryCount()); }
    std::span<const std::uint8_t> wire() const { return view().first(wireLength()); }
    // The same on the wire: what lies past the entries does not count.
    bool sameWire(const SelectorAssignments& other) const {
        return std::ranges::equal(wire(), other.wire());
    }

    SelectorEntry entry(std::size_t k) const {
        SelectorEntry e;
        e.assignPrefix(view().subspan(entryOffset(k), kEntrySize));
        return e;
    }
    void setEntry(std::size_t k, const SelectorEntry& e) {
        std::memcpy(data() + entryOffset(k), e.data(), kEntrySize);
    }

    // Replaces the list: at most kMaxEntries entries, then the count.
    void assignEntries(std::span<const SelectorEntry> entries) {
        const std::size_t n = std::min(entries.size(), kMaxEntries);
        for (std::size_t k = 0; k < n; ++k) {
            setEntry(k, entries[k]);
        }
        set(kEntryCount, n);
    }
};

static_assert(rec::fits(SelectorAssignments::kActivationMethod, SelectorAssignments::kSize));
static_assert(rec::fits(SelectorAssignments::kCarried1, SelectorAssignments::kSize));
static_assert(rec::fits(SelectorAssignments::kActivationDetail, SelectorAssignments::kSize));
static_assert(rec::fits(SelectorAssignments::kOptionBits, SelectorAssignments::kSize));
static_assert(rec::fits(SelectorAssignments::kCarried5, SelectorAssignments::kSize));
static_assert(rec::fits(SelectorAssignments::kSplitScreenPosition, SelectorAssignments::kSize));
static_assert(rec::fits(SelectorAssignments::kEntryCount, SelectorAssignments::kSize));
static_assert(rec::endOf(SelectorAssignments::kSelectorsPerRow) == SelectorAssignments::kHeadSize);
static_assert(SelectorAssignments::entryOffset(SelectorAssignments::kMaxEntries) ==
              SelectorAssignments::kSize);

} // namespace mirx::model
