#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

// The command files that ran but could not be deleted, so that no runner
// runs them again: one line per file (folder, name, size, last-write time
// and content hash) in the user's state folder, shared by every runner of
// this user. A file rewritten since it ran differs in one of these and is
// a new file.

namespace mirx::commandfiles {

struct RanFile {
    std::string folder; // absolute
    std::string name;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t hash = 0;
    auto key() const { return std::tie(folder, name, size, modifiedNs, hash); }
    friend bool operator<(const RanFile& a, const RanFile& b) { return a.key() < b.key(); }
    friend bool operator==(const RanFile& a, const RanFile& b) { return a.key() == b.key(); }
};

class RanFiles {
public:
    static constexpr const char* kFileName = "ran-command-files";

    // Kept in memory only, without a word (tests, checks).
    RanFiles() = default;
    // Kept in `file` (loaded now), or in memory only when that is unset;
    // `whyMemoryOnly` says why, for the messages.
    RanFiles(std::optional<std::filesystem::path> file, std::string whyMemoryOnly = {});
    // In the user's state folder; memory only, with a warning in the debug
    // log, when the user has none.
    static RanFiles forCurrentUser();

    bool contains(const RanFile& file) const;
    // Remembers `file`; false (with a warning) when it could be kept in
    // memory only.
    bool remember(const RanFile& file);
    // Forgets the files of `folder` whose names are not in `names` (sorted):
    // they were deleted after all.
    void forgetMissing(const std::string& folder, const std::vector<std::string>& names);
    // Reads the file again: another runner may have added to it.
    void reload();

    // "in FILE", or "in memory only (why)".
    std::string where() const;
    const std::optional<std::filesystem::path>& file() const { return file_; }

private:
    bool save(const std::set<RanFile>& add, const std::string& dropFolder,
              const std::vector<std::string>& keepNames);

    std::optional<std::filesystem::path> file_;
    std::string whyMemoryOnly_;
    // Why the last save failed; empty after a good one.
    std::string saveError_;
    std::set<RanFile> files_;
};

// The folder's absolute path as RanFile::folder holds it.
std::string ranFilesFolderKey(const std::filesystem::path& folder);

} // namespace mirx::commandfiles
