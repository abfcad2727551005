#pragma once

#include "model/client_store.h"
#include "model/label_table.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// Template links between clients. A client is the template of a kind of
// settings when its own field of that kind holds its own label number; its
// followers hold that number. Each function edits the console's label table
// first and returns the records to post, in order, and the clients whose
// rows changed.
//
// `rows` are the client indexes of every row of the client list in list
// order (clientIndexesInOrder() in the canonical one); `selected` the selected rows' client indexes
// in the same order.

namespace mirx::model {

enum class TemplateKind : std::uint8_t { SelectorAssignments, AudioSettings, Options };

inline constexpr std::array<TemplateKind, 3> kTemplateKinds = {
    TemplateKind::SelectorAssignments, TemplateKind::AudioSettings, TemplateKind::Options};

rec::Scalar<std::int16_t> templateField(TemplateKind kind);

struct LabelChanges {
    std::vector<OutgoingRecord> posts;
    // Client indexes whose rows are to be refilled, in the order changed.
    std::vector<int> changedClients;
};

// ADMIN_LABEL_UPDATE carrying the whole label.
OutgoingRecord labelUpdate(const LabelInfo& label, std::uint16_t secondValue);

// Links the selected clients to the template of the link source (the
// current client label), or to the link source itself when it has none,
// which then becomes a template. A selected client that was a template
// takes its followers along. Nothing happens when the link source is not
// a client; a template reference that no longer resolves counts as none.
LabelChanges linkTemplate(LabelTable& labels, TemplateKind kind, int currentClientLabel,
                          std::span<const int> selected, std::span<const int> rows);

// Unlinks the selected clients; a selected template also unlinks every
// follower, selected or not.
LabelChanges unlinkTemplate(LabelTable& labels, TemplateKind kind, std::span<const int> selected,
                            std::span<const int> rows);

// Deletes a client: every other row that follows it in any kind is unlinked
// and posted (second value its label number), then the label is deleted
// from the table and ADMIN_DELETE_ENTRY is posted. Empty when the client
// has no label.
LabelChanges deleteClient(LabelTable& labels, int clientIndex, std::span<const int> rows);

// Which client a settings editor opens for: the selected client when it
// follows no template or is the link source itself; otherwise the list
// asks first ("Unlink", "Template", "Cancel").
struct SettingsEditorTarget {
    bool askFirst = false;
    // The selected client's field as it was; restored on "Cancel".
    std::int16_t templateValue = kNoLabel;
    // Client index of the template, -1 when it does not resolve.
    int templateClient = -1;
};

SettingsEditorTarget settingsEditorTarget(const LabelTable& labels, TemplateKind kind,
                                          int selectedClient, int currentClientLabel);

// Puts a client's field back to what it was before the list asked (the
// editor opened after "Unlink" was cancelled). The unlink was posted, so the
// restored label is posted too and the server keeps the same link as the
// console. Nothing when the field already holds the value.
LabelChanges restoreTemplate(LabelTable& labels, TemplateKind kind, int clientIndex,
                             std::int16_t value);

} // namespace mirx::model
