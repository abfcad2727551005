#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace mirx::sim {

// The simulator's traffic log: one readable line per frame received or sent,
// plus one per connection event, e.g.
//   sim <- [127.0.0.1:40122] ADMIN_LOGIN_REQUEST (6000) second=0 len=108
//   sim -> [127.0.0.1:40122] KEEP_ALIVE (65535) second=5000 len=0
//   sim -- [127.0.0.1:40122] closed: console closed the connection
// Used by the simulator's loop thread only; configure it before the loop runs.
class FrameLog {
public:
    // Receives each line without its line feed.
    using Writer = std::function<void(std::string_view line)>;

    // Writes to standard error.
    FrameLog();
    // An empty writer discards every line.
    explicit FrameLog(Writer writer);
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // Replaces the file's contents and sends every later line there. False,
    // with the previous destination kept, when it cannot be created.
    bool openFile(const std::filesystem::path& path);
    void setWriter(Writer writer);
    // Keep-alives make most of the traffic of an idle link.
    void setShowKeepAlives(bool show) { showKeepAlives_ = show; }

    // `note`, when given, is appended in parentheses, e.g. "ignored".
    void received(std::string_view peer, std::uint16_t id, std::uint16_t second,
                  std::size_t payloadLength, std::string_view note = {});
    void sent(std::string_view peer, std::uint16_t id, std::uint16_t second,
              std::size_t payloadLength, std::string_view note = {});
    // An empty peer leaves out the brackets (events of the listener).
    void event(std::string_view peer, std::string_view text);

    static std::string formatFrame(std::string_view arrow, std::string_view peer, std::uint16_t id,
                                   std::uint16_t second, std::size_t payloadLength,
                                   std::string_view note);

private:
    void frame(std::string_view arrow, std::string_view peer, std::uint16_t id,
               std::uint16_t second, std::size_t payloadLength, std::string_view note);
    void closeFile();

    Writer writer_;
    int fd_ = -1;
    bool showKeepAlives_ = true;
};

} // namespace mirx::sim
