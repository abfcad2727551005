#include "tests/shell/shell_fixture.h"

#include "model/system_settings.h"
#include "sim/demo_site.h"

#include <algorithm>

namespace mirx::test {

ShellFixture::ShellFixture()
    : site(sim::demoSite()) {
    link::LinkServices services;
    services.settings = &store;
    services.model = &dispatch;
    services.domainAccount = [this] {
        return domainAccount;
    };
    // The simulator answers in milliseconds; a test that withholds an answer
    // need not wait the full time-out.
    services.answerTimeoutMs = 2000;
    link_ = std::make_unique<link::ServerLink>(services);
    context_ = std::make_unique<shell::ShellContext>(
        shell::ShellContext{store, *link_, mirror, prompter, {}, false, {}, {}, nullptr, nullptr});
    store.set(link::kServerIPAddress.name, std::string("127.0.0.1"));
    store.set(link::kUserName.name, std::string("admin"));
    store.set(link::kPassword.name, std::string("admin"));
}

ShellFixture::~ShellFixture() {
    link_->StopLink();
    link_->AbandonConnect();
    link_.reset();
    stopServer();
}

void ShellFixture::startServer(sim::FaultSwitches faults, std::uint16_t port,
                               sim::ProtocolOptions options) {
    protocol_ = std::make_unique<sim::SiteProtocol>(site, std::move(options));
    server_ = std::make_unique<sim::SimServer>(*protocol_, faults);
    server_->frameLog().setWriter([this](std::string_view line) {
        std::lock_guard lock(logLock_);
        frameLog_.emplace_back(line);
    });
    if (!server_->listen("127.0.0.1", port)) {
        throw std::runtime_error("the simulator cannot listen");
    }
    port_ = server_->port();
    site.systemSettings.set(model::SystemSettings::kClientDataPort, port_);
    store.set(link::kDataIpPort.name, std::uint32_t{port_});
    server_->runInBackground();
}

void ShellFixture::stopServer() {
    if (server_) {
        server_->stop();
    }
    server_.reset();
    protocol_.reset();
}

std::size_t ShellFixture::frameLogCount(const std::string& text) const {
    std::lock_guard lock(logLock_);
    return static_cast<std::size_t>(
        std::count_if(frameLog_.begin(), frameLog_.end(), [&text](const std::string& line) {
            return line.find(text) != std::string::npos;
        }));
}

} // namespace mirx::test
