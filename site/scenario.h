#pragma once

#include "site/site.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// The scenario file: a site as readable JSON (docs/simulator.md). The
// simulator loads one at start and, with --state, writes every change back
// atomically (temporary file, then rename).

namespace mirx::site {

struct ScenarioError {
    std::string message; // "FILE: what is wrong"
};

std::optional<Site> loadScenario(const std::filesystem::path& path, ScenarioError& error);
std::optional<Site> parseScenario(std::string_view json, ScenarioError& error);

// Which parts of a site writeScenario writes.
struct ScenarioFilter {
    // Top-level keys; empty writes them all.
    std::vector<std::string_view> sections;
    // "admins" and "identifier" inside "server".
    bool serverAccounts = true;
};

// The scenario text, written section by section and label by label, so the
// document never has to sit in memory whole. Keys come sorted and indented
// by two blanks, as toScenarioJson gives them.
void writeScenario(const Site& site, std::ostream& out, const ScenarioFilter& filter = {});
std::string toScenarioJson(const Site& site);
bool saveScenario(const Site& site, const std::filesystem::path& path, ScenarioError& error);

} // namespace mirx::site
