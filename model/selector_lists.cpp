#include "model/selector_lists.h"

#include "model/client_list.h"
#include "model/client_types.h"
#include "model/hot_keys.h"
#include "model/typed_text.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace mirx::model {
namespace {

using L = LabelInfo;
using E = SelectorEntry;

constexpr int kLocal = static_cast<int>(SystemClass::Local);

int compareInts(int a, int b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int editedLabelNumber(const LabelTable& labels, const SelectorTarget& target) {
    return target.isDefault() ? kNoLabel : labels.ClientLabelNumber(target.clientIndex);
}

std::pair<std::string, std::string> splitTypeName(int clientType) {
    const auto parts = clientTypeParts(clientType);
    if (!parts) {
        return {};
    }
    return {std::string(parts->kind), std::string(parts->name)};
}

int compareKeys(const AvailableRow& a, const AvailableRow& b, AvailableColumn column) {
    const auto caseBlind = [&](AvailableColumn c) {
        return compareCaseBlind(a.cell(c), b.cell(c));
    };
    int result = 0;
    switch (column) {
    case AvailableColumn::SystemName:
        result = caseBlind(column);
        return result != 0 ? result : caseBlind(AvailableColumn::TalkListenName);
    case AvailableColumn::Kind:
        if (a.localClient && b.localClient) {
            result =
                compareInts(clientTypeSortClass(a.clientType), clientTypeSortClass(b.clientType));
            return result != 0 ? result : caseBlind(AvailableColumn::TalkListenName);
        }
        return compareKeys(a, b, AvailableColumn::Type);
    case AvailableColumn::TalkListenName:
    case AvailableColumn::Description:
        return caseBlind(column);
    case AvailableColumn::ListenOnlyName:
        // By the name it shows: ordering a name column by label number
        // looks random to the reader.
        return caseBlind(column);
    case AvailableColumn::Type:
        result = compareInts(a.systemClass, b.systemClass);
        if (result == 0) {
            result = caseBlind(AvailableColumn::SystemName);
        }
        if (result == 0) {
            result = compareInts(a.labelKind, b.labelKind);
        }
        if (result == 0) {
            result = compareInts(a.clientType, b.clientType);
        }
        return result != 0 ? result : caseBlind(AvailableColumn::TalkListenName);
    }
    return 0;
}

const char* yesNo(bool on) {
    return on ? "Yes" : "No";
}

} // namespace

std::string selectedClientLine(const LabelTable& labels, const SelectorTarget& target) {
    if (target.isDefault()) {
        return kDefaultSelectorsLine;
    }
    const int number = labels.ClientLabelNumber(target.clientIndex);
    const LabelInfo* label = labels.Find(number);
    const std::string type = label == nullptr
                                 ? std::string(LabelTable::kInvalidLabelType)
                                 : LabelTable::ClientTypeName(label->get(L::kClientType), false);
    return type + " / " + labels.DisplayName(number) + " / " + labels.Description(number);
}

bool editsPanelHead(const LabelTable& labels, const SelectorTarget& target) {
    return target.isDefault() || labels.IsControlPanel(editedLabelNumber(labels, target));
}

bool mayAssignSelf(const LabelTable& labels, const SelectorTarget& target) {
    if (target.isDefault()) {
        return false;
    }
    if (target.allowSelf) {
        return true;
    }
    const LabelInfo* self = labels.Find(editedLabelNumber(labels, target));
    return self != nullptr && self->get(L::kSelectorAssignmentsTemplate) != kNoLabel;
}

bool isExcludedSelf(const LabelTable& labels, const SelectorTarget& target, int reference) {
    const int self = editedLabelNumber(labels, target);
    return self != kNoLabel && labels.LabelNumber(reference) == self &&
           !mayAssignSelf(labels, target);
}

std::array<AvailableColumnSpec, kAvailableColumnCount> availableColumns() {
    return {{
        {"System Name", 0, 85},
        {"", 40, 40},
        {"Talk/Listen Name", 98, 98},
        {"Listen Only Name", 0, 98},
        {"Description", 195, 195},
        {"Type", 145, 145},
    }};
}

std::vector<AvailableRow> buildAvailableRows(const LabelTable& labels,
                                             const SelectorTarget& target) {
    std::vector<AvailableRow> rows;
    // Growing by doubling moves every row built so far several times.
    rows.reserve(kLabelSlots);
    const int self = editedLabelNumber(labels, target);
    const bool selfAllowed = mayAssignSelf(labels, target);
    // Texts that many labels share are made once: a site has up to 20000
    // labels but few systems and types.
    std::map<int, std::string> systemNames;
    std::map<int, std::pair<std::string, std::string>> clientTypeTexts;
    std::map<int, std::string> labelTypeNames;
    int lastSystem = -1;
    const std::string* lastSystemName = nullptr;
    labels.ForEachLabel([&](const LabelInfo& label) {
        const int number = label.get(L::kLabelNumber);
        const int systemClass = label.get(L::kSystemClass);
        const int kind = label.get(L::kLabelKind);
        const int clientType = label.get(L::kClientType);
        const bool client = systemClass == kLocal && kind == static_cast<int>(LabelKind::Client);
        if (label.testBit(L::kAssignmentRestrictions, L::kNoLocalAssignmentByAdminBit) ||
            (client && isRtsTrunk(clientType)) || (number == self && !selfAllowed)) {
            return;
        }
        AvailableRow row;
        row.labelNumber = number;
        row.systemClass = systemClass;
        row.systemNumber = label.get(L::kSystemNumber);
        row.labelKind = kind;
        row.clientType = client ? clientType : 0;
        row.localClient = client && row.systemNumber == 0;
        row.clientIndex = row.localClient ? label.get(L::kIndex) : -1;
        auto& cells = row.cells;
        const auto at = [](AvailableColumn c) {
            return static_cast<std::size_t>(c);
        };
        const int system = (systemClass << 8) | row.systemNumber;
        // Neighbouring labels nearly always share their system.
        if (system != lastSystem) {
            auto name = systemNames.find(system);
            if (name == systemNames.end()) {
                name = systemNames.emplace(system, labels.SystemName(systemClass, row.systemNumber))
                           .first;
            }
            lastSystem = system;
            lastSystemName = &name->second;
        }
        cells[at(AvailableColumn::SystemName)] = *lastSystemName;
        if (client) {
            auto texts = clientTypeTexts.find(clientType);
            if (texts == clientTypeTexts.end()) {
                texts = clientTypeTexts.emplace(clientType, splitTypeName(clientType)).first;
            }
            if (row.localClient) {
                cells[at(AvailableColumn::Kind)] = texts->second.first;
            }
            cells[at(AvailableColumn::Type)] = texts->second.second;
        } else {
            if (systemClass == kLocal && kind == static_cast<int>(LabelKind::PartyLine)) {
                cells[at(AvailableColumn::Kind)] = "PL";
            } else if (systemClass == kLocal && kind == static_cast<int>(LabelKind::FixedGroup)) {
                cells[at(AvailableColumn::Kind)] = "FG";
            }
            const int type = (systemClass << 8) | kind;
            auto typeName = labelTypeNames.find(type);
            if (typeName == labelTypeNames.end()) {
                typeName = labelTypeNames.emplace(type, labels.LabelTypeName(number, false)).first;
            }
            cells[at(AvailableColumn::Type)] = typeName->second;
        }
        // Decoded straight into the cells: no lookup by number, no temporaries.
        LabelTable::AppendDisplayName(cells[at(AvailableColumn::TalkListenName)], &label);
        label.appendTo(cells[at(AvailableColumn::ListenOnlyName)], L::kListenOnlyName);
        label.appendTo(cells[at(AvailableColumn::Description)], L::kDescription);
        rows.push_back(std::move(row));
    });
    return rows;
}

int compareAvailableRows(const AvailableRow& a, const AvailableRow& b, int column) {
    const int last = static_cast<int>(kAvailableColumnCount) - 1;
    const int result = compareKeys(a, b, static_cast<AvailableColumn>(std::clamp(column, 0, last)));
    return result != 0 ? result : compareInts(a.labelNumber, b.labelNumber);
}

std::array<int, kAvailableColumnCount> availableColumnWidths(std::span<const AvailableRow> rows) {
    const auto specs = availableColumns();
    std::array<int, kAvailableColumnCount> widths{};
    for (std::size_t c = 0; c < kAvailableColumnCount; ++c) {
        widths[c] = specs[c].width;
    }
    const auto reveal = [&](AvailableColumn column, auto needs) {
        const auto c = static_cast<std::size_t>(column);
        if (std::any_of(rows.begin(), rows.end(), needs)) {
            widths[c] = specs[c].revealedWidth;
        }
    };
    reveal(AvailableColumn::SystemName, [](const AvailableRow& row) {
        return row.systemClass != kLocal || row.systemNumber != 0;
    });
    reveal(AvailableColumn::ListenOnlyName, [](const AvailableRow& row) {
        return !row.cell(AvailableColumn::ListenOnlyName).empty();
    });
    return widths;
}

std::array<AssignedColumnSpec, kAssignedColumnCount> assignedColumns() {
    return {{
        {"Name", 100, 100},
        {"Selector Type", 115, 115},
        {"Latchable", 0, 61},
        {"IFB", 0, 40},
        {"ISO", 0, 40},
        {"Spkr Dim", 0, 50},
        {"Hot Key", 0, 120},
        {"Always On", 0, 80},
    }};
}

std::string selectorFunctionText(int function) {
    switch (function) {
    case E::kTalkOnly:
        return "Talk Only";
    case E::kListenOnly:
        return "Listen Only";
    case E::kSplitTalkListen:
        return "Split Talk/Listen";
    default:
        return {};
    }
}

std::string layoutCodeText(int code) {
    switch (code) {
    case E::kSpacer:
        return "SPACER";
    case E::kRowBreak:
        return "ROW BREAK";
    case E::kPageBreak:
        return "PAGE BREAK";
    case E::kCallNotification:
        return "CALL NOTIFICATION";
    default:
        return {};
    }
}

std::array<std::string, kAssignedColumnCount> assignedCells(const LabelTable& labels,
                                                            const AssignedRow& row) {
    std::array<std::string, kAssignedColumnCount> cells;
    const auto at = [&](AssignedColumn c) -> std::string& {
        return cells[static_cast<std::size_t>(c)];
    };
    if (row.splitMarker) {
        at(AssignedColumn::Name) = kSplitMarkerName;
        at(AssignedColumn::SelectorType) = kSplitMarkerType;
        return cells;
    }
    const SelectorEntry& e = row.entry;
    const int code = e.get(E::kCode);
    const std::string hotKey = hotKeyText(e.get(E::kHotKey), e.get(E::kHotKeyModifiers));
    if (e.isLayout()) {
        at(AssignedColumn::SelectorType) = layoutCodeText(code);
        if (code == E::kCallNotification) {
            at(AssignedColumn::HotKey) = hotKey;
        }
        return cells;
    }
    const auto flag = [&](unsigned bit) {
        return e.testBit(E::kFlags, bit);
    };
    const bool listenOnly = code == E::kListenOnly;
    at(AssignedColumn::Name) = labels.SelectorName(e.get(E::kLabel), code, true);
    at(AssignedColumn::SelectorType) = selectorFunctionText(code);
    at(AssignedColumn::Latchable) = yesNo(!flag(E::kNotLatchableBit));
    at(AssignedColumn::Ifb) = listenOnly ? "-" : yesNo(flag(E::kIfbBit));
    at(AssignedColumn::Iso) = listenOnly ? "-" : yesNo(flag(E::kIsoBit));
    at(AssignedColumn::SpeakerDim) = listenOnly ? "-" : yesNo(!flag(E::kSpeakerDimOffBit));
    at(AssignedColumn::HotKey) = hotKey;
    at(AssignedColumn::AlwaysOn) = flag(E::kAlwaysOnInvisibleBit) ? "Yes (Invisible)"
                                   : flag(E::kAlwaysOnVisibleBit) ? "Yes (Visible)"
                                                                  : "No";
    return cells;
}

std::array<int, kAssignedColumnCount> assignedColumnWidths(const LabelTable& labels,
                                                           std::span<const AssignedRow> rows) {
    // What a new entry shows in each column; "-" and blanks show nothing set.
    static constexpr std::array<const char*, kAssignedColumnCount> kDefaults = {
        nullptr, nullptr, "Yes", "No", "No", "Yes", "", "No"};
    const auto specs = assignedColumns();
    std::array<int, kAssignedColumnCount> widths{};
    std::array<bool, kAssignedColumnCount> needed{};
    for (const AssignedRow& row : rows) {
        const auto cells = assignedCells(labels, row);
        for (std::size_t c = 0; c < kAssignedColumnCount; ++c) {
            needed[c] = needed[c] || (kDefaults[c] != nullptr && !cells[c].empty() &&
                                      cells[c] != "-" && cells[c] != kDefaults[c]);
        }
    }
    for (std::size_t c = 0; c < kAssignedColumnCount; ++c) {
        widths[c] = needed[c] ? specs[c].revealedWidth : specs[c].width;
    }
    return widths;
}

} // namespace mirx::model
