#pragma once

#include "model/client_validation.h"
#include "model/label_table.h"
#include "model/label_trunking.h"

#include <optional>
#include <string>
#include <string_view>

// The remote label edit view as plain data: captions for the trunking mode,
// the duplicate check against local clients, and what it writes.

namespace mirx::model {

struct RemoteEditLayout {
    // Empty: the field is hidden.
    const char* externalLongCaption = "";
    const char* externalShortCaption = "";
};

RemoteEditLayout remoteEditLayout(LabelTrunking trunking);

struct RemoteForm {
    std::string typeName;
    std::string description;
    std::string selectorName;
    std::string externalLong;
    std::string externalShort;
    bool latchDisable = false;
    bool alwaysShowOffline = false;
    // Shown, not editable.
    bool noLocalAssignmentByAdmin = false;
    bool noLocalAssignmentByUser = false;
};

RemoteForm remoteFormOf(const LabelTable& labels, int labelNumber);

// The failure message (kTalkListenNameExists), or nothing. An empty name passes; otherwise the name
// as it would be stored must match no display name or listen-only name of
// a client of local system 0 (letter case counts).
std::optional<std::string> checkRemoteName(const LabelTable& labels, int labelNumber,
                                           std::string_view typed);

// Writes the editable fields; every bit the view has no control for (party
// line operation, remote assignment restrictions, the rest) is kept.
void applyRemoteForm(LabelInfo& label, const RemoteForm& form);

} // namespace mirx::model
