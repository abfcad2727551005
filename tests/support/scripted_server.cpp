#include "tests/support/scripted_server.h"

#include "core/message_ids.h"

#include <algorithm>
#include <optional>
#include <string>

namespace mirx::test {

// Passes the site protocol's frames on and slips the scripted download tail
// in ahead of the login's completion.
class ScriptedServer::Protocol final : public sim::SimProtocol {
public:
    Protocol(site::Site& site, Script script)
        : site_(site, sim::ProtocolOptions{})
        , script_(std::move(script))
        , queued_(script_.answersQueued) {}

    void onConnect(sim::SimConnection& connection) override { site_.onConnect(relay(connection)); }
    void onFrame(sim::SimConnection& connection, const wire::FrameView& frame) override {
        {
            std::lock_guard lock(lock_);
            received_.push_back(frame.messageId);
        }
        if (const auto turn = nextQueued(frame.messageId)) {
            for (const ScriptedFrame& f : *turn) {
                connection.send(f.id, f.second, f.payload);
            }
            return;
        }
        const auto scripted = script_.answers.find(frame.messageId);
        if (scripted != script_.answers.end()) {
            for (const ScriptedFrame& f : scripted->second) {
                connection.send(f.id, f.second, f.payload);
            }
            return;
        }
        const auto inTurn = script_.answersInTurn.find(frame.messageId);
        if (inTurn != script_.answersInTurn.end() && !inTurn->second.empty()) {
            std::size_t& next = turns_[frame.messageId];
            const ScriptedFrame& f = inTurn->second[std::min(next, inTurn->second.size() - 1)];
            ++next;
            connection.send(f.id, f.second, f.payload);
            return;
        }
        site_.onFrame(relay(connection), frame);
    }
    void onTick(sim::SimConnection& connection) override { site_.onTick(relay(connection)); }
    void onDisconnect() override { site_.onDisconnect(); }

    std::optional<std::vector<ScriptedFrame>> nextQueued(std::uint16_t id) {
        std::lock_guard lock(lock_);
        const auto found = queued_.find(id);
        if (found == queued_.end() || found->second.empty()) {
            return std::nullopt;
        }
        auto frames = std::move(found->second.front());
        found->second.pop_front();
        return frames;
    }

    std::vector<std::uint16_t> received() const {
        std::lock_guard lock(lock_);
        return received_;
    }

private:
    class Relay final : public sim::SimConnection {
    public:
        explicit Relay(const Script& script)
            : script_(script) {}
        void send(std::uint16_t id, std::uint16_t second,
                  std::span<const std::uint8_t> payload) override {
            if (id == msg::ADMIN_LOGIN_COMPLETE) {
                for (const ScriptedFrame& f : script_.afterDownload) {
                    real->send(f.id, f.second, f.payload);
                }
            }
            real->send(id, second, payload);
        }
        void close() override { real->close(); }
        const std::string& peerText() const override { return real->peerText(); }
        std::uint16_t peerPort() const override { return real->peerPort(); }
        const sim::FaultSwitches& faults() const override { return real->faults(); }

        sim::SimConnection* real = nullptr;

    private:
        const Script& script_;
    };

    sim::SimConnection& relay(sim::SimConnection& connection) {
        relay_.real = &connection;
        return relay_;
    }

    sim::SiteProtocol site_;
    const Script script_;
    std::map<std::uint16_t, std::deque<std::vector<ScriptedFrame>>> queued_;
    Relay relay_{script_};
    mutable std::mutex lock_;
    std::vector<std::uint16_t> received_;
    // Answers in turn given so far, by request (the loop thread's own).
    std::map<std::uint16_t, std::size_t> turns_;
};

ScriptedServer::ScriptedServer(site::Site site, Script script)
    : site_(std::move(site))
    , protocol_(std::make_unique<Protocol>(site_, std::move(script))) {}

ScriptedServer::~ScriptedServer() {
    stop();
}

bool ScriptedServer::start() {
    server_ = std::make_unique<sim::SimServer>(*protocol_);
    server_->frameLog().setWriter([](std::string_view) {});
    if (!server_->listen("127.0.0.1", 0)) {
        return false;
    }
    server_->runInBackground();
    return true;
}

void ScriptedServer::stop() {
    if (server_) {
        server_->stop();
    }
}

std::uint16_t ScriptedServer::port() const {
    return server_ ? server_->port() : 0;
}

std::vector<std::uint16_t> ScriptedServer::received() const {
    return protocol_->received();
}

bool ScriptedServer::receivedAny(std::uint16_t id) const {
    const auto ids = received();
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

} // namespace mirx::test
