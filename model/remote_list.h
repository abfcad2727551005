#pragma once

#include "model/group_list.h"
#include "model/label_table.h"
#include "model/label_trunking.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// The remote label list as plain data: one row per label outside local
// system 0, the columns the trunking mode asks for, and the one compare
// function the list sorts by.

namespace mirx::model {

enum class RemoteColumn : int {
    SystemName = 0,
    SystemNumber,
    LabelType,
    TalkListenName,
    Description,
    Latchable,
    ExternalLong,
    ExternalShort,
    Restrict,
    Index,
};

inline constexpr std::size_t kRemoteColumnCount = 10;
// "Latchable" starts hidden and takes this width once a row reads "No".
inline constexpr int kRemoteLatchableWidth = 61;

// Without trunking columns 6 to 9 are hidden (width 0).
std::array<LabelColumnSpec, kRemoteColumnCount> remoteListColumns(LabelTrunking trunking);

struct RemoteRow {
    int labelNumber = kNoLabel;
    int systemNumber = 0;
    int kind = 0;
    int clientType = 0;
    int index = 0;
    bool latchDisable = false;
    std::array<std::string, kRemoteColumnCount> cells;

    const std::string& cell(RemoteColumn column) const {
        return cells[static_cast<std::size_t>(column)];
    }
};

RemoteRow buildRemoteRow(const LabelTable& labels, int labelNumber);
// Every label not of local system 0, in label order.
std::vector<RemoteRow> buildRemoteRows(const LabelTable& labels);
// Whether some row needs the "Latchable" column.
bool remoteLatchableShown(const std::vector<RemoteRow>& rows);

// Negative, zero or positive as `a` sorts before, with or after `b` in
// ascending order of `column`, with each column's fall-backs; ties end on
// the label number, so a second click reverses the order exactly.
int compareRemoteRows(const RemoteRow& a, const RemoteRow& b, int column);

} // namespace mirx::model
