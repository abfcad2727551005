#include "reports/report_file.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace mirx::reports {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(std::initializer_list<unsigned char> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(ReportFileBytes, BomUtf16leAndCrlf) {
    struct Case {
        const char* what;
        std::string text;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty text: the mark only", "", bytesOf({0xFF, 0xFE})},
        {"every line ends in CR LF", "A\n\nb\n",
         bytesOf(
             {0xFF, 0xFE, 'A', 0, '\r', 0, '\n', 0, '\r', 0, '\n', 0, 'b', 0, '\r', 0, '\n', 0})},
        {"the last line too", "x", bytesOf({0xFF, 0xFE, 'x', 0, '\r', 0, '\n', 0})},
        {"CR LF already there is not doubled", "x\r\n",
         bytesOf({0xFF, 0xFE, 'x', 0, '\r', 0, '\n', 0})},
        {"UTF-8 becomes UTF-16LE, beyond the BMP as a pair", "é€😀\n",
         bytesOf({0xFF, 0xFE, 0xE9, 0x00, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, '\r', 0, '\n', 0})},
        {"bad UTF-8 becomes U+FFFD", "a\xFF\n",
         bytesOf({0xFF, 0xFE, 'a', 0, 0xFD, 0xFF, '\r', 0, '\n', 0})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reportFileBytes(c.text), c.bytes) << c.what;
    }
}

class ReportFileSave : public ::testing::Test {
protected:
    std::set<std::string> listing(const fs::path& folder) const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    test::TempFolder folder_{"mirx-report-file"};
};

TEST_F(ReportFileSave, WritesTheBytesAndReplacesAnOldFile) {
    const fs::path path = folder_ / kConnectionStatusFileName;
    std::ofstream(path) << "an older and much longer report than the new one";
    EXPECT_EQ(saveReportFile(path, "R\n"), "");
    EXPECT_EQ(read(path), bytesOf({0xFF, 0xFE, 'R', 0, '\r', 0, '\n', 0}));
    EXPECT_EQ(listing(folder_.path()), std::set<std::string>{kConnectionStatusFileName});
}

TEST_F(ReportFileSave, FailuresSayWhyAndLeaveNothingBehind) {
    // A folder that does not exist.
    const fs::path nowhere = folder_ / "missing" / "r.txt";
    std::string error = saveReportFile(nowhere, "R\n");
    EXPECT_EQ(error.rfind(nowhere.string() + ": cannot create a temporary file: ", 0), 0u) << error;

    // The name is taken by a folder: the temporary file was written but
    // cannot replace it, and goes.
    const fs::path taken = folder_ / "taken.txt";
    fs::create_directories(taken / "inside");
    error = saveReportFile(taken, "R\n");
    EXPECT_EQ(error.rfind(taken.string() + ": cannot replace the file: ", 0), 0u) << error;
    EXPECT_EQ(listing(folder_.path()), std::set<std::string>{"taken.txt"});
    EXPECT_TRUE(fs::is_directory(taken / "inside"));
}

TEST_F(ReportFileSave, AFolderThatCannotBeWrittenKeepsTheOldFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    const fs::path locked = folder_ / "locked";
    fs::create_directory(locked);
    const fs::path path = locked / "r.txt";
    std::ofstream(path) << "old";
    ::chmod(locked.c_str(), 0555);
    const std::string error = saveReportFile(path, "R\n");
    ::chmod(locked.c_str(), 0755);
    EXPECT_EQ(error, path.string() + ": cannot create a temporary file: Permission denied");
    EXPECT_EQ(listing(locked), std::set<std::string>{"r.txt"});
    EXPECT_EQ(read(path), "old");
}

} // namespace
} // namespace mirx::reports
