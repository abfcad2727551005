#pragma once

#include "model/label_table.h"
#include "model/label_trunking.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// The group list as plain data: one row per party line and fixed group of
// local system 0, the columns the trunking mode asks for, and the one
// compare function the list sorts by.

namespace mirx::model {

enum class GroupColumn : int {
    Type = 0,
    TalkListenName,
    Description,
    Latchable,
    ExternalLong,
    ExternalShort,
    Restrict,
    Index,
};

inline constexpr std::size_t kGroupColumnCount = 8;

struct LabelColumnSpec {
    // Untranslated.
    const char* title;
    // 0: hidden.
    int width;
};

std::array<LabelColumnSpec, kGroupColumnCount> groupListColumns(LabelTrunking trunking);

struct GroupRow {
    int labelNumber = kNoLabel;
    int kind = static_cast<int>(LabelKind::PartyLine);
    int index = -1;
    bool latchDisable = false;
    bool restricted = false;
    std::array<std::string, kGroupColumnCount> cells;

    const std::string& cell(GroupColumn column) const {
        return cells[static_cast<std::size_t>(column)];
    }
};

// The row of one group; an unresolvable label still gets a row with the
// fall-back texts.
GroupRow buildGroupRow(const LabelTable& labels, int labelNumber);

// Party lines, then fixed groups of local system 0, each in label order.
std::vector<GroupRow> buildGroupRows(const LabelTable& labels);

// Negative, zero or positive as `a` sorts before, with or after `b` in
// ascending order of `column`. Ties fall back to the display name, then the
// label number, so the order is total and a second click reverses it.
int compareGroupRows(const GroupRow& a, const GroupRow& b, int column);

} // namespace mirx::model
