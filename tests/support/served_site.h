#pragma once

#include "link/settings_store.h"
#include "sim/fault_switches.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "site/site.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A simulated site served on 127.0.0.1 from a thread of this process, with
// the frames the simulator received and sent kept for tests to look at.

namespace mirx::test {

class ServedSite {
public:
    // Makes the protocol the server speaks; the site protocol by default.
    using ProtocolFactory = std::function<std::unique_ptr<sim::SimProtocol>(site::Site&)>;

    // Serves nothing until start(); the demo site by default.
    ServedSite();
    explicit ServedSite(site::Site site);
    ~ServedSite();
    ServedSite(const ServedSite&) = delete;
    ServedSite& operator=(const ServedSite&) = delete;

    // Serves `site` (adjust it first); port 0 picks a free one, a given port
    // brings a stopped server back where it was. Throws when it cannot
    // listen.
    void start(sim::FaultSwitches faults = {}, std::uint16_t port = 0,
               sim::ProtocolOptions options = {});
    void start(const ProtocolFactory& makeProtocol, sim::FaultSwitches faults = {},
               std::uint16_t port = 0);
    void stop();
    bool running() const { return server_ != nullptr; }
    std::uint16_t port() const { return port_; }

    // Points a console's settings at the server, logging in as admin/admin.
    void pointAt(link::MemorySettingsStore& store) const;

    // Frame log lines naming `text`, e.g. a message name the server received.
    std::size_t frameLogCount(const std::string& text) const;
    std::vector<std::string> frameLog() const;
    // Frames the simulator received with that message name.
    std::size_t received(const std::string& messageName) const;
    // Write no lines instead of keeping them (large sites, benchmarks);
    // takes effect at the next start().
    void setKeepFrameLog(bool keep) { keepFrameLog_ = keep; }

    sim::SimServer& server() { return *server_; }
    sim::SimProtocol& protocol() { return *protocol_; }

    site::Site site;

private:
    std::unique_ptr<sim::SimProtocol> protocol_;
    std::unique_ptr<sim::SimServer> server_;
    std::uint16_t port_ = 0;
    bool keepFrameLog_ = true;
    mutable std::mutex logLock_;
    std::vector<std::string> frameLog_;
};

} // namespace mirx::test
