#pragma once

#include "commandfiles/command_file_text.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mirx {
class CMessageQueue;
}
namespace mirx::model {
class Mirror;
} // namespace mirx::model

// One command file: a description, a processing time and a list of party
// line, blocked listen and forced listen commands. The scan pass checks the
// file and resolves its names without sending anything; the execute pass
// runs the commands one request at a time.

namespace mirx::commandfiles {

// Calendar fields of a processing time (local time, milliseconds always 0).
struct CalendarTime {
    std::int16_t year = 0;
    std::int16_t month = 0;
    std::int16_t dayOfWeek = 0;
    std::int16_t day = 0;
    std::int16_t hour = 0;
    std::int16_t minute = 0;
    std::int16_t second = 0;
    std::int16_t milliseconds = 0;
    friend bool operator==(const CalendarTime&, const CalendarTime&) = default;
};

// 100 ns units since 1601-01-01 of the calendar fields as they stand (no
// time-zone shift); nullopt for fields no calendar has (month 13, 30 Feb...).
std::optional<std::int64_t> calendarToFileTime(const CalendarTime& time);
// The clock's local time now, milliseconds dropped.
CalendarTime localTimeNow();

enum class CommandKind : std::int32_t {
    None = -1,
    BlockedListenClear = 0,
    BlockedListenSet = 1,
    ForcedListenClear = 2,
    ForcedListenSet = 3,
    PartyLineAdd = 4,
    PartyLineRemove = 5,
};

enum class PartyLineMode : std::uint8_t { None = 0, Talk = 1, Listen = 2, TalkAndListen = 3 };

// What the file works on: the mirrored configuration (names, labels,
// credentials, and the membership and listen answers) and the queue its
// requests go out on. Without a queue only the scan pass can run.
struct CommandEnvironment {
    model::Mirror& mirror;
    CMessageQueue* requests = nullptr;
};

// A problem the scan pass found, for `mirx-ctl check`.
struct Problem {
    int line = 0; // 1-based line of the file; 0 for the file as a whole
    std::string message;
    friend bool operator==(const Problem&, const Problem&) = default;
};

// A command the scan pass accepted, in plain words, for `mirx-ctl check`.
// Kind None: a line that will be ignored (unknown keyword or operation).
struct PlannedCommand {
    int line = 0;
    CommandKind kind = CommandKind::None;
    std::string text; // e.g. "block N002 (Stage Left) from hearing N003 (Camera 1)"
    friend bool operator==(const PlannedCommand&, const PlannedCommand&) = default;
};

// Which answer a waiting command needs; the scheduler lets one request of
// these kinds be outstanding at a time across the console.
enum class AwaitedAnswer { None, Membership, BlockedListen, ForcedListen };

class CCommandFile {
public:
    static constexpr std::size_t kMaxFileBytes = 20000;
    static constexpr std::size_t kTextUnits = 10000;

    // A file in `folder`, read on the first pass.
    CCommandFile(std::filesystem::path folder, std::string fileName, std::int64_t lastWriteTime);
    // A file whose bytes are already at hand (checks, tests).
    CCommandFile(std::string fileName, std::vector<std::uint8_t> bytes);

    // The scan pass (execute false) or the execute pass from the current
    // position. True when a request was sent and the file now waits; finished
    // is set when the execute pass reached the end of the text.
    bool ParseCommandFile(CommandEnvironment& environment, bool execute, bool& finished);

    // Sends the waiting command's request again (the connection ended or the
    // answer did not come); false when nothing waits or there is no queue.
    bool ResendRequest(CommandEnvironment& environment);
    // The answer the waiting command needs.
    AwaitedAnswer awaitedAnswer() const;

    const std::string& fileName() const { return fileName_; }
    const std::string& description() const { return description_; }
    std::int32_t version() const { return version_; }
    const CalendarTime& processingTime() const { return processingTime_; }
    // Unset when no time line was accepted or its fields were rejected.
    std::optional<std::int64_t> processingFileTime() const { return processingFileTime_; }
    std::int64_t lastWriteTime() const { return lastWriteTime_; }
    void setLastWriteTime(std::int64_t time) { lastWriteTime_ = time; }
    bool valid() const { return valid_; }
    bool processing() const { return processing_; }
    bool waiting() const { return waiting_; }
    CommandKind commandKind() const { return kind_; }
    // Why the execute pass stopped for good (a refused or mismatched
    // answer); the file is then failed and nothing more of it runs.
    const std::optional<std::string>& failure() const { return failure_; }

    // Of the last scan pass (in line order: whatever left the file invalid),
    // followed by any the execute pass met since.
    const std::vector<Problem>& problems() const { return problems_; }
    const std::vector<PlannedCommand>& plan() const { return plan_; }
    // The file was longer than the text kept from it: it ends after the last
    // complete line that fitted.
    bool truncated() const { return text_ && text_->truncated(); }

    static constexpr std::size_t kMaxKeywordChars = 99;
    static constexpr std::size_t kMaxRestChars = 99;
    static constexpr std::size_t kMaxArgumentChars = 49;

private:
    bool readText();
    std::optional<std::u16string_view> GetNextLine();
    // Each returns true when a request was sent.
    bool parseLine(CommandEnvironment& environment, std::u16string_view line, bool execute);
    bool parseCommand(CommandEnvironment& environment, CommandKind family, std::string_view keyword,
                      std::u16string_view rest, bool execute);
    bool parseListenCommand(CommandEnvironment& environment, CommandKind kind,
                            const std::string& what, std::u16string_view arguments, bool execute);
    bool parsePartyLineCommand(CommandEnvironment& environment, CommandKind kind,
                               const std::string& what, std::u16string_view arguments,
                               bool execute);
    bool sendRequest(CommandEnvironment& environment, CommandKind kind, std::uint16_t id,
                     std::uint16_t second);
    void completeCommand(CommandEnvironment& environment);

    void SetDescription(std::u16string_view text);
    void SetVersion(std::u16string_view text);
    void SetAbsoluteTime(std::u16string_view text);
    bool SetRelativeTime(std::u16string_view text);
    void takeTime(const char* setter, std::string_view keyword, const CalendarTime& time);

    void plan(CommandKind kind, std::string text);
    // A failure the execute pass would meet again: it keeps the file invalid.
    void lineProblem(std::string message);
    // A failure of the file's version or time line, undone by a later
    // accepted time line as the valid flag is.
    void timeProblem(std::string message);
    void finishScan();

    std::filesystem::path folder_;
    std::string fileName_;
    std::string description_;
    std::int32_t version_ = 1;
    CalendarTime processingTime_;
    std::optional<std::int64_t> processingFileTime_;
    std::int64_t lastWriteTime_ = 0;
    CommandKind kind_ = CommandKind::None;
    bool waiting_ = false;
    bool processing_ = false;
    bool valid_ = true;
    std::vector<Problem> problems_;
    std::vector<PlannedCommand> plan_;
    std::optional<std::string> failure_;

    // The bytes given at construction, until the text is made from them.
    std::vector<std::uint8_t> bytes_;
    bool bytesGiven_ = false;
    // Unset until the file was read.
    std::optional<CommandText> text_;

    // The current command.
    std::int16_t listenIndex_ = -1;
    std::int16_t talkIndex_ = -1;
    std::int16_t partyLineIndex_ = -1;
    std::int16_t partyLineLabel_ = -1;
    PartyLineMode mode_ = PartyLineMode::None;
    std::uint16_t requestId_ = 0;
    std::uint16_t requestSecond_ = 0;

    // Bookkeeping of the scan pass.
    bool timeLineSeen_ = false;
    bool timeAccepted_ = false;
    bool lineFailed_ = false;
    std::vector<Problem> timeProblems_;
};

} // namespace mirx::commandfiles
