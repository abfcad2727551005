#pragma once

#include <filesystem>
#include <optional>
#include <system_error>

// The user's state folder: what the console keeps between runs that is
// neither configuration nor the command files themselves (the memory of
// command files that ran, a debug log that cannot go beside the program).

namespace mirx {

// $XDG_STATE_HOME/Talbrook when XDG_STATE_HOME is an absolute path, else
// $HOME/.local/state/Talbrook; nullopt with neither, rather than a guess
// under the current directory.
std::optional<std::filesystem::path> userStateFolder();

// The user's data folder, for what the user puts there for the console (the
// command files of an installed console): $XDG_DATA_HOME/Talbrook when
// XDG_DATA_HOME is an absolute path, else $HOME/.local/share/Talbrook;
// nullopt with neither.
std::optional<std::filesystem::path> userDataFolder();

// Creates `folder` and any missing parents, the new ones with mode 0700.
// An existing folder is left as it is.
std::error_code makeStateFolder(const std::filesystem::path& folder);

// The text for the case userStateFolder() has no answer.
inline constexpr const char* kNoStateFolderText = "neither XDG_STATE_HOME nor HOME is set";

} // namespace mirx
