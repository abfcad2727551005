#pragma once

#include "commandfiles/answer_guard.h"
#include "commandfiles/command_file.h"
#include "commandfiles/file_access.h"
#include "commandfiles/folder_lock.h"
#include "commandfiles/ran_files.h"

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
// - One runner per folder: the scheduler works on the folder only while it
//   holds the folder's lock (FolderLock); otherwise it says who holds it and
//   tries again on every tick, taking over when the holder ends.
// - Listing: files whose names end in ".txt" in any letter case, taken in
//   byte order of their names, so files found in the same scan are
//   discovered, and so ordered among equal times, by name. Only regular
//   files are read, never through a link; anything else, or a file that
//   cannot be read, is passed over with a warning and the other files go on.
// - A file removed from the folder before it began is withdrawn; one that
//   changed is read afresh. Both are checked again just before a file runs.
// - A file whose processing has begun is never re-scanned half-way; if it
//   changed on disk meanwhile it is not deleted when it finishes but found
//   again as a new file.
// - Answers: one membership or listen request is outstanding at a time
//   across the console (AnswerGuard); a waiting command completes only with
//   the answer of its own kind, and an answered file completes before any
//   other file runs.
// - A request whose connection ended is asked again after the next login;
//   the file keeps its place. That does not count as a try.
// - No answer within answerTimeoutMs: asked again; after maxTries requests
//   the file is marked failed, left on disk and passed over, and the files
//   behind it go on. A failed file that changes on disk is read afresh.
// - A finished file that cannot be deleted is remembered (RanFiles: by
//   folder, name, size, last-write time and content hash) and never run
//   again by any runner of this user while it stays as it is.
// - A valid file without a usable processing time never runs and never
//   holds back the files behind it; it is shown as a format error.
//
// User-interface thread only (or the one thread of a headless driver).

namespace mirx::commandfiles {

inline constexpr const char* kCommandFilesFolderName = "Command Files";

// "Command Files" beside the program when that folder exists (a console run
// from where it was unpacked), otherwise in the user's data folder (an
// installed console, whose program folder is not the user's); beside the
// program when there is no data folder either.
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
    // The folder's lock is held by another runner (or cannot be taken), or
    // was taken again.
    virtual void folderBusy(const std::string& /*notice*/) {}
    virtual void folderTaken() {}
    virtual void filePassedOver(const std::string& /*name*/, const std::string& /*why*/) {}
    // Removed from the folder before it began: it does not run.
    virtual void fileWithdrawn(const std::string& /*name*/) {}
    // Ran before and could not be deleted then: it does not run again.
    virtual void fileRanBefore(const std::string& /*name*/, const std::string& /*where*/) {}
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
    // environment.mirror's flags; `ranFiles` remembers the files that ran
    // but could not be deleted (RanFiles::forCurrentUser() for a runner).
    CCommandFiles(std::filesystem::path folder, CommandEnvironment environment, AnswerGuard& guard,
                  LinkProbe link, SchedulerTiming timing = {}, RanFiles ranFiles = {});
    ~CCommandFiles();
    CCommandFiles(const CCommandFiles&) = delete;
    CCommandFiles& operator=(const CCommandFiles&) = delete;

    // Takes the folder's lock if it can, then scans the folder: new files
    // are read, scanned and placed by time, changed ones read afresh in
    // place, removed ones withdrawn.
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
    // Why this scheduler leaves the folder alone (another runner holds it);
    // empty while it holds the folder.
    const std::string& folderNotice() const { return folderNotice_; }
    bool holdsFolder() const { return lock_.held(); }
    const RanFiles& ranFiles() const { return ranFiles_; }
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
        // The file on disk when its text was read.
        FileStamp stamp;
        std::uint64_t hash = 0;
        bool failed = false;
        bool changedOnDisk = false;
    };
    using Iterator = std::list<Entry>::iterator;
    enum class Outcome { Waits, Finished, Stopped, Busy };

    bool takeFolder();
    void scanEntry(const std::string& name);
    void addFile(const std::string& name, CommandFileBytes bytes);
    std::unique_ptr<CCommandFile> makeFile(const std::string& name, CommandFileBytes& bytes);
    Iterator findByName(const std::string& name);
    void withdraw(Iterator it);
    // False when the file is gone or changed since it was read (it was
    // withdrawn or read afresh).
    bool unchangedOnDisk(Iterator it);
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

    FolderLock lock_;
    std::string folderNotice_;
    RanFiles ranFiles_;

    std::list<Entry> files_;
    bool changed_ = false;
    // Names not run as they stand on disk, until they change: files that
    // ran before, and files passed over (a warning each).
    std::map<std::string, FileStamp> ranBefore_;
    std::map<std::string, FileStamp> passedOver_;

    // The file whose request is out (answered_ false) or whose answer has
    // arrived but not yet been used (answered_ true).
    Entry* active_ = nullptr;
    bool answered_ = false;
    int tries_ = 0;
    unsigned requestConnection_ = 0;
    std::uint32_t requestTick_ = 0;
};

} // namespace mirx::commandfiles
