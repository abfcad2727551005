#include "link/domain_login.h"

#include "core/debug_log.h"
#include "core/utf16.h"
#include "link/login_records.h"
#include "link/settings_store.h"

#include <cerrno>
#include <cstring>
#include <ldap.h>
#include <memory>
#include <pwd.h>
#include <sasl/sasl.h>
#include <unistd.h>
#include <vector>

namespace mirx::link {

namespace {

bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

struct Unbind {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
using LdapHandle = std::unique_ptr<LDAP, Unbind>;

// No one answers prompts at login time: every SASL question takes the
// library's default, or nothing, so the bind uses the ambient credentials.
int answerDefaults(LDAP*, unsigned, void*, void* prompts) {
    for (auto* p = static_cast<sasl_interact_t*>(prompts); p->id != SASL_CB_LIST_END; ++p) {
        const char* answer = p->defresult != nullptr ? p->defresult : "";
        p->result = answer;
        p->len = static_cast<unsigned>(std::strlen(answer));
    }
    return LDAP_SUCCESS;
}

unsigned hex(int ldapResult) {
    return static_cast<unsigned>(ldapResult);
}

// The effective user's name, or nullopt after logging the error number.
std::optional<std::string> loginUserName() {
    const long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 1024);
    passwd entry{};
    passwd* found = nullptr;
    int rc = 0;
    while ((rc = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (found == nullptr) {
        log::print("GetUserNameEx: failed: %d", rc != 0 ? rc : ENOENT);
        return std::nullopt;
    }
    return std::string(found->pw_name);
}

} // namespace

std::string AccountNameForLogin(std::string_view samCompatible) {
    std::string_view name = samCompatible;
    if (const auto slash = name.find('\\'); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    std::size_t end = 0;
    while (end < name.size() && !isWhiteSpace(name[end])) {
        ++end;
    }
    return std::string(text::prefixWithinUtf16Units(name.substr(0, end), kLoginTextMaxChars));
}

std::optional<std::string> CheckDomainAccount(const DomainSettings& settings) {
    LDAP* raw = nullptr;
    int rc = ldap_initialize(&raw, settings.uri.empty() ? nullptr : settings.uri.c_str());
    LdapHandle ld(raw);
    if (rc != LDAP_SUCCESS || !ld) {
        log::print("ldap_init failed with 0x%x", hex(rc));
        return std::nullopt;
    }

    const int version = LDAP_VERSION3;
    rc = ldap_set_option(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    if (rc != LDAP_OPT_SUCCESS) {
        log::print("SetOption Error:%0X", hex(rc));
        return std::nullopt;
    }

    rc = ldap_connect(ld.get());
    if (rc != LDAP_SUCCESS) {
        log::print("ldap_connect failed with 0x%x", hex(rc));
        return std::nullopt;
    }

    const char* mechanism =
        settings.saslMechanism.empty() ? nullptr : settings.saslMechanism.c_str();
    rc = ldap_sasl_interactive_bind_s(ld.get(), nullptr, mechanism, nullptr, nullptr,
                                      LDAP_SASL_QUIET, answerDefaults, nullptr);
    if (rc != LDAP_SUCCESS) {
        log::print("ldap_bind_s failed with 0x%x", hex(rc));
        return std::nullopt;
    }

    const auto user = loginUserName();
    if (!user) {
        return std::nullopt;
    }
    // Names from a domain-joined system may come as "domain\user".
    return AccountNameForLogin(*user);
}

DomainSettings readDomainSettings(SettingsStore& store) {
    DomainSettings settings;
    settings.uri = readString(store, kDomainDirectoryUri).value_or("");
    settings.saslMechanism = readDomainSaslMechanism(store);
    return settings;
}

} // namespace mirx::link
