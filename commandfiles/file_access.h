#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

// How the command files on disk are looked at and read: never through a link,
// never blocking on a FIFO or a device, only regular files opened.

namespace mirx::commandfiles {

// What tells one version of a file from another: which file (device and
// inode), its size, its last-write time and its last status change (a
// rewrite, a rename over it or a change of its mode).
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0; // since 1970
    std::int64_t changedNs = 0;  // since 1970
    bool regular = false;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The entry itself (a link is not followed); nullopt when nothing is there.
std::optional<FileStamp> stampOf(const std::filesystem::path& path);

// 100 ns units since 1601 of a last-write time.
std::int64_t fileTimeOfNs(std::int64_t nsSince1970);

// FNV-1a, 64 bits.
class ContentHash {
public:
    void add(std::span<const std::uint8_t> bytes);
    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = 0xcbf29ce484222325ULL;
};

struct CommandFileBytes {
    // The first `maxBytes` + 1 bytes: one more than is used tells that the
    // file is longer.
    std::vector<std::uint8_t> head;
    FileStamp stamp;        // of the open file
    std::uint64_t hash = 0; // of the whole content
    std::string problem;    // empty when read; else why it was not
};

// Opens `path` without following a link and without blocking, refuses
// anything but a regular file, and reads it.
CommandFileBytes readCommandFileBytes(const std::filesystem::path& path, std::size_t maxBytes);

} // namespace mirx::commandfiles
