// ondrel-sim: the Ondrel server stand-in for tests, benchmarks, mirx-ctl and
// the demo. Options are described in docs/simulator.md.

#include "link/password_cipher.h"
#include "model/system_settings.h"
#include "sim/demo_site.h"
#include "sim/fault_switches.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "sim/state_files.h"
#include "site/scenario.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <pthread.h>
#include <string>
#include <vector>

namespace {

using namespace mirx;
using namespace mirx::sim;
using namespace mirx::site;

constexpr int kBadOptions = 2;
constexpr int kFailure = 1;

constexpr std::string_view kUsage =
    "usage: ondrel-sim [options]\n"
    "\n"
    "Plays the Ondrel server for one console at a time.\n"
    "\n"
    "  --listen ADDR              IPv4 address to listen on (default 127.0.0.1)\n"
    "  --port N                   port to listen on; 0 picks a free one (default 0)\n"
    "  --demo                     serve the built-in demo site (the default)\n"
    "  --generate-max             serve the largest site the console accepts\n"
    "  --scenario FILE            serve the site described by a scenario file\n"
    "  --state FILE               load the site from FILE when it exists and write\n"
    "                             every change back to it\n"
    "  --domain-key HEX32         read every login's password field as encrypted\n"
    "                             with this shared key base\n"
    "  --uploads DIR              keep uploaded sound and graphic files in DIR\n"
    "                             (with --state FILE: FILE's name with -uploads,\n"
    "                             beside it)\n"
    "  --frame-log FILE           write the frame log to FILE instead of standard error\n"
    "  --quiet                    no frame log\n"
    "  --dump-state FILE          write the chosen site as a scenario file and exit\n"
    "  --debug-line-interval MS   how often the server writes a debug log line of\n"
    "                             its own while a console is connected; 0 = never\n"
    "                             (default 5000)\n"
    "  --help                     show this text\n"
    "\n"
    "Faults:\n";

struct Options {
    std::string listenAddress = "127.0.0.1";
    std::uint16_t port = 0;
    enum class Source { Demo, Max, Scenario } source = Source::Demo;
    std::filesystem::path scenario;
    std::filesystem::path state;
    std::optional<link::KeyBase> domainKey;
    std::filesystem::path uploads;
    std::filesystem::path frameLog;
    bool quiet = false;
    std::filesystem::path dumpState;
    bool help = false;
    std::uint32_t debugLineIntervalMs = ProtocolOptions{}.debugLineIntervalMs;
    FaultSwitches faults;
};

// Empty when every argument was understood, else what was wrong.
std::string parseOptions(const std::vector<std::string>& args, Options& options) {
    std::vector<std::string> own;
    if (std::string error = parseFaultSwitches(args, options.faults, &own); !error.empty()) {
        return error;
    }
    int sources = 0;
    for (std::size_t i = 0; i < own.size(); ++i) {
        const std::string& arg = own[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 == own.size()) {
                return std::nullopt;
            }
            return own[++i];
        };
        const auto needs = [&](std::string_view what) {
            return arg + " needs a value " + std::string(what);
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--demo") {
            options.source = Options::Source::Demo;
            ++sources;
        } else if (arg == "--generate-max") {
            options.source = Options::Source::Max;
            ++sources;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--listen" || arg == "--scenario" || arg == "--state" ||
                   arg == "--uploads" || arg == "--frame-log" || arg == "--dump-state") {
            const auto text = value();
            if (!text || text->empty()) {
                return needs(arg == "--listen" ? "ADDR" : arg == "--uploads" ? "DIR" : "FILE");
            }
            if (arg == "--listen") {
                options.listenAddress = *text;
                if (!model::parseIpv4(*text)) {
                    return "--listen: '" + *text + "' is not an IPv4 address";
                }
            } else if (arg == "--scenario") {
                options.source = Options::Source::Scenario;
                options.scenario = *text;
                ++sources;
            } else if (arg == "--state") {
                options.state = *text;
            } else if (arg == "--uploads") {
                options.uploads = *text;
            } else if (arg == "--frame-log") {
                options.frameLog = *text;
            } else {
                options.dumpState = *text;
            }
        } else if (arg == "--port") {
            const auto text = value();
            if (!text) {
                return needs("N");
            }
            unsigned port = 0;
            const char* end = text->data() + text->size();
            const auto [ptr, ec] = std::from_chars(text->data(), end, port);
            if (text->empty() || ec != std::errc() || ptr != end || port > 65535) {
                return "--port: bad value '" + *text + "' (a number from 0 to 65535)";
            }
            options.port = static_cast<std::uint16_t>(port);
        } else if (arg == "--debug-line-interval") {
            const auto text = value();
            if (!text) {
                return needs("MS");
            }
            std::uint32_t ms = 0;
            const char* end = text->data() + text->size();
            const auto [ptr, ec] = std::from_chars(text->data(), end, ms);
            if (text->empty() || ec != std::errc() || ptr != end) {
                return "--debug-line-interval: bad value '" + *text + "' (milliseconds)";
            }
            options.debugLineIntervalMs = ms;
        } else if (arg == "--domain-key") {
            const auto text = value();
            if (!text) {
                return needs("HEX32");
            }
            options.domainKey = link::parseKeyBase(*text);
            if (!options.domainKey) {
                return "--domain-key: expected exactly 32 hexadecimal digits";
            }
        } else {
            return "unknown option '" + arg + "'";
        }
    }
    if (sources > 1) {
        return "choose one of --demo, --generate-max and --scenario";
    }
    if (options.quiet && !options.frameLog.empty()) {
        return "choose one of --frame-log and --quiet";
    }
    return {};
}

std::optional<Site> chooseSite(const Options& options, std::string& error) {
    ScenarioError scenarioError;
    std::optional<Site> site;
    if (!options.state.empty() && std::filesystem::exists(options.state)) {
        site = loadScenario(options.state, scenarioError);
    } else if (options.source == Options::Source::Scenario) {
        site = loadScenario(options.scenario, scenarioError);
    } else if (options.source == Options::Source::Max) {
        site = maxSite();
    } else {
        site = demoSite();
    }
    if (!site) {
        error = scenarioError.message;
    }
    return site;
}

void saveState(const Site& site, const std::filesystem::path& path) {
    ScenarioError error;
    if (!saveScenario(site, path, error)) {
        std::fprintf(stderr, "ondrel-sim: cannot save the state: %s\n", error.message.c_str());
    }
}

int badOptions(const std::string& message) {
    std::fprintf(stderr, "ondrel-sim: %s\n(ondrel-sim --help lists the options)\n",
                 message.c_str());
    return kBadOptions;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    if (const std::string error = parseOptions(args, options); !error.empty()) {
        return badOptions(error);
    }
    if (options.help) {
        std::cout << kUsage << faultSwitchesUsage();
        return 0;
    }

    std::string error;
    std::optional<Site> loaded = chooseSite(options, error);
    if (!loaded) {
        return badOptions(error);
    }
    Site& site = *loaded;
    if (!options.dumpState.empty()) {
        ScenarioError dumpError;
        if (!saveScenario(site, options.dumpState, dumpError)) {
            std::fprintf(stderr, "ondrel-sim: %s\n", dumpError.message.c_str());
            return kFailure;
        }
        return 0;
    }

    // Signals are taken by sigwait() below; every thread started from here
    // on inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ProtocolOptions protocolOptions;
    protocolOptions.domainKey = options.domainKey;
    protocolOptions.uploadFolder = options.uploads;
    if (protocolOptions.uploadFolder.empty() && !options.state.empty()) {
        protocolOptions.uploadFolder = uploadFolderBeside(options.state);
    }
    protocolOptions.debugLineIntervalMs = options.debugLineIntervalMs;
    if (!options.state.empty()) {
        protocolOptions.onSiteChanged = [path = options.state](const Site& changed) {
            saveState(changed, path);
        };
    }
    SiteProtocol protocol(site, protocolOptions);
    SimServer server(protocol, options.faults);
    if (options.quiet) {
        server.frameLog().setWriter({});
    } else if (!options.frameLog.empty() && !server.frameLog().openFile(options.frameLog)) {
        std::fprintf(stderr, "ondrel-sim: cannot create the frame log %s\n",
                     options.frameLog.c_str());
        return kFailure;
    }
    if (!server.listen(options.listenAddress, options.port)) {
        std::fprintf(stderr, "ondrel-sim: cannot listen on %s:%d\n", options.listenAddress.c_str(),
                     options.port);
        return kFailure;
    }

    // The console takes the server's own address and port from the system
    // settings; they must be the ones it can reach us on.
    using S = model::SystemSettings;
    site.systemSettings.set(S::kServerAddress, *model::parseIpv4(options.listenAddress));
    site.systemSettings.set(S::kClientDataPort, server.port());
    if (!options.state.empty()) {
        saveState(site, options.state);
    }

    std::printf("listening on %s:%d\n", options.listenAddress.c_str(), server.port());
    std::fflush(stdout);

    server.runInBackground();
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    if (!options.state.empty()) {
        saveState(site, options.state);
    }
    return 0;
}
