#include "apps/ctl/ctl_log.h"

#include "apps/ctl/ctl_commands.h"
#include "core/message_ids.h"
#include "link/server_link.h"
#include "model/log_pull.h"
#include "model/mirror.h"

#include <chrono>
#include <deque>
#include <ostream>
#include <string>
#include <thread>

namespace mirx::ctl {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kActivity = "activity";
constexpr std::string_view kDebug = "debug";
// How long the stop request gets to leave before the connection ends.
constexpr std::chrono::milliseconds kStopSendWait{1000};

// The text held until the server has sent all it had, in log order.
class Backlog {
public:
    void add(std::string text, bool newer) {
        newer ? chunks_.push_back(std::move(text)) : chunks_.push_front(std::move(text));
    }
    void print(std::ostream& out) {
        for (const std::string& chunk : chunks_) {
            out << chunk;
        }
        chunks_.clear();
    }

private:
    std::deque<std::string> chunks_;
};

} // namespace

bool isServerLogName(std::string_view name) {
    return name == kActivity || name == kDebug;
}

int logCommand(CtlSession& s) {
    const bool debug = s.options.files.front() == kDebug;
    link::ServerLink& link = s.link;
    model::Mirror& mirror = s.mirror;
    model::ArrivalFlag& flag = debug ? mirror.flags().debugLog : mirror.flags().activityLog;
    const std::uint16_t requestId =
        debug ? msg::ADMIN_DEBUG_LOG_REQUEST : msg::ADMIN_ACTIVITY_LOG_REQUEST;
    const auto post = [&](model::LogRequest request) {
        const auto payload = model::encodeLogRequest(request);
        return link.requestQueue().PostCopy(requestId, 0, payload.data(), payload.size());
    };
    // The server stops its pull; then the connection ends.
    const auto finish = [&](int status) {
        post(model::LogRequest::Stop);
        // Ending the connection at once could drop the stop request still
        // queued; the connection thread sends what it takes before it looks
        // at the disconnect.
        const auto sendBy = Clock::now() + kStopSendWait;
        while (link.requestQueue().HasPending() && link.connected() && Clock::now() < sendBy) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        link.StopLink();
        s.streams.out.flush();
        return status;
    };

    model::LogPull pull;
    pull.reset();
    flag.take();
    Backlog backlog;
    bool printing = false;
    Clock::time_point pausedAt{};
    std::uint64_t seen = link.ChangeCount();
    for (;;) {
        if (s.stop.load()) {
            // Interrupting a follow is how it ends.
            return finish(s.options.follow && printing ? kExitOk : kExitInterrupted);
        }
        if (!link.connected()) {
            s.streams.err << "mirx-ctl: the connection to the server was lost\n";
            link.StopLink();
            s.streams.out.flush();
            return kExitConnectionLost;
        }
        if (pull.askTick()) {
            if (!post(model::LogRequest::NextChunk)) {
                pull.requestRefused();
            }
        } else if (pull.state() == model::LogPull::State::Waiting && flag.take()) {
            std::int64_t stamp = 0;
            std::size_t bytes = 0;
            std::string text;
            mirror.read([&](const model::MirrorData& mirrored) {
                const model::LogChunk& chunk =
                    debug ? mirrored.debugLogChunk : mirrored.activityLogChunk;
                stamp = chunk.timeStamp;
                bytes = chunk.textBytes;
                text = chunk.text;
            });
            const model::LogPull::Placement placement = pull.take(stamp, bytes);
            if (placement.show) {
                std::string shown = model::readableLogText(text);
                if (printing) {
                    // A terminal cannot insert above: text comes out as it arrives.
                    s.streams.out << shown << std::flush;
                } else {
                    backlog.add(std::move(shown), placement.newer);
                }
            }
            if (pull.state() == model::LogPull::State::Paused) {
                pausedAt = Clock::now();
                if (!printing) {
                    printing = true;
                    backlog.print(s.streams.out);
                    s.streams.out.flush();
                    if (!s.options.follow) {
                        return finish(kExitOk);
                    }
                }
            }
            if (!s.streams.out) {
                // The reader went away (a closed pipe): nothing more to do.
                return finish(kExitOk);
            }
        }
        if (pull.state() == model::LogPull::State::Paused &&
            Clock::now() - pausedAt >= std::chrono::milliseconds(model::LogPull::kPauseTickMs)) {
            pull.pauseTick();
            continue;
        }
        // Every answer wakes this, as does the connection's end.
        link.WaitForChange(seen, std::chrono::milliseconds(model::LogPull::kAskTickMs));
    }
}

} // namespace mirx::ctl
