#include "model/remote_list.h"

#include "model/typed_text.h"

#include <algorithm>
#include <string_view>

namespace mirx::model {
namespace {

using L = LabelInfo;
using C = RemoteColumn;

std::size_t at(C column) {
    return static_cast<std::size_t>(column);
}

int compareInts(int a, int b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int compareKey(const RemoteRow& a, const RemoteRow& b, C column) {
    int result = 0;
    switch (column) {
    case C::SystemName:
    case C::ExternalLong:
    case C::ExternalShort:
    case C::Restrict:
        result = compareCaseBlind(a.cell(C::SystemName), b.cell(C::SystemName));
        return result != 0 ? result : compareKey(a, b, C::LabelType);
    case C::SystemNumber:
        result = compareInts(a.systemNumber, b.systemNumber);
        return result != 0 ? result : compareKey(a, b, C::LabelType);
    case C::LabelType:
        result = compareInts(a.kind, b.kind);
        if (result == 0) {
            result = compareInts(a.clientType, b.clientType);
        }
        return result != 0 ? result : compareKey(a, b, C::TalkListenName);
    case C::TalkListenName:
        return compareCaseBlind(a.cell(column), b.cell(column));
    case C::Description: {
        const int c = a.cell(column).compare(b.cell(column));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case C::Latchable:
        result = compareInts(a.latchDisable, b.latchDisable);
        return result != 0 ? result : compareKey(a, b, C::TalkListenName);
    case C::Index:
        result = compareInts(a.index, b.index);
        return result != 0 ? result : compareKey(a, b, C::TalkListenName);
    }
    return 0;
}

} // namespace

std::array<LabelColumnSpec, kRemoteColumnCount> remoteListColumns(LabelTrunking trunking) {
    std::array<LabelColumnSpec, kRemoteColumnCount> columns{{
        {"System Name", 85},
        {"#", 35},
        {"Label Type", 145},
        {"Talk/Listen Name", 98},
        {"Description", 195},
        {"Latchable", 0},
        {"Ext Name", 0},
        {"Ext Name (Short)", 0},
        {"Restrict", 0},
        {"Idx", 0},
    }};
    if (trunking == LabelTrunking::Rts) {
        columns[at(C::ExternalLong)] = {"Ext Alpha (8U)", 98};
        columns[at(C::ExternalShort)] = {"Ext Alpha (4)", 98};
        columns[at(C::Restrict)] = {"Restrict", 61};
        columns[at(C::Index)] = {"Port", 35};
    } else if (trunking == LabelTrunking::Delec) {
        columns[at(C::ExternalLong)] = {"Ext Name", 98};
        columns[at(C::Index)] = {"Idx", 35};
    }
    return columns;
}

RemoteRow buildRemoteRow(const LabelTable& labels, int labelNumber) {
    RemoteRow row;
    row.labelNumber = labelNumber;
    auto& cells = row.cells;
    cells[at(C::SystemName)] = labels.LabelSystemName(labelNumber);
    cells[at(C::LabelType)] = labels.LabelTypeName(labelNumber, false);
    cells[at(C::TalkListenName)] = labels.DisplayName(labelNumber);
    cells[at(C::Description)] = labels.Description(labelNumber);
    cells[at(C::ExternalLong)] = labels.LongLabel(labelNumber, true);
    cells[at(C::ExternalShort)] = labels.ShortLabel(labelNumber, true);
    const LabelInfo* label = labels.Find(labelNumber);
    if (label == nullptr) {
        return row;
    }
    row.systemNumber = label->get(L::kSystemNumber);
    row.kind = label->get(L::kLabelKind);
    row.clientType = label->get(L::kClientType);
    row.index = label->get(L::kIndex);
    row.latchDisable = label->testBit(L::kSelectorFlags, L::kLatchDisableTalkBit);
    cells[at(C::SystemNumber)] = std::to_string(row.systemNumber + 1);
    cells[at(C::Latchable)] = row.latchDisable ? "No" : "Yes";
    cells[at(C::Restrict)] = label->get(L::kAssignmentRestrictions) != 0 ? "Yes" : "No";
    cells[at(C::Index)] = std::to_string(row.index + 1);
    return row;
}

std::vector<RemoteRow> buildRemoteRows(const LabelTable& labels) {
    std::vector<RemoteRow> rows;
    labels.ForEachLabel([&](const LabelInfo& label) {
        if (label.get(L::kSystemClass) != 0 || label.get(L::kSystemNumber) != 0) {
            rows.push_back(buildRemoteRow(labels, label.get(L::kLabelNumber)));
        }
    });
    return rows;
}

bool remoteLatchableShown(const std::vector<RemoteRow>& rows) {
    return std::any_of(rows.begin(), rows.end(),
                       [](const RemoteRow& row) { return row.latchDisable; });
}

int compareRemoteRows(const RemoteRow& a, const RemoteRow& b, int column) {
    const int last = static_cast<int>(kRemoteColumnCount) - 1;
    const int result = compareKey(a, b, static_cast<C>(std::clamp(column, 0, last)));
    return result != 0 ? result : compareInts(a.labelNumber, b.labelNumber);
}

} // namespace mirx::model
