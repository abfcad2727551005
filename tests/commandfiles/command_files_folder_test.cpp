// The command files folder as several runners and careless writers see it:
// one runner per folder, files that ran but stayed, files removed, changed or
// swapped before their time, and entries that are not plain files.
#include "commandfiles/answer_guard.h"
#include "commandfiles/command_files.h"
#include "commandfiles/folder_lock.h"
#include "commandfiles/ran_files.h"
#include "core/clock.h"
#include "core/message_queue.h"
#include "core/wire_frame.h"
#include "model/bit_set.h"
#include "model/mirror.h"
#include "tests/commandfiles/command_file_folder.h"
#include "tests/support/env_override.h"
#include "tests/support/log_capture.h"

#include <csignal>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace mirx::commandfiles {
namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kBlockedRequest = msg::ADMIN_BLOCKED_LISTEN_REQUEST;
constexpr std::uint16_t kBlockedUpdate = msg::ADMIN_BLOCKED_LISTEN_UPDATE;
constexpr std::uint16_t kForcedRequest = msg::ADMIN_FORCED_LISTEN_REQUEST;

// The clock stands at 2024-03-14 12:00:00.
constexpr const char* kDue = "TIME_ABSOLUTE: 11:00:00 03-14-2024";
constexpr const char* kLater = "TIME_ABSOLUTE: 13:00:00 03-14-2024";
constexpr const char* kBlock = "BLOCKED_LISTEN: SET _client.1_ from _client.2_";
constexpr const char* kForce = "FORCED_LISTEN: SET _client.3_ to _client.4_";

bool runningAsRoot() {
    return ::geteuid() == 0;
}

// One console's worth of scheduler: its own mirror, request queue and guard.
struct Runner {
    explicit Runner(const fs::path& folder, RanFiles ran = {}) {
        queue.Enable();
        files = std::make_unique<CCommandFiles>(
            folder, CommandEnvironment{mirror, &queue}, guard, [this] { return link; },
            SchedulerTiming{}, std::move(ran));
    }

    // Message ids posted since the last call.
    std::vector<std::uint16_t> sent() {
        std::vector<std::uint16_t> ids;
        std::vector<std::uint8_t> buffer(wire::kMaxFrameSize);
        while (queue.TakeFramed(buffer.data(), buffer.size()) != 0) {
            ids.push_back(wire::readU16(&buffer[wire::kMessageIdOffset]));
        }
        return ids;
    }

    // The blocked-listen answer arrives; the file runs to its end.
    void answerAndFinish() {
        mirror.edit([](model::MirrorData& d) {
            d.membership.ReceiveBlockedListen(model::ClientBitSet().bytes());
        });
        EXPECT_FALSE(files->ResponseTick());
    }

    model::Mirror mirror;
    CMessageQueue queue{300};
    AnswerGuard guard{mirror.membershipFlags()};
    LinkView link{true, 1};
    std::unique_ptr<CCommandFiles> files;
};

class FolderRules : public ::testing::Test {
protected:
    void SetUp() override { clock_.setLocalTime({2024, 3, 14, 12, 0, 0, 0}); }

    fs::path stateFile() const {
        return folder_.path().parent_path() / (folder_.path().filename().string() + "-state") /
               RanFiles::kFileName;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder_.path(), fs::perms::owner_all, ignored);
        fs::remove_all(stateFile().parent_path(), ignored);
    }

    static std::string readAll(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    ManualClock clock_{5000};
    ScopedClock installed_{clock_};
    test::CommandFileFolder folder_;
    test::LogCapture log_;
};

// --- one runner per folder ---

// Something else that holds the folder: started, then ended.
struct HolderCase {
    std::string name;
    // Takes the folder; returns the holder's process id.
    std::function<pid_t(const fs::path&)> start;
    std::function<void()> stop;
};

TEST_F(FolderRules, ASecondRunnerLeavesTheFolderAloneUntilTheFirstEnds) {
    std::unique_ptr<Runner> first;
    pid_t child = 0;
    int release[2] = {-1, -1};
    const std::vector<HolderCase> cases = {
        {"another scheduler in this process",
         [&](const fs::path& folder) {
             first = std::make_unique<Runner>(folder);
             EXPECT_TRUE(first->files->SecondTick());
             EXPECT_EQ(first->sent(), std::vector<std::uint16_t>{kBlockedRequest});
             return ::getpid();
         },
         [&] {
             first.reset();
         }},
        {"another process",
         [&](const fs::path& folder) {
             int ready[2];
             EXPECT_EQ(::pipe(ready), 0);
             EXPECT_EQ(::pipe(release), 0);
             child = ::fork();
             if (child == 0) {
                 ::close(ready[0]);
                 ::close(release[1]); // so that the parent's close ends the read
                 FolderLock lock(folder);
                 const char taken = lock.tryTake() == FolderLock::State::Held ? 'y' : 'n';
                 (void)!::write(ready[1], &taken, 1);
                 char ignored;
                 (void)!::read(release[0], &ignored, 1); // until the parent closes it
                 ::_exit(0);
             }
             char taken = 0;
             EXPECT_EQ(::read(ready[0], &taken, 1), 1);
             EXPECT_EQ(taken, 'y');
             ::close(ready[0]);
             ::close(ready[1]);
             ::close(release[0]);
             return child;
         },
         [&] {
             ::close(release[1]);
             int status = 0;
             ::waitpid(child, &status, 0);
         }},
    };
    for (const HolderCase& c : cases) {
        SCOPED_TRACE(c.name);
        folder_.write("a.txt", {kDue, kBlock});
        const pid_t holder = c.start(folder_.path());
        EXPECT_EQ(readAll(folder_.path() / FolderLock::kFileName), std::to_string(holder) + "\n");

        Runner second(folder_.path());
        EXPECT_FALSE(second.files->SecondTick());
        EXPECT_FALSE(second.files->SecondTick());
        EXPECT_TRUE(second.sent().empty());
        EXPECT_TRUE(second.files->rows().empty());
        EXPECT_FALSE(second.files->holdsFolder());
        const std::string notice = second.files->folderNotice();
        EXPECT_NE(notice.find("in use by process " + std::to_string(holder)), std::string::npos)
            << notice;
        EXPECT_EQ(log_.count(notice), 1u) << "said once, not every tick";

        c.stop();
        EXPECT_TRUE(second.files->SecondTick()) << "taken over";
        EXPECT_TRUE(second.files->folderNotice().empty());
        EXPECT_EQ(second.sent(), std::vector<std::uint16_t>{kBlockedRequest});
        EXPECT_EQ(readAll(folder_.path() / FolderLock::kFileName),
                  std::to_string(::getpid()) + "\n");
        second.answerAndFinish();
        EXPECT_FALSE(folder_.has("a.txt"));
        second.files.reset();
        EXPECT_EQ(readAll(folder_.path() / FolderLock::kFileName), "") << "released";
    }
}

// --- a file that ran but stayed ---

struct StayCase {
    std::string name;
    bool failDelete; // a failing remover stands in for the folder
    bool lockFolder; // the folder itself is made read-only (not as root)
};

TEST_F(FolderRules, AFileThatRanButStayedNeverRunsAgainForAnyRunner) {
    const std::vector<StayCase> cases = {
        {"the delete fails", true, false},
        {"the folder is not writable", false, true},
    };
    for (const StayCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.lockFolder && runningAsRoot()) {
            continue; // root writes anyway; the failing remover covers it
        }
        folder_.write("a.txt", {kDue, kBlock});
        const std::string where = "in " + stateFile().string();
        {
            Runner first(folder_.path(), RanFiles(stateFile()));
            if (c.failDelete) {
                first.files->setRemover([](const fs::path&) {
                    return std::make_error_code(std::errc::permission_denied);
                });
            }
            ASSERT_TRUE(first.files->SecondTick());
            if (c.lockFolder) {
                fs::permissions(folder_.path(), fs::perms::owner_read | fs::perms::owner_exec);
            }
            first.answerAndFinish();
            EXPECT_EQ(first.sent(), (std::vector<std::uint16_t>{kBlockedRequest, kBlockedUpdate}));
            EXPECT_TRUE(log_.contains("it does not run again: remembered " + where));
        }
        ASSERT_TRUE(folder_.has("a.txt"));

        Runner next(folder_.path(), RanFiles(stateFile()));
        EXPECT_FALSE(next.files->SecondTick());
        EXPECT_FALSE(next.files->SecondTick());
        EXPECT_TRUE(next.sent().empty());
        EXPECT_TRUE(next.files->rows().empty());
        EXPECT_EQ(log_.count("'a.txt' ran before and could not be deleted then; it does not run "
                             "again (remembered " +
                             where + ")"),
                  1u);

        // Written again, with other content: a new file.
        fs::permissions(folder_.path(), fs::perms::owner_all);
        folder_.write("a.txt", {kDue, kForce});
        EXPECT_TRUE(next.files->SecondTick());
        EXPECT_EQ(next.sent(), std::vector<std::uint16_t>{kForcedRequest});
        next.files.reset();
        folder_.remove("a.txt");
        log_.clear();
    }
}

// --- removed, changed or swapped before its time ---

struct BeforeTimeCase {
    std::string name;
    std::function<void(test::CommandFileFolder&)> change;
    std::vector<std::uint16_t> sent;
    std::vector<std::string> descriptions; // of the rows left
    std::string logged;
};

// The file is scanned, then changed on disk, then due: the check just before
// it runs sees the change although no scan came between.
TEST_F(FolderRules, AFileIsLookedAtAgainJustBeforeItRuns) {
    const std::vector<BeforeTimeCase> cases = {
        {"removed",
         [](test::CommandFileFolder& f) { f.remove("a.txt"); },
         {},
         {},
         "'a.txt' was removed from the folder before it ran; it does not run"},
        {"rewritten",
         [](test::CommandFileFolder& f) {
             f.write("a.txt", {"DESCRIPTION: new", kDue, kForce});
         },
         {kForcedRequest},
         {"new"},
         ""},
        {"rewritten for a later time",
         [](test::CommandFileFolder& f) {
             f.write("a.txt", {"DESCRIPTION: new", kLater, kForce});
         },
         {},
         {"new"},
         ""},
        {"swapped for a link",
         [](test::CommandFileFolder& f) {
             f.write("elsewhere.dat", {"DESCRIPTION: link", kDue, kForce});
             f.remove("a.txt");
             fs::create_symlink(f.path() / "elsewhere.dat", f.path() / "a.txt");
         },
         {},
         {},
         "command file 'a.txt' passed over: a symbolic link, not a regular file"},
    };
    for (const BeforeTimeCase& c : cases) {
        SCOPED_TRACE(c.name);
        folder_.write("a.txt", {"DESCRIPTION: old", kDue, kBlock});
        Runner runner(folder_.path());
        runner.files->CheckFileUpdates();
        ASSERT_EQ(runner.files->rows().size(), 1u);
        c.change(folder_);

        runner.files->CheckFileProcessing();
        EXPECT_EQ(runner.sent(), c.sent);
        std::vector<std::string> descriptions;
        for (const FileRow& row : runner.files->rows()) {
            descriptions.push_back(row.description);
        }
        EXPECT_EQ(descriptions, c.descriptions);
        if (!c.logged.empty()) {
            EXPECT_TRUE(log_.contains(c.logged));
        }
        runner.files.reset();
        fs::remove(folder_.path() / "a.txt");
        log_.clear();
    }
}

TEST_F(FolderRules, AFileRemovedLongBeforeItsTimeIsWithdrawnAtTheNextScan) {
    folder_.write("a.txt", {kLater, kBlock});
    Runner runner(folder_.path());
    EXPECT_FALSE(runner.files->SecondTick());
    ASSERT_EQ(runner.files->rows().size(), 1u);
    folder_.remove("a.txt");
    EXPECT_FALSE(runner.files->SecondTick());
    EXPECT_TRUE(runner.files->rows().empty());
    clock_.setLocalTime({2024, 3, 14, 13, 30, 0, 0});
    EXPECT_FALSE(runner.files->SecondTick());
    EXPECT_TRUE(runner.sent().empty());
}

// --- entries that are not plain readable files ---

struct EntryCase {
    std::string name;
    std::function<void(const fs::path&)> plant; // plants "b.txt"
    std::string warning;                        // empty: passed over silently
    bool needsNonRoot = false;
};

TEST_F(FolderRules, OnlyRegularReadableFilesRunAndNoneHoldsBackTheOthers) {
    const std::vector<EntryCase> cases = {
        {"a FIFO", [](const fs::path& b) { ASSERT_EQ(::mkfifo(b.c_str(), 0600), 0); },
         "command file 'b.txt' passed over: not a regular file"},
        {"a link to a command file",
         [this](const fs::path& b) {
             std::ofstream(folder_.path().parent_path() / "target.txt") << kDue << "\r\n";
             fs::create_symlink(folder_.path().parent_path() / "target.txt", b);
         },
         "command file 'b.txt' passed over: a symbolic link, not a regular file"},
        {"a link to nowhere",
         [](const fs::path& b) { fs::create_symlink("/nonexistent/x.txt", b); },
         "command file 'b.txt' passed over: a symbolic link, not a regular file"},
        {"a folder", [](const fs::path& b) { fs::create_directory(b); }, ""},
        {"a file nobody may read",
         [](const fs::path& b) {
             std::ofstream(b) << kDue << "\r\n";
             fs::permissions(b, fs::perms::none);
         },
         "command file 'b.txt' passed over: cannot be opened for reading: Permission denied", true},
    };
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && runningAsRoot()) {
            continue; // root reads it anyway; the FIFO and link cases cover the path
        }
        folder_.write("a.txt", {kDue});
        folder_.write("c.txt", {kDue});
        c.plant(folder_.path() / "b.txt");

        Runner runner(folder_.path());
        EXPECT_FALSE(runner.files->SecondTick());
        EXPECT_FALSE(runner.files->SecondTick());
        EXPECT_FALSE(folder_.has("a.txt")) << "ran and deleted";
        EXPECT_FALSE(folder_.has("c.txt")) << "ran and deleted";
        EXPECT_TRUE(runner.files->rows().empty());
        EXPECT_EQ(log_.count("passed over"), c.warning.empty() ? 0u : 1u) << "once, not per tick";
        if (!c.warning.empty()) {
            EXPECT_TRUE(log_.contains(c.warning));
        }
        std::error_code ignored;
        fs::remove_all(folder_.path() / "b.txt", ignored);
        fs::remove(folder_.path().parent_path() / "target.txt", ignored);
        log_.clear();
    }
}

// --- the memory of files that ran ---

TEST(RanFilesMemory, KeepsEveryFieldAcrossRunnersAndFolders) {
    const fs::path root = fs::temp_directory_path() / ("mirx-ran-" + std::to_string(::getpid()));
    fs::remove_all(root);
    const fs::path file = root / "state" / RanFiles::kFileName;
    const std::vector<RanFile> ran = {
        {"/srv/a", "plain.txt", 10, 1700000000123456789, 0x0123456789abcdefULL},
        {"/srv/a", "tab\there\\and\nline.txt", 20, 5, 0xffffffffffffffffULL},
        {"/srv/b\tfolder", "plain.txt", 10, 1700000000123456789, 1},
    };
    {
        RanFiles first(file);
        RanFiles second(file); // another runner, loaded before the first wrote
        EXPECT_TRUE(first.remember(ran[0]));
        EXPECT_TRUE(first.remember(ran[1]));
        EXPECT_TRUE(second.remember(ran[2]));
        EXPECT_EQ(second.where(), "in " + file.string());
    }
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(file.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    RanFiles later(file);
    for (const RanFile& f : ran) {
        EXPECT_TRUE(later.contains(f)) << f.name;
        for (int field = 0; field < 3; ++field) {
            RanFile other = f;
            (field == 0 ? other.size : field == 1 ? other.modifiedNs : other.size) += 1;
            if (field == 2) {
                other = f;
                other.hash ^= 1;
            }
            EXPECT_FALSE(later.contains(other)) << f.name << " field " << field;
        }
    }

    // Gone from /srv/a except plain.txt: only that folder's line goes.
    later.forgetMissing("/srv/a", {"plain.txt"});
    RanFiles reread(file);
    EXPECT_TRUE(reread.contains(ran[0]));
    EXPECT_FALSE(reread.contains(ran[1]));
    EXPECT_TRUE(reread.contains(ran[2]));
    fs::remove_all(root);
}

TEST(RanFilesMemory, WithoutAPlaceToWriteItKeepsThemInMemoryAndSaysSo) {
    const fs::path root =
        fs::temp_directory_path() / ("mirx-ran-nowhere-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    std::ofstream(root / "a-file") << "not a folder";
    test::LogCapture log;
    const RanFile f{"/srv/a", "x.txt", 1, 2, 3};

    RanFiles blocked(root / "a-file" / "state" / RanFiles::kFileName);
    EXPECT_FALSE(blocked.remember(f));
    EXPECT_TRUE(blocked.contains(f));
    EXPECT_TRUE(blocked.where().starts_with("in memory only (cannot write ")) << blocked.where();
    EXPECT_TRUE(log.contains("remembered in memory only, for this run"));

    RanFiles none(std::nullopt, "neither XDG_STATE_HOME nor HOME is set");
    EXPECT_FALSE(none.remember(f));
    EXPECT_TRUE(none.contains(f));
    EXPECT_EQ(none.where(), "in memory only (neither XDG_STATE_HOME nor HOME is set)");
    fs::remove_all(root);
}

struct FolderCase {
    const char* label;
    bool besideExists;
    std::optional<std::string> dataHome; // relative to the test's root; "" unset
    std::optional<std::string> home;
    const char* expected; // relative to the root
};

class CommandFilesFolderRule : public ::testing::TestWithParam<FolderCase> {};

TEST_P(CommandFilesFolderRule, BesideTheProgramWhenItExistsElseTheDataFolder) {
    const FolderCase& c = GetParam();
    const fs::path root = fs::temp_directory_path() /
                          ("mirx-folder-rule-" + std::to_string(::getpid()) + "-" + c.label);
    fs::remove_all(root);
    fs::create_directories(root / "program");
    if (c.besideExists) {
        fs::create_directories(root / "program" / kCommandFilesFolderName);
    }
    auto absolute = [&](const std::optional<std::string>& value) -> std::optional<std::string> {
        if (!value) {
            return std::nullopt;
        }
        return value->empty() || value->front() != '/' ? (root / *value).string() : *value;
    };
    const test::EnvOverride data("XDG_DATA_HOME", c.dataHome && *c.dataHome == "relative"
                                                      ? std::optional<std::string>("relative/share")
                                                      : absolute(c.dataHome));
    const test::EnvOverride home("HOME", absolute(c.home));
    EXPECT_EQ(commandFilesFolder(root / "program"), root / c.expected);
    fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandFilesFolderRule,
    ::testing::Values(
        FolderCase{"beside", true, "data", "home", "program/Command Files"},
        FolderCase{"xdg_data", false, "data", "home", "data/Talbrook/Command Files"},
        FolderCase{"home", false, std::nullopt, "home", "home/.local/share/Talbrook/Command Files"},
        // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
        FolderCase{"relative_xdg", false, "relative", "home",
                   "home/.local/share/Talbrook/Command Files"},
        FolderCase{"neither", false, std::nullopt, std::nullopt, "program/Command Files"}),
    [](const auto& p) { return std::string(p.param.label); });

} // namespace
} // namespace mirx::commandfiles
