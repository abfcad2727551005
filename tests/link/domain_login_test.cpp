#include "link/domain_login.h"
#include "tests/support/log_capture.h"
#include "tests/support/run_command.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <ldap.h>
#include <map>
#include <netinet/in.h>
#include <ostream>
#include <pwd.h>
#include <sasl/sasl.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace mirx::link {
namespace {

using test::LogCapture;

constexpr const char* kSlapd = "/usr/sbin/slapd";

using test::shellQuote;

// A private slapd, stopped (and its folder removed) when the suite ends;
// should the program die first, the script's watcher does it.
class Slapd {
public:
    bool start(const std::string& options) {
        const auto tmpl = (std::filesystem::temp_directory_path() / "mirx-ldap.XXXXXX").string();
        std::string dir = tmpl;
        if (mkdtemp(dir.data()) == nullptr) {
            error_ = "mkdtemp failed";
            return false;
        }
        dir_ = dir;
        const auto [status, output] =
            test::runCommand(shellQuote(MIRX_SLAPD_SCRIPT) + " start " + shellQuote(dir_) +
                             " --owner " + std::to_string(getpid()) + " " + options + " 2>&1");
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            if (const auto eq = line.find('='); eq != std::string::npos) {
                values_[line.substr(0, eq)] = line.substr(eq + 1);
            }
        }
        if (status != 0 || ldapiUri().empty() || tcpUri().empty()) {
            error_ = "slapd-test.sh start failed: " + output;
            return false;
        }
        return true;
    }

    void stop() {
        if (!dir_.empty()) {
            test::runCommand(shellQuote(MIRX_SLAPD_SCRIPT) + " stop " + shellQuote(dir_));
            dir_.clear();
        }
    }

    std::string value(const std::string& name) const {
        const auto it = values_.find(name);
        return it == values_.end() ? std::string() : it->second;
    }
    std::string ldapiUri() const { return value("SLAPD_LDAPI_URI"); }
    std::string tcpUri() const { return value("SLAPD_LDAP_URI"); }
    std::string ldapsUri() const { return value("SLAPD_LDAPS_URI"); }
    std::string caFile() const { return value("SLAPD_CA_FILE"); }
    std::string clientCert() const { return value("SLAPD_CLIENT_CERT"); }
    std::string clientKey() const { return value("SLAPD_CLIENT_KEY"); }
    const std::string& error() const { return error_; }

private:
    std::string dir_;
    std::map<std::string, std::string> values_;
    std::string error_;
};

// Accepts connections (the kernel completes them) and never says a word.
class SilentListener {
public:
    SilentListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            ::listen(fd_, 8) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~SilentListener() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    std::uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// Two directories: a proper one (TLS with a certificate this process trusts;
// the current user's peer credentials, and the client certificate this
// process presents, mapped to uid=<user>) and a lax one (no TLS, SASL
// ANONYMOUS allowed, the current user mapped to somebody else).
class DomainLoginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (access(kSlapd, X_OK) != 0) {
            return;
        }
        proper_ = new Slapd;
        lax_ = new Slapd;
        started_ = proper_->start("--tls") &&
                   lax_->start("--allow-anonymous --map-to "
                               "uid=someone-else,ou=people,dc=mirx,dc=test") &&
                   useTls(*proper_);
    }

    static void TearDownTestSuite() {
        for (Slapd** s : {&proper_, &lax_}) {
            if (*s != nullptr) {
                (*s)->stop();
                delete *s;
                *s = nullptr;
            }
        }
    }

    void SetUp() override {
        if (proper_ == nullptr) {
            GTEST_SKIP() << kSlapd << " is not installed (Debian package slapd)";
        }
        ASSERT_TRUE(started_) << proper_->error() << lax_->error();
    }

    static Slapd& proper() { return *proper_; }
    static Slapd& lax() { return *lax_; }

private:
    // What TLS_CACERT, TLS_CERT and TLS_KEY in ldap.conf would do, before
    // any TLS is used.
    static bool useTls(const Slapd& s) {
        const int zero = 0;
        const std::pair<int, std::string> files[] = {
            {LDAP_OPT_X_TLS_CACERTFILE, s.caFile()},
            {LDAP_OPT_X_TLS_CERTFILE, s.clientCert()},
            {LDAP_OPT_X_TLS_KEYFILE, s.clientKey()},
        };
        for (const auto& [option, file] : files) {
            if (file.empty() ||
                ldap_set_option(nullptr, option, file.c_str()) != LDAP_OPT_SUCCESS) {
                return false;
            }
        }
        return ldap_set_option(nullptr, LDAP_OPT_X_TLS_NEWCTX, &zero) == LDAP_OPT_SUCCESS;
    }

    static inline Slapd* proper_ = nullptr;
    static inline Slapd* lax_ = nullptr;
    static inline bool started_ = false;
};

std::string loginUserName() {
    const passwd* pw = getpwuid(geteuid());
    return pw != nullptr ? pw->pw_name : "";
}

enum class Server { Proper, Lax, Silent };
// TcpByName: the TCP port under the name "localhost", which the server's
// certificate (made for 127.0.0.1) does not name.
enum class Via { Ldapi, Tcp, TcpByName, Ldaps, Literal };

struct PassCase {
    const char* what;
    Via via;
};

void PrintTo(const PassCase& c, std::ostream* os) {
    *os << c.what;
}

class DomainPassTest : public DomainLoginTest, public ::testing::WithParamInterface<PassCase> {};

// EXTERNAL: the peer credentials of the local socket, or the client
// certificate over TLS; either way the directory says uid=<user>.
TEST_P(DomainPassTest, GivesTheLoginUsersName) {
    const Via via = GetParam().via;
    const std::string uri = via == Via::Ldapi ? proper().ldapiUri()
                            : via == Via::Tcp ? proper().tcpUri()
                                              : proper().ldapsUri();
    LogCapture log;
    const DomainCheck check = CheckDomainAccount({uri, "EXTERNAL"});
    ASSERT_TRUE(check.account.has_value()) << check.refusal;
    EXPECT_EQ(*check.account, AccountNameForLogin(loginUserName()));
    EXPECT_FALSE(check.account->empty());
    EXPECT_TRUE(check.refusal.empty());
    EXPECT_TRUE(log.lines().empty()) << ::testing::PrintToString(log.lines());
}

INSTANTIATE_TEST_SUITE_P(Rows, DomainPassTest,
                         ::testing::Values(PassCase{"LocalSocket", Via::Ldapi},
                                           PassCase{"StartTls", Via::Tcp},
                                           PassCase{"Ldaps", Via::Ldaps}),
                         [](const auto& tc) { return std::string(tc.param.what); });

int answerEmpty(LDAP*, unsigned, void*, void* prompts) {
    for (auto* p = static_cast<sasl_interact_t*>(prompts); p->id != SASL_CB_LIST_END; ++p) {
        p->result = "";
        p->len = 0;
    }
    return LDAP_SUCCESS;
}

// The premise of the ANONYMOUS rows: this directory does accept the bind,
// which the check before this one took as proof.
TEST_F(DomainLoginTest, TheLaxDirectoryAcceptsAnAnonymousSaslBind) {
    LDAP* ld = nullptr;
    ASSERT_EQ(ldap_initialize(&ld, lax().ldapiUri().c_str()), LDAP_SUCCESS);
    const int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld, LDAP_OPT_X_SASL_SECPROPS, "none");
    const int rc = ldap_sasl_interactive_bind_s(ld, nullptr, "ANONYMOUS", nullptr, nullptr,
                                                LDAP_SASL_QUIET, answerEmpty, nullptr);
    ldap_unbind_ext_s(ld, nullptr, nullptr);
    EXPECT_EQ(rc, LDAP_SUCCESS) << ldap_err2string(rc);
}

struct RefusalCase {
    const char* what;
    Server server;
    Via via;
    const char* mechanism;
    // The refusal starts with this text.
    const char* refusal;
    const char* literalUri = "";
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.what;
}

class DomainRefusalTest : public DomainLoginTest,
                          public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(DomainRefusalTest, RefusesWithItsOwnText) {
    const RefusalCase& c = GetParam();
    SilentListener silent;
    std::string uri = c.literalUri;
    if (c.server == Server::Silent) {
        ASSERT_NE(silent.port(), 0);
        uri = (c.via == Via::Ldaps ? "ldaps://127.0.0.1:" : "ldap://127.0.0.1:") +
              std::to_string(silent.port());
    } else if (c.via != Via::Literal) {
        const Slapd& s = c.server == Server::Proper ? proper() : lax();
        uri = c.via == Via::Ldapi ? s.ldapiUri() : c.via == Via::Ldaps ? s.ldapsUri() : s.tcpUri();
        if (c.via == Via::TcpByName) {
            uri.replace(uri.find("127.0.0.1"), 9, "localhost");
        }
    }
    DomainSettings settings{uri, c.mechanism};
    // Short enough for a test; the rows that wait prove that the wait ends.
    settings.timeout = std::chrono::milliseconds(300);
    LogCapture log;
    const DomainCheck check = CheckDomainAccount(settings);
    EXPECT_EQ(check.account, std::nullopt);
    EXPECT_TRUE(check.refusal.starts_with(c.refusal)) << check.refusal;
    EXPECT_EQ(log.lines(), std::vector<std::string>{check.refusal});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DomainRefusalTest,
    ::testing::Values(
        RefusalCase{"NoMechanism", Server::Proper, Via::Ldapi, "",
                    "No SASL mechanism is set (DomainSaslMechanism)"},
        RefusalCase{"AnonymousWhereTheDirectoryAllowsIt", Server::Lax, Via::Ldapi, "ANONYMOUS",
                    "The SASL mechanism ANONYMOUS authenticates nobody"},
        RefusalCase{"AnonymousInLowerCase", Server::Lax, Via::Ldapi, "anonymous",
                    "The SASL mechanism ANONYMOUS authenticates nobody"},
        // -9 LDAP_PARAM_ERROR
        RefusalCase{"MalformedUri", Server::Proper, Via::Literal, "EXTERNAL",
                    "ldap_init failed with 0xfffffff7", "not a uri"},
        RefusalCase{"UnsupportedScheme", Server::Proper, Via::Literal, "EXTERNAL",
                    "ldap_init failed with 0xfffffff7", "http://127.0.0.1"},
        // -1 LDAP_SERVER_DOWN
        RefusalCase{"NothingListens", Server::Proper, Via::Literal, "EXTERNAL",
                    "ldap_connect failed with 0xffffffff", "ldap://127.0.0.1:1"},
        // -6 LDAP_AUTH_UNKNOWN: the server is reached but takes no such bind.
        RefusalCase{"UnknownMechanism", Server::Proper, Via::Ldapi, "NO-SUCH-MECH",
                    "ldap_bind_s failed with 0xfffffffa"},
        // The lax directory has no certificate: StartTLS fails, nothing is sent in clear.
        RefusalCase{"PlainLdapWithoutStartTls", Server::Lax, Via::Tcp, "EXTERNAL",
                    "ldap_start_tls_s failed with"},
        RefusalCase{"CertificateForAnotherName", Server::Proper, Via::TcpByName, "EXTERNAL",
                    "ldap_start_tls_s failed with"},
        RefusalCase{"UnknownMechanismOverTls", Server::Proper, Via::Ldaps, "NO-SUCH-MECH",
                    "ldap_bind_s failed with 0xfffffffa"},
        // GSSAPI guards itself, so no StartTLS is asked for; without a
        // Kerberos ticket its bind then fails.
        RefusalCase{"GssapiNeedsNoTlsButATicket", Server::Lax, Via::Tcp, "GSSAPI",
                    "ldap_bind_s failed with"},
        RefusalCase{"BoundAsAnotherAccount", Server::Lax, Via::Ldapi, "EXTERNAL",
                    "The directory holds the bind as \"dn:uid=someone-else,ou=people,dc=mirx,"
                    "dc=test\", which does not name the account"},
        // -5 LDAP_TIMEOUT: the StartTLS answer never comes.
        RefusalCase{"SilentDirectory", Server::Silent, Via::Tcp, "EXTERNAL",
                    "ldap_start_tls_s failed with 0xfffffffb"},
        RefusalCase{"SilentDirectoryOverLdaps", Server::Silent, Via::Ldaps, "EXTERNAL",
                    "ldap_connect failed with"}),
    [](const auto& tc) { return std::string(tc.param.what); });

// Sets libldap's process-wide default URI (what ldap.conf would give) for
// the life of the guard.
class DefaultUri {
public:
    explicit DefaultUri(const std::string& uri) {
        char* old = nullptr;
        ldap_get_option(nullptr, LDAP_OPT_URI, &old);
        if (old != nullptr) {
            old_ = old;
            ldap_memfree(old);
        }
        ok_ = ldap_set_option(nullptr, LDAP_OPT_URI, uri.c_str()) == LDAP_OPT_SUCCESS;
    }
    ~DefaultUri() { ldap_set_option(nullptr, LDAP_OPT_URI, old_.empty() ? nullptr : old_.c_str()); }
    DefaultUri(const DefaultUri&) = delete;
    DefaultUri& operator=(const DefaultUri&) = delete;
    bool ok() const { return ok_; }

private:
    std::string old_;
    bool ok_ = false;
};

TEST_F(DomainLoginTest, EmptyUriUsesTheLibraryDefault) {
    {
        DefaultUri def(proper().ldapiUri());
        ASSERT_TRUE(def.ok());
        EXPECT_EQ(CheckDomainAccount({"", "EXTERNAL"}).account,
                  AccountNameForLogin(loginUserName()));
    }
    {
        DefaultUri def("ldap://127.0.0.1:1");
        ASSERT_TRUE(def.ok());
        LogCapture log;
        EXPECT_EQ(CheckDomainAccount({"", "EXTERNAL"}).account, std::nullopt);
        EXPECT_TRUE(log.contains("ldap_connect failed with 0xffffffff"));
    }
}

struct AuthzCase {
    const char* what;
    std::string authzId;
    std::string account;
    bool names;
};

void PrintTo(const AuthzCase& c, std::ostream* os) {
    *os << c.what;
}

class AuthzIdTest : public ::testing::TestWithParam<AuthzCase> {};

TEST_P(AuthzIdTest, NamesTheAccountOnlyByUidOrUserName) {
    EXPECT_EQ(AuthzIdNamesAccount(GetParam().authzId, GetParam().account), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, AuthzIdTest,
    ::testing::Values(AuthzCase{"UserForm", "u:jdoe", "jdoe", true},
                      AuthzCase{"UserFormOtherCase", "u:JDoe", "jdoe", true},
                      AuthzCase{"UserFormLonger", "u:jdoe2", "jdoe", false},
                      AuthzCase{"UserFormWithRealm", "u:jdoe@CORP", "jdoe", false},
                      AuthzCase{"UidFirst", "dn:uid=jdoe,ou=people,dc=corp", "jdoe", true},
                      AuthzCase{"UidAlone", "dn:uid=jdoe", "jdoe", true},
                      AuthzCase{"UidOtherCase", "dn:UID=JDOE,dc=corp", "jdoe", true},
                      AuthzCase{"UidByOid", "dn:0.9.2342.19200300.100.1.1=jdoe,dc=corp", "jdoe",
                                true},
                      AuthzCase{"UidEscaped", "dn:uid=jd\\6fe,dc=corp", "jdoe", true},
                      AuthzCase{"UidWithEscapedComma", "dn:uid=jdoe\\2C,dc=corp", "jdoe", false},
                      AuthzCase{"UidNotFirst", "dn:ou=jdoe,uid=jdoe", "jdoe", false},
                      AuthzCase{"CnIsNoAccount", "dn:cn=jdoe,dc=corp", "jdoe", false},
                      AuthzCase{"MultiValuedFirstPart", "dn:uid=jdoe+cn=x,dc=corp", "jdoe", false},
                      AuthzCase{"BinaryValue", "dn:uid=#04046a646f65,dc=corp", "jdoe", false},
                      AuthzCase{"NotADn", "dn:no dn here", "jdoe", false},
                      AuthzCase{"Anonymous", "", "jdoe", false},
                      AuthzCase{"NoPrefix", "jdoe", "jdoe", false},
                      AuthzCase{"EmptyAccount", "u:", "", false}),
    [](const auto& tc) { return std::string(tc.param.what); });

struct NameCase {
    const char* what;
    std::string sam;
    std::string login;
};

class AccountNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(AccountNameTest, TakesTheUserPartOfTheName) {
    EXPECT_EQ(AccountNameForLogin(GetParam().sam), GetParam().login);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, AccountNameTest,
    ::testing::Values(NameCase{"DomainAndUser", "CORP\\jdoe", "jdoe"},
                      NameCase{"StopsAtSpace", "CORP\\j doe", "j"},
                      NameCase{"StopsAtTab", "CORP\\jdoe\tx", "jdoe"},
                      NameCase{"NoBackslash", "jdoe", "jdoe"},
                      NameCase{"OnlyFirstBackslashSplits", "CORP\\sub\\jdoe", "sub\\jdoe"},
                      NameCase{"NothingAfterBackslash", "CORP\\", ""},
                      NameCase{"TwentyKept", "CORP\\abcdefghijklmnopqrst", "abcdefghijklmnopqrst"},
                      NameCase{"TwentyFiveCutToTwenty", "CORP\\abcdefghijklmnopqrstuvwxy",
                               "abcdefghijklmnopqrst"},
                      NameCase{"CountsCharactersNotBytes", "CORP\\abcdefghijklmnopqrs\xC3\xA9z",
                               "abcdefghijklmnopqrs\xC3\xA9"},
                      // A character outside the BMP takes two of the 20 UTF-16 units.
                      NameCase{"NeverSplitsACharacter", "CORP\\abcdefghijklmnopqrs\xF0\x9F\x98\x80",
                               "abcdefghijklmnopqrs"}),
    [](const auto& tc) { return std::string(tc.param.what); });

} // namespace
} // namespace mirx::link
