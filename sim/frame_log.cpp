#include "sim/frame_log.h"

#include "core/wire_frame.h"
#include "link/message_catalogue.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace mirx::sim {
namespace {

// One write per line, so lines of several programs sharing standard error or
// a file do not interleave.
void writeLine(int fd, std::string_view line) {
    std::string text(line);
    text += '\n';
    const ssize_t ignored = ::write(fd, text.data(), text.size());
    (void)ignored; // a lost log line is not worth failing for
}

} // namespace

FrameLog::FrameLog()
    : writer_([](std::string_view line) { writeLine(STDERR_FILENO, line); }) {}

FrameLog::FrameLog(Writer writer)
    : writer_(std::move(writer)) {}

FrameLog::~FrameLog() {
    closeFile();
}

bool FrameLog::openFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    closeFile();
    fd_ = fd;
    writer_ = [this](std::string_view line) {
        writeLine(fd_, line);
    };
    return true;
}

void FrameLog::setWriter(Writer writer) {
    closeFile();
    writer_ = std::move(writer);
}

void FrameLog::closeFile() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::string FrameLog::formatFrame(std::string_view arrow, std::string_view peer, std::uint16_t id,
                                  std::uint16_t second, std::size_t payloadLength,
                                  std::string_view note) {
    const std::string_view name = msg::messageName(id);
    char numbers[80];
    std::snprintf(numbers, sizeof numbers, " (%u) second=%u len=%zu", unsigned{id},
                  unsigned{second}, payloadLength);
    std::string line = "sim ";
    line.append(arrow).append(" [").append(peer).append("] ").append(name).append(numbers);
    if (!note.empty()) {
        line.append(" (").append(note).append(")");
    }
    return line;
}

void FrameLog::received(std::string_view peer, std::uint16_t id, std::uint16_t second,
                        std::size_t payloadLength, std::string_view note) {
    frame("<-", peer, id, second, payloadLength, note);
}

void FrameLog::sent(std::string_view peer, std::uint16_t id, std::uint16_t second,
                    std::size_t payloadLength, std::string_view note) {
    frame("->", peer, id, second, payloadLength, note);
}

void FrameLog::frame(std::string_view arrow, std::string_view peer, std::uint16_t id,
                     std::uint16_t second, std::size_t payloadLength, std::string_view note) {
    if (!writer_ || (id == wire::kKeepAliveId && !showKeepAlives_)) {
        return;
    }
    writer_(formatFrame(arrow, peer, id, second, payloadLength, note));
}

void FrameLog::event(std::string_view peer, std::string_view text) {
    if (!writer_) {
        return;
    }
    std::string line = "sim -- ";
    if (!peer.empty()) {
        line.append("[").append(peer).append("] ");
    }
    line.append(text);
    writer_(line);
}

} // namespace mirx::sim
