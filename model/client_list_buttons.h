#pragma once

#include "model/label_table.h"

#include <array>
#include <cstddef>
#include <span>

// Which of the client list's buttons may be pressed, from the selection the
// list holds and the template links of the selected client.

namespace mirx::model {

enum class ClientListButton : int {
    Add = 0,
    Edit,
    Delete,
    Duplicate,
    Options,
    AudioSettings,
    SelectorAssignments,
    LinkSelectorAssignments,
    LinkAudioSettings,
    LinkOptions,
    UnlinkSelectorAssignments,
    UnlinkAudioSettings,
    UnlinkOptions,
};

inline constexpr std::size_t kClientListButtonCount = 13;

struct ClientListSelection {
    // Rows selected in the list now.
    int selectedRows = 0;
    // The list's selected client: kept when the selection is cleared, -1 when
    // several rows are selected or none ever was.
    int selectedClient = -1;
    // Label number of the client last selected alone: the link source.
    int currentClientLabel = kNoLabel;
    // False for an administrator who may only look.
    bool mayChange = true;
};

// After the list's selection changed to the rows of `selectedClients`: one
// row becomes the selected client and the link source; several clear the
// selected client; none keeps everything as it was.
void noteSelection(ClientListSelection& selection, const LabelTable& labels,
                   std::span<const int> selectedClients);

class ClientListButtons {
public:
    bool enabled(ClientListButton button) const { return on_[static_cast<std::size_t>(button)]; }
    void set(ClientListButton button, bool on) { on_[static_cast<std::size_t>(button)] = on; }

    friend bool operator==(const ClientListButtons&, const ClientListButtons&) = default;

private:
    std::array<bool, kClientListButtonCount> on_{};
};

// Several rows: the link and unlink buttons (the link buttons only while the
// link source is a client). One client: add, edit, delete, duplicate, the
// three settings editors (selector assignments not for a party line client)
// and the unlink button of each kind the client has a template for. No
// client: add. An administrator who may only look changes nothing: add,
// edit, delete, duplicate, link and unlink stay off.
ClientListButtons clientListButtons(const LabelTable& labels, const ClientListSelection& selection);

} // namespace mirx::model
