#pragma once

#include "link/password_cipher.h"
#include "sim/sim_server.h"
#include "site/site.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

// The server's side of the conversation: identification and update offer,
// login, configuration download, and every request against the site.

namespace mirx::sim {

struct ProtocolOptions {
    // Shared key base for logins whose password field is encrypted; when
    // set, every login is read as a domain login.
    std::optional<link::KeyBase> domainKey;
    // Called after every change a console made to the site (for --state).
    std::function<void(const site::Site&)> onSiteChanged;
    // Where uploaded sound and graphic files are written; empty = their names
    // are listed but their bytes are not kept.
    std::filesystem::path uploadFolder;
    // How often the server writes a line of its own to its debug log while a
    // console is connected; 0 = never.
    std::uint32_t debugLineIntervalMs = 5000;
};

class SiteProtocol final : public SimProtocol {
public:
    SiteProtocol(site::Site& site, ProtocolOptions options);
    ~SiteProtocol() override;

    void onConnect(SimConnection& connection) override;
    void onFrame(SimConnection& connection, const wire::FrameView& frame) override;
    void onTick(SimConnection& connection) override;
    void onDisconnect() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace mirx::sim
