#pragma once

#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "site/site.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// A hostile server stand-in: the simulator serving a site, with scripted
// frames slipped into the conversation. Logging in, the download and every
// request the script does not name behave as the simulator does.

namespace mirx::test {

struct ScriptedFrame {
    std::uint16_t id = 0;
    std::uint16_t second = 0;
    std::vector<std::uint8_t> payload;
};

struct Script {
    // Sent at the end of the configuration download, just before the login
    // completes, so the console holds them before its first request.
    std::vector<ScriptedFrame> afterDownload = {};
    // Requests answered with these frames instead of the site's answer.
    std::map<std::uint16_t, std::vector<ScriptedFrame>> answers = {};
    // Requests answered with the next of these frames each time; the last
    // one repeats.
    std::map<std::uint16_t, std::vector<ScriptedFrame>> answersInTurn = {};
    // The next requests with the ID are answered one entry each, in turn;
    // once they are used up the site answers.
    std::map<std::uint16_t, std::deque<std::vector<ScriptedFrame>>> answersQueued = {};
};

class ScriptedServer {
public:
    ScriptedServer(site::Site site, Script script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    // Listens on 127.0.0.1 (a free port) and serves in the background.
    bool start();
    void stop();
    std::uint16_t port() const;

    // IDs of the frames the console sent, keep-alives left out, in order.
    std::vector<std::uint16_t> received() const;
    bool receivedAny(std::uint16_t id) const;

private:
    class Protocol;

    site::Site site_;
    std::unique_ptr<Protocol> protocol_;
    std::unique_ptr<sim::SimServer> server_;
};

} // namespace mirx::test
