// Where the settings store keeps a remembered password: the keyring when it
// takes it, the settings file otherwise. The keyring here is an in-memory one
// that can be made unreachable or failing; keyring_test.cpp runs the real one.
#include "link/settings_store.h"
#include "shell/settings/qsettings_store.h"
#include "shell/settings/secret_store.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace mirx::shell {
namespace {

namespace fs = std::filesystem;

class MemorySecrets final : public SecretStore {
public:
    // Ok: answers; otherwise every call ends with this status.
    SecretStatus mode = SecretStatus::Ok;
    std::map<std::string, std::string> entries;
    int writes = 0;

    SecretResult read(const std::string& key) override {
        if (mode != SecretStatus::Ok) {
            return away();
        }
        const auto it = entries.find(key);
        return it == entries.end() ? SecretResult{SecretStatus::Absent, {}, {}}
                                   : SecretResult{SecretStatus::Ok, it->second, {}};
    }
    SecretResult write(const std::string& key, const std::string& secret) override {
        if (mode != SecretStatus::Ok) {
            return away();
        }
        ++writes;
        entries[key] = secret;
        return {SecretStatus::Ok, {}, {}};
    }
    SecretResult erase(const std::string& key) override {
        if (mode != SecretStatus::Ok) {
            return away();
        }
        entries.erase(key);
        return {SecretStatus::Ok, {}, {}};
    }

private:
    SecretResult away() const { return {mode, {}, "test keyring away"}; }
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool hasLine(const fs::path& file, std::string_view start) {
    std::istringstream lines(readFile(file));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(start)) {
            return true;
        }
    }
    return false;
}

// One settings file per test, a profile "Site" on server 10.0.0.5, and the
// notices the store gave.
class PasswordPlace : public testing::Test {
protected:
    PasswordPlace() {
        std::ofstream(file_) << "Profile=s:\"Site\"\n\n[Site]\nServerIPAddress=s:\"10.0.0.5\"\n";
        fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
    }

    QSettingsStore& open(const std::optional<std::string>& profile = std::nullopt) {
        stores_.push_back(std::make_unique<QSettingsStore>(profile, file_));
        QSettingsStore& store = *stores_.back();
        store.useSecretStore(&secrets_,
                             [this](const std::string& text) { notices_.push_back(text); });
        return store;
    }

    // The file's own text, not what Qt still holds in memory.
    std::string passwordInCopy() {
        const fs::path copy = folder_ / ("copy" + std::to_string(stores_.size()) + ".conf");
        fs::copy_file(file_, copy, fs::copy_options::overwrite_existing);
        QSettingsStore plain(std::nullopt, copy);
        return link::readPassword(plain);
    }

    static constexpr const char* kKey = "Site@10.0.0.5";

    test::TempFolder folder_{"mirx-password"};
    fs::path file_ = folder_ / "settings.conf";
    MemorySecrets secrets_;
    std::vector<std::string> notices_;
    std::vector<std::unique_ptr<QSettingsStore>> stores_;
};

TEST_F(PasswordPlace, PasswordInTheFileWorksAndMovesToTheKeyringOnTheNextSave) {
    { std::ofstream(file_, std::ios::app) << "Password=s:\"old\"\n"; }
    QSettingsStore& store = open();
    EXPECT_EQ(link::readPassword(store), "old");

    ASSERT_TRUE(store.writeString(link::kPassword.name, "new"));
    EXPECT_EQ(secrets_.entries, (std::map<std::string, std::string>{{kKey, "new"}}));
    EXPECT_FALSE(hasLine(file_, "Password=")) << readFile(file_);
    EXPECT_TRUE(hasLine(file_, "PasswordInKeyring=n:1")) << readFile(file_);
    EXPECT_EQ(link::readPassword(open()), "new");
    EXPECT_TRUE(notices_.empty());
}

// The link stores the password after every login, on its connection thread:
// a password the keyring is known to hold costs no keyring call.
TEST_F(PasswordPlace, AnUnchangedPasswordIsNotWrittenToTheKeyringAgain) {
    QSettingsStore& store = open();
    ASSERT_TRUE(store.writeString(link::kPassword.name, "pw"));
    ASSERT_TRUE(store.writeString(link::kPassword.name, "pw"));
    EXPECT_EQ(secrets_.writes, 1);
    ASSERT_TRUE(store.writeString(link::kPassword.name, "changed"));
    EXPECT_EQ(secrets_.writes, 2);
    EXPECT_EQ(secrets_.entries.at(kKey), "changed");

    // Read by a later run (the login view), then stored after its login.
    QSettingsStore& later = open();
    EXPECT_EQ(link::readPassword(later), "changed");
    ASSERT_TRUE(later.writeString(link::kPassword.name, "changed"));
    EXPECT_EQ(secrets_.writes, 2);

    // A copy put in the file meanwhile still moves to the keyring.
    { std::ofstream(file_, std::ios::app) << "Password=s:\"changed\"\n"; }
    QSettingsStore& edited = open();
    EXPECT_EQ(link::readPassword(edited), "changed");
    ASSERT_TRUE(edited.writeString(link::kPassword.name, "changed"));
    EXPECT_EQ(secrets_.writes, 3);
    EXPECT_FALSE(hasLine(file_, "Password=")) << readFile(file_);
}

// Without a keyring, or with one that refuses, the file keeps the password,
// and the user hears of it once until a keyring takes one again.
class PasswordWithoutKeyring : public PasswordPlace,
                               public testing::WithParamInterface<SecretStatus> {};

TEST_P(PasswordWithoutKeyring, StaysInTheFileWithOneNotice) {
    secrets_.mode = GetParam();
    ASSERT_TRUE(open().writeString(link::kPassword.name, "pw1"));
    ASSERT_TRUE(open().writeString(link::kPassword.name, "pw2"));
    EXPECT_EQ(passwordInCopy(), "pw2");
    EXPECT_FALSE(hasLine(file_, "PasswordInKeyring"));
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_NE(notices_[0].find(file_.string()), std::string::npos) << notices_[0];
    EXPECT_NE(notices_[0].find("test keyring away"), std::string::npos) << notices_[0];

    secrets_.mode = SecretStatus::Ok;
    ASSERT_TRUE(open().writeString(link::kPassword.name, "pw3"));
    EXPECT_EQ(passwordInCopy(), "");
    EXPECT_EQ(link::readPassword(open()), "pw3");

    secrets_.mode = GetParam();
    ASSERT_TRUE(open().writeString(link::kPassword.name, "pw4"));
    EXPECT_EQ(notices_.size(), 2u) << "the keyring held one in between";
}

INSTANTIATE_TEST_SUITE_P(Modes, PasswordWithoutKeyring,
                         testing::Values(SecretStatus::Unreachable, SecretStatus::Failed),
                         [](const auto& p) {
                             return p.param == SecretStatus::Failed ? "refusing" : "unreachable";
                         });

TEST_F(PasswordPlace, KeyringOutOfReachSaysWhereThePasswordIs) {
    ASSERT_TRUE(open().writeString(link::kPassword.name, "pw"));
    secrets_.mode = SecretStatus::Unreachable;
    QSettingsStore& store = open();
    EXPECT_EQ(link::readPassword(store), "");
    const std::string problem = store.passwordProblem();
    EXPECT_NE(problem.find("desktop keyring"), std::string::npos) << problem;
    EXPECT_NE(problem.find("test keyring away"), std::string::npos) << problem;
    EXPECT_NE(problem.find(file_.string() + "[Site]"), std::string::npos) << problem;

    secrets_.mode = SecretStatus::Ok;
    EXPECT_EQ(link::readPassword(store), "pw");
    EXPECT_EQ(store.passwordProblem(), "");
}

TEST_F(PasswordPlace, NoProblemWhenNoPasswordWasKeptInTheKeyring) {
    secrets_.mode = SecretStatus::Unreachable;
    QSettingsStore& store = open();
    EXPECT_EQ(link::readPassword(store), "");
    EXPECT_EQ(store.passwordProblem(), "") << "nothing was kept in the keyring";
}

// A password saved to the file while the keyring was away is newer than the
// keyring's entry, and wins.
TEST_F(PasswordPlace, FileCopyWinsOverAnOlderKeyringEntry) {
    ASSERT_TRUE(open().writeString(link::kPassword.name, "older"));
    secrets_.mode = SecretStatus::Unreachable;
    ASSERT_TRUE(open().writeString(link::kPassword.name, "newer"));
    secrets_.mode = SecretStatus::Ok;
    EXPECT_EQ(link::readPassword(open()), "newer");
}

TEST_F(PasswordPlace, EmptyPasswordRemovesTheEntry) {
    ASSERT_TRUE(open().writeString(link::kPassword.name, "pw"));
    ASSERT_TRUE(open().writeString(link::kPassword.name, ""));
    EXPECT_TRUE(secrets_.entries.empty());
    EXPECT_FALSE(hasLine(file_, "Password"));
    EXPECT_EQ(link::readPassword(open()), "");
}

// Each profile and server has its own entry: a password never goes to a
// server it was not given for.
TEST_F(PasswordPlace, ProfilesAndServersKeepTheirOwnEntries) {
    { std::ofstream(file_, std::ios::app) << "\n[Other]\nServerIPAddress=s:\"10.0.0.5\"\n"; }
    ASSERT_TRUE(open().writeString(link::kPassword.name, "site"));
    QSettingsStore& other = open(std::string("Other"));
    ASSERT_TRUE(other.writeString(link::kPassword.name, "other"));
    EXPECT_EQ(link::readPassword(open(std::string("Site"))), "site");
    EXPECT_EQ(link::readPassword(other), "other");

    ASSERT_TRUE(other.writeString(link::kServerIPAddress.name, "10.0.0.6"));
    EXPECT_EQ(link::readPassword(other), "");
    other.setRunServer("10.0.0.5");
    EXPECT_EQ(link::readPassword(other), "other");
}

TEST(SecretKey, NoTwoProfileAndServerPairsShareAnEntry) {
    const std::vector<std::pair<std::string, std::string>> pairs{
        {"a@b", "c"}, {"a", "b@c"}, {"a\\", "@b"}, {"a\\@", "b"}, {"a", "\\@b"},   {"", "a@b"},
        {"a@b", ""},  {"a", "b"},   {"a@", "b"},   {"a", "@b"},   {"Default", ""}, {"", "Default"},
    };
    std::set<std::string> keys;
    for (const auto& [profile, server] : pairs) {
        EXPECT_TRUE(keys.insert(secretKey(profile, server)).second)
            << profile << " / " << server << " -> " << secretKey(profile, server);
    }
    EXPECT_EQ(secretKey("Site A", "10.0.0.5"), "Site A@10.0.0.5");
}

} // namespace
} // namespace mirx::shell
