#include "core/debug_log.h"

#include "core/clock.h"
#include "core/state_folder.h"
#include "core/utf16.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace mirx::log {
namespace {

class StandardErrorSink final : public LineSink {
public:
    void write(std::string_view line) override {
        // One write per message keeps lines of two threads from interleaving.
        const ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
        (void)ignored;
    }
};

StandardErrorSink g_standardError;
std::atomic<LineSink*> g_debugger{nullptr};
std::atomic<StandardErrorLines> g_standardErrorLines{StandardErrorLines::All};

// The file channel. The lock only guards open/close against concurrent
// writers; each line still goes out in a single write().
struct FileChannel {
    std::mutex lock;
    int fd = -1;
    std::filesystem::path path;
};

FileChannel& fileChannel() {
    static FileChannel channel;
    return channel;
}

MIRX_PRINTF(1, 0) std::string vformat(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[512];
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) {
        return {};
    }
    if (static_cast<std::size_t>(needed) < sizeof small) {
        return std::string(small, static_cast<std::size_t>(needed));
    }
    std::string text(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<std::size_t>(needed));
    return text;
}

void writeFileLine(std::string_view text) {
    FileChannel& channel = fileChannel();
    std::lock_guard lock(channel.lock);
    if (channel.fd < 0) {
        return;
    }
    const LocalTime t = clock().localTime();
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d %02d:%02d:%02d.%03d - ", t.month, t.day,
                  t.year, t.hour, t.minute, t.second, t.millisecond);
    std::string line = stamp;
    line.append(text);
    line.append("\r\n");
    const std::string_view kept = text::prefixWithinUtf16Units(line, kFileLineCapacity);
    std::string bytes;
    bytes.reserve(kept.size() * 2);
    text::appendUtf16le(bytes, kept);
    const ssize_t ignored = ::write(channel.fd, bytes.data(), bytes.size());
    (void)ignored; // a failed log write is not worth failing for
}

void emit(std::string text, bool errorLevel) {
    const std::string_view kept = text::prefixWithinUtf16Units(text, kMessageCapacity - 1);
    text.resize(kept.size());
    writeFileLine(text);
    // The buffer has room for the line feed only when the text did not fill it.
    if (text::utf16Length(text) < kMessageCapacity - 1) {
        text += '\n';
    }
    LineSink* sink = g_debugger.load(std::memory_order_acquire);
    if (sink != nullptr) {
        sink->write(text);
        return;
    }
    if (errorLevel ||
        g_standardErrorLines.load(std::memory_order_relaxed) == StandardErrorLines::All ||
        readsAsWarningOrError(text)) {
        g_standardError.write(text);
    }
}

MIRX_PRINTF(4, 0)
void emitFiltered(const DebugFilterTable& table, Level level, std::uint32_t category,
                  const char* format, va_list args) {
    if (!table.passes(level, category)) {
        return;
    }
    emit(vformat(format, args), level == Level::Error);
}

} // namespace

DecodedFilter decodeFilter(std::uint32_t word) {
    return DecodedFilter{(word >> 29) & 0x3, (word >> 26) & 0x7, (word >> 16) & 0x3FF,
                         (word >> 10) & 0x3F, word & 0x3FF};
}

std::uint32_t encodeFilter(const DecodedFilter& filter) {
    return 0x80000000U | (filter.level & 0x3) << 29 | (filter.cls & 0x7) << 26 |
           (filter.group & 0x3FF) << 16 | (filter.subgroup & 0x3F) << 10 | (filter.item & 0x3FF);
}

DebugFilterTable::DebugFilterTable() {
    const std::uint32_t initial = kDefaultWord;
    set(1, &initial);
}

void DebugFilterTable::set(std::uint32_t count, const std::uint32_t* words) {
    if (count > kCapacity) {
        print("WARNING: Debug filter table holds %zu filters ... %u received, the rest ignored",
              kCapacity, count);
        count = static_cast<std::uint32_t>(kCapacity);
    }
    std::lock_guard lock(lock_);
    count_ = count;
    for (std::uint32_t i = 0; i < count; ++i) {
        raw_[i] = words[i];
        decoded_[i] = decodeFilter(words[i]);
    }
}

bool DebugFilterTable::passes(Level level, std::uint32_t category) const {
    const DecodedFilter message = decodeFilter(category);
    const auto wanted = static_cast<std::uint32_t>(level);
    std::lock_guard lock(lock_);
    for (std::uint32_t i = 0; i < count_; ++i) {
        const DecodedFilter& f = decoded_[i];
        if ((f.level == 3 || f.level >= wanted) && (f.cls == 7 || f.cls == message.cls) &&
            (f.group == 1023 || f.group == message.group) &&
            (f.subgroup == 63 || f.subgroup == message.subgroup) &&
            (f.item == 1023 || f.item == message.item)) {
            return true;
        }
    }
    return false;
}

std::uint32_t DebugFilterTable::count() const {
    std::lock_guard lock(lock_);
    return count_;
}

std::uint32_t DebugFilterTable::rawWord(std::size_t index) const {
    std::lock_guard lock(lock_);
    return index < count_ ? raw_[index] : 0;
}

DebugFilterTable& debugFilters() {
    static DebugFilterTable table;
    return table;
}

void setFilters(std::uint32_t count, const std::uint32_t* words) {
    debugFilters().set(count, words);
}

void print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    emit(std::move(text), false);
}

void printError(const DebugFilterTable& table, std::uint32_t category, const char* format, ...) {
    va_list args;
    va_start(args, format);
    emitFiltered(table, Level::Error, category, format, args);
    va_end(args);
}

void printInfo(const DebugFilterTable& table, std::uint32_t category, const char* format, ...) {
    va_list args;
    va_start(args, format);
    emitFiltered(table, Level::Information, category, format, args);
    va_end(args);
}

void printDetail(const DebugFilterTable& table, std::uint32_t category, const char* format, ...) {
    va_list args;
    va_start(args, format);
    emitFiltered(table, Level::Detail, category, format, args);
    va_end(args);
}

void setDebuggerSink(LineSink* sink) {
    g_debugger.store(sink, std::memory_order_release);
}

void setStandardErrorLines(StandardErrorLines lines) {
    g_standardErrorLines.store(lines, std::memory_order_relaxed);
}

bool readsAsWarningOrError(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    for (const char* word : {"error", "warning", "fail"}) {
        if (lower.find(word) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::filesystem::path logFileName(const std::filesystem::path& folder, int year, int month, int day,
                                  int hour, int minute, int copy) {
    char name[80];
    if (copy > 1) {
        std::snprintf(name, sizeof name, "%s_%02d-%02d-%02d_%02d-%02d_%d.txt", "Debug_Log", year,
                      month, day, hour, minute, copy);
    } else {
        std::snprintf(name, sizeof name, "%s_%02d-%02d-%02d_%02d-%02d.txt", "Debug_Log", year,
                      month, day, hour, minute);
    }
    return folder / name;
}

std::optional<std::filesystem::path> logFolder(const std::filesystem::path& programDirectory) {
    if (::access(programDirectory.c_str(), W_OK | X_OK) == 0) {
        return programDirectory;
    }
    std::optional<std::filesystem::path> state = userStateFolder();
    if (!state) {
        print("ERROR:  Unable to create Activity Log file: %s is not writable and %s",
              programDirectory.c_str(), kNoStateFolderText);
        return std::nullopt;
    }
    if (const std::error_code error = makeStateFolder(*state)) {
        print("ERROR:  Unable to create Activity Log file: %s (0x%x)", state->c_str(),
              static_cast<unsigned>(error.value()));
        return std::nullopt;
    }
    return state;
}

bool openLogFile(const std::filesystem::path& folder) {
    const LocalTime t = clock().localTime();
    std::filesystem::path path;
    int fd = -1;
    for (int copy = 1; copy <= kMaxLogFileNames; ++copy) {
        path = logFileName(folder, t.year, t.month, t.day, t.hour, t.minute, copy);
        // Exclusive: an existing file, or a link planted under this name,
        // is never written through.
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        print("ERROR:  Unable to create Activity Log file: %s (0x%x)", path.c_str(),
              static_cast<unsigned>(errno));
        return false;
    }
    const unsigned char bom[2] = {0xFF, 0xFE};
    if (::write(fd, bom, sizeof bom) != static_cast<ssize_t>(sizeof bom)) {
        print("ERROR:  Unable to create Activity Log file: %s (0x%x)", path.c_str(),
              static_cast<unsigned>(errno));
        ::close(fd);
        return false;
    }
    FileChannel& channel = fileChannel();
    std::lock_guard lock(channel.lock);
    if (channel.fd >= 0) {
        ::close(channel.fd);
    }
    channel.fd = fd;
    channel.path = path;
    return true;
}

void closeLogFile() {
    FileChannel& channel = fileChannel();
    std::lock_guard lock(channel.lock);
    if (channel.fd >= 0) {
        ::close(channel.fd);
    }
    channel.fd = -1;
    channel.path.clear();
}

std::filesystem::path logFilePath() {
    FileChannel& channel = fileChannel();
    std::lock_guard lock(channel.lock);
    return channel.path;
}

} // namespace mirx::log
