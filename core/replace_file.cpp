#include "core/replace_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace mirx::core {
namespace {

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

std::string replaceFile(const std::filesystem::path& path, std::string_view bytes) {
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    const auto failWith = [&](std::string_view what, int code) {
        return path.string() + ": " + std::string(what) + ": " +
               std::generic_category().message(code);
    };

    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return failWith("cannot create a temporary file", errno);
    }
    const auto abandon = [&](std::string_view what) {
        const int code = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return failWith(what, code);
    };
    if (!writeAll(fd, bytes)) {
        return abandon("cannot write");
    }
    if (::fchmod(fd, 0644) != 0) {
        return abandon("cannot set the file mode");
    }
    if (::fsync(fd) != 0) {
        return abandon("cannot flush to disk");
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return failWith("cannot write", code);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return failWith("cannot replace the file", code);
    }
    // The rename itself lasts once the folder is flushed; a folder that
    // cannot be opened leaves it to the file system.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

} // namespace mirx::core
