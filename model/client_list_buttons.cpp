#include "model/client_list_buttons.h"

namespace mirx::model {
namespace {

using B = ClientListButton;
using L = LabelInfo;

const LabelInfo* clientLabel(const LabelTable& labels, int clientIndex) {
    const int number = labels.ClientLabelNumber(clientIndex);
    return number == kNoLabel ? nullptr : labels.Find(number);
}

bool isClient(const LabelInfo* label) {
    return label != nullptr && label->get(L::kSystemClass) == 0 &&
           label->get(L::kSystemNumber) == 0 &&
           label->get(L::kLabelKind) == static_cast<std::uint8_t>(LabelKind::Client);
}

} // namespace

void noteSelection(ClientListSelection& selection, const LabelTable& labels,
                   std::span<const int> selectedClients) {
    if (selectedClients.empty()) {
        selection.selectedRows = 0;
        return;
    }
    selection.selectedRows = static_cast<int>(selectedClients.size());
    if (selectedClients.size() > 1) {
        selection.selectedClient = -1;
        return;
    }
    selection.selectedClient = selectedClients.front();
    selection.currentClientLabel = labels.ClientLabelNumber(selectedClients.front());
}

ClientListButtons clientListButtons(const LabelTable& labels,
                                    const ClientListSelection& selection) {
    ClientListButtons buttons;
    const bool change = selection.mayChange;
    if (selection.selectedRows > 1) {
        const bool source = isClient(labels.Find(selection.currentClientLabel));
        for (const B b : {B::LinkSelectorAssignments, B::LinkAudioSettings, B::LinkOptions}) {
            buttons.set(b, change && source);
        }
        for (const B b : {B::UnlinkSelectorAssignments, B::UnlinkAudioSettings, B::UnlinkOptions}) {
            buttons.set(b, change);
        }
        return buttons;
    }
    buttons.set(B::Add, change);
    const LabelInfo* label =
        selection.selectedClient < 0 ? nullptr : clientLabel(labels, selection.selectedClient);
    if (label == nullptr) {
        return buttons;
    }
    for (const B b : {B::Edit, B::Delete, B::Duplicate}) {
        buttons.set(b, change);
    }
    buttons.set(B::Options, true);
    buttons.set(B::AudioSettings, true);
    buttons.set(B::SelectorAssignments,
                !label->testBit(L::kClientFlags, L::kPartyLineOperationBit));
    buttons.set(B::UnlinkSelectorAssignments,
                change && label->get(L::kSelectorAssignmentsTemplate) != kNoLabel);
    buttons.set(B::UnlinkAudioSettings,
                change && label->get(L::kAudioSettingsTemplate) != kNoLabel);
    buttons.set(B::UnlinkOptions, change && label->get(L::kOptionsTemplate) != kNoLabel);
    return buttons;
}

} // namespace mirx::model
