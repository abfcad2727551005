#pragma once

#include "sim/fault_switches.h"
#include "site/site.h"

#include <cstdint>
#include <vector>

// What the simulator says to a console, recorded without sockets: the seed
// material of the fuzz targets.

namespace mirx::fuzz {

struct SiteFrame {
    std::uint16_t id = 0;
    std::uint16_t second = 0;
    std::vector<std::uint8_t> payload;
};

struct Request {
    std::uint16_t id = 0;
    std::uint16_t second = 0;
    std::vector<std::uint8_t> payload = {};
};

// The frames a console receives for `requests`, sent in order on one
// connection to a simulator serving `site` with `faults`.
std::vector<SiteFrame> siteAnswers(const site::Site& site, const std::vector<Request>& requests,
                                   const sim::FaultSwitches& faults = {});

// The configuration download after logging in as admin/admin.
std::vector<SiteFrame> siteDownload(const site::Site& site);

// Records in the fuzz input format (fuzz_input.h).
void appendRecord(std::vector<std::uint8_t>& out, std::uint16_t id, std::uint16_t second,
                  const std::vector<std::uint8_t>& payload);

} // namespace mirx::fuzz
