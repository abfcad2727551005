#pragma once

#include "model/client_store.h"
#include "model/label_table.h"
#include "model/selector_assignments.h"
#include "model/selector_lists.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The selector assignments view without its widgets: the assigned rows and
// their selection, which buttons may be pressed, every edit, and the record
// OK posts. Bytes of the received record that the view does not edit are
// posted as they came. The editor keeps no reference to the label table:
// the calls that read it take it, so the caller reads it under its lock.

namespace mirx::model {

enum class SelectorButton : int {
    SplitTalkListen = 0,
    TalkOnly,
    ListenOnly,
    Spacer,
    Row,
    Page,
    CallNotification,
    SplitScreen,
    Remove,
    Duplicate,
    Clear,
    Latchable,
    Ifb,
    Iso,
    SpeakerDim,
    HotKey,
    AlwaysOn,
};

inline constexpr std::size_t kSelectorButtonCount = 17;

// The row selected in the available list.
struct AvailableSelection {
    int labelNumber = kNoLabel;
    std::uint8_t allowedFunctions = 0;
    bool controlPanel = false;
    // -1 unless a client of local system 0.
    int clientIndex = -1;
};

AvailableSelection availableSelection(const AvailableRow& row);

struct HotKeyChoice {
    std::uint8_t code = 0;
    bool alt = false;
    bool ctrl = false;
    bool shift = false;

    friend bool operator==(const HotKeyChoice&, const HotKeyChoice&) = default;
};

// The head controls as OK reads them.
struct SelectorHeadValues {
    // The typed text of "Selectors to Display per Row".
    std::string_view selectorsPerRow;
    bool defaultNonLatchable = false;
    ActivationMethod activation = ActivationMethod::OnThisClientConnect;
};

// The decimal value of the typed text; leading blanks and a sign are taken,
// anything else ends the number, nothing typed is 0, and the result is held
// to the field's range.
std::int16_t selectorsPerRowFromText(std::string_view typed);

class SelectorEditor {
public:
    // Reads what it needs of the edited client now.
    SelectorEditor(const LabelTable& labels, SelectorTarget target);

    const SelectorTarget& target() const { return target_; }

    // Shows a received record: its entries in order, without the edited
    // client where it may not be assigned, and the split marker at its
    // position (a position outside 1..n means no split).
    void load(const LabelTable& labels, const SelectorAssignments& record);

    const std::vector<AssignedRow>& rows() const { return rows_; }
    // The record as received (or as duplicated); OK edits a copy.
    const SelectorAssignments& received() const { return record_; }
    std::size_t entryCount() const;
    bool hasSplitMarker() const;

    // -1: none.
    int selectedRow() const { return selected_; }
    // A click on the selected row clears the selection.
    void clickRow(int row);
    void selectRow(int row);
    void selectAvailable(AvailableSelection selection) { available_ = selection; }

    // The split-screen button is shown for one client type only.
    bool splitScreenShown() const;
    bool enabled(SelectorButton button) const;

    // The edits do nothing and return false while their button is disabled.
    // Adding inserts before the selected row (at the end when none is), and
    // the selection stays on the row it was on.
    bool add(SelectorButton button, bool defaultNonLatchable);
    bool remove();
    bool clear();
    // Latchable, IFB, ISO or Speaker Dim of the selected entry.
    bool toggle(SelectorButton button);
    // No, visible, invisible, no.
    bool cycleAlwaysOn();
    std::optional<HotKeyChoice> hotKey() const;
    // Other modifier bits stay.
    bool setHotKey(const HotKeyChoice& choice);
    // Moves a row (the marker too) so it ends at `to`; the selection stays on
    // the row it was on.
    bool moveRow(int from, int to);

    // Empties the list and waits for the record of the selected available
    // client; returns the second value of the request.
    std::optional<std::uint16_t> beginDuplicate();
    bool duplicatePending() const { return duplicatePending_; }
    // The fetched record of the duplicated client replaces the edited one.
    void finishDuplicate(const LabelTable& labels, const SelectorAssignments& source);

    // The record OK stores: the received bytes, the head from the controls,
    // the entries in row order and the marker's row as the split position.
    SelectorAssignments save(const SelectorHeadValues& head) const;

private:
    bool labelEntrySelected() const;
    const SelectorEntry* selectedEntry() const;
    void insertRow(AssignedRow row);

    SelectorTarget target_;
    int clientType_ = 0;
    bool panelHead_ = true;
    SelectorAssignments record_;
    std::vector<AssignedRow> rows_;
    int selected_ = -1;
    AvailableSelection available_;
    bool duplicatePending_ = false;
};

// The post of OK: a client's record under its index, or the default record
// with whether it is applied to every client that used the prior defaults.
OutgoingRecord selectorAssignmentsPost(const SelectorTarget& target,
                                       const SelectorAssignments& record, bool applyToAll);

inline constexpr const char* kApplyDefaultSelectorsQuestion = kApplyDefaultsQuestion;

} // namespace mirx::model
