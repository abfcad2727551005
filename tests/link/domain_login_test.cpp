#include "link/domain_login.h"
#include "tests/support/log_capture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <ldap.h>
#include <map>
#include <pwd.h>
#include <sstream>
#include <string>
#include <unistd.h>

namespace mirx::link {
namespace {

using test::LogCapture;

constexpr const char* kSlapd = "/usr/sbin/slapd";

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (const char c : s) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Runs a shell command; its exit status and standard output.
std::pair<int, std::string> run(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {-1, output};
    }
    char chunk[256];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        output.append(chunk, n);
    }
    return {pclose(pipe), output};
}

// A private slapd for this test program, stopped (and its folder removed) when
// the suite ends; should the program die first, the script's watcher does it.
class Slapd {
public:
    bool start() {
        const auto tmpl = (std::filesystem::temp_directory_path() / "mirx-ldap.XXXXXX").string();
        std::string dir = tmpl;
        if (mkdtemp(dir.data()) == nullptr) {
            error_ = "mkdtemp failed";
            return false;
        }
        dir_ = dir;
        const auto [status, output] =
            run(shellQuote(MIRX_SLAPD_SCRIPT) + " start " + shellQuote(dir_) + " --owner " +
                std::to_string(getpid()) + " 2>&1");
        std::map<std::string, std::string> values;
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            if (const auto eq = line.find('='); eq != std::string::npos) {
                values[line.substr(0, eq)] = line.substr(eq + 1);
            }
        }
        ldapiUri_ = values["SLAPD_LDAPI_URI"];
        tcpUri_ = values["SLAPD_LDAP_URI"];
        if (status != 0 || ldapiUri_.empty() || tcpUri_.empty()) {
            error_ = "slapd-test.sh start failed: " + output;
            return false;
        }
        return true;
    }

    void stop() {
        if (!dir_.empty()) {
            run(shellQuote(MIRX_SLAPD_SCRIPT) + " stop " + shellQuote(dir_));
            dir_.clear();
        }
    }

    const std::string& ldapiUri() const { return ldapiUri_; }
    const std::string& tcpUri() const { return tcpUri_; }
    const std::string& error() const { return error_; }

private:
    std::string dir_;
    std::string ldapiUri_;
    std::string tcpUri_;
    std::string error_;
};

class DomainLoginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (access(kSlapd, X_OK) == 0) {
            slapd_ = new Slapd;
            started_ = slapd_->start();
        }
    }

    static void TearDownTestSuite() {
        if (slapd_ != nullptr) {
            slapd_->stop();
            delete slapd_;
            slapd_ = nullptr;
        }
    }

    void SetUp() override {
        if (slapd_ == nullptr) {
            GTEST_SKIP() << kSlapd << " is not installed (Debian package slapd)";
        }
        ASSERT_TRUE(started_) << slapd_->error();
    }

    static Slapd& slapd() { return *slapd_; }

private:
    static inline Slapd* slapd_ = nullptr;
    static inline bool started_ = false;
};

std::string loginUserName() {
    const passwd* pw = getpwuid(geteuid());
    return pw != nullptr ? pw->pw_name : "";
}

TEST_F(DomainLoginTest, ExternalBindOverLdapiGivesTheLoginUsersName) {
    LogCapture log;
    const auto account = CheckDomainAccount({slapd().ldapiUri(), "EXTERNAL"});
    ASSERT_TRUE(account.has_value()) << ::testing::PrintToString(log.lines());
    EXPECT_EQ(*account, AccountNameForLogin(loginUserName()));
    EXPECT_FALSE(account->empty());
    EXPECT_TRUE(log.lines().empty()) << ::testing::PrintToString(log.lines());
}

struct FailureCase {
    const char* what;
    std::string uri; // "<ldapi>" and "<tcp>" stand for the private server
    const char* mechanism;
    const char* logged;
};

class DomainLoginFailureTest : public DomainLoginTest,
                               public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DomainLoginFailureTest, FailsWithTheStepsText) {
    const FailureCase& c = GetParam();
    std::string uri = c.uri;
    if (uri == "<ldapi>") {
        uri = slapd().ldapiUri();
    } else if (uri == "<tcp>") {
        uri = slapd().tcpUri();
    }
    LogCapture log;
    EXPECT_EQ(CheckDomainAccount({uri, c.mechanism}), std::nullopt);
    EXPECT_EQ(log.lines(), std::vector<std::string>{c.logged});
}

INSTANTIATE_TEST_SUITE_P(Steps, DomainLoginFailureTest,
                         ::testing::Values(
                             // -9 LDAP_PARAM_ERROR
                             FailureCase{"MalformedUri", "not a uri", "EXTERNAL",
                                         "ldap_init failed with 0xfffffff7"},
                             FailureCase{"UnsupportedScheme", "http://127.0.0.1", "EXTERNAL",
                                         "ldap_init failed with 0xfffffff7"},
                             // -1 LDAP_SERVER_DOWN
                             FailureCase{"NothingListens", "ldap://127.0.0.1:1", "EXTERNAL",
                                         "ldap_connect failed with 0xffffffff"},
                             // -6 LDAP_AUTH_UNKNOWN: the server is reached but takes no such bind.
                             FailureCase{"UnknownMechanism", "<ldapi>", "NO-SUCH-MECH",
                                         "ldap_bind_s failed with 0xfffffffa"},
                             // Over TCP there are no peer credentials to bind with.
                             FailureCase{"ExternalWithoutPeerCredentials", "<tcp>", "EXTERNAL",
                                         "ldap_bind_s failed with 0xfffffffa"}),
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
        DefaultUri def(slapd().ldapiUri());
        ASSERT_TRUE(def.ok());
        EXPECT_EQ(CheckDomainAccount({"", "EXTERNAL"}), AccountNameForLogin(loginUserName()));
    }
    {
        DefaultUri def("ldap://127.0.0.1:1");
        ASSERT_TRUE(def.ok());
        LogCapture log;
        EXPECT_EQ(CheckDomainAccount({"", "EXTERNAL"}), std::nullopt);
        EXPECT_TRUE(log.contains("ldap_connect failed with 0xffffffff"));
    }
}

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
