#pragma once

#include "model/label_info.h"
#include "model/system_list.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// The console's mirror of the server's labels: a fixed table of LabelInfo
// records with the maps that resolve a label reference and enumerate labels
// in the one canonical order (local systems, then RTS, then Delec), plus the
// system list that names the systems.
//
// Everything is allocated once in the constructor. The table takes no lock:
// its owner serialises access (the connection thread stores, views read and
// edit). The label number, system, kind and index of a stored record belong
// to the table; edit them only through Store, Create and Delete.

namespace mirx::model {

class LabelTable {
public:
    // Second value of CONFIGURATION_DATA_LABEL that empties the table.
    static constexpr std::uint16_t kClearTable = 0xFFFF;
    static constexpr std::size_t kLocalKinds = 3;

    static constexpr const char* kNoLabelText = "NO LABEL";
    static constexpr const char* kInvalidDescription = "<Invalid>";
    static constexpr const char* kInvalidLabelType = "INVALID LABEL TYPE";
    static constexpr const char* kTableFullMessage =
        "***ERROR***: An unused LabelInfo entry was not found. Table capacity has been reached!";

    // Starts reset, with an empty system list.
    LabelTable();
    ~LabelTable();
    LabelTable(const LabelTable&) = delete;
    LabelTable& operator=(const LabelTable&) = delete;

    // --- the table ---

    // Every slot free, every map entry -1 (all of each RTS map, not only the
    // part the server uses today), every highest index 0, every system
    // absent, counters 0, next label number 10000. The system list stays.
    void Reset();

    // One CONFIGURATION_DATA_LABEL: kClearTable resets; otherwise the payload
    // (at most 300 bytes) is stored under the label number, or under the
    // label of that client index of local system 0 for a value below 10000.
    // False when nothing changed: oversized, unresolvable, or table full.
    bool Store(std::uint16_t secondValue, std::span<const std::uint8_t> payload);

    // A new label of kind 0/1/2 for the lowest free index of local system 0.
    // Returns its label number, or -1 when the kind is full or when every
    // label number is taken (the search stops after one full cycle).
    int Create(int kind);

    // Frees the label and its map entries; the highest indexes stay. False
    // when the reference does not resolve.
    bool Delete(int reference);

    // nullptr when the reference does not resolve to a label in use.
    const LabelInfo* Find(int reference) const;
    LabelInfo* Find(int reference);
    // Label number of a reference; -1 when it does not resolve.
    int LabelNumber(int reference) const;
    // Slot holding the label; -1 when it does not resolve.
    int SlotIndex(int reference) const;

    // Enumeration in canonical order, skipping map entries -1 and 0 and any
    // label whose record does not sit at the entry's position (each label is
    // visited once, at its own position, so every walk ends).
    // `reference` -1 starts at local system 0 with `kind`; otherwise the walk
    // resumes after that label, in its own kind. With `all` cleared the walk
    // ends with the kind it is in. Returns the label found (also left in
    // `reference`), or -1 with `reference` -1 at the end.
    int Next(int& reference, int kind, bool all) const;

    // Calls f(const LabelInfo&) for every label in canonical order.
    template <typename F>
    void ForEachLabel(F&& f) const {
        // Each label sits at one position, so no walk visits more labels
        // than the table holds; the bound guards against a broken map.
        int reference = kNoLabel;
        for (std::size_t visited = 0;
             visited < kLabelSlots &&
             Next(reference, static_cast<int>(LabelKind::Client), true) != kNoLabel;
             ++visited) {
            if (const LabelInfo* label = Find(reference)) {
                f(*label);
            }
        }
    }

    // Label number of a client of local system 0; -1 when there is none.
    int ClientLabelNumber(int clientIndex) const;

    // Label counters of local system 0.
    int ClientCount() const { return clients_; }
    int PartyLineCount() const { return partyLines_; }
    int FixedGroupCount() const { return fixedGroups_; }
    int NextLabelNumber() const { return nextLabelNumber_; }

    // The indexes beside the table: -1 for a position out of range.
    int MapEntry(SystemClass systemClass, int systemNumber, int kind, int index) const;
    int HighestIndex(SystemClass systemClass, int systemNumber, int kind) const;
    bool IsSystemPresent(SystemClass systemClass, int systemNumber) const;

    // --- texts ---
    // Each returns its own string. Formatting into one static buffer that the
    // next call overwrites is a known source of wrong names (two labels in
    // one expression read the same text), so no buffer is shared.

    std::string LabelTypeName(int reference, bool longName) const;
    // The combo-box name (with its leading blank) or the short name;
    // "INVALID FUNCTION TYPE" for a code not in the table.
    static std::string FunctionTypeName(int code, bool shortName = false);
    // kInvalidLabelType for a code not in the table.
    static std::string ClientTypeName(int code, bool longName);
    std::string Description(int reference) const;
    // The texts of a label already found (nullptr: none), appended to `out`.
    static void AppendDescription(std::string& out, const LabelInfo* label);
    static void AppendDisplayName(std::string& out, const LabelInfo* label);
    // Selector mode 2 is listen.
    std::string SelectorName(int reference, int selectorMode, bool withFallback) const;
    std::string DisplayName(int reference) const;
    std::string ShortLabel(int reference, bool withFallback) const;
    std::string LongLabel(int reference, bool withFallback) const;

    // --- edits: cut to the field, nothing for an unresolvable reference;
    // true when the label was found ---

    bool SetDescription(int reference, std::string_view text);
    bool SetTalkListenName(int reference, std::string_view text);
    bool SetListenOnlyName(int reference, std::string_view text);
    bool SetExternalLongName(int reference, std::string_view text);
    bool SetExternalShortName(int reference, std::string_view text);
    bool SetLatchDisable(int reference, bool on);
    bool SetPartyLineOperation(int reference, bool on);
    // Bit 0..7 of the assignment restrictions; other bits do nothing.
    bool SetRestriction(int reference, unsigned bit, bool on);
    bool SetRtsFunctionType(int reference, std::uint8_t type);
    bool SetRtsFunctionNumber(int reference, std::int16_t number);
    bool SetSelectorAssignmentsTemplate(int reference, std::int16_t templateReference);
    bool SetAudioSettingsTemplate(int reference, std::int16_t templateReference);
    bool SetOptionsTemplate(int reference, std::int16_t templateReference);

    // --- client type classes; false when the reference does not resolve ---

    bool IsControlPanel(int reference) const;
    bool IsDeviceInterface(int reference) const;
    bool IsSipDevice(int reference) const;
    bool IsVideoSource(int reference) const;
    bool IsRtsTrunk(int reference) const;

    // --- the system list ---

    // One CONFIGURATION_DATA_SYSTEM_LIST: more than 9600 bytes is ignored.
    // The count is bounded by the list and by the whole entries received.
    // Systems no longer listed keep their lookup entry.
    bool StoreSystemList(std::uint16_t count, std::span<const std::uint8_t> payload);
    // Empty when the list names no such system.
    std::string SystemName(int systemClass, int systemNumber) const;
    // The system name of a label; empty when none or unresolvable.
    std::string LabelSystemName(int reference) const;
    std::size_t SystemCount() const { return systemCount_; }
    // The entry at a list position, as received; an empty entry beyond the
    // 96 positions.
    SystemListEntry System(std::size_t position) const;

private:
    struct Storage;
    struct KindMap;

    KindMap kindMap(int systemClass, int systemNumber, int kind) const;
    int slotOfNumber(int labelNumber) const;
    bool slotInUse(int slot) const;
    int takeFreeSlot();
    void noteFreeSlot(int slot);
    void registerLabel(const LabelInfo& label);
    void unregisterLabel(const LabelInfo& label);
    bool registeredAt(int labelNumber, int systemClass, int systemNumber, int kind,
                      int index) const;
    void countLabel(const LabelInfo& label, int delta);
    template <typename T>
    bool setField(int reference, rec::Scalar<T> field, T value);
    bool setText(int reference, rec::Utf16Text field, std::string_view text);
    bool clientTypeIs(int reference, bool (*predicate)(int)) const;

    std::unique_ptr<Storage> data_;
    // Every slot below it is in use, so the lowest free slot is found
    // without rescanning the full part of the table.
    std::size_t freeSlotHint_ = 0;
    // Every slot from here on has been free since the last reset.
    std::size_t slotsUsed_ = 0;
    std::uint16_t clients_ = 0;
    std::uint16_t partyLines_ = 0;
    std::uint16_t fixedGroups_ = 0;
    std::int16_t nextLabelNumber_ = kFirstLabelNumber;
    std::size_t systemCount_ = 0;
};

} // namespace mirx::model
