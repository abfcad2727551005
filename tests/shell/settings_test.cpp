#include "link/settings_store.h"
#include "shell/settings/command_line.h"
#include "shell/settings/qsettings_store.h"
#include "tests/support/env_override.h"
#include "tests/support/log_capture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace mirx::shell {
namespace {

// Table rows print as their label in failure messages.
template <typename Case>
requires requires(const Case& c) {
    c.label;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.label;
}

namespace fs = std::filesystem;
using link::StoredValue;

using test::EnvOverride;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

unsigned modeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// A fresh $XDG_CONFIG_HOME (and $HOME) per test, under a umask that would
// otherwise let others read new files. Every test uses its own file, so Qt's
// per-file cache never carries values from one test to the next.
class SettingsFile : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "mirx-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        xdg_.emplace("XDG_CONFIG_HOME", (root_ / "config").string());
        home_.emplace("HOME", (root_ / "home").string());
        oldUmask_ = ::umask(022);
    }
    void TearDown() override {
        ::umask(oldUmask_);
        home_.reset();
        xdg_.reset();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path file() const { return root_ / "config" / "Talbrook" / "SystemAdministration.conf"; }

    // Opens a copy of the file at a new path, so the values come from the
    // file's text and not from what Qt still holds in memory.
    QSettingsStore reopenFromCopy(const std::optional<std::string>& profile = std::nullopt) {
        const fs::path copy = root_ / ("copy" + std::to_string(++copies_)) / "settings.conf";
        fs::create_directories(copy.parent_path());
        fs::copy_file(file(), copy);
        return QSettingsStore(profile, copy);
    }

    fs::path root_;
    std::optional<EnvOverride> xdg_;
    std::optional<EnvOverride> home_;
    mode_t oldUmask_ = 0;
    int copies_ = 0;
};

// ---- Location ---------------------------------------------------------------

struct PathCase {
    const char* label;
    std::optional<std::string> xdg;
    std::string expected; // empty: no folder can be told
    std::optional<std::string> home = "/home/op";
};

class FileLocation : public testing::TestWithParam<PathCase> {};

TEST_P(FileLocation, FollowsXdgConfigHome) {
    const EnvOverride home("HOME", GetParam().home);
    const EnvOverride xdg("XDG_CONFIG_HOME", GetParam().xdg);
    EXPECT_EQ(QSettingsStore::defaultFilePath(), fs::path(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileLocation,
    testing::Values(
        PathCase{"set", "/srv/cfg", "/srv/cfg/Talbrook/SystemAdministration.conf"},
        PathCase{"unset", std::nullopt, "/home/op/.config/Talbrook/SystemAdministration.conf"},
        PathCase{"empty", "", "/home/op/.config/Talbrook/SystemAdministration.conf"},
        PathCase{"relative", "cfg", "/home/op/.config/Talbrook/SystemAdministration.conf"},
        PathCase{"set_without_home", "/srv/cfg", "/srv/cfg/Talbrook/SystemAdministration.conf",
                 std::nullopt},
        PathCase{"neither", std::nullopt, "", std::nullopt},
        PathCase{"empty_home", std::nullopt, "", ""},
        PathCase{"relative_home", std::nullopt, "", "op"},
        PathCase{"relative_both", "cfg", "", "op"}),
    [](const auto& p) { return std::string(p.param.label); });

// Whatever the working folder, a store without a path writes nowhere.
TEST_F(SettingsFile, StoreWithoutAPathWritesNothing) {
    const fs::path work = root_ / "work";
    fs::create_directories(work);
    const fs::path before = fs::current_path();
    fs::current_path(work);
    {
        QSettingsStore store(std::string("P"), fs::path());
        EXPECT_FALSE(store.writeString("Password", "secret"));
        EXPECT_EQ(store.readString("Password", 20), std::nullopt);
    }
    fs::current_path(before);
    EXPECT_TRUE(fs::is_empty(work));
}

// ---- Types and format ---------------------------------------------------------

TEST_F(SettingsFile, TypesSurviveAReopen) {
    {
        QSettingsStore store(std::nullopt);
        EXPECT_TRUE(store.writeNumber("DataIpPort", 1000));
        EXPECT_TRUE(store.writeString("Password", "1000"));
        EXPECT_TRUE(store.writeNumber("AlwaysOnTop", 0xFFFFFFFF));
    }
    QSettingsStore store = reopenFromCopy();
    EXPECT_EQ(store.readNumber("DataIpPort"), 1000u);
    EXPECT_EQ(store.readString("DataIpPort", 50), std::nullopt);
    EXPECT_EQ(store.readString("Password", 20), "1000");
    EXPECT_EQ(store.readNumber("Password"), std::nullopt);
    EXPECT_EQ(store.readNumber("AlwaysOnTop"), 0xFFFFFFFFu);
}

TEST_F(SettingsFile, AwkwardTextsRoundTrip) {
    const std::vector<std::string> texts = {
        "",
        "plain",
        "quote\" and back\\slash",
        "line\nbreak\r\ttab",
        std::string("control\x01\x1F\x7F", 10),
        "  padded  ",
        "# not a comment; [not a section] a=b",
        "Z\xC3\xBCrich \xF0\x9F\x98\x80",
        "s:\"looks typed\"",
    };
    {
        QSettingsStore store(std::nullopt);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            EXPECT_TRUE(store.writeString("Text" + std::to_string(i), texts[i]));
        }
    }
    QSettingsStore store = reopenFromCopy();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(store.readString("Text" + std::to_string(i), 100), texts[i]) << i;
    }
}

TEST_F(SettingsFile, FileIsReadableText) {
    {
        QSettingsStore store(std::string("Site A"));
        store.writeString("ServerIPAddress", "127.0.0.1");
        store.writeNumber("DataIpPort", 1000);
    }
    const std::string text = readFile(file());
    EXPECT_NE(text.find("Profile=s:\"Site A\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Site A]\nDataIpPort=n:1000\nServerIPAddress=s:\"127.0.0.1\"\n"),
              std::string::npos)
        << text;
    EXPECT_LT(text.find("Profile="), text.find("[Site A]")) << text;
}

TEST_F(SettingsFile, HandEditedFileFollowsTheReadingRules) {
    writeFile(file(), "# edited by hand\n"
                      "Profile = s:\"Lab\"\n"
                      "\n"
                      "[Lab]\n"
                      "  ServerIPAddress =  s:\"10.1.2.3\"  \n"
                      "UserName=s:\"unterminated\n"
                      "Password=s:\"bad\\q escape\"\n"
                      "DataIpPort=n:4294967296\n"
                      "SecondaryServerIpPort=n:-5\n"
                      "UseDomainAuthentication=n:1\r\n"
                      "Blob=b:0102\n"
                      "no equals sign here\n"
                      "[broken\n"
                      "AutomaticLogin=n:1\n");
    QSettingsStore store(std::nullopt);
    EXPECT_EQ(store.currentProfile(), "Lab");
    EXPECT_EQ(link::readString(store, link::kServerIPAddress), "10.1.2.3");
    EXPECT_EQ(link::readUserName(store), "admin");
    EXPECT_EQ(link::readPassword(store), "");
    EXPECT_EQ(link::readSecondaryPort(store), 1000);
    EXPECT_TRUE(link::readDomainAuthentication(store));
    // Values under a section header that cannot be read belong to no profile.
    EXPECT_FALSE(link::readFlag(store, link::kAutomaticLogin));
    // A value of unknown type reads as absent but survives our writes.
    EXPECT_EQ(store.readString("Blob", 50), std::nullopt);
    EXPECT_EQ(link::readPort(store), 1000);
    const std::string text = readFile(file());
    EXPECT_NE(text.find("Blob=b:0102\n"), std::string::npos) << text;
    EXPECT_NE(text.find("DataIpPort=n:1000\n"), std::string::npos) << text;
}

// ---- Profiles ---------------------------------------------------------------

TEST_F(SettingsFile, WithoutAnyProfileTheDefaultKeyIsUsed) {
    QSettingsStore store(std::nullopt);
    EXPECT_EQ(store.currentProfile(), "");
    EXPECT_EQ(store.profileKeyPath(), file().string() + "[Default]");
    EXPECT_TRUE(store.writeString("UserName", "ops"));
    EXPECT_NE(readFile(file()).find("[Default]\nUserName=s:\"ops\""), std::string::npos);
}

TEST_F(SettingsFile, CommandLineProfileIsUsedAgainOnTheNextStart) {
    {
        QSettingsStore store(std::string("North"));
        EXPECT_EQ(store.currentProfile(), "North");
        EXPECT_TRUE(store.writeString("ServerIPAddress", "10.0.0.9"));
    }
    QSettingsStore store = reopenFromCopy();
    EXPECT_EQ(store.currentProfile(), "North");
    EXPECT_EQ(link::readString(store, link::kServerIPAddress), "10.0.0.9");
}

TEST_F(SettingsFile, CommandLineProfileReplacesTheStoredOne) {
    writeFile(file(),
              "Profile=s:\"North\"\n[North]\nUserName=s:\"n\"\n[South]\nUserName=s:\"s\"\n");
    {
        QSettingsStore store(std::string("South"));
        EXPECT_EQ(link::readUserName(store), "s");
    }
    QSettingsStore store = reopenFromCopy();
    EXPECT_EQ(store.currentProfile(), "South");
}

struct StoredProfileCase {
    const char* label;
    std::string fileText;
    std::string currentProfile;
    std::string keySuffix;
};

class StoredProfile : public SettingsFile, public testing::WithParamInterface<StoredProfileCase> {};

TEST_P(StoredProfile, ChoosesTheProfileKey) {
    writeFile(file(), GetParam().fileText);
    QSettingsStore store(std::nullopt);
    EXPECT_EQ(store.currentProfile(), GetParam().currentProfile);
    EXPECT_EQ(store.profileKeyPath(), file().string() + GetParam().keySuffix);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredProfile,
    testing::Values(StoredProfileCase{"valid", "Profile=s:\"East\"\n", "East", "[East]"},
                    StoredProfileCase{"empty_string", "Profile=s:\"\"\n", "", "[]"},
                    StoredProfileCase{"number", "Profile=n:5\n", "", "[Default]"},
                    StoredProfileCase{"broken_string", "Profile=s:\"East\n", "", "[Default]"},
                    StoredProfileCase{"over_long", "Profile=s:\"" + std::string(60, 'p') + "\"\n",
                                      std::string(50, 'p'), "[" + std::string(50, 'p') + "]"}),
    [](const auto& p) { return std::string(p.param.label); });

class ProfileName : public SettingsFile, public testing::WithParamInterface<std::string> {};

TEST_P(ProfileName, RoundTripsAsAGroup) {
    {
        QSettingsStore store(GetParam());
        EXPECT_TRUE(store.writeString("UserName", "u"));
    }
    QSettingsStore store = reopenFromCopy();
    EXPECT_EQ(store.currentProfile(), GetParam());
    EXPECT_EQ(link::readUserName(store), "u");
}

INSTANTIATE_TEST_SUITE_P(Names, ProfileName,
                         testing::Values("Site/Sub", " padded ", "br[ack]et = #1;", "back\\slash",
                                         "Z\xC3\xBCrich", "Profile", "Default"));

TEST_F(SettingsFile, EmptyStoredProfileKeepsValuesBesideIt) {
    writeFile(file(), "Profile=s:\"\"\nUserName=s:\"top\"\n[Default]\nUserName=s:\"default\"\n");
    QSettingsStore store(std::nullopt);
    EXPECT_EQ(link::readUserName(store), "top");
}

// ---- File safety -------------------------------------------------------------

TEST_F(SettingsFile, FileIsPrivateToItsOwner) {
    QSettingsStore store(std::string("P"));
    EXPECT_TRUE(store.writeString("Password", "secret"));
    EXPECT_EQ(modeOf(file()), 0600u);
    EXPECT_EQ(modeOf(file().parent_path()), 0700u);
}

struct FolderModeCase {
    const char* label;
    unsigned mode;
};

class SettingsFolderMode : public SettingsFile,
                           public testing::WithParamInterface<FolderModeCase> {};

// The folder that holds the file is tightened; the folders above it are the
// user's and stay as they are.
TEST_P(SettingsFolderMode, ExistingFolderIsTightened) {
    const fs::path folder = file().parent_path();
    fs::create_directories(folder);
    ASSERT_EQ(::chmod(folder.c_str(), GetParam().mode), 0);
    ASSERT_EQ(::chmod(folder.parent_path().c_str(), 0755), 0);
    QSettingsStore store(std::nullopt);
    EXPECT_TRUE(store.writeString("Password", "secret"));
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(folder.parent_path()), 0755u);
}

INSTANTIATE_TEST_SUITE_P(Modes, SettingsFolderMode,
                         testing::Values(FolderModeCase{"world_readable", 0755},
                                         FolderModeCase{"world_writable", 0777},
                                         FolderModeCase{"group_only", 0750},
                                         FolderModeCase{"sticky_shared", 01777},
                                         FolderModeCase{"already_private", 0700}),
                         [](const auto& p) { return std::string(p.param.label); });

TEST_F(SettingsFile, WiderModeOfAnExistingFileIsTightened) {
    writeFile(file(), "Profile=s:\"P\"\n");
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read);
    QSettingsStore store(std::nullopt);
    EXPECT_EQ(modeOf(file()), 0600u);
    EXPECT_TRUE(store.writeString("Password", "secret"));
    EXPECT_EQ(modeOf(file()), 0600u);
}

TEST_F(SettingsFile, FileRemovedWhileRunningIsRecreatedPrivate) {
    QSettingsStore store(std::nullopt);
    fs::remove(file());
    EXPECT_TRUE(store.writeString("Password", "secret"));
    EXPECT_EQ(modeOf(file()), 0600u);
}

TEST_F(SettingsFile, WriteReplacesTheFileAndLeavesNothingBehind) {
    QSettingsStore store(std::nullopt);
    EXPECT_TRUE(store.writeString("UserName", "a"));
    struct stat before {};
    ASSERT_EQ(::stat(file().c_str(), &before), 0);
    EXPECT_TRUE(store.writeString("UserName", "b"));
    struct stat after {};
    ASSERT_EQ(::stat(file().c_str(), &after), 0);
    // A new inode: written beside the old file and renamed over it.
    EXPECT_NE(before.st_ino, after.st_ino);
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(file().parent_path())) {
        entries.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(entries, std::vector<std::string>{"SystemAdministration.conf"});
}

TEST_F(SettingsFile, UnopenableStoreLogsAndFallsBackToDefaults) {
    writeFile(root_ / "not-a-folder", "x");
    const EnvOverride xdg("XDG_CONFIG_HOME", (root_ / "not-a-folder").string());
    test::LogCapture log;
    QSettingsStore store(std::nullopt);
    const std::string error =
        "ERROR: Failed to opened registry key " +
        (root_ / "not-a-folder" / "Talbrook" / "SystemAdministration.conf").string() +
        "[Default]\n";
    EXPECT_EQ(store.currentProfile(), "");
    EXPECT_EQ(link::readPort(store), 1000);
    EXPECT_EQ(link::readUserName(store), "admin");
    EXPECT_FALSE(store.writeString("UserName", "x"));
    EXPECT_EQ(log.raw(), std::vector<std::string>(4, error));
}

TEST_F(SettingsFile, UnopenableStoreStillTakesTheCommandLineProfile) {
    writeFile(root_ / "not-a-folder", "x");
    const EnvOverride xdg("XDG_CONFIG_HOME", (root_ / "not-a-folder").string());
    test::LogCapture log;
    QSettingsStore store(std::string("West"));
    EXPECT_EQ(store.currentProfile(), "West");
    EXPECT_FALSE(store.writeNumber("DataIpPort", 5));
    EXPECT_EQ(log.count("[West]"), 1u);
}

// A file that could hand the stored password to someone else is not used,
// and the store says why in words of its own.
TEST_F(SettingsFile, RefusedFileSaysWhy) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> prepare; // given the file's path
        const char* says;
    };
    const Case cases[] = {
        {"a link to a file of ours",
         [this](const fs::path& f) {
             writeFile(root_ / "elsewhere.conf", "");
             fs::create_directories(f.parent_path());
             fs::create_symlink(root_ / "elsewhere.conf", f);
         },
         "is a symbolic link"},
        {"a dangling link",
         [this](const fs::path& f) {
             fs::create_directories(f.parent_path());
             fs::create_symlink(root_ / "nothing-here.conf", f);
         },
         "is a symbolic link"},
        {"another user's file",
         [](const fs::path& f) {
             fs::create_directories(f.parent_path());
             writeFile(f, "");
             if (::chown(f.c_str(), ::geteuid() + 1, static_cast<gid_t>(-1)) != 0) {
                 GTEST_SKIP() << "only root can give a file away";
             }
         },
         "belongs to user"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(file().parent_path());
        c.prepare(file());
        if (HasFatalFailure() || IsSkipped()) {
            return;
        }
        QSettingsStore store(std::nullopt);
        EXPECT_NE(store.refusal().find(c.says), std::string::npos) << store.refusal();
        EXPECT_NE(store.refusal().find(file().string()), std::string::npos) << store.refusal();
        EXPECT_FALSE(store.writeString("Password", "secret"));
        EXPECT_EQ(readFile(root_ / "elsewhere.conf").find("secret"), std::string::npos);
    }
    fs::remove_all(file().parent_path());
    QSettingsStore store(std::nullopt);
    EXPECT_EQ(store.refusal(), "") << "a plain file of ours is taken";
}

TEST_F(SettingsFile, FailedWriteLeavesTheOldValue) {
    QSettingsStore store(std::nullopt);
    EXPECT_TRUE(store.writeString("UserName", "old"));
    fs::remove(file());
    fs::create_directory(file());
    EXPECT_FALSE(store.writeString("UserName", "new"));
    EXPECT_EQ(link::readUserName(store), "old");
}

TEST_F(SettingsFile, WriteRefusedByTheFolderIsUndone) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "folder permissions do not bind root";
    }
    QSettingsStore store(std::nullopt);
    EXPECT_TRUE(store.writeString("UserName", "old"));
    fs::permissions(file().parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(store.writeString("UserName", "new"));
    EXPECT_EQ(link::readUserName(store), "old");
    fs::permissions(file().parent_path(), fs::perms::owner_all);
    // The refused value does not reach the file with the next write.
    EXPECT_TRUE(store.writeString("Password", "p"));
    EXPECT_EQ(readFile(file()).find("new"), std::string::npos);
    EXPECT_EQ(link::readUserName(store), "old");
}

// ---- Command line ------------------------------------------------------------

// The option fields of StartupOptions, for table comparisons.
struct Parsed {
    std::optional<std::string> profile = std::nullopt;
    bool debug = false;
    bool debugLog = false;
    std::optional<std::string> ipAddress = std::nullopt;
    std::uint16_t ipPort = 0;
    std::optional<std::string> loginName = std::nullopt;
    std::optional<std::string> loginPassword = std::nullopt;
    bool help = false;
    bool version = false;
    std::size_t warnings = 0;
    friend bool operator==(const Parsed&, const Parsed&) = default;
};

void PrintTo(const Parsed& p, std::ostream* os) {
    const auto opt = [](const std::optional<std::string>& s) {
        return s ? "\"" + *s + "\"" : std::string("none");
    };
    *os << "{profile " << opt(p.profile) << ", debug " << p.debug << ", debugLog " << p.debugLog
        << ", ipAddress " << opt(p.ipAddress) << ", ipPort " << p.ipPort << ", loginName "
        << opt(p.loginName) << ", loginPassword " << opt(p.loginPassword) << ", help " << p.help
        << ", version " << p.version << ", warnings " << p.warnings << "}";
}

Parsed parse(std::vector<std::string_view> args) {
    args.insert(args.begin(), "/opt/mirx/bin/mirx-admin");
    const StartupOptions o = parseCommandLine(args);
    return {o.profile,   o.debug,         o.debugLog, o.ipAddress, o.ipPort,
            o.loginName, o.loginPassword, o.help,     o.version,   o.warnings.size()};
}

struct OptionCase {
    const char* label;
    std::vector<std::string_view> args;
    Parsed expected;
};

class CommandLine : public testing::TestWithParam<OptionCase> {};

TEST_P(CommandLine, ParsesTheOptionTable) {
    EXPECT_EQ(parse(GetParam().args), GetParam().expected);
}

Parsed withProfile(std::string p) {
    Parsed r;
    r.profile = std::move(p);
    return r;
}
Parsed withPort(std::uint16_t port) {
    Parsed r;
    r.ipPort = port;
    return r;
}

const std::string k60(60, 'a');
const std::string k25(25, 'b');

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLine,
    testing::Values(
        OptionCase{"nothing", {}, {}},
        OptionCase{"profile", {"/Profile", "Site"}, withProfile("Site")},
        OptionCase{"profile_lower", {"/profile", "Site"}, withProfile("Site")},
        OptionCase{"profile_upper", {"/PROFILE", "Site"}, withProfile("Site")},
        OptionCase{"profile_alias", {"--profile", "Site"}, withProfile("Site")},
        OptionCase{"profile_alias_inline", {"--Profile=Site B"}, withProfile("Site B")},
        OptionCase{"slash_form_has_no_inline_value", {"/Profile=Site"}, {.warnings = 1}},
        OptionCase{"profile_cut", {"/Profile", k60}, withProfile(std::string(50, 'a'))},
        OptionCase{"empty_profile_is_none", {"/Profile", ""}, {}},
        OptionCase{"later_wins", {"/Profile", "A", "/Profile", "B"}, withProfile("B")},
        OptionCase{"debug", {"/Debug"}, {.debug = true}},
        OptionCase{"debug_alias", {"--DEBUG"}, {.debug = true}},
        OptionCase{"debug_log", {"/debuglog"}, {.debugLog = true}},
        OptionCase{"debug_log_alias", {"--debug-log"}, {.debugLog = true}},
        OptionCase{"names_match_whole", {"/Debugging", "/Prof", "x", "/ip"}, {.warnings = 1}},
        OptionCase{"unknown_skipped", {"stray", "/Debug"}, {.debug = true, .warnings = 1}},
        OptionCase{"value_is_the_next_argument", {"/Profile", "/Debug"}, withProfile("/Debug")},
        OptionCase{"value_option_last", {"/Debug", "/ip_address"}, {.debug = true, .warnings = 1}},
        OptionCase{"address", {"/IP_ADDRESS", "ondrel.example"}, {.ipAddress = "ondrel.example"}},
        OptionCase{"address_alias", {"--ip-address=10.0.0.1"}, {.ipAddress = "10.0.0.1"}},
        OptionCase{"address_cut", {"/ip_address", k60}, {.ipAddress = std::string(50, 'a')}},
        OptionCase{"empty_address_is_none", {"/ip_address", ""}, {}},
        OptionCase{"port", {"/ip_port", "2000"}, withPort(2000)},
        OptionCase{"port_alias", {"--ip-port", "2001"}, withPort(2001)},
        OptionCase{"port_zero", {"/ip_port", "0"}, withPort(0)},
        OptionCase{"port_low_16_bits", {"/ip_port", "70000"}, withPort(4464)},
        OptionCase{"port_leading_blanks_and_trailing_junk", {"/ip_port", "  42abc"}, withPort(42)},
        OptionCase{"port_sign", {"/ip_port", "+7"}, withPort(7)},
        OptionCase{"port_negative", {"/ip_port", "-1"}, withPort(65535)},
        OptionCase{"port_not_a_number", {"/ip_port", "http"}, withPort(0)},
        OptionCase{"port_beyond_int", {"/ip_port", "99999999999"}, withPort(0xFFFF)},
        OptionCase{"port_below_int", {"/ip_port", "-99999999999"}, withPort(0)},
        OptionCase{"login",
                   {"/login_name", "ops", "/login_password", "pw"},
                   {.loginName = "ops", .loginPassword = "pw"}},
        OptionCase{"login_alias",
                   {"--login-name=ops", "--login-password", "pw"},
                   {.loginName = "ops", .loginPassword = "pw"}},
        // Kept whole, so loginFieldProblem can refuse them.
        OptionCase{"login_kept_whole",
                   {"/login_name", k25, "/login_password", k25},
                   {.loginName = std::string(25, 'b'), .loginPassword = std::string(25, 'b')}},
        OptionCase{"empty_login_name_is_none", {"/login_name", ""}, {}},
        OptionCase{"empty_password_is_given", {"/login_password", ""}, {.loginPassword = ""}},
        OptionCase{"help", {"--help"}, {.help = true}},
        OptionCase{"help_short", {"-h"}, {.help = true}},
        OptionCase{"version", {"--Version"}, {.version = true}},
        OptionCase{"flag_with_inline_value_skipped", {"--debug=1"}, {.warnings = 1}}),
    [](const auto& p) { return std::string(p.param.label); });

struct LoginFieldCase {
    const char* label;
    std::vector<std::string_view> args;
    const char* problem;
};

class LoginFields : public testing::TestWithParam<LoginFieldCase> {};

TEST_P(LoginFields, LongerThanTheRequestHoldsAreRefused) {
    std::vector<std::string_view> args = {"mirx-admin"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    EXPECT_EQ(loginFieldProblem(parseCommandLine(args)), GetParam().problem);
}

// 20 characters in UTF-16 units: "é" is one unit, two UTF-8 bytes.
const std::string k20Accented = [] {
    std::string text;
    for (int i = 0; i < 20; ++i) {
        text += "\xc3\xa9";
    }
    return text;
}();
const std::string k21 = std::string(21, 'n');
const std::string kLongPasswordArgument = "--login-password=" + k21;

INSTANTIATE_TEST_SUITE_P(
    Cases, LoginFields,
    testing::Values(LoginFieldCase{"none_given", {}, ""},
                    LoginFieldCase{"twenty_fit",
                                   {"/login_name", k20Accented, "/login_password", k20Accented},
                                   ""},
                    LoginFieldCase{"long_name",
                                   {"/login_name", k21},
                                   "the login name is longer than 20 characters"},
                    LoginFieldCase{"long_password",
                                   {"/login_name", "ops", kLongPasswordArgument},
                                   "the password is longer than 20 characters"}),
    [](const auto& p) { return std::string(p.param.label); });

TEST(CommandLineWarnings, UnknownOptionsAreNamedInOneLine) {
    const std::vector<std::string_view> args = {"mirx-admin", "/Debugging", "--debug=1", "/Debug",
                                                "stray"};
    const StartupOptions options = parseCommandLine(args);
    ASSERT_EQ(options.warnings.size(), 1u);
    EXPECT_EQ(options.warnings[0], "WARNING: Unknown options skipped: /Debugging --debug=1 stray");
    EXPECT_TRUE(options.debug);
}

TEST(CommandLineWarnings, KnownOptionsWarnNothing) {
    const std::vector<std::string_view> args = {"mirx-admin", "/Debug", "--profile=Site"};
    EXPECT_TRUE(parseCommandLine(args).warnings.empty());
}

TEST(CommandLineWarnings, NameTheOptionLeftWithoutValue) {
    const std::vector<std::string_view> args = {"mirx-admin", "--login-name"};
    const StartupOptions options = parseCommandLine(args);
    ASSERT_EQ(options.warnings.size(), 1u);
    EXPECT_NE(options.warnings[0].find("--login-name"), std::string::npos);
    EXPECT_FALSE(options.loginName);
}

struct ProgramCase {
    const char* label;
    std::vector<std::string_view> args;
    std::string path;
    std::string directory;
    std::string relaunch;
};

class ProgramValues : public testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramValues, ComeFromTheArguments) {
    const StartupOptions o = parseCommandLine(GetParam().args);
    EXPECT_EQ(o.programPath, GetParam().path);
    EXPECT_EQ(o.programDirectory, GetParam().directory);
    EXPECT_EQ(o.relaunchCommandLine, GetParam().relaunch);
}

const std::string kLongDir = "/" + std::string(260, 'd');

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramValues,
    testing::Values(ProgramCase{"plain",
                                {"/usr/bin/mirx-admin", "/Profile", "Site A", "--debug"},
                                "/usr/bin/mirx-admin",
                                "/usr/bin",
                                "\"/usr/bin/mirx-admin\" /Profile Site A --debug"},
                    ProgramCase{"bare_name", {"mirx-admin"}, "mirx-admin", "", "\"mirx-admin\""},
                    ProgramCase{"long_path",
                                {kLongDir},
                                kLongDir.substr(0, 249),
                                "",
                                "\"" + kLongDir.substr(0, 249) + "\""},
                    ProgramCase{"long_relaunch",
                                {"/bin/m", std::string_view(kLongDir)},
                                "/bin/m",
                                "/bin",
                                ("\"/bin/m\" " + kLongDir).substr(0, 259)},
                    ProgramCase{"password_dropped",
                                {"/bin/m", "/login_name", "ops", "/login_password", "pw",
                                 "--LOGIN-PASSWORD=pw", "/Debug", "--login-password", "x"},
                                "/bin/m",
                                "/bin",
                                "\"/bin/m\" /login_name ops /login_password_stored /Debug"},
                    ProgramCase{"no_arguments", {}, "", "", ""}),
    [](const auto& p) { return std::string(p.param.label); });

TEST(CommandLineArgv, ReadsArgcArgv) {
    const char* argv[] = {"/usr/bin/mirx-admin", "/Debug", nullptr};
    const StartupOptions o = parseCommandLine(2, argv);
    EXPECT_TRUE(o.debug);
    EXPECT_EQ(o.programDirectory, "/usr/bin");
}

struct ApplyCase {
    const char* label;
    std::vector<std::string_view> args;
    Locks locks;
    std::map<std::string, StoredValue, std::less<>> stored;
};

class ApplyOptions : public testing::TestWithParam<ApplyCase> {};

TEST_P(ApplyOptions, StoresAndLocks) {
    std::vector<std::string_view> args = GetParam().args;
    args.insert(args.begin(), "mirx-admin");
    link::MemorySettingsStore store;
    EXPECT_EQ(applyStartupOptions(parseCommandLine(args), store), GetParam().locks);
    EXPECT_EQ(store.values(), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ApplyOptions,
    testing::Values(ApplyCase{"nothing", {"/Debug", "/Profile", "X"}, {}, {}},
                    ApplyCase{"login",
                              {"/login_name", "ops", "/login_password", "pw"},
                              {.loginFieldsLocked = true},
                              {{"UserName", std::string("ops")}, {"Password", std::string("pw")}}},
                    ApplyCase{"login_without_password",
                              {"/login_name", "ops"},
                              {.loginFieldsLocked = true},
                              {{"UserName", std::string("ops")}, {"Password", std::string()}}},
                    ApplyCase{"password_without_login", {"/login_password", "pw"}, {}, {}},
                    ApplyCase{"login_keeping_the_stored_password",
                              {"/login_name", "ops", "/login_password_stored"},
                              {.loginFieldsLocked = true},
                              {{"UserName", std::string("ops")}}},
                    ApplyCase{
                        "given_password_wins_over_keeping",
                        {"--login-password-stored", "/login_name", "ops", "/login_password", "pw"},
                        {.loginFieldsLocked = true},
                        {{"UserName", std::string("ops")}, {"Password", std::string("pw")}}},
                    ApplyCase{"address",
                              {"/ip_address", "10.0.0.2"},
                              {.connectionFieldsLocked = true},
                              {{"ServerIPAddress", std::string("10.0.0.2")}}},
                    ApplyCase{"port_is_a_number",
                              {"/ip_port", "2000"},
                              {.connectionFieldsLocked = true},
                              {{"DataIpPort", std::uint32_t{2000}}}},
                    ApplyCase{"port_zero_ignored", {"/ip_port", "0"}, {}, {}},
                    ApplyCase{"all",
                              {"/ip_address", "h", "/ip_port", "3", "/login_name", "n"},
                              {.connectionFieldsLocked = true, .loginFieldsLocked = true},
                              {{"ServerIPAddress", std::string("h")},
                               {"DataIpPort", std::uint32_t{3}},
                               {"UserName", std::string("n")},
                               {"Password", std::string()}}}),
    [](const auto& p) { return std::string(p.param.label); });

TEST(ApplyOptions, LocksHoldEvenWhenTheStoreFails) {
    const std::vector<std::string_view> args = {"mirx-admin", "/ip_address", "h", "/login_name",
                                                "n"};
    link::MemorySettingsStore store;
    store.setFailOpen(true);
    test::LogCapture log;
    EXPECT_EQ(applyStartupOptions(parseCommandLine(args), store), (Locks{true, true}));
    EXPECT_TRUE(store.values().empty());
}

TEST(HelpText, ListsEveryOption) {
    const std::string text = helpText("mirx-admin");
    EXPECT_TRUE(text.starts_with("Usage: mirx-admin [options]\n"));
    for (const char* name : {"/Profile",
                             "--profile",
                             "/Debug",
                             "--debug",
                             "/DebugLog",
                             "--debug-log",
                             "/ip_address",
                             "--ip-address",
                             "/ip_port",
                             "--ip-port",
                             "/login_name",
                             "--login-name",
                             "/login_password",
                             "--login-password",
                             "/login_password_file",
                             "--login-password-file",
                             "--password-file",
                             "/login_password_stdin",
                             "--login-password-stdin",
                             "--password-stdin",
                             "/login_password_stored",
                             "--login-password-stored",
                             "--help",
                             "--version"}) {
        EXPECT_NE(text.find(name), std::string::npos) << name;
    }
}

// ---- Passwords from a file or standard input -----------------------------------

struct PasswordSourceCase {
    const char* label;
    // "<file>" stands for a file holding `fileText`; "<missing>" for none.
    std::vector<std::string> args;
    std::string fileText;
    std::string input;
    std::optional<std::string> password;
    const char* problem = ""; // a substring; "" = none
};

class PasswordSource : public SettingsFile,
                       public testing::WithParamInterface<PasswordSourceCase> {};

TEST_P(PasswordSource, FillsTheLoginPassword) {
    const PasswordSourceCase& c = GetParam();
    const fs::path passwordFile = root_ / "pw";
    writeFile(passwordFile, c.fileText);
    std::vector<std::string> args{"mirx-admin"};
    for (std::string a : c.args) {
        for (const auto& [mark, path] : {std::pair{std::string("<file>"), passwordFile},
                                         std::pair{std::string("<missing>"), root_ / "missing"}}) {
            if (const auto at = a.find(mark); at != std::string::npos) {
                a.replace(at, mark.size(), path.string());
            }
        }
        args.push_back(a);
    }
    std::vector<std::string_view> views(args.begin(), args.end());
    StartupOptions options = parseCommandLine(views);
    std::istringstream in(c.input);
    const std::string problem = readStartupPassword(options, in);
    if (*c.problem == '\0') {
        EXPECT_EQ(problem, "");
    } else {
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
    EXPECT_EQ(options.loginPassword, c.password);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PasswordSource,
    testing::Values(
        PasswordSourceCase{"file", {"/login_password_file", "<file>"}, "pw\n", "", "pw"},
        PasswordSourceCase{"file_any_case", {"/LOGIN_PASSWORD_FILE", "<file>"}, "pw\n", "", "pw"},
        PasswordSourceCase{"file_alias", {"--password-file", "<file>"}, "pw", "", "pw"},
        PasswordSourceCase{"file_long_inline", {"--login-password-file=<file>"}, "pw\n", "", "pw"},
        PasswordSourceCase{
            "file_first_line_only", {"/login_password_file", "<file>"}, "pw\r\nsecond\n", "", "pw"},
        PasswordSourceCase{"file_empty_line_is_empty_password",
                           {"/login_password_file", "<file>"},
                           "\nx\n",
                           "",
                           ""},
        PasswordSourceCase{"file_kept_whole",
                           {"/login_password_file", "<file>"},
                           std::string(25, 'c') + "\n",
                           "",
                           std::string(25, 'c')},
        PasswordSourceCase{"file_empty",
                           {"/login_password_file", "<file>"},
                           "",
                           "",
                           std::nullopt,
                           "no password in the password file"},
        PasswordSourceCase{"file_missing",
                           {"/login_password_file", "<missing>"},
                           "",
                           "",
                           std::nullopt,
                           "cannot read the password file"},
        PasswordSourceCase{"file_wins_over_argument",
                           {"/login_password", "argv", "/login_password_file", "<file>"},
                           "pw\n",
                           "",
                           "pw"},
        PasswordSourceCase{"stdin", {"/login_password_stdin"}, "", "si\n", "si"},
        PasswordSourceCase{"stdin_alias", {"--password-stdin"}, "", "si", "si"},
        PasswordSourceCase{"stdin_long", {"--login-password-stdin"}, "", "si\r\n", "si"},
        PasswordSourceCase{"stdin_empty",
                           {"--password-stdin"},
                           "",
                           "",
                           std::nullopt,
                           "no password in standard input"},
        PasswordSourceCase{"both",
                           {"--password-stdin", "--password-file", "<file>"},
                           "pw",
                           "si",
                           std::nullopt,
                           "exclude each other"},
        PasswordSourceCase{
            "neither_keeps_the_argument", {"/login_password", "argv"}, "", "si", "argv"}),
    [](const auto& p) { return std::string(p.param.label); });

// ---- The argument memory after start-up ---------------------------------------

struct ArgumentMemoryCase {
    const char* label;
    std::vector<std::string> args;
    // /proc/<pid>/cmdline after the arguments were read: NUL-separated, "@"
    // for each NUL the password became.
    std::vector<std::string> expected;
    std::string password;
};

// Runs the probe with `args`; what another process reads from its
// /proc/<pid>/cmdline once it has read its command line, and its report.
std::pair<std::string, std::string> cmdlineAfterStartup(const std::vector<std::string>& args) {
    int toChild[2];
    int fromChild[2];
    if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) {
        return {};
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(MIRX_SECRET_ARGUMENTS_PROBE));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(toChild[0], STDIN_FILENO);
        ::dup2(fromChild[1], STDOUT_FILENO);
        ::close(toChild[1]);
        ::close(fromChild[0]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    std::string report;
    char c = 0;
    while (::read(fromChild[0], &c, 1) == 1 && c != '\n') {
        report += c;
    }
    const std::string cmdline = readFile("/proc/" + std::to_string(pid) + "/cmdline");
    ::close(toChild[1]);
    ::close(fromChild[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {cmdline, report};
}

class ArgumentMemory : public testing::TestWithParam<ArgumentMemoryCase> {};

TEST_P(ArgumentMemory, HoldsNoPasswordAfterStartup) {
    const ArgumentMemoryCase& c = GetParam();
    const auto [cmdline, report] = cmdlineAfterStartup(c.args);
    std::string expected = std::string(MIRX_SECRET_ARGUMENTS_PROBE) + '\0';
    for (std::string a : c.expected) {
        std::replace(a.begin(), a.end(), '@', '\0');
        expected += a + '\0';
    }
    EXPECT_EQ(cmdline, expected);
    // The program itself still has the password it was given.
    EXPECT_EQ(report, "ready " + c.password);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArgumentMemory,
    testing::Values(
        ArgumentMemoryCase{"slash_form",
                           {"/login_name", "ops", "/login_password", "s3cret", "/Debug"},
                           {"/login_name", "ops", "/login_password", "@@@@@@", "/Debug"},
                           "s3cret"},
        ArgumentMemoryCase{
            "any_case", {"/LOGIN_PASSWORD", "s3cret"}, {"/LOGIN_PASSWORD", "@@@@@@"}, "s3cret"},
        ArgumentMemoryCase{
            "dash_form", {"--login-password", "s3cret"}, {"--login-password", "@@@@@@"}, "s3cret"},
        ArgumentMemoryCase{"inline_value",
                           {"--login-password=s3cret", "x"},
                           {"--login-password=@@@@@@", "x"},
                           "s3cret"},
        // Each one is erased; the last one counts.
        ArgumentMemoryCase{"given_twice",
                           {"/login_password", "first", "--login-password=second"},
                           {"/login_password", "@@@@@", "--login-password=@@@@@@"},
                           "second"},
        // Longer than a password may be: all of it goes still.
        ArgumentMemoryCase{"long",
                           {"/login_password", std::string(30, 'p')},
                           {"/login_password", std::string(30, '@')},
                           std::string(30, 'p')},
        ArgumentMemoryCase{
            "no_password", {"/Profile", "P", "--debug"}, {"/Profile", "P", "--debug"}, "<none>"},
        ArgumentMemoryCase{"option_last_without_value",
                           {"x", "/login_password"},
                           {"x", "/login_password"},
                           "<none>"}),
    [](const auto& p) { return std::string(p.param.label); });

} // namespace
} // namespace mirx::shell
