#include "commandfiles/folder_lock.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirx::commandfiles {
namespace {

constexpr int kOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The process id written in the lock file, when that process still lives.
pid_t readHolder(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | kOpenFlags);
    if (fd < 0) {
        return 0;
    }
    char text[32] = {};
    const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    ::close(fd);
    if (got <= 0) {
        return 0;
    }
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(text, text + got, pid);
    if (error != std::errc() || pid <= 0 || (end != text + got && *end != '\n')) {
        return 0;
    }
    if (::kill(pid, 0) != 0 && errno == ESRCH) {
        return 0;
    }
    return pid;
}

} // namespace

FolderLock::FolderLock(std::filesystem::path folder)
    : folder_(std::move(folder)) {}

FolderLock::~FolderLock() {
    release();
}

FolderLock::State FolderLock::tryTake() {
    if (held()) {
        return State::Held;
    }
    const std::filesystem::path file = path();
    bool writable = true;
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | kOpenFlags, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        // Not ours to write: an existing lock file still serves to lock.
        writable = false;
        fd = ::open(file.c_str(), O_RDONLY | kOpenFlags);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        }
    }
    if (fd < 0) {
        reason_ = "the lock file " + file.string() + " cannot be opened: " + std::strerror(errno);
        holder_ = 0;
        return State::Unavailable;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))) {
        ::close(fd);
        reason_ = "the lock file " + file.string() + " is not a regular file";
        holder_ = 0;
        return State::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        holder_ = error == EWOULDBLOCK ? readHolder(file) : 0;
        if (error != EWOULDBLOCK) {
            reason_ =
                "the lock file " + file.string() + " cannot be locked: " + std::strerror(error);
            return State::Unavailable;
        }
        reason_ =
            "in use by " +
            (holder_ > 0 ? "process " + std::to_string(holder_) : std::string("another process")) +
            " (lock file " + file.string() + ")";
        return State::Busy;
    }
    fd_ = fd;
    holder_ = 0;
    reason_.clear();
    wrotePid_ = false;
    if (writable && S_ISREG(info.st_mode)) {
        const std::string pid = std::to_string(::getpid()) + "\n";
        wrotePid_ = ::ftruncate(fd_, 0) == 0 &&
                    ::pwrite(fd_, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size());
    }
    return State::Held;
}

void FolderLock::release() {
    if (fd_ < 0) {
        return;
    }
    if (wrotePid_) {
        // Still locked here, so no new holder has written its own id yet.
        const int ignored = ::ftruncate(fd_, 0);
        (void)ignored;
    }
    ::close(fd_);
    fd_ = -1;
}

} // namespace mirx::commandfiles
