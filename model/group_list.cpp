#include "model/group_list.h"

#include "model/typed_text.h"

#include <algorithm>
#include <string_view>

namespace mirx::model {
namespace {

using L = LabelInfo;

std::size_t at(GroupColumn column) {
    return static_cast<std::size_t>(column);
}

int compareInts(int a, int b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int compareText(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareKey(const GroupRow& a, const GroupRow& b, GroupColumn column) {
    const auto caseBlind = [&](GroupColumn c) {
        return compareCaseBlind(a.cell(c), b.cell(c));
    };
    int result = 0;
    switch (column) {
    case GroupColumn::TalkListenName:
        return caseBlind(column);
    case GroupColumn::Description:
        return compareText(a.cell(column), b.cell(column));
    case GroupColumn::Latchable:
        // Latchable groups first.
        return compareInts(a.latchDisable, b.latchDisable);
    // A header click orders by what the column shows; equal cells fall
    // back to the kind, like the type column.
    case GroupColumn::ExternalLong:
    case GroupColumn::ExternalShort:
        result = caseBlind(column);
        break;
    case GroupColumn::Restrict:
        result = compareInts(a.restricted, b.restricted);
        break;
    case GroupColumn::Index:
        result = compareInts(a.index, b.index);
        break;
    case GroupColumn::Type:
        break;
    }
    return result != 0 ? result : compareInts(a.kind, b.kind);
}

} // namespace

std::array<LabelColumnSpec, kGroupColumnCount> groupListColumns(LabelTrunking trunking) {
    switch (trunking) {
    case LabelTrunking::Rts:
        return {{{"Group Type", 120},
                 {"Talk/Listen Name", 98},
                 {"Description", 195},
                 {"Latchable", 61},
                 {"Ext Alpha (8U)", 98},
                 {"Ext Alpha (4)", 98},
                 {"Restrict", 61},
                 {"Port", 35}}};
    case LabelTrunking::Delec:
        return {{{"Group Type", 120},
                 {"Talk/Listen Name", 98},
                 {"Description", 195},
                 {"Latchable", 61},
                 {"Ext Name", 98},
                 {"Ext Name (Short)", 0},
                 {"Restrict", 0},
                 {"Idx", 35}}};
    case LabelTrunking::None:
        break;
    }
    return {{{"Group Type", 120},
             {"Talk/Listen Name", 98},
             {"Description", 195},
             {"Latchable", 61},
             {"Ext Name (Long)", 0},
             {"Ext Name (Short)", 0},
             {"Restrict", 0},
             {"Idx", 0}}};
}

GroupRow buildGroupRow(const LabelTable& labels, int labelNumber) {
    GroupRow row;
    row.labelNumber = labelNumber;
    auto& cells = row.cells;
    cells[at(GroupColumn::TalkListenName)] = labels.DisplayName(labelNumber);
    cells[at(GroupColumn::Description)] = labels.Description(labelNumber);
    cells[at(GroupColumn::ExternalLong)] = labels.LongLabel(labelNumber, true);
    cells[at(GroupColumn::ExternalShort)] = labels.ShortLabel(labelNumber, true);
    const LabelInfo* label = labels.Find(labelNumber);
    if (label == nullptr) {
        cells[at(GroupColumn::Type)] = labels.LabelTypeName(labelNumber, true);
        return row;
    }
    row.kind = label->get(L::kLabelKind);
    row.index = label->get(L::kIndex);
    row.latchDisable = label->testBit(L::kSelectorFlags, L::kLatchDisableTalkBit);
    row.restricted = label->get(L::kAssignmentRestrictions) != 0;
    cells[at(GroupColumn::Type)] = labels.LabelTypeName(labelNumber, true);
    cells[at(GroupColumn::Latchable)] = row.latchDisable ? "No" : "Yes";
    cells[at(GroupColumn::Restrict)] = row.restricted ? "Yes" : "No";
    cells[at(GroupColumn::Index)] = std::to_string(row.index + 1);
    return row;
}

std::vector<GroupRow> buildGroupRows(const LabelTable& labels) {
    std::vector<GroupRow> rows;
    for (const auto kind : {LabelKind::PartyLine, LabelKind::FixedGroup}) {
        const std::size_t bound =
            kind == LabelKind::PartyLine ? kPartyLinesPerSystem : kFixedGroupsPerSystem;
        int reference = kNoLabel;
        for (std::size_t visited = 0;
             visited < bound && labels.Next(reference, static_cast<int>(kind), false) != kNoLabel;
             ++visited) {
            rows.push_back(buildGroupRow(labels, reference));
        }
    }
    return rows;
}

int compareGroupRows(const GroupRow& a, const GroupRow& b, int column) {
    const int last = static_cast<int>(kGroupColumnCount) - 1;
    const auto key = static_cast<GroupColumn>(std::clamp(column, 0, last));
    int result = compareKey(a, b, key);
    if (result == 0 && key != GroupColumn::TalkListenName) {
        result = compareKey(a, b, GroupColumn::TalkListenName);
    }
    return result != 0 ? result : compareInts(a.labelNumber, b.labelNumber);
}

} // namespace mirx::model
