#pragma once

#include <filesystem>

// Where a simulator that keeps its site in a state file keeps the rest of
// its state.

namespace mirx::sim {

// Uploaded sound and graphic files: a folder beside the state file, named
// after it ("venue.json" -> "venue-uploads").
std::filesystem::path uploadFolderBeside(const std::filesystem::path& stateFile);

} // namespace mirx::sim
