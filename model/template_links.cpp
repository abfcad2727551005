#include "model/template_links.h"

#include "core/message_ids.h"

namespace mirx::model {
namespace {

using L = LabelInfo;

LabelInfo* clientLabel(LabelTable& labels, int clientIndex) {
    const int number = labels.ClientLabelNumber(clientIndex);
    return number == kNoLabel ? nullptr : labels.Find(number);
}

bool isLocalClient(const LabelInfo& label) {
    return label.get(L::kSystemClass) == 0 && label.get(L::kSystemNumber) == 0 &&
           label.get(L::kLabelKind) == static_cast<std::uint8_t>(LabelKind::Client);
}

// Sets `kind` of every listed row holding `from` to `to` and posts each
// (second value its client index).
void moveFollowers(LabelTable& labels, TemplateKind kind, std::int16_t from, std::int16_t to,
                   std::span<const int> rows, LabelChanges& changes) {
    const auto field = templateField(kind);
    for (const int row : rows) {
        LabelInfo* label = clientLabel(labels, row);
        if (label == nullptr || label->get(field) != from) {
            continue;
        }
        label->set(field, to);
        changes.changedClients.push_back(row);
        changes.posts.push_back(labelUpdate(*label, static_cast<std::uint16_t>(row)));
    }
}

LabelChanges setTemplate(LabelTable& labels, TemplateKind kind, std::int16_t value,
                         std::span<const int> selected, std::span<const int> rows) {
    const auto field = templateField(kind);
    LabelChanges changes;
    for (const int client : selected) {
        LabelInfo* label = clientLabel(labels, client);
        if (label == nullptr) {
            continue;
        }
        const std::int16_t old = label->get(field);
        const std::int16_t own = label->get(L::kLabelNumber);
        label->set(field, value);
        changes.changedClients.push_back(client);
        // A template linked to itself keeps its followers as they are:
        // posting each of them again unchanged would only fill the queue.
        if (old == own && value != old) {
            moveFollowers(labels, kind, old, value, rows, changes);
        }
        changes.posts.push_back(labelUpdate(*label, static_cast<std::uint16_t>(own)));
    }
    return changes;
}

} // namespace

rec::Scalar<std::int16_t> templateField(TemplateKind kind) {
    switch (kind) {
    case TemplateKind::SelectorAssignments:
        return L::kSelectorAssignmentsTemplate;
    case TemplateKind::AudioSettings:
        return L::kAudioSettingsTemplate;
    case TemplateKind::Options:
        break;
    }
    return L::kOptionsTemplate;
}

OutgoingRecord labelUpdate(const LabelInfo& label, std::uint16_t secondValue) {
    return OutgoingRecord{msg::ADMIN_LABEL_UPDATE, secondValue,
                          std::vector<std::uint8_t>(label.bytes.begin(), label.bytes.end())};
}

LabelChanges linkTemplate(LabelTable& labels, TemplateKind kind, int currentClientLabel,
                          std::span<const int> selected, std::span<const int> rows) {
    const LabelInfo* source = labels.Find(currentClientLabel);
    if (source == nullptr || !isLocalClient(*source)) {
        return {};
    }
    const std::int16_t sourceTemplate = source->get(templateField(kind));
    const LabelInfo* current = labels.Find(sourceTemplate);
    const std::int16_t value =
        sourceTemplate != kNoLabel && current != nullptr && isLocalClient(*current)
            ? sourceTemplate
            : source->get(L::kLabelNumber);
    return setTemplate(labels, kind, value, selected, rows);
}

LabelChanges unlinkTemplate(LabelTable& labels, TemplateKind kind, std::span<const int> selected,
                            std::span<const int> rows) {
    return setTemplate(labels, kind, kNoLabel, selected, rows);
}

LabelChanges deleteClient(LabelTable& labels, int clientIndex, std::span<const int> rows) {
    const LabelInfo* deleted = clientLabel(labels, clientIndex);
    if (deleted == nullptr) {
        return {};
    }
    const std::int16_t number = deleted->get(L::kLabelNumber);
    LabelChanges changes;
    for (const int row : rows) {
        LabelInfo* label = row == clientIndex ? nullptr : clientLabel(labels, row);
        if (label == nullptr) {
            continue;
        }
        bool followed = false;
        for (const TemplateKind kind : kTemplateKinds) {
            if (label->get(templateField(kind)) == number) {
                label->set(templateField(kind), kNoLabel);
                followed = true;
            }
        }
        if (followed) {
            changes.changedClients.push_back(row);
            changes.posts.push_back(
                labelUpdate(*label, static_cast<std::uint16_t>(label->get(L::kLabelNumber))));
        }
    }
    labels.Delete(number);
    changes.posts.push_back(
        OutgoingRecord{msg::ADMIN_DELETE_ENTRY, static_cast<std::uint16_t>(number), {}});
    return changes;
}

SettingsEditorTarget settingsEditorTarget(const LabelTable& labels, TemplateKind kind,
                                          int selectedClient, int currentClientLabel) {
    SettingsEditorTarget target;
    const int number = labels.ClientLabelNumber(selectedClient);
    const LabelInfo* label = number == kNoLabel ? nullptr : labels.Find(number);
    if (label == nullptr) {
        return target;
    }
    target.templateValue = label->get(templateField(kind));
    if (target.templateValue == kNoLabel || target.templateValue == currentClientLabel) {
        return target;
    }
    target.askFirst = true;
    if (const LabelInfo* templateLabel = labels.Find(target.templateValue);
        templateLabel != nullptr && isLocalClient(*templateLabel)) {
        target.templateClient = templateLabel->get(L::kIndex);
    }
    return target;
}

LabelChanges restoreTemplate(LabelTable& labels, TemplateKind kind, int clientIndex,
                             std::int16_t value) {
    LabelChanges changes;
    LabelInfo* label = clientLabel(labels, clientIndex);
    if (label == nullptr || label->get(templateField(kind)) == value) {
        return changes;
    }
    label->set(templateField(kind), value);
    changes.changedClients.push_back(clientIndex);
    changes.posts.push_back(
        labelUpdate(*label, static_cast<std::uint16_t>(label->get(L::kLabelNumber))));
    return changes;
}

} // namespace mirx::model
