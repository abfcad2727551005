#pragma once

#include <optional>
#include <string>
#include <string_view>

// Domain authentication: before a login the console proves that the
// workstation's current user can authenticate to the directory, then logs in
// under that user's account name. The directory check is a SASL bind with the
// user's own credentials (a Kerberos ticket for GSSAPI, the peer credentials
// for EXTERNAL over ldapi), so no password is ever typed or sent.

namespace mirx::link {

class SettingsStore;

struct DomainSettings {
    // Empty: the default URI of ldap.conf (or LDAPURI).
    std::string uri;
    // Empty: the SASL_MECH of ldap.conf.
    std::string saslMechanism = "GSSAPI";
};

// DomainDirectoryUri and DomainSaslMechanism of the profile.
DomainSettings readDomainSettings(SettingsStore& store);

// The login name for a sam-compatible "domain\user" name: the text after the
// first backslash (the whole text when there is none), up to the first
// white-space character, cut to 20 characters as the login buffers hold.
std::string AccountNameForLogin(std::string_view samCompatible);

// Binds to the directory as the current user and returns the account name to
// log in with, or nullopt after logging why the check failed.
std::optional<std::string> CheckDomainAccount(const DomainSettings& settings);

} // namespace mirx::link
