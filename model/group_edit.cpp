#include "model/group_edit.h"

#include "model/client_validation.h"
#include "model/typed_text.h"

namespace mirx::model {
namespace {

using L = LabelInfo;

bool isLocalSystemZero(const LabelInfo& label) {
    return label.get(L::kSystemClass) == 0 && label.get(L::kSystemNumber) == 0;
}

} // namespace

GroupEditLayout groupEditLayout(LabelTrunking trunking) {
    GroupEditLayout layout;
    switch (trunking) {
    case LabelTrunking::Rts:
        layout.externalLongCaption = "External Alpha (8U characters)";
        layout.externalShortCaption = "External Alpha (4 characters)";
        layout.externalLongLimit = 8;
        layout.externalShortLimit = 4;
        layout.remoteRestrictions = true;
        break;
    case LabelTrunking::Delec:
        layout.externalLongCaption = "External Name";
        break;
    case LabelTrunking::None:
        break;
    }
    return layout;
}

GroupForm groupFormOf(const LabelTable& labels, int labelNumber) {
    GroupForm form;
    const LabelInfo* label = labels.Find(labelNumber);
    if (label == nullptr) {
        return form;
    }
    form.kind = label->get(L::kLabelKind);
    form.description = label->get(L::kDescription);
    form.talkListenName = labels.DisplayName(labelNumber);
    form.externalLong = label->get(L::kExternalLongName);
    form.externalShort = label->get(L::kExternalShortName);
    form.latchDisable = label->testBit(L::kSelectorFlags, L::kLatchDisableTalkBit);
    for (unsigned bit = 0; bit < form.restrictions.size(); ++bit) {
        form.restrictions[bit] = label->testBit(L::kAssignmentRestrictions, bit);
    }
    form.textColour = label->get(L::kTextColour);
    form.backgroundColour = label->get(L::kBackgroundColour);
    return form;
}

GroupNameCheck checkGroupName(const LabelTable& labels, int labelNumber, std::string_view typed) {
    GroupNameCheck check;
    const std::string name = storedSelectorName(typed);
    if (name.empty()) {
        check.error = kGroupNameRequired;
        return check;
    }
    const LabelInfo* own = labelNumber == kNoLabel ? nullptr : labels.Find(labelNumber);
    if (own != nullptr && own->get(L::kTalkListenName) == name) {
        return check;
    }
    labels.ForEachLabel([&](const LabelInfo& label) {
        if (check.error || (own != nullptr && &label == own)) {
            return;
        }
        if (label.get(L::kTalkListenName) != name && label.get(L::kListenOnlyName) != name) {
            return;
        }
        if (isLocalSystemZero(label)) {
            check.error = kGroupNameExists;
        } else {
            check.remoteWarning = true;
        }
    });
    return check;
}

void applyGroupForm(LabelInfo& label, const GroupForm& form) {
    label.set(L::kDescription, typedName(form.description));
    label.set(L::kTalkListenName, typedName(form.talkListenName));
    label.set(L::kListenOnlyName, "");
    label.set(L::kExternalLongName, typedName(form.externalLong));
    label.set(L::kExternalShortName, typedName(form.externalShort));
    label.setBit(L::kSelectorFlags, L::kLatchDisableTalkBit, form.latchDisable);
    for (unsigned bit = 0; bit < form.restrictions.size(); ++bit) {
        label.setBit(L::kAssignmentRestrictions, bit, form.restrictions[bit]);
    }
    label.set(L::kTextColour, form.textColour);
    label.set(L::kBackgroundColour, form.backgroundColour);
}

} // namespace mirx::model
