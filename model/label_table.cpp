#include "model/label_table.h"

#include "core/debug_log.h"
#include "core/utf16.h"
#include "model/client_types.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>

namespace mirx::model {
namespace {

constexpr int kLocal = static_cast<int>(SystemClass::Local);
constexpr int kRts = static_cast<int>(SystemClass::Rts);
constexpr int kDelec = static_cast<int>(SystemClass::Delec);
constexpr int kSystemClasses = 3;

constexpr int systemsOf(int systemClass) {
    switch (systemClass) {
    case kLocal:
        return static_cast<int>(kLocalSystems);
    case kRts:
        return static_cast<int>(kRtsSystems);
    case kDelec:
        return static_cast<int>(kDelecSystems);
    default:
        return 0;
    }
}

constexpr int kindsOf(int systemClass) {
    switch (systemClass) {
    case kLocal:
        return static_cast<int>(LabelTable::kLocalKinds);
    case kRts:
        return static_cast<int>(kRtsLabelTypes);
    case kDelec:
        return static_cast<int>(kDelecChannels);
    default:
        return 0;
    }
}

struct LocalBlock {
    bool present = false;
    std::array<std::int16_t, kClientsPerSystem> clients;
    std::array<std::int16_t, kPartyLinesPerSystem> partyLines;
    std::array<std::int16_t, kFixedGroupsPerSystem> fixedGroups;
    std::array<std::int16_t, LabelTable::kLocalKinds> highest;

    void reset() {
        present = false;
        clients.fill(kNoLabel);
        partyLines.fill(kNoLabel);
        fixedGroups.fill(kNoLabel);
        highest.fill(0);
    }
};

// An RTS system (kinds = label types) or a Delec system (kinds = channels).
template <std::size_t Kinds, std::size_t Entries>
struct RemoteBlock {
    bool present = false;
    std::array<std::array<std::int16_t, Entries>, Kinds> maps;
    std::array<std::int16_t, Kinds> highest;

    void reset() {
        present = false;
        for (auto& map : maps) {
            map.fill(kNoLabel);
        }
        highest.fill(0);
    }
};

using RtsBlock = RemoteBlock<kRtsLabelTypes, kEntriesPerRtsLabelType>;
using DelecBlock = RemoteBlock<kDelecChannels, kEntriesPerDelecChannel>;

// Map entries 0 and -1 both read as no label.
constexpr bool holdsLabel(int entry) {
    return entry != kNoLabel && entry != 0;
}

std::string cutTo(const char* text, std::size_t chars) {
    std::string out(text);
    if (out.size() > chars) {
        out.resize(chars);
    }
    return out;
}

} // namespace

struct LabelTable::Storage {
    std::array<LabelInfo, kLabelSlots> slots;
    // Slot index per label number, -1 for none.
    std::array<std::int16_t, kLabelNumberCount> numberMap;
    std::array<LocalBlock, kLocalSystems> local;
    std::array<RtsBlock, kRtsSystems> rts;
    std::array<DelecBlock, kDelecSystems> delec;
    std::array<SystemListEntry, kSystemListEntries> systemList;
    // List position per system class x 255 + system number, -1 for none.
    std::array<std::int16_t, kSystemLookupSize> systemLookup;
};

// One map of one kind of one system; entries == nullptr when out of range.
// The pointers are writable even from const members (the storage sits behind
// a pointer); only the editing members write through them.
struct LabelTable::KindMap {
    std::int16_t* entries = nullptr;
    int size = 0;
    std::int16_t* highest = nullptr;
    bool* present = nullptr;

    bool valid() const { return entries != nullptr; }
    bool holds(int index) const { return valid() && index >= 0 && index < size; }
};

LabelTable::LabelTable()
    : data_(std::make_unique<Storage>()) {
    data_->systemList.fill(emptySystemListEntry());
    data_->systemLookup.fill(-1);
    // Reset() clears only what was used since the last one; nothing is
    // cleared yet.
    for (auto& block : data_->local) {
        block.reset();
    }
    for (auto& block : data_->rts) {
        block.reset();
    }
    for (auto& block : data_->delec) {
        block.reset();
    }
    slotsUsed_ = kLabelSlots;
    Reset();
}

LabelTable::~LabelTable() = default;

void LabelTable::Reset() {
    // The tables are large (about 11 MB) and a download begins with a reset:
    // slots beyond slotsUsed_ and systems never marked present are still as
    // the last reset left them.
    Storage& d = *data_;
    for (std::size_t slot = 0; slot < slotsUsed_; ++slot) {
        d.slots[slot] = LabelInfo{};
        d.slots[slot].set(LabelInfo::kLabelNumber, LabelInfo::kFreeSlot);
    }
    d.numberMap.fill(-1);
    const auto resetPresent = [](auto& blocks) {
        for (auto& block : blocks) {
            if (block.present) {
                block.reset();
            }
        }
    };
    resetPresent(d.local);
    resetPresent(d.rts);
    resetPresent(d.delec);
    slotsUsed_ = 0;
    freeSlotHint_ = 0;
    clients_ = 0;
    partyLines_ = 0;
    fixedGroups_ = 0;
    nextLabelNumber_ = kFirstLabelNumber;
}

LabelTable::KindMap LabelTable::kindMap(int systemClass, int systemNumber, int kind) const {
    if (systemNumber < 0 || systemNumber >= systemsOf(systemClass) || kind < 0 ||
        kind >= kindsOf(systemClass)) {
        return {};
    }
    Storage& d = *data_;
    const auto sys = static_cast<std::size_t>(systemNumber);
    const auto k = static_cast<std::size_t>(kind);
    switch (systemClass) {
    case kLocal: {
        LocalBlock& b = d.local[sys];
        switch (static_cast<LabelKind>(kind)) {
        case LabelKind::Client:
            return {b.clients.data(), static_cast<int>(b.clients.size()), &b.highest[k],
                    &b.present};
        case LabelKind::PartyLine:
            return {b.partyLines.data(), static_cast<int>(b.partyLines.size()), &b.highest[k],
                    &b.present};
        case LabelKind::FixedGroup:
            return {b.fixedGroups.data(), static_cast<int>(b.fixedGroups.size()), &b.highest[k],
                    &b.present};
        }
        return {};
    }
    case kRts: {
        RtsBlock& b = d.rts[sys];
        return {b.maps[k].data(), static_cast<int>(b.maps[k].size()), &b.highest[k], &b.present};
    }
    case kDelec: {
        DelecBlock& b = d.delec[sys];
        return {b.maps[k].data(), static_cast<int>(b.maps[k].size()), &b.highest[k], &b.present};
    }
    default:
        return {};
    }
}

bool LabelTable::slotInUse(int slot) const {
    return data_->slots[static_cast<std::size_t>(slot)].get(LabelInfo::kLabelNumber) !=
           LabelInfo::kFreeSlot;
}

int LabelTable::slotOfNumber(int labelNumber) const {
    if (!isLabelNumber(labelNumber)) {
        return -1;
    }
    return data_->numberMap[numberMapPosition(labelNumber)];
}

int LabelTable::takeFreeSlot() {
    for (std::size_t slot = freeSlotHint_; slot < kLabelSlots; ++slot) {
        if (!slotInUse(static_cast<int>(slot))) {
            freeSlotHint_ = slot;
            slotsUsed_ = std::max(slotsUsed_, slot + 1);
            return static_cast<int>(slot);
        }
    }
    freeSlotHint_ = kLabelSlots;
    return -1;
}

void LabelTable::noteFreeSlot(int slot) {
    freeSlotHint_ = std::min(freeSlotHint_, static_cast<std::size_t>(slot));
}

void LabelTable::registerLabel(const LabelInfo& label) {
    // A record naming a system or index we have no room for stays findable
    // by number; it just takes no part in enumeration. A label already at
    // that position gives it up to the newer one (it too stays findable).
    const KindMap map =
        kindMap(label.get(LabelInfo::kSystemClass), label.get(LabelInfo::kSystemNumber),
                label.get(LabelInfo::kLabelKind));
    const int index = label.get(LabelInfo::kIndex);
    if (!map.holds(index)) {
        return;
    }
    *map.present = true;
    map.entries[index] = label.get(LabelInfo::kLabelNumber);
    if (index > *map.highest) {
        *map.highest = static_cast<std::int16_t>(index);
    }
}

void LabelTable::unregisterLabel(const LabelInfo& label) {
    const KindMap map =
        kindMap(label.get(LabelInfo::kSystemClass), label.get(LabelInfo::kSystemNumber),
                label.get(LabelInfo::kLabelKind));
    const int index = label.get(LabelInfo::kIndex);
    // The position may have been taken over by another label since.
    if (map.holds(index) && map.entries[index] == label.get(LabelInfo::kLabelNumber)) {
        map.entries[index] = kNoLabel;
    }
}

bool LabelTable::registeredAt(int labelNumber, int systemClass, int systemNumber, int kind,
                              int index) const {
    const int slot = slotOfNumber(labelNumber);
    if (slot < 0 || !slotInUse(slot)) {
        return false;
    }
    const LabelInfo& label = data_->slots[static_cast<std::size_t>(slot)];
    return label.get(LabelInfo::kSystemClass) == systemClass &&
           label.get(LabelInfo::kSystemNumber) == systemNumber &&
           label.get(LabelInfo::kLabelKind) == kind && label.get(LabelInfo::kIndex) == index;
}

void LabelTable::countLabel(const LabelInfo& label, int delta) {
    if (label.get(LabelInfo::kSystemClass) != kLocal || label.get(LabelInfo::kSystemNumber) != 0) {
        return;
    }
    std::uint16_t* counter = nullptr;
    switch (label.get(LabelInfo::kLabelKind)) {
    case static_cast<std::uint8_t>(LabelKind::Client):
        counter = &clients_;
        break;
    case static_cast<std::uint8_t>(LabelKind::PartyLine):
        counter = &partyLines_;
        break;
    case static_cast<std::uint8_t>(LabelKind::FixedGroup):
        counter = &fixedGroups_;
        break;
    default:
        return;
    }
    if (delta < 0 && *counter == 0) {
        return;
    }
    *counter = static_cast<std::uint16_t>(*counter + delta);
}

bool LabelTable::Store(std::uint16_t secondValue, std::span<const std::uint8_t> payload) {
    if (secondValue == kClearTable) {
        Reset();
        return true;
    }
    if (payload.size() > LabelInfo::kSize) {
        return false;
    }
    int number = kNoLabel;
    if (isLabelNumber(secondValue)) {
        number = secondValue;
    } else if (isClientIndexReference(secondValue)) {
        number = ClientLabelNumber(secondValue);
    }
    if (number == kNoLabel) {
        return false;
    }

    // The table owns the label number: a payload naming another one (or -1,
    // the free-slot mark) must not leave the number map pointing at a slot
    // that holds a different label.
    int slot = slotOfNumber(number);
    if (slot >= 0 && slotInUse(slot)) {
        LabelInfo& label = data_->slots[static_cast<std::size_t>(slot)];
        const LabelInfo before = label;
        label.assignPrefix(payload);
        label.set(LabelInfo::kLabelNumber, number);
        // Received again at another system, kind or index: the old position
        // lets go of it and the counters follow the kind.
        unregisterLabel(before);
        countLabel(before, -1);
        countLabel(label, +1);
        registerLabel(label);
        return true;
    }

    slot = takeFreeSlot();
    if (slot < 0) {
        log::print("%s", kTableFullMessage);
        return false;
    }
    LabelInfo& label = data_->slots[static_cast<std::size_t>(slot)];
    label = LabelInfo{};
    label.assignPrefix(payload);
    label.set(LabelInfo::kLabelNumber, number);
    countLabel(label, +1);
    data_->numberMap[numberMapPosition(number)] = static_cast<std::int16_t>(slot);
    if (number >= nextLabelNumber_) {
        nextLabelNumber_ = nextLabelNumberAfter(number);
    }
    registerLabel(label);
    return true;
}

int LabelTable::Create(int kind) {
    const KindMap map = kindMap(kLocal, 0, kind);
    if (!map.valid()) {
        return kNoLabel;
    }
    const auto* freeEntry =
        std::find_if(map.entries, map.entries + map.size, [](int e) { return !holdsLabel(e); });
    if (freeEntry == map.entries + map.size) {
        return kNoLabel;
    }
    const auto index = static_cast<int>(freeEntry - map.entries);

    // With every number taken this would never end: one full cycle is the
    // bound, and the next number is back where it started when it fails.
    int number = kNoLabel;
    int slot = -1;
    for (std::size_t tried = 0; tried < kLabelNumberCount; ++tried) {
        const int candidate = nextLabelNumber_;
        nextLabelNumber_ = nextLabelNumberAfter(candidate);
        const int held = slotOfNumber(candidate);
        if (held < 0 || !slotInUse(held)) {
            number = candidate;
            slot = held;
            break;
        }
    }
    if (number == kNoLabel) {
        log::print("%s", kTableFullMessage);
        return kNoLabel;
    }
    if (slot < 0) {
        slot = takeFreeSlot();
        if (slot < 0) {
            log::print("%s", kTableFullMessage);
            return kNoLabel;
        }
        data_->numberMap[numberMapPosition(number)] = static_cast<std::int16_t>(slot);
    }

    LabelInfo& label = data_->slots[static_cast<std::size_t>(slot)];
    label = LabelInfo{};
    label.set(LabelInfo::kLabelNumber, number);
    label.set(LabelInfo::kSystemClass, kLocal);
    label.set(LabelInfo::kSystemNumber, 0);
    label.set(LabelInfo::kLabelKind, kind);
    label.set(LabelInfo::kIndex, index);
    if (kind == static_cast<int>(LabelKind::Client)) {
        label.set(LabelInfo::kSelectorAssignmentsTemplate, kNoLabel);
        label.set(LabelInfo::kAudioSettingsTemplate, kNoLabel);
        label.set(LabelInfo::kOptionsTemplate, kNoLabel);
        label.set(LabelInfo::kFourthLink, kNoLabel);
        label.set(LabelInfo::kRtsFunctionNumber, LabelInfo::kNoRtsFunctionNumber);
        label.set(LabelInfo::kRtsFunctionType, LabelInfo::kNoRtsFunctionType);
    }
    registerLabel(label);
    countLabel(label, +1);
    return number;
}

bool LabelTable::Delete(int reference) {
    const int number = LabelNumber(reference);
    if (number == kNoLabel) {
        return false;
    }
    const int slot = slotOfNumber(number);
    LabelInfo& label = data_->slots[static_cast<std::size_t>(slot)];
    if (label.get(LabelInfo::kSystemClass) == kLocal && label.get(LabelInfo::kSystemNumber) == 0) {
        countLabel(label, -1);
        log::print("# of Clients: %d, # of PLs: %d, # of Fixed Groups: %d", int{clients_},
                   int{partyLines_}, int{fixedGroups_});
    }
    unregisterLabel(label);
    label = LabelInfo{};
    label.set(LabelInfo::kLabelNumber, LabelInfo::kFreeSlot);
    data_->numberMap[numberMapPosition(number)] = -1;
    noteFreeSlot(slot);
    return true;
}

int LabelTable::LabelNumber(int reference) const {
    int number = kNoLabel;
    if (isLabelNumber(reference)) {
        number = reference;
    } else if (isClientIndexReference(reference)) {
        number = ClientLabelNumber(reference);
    }
    if (number == kNoLabel) {
        return kNoLabel;
    }
    const int slot = slotOfNumber(number);
    return slot >= 0 && slotInUse(slot) ? number : kNoLabel;
}

int LabelTable::SlotIndex(int reference) const {
    const int number = LabelNumber(reference);
    return number == kNoLabel ? -1 : slotOfNumber(number);
}

const LabelInfo* LabelTable::Find(int reference) const {
    const int slot = SlotIndex(reference);
    return slot < 0 ? nullptr : &data_->slots[static_cast<std::size_t>(slot)];
}

LabelInfo* LabelTable::Find(int reference) {
    const int slot = SlotIndex(reference);
    return slot < 0 ? nullptr : &data_->slots[static_cast<std::size_t>(slot)];
}

int LabelTable::ClientLabelNumber(int clientIndex) const {
    if (clientIndex < 0 || static_cast<std::size_t>(clientIndex) >= kClientsPerSystem) {
        return kNoLabel;
    }
    const int entry = data_->local[0].clients[static_cast<std::size_t>(clientIndex)];
    return isLabelNumber(entry) ? entry : kNoLabel;
}

int LabelTable::Next(int& reference, int kind, bool all) const {
    int systemClass = kLocal;
    int systemNumber = 0;
    int index = 0;
    if (reference != kNoLabel) {
        const LabelInfo* from = Find(reference);
        reference = kNoLabel;
        if (from == nullptr) {
            return kNoLabel;
        }
        systemClass = from->get(LabelInfo::kSystemClass);
        systemNumber = from->get(LabelInfo::kSystemNumber);
        kind = from->get(LabelInfo::kLabelKind);
        index = std::max(0, from->get(LabelInfo::kIndex) + 1);
    }

    while (systemClass < kSystemClasses) {
        if (systemNumber >= systemsOf(systemClass)) {
            ++systemClass;
            systemNumber = 0;
            kind = 0;
            index = 0;
            continue;
        }
        // An absent system is passed over in both modes; the walk goes on
        // with the first kind of the next present one.
        if (!*kindMap(systemClass, systemNumber, 0).present) {
            ++systemNumber;
            kind = 0;
            index = 0;
            continue;
        }
        const KindMap map = kindMap(systemClass, systemNumber, kind);
        if (map.valid()) {
            for (; index <= *map.highest; ++index) {
                const int entry = map.entries[index];
                // Only a label whose record names this very position is
                // returned: the walk resumes from the record's position, so
                // each step moves strictly forward and every walk ends.
                if (holdsLabel(entry) &&
                    registeredAt(entry, systemClass, systemNumber, kind, index)) {
                    reference = entry;
                    return entry;
                }
            }
        }
        if (!all) {
            return kNoLabel;
        }
        ++kind;
        index = 0;
        if (kind >= kindsOf(systemClass)) {
            ++systemNumber;
            kind = 0;
        }
    }
    return kNoLabel;
}

int LabelTable::MapEntry(SystemClass systemClass, int systemNumber, int kind, int index) const {
    const KindMap map = kindMap(static_cast<int>(systemClass), systemNumber, kind);
    return map.holds(index) ? map.entries[index] : kNoLabel;
}

int LabelTable::HighestIndex(SystemClass systemClass, int systemNumber, int kind) const {
    const KindMap map = kindMap(static_cast<int>(systemClass), systemNumber, kind);
    return map.valid() ? *map.highest : -1;
}

bool LabelTable::IsSystemPresent(SystemClass systemClass, int systemNumber) const {
    const KindMap map = kindMap(static_cast<int>(systemClass), systemNumber, 0);
    return map.valid() && *map.present;
}

// --- texts ---

std::string LabelTable::LabelTypeName(int reference, bool longName) const {
    const LabelInfo* label = Find(reference);
    if (label == nullptr) {
        return kInvalidLabelType;
    }
    const int kind = label->get(LabelInfo::kLabelKind);
    switch (label->get(LabelInfo::kSystemClass)) {
    case kLocal:
        switch (kind) {
        case static_cast<int>(LabelKind::Client):
            return ClientTypeName(label->get(LabelInfo::kClientType), longName);
        case static_cast<int>(LabelKind::PartyLine):
            return "Party Line";
        case static_cast<int>(LabelKind::FixedGroup):
            return "Fixed Group";
        default:
            return kInvalidLabelType;
        }
    case kRts:
        return std::string(rtsLabelTypeName(kind).value_or(kInvalidLabelType));
    case kDelec: {
        char text[62];
        std::snprintf(text, sizeof text, "Delec Channel %d", kind + 1);
        return text;
    }
    default:
        return kInvalidLabelType;
    }
}

std::string LabelTable::FunctionTypeName(int code, bool shortName) {
    return std::string(shortName ? functionTypeShortName(code) : functionTypeComboName(code));
}

std::string LabelTable::ClientTypeName(int code, bool longName) {
    return std::string(clientTypeName(code, longName).value_or(kInvalidLabelType));
}

std::string LabelTable::Description(int reference) const {
    std::string text;
    AppendDescription(text, Find(reference));
    return text;
}

void LabelTable::AppendDescription(std::string& out, const LabelInfo* label) {
    if (label == nullptr) {
        out += kInvalidDescription;
    } else {
        label->appendTo(out, LabelInfo::kDescription);
    }
}

std::string LabelTable::DisplayName(int reference) const {
    std::string name;
    AppendDisplayName(name, Find(reference));
    return name;
}

void LabelTable::AppendDisplayName(std::string& out, const LabelInfo* label) {
    if (label == nullptr) {
        out += kNoLabelText;
        return;
    }
    for (const auto field : {LabelInfo::kTalkListenName, LabelInfo::kExternalLongName}) {
        if (!label->empty(field)) {
            label->appendTo(out, field);
            return;
        }
    }
    label->appendTo(out, LabelInfo::kExternalShortName);
}

std::string LabelTable::SelectorName(int reference, int selectorMode, bool withFallback) const {
    constexpr int kListenMode = 2;
    const LabelInfo* label = Find(reference);
    if (label == nullptr) {
        return kNoLabelText;
    }
    if (selectorMode == kListenMode) {
        std::string listenOnly = label->get(LabelInfo::kListenOnlyName);
        if (!listenOnly.empty() || !withFallback) {
            return listenOnly;
        }
    }
    return DisplayName(reference);
}

std::string LabelTable::LongLabel(int reference, bool withFallback) const {
    constexpr std::size_t kLongLabelChars = 8;
    const LabelInfo* label = Find(reference);
    if (label == nullptr) {
        return kNoLabelText;
    }
    std::string external = label->get(LabelInfo::kExternalLongName);
    if (!withFallback || !external.empty()) {
        return external;
    }
    std::string shortName = label->get(LabelInfo::kExternalShortName);
    if (!shortName.empty()) {
        return shortName;
    }
    std::string talk = label->get(LabelInfo::kTalkListenName);
    if (text::utf16Length(talk) <= kLongLabelChars) {
        return talk;
    }
    const int system = label->get(LabelInfo::kSystemNumber) + 1;
    const int index = label->get(LabelInfo::kIndex) + 1;
    char text[32];
    switch (label->get(LabelInfo::kLabelKind)) {
    case static_cast<int>(LabelKind::Client):
        std::snprintf(text, sizeof text, "M%02d:N%03d", system, index);
        break;
    case static_cast<int>(LabelKind::PartyLine):
        std::snprintf(text, sizeof text, "M%02d:PL%02d", system, index);
        break;
    case static_cast<int>(LabelKind::FixedGroup):
        std::snprintf(text, sizeof text, "M%02d:GP%02d", system, index);
        break;
    default:
        return {};
    }
    return cutTo(text, kLongLabelChars);
}

std::string LabelTable::ShortLabel(int reference, bool withFallback) const {
    constexpr std::size_t kShortLabelChars = 4;
    const LabelInfo* label = Find(reference);
    if (label == nullptr) {
        return kNoLabelText;
    }
    std::string external = label->get(LabelInfo::kExternalShortName);
    if (!withFallback || !external.empty()) {
        return external;
    }
    std::string talk = label->get(LabelInfo::kTalkListenName);
    if (text::utf16Length(talk) <= kShortLabelChars) {
        return talk;
    }
    if (label->get(LabelInfo::kSystemClass) != kLocal) {
        return {};
    }
    const int index = label->get(LabelInfo::kIndex) + 1;
    char text[16];
    switch (label->get(LabelInfo::kLabelKind)) {
    case static_cast<int>(LabelKind::Client):
        std::snprintf(text, sizeof text, "N%03d", index);
        break;
    case static_cast<int>(LabelKind::PartyLine):
        std::snprintf(text, sizeof text, "PL%02d", index);
        break;
    case static_cast<int>(LabelKind::FixedGroup):
        std::snprintf(text, sizeof text, "GP%02d", index);
        break;
    default:
        return {};
    }
    return cutTo(text, kShortLabelChars);
}

// --- edits ---

template <typename T>
bool LabelTable::setField(int reference, rec::Scalar<T> field, T value) {
    LabelInfo* label = Find(reference);
    if (label == nullptr) {
        return false;
    }
    label->set(field, value);
    return true;
}

bool LabelTable::setText(int reference, rec::Utf16Text field, std::string_view text) {
    LabelInfo* label = Find(reference);
    if (label == nullptr) {
        return false;
    }
    label->set(field, text);
    return true;
}

bool LabelTable::SetDescription(int reference, std::string_view text) {
    return setText(reference, LabelInfo::kDescription, text);
}

bool LabelTable::SetTalkListenName(int reference, std::string_view text) {
    return setText(reference, LabelInfo::kTalkListenName, text);
}

bool LabelTable::SetListenOnlyName(int reference, std::string_view text) {
    return setText(reference, LabelInfo::kListenOnlyName, text);
}

bool LabelTable::SetExternalLongName(int reference, std::string_view text) {
    return setText(reference, LabelInfo::kExternalLongName, text);
}

bool LabelTable::SetExternalShortName(int reference, std::string_view text) {
    return setText(reference, LabelInfo::kExternalShortName, text);
}

bool LabelTable::SetLatchDisable(int reference, bool on) {
    LabelInfo* label = Find(reference);
    if (label == nullptr) {
        return false;
    }
    label->setBit(LabelInfo::kSelectorFlags, LabelInfo::kLatchDisableTalkBit, on);
    return true;
}

bool LabelTable::SetPartyLineOperation(int reference, bool on) {
    LabelInfo* label = Find(reference);
    if (label == nullptr) {
        return false;
    }
    label->setBit(LabelInfo::kClientFlags, LabelInfo::kPartyLineOperationBit, on);
    return true;
}

bool LabelTable::SetRestriction(int reference, unsigned bit, bool on) {
    LabelInfo* label = Find(reference);
    if (label == nullptr) {
        return false;
    }
    if (bit < 8 && label->testBit(LabelInfo::kAssignmentRestrictions, bit) != on) {
        label->setBit(LabelInfo::kAssignmentRestrictions, bit, on);
    }
    return true;
}

bool LabelTable::SetRtsFunctionType(int reference, std::uint8_t type) {
    return setField(reference, LabelInfo::kRtsFunctionType, type);
}

bool LabelTable::SetRtsFunctionNumber(int reference, std::int16_t number) {
    return setField(reference, LabelInfo::kRtsFunctionNumber, number);
}

bool LabelTable::SetSelectorAssignmentsTemplate(int reference, std::int16_t templateReference) {
    return setField(reference, LabelInfo::kSelectorAssignmentsTemplate, templateReference);
}

bool LabelTable::SetAudioSettingsTemplate(int reference, std::int16_t templateReference) {
    return setField(reference, LabelInfo::kAudioSettingsTemplate, templateReference);
}

bool LabelTable::SetOptionsTemplate(int reference, std::int16_t templateReference) {
    return setField(reference, LabelInfo::kOptionsTemplate, templateReference);
}

// --- client type classes ---

bool LabelTable::clientTypeIs(int reference, bool (*predicate)(int)) const {
    const LabelInfo* label = Find(reference);
    return label != nullptr && predicate(label->get(LabelInfo::kClientType));
}

bool LabelTable::IsControlPanel(int reference) const {
    return clientTypeIs(reference, isControlPanel);
}

bool LabelTable::IsDeviceInterface(int reference) const {
    return clientTypeIs(reference, isDeviceInterface);
}

bool LabelTable::IsSipDevice(int reference) const {
    return clientTypeIs(reference, isSipDevice);
}

bool LabelTable::IsVideoSource(int reference) const {
    return clientTypeIs(reference, isVideoSource);
}

bool LabelTable::IsRtsTrunk(int reference) const {
    return clientTypeIs(reference, isRtsTrunk);
}

// --- the system list ---

bool LabelTable::StoreSystemList(std::uint16_t count, std::span<const std::uint8_t> payload) {
    if (payload.size() > kSystemListBytes) {
        return false;
    }
    Storage& d = *data_;
    for (std::size_t i = 0; i * SystemListEntry::kSize < payload.size(); ++i) {
        d.systemList[i].assignPrefix(payload.subspan(i * SystemListEntry::kSize));
    }
    systemCount_ =
        std::min<std::size_t>({count, kSystemListEntries, payload.size() / SystemListEntry::kSize});
    for (std::size_t i = 0; i < systemCount_; ++i) {
        const SystemListEntry& entry = d.systemList[i];
        const std::uint8_t systemClass = entry.get(SystemListEntry::kSystemClass);
        const std::uint8_t systemNumber = entry.get(SystemListEntry::kSystemNumber);
        if (systemClass < kSystemClasses && systemNumber != SystemListEntry::kNoSystem) {
            d.systemLookup[systemLookupPosition(systemClass, systemNumber)] =
                static_cast<std::int16_t>(i);
        }
    }
    return true;
}

std::string LabelTable::SystemName(int systemClass, int systemNumber) const {
    if (systemClass < 0 || systemClass >= kSystemClasses || systemNumber < 0 ||
        systemNumber >= SystemListEntry::kNoSystem) {
        return {};
    }
    const Storage& d = *data_;
    const int position = d.systemLookup[systemLookupPosition(
        static_cast<std::uint8_t>(systemClass), static_cast<std::uint8_t>(systemNumber))];
    if (position < 0) {
        return {};
    }
    return d.systemList[static_cast<std::size_t>(position)].get(SystemListEntry::kName);
}

std::string LabelTable::LabelSystemName(int reference) const {
    const LabelInfo* label = Find(reference);
    if (label == nullptr) {
        return {};
    }
    return SystemName(label->get(LabelInfo::kSystemClass), label->get(LabelInfo::kSystemNumber));
}

SystemListEntry LabelTable::System(std::size_t position) const {
    return position < kSystemListEntries ? data_->systemList[position] : emptySystemListEntry();
}

} // namespace mirx::model
