#pragma once

#include "model/client_validation.h"
#include "model/label_table.h"
#include "model/label_trunking.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The group add/edit view as plain data: what it shows for a trunking mode,
// the checks it runs on OK with their exact messages, and what it writes
// into the label.

namespace mirx::model {

inline constexpr const char* kGroupNameRequired = "Selector Name required. ";
inline constexpr const char* kGroupNameExists = "Selector Name already exists";
inline constexpr const char* kGroupAddFailed =
    "ERROR: Unable to add group as the number of groups exceeds the system limit.";
inline constexpr const char* kGroupAddFailedCaption = "MIRX Group Configuration Add";
inline constexpr const char* kGroupDeleteQuestion =
    "WARNING: Are you sure you wish to delete this group?";
inline constexpr const char* kGroupDeleteCaption = "MIRX Group Configuration Delete";

struct GroupEditLayout {
    // Caption of the long external name; empty when it is hidden.
    const char* externalLongCaption = "";
    // Caption of the short external name; empty when it is hidden.
    const char* externalShortCaption = "";
    int externalLongLimit = 20;
    int externalShortLimit = 8;
    // The two "No Remote Assignment" boxes.
    bool remoteRestrictions = false;
};

GroupEditLayout groupEditLayout(LabelTrunking trunking);

// What the view edits of a group's label.
struct GroupForm {
    int kind = static_cast<int>(LabelKind::PartyLine);
    std::string description;
    std::string talkListenName;
    std::string externalLong;
    std::string externalShort;
    bool latchDisable = false;
    // Assignment restriction bits 0..3.
    std::array<bool, 4> restrictions{};
    std::uint32_t textColour = 0;
    std::uint32_t backgroundColour = 0;
};

// The form for an existing group: the name shown is its display name.
GroupForm groupFormOf(const LabelTable& labels, int labelNumber);

struct GroupNameCheck {
    // The message of a failure (caption "Error"); the name keeps the focus.
    std::optional<std::string> error;
    // The name is taken in another system: warn once (kRemoteNameExists,
    // caption "Warning"), then save.
    bool remoteWarning = false;
};

// `labelNumber` is the edited group, -1 when adding. The name is checked as
// it would be stored (quotes replaced, cut to its field). Letter case counts.
GroupNameCheck checkGroupName(const LabelTable& labels, int labelNumber, std::string_view typed);

// Writes the form into the label (the kind is the table's, fixed when the
// label was created): texts with quotes replaced and cut to
// their fields, the listen-only name emptied, the other bits of the flag
// bytes kept.
void applyGroupForm(LabelInfo& label, const GroupForm& form);

// Whether the colour sample shows: some colour is set.
constexpr bool showsColourSample(std::uint32_t text, std::uint32_t background) {
    return text != 0 || background != 0;
}

} // namespace mirx::model
