#include "site/site.h"

#include "site/site_builder.h"

#include <vector>

namespace mirx::site {

std::map<int, int> Site::clientLabels() const {
    std::map<int, int> out;
    for (const auto& [number, label] : labels) {
        using L = model::LabelInfo;
        if (label.get(L::kSystemClass) != static_cast<std::uint8_t>(model::SystemClass::Local) ||
            label.get(L::kSystemNumber) != 0 ||
            label.get(L::kLabelKind) != static_cast<std::uint8_t>(model::LabelKind::Client)) {
            continue;
        }
        const int index = label.get(L::kIndex);
        if (index >= 0 && index < static_cast<int>(model::kClientsPerSystem)) {
            out.emplace(index, number); // the lowest label number wins a clash
        }
    }
    return out;
}

model::LabelInfo makeLabel(const LabelSpec& spec) {
    using L = model::LabelInfo;
    L label;
    label.set(L::kLabelNumber, spec.number);
    label.set(L::kSystemClass, static_cast<std::uint8_t>(spec.systemClass));
    label.set(L::kSystemNumber, spec.system);
    label.set(L::kLabelKind, spec.kind);
    label.set(L::kClientType, spec.clientType);
    label.set(L::kIndex, spec.index);
    label.set(L::kTalkListenName, spec.name);
    label.set(L::kDescription, spec.description);
    label.set(L::kSelectorAssignmentsTemplate, model::kNoLabel);
    label.set(L::kAudioSettingsTemplate, model::kNoLabel);
    label.set(L::kOptionsTemplate, model::kNoLabel);
    label.set(L::kFourthLink, model::kNoLabel);
    label.set(L::kRtsFunctionNumber, L::kNoRtsFunctionNumber);
    label.set(L::kRtsFunctionType, L::kNoRtsFunctionType);
    return label;
}

void putLabel(Site& site, const model::LabelInfo& label) {
    site.labels[label.get(model::LabelInfo::kLabelNumber)] = label;
}

int addClient(Site& site, int number, int index, int clientType, std::string_view name,
              std::string_view description, std::string_view login, std::string_view password) {
    putLabel(site, makeLabel({.number = number,
                              .kind = static_cast<int>(model::LabelKind::Client),
                              .index = index,
                              .clientType = clientType,
                              .name = name,
                              .description = description}));
    site.credentials[index] = makeCredentials(index, login, password);
    return number;
}

int addPartyLine(Site& site, int number, int index, std::string_view name,
                 std::string_view description) {
    putLabel(site, makeLabel({.number = number,
                              .kind = static_cast<int>(model::LabelKind::PartyLine),
                              .index = index,
                              .name = name,
                              .description = description}));
    return number;
}

int addFixedGroup(Site& site, int number, int index, std::string_view name,
                  std::string_view description) {
    putLabel(site, makeLabel({.number = number,
                              .kind = static_cast<int>(model::LabelKind::FixedGroup),
                              .index = index,
                              .name = name,
                              .description = description}));
    return number;
}

model::ClientCredentials makeCredentials(int index, std::string_view login,
                                         std::string_view password) {
    model::ClientCredentials credentials = model::initialCredentials(index);
    credentials.set(model::ClientCredentials::kLoginName, login);
    credentials.set(model::ClientCredentials::kPassword, password);
    return credentials;
}

void addMember(Site& site, int partyLine, int member, model::MembershipMode mode) {
    auto [it, created] = site.partyLines.try_emplace(partyLine);
    if (created) {
        it->second.set(model::PartyLineMembership::kPartyLine, partyLine);
    }
    it->second.addEntry({static_cast<std::int16_t>(member), static_cast<std::uint8_t>(mode)});
}

model::ClientBitSet clientSet(std::initializer_list<int> clients) {
    model::ClientBitSet set;
    for (const int client : clients) {
        set.setBit(client);
    }
    return set;
}

model::SelectorEntry selector(int label, std::uint8_t function, std::uint8_t flags) {
    using E = model::SelectorEntry;
    E entry;
    entry.set(E::kLabel, label);
    entry.set(E::kCode, function);
    entry.set(E::kFlags, flags);
    return entry;
}

model::SelectorEntry layoutMark(std::uint8_t code) {
    return selector(model::SelectorEntry::kLayoutEntry, code);
}

model::SelectorAssignments selectorList(std::initializer_list<model::SelectorEntry> entries,
                                        int selectorsPerRow) {
    model::SelectorAssignments list;
    const std::vector<model::SelectorEntry> all(entries);
    list.assignEntries(all);
    list.set(model::SelectorAssignments::kSelectorsPerRow, selectorsPerRow);
    return list;
}

} // namespace mirx::site
