#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

extern char** environ;

// For the benchmarks that measure the console's own CPU time: the simulator
// runs as a child process so its threads are not counted.
namespace bench {

// User and system CPU time of this process so far, in seconds.
inline double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// `program SITE_OPTION --quiet` as a child writing to `outPath`; its pid, or
// -1. Spawn before Qt or the link start threads.
inline pid_t startSimulator(const char* program, const char* siteOption,
                            const std::string& outPath) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string path = program;
    std::string site = siteOption;
    std::string quiet = "--quiet";
    char* args[] = {path.data(), site.data(), quiet.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args, environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out);
    return pid;
}

// The port from the simulator's "listening on 127.0.0.1:PORT" line; 0 if it
// did not come within `wait`.
inline std::uint32_t waitForPort(const std::string& outPath, std::chrono::milliseconds wait) {
    constexpr std::chrono::milliseconds kStep{50};
    for (auto waited = std::chrono::milliseconds{0}; waited < wait; waited += kStep) {
        std::this_thread::sleep_for(kStep);
        if (FILE* f = std::fopen(outPath.c_str(), "r")) {
            char line[256];
            unsigned port = 0;
            while (std::fgets(line, sizeof line, f) != nullptr) {
                if (std::sscanf(line, "listening on 127.0.0.1:%u", &port) == 1) {
                    break;
                }
            }
            std::fclose(f);
            if (port != 0) {
                return port;
            }
        }
    }
    return 0;
}

} // namespace bench
