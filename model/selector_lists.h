#pragma once

#include "model/label_table.h"
#include "model/selector_assignments.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The two lists of the selector assignments view as plain data: the labels
// that may be assigned (one row each, with the compare function its header
// sorts by) and the rows of an assignments list with their cells.

namespace mirx::model {

// Whose selector assignments are edited.
struct SelectorTarget {
    // -1: the default record.
    int clientIndex = -1;
    // The system setting that lets a client hold a selector for itself.
    bool allowSelf = false;

    bool isDefault() const { return clientIndex < 0; }
};

inline constexpr const char* kDefaultSelectorsLine = "DEFAULT SETTINGS FOR ALL CLIENTS";

// The activation methods of a client without a panel, by record value.
inline constexpr std::array<const char*, 5> kActivationMethodNames{
    "On This Client Connect", "On Other Client Disconnect", "On Voice Activity Detection",
    "On Logic Input Activation", "On DTMF Tone Detection"};

// The "Selected Client" line.
std::string selectedClientLine(const LabelTable& labels, const SelectorTarget& target);

// True when the head shows selectors per row and the non-latchable default
// (the default record and control panels); else the activation method.
bool editsPanelHead(const LabelTable& labels, const SelectorTarget& target);

// The edited client may be listed and assigned: the setting allows it, or
// the client takes its assignments from a template. Always false for the
// default record, which has no client.
bool mayAssignSelf(const LabelTable& labels, const SelectorTarget& target);

// True when `reference` names the edited client itself and the edited client
// may not be assigned.
bool isExcludedSelf(const LabelTable& labels, const SelectorTarget& target, int reference);

// --- the available list ---

enum class AvailableColumn : int {
    SystemName = 0,
    Kind,
    TalkListenName,
    ListenOnlyName,
    Description,
    Type,
};

inline constexpr std::size_t kAvailableColumnCount = 6;

// Selector functions a label allows, as the add buttons read them.
inline constexpr std::uint8_t kAllowTalk = 1;
inline constexpr std::uint8_t kAllowListen = 2;
inline constexpr std::uint8_t kAllowAllFunctions = kAllowTalk | kAllowListen;

struct AvailableRow {
    int labelNumber = kNoLabel;
    std::uint8_t allowedFunctions = kAllowAllFunctions;
    std::array<std::string, kAvailableColumnCount> cells;
    // Sort keys that are not a cell's text.
    int systemClass = 0;
    int systemNumber = 0;
    int labelKind = 0;
    int clientType = 0;
    // A client of local system 0, and its index.
    bool localClient = false;
    int clientIndex = -1;

    const std::string& cell(AvailableColumn column) const {
        return cells[static_cast<std::size_t>(column)];
    }
};

struct AvailableColumnSpec {
    const char* title;
    int width;
    // The width once a row needs the column.
    int revealedWidth;
};

std::array<AvailableColumnSpec, kAvailableColumnCount> availableColumns();

// Every label that may be assigned, in canonical order: not the ones
// restricted from local assignment by an administrator, not the local
// clients of RTS trunk types, and not the edited client unless
// mayAssignSelf().
std::vector<AvailableRow> buildAvailableRows(const LabelTable& labels,
                                             const SelectorTarget& target);

// Ascending order of `column`, with each column's fall-backs; rows equal on
// every key are ordered by label number, so the order is total.
int compareAvailableRows(const AvailableRow& a, const AvailableRow& b, int column);

// The system column appears once a label of another system is listed, the
// listen-only column once a label has a listen-only name.
std::array<int, kAvailableColumnCount> availableColumnWidths(std::span<const AvailableRow> rows);

// --- the assigned list ---

enum class AssignedColumn : int {
    Name = 0,
    SelectorType,
    Latchable,
    Ifb,
    Iso,
    SpeakerDim,
    HotKey,
    AlwaysOn,
};

inline constexpr std::size_t kAssignedColumnCount = 8;

// An entry of the record, or the split-screen marker, which is not an entry:
// its row number is the split-screen position.
struct AssignedRow {
    bool splitMarker = false;
    SelectorEntry entry;

    static AssignedRow marker() {
        AssignedRow row;
        row.splitMarker = true;
        return row;
    }
};

inline constexpr const char* kSplitMarkerName = "-----------------";
inline constexpr const char* kSplitMarkerType = "SPLIT SCREEN";
inline constexpr const char* kSplitMarkerTitle = "_Secondary Panel_";

struct AssignedColumnSpec {
    const char* title;
    int width;
    int revealedWidth;
};

std::array<AssignedColumnSpec, kAssignedColumnCount> assignedColumns();

// "Talk Only", "Listen Only", "Split Talk/Listen"; empty for another code.
std::string selectorFunctionText(int function);
// "SPACER", "ROW BREAK", "PAGE BREAK", "CALL NOTIFICATION"; empty otherwise.
std::string layoutCodeText(int code);

std::array<std::string, kAssignedColumnCount> assignedCells(const LabelTable& labels,
                                                            const AssignedRow& row);

// The flag columns appear once a row shows a value other than a new entry's.
std::array<int, kAssignedColumnCount> assignedColumnWidths(const LabelTable& labels,
                                                           std::span<const AssignedRow> rows);

} // namespace mirx::model
