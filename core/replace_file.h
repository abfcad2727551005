#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Writing a whole file so that readers see either the old file or the new
// one: the bytes go to a temporary file in the same folder, which is flushed
// and renamed over the target. On failure the temporary file is removed and
// the target stays as it was.

namespace mirx::core {

// Empty on success, else "PATH: what failed: reason". The file gets mode
// 0644 (before the umask).
std::string replaceFile(const std::filesystem::path& path, std::string_view bytes);

} // namespace mirx::core
