#pragma once

#include "commandfiles/answer_guard.h"
#include "commandfiles/command_file.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace mirx::link {
class ServerLink;
}

// The command file scheduler: watches the command files folder, keeps one
// CCommandFile per file in processing-time order, runs the due files one
// request at a time and deletes them when done. No thread of its own: a
// driver calls SecondTick() every second and, while it returns true,
// ResponseTick() at responsePollMs() intervals (the console's main window
// through its timers, mirx-ctl run-command-files from a plain loop).
//
// Rules beyond running files in order (docs/command-files.md):
// - Listing: regular files whose names end in ".txt" in any letter case,
//   taken in byte order of their names, so files found in the same scan are
//   discovered, and so ordered among equal times, by name.
// - A file whose processing has begun is never re-scanned half-way; if it
//   changed on disk meanwhile it is not deleted when it finishes but found
//   again as a new file. A re-scan of a pending file reads its text afresh.
// - Answers: one membership or listen request is outstanding at a time
//   across the console (AnswerGuard); a waiting command completes only with
//   the answer of its own kind, and an answered file completes before any
//   other file runs.
// - A request whose connection ended is asked again after the next login;
//   the file keeps its place. That does not count as a try.
// - No answer within answerTimeoutMs: asked again; after maxTries requests
//   the file is marked failed, left on disk and passed over, and the files
//   behind it go on. A failed file that changes on disk is read afresh.
// - A finished file that cannot be deleted is remembered by name and
//   last-write time and not run again until it changes or disappears.
// - A valid file without a usable processing time never runs and never
//   holds back the files behind it; it is shown as a format error.
//
// User-interface thread only (or the one thread of a headless driver).

namespace mirx::commandfiles {

inline constexpr const char* kCommandFilesFolderName = "Command Files";

// The folder beside the program.
std::filesystem::path commandFilesFolder(const std::filesystem::path& programDirectory);

// What the scheduler sees of the server link.
struct LinkView {
    bool loggedIn = false;   // requests go out now
    unsigned connection = 0; // changes with every connection
};
using LinkProbe = std::function<LinkView()>;
// Logged in = logged-in state with the connection still up.
LinkProbe probeLink(link::ServerLink& link);

// Failed: no answer after the last try. AnswerRefused: the server's answer
// was broken or for another record, so the file stopped without sending.
enum class FileStatus { Pending, Processing, FormatError, Failed, AnswerRefused };
const char* statusText(FileStatus status);

// "BLOCKED_LISTEN SET", "PARTY_LINE ADD"...; empty for None.
std::string commandKindWords(CommandKind kind);

// One line of the command files view.
struct FileRow {
    std::string fileName;
    std::string description;
    std::string processingTime; // empty when no time was ever set
    FileStatus status = FileStatus::Pending;
    friend bool operator==(const FileRow&, const FileRow&) = default;
};

struct SchedulerTiming {
    std::uint32_t answerTimeoutMs = 30000;
    int maxTries = 3;
    // Right after a request the response tick is wanted at once, so a quick
    // answer is used without waiting for the next 10 ms tick.
    std::uint32_t fastPollWindowMs = 50;
};

// What the scheduler did, for a driver that reports it (mirx-ctl). The file
// is valid only during the call.
class SchedulerObserver {
public:
    enum class Finish { Deleted, NotDeleted, ChangedOnDisk };

    virtual ~SchedulerObserver() = default;
    virtual void fileFound(const CCommandFile&) {}
    virtual void fileRescanned(const CCommandFile&) {}
    virtual void fileStarted(const CCommandFile&) {}
    virtual void requestSent(const CCommandFile&, CommandKind) {}
    // The waiting request again: after a new login (the try it replaces
    // keeps its number) or after the answer time-out (try_ counts from 2).
    virtual void requestSentAgain(const CCommandFile&, CommandKind, int /*try_*/,
                                  bool /*newConnection*/) {}
    virtual void answerReceived(const CCommandFile&, CommandKind) {}
    virtual void fileFinished(const CCommandFile&, Finish) {}
    virtual void fileFailed(const CCommandFile&) {}
};

class CCommandFiles {
public:
    static constexpr std::uint32_t kSecondTickMs = 1000;
    // TIMER_DOWNLOAD_REQUEST_HANDLE.
    static constexpr std::uint32_t kResponseTickMs = 10;
    static constexpr const char* kFailedText = "Failed: no answer from the server";
    static constexpr const char* kAnswerRefusedText =
        "Failed: the server's answer was refused, nothing was sent";

    // `environment.requests` is where requests go (the link's request
    // queue); `guard` is the console's one AnswerGuard over
    // environment.mirror's flags.
    CCommandFiles(std::filesystem::path folder, CommandEnvironment environment, AnswerGuard& guard,
                  LinkProbe link, SchedulerTiming timing = {});
    ~CCommandFiles();
    CCommandFiles(const CCommandFiles&) = delete;
    CCommandFiles& operator=(const CCommandFiles&) = delete;

    // Scans the folder: new files are read, scanned and placed by time,
    // changed ones re-scanned in place.
    void CheckFileUpdates();
    // Runs the due files from the head of the list; true when a command now
    // waits for its answer. While one waits nothing else runs.
    bool CheckFileProcessing();

    // The one-second tick: CheckFileUpdates, then, while logged in and
    // nothing waits, CheckFileProcessing; a request whose connection ended is
    // asked again. True while a command waits: run ResponseTick until it
    // returns false.
    bool SecondTick();
    // Takes the awaited answer and runs on, asks again on a new connection
    // or after the time-out, gives up after the last try. False when nothing
    // waits any more (or the link is down: SecondTick resumes after login).
    bool ResponseTick();
    // How soon the next ResponseTick is wanted: 0 just after a request,
    // then kResponseTickMs.
    std::uint32_t responsePollMs() const;

    // A command waits for its answer.
    bool waiting() const { return active_ != nullptr && !answered_; }

    // Set when a file was added, re-scanned, started, failed or removed.
    bool changed() const { return changed_; }
    // Test and clear, for the view.
    bool TakeChanged();

    std::vector<FileRow> rows() const;
    const std::filesystem::path& folder() const { return folder_; }
    AnswerGuard& guard() { return guard_; }
    void setObserver(SchedulerObserver* observer) { observer_ = observer; }
    // How finished files are deleted; an error keeps the file on disk (tests
    // stand in a failing one). A missing file is no error.
    using Remover = std::function<std::error_code(const std::filesystem::path&)>;
    void setRemover(Remover remover) { remover_ = std::move(remover); }

private:
    struct Entry {
        std::unique_ptr<CCommandFile> file;
        // Last-write time when its text was read.
        std::int64_t readAt = 0;
        bool failed = false;
        bool changedOnDisk = false;
    };
    using Iterator = std::list<Entry>::iterator;
    enum class Outcome { Waits, Finished, Stopped, Busy };

    bool scanEntry(const std::string& name);
    std::unique_ptr<CCommandFile> readFile(const std::string& name, std::int64_t lastWrite);
    void addFile(const std::string& name, std::int64_t lastWrite, long size);
    Iterator FindFilePositionByTime(const CCommandFile& file);
    static bool runnable(const Entry& entry);
    Outcome execute(Iterator it);
    void finish(Iterator it);
    void askAgain(bool newConnection);
    void giveUp();
    void markFailed(Entry& entry, const std::string& reason);
    void endWait();
    Iterator find(const Entry* entry);

    std::filesystem::path folder_;
    CommandEnvironment environment_;
    AnswerGuard& guard_;
    LinkProbe link_;
    SchedulerTiming timing_;
    SchedulerObserver* observer_ = nullptr;
    Remover remover_;

    std::list<Entry> files_;
    bool changed_ = false;
    // Finished but still on disk: name -> last-write time.
    std::map<std::string, std::int64_t> undeleted_;

    // The file whose request is out (answered_ false) or whose answer has
    // arrived but not yet been used (answered_ true).
    Entry* active_ = nullptr;
    bool answered_ = false;
    int tries_ = 0;
    unsigned requestConnection_ = 0;
    std::uint32_t requestTick_ = 0;
};

} // namespace mirx::commandfiles
