#include "model/client_validation.h"

#include "model/typed_text.h"

namespace mirx::model {
namespace {

using L = LabelInfo;

// What a field keeps of a text: at most its characters, never half of one.
template <typename Record, typename Field>
std::string keptBy(Field field, std::string_view text) {
    Record record;
    record.set(field, text);
    return record.get(field);
}

bool isLocalSystemZero(const LabelInfo& label) {
    return label.get(L::kSystemClass) == 0 && label.get(L::kSystemNumber) == 0;
}

ClientValidation failure(const char* message, ClientNameField field, bool remoteWarning) {
    ClientValidation result;
    result.error = message;
    result.field = field;
    result.remoteWarning = remoteWarning;
    return result;
}

} // namespace

std::string storedLoginName(std::string_view typed) {
    return keptBy<ClientCredentials>(ClientCredentials::kLoginName, typedLoginName(typed));
}

std::string storedSelectorName(std::string_view typed) {
    return keptBy<LabelInfo>(L::kTalkListenName, typedName(typed));
}

ClientValidation validateClientNames(const LabelTable& labels, const ClientStore& clients,
                                     const ClientNames& names) {
    const std::string login = storedLoginName(names.loginName);
    const std::string talk = storedSelectorName(names.talkListenName);
    const std::string listen = storedSelectorName(names.listenOnlyName);
    const bool anonymous = names.allowAnonymousLogin;

    if (!anonymous && login.empty()) {
        return failure(kLoginNameRequired, ClientNameField::LoginName, false);
    }
    if (talk.empty()) {
        return failure(kTalkListenNameRequired, ClientNameField::TalkListenName, false);
    }
    if (!listen.empty() && listen == talk) {
        return failure(kListenOnlySameAsTalk, ClientNameField::ListenOnlyName, false);
    }

    const int ownNumber =
        names.clientIndex < 0 ? kNoLabel : labels.ClientLabelNumber(names.clientIndex);
    const LabelInfo* own = ownNumber == kNoLabel ? nullptr : labels.Find(ownNumber);
    const bool loginChanged = own == nullptr || login != clients.loginName(names.clientIndex);
    const bool talkChanged = own == nullptr || talk != own->get(L::kTalkListenName);
    const bool listenChanged = own == nullptr || listen != own->get(L::kListenOnlyName);

    bool warned = false;
    std::optional<ClientValidation> failed;
    labels.ForEachLabel([&](const LabelInfo& label) {
        const int number = label.get(L::kLabelNumber);
        if (failed || (own != nullptr && number == ownNumber)) {
            return;
        }
        const bool local = isLocalSystemZero(label);
        if (loginChanged && !anonymous && local &&
            label.get(L::kLabelKind) == static_cast<std::uint8_t>(LabelKind::Client) &&
            clients.loginName(label.get(L::kIndex)) == login) {
            failed = failure(kLoginNameExists, ClientNameField::LoginName, warned);
            return;
        }
        const std::string display = labels.DisplayName(number);
        const std::string listenOnly = label.get(L::kListenOnlyName);
        if (talkChanged && (talk == display || talk == listenOnly)) {
            if (local) {
                failed = failure(kTalkListenNameExists, ClientNameField::TalkListenName, warned);
                return;
            }
            warned = true;
        }
        if (!listen.empty() && listenChanged && (listen == display || listen == listenOnly)) {
            if (local) {
                failed = failure(kListenOnlyNameExists, ClientNameField::ListenOnlyName, warned);
                return;
            }
            warned = true;
        }
    });
    if (failed) {
        return *failed;
    }
    ClientValidation result;
    result.remoteWarning = warned;
    return result;
}

} // namespace mirx::model
