#include "sim/state_files.h"

namespace mirx::sim {

std::filesystem::path uploadFolderBeside(const std::filesystem::path& stateFile) {
    std::filesystem::path stem = stateFile.stem();
    if (stem.empty() || stem == "." || stem == "..") {
        stem = "state";
    }
    return stateFile.parent_path() / (stem.string() + "-uploads");
}

} // namespace mirx::sim
