#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// Domain authentication: before a login the console proves that the
// workstation's current user authenticated to the directory, then logs in
// under that user's account name. The directory check is a SASL bind with the
// user's own credentials (a Kerberos ticket for GSSAPI, the peer credentials
// for EXTERNAL over ldapi), so no password is ever typed or sent.
//
// What the check demands before it believes the bind:
// - a mechanism that authenticates (never ANONYMOUS, never left unnamed);
// - a protected path: TLS (ldaps://, or StartTLS on ldap://, refused when the
//   directory will not start it), a local ldapi:// socket, or GSSAPI with its
//   own integrity layer;
// - the directory's answer to "who am I" naming this account: "u:<account>"
//   or a DN whose first part is uid=<account>, the account compared without
//   regard to ASCII case;
// - every network wait and the bind itself bounded by `timeout`.

namespace mirx::link {

class SettingsStore;

struct DomainSettings {
    // Empty: the default URI of ldap.conf (or LDAPURI).
    std::string uri;
    std::string saslMechanism = "GSSAPI";
    std::chrono::milliseconds timeout{10000};
};

// The account to log in with, or why the directory did not prove it.
struct DomainCheck {
    std::optional<std::string> account;
    std::string refusal;
};

// DomainDirectoryUri and DomainSaslMechanism of the profile.
DomainSettings readDomainSettings(SettingsStore& store);

// The login name for a sam-compatible "domain\user" name: the text after the
// first backslash (the whole text when there is none), up to the first
// white-space character, cut to 20 characters as the login buffers hold.
std::string AccountNameForLogin(std::string_view samCompatible);

// Whether the directory's authorization identity names `account` (rule
// above). An empty identity is the anonymous one and names nobody.
bool AuthzIdNamesAccount(std::string_view authzId, std::string_view account);

// Binds to the directory as the current user; the refusal is also logged.
DomainCheck CheckDomainAccount(const DomainSettings& settings);

} // namespace mirx::link
