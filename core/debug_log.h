#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// The process-wide debug log: every diagnostic of the console is one line.
// Lines reach the debugger channel (standard error unless replaced; see
// setStandardErrorLines) and,
// once openLogFile() succeeded, a UTF-16LE file beside the program.

#define MIRX_PRINTF(fmtIndex, firstArg) __attribute__((format(printf, fmtIndex, firstArg)))

namespace mirx::log {

// Longest formatted message in characters; longer texts are cut to one less.
inline constexpr std::size_t kMessageCapacity = 1000;
// Longest file line in characters (stamp included); longer lines lose their end.
inline constexpr std::size_t kFileLineCapacity = 300;

enum class Level : std::uint32_t { Error = 0, Information = 2, Detail = 3 };

// Category word of every message the connection thread reports:
// class 0, group 13, subgroup 63, item 0.
inline constexpr std::uint32_t kConnectionCategory = 0x000DFC00;

struct DecodedFilter {
    std::uint32_t level = 0;    // 3 = every level
    std::uint32_t cls = 0;      // 7 = any
    std::uint32_t group = 0;    // 1023 = any
    std::uint32_t subgroup = 0; // 63 = any
    std::uint32_t item = 0;     // 1023 = any

    friend bool operator==(const DecodedFilter&, const DecodedFilter&) = default;
};

DecodedFilter decodeFilter(std::uint32_t word);
// The word for `filter` with bit 31 set; each field is cut to its width, so
// no value reaches into its neighbour.
std::uint32_t encodeFilter(const DecodedFilter& filter);

// Decides which categorised messages are emitted. Starts with one filter that
// lets only error-level messages through; the server replaces it at run time.
class DebugFilterTable {
public:
    static constexpr std::size_t kCapacity = 256;
    static constexpr std::uint32_t kDefaultWord = 0xBFFFFFFF;

    DebugFilterTable();

    // Replaces the whole table. More than kCapacity words are clipped (and
    // reported); the rest of the words are ignored.
    void set(std::uint32_t count, const std::uint32_t* words);
    bool passes(Level level, std::uint32_t category) const;

    std::uint32_t count() const;
    std::uint32_t rawWord(std::size_t index) const;

private:
    mutable std::mutex lock_;
    std::uint32_t count_ = 0;
    std::array<std::uint32_t, kCapacity> raw_{};
    std::array<DecodedFilter, kCapacity> decoded_{};
};

// The table the console uses; CLIENT_DEBUG_FILTER rewrites it.
DebugFilterTable& debugFilters();
void setFilters(std::uint32_t count, const std::uint32_t* words);

// Emitted unconditionally.
void print(const char* format, ...) MIRX_PRINTF(1, 2);
// Emitted only when `table` passes the level with the given category word.
void printError(const DebugFilterTable& table, std::uint32_t category, const char* format, ...)
    MIRX_PRINTF(3, 4);
void printInfo(const DebugFilterTable& table, std::uint32_t category, const char* format, ...)
    MIRX_PRINTF(3, 4);
void printDetail(const DebugFilterTable& table, std::uint32_t category, const char* format, ...)
    MIRX_PRINTF(3, 4);

// Receives every emitted message exactly as it goes to the debugger channel:
// the text, followed by "\n" unless the text filled the message buffer.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void write(std::string_view line) = 0;
};

// Replaces the debugger channel (nullptr restores standard error). The sink
// must outlive every message emitted while it is installed.
void setDebuggerSink(LineSink* sink);

// What standard error shows as the debugger channel: every line, or only
// error-level lines and lines that read as a warning or an error. A
// replaced channel and the log file get every line either way.
enum class StandardErrorLines : std::uint8_t { All, WarningsAndErrors };
void setStandardErrorLines(StandardErrorLines lines);
// Mentions an error, a warning or a failure, in any case.
bool readsAsWarningOrError(std::string_view text);

// Creates "<folder>/Debug_Log_YYYY-MM-DD_hh-mm.txt" (UTF-16LE with BOM) from
// the start minute and sends every later message there too. The file is
// new, mode 0600, and never reached through a link: when that name exists
// (a file or a planted link), "_2", "_3"... are tried before ".txt". False,
// with a message on the debugger channel, when no file can be created.
bool openLogFile(const std::filesystem::path& folder);
void closeLogFile();
// Path of the open log file; empty when the file channel is off.
std::filesystem::path logFilePath();

// How many names openLogFile tries in one folder.
inline constexpr int kMaxLogFileNames = 100;

// File name for a log started at `time` in `folder`; `copy` above 1 gives
// the name used when the earlier ones exist.
std::filesystem::path logFileName(const std::filesystem::path& folder, int year, int month, int day,
                                  int hour, int minute, int copy = 1);

// The folder of the log file: `programDirectory` when this user may write
// there, else the user's state folder (created with mode 0700); nullopt,
// with an error line, when there is neither.
std::optional<std::filesystem::path> logFolder(const std::filesystem::path& programDirectory);

} // namespace mirx::log
