#include "core/clock.h"
#include "core/debug_log.h"
#include "core/state_folder.h"
#include "tests/support/env_override.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace mirx::log {
namespace {

constexpr std::uint32_t kOtherCategory = (1u << 26) | (5u << 16) | (2u << 10) | 7u;

struct FilterCase {
    const char* name;
    std::vector<std::uint32_t> words;
    Level level;
    std::uint32_t category;
    bool passes;
};

class FilterDecision : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterDecision, MatchesTheFirstFittingFilter) {
    const FilterCase& c = GetParam();
    DebugFilterTable table;
    table.set(static_cast<std::uint32_t>(c.words.size()), c.words.data());
    EXPECT_EQ(table.passes(c.level, c.category), c.passes);
}

// Level 3 field: 0x60000000; level 2: 0x40000000; level 1: 0x20000000.
// Wildcards in every other field: 0x1FFFFFFF.
const FilterCase kFilterCases[] = {
    {"DefaultPassesErrors", {0xBFFFFFFF}, Level::Error, kConnectionCategory, true},
    {"DefaultBlocksInformation", {0xBFFFFFFF}, Level::Information, kConnectionCategory, false},
    {"DefaultBlocksDetail", {0xBFFFFFFF}, Level::Detail, kConnectionCategory, false},
    {"AllLevelsPassDetail", {0x7FFFFFFF}, Level::Detail, kConnectionCategory, true},
    {"AllLevelsPassOtherCategory", {0x7FFFFFFF}, Level::Information, kOtherCategory, true},
    {"LevelTwoPassesError", {0x5FFFFFFF}, Level::Error, kConnectionCategory, true},
    {"LevelTwoPassesInformation", {0x5FFFFFFF}, Level::Information, kConnectionCategory, true},
    {"LevelTwoBlocksDetail", {0x5FFFFFFF}, Level::Detail, kConnectionCategory, false},
    {"EmptyTablePassesNothing", {}, Level::Error, kConnectionCategory, false},
    // Exact class 0, group 13, subgroup 63, item 0 at every level.
    {"ExactCategoryMatches",
     {0x60000000u | kConnectionCategory},
     Level::Detail,
     kConnectionCategory,
     true},
    {"ExactCategoryRejectsOther",
     {0x60000000u | kConnectionCategory},
     Level::Detail,
     kOtherCategory,
     false},
    {"GroupMismatch",
     {0x60000000u | (7u << 26) | (12u << 16) | (63u << 10) | 1023u},
     Level::Error,
     kConnectionCategory,
     false},
    {"ItemMismatch",
     {0x60000000u | (7u << 26) | (1023u << 16) | (63u << 10) | 5u},
     Level::Error,
     kConnectionCategory,
     false},
    {"LaterFilterStillConsulted",
     {0x60000000u | kOtherCategory, 0x5FFFFFFF},
     Level::Information,
     kConnectionCategory,
     true},
};

INSTANTIATE_TEST_SUITE_P(Table, FilterDecision, ::testing::ValuesIn(kFilterCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(DebugFilter, DecodesEveryField) {
    EXPECT_EQ(decodeFilter(0xBFFFFFFF), (DecodedFilter{1, 7, 1023, 63, 1023}));
    EXPECT_EQ(decodeFilter(kConnectionCategory), (DecodedFilter{0, 0, 13, 63, 0}));
    EXPECT_EQ(decodeFilter(0x80000000), (DecodedFilter{0, 0, 0, 0, 0})); // bit 31 unused
}

TEST(DebugFilter, StartsWithTheSingleErrorFilter) {
    DebugFilterTable table;
    EXPECT_EQ(table.count(), 1u);
    EXPECT_EQ(table.rawWord(0), 0xBFFFFFFFu);
}

TEST(DebugFilter, ExcessFiltersAreClippedAndReported) {
    test::LogCapture capture;
    std::vector<std::uint32_t> words(300, 0x7FFFFFFF);
    words[255] = 0x12345678;
    DebugFilterTable table;
    table.set(static_cast<std::uint32_t>(words.size()), words.data());
    EXPECT_EQ(table.count(), 256u);
    EXPECT_EQ(table.rawWord(255), 0x12345678u);
    EXPECT_TRUE(capture.contains("WARNING:"));
}

TEST(DebugLog, EmptyTableSilencesOnlyFilteredMessages) {
    test::LogCapture capture;
    DebugFilterTable table;
    table.set(0, nullptr);
    printError(table, kConnectionCategory, "filtered %d", 1);
    print("plain %d", 2);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"plain 2"});
}

TEST(DebugLog, FilteredLevelsFollowTheTable) {
    test::LogCapture capture;
    DebugFilterTable table; // default: errors only
    printError(table, kConnectionCategory, "e");
    printInfo(table, kConnectionCategory, "i");
    printDetail(table, kConnectionCategory, "d");
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"e"});
}

// Standard error led into a pipe while the object lives.
class StandardErrorPipe {
public:
    StandardErrorPipe() {
        EXPECT_EQ(::pipe(ends_), 0);
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(ends_[1], STDERR_FILENO);
    }
    ~StandardErrorPipe() {
        restore();
        ::close(ends_[0]);
    }
    // Everything written so far; standard error is back in place after.
    std::string take() {
        restore();
        std::string text;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(ends_[0], buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

private:
    void restore() {
        if (saved_ >= 0) {
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
            ::close(ends_[1]);
            saved_ = -1;
        }
    }
    int ends_[2] = {-1, -1};
    int saved_ = -1;
};

TEST(DebugLog, QuietStandardErrorShowsOnlyWarningsAndErrors) {
    const std::uint32_t everything = 0x7FFFFFFF;
    DebugFilterTable table;
    table.set(1, &everything);
    for (const StandardErrorLines mode :
         {StandardErrorLines::WarningsAndErrors, StandardErrorLines::All}) {
        StandardErrorPipe pipe;
        setStandardErrorLines(mode);
        print("[peer] Connection thread started");
        print("WARNING: update download could not be started");
        print("Thread failed to start");
        printInfo(table, kConnectionCategory, "[peer] Keep Alive message sent");
        printError(table, kConnectionCategory, "[peer] closed");
        printInfo(table, kConnectionCategory, "[peer] ***ERROR*** Socket receive error: 104");
        setStandardErrorLines(StandardErrorLines::All);
        const std::string shown = pipe.take();
        const std::string quiet = "WARNING: update download could not be started\n"
                                  "Thread failed to start\n"
                                  "[peer] closed\n"
                                  "[peer] ***ERROR*** Socket receive error: 104\n";
        const std::string all = "[peer] Connection thread started\n"
                                "WARNING: update download could not be started\n"
                                "Thread failed to start\n"
                                "[peer] Keep Alive message sent\n"
                                "[peer] closed\n"
                                "[peer] ***ERROR*** Socket receive error: 104\n";
        EXPECT_EQ(shown, mode == StandardErrorLines::All ? all : quiet);
    }
}

TEST(DebugLog, ReplacedChannelGetsEveryLineWhenStandardErrorIsQuiet) {
    test::LogCapture capture;
    setStandardErrorLines(StandardErrorLines::WarningsAndErrors);
    print("plain");
    setStandardErrorLines(StandardErrorLines::All);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"plain"});
}

struct CutCase {
    std::size_t length;
    std::size_t kept;
    bool lineFeed;
};

TEST(DebugLog, LongMessagesAreCutAndLoseTheirLineFeedWhenFull) {
    const CutCase cases[] = {{1, 1, true}, {998, 998, true}, {999, 999, false}, {1200, 999, false}};
    for (const CutCase& c : cases) {
        test::LogCapture capture;
        print("%s", std::string(c.length, 'a').c_str());
        const auto raw = capture.raw();
        ASSERT_EQ(raw.size(), 1u);
        std::string expected(c.kept, 'a');
        if (c.lineFeed) {
            expected += '\n';
        }
        EXPECT_EQ(raw[0], expected) << "length " << c.length;
    }
}

TEST(DebugLog, CutNeverSplitsACharacter) {
    test::LogCapture capture;
    // 998 ASCII characters, then a character that needs two UTF-16 units.
    print("%s\xF0\x9F\x8E\xA4", std::string(998, 'a').c_str());
    EXPECT_EQ(capture.raw().at(0), std::string(998, 'a') + "\n");
}

class LogFile : public ::testing::Test {
protected:
    void SetUp() override { clock_.setLocalTime(LocalTime{2026, 12, 6, 12, 50, 24, 75}); }
    void TearDown() override { closeLogFile(); }

    static std::string readAll(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static std::string utf16le(std::string_view ascii) {
        std::string out;
        for (char c : ascii) {
            out += c;
            out += '\0';
        }
        return out;
    }

    test::TempFolder temp_{"mirx-log"};
    const std::filesystem::path folder_ = temp_.path();
    ManualClock clock_;
    ScopedClock useClock_{clock_};
    test::LogCapture capture_;
};

TEST_F(LogFile, IsNamedByStartMinuteAndStampsEachLine) {
    ASSERT_TRUE(openLogFile(folder_));
    const auto expectedPath = folder_ / "Debug_Log_2026-12-06_12-50.txt";
    EXPECT_EQ(logFilePath(), expectedPath);
    print("[%s] Connection thread started", "192.0.2.10:5000");
    closeLogFile();

    const std::string expected =
        std::string("\xFF\xFE", 2) +
        utf16le("12/06/2026 12:50:24.075 - [192.0.2.10:5000] Connection thread started\r\n");
    EXPECT_EQ(readAll(expectedPath), expected);
    // The debugger channel still gets the message.
    EXPECT_TRUE(capture_.contains("Connection thread started"));
}

TEST_F(LogFile, LinesLongerThanTheLineBufferLoseTheirEnd) {
    ASSERT_TRUE(openLogFile(folder_));
    const std::string stamp = "12/06/2026 12:50:24.075 - ";
    print("%s", std::string(400, 'x').c_str());
    closeLogFile();
    const std::string content = readAll(folder_ / "Debug_Log_2026-12-06_12-50.txt");
    EXPECT_EQ(content,
              std::string("\xFF\xFE", 2) + utf16le(stamp + std::string(300 - stamp.size(), 'x')));
}

TEST_F(LogFile, WritesTextAsUtf16) {
    ASSERT_TRUE(openLogFile(folder_));
    print("\xC3\x84"); // U+00C4
    closeLogFile();
    const std::string content = readAll(folder_ / "Debug_Log_2026-12-06_12-50.txt");
    EXPECT_NE(content.find(std::string("\xC4\x00\r\x00\n\x00", 6)), std::string::npos);
}

TEST_F(LogFile, MissingFolderIsReportedAndLeavesTheChannelOff) {
    const auto missing = folder_ / "absent";
    EXPECT_FALSE(openLogFile(missing));
    EXPECT_TRUE(logFilePath().empty());
    const std::string expected = "ERROR:  Unable to create Activity Log file: " +
                                 (missing / "Debug_Log_2026-12-06_12-50.txt").string() + " (0x2)";
    EXPECT_TRUE(capture_.contains(expected)) << capture_.lines().at(0);
    print("still reaches the debugger channel");
    EXPECT_TRUE(capture_.contains("still reaches the debugger channel"));
}

struct PlantedCase {
    std::string name;
    // Names present before the log opens: "link" is a symbolic link to a
    // file outside, anything else a file of that text.
    std::vector<std::pair<std::string, std::string>> planted;
    std::string expectedName;
};

// Whatever stands under the log's name is neither followed nor replaced.
TEST_F(LogFile, ANameInUseIsNeverWrittenThrough) {
    const std::vector<PlantedCase> cases = {
        {"nothing there", {}, "Debug_Log_2026-12-06_12-50.txt"},
        {"an earlier log of the same minute",
         {{"Debug_Log_2026-12-06_12-50.txt", "old log"}},
         "Debug_Log_2026-12-06_12-50_2.txt"},
        {"a planted link",
         {{"Debug_Log_2026-12-06_12-50.txt", "link"}},
         "Debug_Log_2026-12-06_12-50_2.txt"},
        {"a file, then a link",
         {{"Debug_Log_2026-12-06_12-50.txt", "old log"},
          {"Debug_Log_2026-12-06_12-50_2.txt", "link"}},
         "Debug_Log_2026-12-06_12-50_3.txt"},
    };
    const auto victim = folder_ / "victim";
    for (const PlantedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto dir = folder_ / "logs";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::ofstream(victim, std::ios::binary) << "victim";
        for (const auto& [name, what] : c.planted) {
            if (what == "link") {
                std::filesystem::create_symlink(victim, dir / name);
            } else {
                std::ofstream(dir / name, std::ios::binary) << what;
            }
        }
        ASSERT_TRUE(openLogFile(dir));
        print("a line");
        closeLogFile();
        EXPECT_EQ(readAll(victim), "victim");
        for (const auto& [name, what] : c.planted) {
            if (what != "link") {
                EXPECT_EQ(readAll(dir / name), what);
            }
        }
        const auto log = dir / c.expectedName;
        EXPECT_NE(readAll(log).find(utf16le("a line")), std::string::npos);
        struct stat info {};
        ASSERT_EQ(::lstat(log.c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
}

TEST_F(LogFile, EveryNameTakenIsReported) {
    for (int copy = 1; copy <= kMaxLogFileNames; ++copy) {
        std::ofstream(logFileName(folder_, 2026, 12, 6, 12, 50, copy));
    }
    EXPECT_FALSE(openLogFile(folder_));
    EXPECT_TRUE(capture_.contains("ERROR:  Unable to create Activity Log file: " +
                                  (folder_ / "Debug_Log_2026-12-06_12-50_100.txt").string() +
                                  " (0x11)"));
}

struct FolderCase {
    std::string name;
    bool programWritable;
    std::optional<std::string> xdgState; // relative to the test folder
    std::optional<std::string> home;     // relative to the test folder
    std::optional<std::string> expected; // relative to the test folder
};

// Beside the program when it may be written there, else the state folder.
TEST_F(LogFile, FolderBesideTheProgramElseTheStateFolder) {
    const std::vector<FolderCase> cases = {
        {"writable program folder", true, "state", "home", "program"},
        {"program folder not writable: XDG_STATE_HOME", false, "state", "home", "state/Talbrook"},
        {"program folder not writable: HOME", false, std::nullopt, "home",
         "home/.local/state/Talbrook"},
        {"a relative XDG_STATE_HOME is ignored", false, "", "home", "home/.local/state/Talbrook"},
        {"neither: no guess", false, std::nullopt, std::nullopt, std::nullopt},
    };
    std::filesystem::create_directories(folder_ / "program");
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto at = [this](const std::optional<std::string>& relative) {
            return relative ? std::optional<std::string>(
                                  relative->empty() ? "state" : (folder_ / *relative).string())
                            : std::nullopt;
        };
        const test::EnvOverride xdg("XDG_STATE_HOME", at(c.xdgState));
        const test::EnvOverride home("HOME", at(c.home));
        // A folder that does not exist is not writable, for root too.
        const auto program = folder_ / (c.programWritable ? "program" : "no-such-program-folder");
        const auto chosen = logFolder(program);
        if (!c.expected) {
            EXPECT_FALSE(chosen);
            EXPECT_TRUE(capture_.contains(kNoStateFolderText));
            continue;
        }
        ASSERT_TRUE(chosen);
        EXPECT_EQ(*chosen, folder_ / *c.expected);
        struct stat info {};
        ASSERT_EQ(::stat(chosen->c_str(), &info), 0);
        if (!c.programWritable) {
            EXPECT_EQ(info.st_mode & 0777, 0700u);
        }
    }
}

TEST_F(LogFile, NothingIsWrittenUntilOpened) {
    print("before any file");
    EXPECT_TRUE(logFilePath().empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder_));
}

} // namespace
} // namespace mirx::log
