#pragma once

#include "sim/site.h"

#include <filesystem>
#include <optional>
#include <string>

// The scenario file: a site as readable JSON (docs/simulator.md). The
// simulator loads one at start and, with --state, writes every change back
// atomically (temporary file, then rename).

namespace mirx::sim {

struct ScenarioError {
    std::string message; // "FILE: what is wrong"
};

std::optional<Site> loadScenario(const std::filesystem::path& path, ScenarioError& error);
std::optional<Site> parseScenario(std::string_view json, ScenarioError& error);

std::string toScenarioJson(const Site& site);
bool saveScenario(const Site& site, const std::filesystem::path& path, ScenarioError& error);

} // namespace mirx::sim
