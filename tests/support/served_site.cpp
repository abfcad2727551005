#include "tests/support/served_site.h"

#include "model/system_settings.h"
#include "sim/demo_site.h"

#include <algorithm>
#include <stdexcept>

namespace mirx::test {

ServedSite::ServedSite()
    : ServedSite(sim::demoSite()) {}

ServedSite::ServedSite(site::Site served)
    : site(std::move(served)) {}

ServedSite::~ServedSite() {
    stop();
}

void ServedSite::start(sim::FaultSwitches faults, std::uint16_t port,
                       sim::ProtocolOptions options) {
    start(
        [&options](site::Site& served) {
            return std::make_unique<sim::SiteProtocol>(served, std::move(options));
        },
        std::move(faults), port);
}

void ServedSite::start(const ProtocolFactory& makeProtocol, sim::FaultSwitches faults,
                       std::uint16_t port) {
    stop();
    protocol_ = makeProtocol(site);
    server_ = std::make_unique<sim::SimServer>(*protocol_, std::move(faults));
    if (keepFrameLog_) {
        server_->frameLog().setWriter([this](std::string_view line) {
            std::lock_guard lock(logLock_);
            frameLog_.emplace_back(line);
        });
    } else {
        // Not even formatted: a benchmark's simulator answers as it would
        // without a log.
        server_->frameLog().setWriter({});
    }
    if (!server_->listen("127.0.0.1", port)) {
        server_.reset();
        protocol_.reset();
        throw std::runtime_error("the simulator cannot listen on 127.0.0.1");
    }
    port_ = server_->port();
    site.systemSettings.set(model::SystemSettings::kClientDataPort, port_);
    server_->runInBackground();
}

void ServedSite::stop() {
    if (server_) {
        server_->stop();
    }
    server_.reset();
    protocol_.reset();
}

void ServedSite::pointAt(link::MemorySettingsStore& store) const {
    store.set(link::kServerIPAddress.name, std::string("127.0.0.1"));
    store.set(link::kDataIpPort.name, std::uint32_t{port_});
    store.set(link::kUserName.name, std::string("admin"));
    store.set(link::kPassword.name, std::string("admin"));
}

std::size_t ServedSite::frameLogCount(const std::string& text) const {
    std::lock_guard lock(logLock_);
    return static_cast<std::size_t>(
        std::count_if(frameLog_.begin(), frameLog_.end(), [&text](const std::string& line) {
            return line.find(text) != std::string::npos;
        }));
}

std::size_t ServedSite::received(const std::string& messageName) const {
    const std::string named = " " + messageName + " (";
    std::lock_guard lock(logLock_);
    return static_cast<std::size_t>(
        std::count_if(frameLog_.begin(), frameLog_.end(), [&named](const std::string& line) {
            return line.starts_with("sim <-") && line.find(named) != std::string::npos;
        }));
}

std::vector<std::string> ServedSite::frameLog() const {
    std::lock_guard lock(logLock_);
    return frameLog_;
}

} // namespace mirx::test
