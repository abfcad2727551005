#include "link/domain_login.h"

#include "core/ascii.h"
#include "core/debug_log.h"
#include "core/utf16.h"
#include "link/login_records.h"
#include "link/settings_store.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ldap.h>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <pwd.h>
#include <sasl/sasl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace mirx::link {

namespace {

bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

using text::equalsIgnoringAsciiCase;

// The user part of a "domain\user" name, up to the first white space, uncut.
std::string_view accountPart(std::string_view samCompatible) {
    std::string_view name = samCompatible;
    if (const auto slash = name.find('\\'); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    std::size_t end = 0;
    while (end < name.size() && !isWhiteSpace(name[end])) {
        ++end;
    }
    return name.substr(0, end);
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

std::string format(const char* fmt, ...) MIRX_PRINTF(1, 2);
std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) {
        std::vsnprintf(out.data(), out.size() + 1, fmt, again);
    }
    va_end(again);
    return out;
}

DomainCheck refuse(std::string text) {
    log::print("%s", text.c_str());
    return {std::nullopt, std::move(text)};
}

// The effective user's name, or the error number.
std::optional<std::string> loginUserName(int& error) {
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
        error = rc != 0 ? rc : ENOENT;
        return std::nullopt;
    }
    return std::string(found->pw_name);
}

timeval toTimeval(std::chrono::milliseconds ms) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(ms.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((ms.count() % 1000) * 1000);
    return tv;
}

std::string handleUri(LDAP* ld) {
    char* uri = nullptr;
    std::string out = "the default directory";
    if (ldap_get_option(ld, LDAP_OPT_URI, &uri) == LDAP_OPT_SUCCESS && uri != nullptr) {
        out = uri;
    }
    ldap_memfree(uri);
    return out;
}

// A non-blocking connect may still be under way when ldap_connect returns;
// waits for it, so that a directory no one answers for fails here.
int awaitConnected(LDAP* ld, std::chrono::milliseconds timeout) {
    int fd = -1;
    if (ldap_get_option(ld, LDAP_OPT_DESC, &fd) != LDAP_OPT_SUCCESS || fd < 0) {
        return LDAP_SERVER_DOWN;
    }
    pollfd p{fd, POLLOUT, 0};
    int ready = 0;
    while ((ready = ::poll(&p, 1, static_cast<int>(timeout.count()))) < 0 && errno == EINTR) {
    }
    if (ready == 0) {
        return LDAP_TIMEOUT;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (ready < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        return LDAP_SERVER_DOWN;
    }
    return LDAP_SUCCESS;
}

bool overLocalSocket(LDAP* ld) {
    int fd = -1;
    if (ldap_get_option(ld, LDAP_OPT_DESC, &fd) != LDAP_OPT_SUCCESS || fd < 0) {
        return false;
    }
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           address.ss_family == AF_UNIX;
}

// Whether the mechanism's own security layer guards the exchange.
bool protectsIntegrity(std::string_view mechanism) {
    return equalsIgnoringAsciiCase(mechanism, "GSSAPI");
}

// libldap writes to its socket without MSG_NOSIGNAL: a directory that went
// away must fail the check, not end the process. SIGPIPE is held back on
// this thread while the check runs, and one raised meanwhile is taken.
class SigpipeHeld {
public:
    SigpipeHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~SigpipeHeld() {
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1 && sigismember(&old_, SIGPIPE) == 0) {
            const timespec now{};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    SigpipeHeld(const SigpipeHeld&) = delete;
    SigpipeHeld& operator=(const SigpipeHeld&) = delete;

private:
    sigset_t pipe_{};
    sigset_t old_{};
};

struct DnFree {
    void operator()(LDAPDN dn) const { ldap_dnfree(dn); }
};

std::string_view view(const berval& value) {
    return {value.bv_val, value.bv_len};
}

} // namespace

std::string AccountNameForLogin(std::string_view samCompatible) {
    return std::string(
        text::prefixWithinUtf16Units(accountPart(samCompatible), kLoginTextMaxChars));
}

bool AuthzIdNamesAccount(std::string_view authzId, std::string_view account) {
    if (account.empty()) {
        return false;
    }
    if (authzId.starts_with("u:")) {
        return equalsIgnoringAsciiCase(authzId.substr(2), account);
    }
    if (!authzId.starts_with("dn:")) {
        return false;
    }
    const std::string dnText(authzId.substr(3));
    LDAPDN raw = nullptr;
    if (ldap_str2dn(dnText.c_str(), &raw, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS ||
        raw == nullptr) {
        return false;
    }
    const std::unique_ptr<LDAPRDN, DnFree> dn(raw);
    const LDAPRDN first = raw[0];
    // A multi-valued first part (uid=x+cn=y) is not a plain account entry.
    if (first == nullptr || first[0] == nullptr || first[1] != nullptr) {
        return false;
    }
    const LDAPAVA& ava = *first[0];
    if ((ava.la_flags & LDAP_AVA_BINARY) != 0) {
        return false;
    }
    const std::string_view type = view(ava.la_attr);
    return (equalsIgnoringAsciiCase(type, "uid") || type == "0.9.2342.19200300.100.1.1") &&
           equalsIgnoringAsciiCase(view(ava.la_value), account);
}

DomainCheck CheckDomainAccount(const DomainSettings& settings) {
    const std::string& mechanism = settings.saslMechanism;
    if (mechanism.empty()) {
        return refuse("No SASL mechanism is set (DomainSaslMechanism): the directory check "
                      "needs one that authenticates the user");
    }
    if (equalsIgnoringAsciiCase(mechanism, "ANONYMOUS")) {
        return refuse("The SASL mechanism ANONYMOUS authenticates nobody: the directory check "
                      "refuses it");
    }

    int userError = 0;
    const auto user = loginUserName(userError);
    if (!user) {
        return refuse(
            format("GetUserNameEx: failed: %d: the current user's name is unknown", userError));
    }
    // Names from a domain-joined system may come as "domain\user".
    const std::string_view account = accountPart(*user);

    const SigpipeHeld sigpipeHeld;
    LDAP* raw = nullptr;
    int rc = ldap_initialize(&raw, settings.uri.empty() ? nullptr : settings.uri.c_str());
    LdapHandle ld(raw);
    if (rc != LDAP_SUCCESS || !ld) {
        return refuse(format("ldap_init failed with 0x%x: \"%s\" is no usable directory address",
                             hex(rc), settings.uri.c_str()));
    }
    const std::string where = handleUri(ld.get());

    const int version = LDAP_VERSION3;
    const timeval limit = toTimeval(settings.timeout);
    const struct {
        int option;
        const void* value;
    } options[] = {
        {LDAP_OPT_PROTOCOL_VERSION, &version},
        {LDAP_OPT_NETWORK_TIMEOUT, &limit},
        {LDAP_OPT_TIMEOUT, &limit},
        // Only a non-blocking connect bounds the TLS handshake of ldaps://
        // by the network time-out; a blocking one waits for ever on a
        // directory that accepts and then says nothing.
        {LDAP_OPT_CONNECT_ASYNC, LDAP_OPT_ON},
    };
    for (const auto& o : options) {
        rc = ldap_set_option(ld.get(), o.option, o.value);
        if (rc != LDAP_OPT_SUCCESS) {
            return refuse(format("SetOption Error:%0X: the directory library refused option 0x%x",
                                 hex(rc), hex(o.option)));
        }
    }

    rc = ldap_connect(ld.get());
    if (rc == LDAP_SUCCESS) {
        rc = awaitConnected(ld.get(), settings.timeout);
    }
    if (rc != LDAP_SUCCESS) {
        return refuse(format("ldap_connect failed with 0x%x (%s): the directory at %s was not "
                             "reached",
                             hex(rc), ldap_err2string(rc), where.c_str()));
    }

    if (ldap_tls_inplace(ld.get()) != 0 || overLocalSocket(ld.get())) {
        // TLS, or a local socket no one else can listen in on.
    } else if (protectsIntegrity(mechanism)) {
        // The SASL layer must then actually guard the exchange.
        rc = ldap_set_option(ld.get(), LDAP_OPT_X_SASL_SECPROPS, "minssf=1");
        if (rc != LDAP_OPT_SUCCESS) {
            return refuse(format("SetOption Error:%0X: the SASL security layer cannot be "
                                 "required",
                                 hex(rc)));
        }
    } else {
        rc = ldap_start_tls_s(ld.get(), nullptr, nullptr);
        if (rc != LDAP_SUCCESS) {
            return refuse(format("ldap_start_tls_s failed with 0x%x (%s): the directory at %s "
                                 "did not start TLS, and %s is not checked without it",
                                 hex(rc), ldap_err2string(rc), where.c_str(), mechanism.c_str()));
        }
    }

    rc = ldap_sasl_interactive_bind_s(ld.get(), nullptr, mechanism.c_str(), nullptr, nullptr,
                                      LDAP_SASL_QUIET, answerDefaults, nullptr);
    if (rc != LDAP_SUCCESS) {
        return refuse(format("ldap_bind_s failed with 0x%x (%s): the directory did not accept "
                             "the %s bind",
                             hex(rc), ldap_err2string(rc), mechanism.c_str()));
    }

    berval* authzId = nullptr;
    rc = ldap_whoami_s(ld.get(), &authzId, nullptr, nullptr);
    const std::string identity =
        authzId != nullptr && authzId->bv_val != nullptr ? std::string(view(*authzId)) : "";
    ber_bvfree(authzId);
    if (rc != LDAP_SUCCESS) {
        return refuse(format("ldap_whoami failed with 0x%x (%s): the directory did not say who "
                             "is bound",
                             hex(rc), ldap_err2string(rc)));
    }
    if (identity.empty()) {
        return refuse("The directory holds the bind as anonymous: it proves no account");
    }
    if (!AuthzIdNamesAccount(identity, account)) {
        return refuse(format("The directory holds the bind as \"%s\", which does not name the "
                             "account %s",
                             identity.c_str(), std::string(account).c_str()));
    }
    return {AccountNameForLogin(*user), {}};
}

DomainSettings readDomainSettings(SettingsStore& store) {
    DomainSettings settings;
    settings.uri = readString(store, kDomainDirectoryUri).value_or("");
    settings.saslMechanism = readDomainSaslMechanism(store);
    return settings;
}

} // namespace mirx::link
