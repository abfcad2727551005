#include "commandfiles/command_files.h"

#include "commandfiles/calendar.h"
#include "core/clock.h"
#include "core/debug_log.h"
#include "core/state_folder.h"
#include "link/server_connection_handler.h"
#include "link/server_link.h"

#include <algorithm>
#include <cctype>

namespace mirx::commandfiles {
namespace {

namespace fs = std::filesystem;

// The "*.txt" pattern, in any letter case as the pattern matched where the
// format comes from.
bool isCommandFileName(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string end = name.substr(name.size() - 4);
    std::transform(end.begin(), end.end(), end.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return end == ".txt";
}

constexpr int kMaxRereads = 8;

unsigned long low32(std::int64_t value) {
    return static_cast<unsigned long>(static_cast<std::uint64_t>(value) & 0xFFFFFFFFu);
}

} // namespace

fs::path commandFilesFolder(const fs::path& programDirectory) {
    fs::path beside = programDirectory / kCommandFilesFolderName;
    std::error_code error;
    if (fs::is_directory(beside, error)) {
        return beside;
    }
    const std::optional<fs::path> data = userDataFolder();
    return data ? *data / kCommandFilesFolderName : beside;
}

LinkProbe probeLink(link::ServerLink& link) {
    return [&link] {
        // The count first: a connection that ends between the two reads
        // shows as not logged in rather than as the old connection.
        const unsigned connection = link.handler().ConnectionCount();
        return LinkView{link.loggedIn(), connection};
    };
}

const char* statusText(FileStatus status) {
    switch (status) {
    case FileStatus::Pending:
        return "Pending";
    case FileStatus::Processing:
        return "Processing";
    case FileStatus::FormatError:
        return "Format or ID error";
    case FileStatus::Failed:
        return CCommandFiles::kFailedText;
    case FileStatus::AnswerRefused:
        return CCommandFiles::kAnswerRefusedText;
    }
    return "";
}

std::string commandKindWords(CommandKind kind) {
    switch (kind) {
    case CommandKind::BlockedListenClear:
        return "BLOCKED_LISTEN CLEAR";
    case CommandKind::BlockedListenSet:
        return "BLOCKED_LISTEN SET";
    case CommandKind::ForcedListenClear:
        return "FORCED_LISTEN CLEAR";
    case CommandKind::ForcedListenSet:
        return "FORCED_LISTEN SET";
    case CommandKind::PartyLineAdd:
        return "PARTY_LINE ADD";
    case CommandKind::PartyLineRemove:
        return "PARTY_LINE REMOVE";
    case CommandKind::None:
        break;
    }
    return {};
}

CCommandFiles::CCommandFiles(fs::path folder, CommandEnvironment environment, AnswerGuard& guard,
                             LinkProbe link, SchedulerTiming timing, RanFiles ranFiles)
    : folder_(std::move(folder))
    , environment_(environment)
    , guard_(guard)
    , link_(std::move(link))
    , timing_(timing)
    , remover_([](const fs::path& path) {
        std::error_code error;
        fs::remove(path, error);
        return error;
    })
    , lock_(folder_)
    , ranFiles_(std::move(ranFiles)) {}

CCommandFiles::~CCommandFiles() {
    for (const Entry& entry : files_) {
        const CCommandFile& file = *entry.file;
        log::print("~CCommandFiles: '%s', '%s', &: %p", file.fileName().c_str(),
                   file.description().c_str(), static_cast<const void*>(&file));
    }
    guard_.release(this);
}

bool CCommandFiles::TakeChanged() {
    const bool was = changed_;
    changed_ = false;
    return was;
}

// --- the folder ---

// False while another runner holds the folder (or it has none to lock).
bool CCommandFiles::takeFolder() {
    const bool wasHeld = lock_.held();
    const FolderLock::State state = lock_.tryTake();
    if (state == FolderLock::State::Held) {
        if (!wasHeld) {
            // Another runner may have remembered files meanwhile.
            ranFiles_.reload();
            if (!folderNotice_.empty()) {
                log::print("CCommandFiles: '%s': taken over from the other runner",
                           folder_.c_str());
                folderNotice_.clear();
                changed_ = true;
                if (observer_ != nullptr) {
                    observer_->folderTaken();
                }
            }
        }
        return true;
    }
    std::error_code error;
    if (state == FolderLock::State::Unavailable && !fs::is_directory(folder_, error)) {
        return false; // no folder: nothing to run, silently
    }
    const std::string notice = state == FolderLock::State::Busy
                                   ? "The command files folder is " + lock_.reason() +
                                         "; its files are left to that runner."
                                   : "The command files are not run: " + lock_.reason() + ".";
    if (notice != folderNotice_) {
        folderNotice_ = notice;
        log::print("CCommandFiles: WARNING: %s", notice.c_str());
        changed_ = true;
        if (observer_ != nullptr) {
            observer_->folderBusy(notice);
        }
    }
    return false;
}

void CCommandFiles::CheckFileUpdates() {
    if (!takeFolder()) {
        return;
    }
    std::error_code error;
    fs::directory_iterator it(folder_, error);
    if (error) {
        return;
    }
    std::vector<std::string> names;
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        // The entry itself: a link to a folder is passed over as a link.
        if (it->is_directory(typeError) && !it->is_symlink(typeError)) {
            continue;
        }
        std::string name = it->path().filename().string();
        if (isCommandFileName(name)) {
            names.push_back(std::move(name));
        }
    }
    if (error) {
        log::print("CheckFileUpdates error in FindFirstFile");
    }
    // Directory order is arbitrary; by name, discovery order is repeatable.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        scanEntry(name);
    }
    if (error) {
        return;
    }
    const auto gone = [&names](const std::string& name) {
        return !std::binary_search(names.begin(), names.end(), name);
    };
    for (Iterator entry = files_.begin(); entry != files_.end();) {
        const Iterator next = std::next(entry);
        if (!entry->file->processing() && gone(entry->file->fileName())) {
            withdraw(entry);
        }
        entry = next;
    }
    std::erase_if(ranBefore_, [&gone](const auto& kept) { return gone(kept.first); });
    std::erase_if(passedOver_, [&gone](const auto& kept) { return gone(kept.first); });
    ranFiles_.forgetMissing(ranFilesFolderKey(folder_), names);
}

CCommandFiles::Iterator CCommandFiles::findByName(const std::string& name) {
    return std::find_if(files_.begin(), files_.end(),
                        [&name](const Entry& entry) { return entry.file->fileName() == name; });
}

void CCommandFiles::withdraw(Iterator it) {
    const std::string name = it->file->fileName();
    log::print("CCommandFiles: '%s' was removed from the folder before it ran; it does not run",
               name.c_str());
    files_.erase(it);
    changed_ = true;
    if (observer_ != nullptr) {
        observer_->fileWithdrawn(name);
    }
}

void CCommandFiles::scanEntry(const std::string& name) {
    const fs::path path = folder_ / name;
    const std::optional<FileStamp> stamp = stampOf(path);
    if (!stamp) {
        return; // gone since the listing; the next scan withdraws it
    }
    const Iterator known = findByName(name);
    if (known != files_.end() && known->stamp == *stamp) {
        return;
    }
    if (const auto kept = ranBefore_.find(name); kept != ranBefore_.end()) {
        if (kept->second == *stamp) {
            // The folder may have become writable since.
            if (!remover_(path)) {
                ranBefore_.erase(kept);
            }
            return;
        }
        ranBefore_.erase(kept);
    }
    if (const auto kept = passedOver_.find(name); kept != passedOver_.end()) {
        if (kept->second == *stamp) {
            return;
        }
        passedOver_.erase(kept);
    }
    if (known != files_.end() && known->file->processing() && !known->failed) {
        // Never re-scanned half-way; finish() keeps it on disk for a new run.
        known->changedOnDisk = true;
        return;
    }

    CommandFileBytes bytes = readCommandFileBytes(path, CCommandFile::kMaxFileBytes);
    if (!bytes.problem.empty()) {
        passedOver_[name] = *stamp;
        log::print("CCommandFile::CreateFile: WARNING: command file '%s' passed over: %s",
                   name.c_str(), bytes.problem.c_str());
        if (known != files_.end()) {
            files_.erase(known);
            changed_ = true;
        }
        if (observer_ != nullptr) {
            observer_->filePassedOver(name, bytes.problem);
        }
        return;
    }
    const RanFile ran{ranFilesFolderKey(folder_), name, bytes.stamp.size, bytes.stamp.modifiedNs,
                      bytes.hash};
    if (ranFiles_.contains(ran)) {
        ranBefore_[name] = bytes.stamp;
        if (known != files_.end()) {
            files_.erase(known);
            changed_ = true;
        }
        const std::string where = ranFiles_.where();
        log::print("CCommandFiles: '%s' ran before and could not be deleted then; it does not "
                   "run again (remembered %s)",
                   name.c_str(), where.c_str());
        if (!remover_(path)) {
            ranBefore_.erase(name);
        }
        if (observer_ != nullptr) {
            observer_->fileRanBefore(name, where);
        }
        return;
    }
    if (known == files_.end()) {
        addFile(name, std::move(bytes));
        return;
    }
    // In place, but from the new text: the old text was replaced on disk.
    Entry& entry = *known;
    entry.stamp = bytes.stamp;
    entry.hash = bytes.hash;
    entry.file = makeFile(name, bytes);
    entry.failed = false;
    entry.changedOnDisk = false;
    changed_ = true;
    if (observer_ != nullptr) {
        observer_->fileRescanned(*entry.file);
    }
}

std::unique_ptr<CCommandFile> CCommandFiles::makeFile(const std::string& name,
                                                      CommandFileBytes& bytes) {
    auto file = std::make_unique<CCommandFile>(name, std::move(bytes.head));
    file->setLastWriteTime(fileTimeOfNs(bytes.stamp.modifiedNs));
    bool finished = false;
    file->ParseCommandFile(environment_, false, finished);
    return file;
}

void CCommandFiles::addFile(const std::string& name, CommandFileBytes bytes) {
    const long size = static_cast<long>(bytes.stamp.size);
    const FileStamp stamp = bytes.stamp;
    const std::uint64_t hash = bytes.hash;
    std::unique_ptr<CCommandFile> file = makeFile(name, bytes);
    const Iterator position = FindFilePositionByTime(*file);
    if (position == files_.end()) {
        log::print("Add '%s' %ld bytes\n", name.c_str(), size);
    } else {
        log::print("Insert '%s' %ld bytes\n", name.c_str(), size);
    }
    const Iterator added = files_.insert(position, Entry{std::move(file), stamp, hash});
    changed_ = true;
    if (observer_ != nullptr) {
        observer_->fileFound(*added->file);
    }
}

bool CCommandFiles::unchangedOnDisk(Iterator it) {
    const std::string name = it->file->fileName();
    const std::optional<FileStamp> stamp = stampOf(folder_ / name);
    if (!stamp) {
        withdraw(it);
        return false;
    }
    if (*stamp == it->stamp) {
        return true;
    }
    scanEntry(name);
    return false;
}

// Before the first file whose time is later, so equal times keep the order of
// discovery; a file without a time counts as later than any time.
CCommandFiles::Iterator CCommandFiles::FindFilePositionByTime(const CCommandFile& file) {
    const std::optional<std::int64_t> time = file.processingFileTime();
    return std::find_if(files_.begin(), files_.end(), [&time](const Entry& entry) {
        const std::optional<std::int64_t> other = entry.file->processingFileTime();
        if (!other) {
            return time.has_value();
        }
        return time && *other > *time;
    });
}

// --- running ---

bool CCommandFiles::runnable(const Entry& entry) {
    return !entry.failed && entry.file->valid() && entry.file->processingFileTime().has_value();
}

CCommandFiles::Iterator CCommandFiles::find(const Entry* entry) {
    return std::find_if(files_.begin(), files_.end(),
                        [entry](const Entry& candidate) { return &candidate == entry; });
}

bool CCommandFiles::CheckFileProcessing() {
    if (waiting()) {
        // Its answer has not come; the buffers are not ours to use yet.
        return true;
    }
    if (files_.empty()) {
        endWait();
        return false;
    }
    const std::optional<std::int64_t> now = calendarToFileTime(localTimeNow());
    if (!now) {
        log::print("CCommandFiles::CheckFileProcessing: SystemTimeToFileTime failed");
        return false;
    }
    if (active_ != nullptr) {
        // Its answer is in: it completes before any file found meanwhile
        // (perhaps ahead of it) can send a request that overwrites the answer.
        const Iterator it = find(active_);
        active_ = nullptr;
        answered_ = false;
        if (it != files_.end() && runnable(*it) && execute(it) == Outcome::Waits) {
            return true;
        }
    }
    // A file that keeps changing under us is looked at again a few times,
    // then left for the next tick.
    int rereads = 0;
    for (Iterator it = files_.begin(); it != files_.end();) {
        if (!runnable(*it)) {
            ++it;
            continue;
        }
        const CCommandFile& file = *it->file;
        const std::int64_t due = *file.processingFileTime();
        log::print("CCommandFiles::CheckFileProcessing: File: %s, PT: %08lx, ST: %08lx",
                   file.fileName().c_str(), low32(due), low32(*now));
        if (due > *now) {
            break;
        }
        if (!file.processing() && !unchangedOnDisk(it)) {
            // Withdrawn or read afresh (perhaps with another time or
            // place): the list is walked again from its head.
            if (++rereads > kMaxRereads) {
                break;
            }
            it = files_.begin();
            continue;
        }
        const Iterator next = std::next(it);
        const Outcome outcome = execute(it);
        if (outcome == Outcome::Waits) {
            return true;
        }
        if (outcome == Outcome::Busy) {
            break;
        }
        it = next;
    }
    endWait();
    return false;
}

CCommandFiles::Outcome CCommandFiles::execute(Iterator it) {
    // Another view's request is out: this file starts on a later tick.
    if (!guard_.tryAcquire(AwaitedAnswer::None, this)) {
        return Outcome::Busy;
    }
    guard_.dropStaleAnswers(this);
    Entry& entry = *it;
    CCommandFile& file = *entry.file;
    if (!file.processing()) {
        changed_ = true;
        if (observer_ != nullptr) {
            observer_->fileStarted(file);
        }
    }
    bool finished = false;
    if (file.ParseCommandFile(environment_, true, finished)) {
        guard_.tryAcquire(file.awaitedAnswer(), this);
        active_ = &entry;
        answered_ = false;
        tries_ = 1;
        requestConnection_ = link_().connection;
        requestTick_ = tickNow();
        if (observer_ != nullptr) {
            observer_->requestSent(file, file.commandKind());
        }
        return Outcome::Waits;
    }
    if (file.failure()) {
        markFailed(entry, *file.failure());
        if (active_ == &entry) {
            active_ = nullptr;
            answered_ = false;
        }
        return Outcome::Stopped;
    }
    if (!finished) {
        return Outcome::Stopped;
    }
    finish(it);
    return Outcome::Finished;
}

void CCommandFiles::finish(Iterator it) {
    Entry& entry = *it;
    const CCommandFile& file = *entry.file;
    const fs::path path = folder_ / file.fileName();
    auto how = SchedulerObserver::Finish::Deleted;
    const std::optional<FileStamp> onDisk = stampOf(path);
    std::error_code error;
    if (entry.changedOnDisk || (onDisk && *onDisk != entry.stamp)) {
        // What is on disk now never ran: the next scan finds it as new.
        how = SchedulerObserver::Finish::ChangedOnDisk;
        log::print("CCommandFiles: '%s' changed on disk while it ran; kept to be read again",
                   file.fileName().c_str());
    } else if (onDisk && (error = remover_(path))) {
        how = SchedulerObserver::Finish::NotDeleted;
        ranBefore_[file.fileName()] = entry.stamp;
        ranFiles_.remember({ranFilesFolderKey(folder_), file.fileName(), entry.stamp.size,
                            entry.stamp.modifiedNs, entry.hash});
        log::print("CCommandFiles: ERROR: Unable to delete finished command file '%s': %s; it "
                   "does not run again: remembered %s",
                   file.fileName().c_str(), error.message().c_str(), ranFiles_.where().c_str());
    }
    if (observer_ != nullptr) {
        observer_->fileFinished(file, how);
    }
    if (active_ == &entry) {
        active_ = nullptr;
        answered_ = false;
    }
    files_.erase(it);
    changed_ = true;
}

void CCommandFiles::endWait() {
    active_ = nullptr;
    answered_ = false;
    guard_.release(this);
}

// --- ticks ---

bool CCommandFiles::SecondTick() {
    CheckFileUpdates();
    const LinkView link = link_();
    if (!link.loggedIn) {
        return false;
    }
    if (active_ != nullptr) {
        if (answered_) {
            return CheckFileProcessing();
        }
        if (link.connection != requestConnection_) {
            askAgain(true);
        }
        return true;
    }
    if (!CheckFileProcessing()) {
        return false;
    }
    log::print("Start TIMER_DOWNLOAD_REQUEST_HANDLE");
    return true;
}

bool CCommandFiles::ResponseTick() {
    if (active_ == nullptr) {
        return false;
    }
    if (answered_) {
        return CheckFileProcessing();
    }
    const LinkView link = link_();
    if (!link.loggedIn) {
        return false;
    }
    if (link.connection != requestConnection_) {
        askAgain(true);
        return true;
    }
    if (guard_.takeAnswer(this)) {
        log::print("CSystemAdministrationDlg::OnTimer: TIMER_DOWNLOAD_REQUEST_HANDLE complete");
        answered_ = true;
        if (observer_ != nullptr) {
            observer_->answerReceived(*active_->file, active_->file->commandKind());
        }
        return CheckFileProcessing();
    }
    if (tickNow() - requestTick_ < timing_.answerTimeoutMs) {
        return true;
    }
    if (tries_ < timing_.maxTries) {
        ++tries_;
        askAgain(false);
        return true;
    }
    giveUp();
    return CheckFileProcessing();
}

std::uint32_t CCommandFiles::responsePollMs() const {
    if (waiting() && tickNow() - requestTick_ < timing_.fastPollWindowMs) {
        return 0;
    }
    return kResponseTickMs;
}

void CCommandFiles::askAgain(bool newConnection) {
    CCommandFile& file = *active_->file;
    guard_.dropStaleAnswers(this);
    log::print("CCommandFiles: '%s': %s; asking again (try %d)", file.fileName().c_str(),
               newConnection ? "the connection ended" : "no answer", tries_);
    file.ResendRequest(environment_);
    requestConnection_ = link_().connection;
    requestTick_ = tickNow();
    if (observer_ != nullptr) {
        observer_->requestSentAgain(file, file.commandKind(), tries_, newConnection);
    }
}

void CCommandFiles::giveUp() {
    markFailed(*active_, "no answer after " + std::to_string(tries_) + " tries; " + kFailedText);
    endWait();
}

void CCommandFiles::markFailed(Entry& entry, const std::string& reason) {
    entry.failed = true;
    changed_ = true;
    log::print("CCommandFiles: '%s': %s", entry.file->fileName().c_str(), reason.c_str());
    if (observer_ != nullptr) {
        observer_->fileFailed(*entry.file);
    }
}

std::vector<FileRow> CCommandFiles::rows() const {
    std::vector<FileRow> result;
    result.reserve(files_.size());
    for (const Entry& entry : files_) {
        const CCommandFile& file = *entry.file;
        FileStatus status = FileStatus::Pending;
        if (entry.failed) {
            status = file.failure() ? FileStatus::AnswerRefused : FileStatus::Failed;
        } else if (!file.valid()) {
            status = FileStatus::FormatError;
        } else if (file.processing()) {
            status = FileStatus::Processing;
        } else if (!file.processingFileTime()) {
            status = FileStatus::FormatError;
        }
        const CalendarTime& time = file.processingTime();
        result.push_back({file.fileName(), file.description(),
                          time == CalendarTime{} ? std::string() : formatCalendarTime(time),
                          status});
    }
    return result;
}

} // namespace mirx::commandfiles
