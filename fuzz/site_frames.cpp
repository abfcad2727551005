#include "fuzz/site_frames.h"

#include "core/message_ids.h"
#include "link/password_cipher.h"
#include "sim/protocol.h"

#include <algorithm>
#include <string>

namespace mirx::fuzz {
namespace {

class Recorder final : public sim::SimConnection {
public:
    explicit Recorder(const sim::FaultSwitches& faults)
        : faults_(faults) {}
    void send(std::uint16_t id, std::uint16_t second,
              std::span<const std::uint8_t> payload) override {
        frames.push_back({id, second, {payload.begin(), payload.end()}});
    }
    void close() override {}
    const std::string& peerText() const override { return peer_; }
    std::uint16_t peerPort() const override { return 40000; }
    const sim::FaultSwitches& faults() const override { return faults_; }

    std::vector<SiteFrame> frames;

private:
    const sim::FaultSwitches& faults_;
    std::string peer_ = "127.0.0.1:40000";
};

} // namespace

std::vector<SiteFrame> siteAnswers(const site::Site& site, const std::vector<Request>& requests,
                                   const sim::FaultSwitches& faults) {
    site::Site copy = site;
    sim::ProtocolOptions options;
    options.debugLineIntervalMs = 0;
    sim::SiteProtocol protocol(copy, options);
    Recorder connection(faults);
    protocol.onConnect(connection);
    for (const Request& r : requests) {
        protocol.onFrame(connection, wire::FrameView{r.id, r.second, r.payload});
    }
    protocol.onDisconnect();
    return std::move(connection.frames);
}

std::vector<SiteFrame> siteDownload(const site::Site& site) {
    const auto login = link::buildLoginRequest("admin", "admin", std::nullopt, 1700000000);
    return siteAnswers(site,
                       {{msg::ADMIN_LOGIN_REQUEST, 0, {login.bytes.begin(), login.bytes.end()}}});
}

void appendRecord(std::vector<std::uint8_t>& out, std::uint16_t id, std::uint16_t second,
                  const std::vector<std::uint8_t>& payload) {
    const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(payload.size(), 0xFFFF));
    for (const std::uint16_t v : {id, second, length}) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    out.insert(out.end(), payload.begin(), payload.begin() + length);
}

} // namespace mirx::fuzz
