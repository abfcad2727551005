// Any command file text, scanned and run against the demo site's mirror:
// the scan and every pass of the run must end, and a run never sends more
// than one request per pass.
#include "commandfiles/command_file.h"
#include "core/message_queue.h"
#include "core/wire_frame.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/site_frames.h"
#include "link/mirror_dispatch.h"
#include "model/membership_records.h"
#include "model/mirror.h"
#include "sim/demo_site.h"

#include <cstdlib>
#include <vector>

namespace {

using namespace mirx;

model::Mirror& demoMirror() {
    static model::Mirror* mirror = [] {
        auto* m = new model::Mirror;
        link::MirrorDispatch dispatch(*m);
        for (const fuzz::SiteFrame& f : fuzz::siteDownload(sim::demoSite())) {
            dispatch.Store(f.id, f.second, f.payload, "fuzz");
        }
        return m;
    }();
    return *mirror;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::silenceLog();
    model::Mirror& mirror = demoMirror();
    // Answers of one input never reach the next.
    mirror.edit([](model::MirrorData& d) {
        const std::vector<std::uint8_t> none(model::kFixedGroupSetBytes, 0);
        d.membership.ReceiveBlockedListen(none);
        d.membership.ReceiveForcedListen(none);
        d.membership.ReceivePartyLineMembership(std::vector<std::uint8_t>(4, 0));
    });
    CMessageQueue requests(300);
    requests.Enable();
    commandfiles::CommandEnvironment environment{mirror, &requests};
    commandfiles::CCommandFile file("fuzz.txt", std::vector<std::uint8_t>(data, data + size));

    bool finished = false;
    file.ParseCommandFile(environment, false, finished);
    std::vector<std::uint8_t> frame(wire::kMaxFrameSize);
    // At most one request per pass and one pass per line; lines are at least
    // one character each.
    for (std::size_t pass = 0; !finished && !file.failure(); ++pass) {
        if (pass > size + 2) {
            std::abort();
        }
        file.ParseCommandFile(environment, true, finished);
        std::size_t requestsSent = 0;
        while (const std::size_t n = requests.TakeFramed(frame.data(), frame.size())) {
            const std::uint16_t id = wire::readU16(&frame[wire::kMessageIdOffset]);
            if (id == msg::ADMIN_BLOCKED_LISTEN_REQUEST || id == msg::ADMIN_FORCED_LISTEN_REQUEST ||
                id == msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST) {
                ++requestsSent;
            }
            (void)n;
        }
        if (requestsSent > 1) {
            std::abort();
        }
        if (!file.waiting()) {
            break;
        }
    }
    return 0;
}
