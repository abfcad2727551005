#include "commandfiles/ran_files.h"

#include "core/debug_log.h"
#include "core/state_folder.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace mirx::commandfiles {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVersion = "1";

// Tabs, line feeds and backslashes in names would break the line format.
std::string escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

// The whole field as a number, nothing before or after it.
template <typename T>
bool parseWhole(std::string_view text, T& value, int base = 10) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos) {
            return parts;
        }
        start = tab + 1;
    }
}

// Lines that do not read are skipped: a damaged line forgets one file, not all.
std::set<RanFile> parse(const std::string& text) {
    std::set<RanFile> files;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto parts = fields(line);
        if (parts.size() != 6 || parts[0] != kVersion) {
            continue;
        }
        RanFile file;
        const auto folder = unescape(parts[4]);
        const auto name = unescape(parts[5]);
        if (!folder || !name || !parseWhole(parts[1], file.hash, 16) ||
            !parseWhole(parts[2], file.size) || !parseWhole(parts[3], file.modifiedNs)) {
            continue;
        }
        file.folder = *folder;
        file.name = *name;
        files.insert(std::move(file));
    }
    return files;
}

std::string format(const std::set<RanFile>& files) {
    std::string text;
    for (const RanFile& f : files) {
        char numbers[96];
        std::snprintf(numbers, sizeof numbers, "%016" PRIx64 "\t%" PRId64 "\t%" PRId64, f.hash,
                      f.size, f.modifiedNs);
        text += std::string(kVersion) + "\t" + numbers + "\t" + escape(f.folder) + "\t" +
                escape(f.name) + "\n";
    }
    return text;
}

std::optional<std::string> readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

std::set<RanFile> load(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    const auto text = readAll(fd);
    ::close(fd);
    return text ? parse(*text) : std::set<RanFile>{};
}

// Held while one runner reads, changes and replaces the file, so two
// runners of other folders do not lose each other's lines.
class UpdateLock {
public:
    explicit UpdateLock(const fs::path& file) {
        const fs::path path = file.string() + ".lock";
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        error_ = fd_ < 0 ? errno : 0;
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            error_ = errno;
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~UpdateLock() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;
    bool held() const { return fd_ >= 0; }
    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

} // namespace

std::string ranFilesFolderKey(const fs::path& folder) {
    std::error_code error;
    const fs::path absolute = fs::weakly_canonical(fs::absolute(folder, error), error);
    return (error ? folder : absolute).string();
}

RanFiles::RanFiles(std::optional<fs::path> file, std::string whyMemoryOnly)
    : file_(std::move(file))
    , whyMemoryOnly_(std::move(whyMemoryOnly)) {
    reload();
}

RanFiles RanFiles::forCurrentUser() {
    const std::optional<fs::path> folder = userStateFolder();
    if (!folder) {
        log::print("CCommandFiles: WARNING: %s; command files that ran but could not be deleted "
                   "are remembered in memory only, for this run",
                   kNoStateFolderText);
        return RanFiles(std::nullopt, kNoStateFolderText);
    }
    return RanFiles(*folder / kFileName);
}

void RanFiles::reload() {
    if (file_) {
        std::set<RanFile> loaded = load(*file_);
        // What could only be kept in memory stays remembered.
        loaded.insert(files_.begin(), files_.end());
        files_ = std::move(loaded);
    }
}

bool RanFiles::contains(const RanFile& file) const {
    return files_.contains(file);
}

bool RanFiles::remember(const RanFile& file) {
    files_.insert(file);
    return save({file}, {}, {});
}

void RanFiles::forgetMissing(const std::string& folder, const std::vector<std::string>& names) {
    const auto gone = [&](const RanFile& f) {
        return f.folder == folder && !std::binary_search(names.begin(), names.end(), f.name);
    };
    if (std::none_of(files_.begin(), files_.end(), gone)) {
        return;
    }
    std::erase_if(files_, gone);
    save({}, folder, names);
}

bool RanFiles::save(const std::set<RanFile>& add, const std::string& dropFolder,
                    const std::vector<std::string>& keepNames) {
    if (!file_) {
        return false;
    }
    const fs::path folder = file_->parent_path();
    const std::error_code made = makeStateFolder(folder);
    const UpdateLock lock(*file_);
    const fs::path temporary = file_->string() + ".new";
    bool saved = false;
    int error = made ? made.value() : 0;
    if (!made && !lock.held()) {
        error = lock.error();
    }
    if (!made && lock.held()) {
        std::set<RanFile> merged = load(*file_);
        std::erase_if(merged, [&](const RanFile& f) {
            return !dropFolder.empty() && f.folder == dropFolder &&
                   !std::binary_search(keepNames.begin(), keepNames.end(), f.name);
        });
        merged.insert(add.begin(), add.end());
        const int fd =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = errno;
        } else {
            saved = writeAll(fd, format(merged)) && ::fsync(fd) == 0;
            error = saved ? 0 : errno;
            ::close(fd);
            if (saved && ::rename(temporary.c_str(), file_->c_str()) != 0) {
                saved = false;
                error = errno;
            }
            if (!saved) {
                ::unlink(temporary.c_str());
            }
        }
        if (saved) {
            merged.insert(files_.begin(), files_.end());
            files_ = std::move(merged);
        }
    }
    saveError_ =
        saved ? std::string() : "cannot write " + file_->string() + ": " + std::strerror(error);
    if (!saved) {
        log::print("CCommandFiles: WARNING: cannot write %s (%s); remembered in memory only, for "
                   "this run",
                   file_->c_str(), std::strerror(error));
    }
    return saved;
}

std::string RanFiles::where() const {
    if (!file_) {
        return "in memory only (" + whyMemoryOnly_ + ")";
    }
    if (!saveError_.empty()) {
        return "in memory only (" + saveError_ + ")";
    }
    return "in " + file_->string();
}

} // namespace mirx::commandfiles
