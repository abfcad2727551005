#include "commandfiles/file_access.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirx::commandfiles {
namespace {

// 100 ns units from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochInFileTime = 116444736000000000LL;

std::int64_t nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

FileStamp stampFrom(const struct stat& info) {
    return FileStamp{static_cast<std::uint64_t>(info.st_dev),
                     static_cast<std::uint64_t>(info.st_ino),
                     static_cast<std::int64_t>(info.st_size),
                     nanoseconds(info.st_mtim),
                     nanoseconds(info.st_ctim),
                     S_ISREG(info.st_mode)};
}

std::string systemText(int error) {
    return std::strerror(error);
}

} // namespace

std::optional<FileStamp> stampOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return stampFrom(info);
}

std::int64_t fileTimeOfNs(std::int64_t nsSince1970) {
    return kUnixEpochInFileTime + nsSince1970 / 100;
}

void ContentHash::add(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) {
        value_ ^= byte;
        value_ *= 0x100000001b3ULL;
    }
}

CommandFileBytes readCommandFileBytes(const std::filesystem::path& path, std::size_t maxBytes) {
    CommandFileBytes result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.problem = errno == ELOOP ? "a symbolic link, not a regular file"
                                        : "cannot be opened for reading: " + systemText(errno);
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result.problem = "cannot be examined: " + systemText(errno);
        ::close(fd);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.problem = "not a regular file";
        ::close(fd);
        return result;
    }
    result.stamp = stampFrom(info);
    ContentHash hash;
    std::array<std::uint8_t, 8192> buffer{};
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            result.problem = "cannot be read: " + systemText(errno);
            result.head.clear();
            break;
        }
        if (got == 0) {
            break;
        }
        const std::span<const std::uint8_t> chunk(buffer.data(), static_cast<std::size_t>(got));
        hash.add(chunk);
        const std::size_t room = maxBytes + 1 - std::min(maxBytes + 1, result.head.size());
        const std::size_t take = std::min(room, chunk.size());
        result.head.insert(result.head.end(), chunk.begin(),
                           chunk.begin() + static_cast<long>(take));
    }
    ::close(fd);
    result.hash = hash.value();
    return result;
}

} // namespace mirx::commandfiles
