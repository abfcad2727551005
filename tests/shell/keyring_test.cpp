// The desktop keyring for real: gnome-keyring-daemon on a private session bus
// (scripts/keyring-test.sh), and the ways it can be missing. The session bus
// is chosen once per process, so each way runs in a process of its own,
// named by MIRX_KEYRING_SCENARIO; the other ways' tests skip.
#include "link/settings_store.h"
#include "shell/keyring/keychain_secret_store.h"
#include "shell/settings/qsettings_store.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_folder.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>

namespace mirx::shell {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuote;

// What the process runs against.
enum class Scenario { Keyring, KeyringStops, NoBus, BareBus, SilentKeyring };

const std::map<std::string, Scenario> kScenarioNames{
    {"keyring", Scenario::Keyring},
    {"keyring-stops", Scenario::KeyringStops},
    {"no-bus", Scenario::NoBus},
    {"bare-bus", Scenario::BareBus},
    {"silent-keyring", Scenario::SilentKeyring},
};

// The session for the whole process, and the application the keyring's
// thread needs.
class Session final : public testing::Environment {
public:
    static Session* current;

    void SetUp() override {
        const char* name = std::getenv("MIRX_KEYRING_SCENARIO");
        const auto it = kScenarioNames.find(name != nullptr ? name : "keyring");
        ASSERT_NE(it, kScenarioNames.end()) << "unknown MIRX_KEYRING_SCENARIO " << name;
        scenario = it->second;
        // No X11 autolaunch of a bus, and no bus at the standard place.
        ::unsetenv("DISPLAY");
        ::setenv("XDG_RUNTIME_DIR", folder_.path().c_str(), 1);
        if (scenario == Scenario::NoBus) {
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        } else {
            start(scenario == Scenario::BareBus         ? " --no-keyring"
                  : scenario == Scenario::SilentKeyring ? " --silent-keyring"
                                                        : "");
        }
        application_ = std::make_unique<QCoreApplication>(argc_, argv_);
    }

    void TearDown() override {
        application_.reset();
        if (!dir_.empty()) {
            runCommand(shellQuote(MIRX_KEYRING_SCRIPT) + " stop " + shellQuote(dir_));
        }
    }

    void stopKeyring() {
        runCommand(shellQuote(MIRX_KEYRING_SCRIPT) + " stop-keyring " + shellQuote(dir_));
    }

    Scenario scenario = Scenario::Keyring;

private:
    void start(const std::string& options) {
        dir_ = (folder_.path() / "session").string();
        const auto [status, output] =
            runCommand(shellQuote(MIRX_KEYRING_SCRIPT) + " start " + shellQuote(dir_) +
                       " --owner " + std::to_string(::getpid()) + options + " 2>&1");
        std::istringstream lines(output);
        std::string address;
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("DBUS_SESSION_BUS_ADDRESS=")) {
                address = line.substr(line.find('=') + 1);
            }
        }
        ASSERT_EQ(status, 0) << output;
        ASSERT_FALSE(address.empty()) << output;
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }

    test::TempFolder folder_{"mirx-keyring"};
    std::string dir_;
    int argc_ = 1;
    char name_[16] = "keyring_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> application_;
};

Session* Session::current = static_cast<Session*>(testing::AddGlobalTestEnvironment(new Session));

// What an independent Secret Service client finds under the entry.
std::string lookUp(const std::string& key) {
    return runCommand("secret-tool lookup user " + shellQuote(key) + " server " +
                      shellQuote(KeychainSecretStore::kService) + " 2>/dev/null")
        .second;
}

// A settings file with the profile "Site" on 10.0.0.5; `open` makes a store
// on it that uses `secrets`.
class SettingsWithKeyring : public testing::Test {
protected:
    // The scenario the test needs; the others skip it.
    virtual Scenario needs() const = 0;

    void SetUp() override {
        if (Session::current->scenario != needs()) {
            GTEST_SKIP() << "runs in its own process (MIRX_KEYRING_SCENARIO)";
        }
    }

    void writeSettings(const std::string& extra = {}) {
        std::ofstream(file_) << "Profile=s:\"Site\"\n\n[Site]\nServerIPAddress=s:\"10.0.0.5\"\n"
                             << extra;
        fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
    }

    QSettingsStore& open(const std::optional<std::string>& profile = std::nullopt) {
        stores_.push_back(std::make_unique<QSettingsStore>(profile, file_));
        stores_.back()->useSecretStore(
            &secrets_, [this](const std::string& text) { notices_.push_back(text); });
        return *stores_.back();
    }

    std::string fileText() const {
        std::ifstream in(file_);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Unreachable in the missing-keyring ways within this, so a fallback never
    // waits long.
    static constexpr std::chrono::milliseconds kWait{2000};

    test::TempFolder folder_{"mirx-keyring-settings"};
    fs::path file_ = folder_ / "settings.conf";
    KeychainSecretStore secrets_{kWait};
    std::vector<std::string> notices_;
    std::vector<std::unique_ptr<QSettingsStore>> stores_;
};

template <Scenario kScenario>
class Under : public SettingsWithKeyring {
protected:
    Scenario needs() const override { return kScenario; }
};
using RealKeyring = Under<Scenario::Keyring>;
using StoppingKeyring = Under<Scenario::KeyringStops>;

TEST_F(RealKeyring, KeepsReadsAndErasesEntries) {
    for (const std::string secret : {"pw", "pässwört €", " spaced \"quoted\" "}) {
        const std::string key = "Site@" + secret;
        ASSERT_EQ(secrets_.write(key, secret).status, SecretStatus::Ok) << secret;
        const SecretResult read = secrets_.read(key);
        EXPECT_EQ(read.status, SecretStatus::Ok) << read.detail;
        EXPECT_EQ(read.secret, secret);
        EXPECT_EQ(lookUp(key), secret) << "the daemon itself holds it";
        ASSERT_EQ(secrets_.write(key, secret + "2").status, SecretStatus::Ok);
        EXPECT_EQ(secrets_.read(key).secret, secret + "2") << "replaced, not added";
        EXPECT_EQ(secrets_.erase(key).status, SecretStatus::Ok);
        EXPECT_EQ(secrets_.read(key).status, SecretStatus::Absent);
        EXPECT_EQ(lookUp(key), "");
    }
    EXPECT_EQ(secrets_.erase("never stored").status, SecretStatus::Ok);
}

TEST_F(RealKeyring, SettingsKeepThePasswordOnlyInTheKeyring) {
    writeSettings("Password=s:\"from file\"\n\n[Other]\nServerIPAddress=s:\"10.0.0.5\"\n");
    QSettingsStore& site = open(std::string("Site"));
    EXPECT_EQ(link::readPassword(site), "from file");
    ASSERT_TRUE(site.writeString(link::kPassword.name, "site pw"));
    EXPECT_EQ(fileText().find("Password="), std::string::npos) << fileText();
    EXPECT_EQ(lookUp("Site@10.0.0.5"), "site pw");

    QSettingsStore& other = open(std::string("Other"));
    ASSERT_TRUE(other.writeString(link::kPassword.name, "other pw"));
    EXPECT_EQ(lookUp("Other@10.0.0.5"), "other pw");
    EXPECT_EQ(link::readPassword(open(std::string("Site"))), "site pw");
    EXPECT_TRUE(notices_.empty());
}

TEST_F(StoppingKeyring, LeavesAClearProblemAndTheFileTakesOver) {
    writeSettings();
    ASSERT_TRUE(open().writeString(link::kPassword.name, "pw"));
    ASSERT_EQ(lookUp("Site@10.0.0.5"), "pw");

    Session::current->stopKeyring();
    QSettingsStore& store = open();
    EXPECT_EQ(link::readPassword(store), "");
    EXPECT_NE(store.passwordProblem().find("kept in the desktop keyring"), std::string::npos)
        << store.passwordProblem();

    ASSERT_TRUE(store.writeString(link::kPassword.name, "typed again"));
    EXPECT_NE(fileText().find("Password=s:\"typed again\""), std::string::npos) << fileText();
    EXPECT_EQ(notices_.size(), 1u);
    EXPECT_EQ(link::readPassword(open()), "typed again");
}

struct MissingCase {
    const char* label;
    Scenario scenario;
    // Why the first call was Unreachable, and why the later ones were.
    const char* says;
    const char* thenSays;
};

class MissingKeyring : public SettingsWithKeyring, public testing::WithParamInterface<MissingCase> {
protected:
    Scenario needs() const override { return GetParam().scenario; }
};

TEST_P(MissingKeyring, EveryCallIsUnreachableAndTheFileKeepsThePassword) {
    const SecretResult first = secrets_.read("k");
    EXPECT_EQ(first.status, SecretStatus::Unreachable);
    EXPECT_NE(first.detail.find(GetParam().says), std::string::npos) << first.detail;
    for (const SecretResult& later : {secrets_.write("k", "pw"), secrets_.erase("k")}) {
        EXPECT_EQ(later.status, SecretStatus::Unreachable);
        EXPECT_NE(later.detail.find(GetParam().thenSays), std::string::npos) << later.detail;
    }
    writeSettings();
    ASSERT_TRUE(open().writeString(link::kPassword.name, "pw"));
    EXPECT_NE(fileText().find("Password=s:\"pw\""), std::string::npos) << fileText();
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_NE(notices_[0].find(GetParam().thenSays), std::string::npos) << notices_[0];
    EXPECT_EQ(link::readPassword(open()), "pw");
}

INSTANTIATE_TEST_SUITE_P(
    Ways, MissingKeyring,
    testing::Values(
        MissingCase{"no_session_bus", Scenario::NoBus, "no session bus", "no session bus"},
        MissingCase{"bus_without_secret_service", Scenario::BareBus,
                    "no Secret Service on the session bus", "no Secret Service on the session bus"},
        // Only the first call waits.
        MissingCase{"secret_service_that_never_answers", Scenario::SilentKeyring,
                    "no answer from the keyring within 2 s",
                    "the keyring has not answered an earlier request"}),
    [](const auto& p) { return std::string(p.param.label); });

} // namespace
} // namespace mirx::shell
