#pragma once

#include "link/settings_store.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "site/site.h"

#include <cstdint>
#include <string>
#include <string_view>

// A simulated site served on 127.0.0.1 from a thread of this process, and a
// settings store pointing the console at it.
struct ServedSite {
    explicit ServedSite(mirx::site::Site served)
        : site(std::move(served))
        , protocol(site, {})
        , server(protocol) {
        // A writer that drops lines: the frame log is not what is measured.
        server.frameLog().setWriter([](std::string_view) {});
        server.listen("127.0.0.1", 0);
        server.runInBackground();
        store.set(mirx::link::kServerIPAddress.name, std::string("127.0.0.1"));
        store.set(mirx::link::kDataIpPort.name, std::uint32_t{server.port()});
    }

    mirx::site::Site site;
    mirx::sim::SiteProtocol protocol;
    mirx::sim::SimServer server;
    mirx::link::MemorySettingsStore store;
};
