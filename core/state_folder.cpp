#include "core/state_folder.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

namespace mirx {

std::optional<std::filesystem::path> userStateFolder() {
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && xdg[0] == '/') {
        return std::filesystem::path(xdg) / "Talbrook";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return std::filesystem::path(home) / ".local" / "state" / "Talbrook";
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> userDataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
        return std::filesystem::path(xdg) / "Talbrook";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return std::filesystem::path(home) / ".local" / "share" / "Talbrook";
    }
    return std::nullopt;
}

std::error_code makeStateFolder(const std::filesystem::path& folder) {
    std::filesystem::path partial;
    for (const auto& part : folder) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return {errno, std::generic_category()};
        }
    }
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        return error ? error : std::make_error_code(std::errc::not_a_directory);
    }
    return {};
}

} // namespace mirx
