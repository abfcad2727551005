#include "model/selector_edit.h"

#include "core/message_ids.h"
#include "model/client_types.h"
#include "model/hot_keys.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace mirx::model {
namespace {

using E = SelectorEntry;
using A = SelectorAssignments;

constexpr int kSplitScreenClientType = 20;
constexpr std::uint16_t kDefaultRecord = 0xFFFF;

bool isAdd(SelectorButton button) {
    return button <= SelectorButton::CallNotification;
}

bool addsLabel(SelectorButton button) {
    return button <= SelectorButton::ListenOnly;
}

std::uint8_t functionOf(SelectorButton button) {
    switch (button) {
    case SelectorButton::TalkOnly:
        return E::kTalkOnly;
    case SelectorButton::ListenOnly:
        return E::kListenOnly;
    default:
        return E::kSplitTalkListen;
    }
}

std::uint8_t layoutOf(SelectorButton button) {
    switch (button) {
    case SelectorButton::Row:
        return E::kRowBreak;
    case SelectorButton::Page:
        return E::kPageBreak;
    case SelectorButton::CallNotification:
        return E::kCallNotification;
    default:
        return E::kSpacer;
    }
}

std::optional<unsigned> flagBitOf(SelectorButton button) {
    switch (button) {
    case SelectorButton::Latchable:
        return E::kNotLatchableBit;
    case SelectorButton::Ifb:
        return E::kIfbBit;
    case SelectorButton::Iso:
        return E::kIsoBit;
    case SelectorButton::SpeakerDim:
        return E::kSpeakerDimOffBit;
    default:
        return std::nullopt;
    }
}

} // namespace

std::int16_t selectorsPerRowFromText(std::string_view typed) {
    const std::size_t start = typed.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return 0;
    }
    typed.remove_prefix(start);
    if (!typed.empty() && typed.front() == '+') {
        typed.remove_prefix(1);
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(typed.data(), typed.data() + typed.size(), value);
    if (error == std::errc::result_out_of_range) {
        value = typed.front() == '-' ? std::numeric_limits<long long>::min()
                                     : std::numeric_limits<long long>::max();
    }
    (void)end;
    return static_cast<std::int16_t>(std::clamp<long long>(
        value, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

AvailableSelection availableSelection(const AvailableRow& row) {
    return {row.labelNumber, row.allowedFunctions,
            row.localClient && isControlPanel(row.clientType),
            row.localClient ? row.clientIndex : -1};
}

SelectorEditor::SelectorEditor(const LabelTable& labels, SelectorTarget target)
    : target_(target)
    , panelHead_(editsPanelHead(labels, target)) {
    if (!target_.isDefault()) {
        if (const LabelInfo* self = labels.Find(labels.ClientLabelNumber(target_.clientIndex))) {
            clientType_ = self->get(LabelInfo::kClientType);
        }
    }
}

void SelectorEditor::load(const LabelTable& labels, const SelectorAssignments& record) {
    record_ = record;
    rows_.clear();
    selected_ = -1;
    const std::size_t n = record.entryCount();
    const int position = record.get(A::kSplitScreenPosition);
    // A marker after the last entry is kept in view: it is what the
    // position means and what saving writes back.
    const bool split = position > 0 && static_cast<std::size_t>(position) <= n;
    rows_.reserve(n + 1);
    for (std::size_t k = 0; k < n; ++k) {
        if (split && k == static_cast<std::size_t>(position)) {
            rows_.push_back(AssignedRow::marker());
        }
        AssignedRow row;
        row.entry = record.entry(k);
        if (!row.entry.isLayout() && isExcludedSelf(labels, target_, row.entry.get(E::kLabel))) {
            continue;
        }
        rows_.push_back(row);
    }
    if (split && static_cast<std::size_t>(position) == n) {
        rows_.push_back(AssignedRow::marker());
    }
}

std::size_t SelectorEditor::entryCount() const {
    return rows_.size() - (hasSplitMarker() ? 1 : 0);
}

bool SelectorEditor::hasSplitMarker() const {
    return std::any_of(rows_.begin(), rows_.end(),
                       [](const AssignedRow& row) { return row.splitMarker; });
}

void SelectorEditor::clickRow(int row) {
    selectRow(row == selected_ ? -1 : row);
}

void SelectorEditor::selectRow(int row) {
    selected_ = row >= 0 && static_cast<std::size_t>(row) < rows_.size() ? row : -1;
}

bool SelectorEditor::splitScreenShown() const {
    return clientType_ == kSplitScreenClientType;
}

const SelectorEntry* SelectorEditor::selectedEntry() const {
    if (selected_ < 0 || rows_[static_cast<std::size_t>(selected_)].splitMarker) {
        return nullptr;
    }
    return &rows_[static_cast<std::size_t>(selected_)].entry;
}

bool SelectorEditor::labelEntrySelected() const {
    const SelectorEntry* e = selectedEntry();
    return e != nullptr && !e->isLayout();
}

bool SelectorEditor::enabled(SelectorButton button) const {
    const bool rowSelected = selected_ >= 0;
    const bool full = entryCount() >= A::kMaxEntries;
    const SelectorEntry* entry = selectedEntry();
    const std::uint8_t allowed =
        available_.labelNumber == kNoLabel ? std::uint8_t{0} : available_.allowedFunctions;
    switch (button) {
    case SelectorButton::SplitTalkListen:
        return !duplicatePending_ && !full && allowed == kAllowAllFunctions;
    case SelectorButton::TalkOnly:
        return !duplicatePending_ && !full && (allowed & kAllowTalk) != 0;
    case SelectorButton::ListenOnly:
        return !duplicatePending_ && !full && (allowed & kAllowListen) != 0;
    case SelectorButton::Spacer:
    case SelectorButton::Row:
    case SelectorButton::Page:
    case SelectorButton::CallNotification:
        return rowSelected && !full;
    case SelectorButton::SplitScreen:
        return splitScreenShown() && !hasSplitMarker() && selected_ > 0;
    case SelectorButton::Remove:
        return rowSelected;
    case SelectorButton::Duplicate:
        return !duplicatePending_ && !target_.isDefault() && isControlPanel(clientType_) &&
               available_.labelNumber != kNoLabel && available_.controlPanel;
    case SelectorButton::Clear:
        return !duplicatePending_;
    case SelectorButton::Latchable:
    case SelectorButton::Ifb:
    case SelectorButton::Iso:
    case SelectorButton::SpeakerDim:
        return labelEntrySelected() && entry->get(E::kCode) != E::kListenOnly;
    case SelectorButton::HotKey:
        return labelEntrySelected() ||
               (entry != nullptr && entry->get(E::kCode) == E::kCallNotification);
    case SelectorButton::AlwaysOn:
        return labelEntrySelected();
    }
    return false;
}

void SelectorEditor::insertRow(AssignedRow row) {
    if (selected_ < 0) {
        rows_.push_back(row);
        return;
    }
    rows_.insert(rows_.begin() + selected_, row);
    ++selected_;
}

bool SelectorEditor::add(SelectorButton button, bool defaultNonLatchable) {
    if (button == SelectorButton::SplitScreen) {
        if (!enabled(button)) {
            return false;
        }
        insertRow(AssignedRow::marker());
        return true;
    }
    if (!isAdd(button) || !enabled(button)) {
        return false;
    }
    AssignedRow row;
    if (addsLabel(button)) {
        const std::uint8_t function = functionOf(button);
        row.entry.set(E::kLabel, available_.labelNumber);
        row.entry.set(E::kCode, function);
        row.entry.setBit(E::kFlags, E::kNotLatchableBit,
                         defaultNonLatchable && function != E::kListenOnly);
    } else {
        row.entry.set(E::kLabel, E::kLayoutEntry);
        row.entry.set(E::kCode, layoutOf(button));
    }
    insertRow(row);
    return true;
}

bool SelectorEditor::remove() {
    if (!enabled(SelectorButton::Remove)) {
        return false;
    }
    rows_.erase(rows_.begin() + selected_);
    selected_ = std::min(selected_, static_cast<int>(rows_.size()) - 1);
    return true;
}

bool SelectorEditor::clear() {
    if (!enabled(SelectorButton::Clear)) {
        return false;
    }
    rows_.clear();
    selected_ = -1;
    return true;
}

bool SelectorEditor::toggle(SelectorButton button) {
    const auto bit = flagBitOf(button);
    if (!bit || !enabled(button)) {
        return false;
    }
    SelectorEntry& e = rows_[static_cast<std::size_t>(selected_)].entry;
    e.setBit(E::kFlags, *bit, !e.testBit(E::kFlags, *bit));
    return true;
}

bool SelectorEditor::cycleAlwaysOn() {
    if (!enabled(SelectorButton::AlwaysOn)) {
        return false;
    }
    SelectorEntry& e = rows_[static_cast<std::size_t>(selected_)].entry;
    const bool visible = e.testBit(E::kFlags, E::kAlwaysOnVisibleBit);
    const bool invisible = e.testBit(E::kFlags, E::kAlwaysOnInvisibleBit);
    // Invisible wins when both bits came set, as the list shows it.
    e.setBit(E::kFlags, E::kAlwaysOnVisibleBit, !visible && !invisible);
    e.setBit(E::kFlags, E::kAlwaysOnInvisibleBit, visible && !invisible);
    return true;
}

std::optional<HotKeyChoice> SelectorEditor::hotKey() const {
    if (!enabled(SelectorButton::HotKey)) {
        return std::nullopt;
    }
    const SelectorEntry& e = *selectedEntry();
    const std::uint8_t modifiers = e.get(E::kHotKeyModifiers);
    return HotKeyChoice{e.get(E::kHotKey), (modifiers & kHotKeyAlt) != 0,
                        (modifiers & kHotKeyCtrl) != 0, (modifiers & kHotKeyShift) != 0};
}

bool SelectorEditor::setHotKey(const HotKeyChoice& choice) {
    if (!enabled(SelectorButton::HotKey)) {
        return false;
    }
    SelectorEntry& e = rows_[static_cast<std::size_t>(selected_)].entry;
    e.set(E::kHotKey, choice.code);
    e.setBit(E::kHotKeyModifiers, E::kAltBit, choice.alt);
    e.setBit(E::kHotKeyModifiers, E::kCtrlBit, choice.ctrl);
    e.setBit(E::kHotKeyModifiers, E::kShiftBit, choice.shift);
    return true;
}

bool SelectorEditor::moveRow(int from, int to) {
    const int size = static_cast<int>(rows_.size());
    if (from < 0 || from >= size || to < 0 || to >= size) {
        return false;
    }
    const auto at = [&](int row) {
        return rows_.begin() + row;
    };
    if (from < to) {
        std::rotate(at(from), at(from + 1), at(to + 1));
    } else {
        std::rotate(at(to), at(from), at(from + 1));
    }
    if (selected_ == from) {
        selected_ = to;
    } else if (from < selected_ && selected_ <= to) {
        --selected_;
    } else if (to <= selected_ && selected_ < from) {
        ++selected_;
    }
    return true;
}

std::optional<std::uint16_t> SelectorEditor::beginDuplicate() {
    if (!enabled(SelectorButton::Duplicate)) {
        return std::nullopt;
    }
    rows_.clear();
    selected_ = -1;
    duplicatePending_ = true;
    return available_.clientIndex >= 0 ? static_cast<std::uint16_t>(available_.clientIndex)
                                       : kDefaultRecord;
}

void SelectorEditor::finishDuplicate(const LabelTable& labels, const SelectorAssignments& source) {
    SelectorAssignments next = record_;
    next.assignPrefix(source.wire());
    duplicatePending_ = false;
    load(labels, next);
}

SelectorAssignments SelectorEditor::save(const SelectorHeadValues& head) const {
    SelectorAssignments out = record_;
    if (panelHead_) {
        out.set(A::kSelectorsPerRow, selectorsPerRowFromText(head.selectorsPerRow));
        out.setBit(A::kOptionBits, A::kDefaultNonLatchableBit, head.defaultNonLatchable);
    } else {
        out.set(A::kActivationMethod, static_cast<std::uint8_t>(head.activation));
        out.set(A::kActivationDetail, -1);
    }
    std::size_t n = 0;
    int split = 0;
    for (const AssignedRow& row : rows_) {
        if (row.splitMarker) {
            split = static_cast<int>(n);
        } else if (n < A::kMaxEntries) {
            out.setEntry(n++, row.entry);
        }
    }
    out.set(A::kEntryCount, n);
    out.set(A::kSplitScreenPosition, split);
    return out;
}

OutgoingRecord selectorAssignmentsPost(const SelectorTarget& target,
                                       const SelectorAssignments& record, bool applyToAll) {
    const auto wire = record.wire();
    std::vector<std::uint8_t> bytes(wire.begin(), wire.end());
    if (target.isDefault()) {
        return OutgoingRecord{msg::CONFIGURATION_DATA_DEFAULT_SELECTOR_ASSIGNMENTS,
                              static_cast<std::uint16_t>(applyToAll ? 1 : 0), std::move(bytes)};
    }
    return OutgoingRecord{msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS,
                          static_cast<std::uint16_t>(target.clientIndex), std::move(bytes)};
}

} // namespace mirx::model
