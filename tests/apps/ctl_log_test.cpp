// mirx-ctl log against the simulator: the whole log in order, following it
// as it grows, and hostile chunks.
#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "core/message_ids.h"
#include "model/log_pull.h"
#include "model/log_records.h"
#include "sim/demo_site.h"
#include "sim/log_text.h"
#include "tests/support/scripted_server.h"
#include "tests/support/served_site.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <thread>

namespace mirx::ctl {
namespace {

using namespace std::chrono_literals;

// Output another thread may read while the command writes it.
class SharedBuffer final : public std::streambuf {
public:
    std::string text() const {
        std::lock_guard lock(lock_);
        return text_;
    }

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            std::lock_guard lock(lock_);
            text_ += static_cast<char>(c);
        }
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard lock(lock_);
        text_.append(s, static_cast<std::size_t>(n));
        return n;
    }

private:
    mutable std::mutex lock_;
    std::string text_;
};

std::size_t lineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Lines the simulated server wrote with these texts, oldest first.
void addLines(std::vector<site::LogLine>& lines, const char* prefix, int count) {
    const std::int64_t start = 1'700'000'000;
    for (int i = 0; i < count; ++i) {
        lines.push_back({start + i, std::string(prefix) + " line " + std::to_string(i)});
    }
}

class CtlLog : public ::testing::Test {
protected:
    int run(std::vector<std::string> args, std::ostream& out, std::uint16_t port) {
        std::vector<std::string> all{"--server", "127.0.0.1:" + std::to_string(port), "--user",
                                     "admin", "--password-stdin"};
        all.insert(all.end(), args.begin(), args.end());
        CtlOptions options;
        EXPECT_EQ(parseCtlOptions(all, options), "");
        std::istringstream in("admin\n");
        return runCtl(options, store_, {out, err_, in}, stop_);
    }

    link::MemorySettingsStore store_;
    std::ostringstream err_;
    std::atomic<bool> stop_{false};
};

TEST_F(CtlLog, PrintsTheWholeLogOldestLineFirst) {
    struct Case {
        const char* log;
        std::vector<site::LogLine> site::Site::*lines;
        const char* request;
        const char* answer;
    };
    const Case cases[] = {
        {"debug", &site::Site::debugLog, "ADMIN_DEBUG_LOG_REQUEST", "ADMIN_DEBUG_LOG_RESPONSE"},
        {"activity", &site::Site::activityLog, "ADMIN_ACTIVITY_LOG_REQUEST",
         "ADMIN_ACTIVITY_LOG_RESPONSE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        test::ServedSite served;
        // Several chunks going back in time.
        addLines(served.site.*c.lines, c.log, 130);
        sim::ProtocolOptions quiet;
        quiet.debugLineIntervalMs = 0;
        served.start({}, 0, quiet);
        std::ostringstream out;
        EXPECT_EQ(run({"log", c.log}, out, served.port()), kExitOk) << err_.str();
        served.stop();
        const auto& lines = served.site.*c.lines;
        EXPECT_EQ(out.str(), sim::logLinesText(lines, 0, lines.size()));
        // Asked until an empty answer, then told to stop: one request more
        // than answers.
        std::size_t asked = 0;
        std::size_t answered = 0;
        for (const std::string& line : served.frameLog()) {
            asked += line.starts_with("sim <-") && line.find(c.request) != std::string::npos;
            answered += line.starts_with("sim ->") && line.find(c.answer) != std::string::npos;
        }
        EXPECT_GE(answered, 5u);
        EXPECT_EQ(asked, answered + 1);
    }
}

TEST_F(CtlLog, FollowPrintsNewLinesUntilStopped) {
    test::ServedSite served;
    sim::ProtocolOptions often;
    often.debugLineIntervalMs = 150;
    served.start({}, 0, often);
    const std::size_t before = served.site.debugLog.size();

    SharedBuffer buffer;
    std::ostream out(&buffer);
    int status = -1;
    std::thread follower([&] { status = run({"log", "debug", "--follow"}, out, served.port()); });
    // Lines the server writes while the command runs come out.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (lineCount(buffer.text()) < before + 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    stop_.store(true);
    follower.join();
    EXPECT_EQ(status, kExitOk) << err_.str();
    served.stop();

    const std::string text = buffer.text();
    const std::size_t printed = lineCount(text);
    EXPECT_GE(printed, before + 3);
    const auto& lines = served.site.debugLog;
    ASSERT_LE(printed, lines.size());
    EXPECT_EQ(text, sim::logLinesText(lines, 0, printed));
}

TEST_F(CtlLog, HostileChunksAreShownAsFarAsSound) {
    const auto chunk = [](std::int64_t stamp, std::vector<std::uint8_t> text) {
        std::vector<std::uint8_t> payload = model::encodeLogChunk(stamp, {});
        payload.insert(payload.end(), text.begin(), text.end());
        return test::ScriptedFrame{msg::ADMIN_DEBUG_LOG_RESPONSE, 0, std::move(payload)};
    };
    test::Script script;
    script.answersQueued[msg::ADMIN_DEBUG_LOG_REQUEST] = {
        // Newest first: a lone high surrogate, a line end, and half a
        // character at the end of the payload.
        {chunk(2000, {'n', 0, 'e', 0, 'w', 0, 0x3D, 0xD8, '!', 0, '\n', 0, 'x'})},
        // Older: a lone low surrogate and an escape sequence.
        {chunk(1000, {'o', 0, 'l', 0, 'd', 0, 0x00, 0xDE, 0x1B, 0, '[', 0, '\n', 0})},
        // Cut short before its time stamp: read as "nothing new", so the
        // pull goes on instead of waiting for ever.
        {{test::ScriptedFrame{msg::ADMIN_DEBUG_LOG_RESPONSE, 0, {1, 2, 3}}}},
    };
    auto site = sim::demoSite();
    site.debugLog.clear();
    test::ScriptedServer server(std::move(site), std::move(script));
    ASSERT_TRUE(server.start());
    std::ostringstream out;
    EXPECT_EQ(run({"log", "debug"}, out, server.port()), kExitOk) << err_.str();
    EXPECT_EQ(out.str(), "old\xEF\xBF\xBD\\x1b[\nnew\xEF\xBF\xBD!\n");
}

} // namespace
} // namespace mirx::ctl
