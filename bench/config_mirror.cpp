// The configuration download of the largest site into the console's mirror,
// against pushing the same bytes through a raw loopback socket, the two run
// in turn so the machine's load touches both alike (medians printed); and
// the peak memory of `mirx-ctl export` on that site.
#include "bench/interleaved.h"
#include "bench/loopback_pair.h"
#include "bench/served_site.h"
#include "core/debug_log.h"
#include "link/message_catalogue.h"
#include "link/mirror_dispatch.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/mirror.h"
#include "sim/demo_site.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace mirx;

// Times the download from its first label and counts its bytes on the wire.
class TimingDispatch final : public link::ModelSink {
public:
    explicit TimingDispatch(model::Mirror& mirror)
        : inner_(mirror) {}
    bool Store(std::uint16_t id, std::uint16_t second, std::span<const std::uint8_t> payload,
               const std::string& peer) override {
        if (id == msg::CONFIGURATION_DATA_LABEL && !started) {
            started = true;
            start = std::chrono::steady_clock::now();
        }
        if (started) {
            bytes += payload.size() + 20;
        }
        return inner_.Store(id, second, payload, peer);
    }
    bool started = false;
    std::chrono::steady_clock::time_point start;
    std::size_t bytes = 0;

private:
    link::MirrorDispatch inner_;
};

ServedSite& fixture() {
    static ServedSite f(sim::maxSite());
    return f;
}

// One download of the whole configuration into a fresh mirror, from its first
// label until Connect returns; its seconds, or -1. `bytes` gets its size.
double mirrorDownload(ServedSite& f, std::size_t& bytes) {
    model::Mirror mirror;
    TimingDispatch dispatch(mirror);
    link::LinkServices services;
    services.settings = &f.store;
    services.model = &dispatch;
    link::ServerLink link(services);
    if (!link.Connect("admin", "admin")) {
        return -1;
    }
    const auto end = std::chrono::steady_clock::now();
    bytes = dispatch.bytes;
    link.StopLink();
    return std::chrono::duration<double>(end - dispatch.start).count();
}

// `bytes` through a fresh loopback connection in 8 KB writes and reads.
double rawLoopbackPush(std::size_t bytes) {
    LoopbackPair pair(false);
    const int sender = pair.client;
    const int receiver = pair.server;
    std::vector<std::uint8_t> chunk(8192, 0x5A);
    const auto start = std::chrono::steady_clock::now();
    std::thread reader([&] {
        std::vector<std::uint8_t> in(8192);
        std::size_t got = 0;
        while (got < bytes) {
            const ssize_t n = ::recv(receiver, in.data(), in.size(), 0);
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
    });
    std::size_t sent = 0;
    while (sent < bytes) {
        const std::size_t n = std::min(chunk.size(), bytes - sent);
        const ssize_t r = ::send(sender, chunk.data(), n, MSG_NOSIGNAL);
        if (r <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(r);
    }
    reader.join();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

constexpr int kRounds = 7;

// Runs `program args...`, waits, returns its peak resident set in kB (0 on failure).
long peakKilobytes(const std::vector<std::string>& argv, int outFd) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    }
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return 0;
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return 0;
    }
    return usage.ru_maxrss;
}

long exportPeakKilobytes() {
    // The real programs: ondrel-sim --generate-max and mirx-ctl export.
    char dir[] = "/tmp/mirx-bench-XXXXXX";
    if (::mkdtemp(dir) == nullptr) {
        return 0;
    }
    const std::string work = dir;
    const std::string simOut = work + "/sim.out";
    pid_t sim = 0;
    {
        const int out = ::open(simOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        std::string program = MIRX_SIM_PROGRAM;
        char* args[] = {program.data(), const_cast<char*>("--generate-max"),
                        const_cast<char*>("--quiet"), nullptr};
        posix_spawn(&sim, args[0], &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out);
    }
    std::string port;
    for (int i = 0; i < 100 && port.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (FILE* f = std::fopen(simOut.c_str(), "r")) {
            char line[128] = {};
            if (std::fgets(line, sizeof line, f) != nullptr) {
                const std::string text = line;
                const auto colon = text.rfind(':');
                if (text.rfind("listening on", 0) == 0 && colon != std::string::npos) {
                    port = text.substr(colon + 1, text.find_last_not_of("\r\n") - colon);
                }
            }
            std::fclose(f);
        }
    }
    long peak = 0;
    if (!port.empty()) {
        const std::string pw = work + "/pw";
        if (FILE* f = std::fopen(pw.c_str(), "w")) {
            std::fputs("admin\n", f);
            std::fclose(f);
        }
        ::setenv("XDG_CONFIG_HOME", (work + "/config").c_str(), 1);
        const int devNull = ::open("/dev/null", O_WRONLY);
        peak = peakKilobytes({MIRX_CTL_PROGRAM, "--server", "127.0.0.1:" + port, "--user", "admin",
                              "--password-file", pw, "export"},
                             devNull);
        ::close(devNull);
    }
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    std::system(("rm -rf '" + work + "'").c_str());
    return peak;
}

} // namespace

int main() {
    using namespace mirx;
    // First, while this process is small: a spawned child's peak counts the
    // memory of the process that spawned it, up to its exec.
    const long peak = exportPeakKilobytes();
    struct SilentSink final : log::LineSink {
        void write(std::string_view) override {}
    } silent;
    log::setDebuggerSink(&silent);
    ServedSite& f = fixture();
    std::size_t bytes = 0;
    if (mirrorDownload(f, bytes) <= 0 || bytes == 0) { // also warms the simulator up
        std::fprintf(stderr, "config_mirror: login failed\n");
        return 1;
    }
    std::vector<Measure> measures = {
        {"mirror download",
         [&] {
             return mirrorDownload(f, bytes);
         }},
        {"raw loopback push",
         [&] {
             return rawLoopbackPush(bytes);
         }},
    };
    runInterleaved(measures, kRounds);
    log::setDebuggerSink(nullptr);
    const double download = measures[0].median();
    const double raw = measures[1].median();
    if (download <= 0 || raw <= 0) {
        std::fprintf(stderr, "config_mirror: a measurement failed\n");
        return 1;
    }
    std::printf("config_mirror: %zu bytes mirrored in %.1f ms = %.2fx raw loopback (%.1f ms; "
                "goal <= 3); mirx-ctl export peak %.1f MB (goal < 64)\n",
                bytes, download * 1e3, download / raw, raw * 1e3, peak / 1024.0);
    return 0;
}
