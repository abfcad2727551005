// mirx-ctl check: command files checked without a server, names resolved
// against an exported site.
#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "apps/ctl/export_site.h"
#include "core/clock.h"
#include "link/settings_store.h"
#include "sim/demo_site.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace mirx::ctl {
namespace {

struct OptionCase {
    std::vector<std::string> args;
    const char* problem;
};

TEST(CheckOptions, FilesAndConfigBelongToCheck) {
    const OptionCase cases[] = {
        {{"check", "a.txt", "b.txt", "--config", "site.json"}, ""},
        {{"check"}, "check needs at least one command file"},
        {{"check", "a.txt", "--config"}, "--config needs a value"},
        {{"status", "--config", "site.json"}, "--config belongs to the check command"},
        {{"status", "a.txt"}, "unexpected argument a.txt"},
    };
    for (const OptionCase& c : cases) {
        CtlOptions options;
        const std::string problem = parseCtlOptions(c.args, options);
        if (*c.problem == '\0') {
            EXPECT_EQ(problem, "");
        } else {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        }
    }
    CtlOptions options;
    ASSERT_EQ(
        parseCtlOptions(std::vector<std::string>{"check", "a.txt", "--config", "s.json", "b.txt"},
                        options),
        "");
    EXPECT_EQ(options.files, (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(options.config, "s.json");
}

class CheckCommand : public ::testing::Test {
protected:
    CheckCommand()
        : folder_(std::filesystem::temp_directory_path() /
                  ("mirx-check-test-" + std::to_string(::getpid()))) {
        clock_.setLocalTime({2024, 3, 14, 10, 0, 0, 0});
        std::filesystem::create_directories(folder_);
        write("show.txt", "DESCRIPTION: Evening show\r\n"
                          "TIME_ABSOLUTE: 14:30:00\r\n"
                          "; index tokens need no configuration\r\n"
                          "PARTY_LINE: ADD TALK to _client.15_ on _pl.1_\r\n");
        write("names.txt", "TIME_RELATIVE: 0:0:30\r\n"
                           "BLOCKED_LISTEN: SET CAMERA1 from director\r\n"
                           "PARTY_LINE: ADD LISTEN to producer on _pl.1_\r\n");
        write("bad.txt", "TIME_RELATIVE: 0:0:30\r\n"
                         "BLOCKED_LISTEN: SET _client.1 from _client.2_\r\n"
                         "FILE_VERSION: 2\r\n");
        write("notime.txt", "DESCRIPTION: someday\r\n");
        // Terminal controls: a title change, a bell, colour, and C1 CSI as
        // one 8-bit byte; the file name carries one too.
        write("ctl\x1b[2J.txt", "DESCRIPTION: \x1b]0;owned\x07 red \x1b[31m \x9b"
                                "2J\r\n"
                                "TIME_ABSOLUTE: 14:30:00\r\n"
                                "NOTE\x1b[1m: x\r\n");
        std::filesystem::create_symlink(folder_ / "show.txt", folder_ / "link.txt");
        ::mkfifo((folder_ / "fifo.txt").c_str(), 0600);
        std::ofstream site(folder_ / "site.json");
        writeExport(sim::demoSite(), site);
    }
    ~CheckCommand() override { std::filesystem::remove_all(folder_); }

    void write(const std::string& name, const std::string& text) {
        std::ofstream(folder_ / name, std::ios::binary) << text;
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    struct Result {
        int status = -1;
        std::string out;
        std::string err;
    };
    Result run(std::vector<std::string> args) {
        for (std::string& arg : args) {
            if (arg.ends_with(".txt") || arg.ends_with(".json")) {
                arg = path(arg);
            }
        }
        CtlOptions options;
        EXPECT_EQ(parseCtlOptions(args, options), "");
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        link::MemorySettingsStore store;
        const std::atomic<bool> stop{false};
        const int status = runCtl(options, store, {out, err, in}, stop);
        return {status, out.str(), err.str()};
    }

    std::filesystem::path folder_;
    ManualClock clock_;
    ScopedClock useClock_{clock_};
};

struct CheckCase {
    std::string name;
    std::vector<std::string> args;
    int status;
    // Lines of standard output; "@" stands for the folder of the files.
    std::vector<std::string> out;
    std::string err = {};
};

TEST_F(CheckCommand, ReportsProblemsOrWhatTheFileWouldDo) {
    const std::vector<CheckCase> cases = {
        {"a valid file without a site: indices only",
         {"check", "show.txt"},
         kExitOk,
         {"@show.txt: valid", "  description:     Evening show",
          "  processing time: 2024-03-14 14:30:00", "  line 4: add N016 to PL02 for talk"},
         "no --config given"},
        {"names resolve against the exported site",
         {"check", "--config", "site.json", "names.txt", "show.txt"},
         kExitOk,
         {"@names.txt: valid", "  description:     ", "  processing time: 2024-03-14 10:00:30",
          "  line 2: block N016 (Camera 1) from hearing N001 (Director)",
          "  line 3: add N002 (Producer) to PL02 (Camera) for listen: passed over when run, N002 "
          "is a control panel",
          "@show.txt: valid", "  description:     Evening show",
          "  processing time: 2024-03-14 14:30:00",
          "  line 4: add N016 (Camera 1) to PL02 (Camera) for talk"}},
        {"names without a site do not resolve",
         {"check", "names.txt"},
         kExitCommandFileInvalid,
         {"@names.txt:2: BLOCKED_LISTEN: SET: no client has the login name 'CAMERA1'",
          "@names.txt:3: PARTY_LINE: ADD: no client has the login name 'producer'",
          "@names.txt: Format or ID error"},
         "no --config given"},
        {"every file is reported, one invalid one fails the run",
         {"check", "--config", "site.json", "bad.txt", "notime.txt", "gone.txt", "show.txt"},
         kExitCommandFileInvalid,
         {"@bad.txt:2: BLOCKED_LISTEN: SET: the listening client token '_client.1' needs its "
          "closing underscore",
          "@bad.txt:3: FILE_VERSION: version 2 is not known (only version 1 is)",
          "@bad.txt: Format or ID error",
          "@notime.txt: no TIME_ABSOLUTE: or TIME_RELATIVE: line, so the file has no processing "
          "time",
          "@notime.txt: Format or ID error",
          "@gone.txt: cannot be opened for reading: No such file or directory", "@show.txt: valid",
          "  description:     Evening show", "  processing time: 2024-03-14 14:30:00",
          "  line 4: add N016 (Camera 1) to PL02 (Camera) for talk"}},
        {"control characters are shown as escapes",
         {"check", "ctl\x1b[2J.txt"},
         kExitOk,
         {"@ctl\\x1b[2J.txt: valid",
          "  description:     \\x1b]0;owned\\x07 red \\x1b[31m \\u009b2J",
          "  processing time: 2024-03-14 14:30:00",
          "  line 3: ignored: unknown keyword 'NOTE\\x1b[1m:'"},
         "no --config given"},
        {"only regular files are read: no link, no FIFO",
         {"check", "link.txt", "fifo.txt"},
         kExitCommandFileInvalid,
         {"@link.txt: a symbolic link, not a regular file", "@fifo.txt: not a regular file"},
         "no --config given"},
        {"an unreadable site document",
         {"check", "--config", "missing.json", "show.txt"},
         kExitUsage,
         {},
         "missing.json"},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Result result = run(c.args);
        EXPECT_EQ(result.status, c.status) << result.out << result.err;
        std::string expected;
        for (const std::string& line : c.out) {
            expected +=
                (line.starts_with("@") ? (folder_ / "").string() + line.substr(1) : line) + "\n";
        }
        EXPECT_EQ(result.out, expected);
        for (const char byte : result.out) {
            EXPECT_TRUE(byte == '\n' || static_cast<unsigned char>(byte) >= 0x20) << int(byte);
        }
        if (c.err.empty()) {
            EXPECT_EQ(result.err, "");
        } else {
            EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        }
    }
}

} // namespace
} // namespace mirx::ctl
