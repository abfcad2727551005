#include "link/installer_launcher.h"

#include "core/ascii.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace mirx::link {

namespace {

// Between fork and exec only async-signal-safe calls are allowed: the
// console is multi-threaded and another thread may hold the allocator lock.
[[noreturn]] void failChild(int reportFd, int error) {
    // Best effort: if this write fails the parent sees success, but exec
    // failing after a successful fork is the case the pipe is there for.
    [[maybe_unused]] const ssize_t n = ::write(reportFd, &error, sizeof error);
    ::_exit(127);
}

[[noreturn]] void execInstaller(const char* program, char* const argv[], int reportFd) {
    // The installer gets a clean slate: no inherited mask, no ignored SIGPIPE.
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &dfl, nullptr);

    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull >= 0) {
        ::dup2(devNull, STDIN_FILENO);
        if (devNull != STDIN_FILENO) {
            ::close(devNull);
        }
    }
    // Our socket and log file must not stay open in the installer. The
    // report pipe is close-on-exec already.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);

    ::execv(program, argv);
    failChild(reportFd, errno);
}

} // namespace

bool LaunchDetached(const std::filesystem::path& program,
                    const std::vector<std::string>& arguments) {
    struct stat info {};
    if (::stat(program.c_str(), &info) != 0) {
        return false;
    }
    if ((info.st_mode & S_IXUSR) == 0 &&
        ::chmod(program.c_str(), (info.st_mode & 07777) | S_IXUSR) != 0) {
        return false;
    }

    // Everything the children need is built before fork.
    const std::string path = program.string();
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return false;
    }

    const pid_t middle = ::fork();
    if (middle < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        errno = error;
        return false;
    }
    if (middle == 0) {
        ::close(report[0]);
        // A session of its own, then one more fork so the installer is no
        // session leader and can never pick up a controlling terminal.
        ::setsid();
        const pid_t installer = ::fork();
        if (installer < 0) {
            failChild(report[1], errno);
        }
        if (installer == 0) {
            execInstaller(path.c_str(), argv.data(), report[1]);
        }
        ::_exit(0);
    }

    ::close(report[1]);
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    // End of file without a word: exec closed the pipe, the installer runs.
    int error = 0;
    std::size_t got = 0;
    while (got < sizeof error) {
        const ssize_t n =
            ::read(report[0], reinterpret_cast<char*>(&error) + got, sizeof error - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(report[0]);
    if (got == sizeof error) {
        errno = error;
        return false;
    }
    return true;
}

std::filesystem::path temporaryRoot() {
    const char* dir = std::getenv("TMPDIR");
    if (dir != nullptr && dir[0] == '/') {
        return dir;
    }
    return "/tmp";
}

std::vector<std::string> withoutPasswordArguments(std::vector<std::string> commandLine) {
    std::vector<std::string> kept;
    kept.reserve(commandLine.size() + 1);
    bool dropped = false;
    const auto drop = [&] {
        if (!dropped) {
            kept.emplace_back(kLoginPasswordStoredOption);
            dropped = true;
        }
    };
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        std::string& argument = commandLine[i];
        if (i > 0) {
            if (text::equalsIgnoringAsciiCase(argument, kLoginPasswordOption) ||
                text::equalsIgnoringAsciiCase(argument, kLoginPasswordLongOption)) {
                ++i; // its value goes too
                drop();
                continue;
            }
            const std::string_view name =
                std::string_view(argument).substr(0, std::min(argument.size(), argument.find('=')));
            if (name.size() < argument.size() &&
                text::equalsIgnoringAsciiCase(name, kLoginPasswordLongOption)) {
                drop();
                continue;
            }
            if (std::any_of(kLoginPasswordStdinOptions.begin(), kLoginPasswordStdinOptions.end(),
                            [&](std::string_view o) {
                                return text::equalsIgnoringAsciiCase(argument, o);
                            })) {
                drop();
                continue;
            }
        }
        kept.push_back(std::move(argument));
    }
    return kept;
}

std::vector<std::string> ownCommandLine(int argc, const char* const argv[]) {
    std::vector<std::string> line;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        line.push_back(self.string());
    } else if (argc > 0 && argv[0] != nullptr) {
        line.emplace_back(argv[0]);
    }
    for (int i = 1; i < argc; ++i) {
        if (argv[i] != nullptr) {
            line.emplace_back(argv[i]);
        }
    }
    return line;
}

} // namespace mirx::link
