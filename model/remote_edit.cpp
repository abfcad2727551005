#include "model/remote_edit.h"

#include "model/client_validation.h"
#include "model/typed_text.h"

namespace mirx::model {
namespace {

using L = LabelInfo;

} // namespace

RemoteEditLayout remoteEditLayout(LabelTrunking trunking) {
    switch (trunking) {
    case LabelTrunking::Rts:
        return {"External Alpha (8U characters)", "External Alpha (4 characters)"};
    case LabelTrunking::Delec:
        return {"External Name", ""};
    case LabelTrunking::None:
        break;
    }
    return {};
}

RemoteForm remoteFormOf(const LabelTable& labels, int labelNumber) {
    RemoteForm form;
    form.typeName = labels.LabelTypeName(labelNumber, false);
    form.description = labels.Description(labelNumber);
    form.selectorName = labels.DisplayName(labelNumber);
    const LabelInfo* label = labels.Find(labelNumber);
    if (label == nullptr) {
        return form;
    }
    form.externalLong = label->get(L::kExternalLongName);
    form.externalShort = label->get(L::kExternalShortName);
    form.latchDisable = label->testBit(L::kSelectorFlags, L::kLatchDisableTalkBit);
    form.alwaysShowOffline = label->testBit(L::kClientFlags, L::kAlwaysShowSelectorOfflineBit);
    form.noLocalAssignmentByAdmin =
        label->testBit(L::kAssignmentRestrictions, L::kNoLocalAssignmentByAdminBit);
    form.noLocalAssignmentByUser =
        label->testBit(L::kAssignmentRestrictions, L::kNoLocalAssignmentByUserBit);
    return form;
}

std::optional<std::string> checkRemoteName(const LabelTable& labels, int labelNumber,
                                           std::string_view typed) {
    const std::string name = storedSelectorName(typed);
    if (name.empty()) {
        return std::nullopt;
    }
    int reference = kNoLabel;
    for (std::size_t visited = 0;
         visited < kClientsPerSystem &&
         labels.Next(reference, static_cast<int>(LabelKind::Client), false) != kNoLabel;
         ++visited) {
        const LabelInfo* client = labels.Find(reference);
        if (client == nullptr || reference == labelNumber) {
            continue;
        }
        if (labels.DisplayName(reference) == name || client->get(L::kListenOnlyName) == name) {
            return std::string(kTalkListenNameExists);
        }
    }
    return std::nullopt;
}

void applyRemoteForm(LabelInfo& label, const RemoteForm& form) {
    label.set(L::kTalkListenName, typedName(form.selectorName));
    label.set(L::kExternalLongName, typedName(form.externalLong));
    label.set(L::kExternalShortName, typedName(form.externalShort));
    label.set(L::kDescription, typedName(form.description));
    label.setBit(L::kSelectorFlags, L::kLatchDisableTalkBit, form.latchDisable);
    label.setBit(L::kClientFlags, L::kAlwaysShowSelectorOfflineBit, form.alwaysShowOffline);
    label.setBit(L::kAssignmentRestrictions, L::kNoLocalAssignmentByAdminBit,
                 form.noLocalAssignmentByAdmin);
    label.setBit(L::kAssignmentRestrictions, L::kNoLocalAssignmentByUserBit,
                 form.noLocalAssignmentByUser);
}

} // namespace mirx::model
