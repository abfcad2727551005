#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

// One runner per command files folder: an advisory lock (flock) on a lock
// file inside the folder, which also names the holding process. A folder in
// which the lock file can be neither created nor opened is locked itself.
// The lock belongs to the open file, so two runners in one process exclude
// each other as two processes do; it ends with the holder, even on a crash.

namespace mirx::commandfiles {

class FolderLock {
public:
    static constexpr const char* kFileName = ".mirx-command-files.lock";

    explicit FolderLock(std::filesystem::path folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    enum class State { Held, Busy, Unavailable };
    // Takes the lock when it is free (a held lock stays held).
    State tryTake();
    bool held() const { return fd_ >= 0; }

    // Busy: the holder's process id, 0 when it did not say.
    pid_t holder() const { return holder_; }
    // Busy or Unavailable: what stands in the way, in words.
    const std::string& reason() const { return reason_; }
    std::filesystem::path path() const { return folder_ / kFileName; }

private:
    void release();

    std::filesystem::path folder_;
    int fd_ = -1;
    bool wrotePid_ = false;
    pid_t holder_ = 0;
    std::string reason_;
};

} // namespace mirx::commandfiles
