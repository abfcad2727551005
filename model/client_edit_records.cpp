#include "model/client_edit_records.h"

#include "core/message_ids.h"
#include "model/client_types.h"
#include "model/template_links.h"
#include "model/typed_text.h"

#include <charconv>

namespace mirx::model {
namespace {

using L = LabelInfo;

constexpr std::size_t kRtsNumberTextLimit = 10;

} // namespace

std::int16_t rtsFunctionNumberFromText(std::string_view typed) {
    const std::string_view text = typed.substr(0, kRtsNumberTextLimit);
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < 1 || value > 32768) {
        return L::kNoRtsFunctionNumber;
    }
    return static_cast<std::int16_t>(value - 1);
}

void applyClientEdit(LabelInfo& label, const ClientEditValues& v) {
    label.set(L::kClientType, static_cast<std::uint8_t>(v.clientType));
    label.set(L::kTalkListenName, typedName(v.talkListenName));
    label.set(L::kListenOnlyName, typedName(v.listenOnlyName));
    label.set(L::kExternalLongName, typedName(v.externalLongName));
    label.set(L::kExternalShortName, typedName(v.externalShortName));
    label.set(L::kDescription, typedName(v.description));
    if (v.rtsFunctionType) {
        label.set(L::kRtsFunctionType, *v.rtsFunctionType);
    }
    if (v.rtsFunctionNumber) {
        label.set(L::kRtsFunctionNumber, rtsFunctionNumberFromText(*v.rtsFunctionNumber));
    }
    label.setBit(L::kClientFlags, L::kPartyLineOperationBit, v.partyLineOperation);
    label.setBit(L::kClientFlags, L::kAllowAnonymousLoginBit, v.allowAnonymousLogin);
    label.setBit(L::kClientFlags, L::kAlwaysShowSelectorOfflineBit, v.alwaysShowSelectorOffline);
    label.setBit(L::kClientFlags, L::kIfbDestinationBit, v.ifbDestination);
    label.setBit(L::kClientFlags, L::kIsoDestinationBit, v.isoDestination);
    label.setBit(L::kClientFlags, L::kMultiplePartyLinesBit, v.multiplePartyLines);
    label.setBit(L::kClientFlags, L::kDomainAuthenticationBit, v.domainAuthentication);
    label.setBit(L::kSelectorFlags, L::kLatchDisableTalkBit, v.latchDisableTalkSelector);
    label.setBit(L::kSelectorFlags, L::kLoginDisabledBit, v.disableLogin);
    for (unsigned bit = 0; bit < v.restrictions.size(); ++bit) {
        label.setBit(L::kAssignmentRestrictions, bit, v.restrictions[bit]);
    }
    label.setPrivilegeLevel(v.masterPrivileges     ? L::kPrivilegeMaster
                            : v.standardPrivileges ? L::kPrivilegeStandard
                                                   : L::kPrivilegeNone);
}

ClientCredentials editedCredentials(ClientCredentials record, int clientIndex,
                                    const ClientEditValues& values) {
    using C = ClientCredentials;
    record.set(C::kClientIndex, static_cast<std::int16_t>(clientIndex));
    record.set(C::kLoginName, typedLoginName(values.loginName));
    record.set(C::kPassword, typedName(values.password));
    return record;
}

ClientSave saveClientEdit(LabelTable& labels, ClientStore& clients, int clientIndex,
                          int sourceClient, const ClientEditValues& values,
                          const SelectorAssignments* sourceSelectors) {
    ClientSave save;
    // A client deleted while its edit was open is not brought back.
    const int number = clientIndex < 0 ? labels.Create(static_cast<int>(LabelKind::Client))
                                       : labels.ClientLabelNumber(clientIndex);
    if (number == kNoLabel) {
        save.error = kUnableToAddClient;
        return save;
    }
    LabelInfo* label = labels.Find(number);
    clientIndex = label->get(L::kIndex);
    save.clientIndex = clientIndex;
    save.labelNumber = number;

    const auto held = clients.credentials(clientIndex);
    const ClientCredentials credentials =
        editedCredentials(held ? *held : initialCredentials(clientIndex), clientIndex, values);
    clients.setCredentials(clientIndex, credentials);

    applyClientEdit(*label, values);
    const int sourceNumber = sourceClient < 0 ? kNoLabel : labels.ClientLabelNumber(sourceClient);
    const LabelInfo* source = sourceNumber == kNoLabel ? nullptr : labels.Find(sourceNumber);
    if (source != nullptr) {
        for (const TemplateKind kind : kTemplateKinds) {
            label->set(templateField(kind), source->get(templateField(kind)));
        }
    }

    save.posts.push_back(OutgoingRecord{
        msg::ADMIN_CLIENT_CREDENTIALS_UPDATE, 0,
        std::vector<std::uint8_t>(credentials.bytes.begin(), credentials.bytes.end())});
    save.posts.push_back(labelUpdate(*label, static_cast<std::uint16_t>(number)));

    if (source != nullptr) {
        for (OutgoingRecord& record :
             clients.DuplicateSettings(sourceClient, clientIndex, source->get(L::kClientType))) {
            save.posts.push_back(std::move(record));
        }
        if (sourceSelectors != nullptr) {
            const auto selectors = sourceSelectors->wire();
            save.posts.push_back(OutgoingRecord{msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS,
                                                static_cast<std::uint16_t>(clientIndex),
                                                {selectors.begin(), selectors.end()}});
        }
    }
    return save;
}

std::vector<int> offeredClientTypes(bool rtsTrunking, bool delecTrunking) {
    std::vector<int> types = {10, 16, 17, 18, 19, 12, 13, 15, 20, 21, 22, 50, 52};
    if (rtsTrunking) {
        types.push_back(kMdvRtsTrunkType);
    }
    if (delecTrunking) {
        types.push_back(54);
    }
    for (const int type : {100, 101, 102, 103, 104, 105, 106}) {
        types.push_back(type);
    }
    if (rtsTrunking) {
        types.push_back(kSipRtsTrunkType);
    }
    types.push_back(kRtspVideoSourceType);
    return types;
}

} // namespace mirx::model
