// The link against ondrel-sim on 127.0.0.1: time from Connect to logged in,
// and 1000 sequential request/response pairs through the request queue. The
// pairs run interleaved with two raw loopback ping-pongs of the same frame
// sizes: one with blocking sockets (what a sleeping thread costs on this
// machine now) and one that spins (the floor, which load does not move).
// Medians of each are printed; the last line is the link's ratio to the
// floor and to the blocking yardstick.
#include "bench/interleaved.h"
#include "bench/loopback_pair.h"
#include "bench/served_site.h"
#include "core/debug_log.h"
#include "core/wire_frame.h"
#include "link/message_catalogue.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/membership_records.h"
#include "sim/demo_site.h"

#include <atomic>
#include <cstdio>

namespace {

using namespace mirx;

constexpr int kPairs = 1000;
constexpr std::size_t kRequestBytes = wire::kFrameOverhead; // no payload
constexpr std::size_t kResponseBytes = wire::kFrameOverhead + model::kFixedGroupSetBytes;

// Counts the blocked-listen answers the link hands to the data model.
class CountingModel final : public link::ModelSink {
public:
    bool Store(std::uint16_t id, std::uint16_t, std::span<const std::uint8_t>,
               const std::string&) override {
        if (id == msg::ADMIN_BLOCKED_LISTEN_RESPONSE) {
            answers.fetch_add(1, std::memory_order_release);
        }
        return true;
    }
    std::atomic<int> answers{0};
};

struct SimFixture : ServedSite {
    SimFixture()
        : ServedSite(sim::demoSite()) {
        services.settings = &store;
        services.model = &model;
    }
    CountingModel model;
    link::LinkServices services;
};

constexpr int kLogins = 20;
constexpr int kRounds = 15;

} // namespace

int main() {
    using namespace mirx;
    struct SilentSink final : log::LineSink {
        void write(std::string_view) override {}
    } silent;
    log::setDebuggerSink(&silent);
    SimFixture f;

    std::vector<Measure> login = {{"Connect to logged in", [&] {
                                       link::ServerLink link(f.services);
                                       const double s =
                                           timed([&] { link.Connect("admin", "admin"); });
                                       if (!link.loggedIn()) {
                                           return -1.0;
                                       }
                                       link.StopLink();
                                       return s;
                                   }}};
    runInterleaved(login, kLogins);

    link::ServerLink link(f.services);
    if (!link.Connect("admin", "admin")) {
        std::fprintf(stderr, "login_roundtrip: login failed: %s\n", link.errorText().c_str());
        return 1;
    }
    RawPingPong blocking(kRequestBytes, kResponseBytes);
    BusyRawPingPong busy(kRequestBytes, kResponseBytes);
    std::vector<Measure> pairs = {
        {"link request/response",
         [&] {
             return timed([&] {
                 for (int i = 0; i < kPairs; ++i) {
                     const int before = f.model.answers.load(std::memory_order_acquire);
                     link.requestQueue().PostCopy(msg::ADMIN_BLOCKED_LISTEN_REQUEST,
                                                  static_cast<std::uint16_t>(i % 40), nullptr, 0);
                     while (f.model.answers.load(std::memory_order_acquire) == before) {
                         // Spin: what is measured is the link, not the wait.
                     }
                 }
             });
         }},
        blockingPingPongs(blocking, kPairs),
        busyPingPongs(busy, kPairs),
    };
    runInterleaved(pairs, kRounds);
    link.StopLink();
    log::setDebuggerSink(nullptr);

    const double linkTime = pairs[0].median();
    const double blockingTime = pairs[1].median();
    const double floorTime = pairs[2].median();
    if (login[0].median() <= 0 || floorTime <= 0 || blockingTime <= 0) {
        std::fprintf(stderr, "login_roundtrip: a measurement failed\n");
        return 1;
    }
    std::printf("login_roundtrip: Connect to logged in %.2f ms; %d request/response pairs "
                "%.2f ms = %.2fx the busy floor (%.2f ms), %.2fx the blocking ping-pong "
                "(%.2f ms); goal <= 3x the floor\n",
                login[0].median() * 1e3, kPairs, linkTime * 1e3, linkTime / floorTime,
                floorTime * 1e3, linkTime / blockingTime, blockingTime * 1e3);
    return 0;
}
