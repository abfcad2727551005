// Any sequence of server frames through the link's handler into the mirror,
// then everything that walks what they left: the label walks, the export of
// the mirrored site and a command file's name resolution and commands. Each
// must end; a walk that visits more labels than the table holds aborts.
#include "apps/ctl/export_site.h"
#include "commandfiles/command_file.h"
#include "core/message_queue.h"
#include "core/wire_frame.h"
#include "fuzz/fuzz_input.h"
#include "link/mirror_dispatch.h"
#include "link/server_connection_handler.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/mirror.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

using namespace mirx;

class NullBuffer final : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void drain(CMessageQueue& queue) {
    static std::vector<std::uint8_t> buffer(wire::kMaxFrameSize);
    while (queue.TakeFramed(buffer.data(), buffer.size()) != 0) {
    }
}

void walkLabels(const model::LabelTable& labels) {
    for (int kind = 0; kind < 3; ++kind) {
        for (const bool all : {false, true}) {
            std::size_t visited = 0;
            int reference = model::kNoLabel;
            while (labels.Next(reference, kind, all) != model::kNoLabel) {
                if (++visited > model::kLabelSlots) {
                    std::abort(); // the same label twice: the walk would not end
                }
            }
        }
    }
    std::size_t visited = 0;
    labels.ForEachLabel([&](const model::LabelInfo&) { ++visited; });
    if (visited > model::kLabelSlots) {
        std::abort();
    }
}

// Names resolved through the labels and credentials, then run against
// whatever the frames left in the membership buffers.
constexpr std::string_view kCommandFile = "TIME_ABSOLUTE: 08:00:00 01-02-2020\r\n"
                                          "BLOCKED_LISTEN: SET director from _client.2_\r\n"
                                          "FORCED_LISTEN: CLEAR _client.7_ to camera1\r\n"
                                          "PARTY_LINE: ADD TALK to _client.3_ on _pl.1_\r\n"
                                          "PARTY_LINE: REMOVE LISTEN to stageleft on _pl.0_\r\n";

void runCommandFile(model::Mirror& mirror, CMessageQueue& queue) {
    commandfiles::CommandEnvironment environment{mirror, &queue};
    commandfiles::CCommandFile file(
        "fuzz.txt", std::vector<std::uint8_t>(kCommandFile.begin(), kCommandFile.end()));
    bool finished = false;
    file.ParseCommandFile(environment, false, finished);
    for (int pass = 0; pass < 16 && !finished && !file.failure(); ++pass) {
        file.ParseCommandFile(environment, true, finished);
        drain(queue);
    }
}

// The mirror lives for the whole run, as the console's does across
// connections; building its tables for every input would cost more than the
// input itself. Each input starts as a new connection with the labels
// cleared.
struct Harness {
    link::MemorySettingsStore settings;
    model::Mirror mirror;
    link::MirrorDispatch dispatch{mirror};
    std::unique_ptr<link::ServerLink> link;

    Harness() {
        link::LinkServices services;
        services.settings = &settings;
        services.model = &dispatch;
        // No download is ever started here; the update exchange has its own
        // target.
        services.tempRoot = std::filesystem::temp_directory_path();
        link = std::make_unique<link::ServerLink>(services);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::silenceLog();
    static Harness harness;
    model::Mirror& mirror = harness.mirror;
    mirror.edit([](model::MirrorData& d) { d.labels.Store(model::LabelTable::kClearTable, {}); });
    link::CServerConnectionHandler& handler = harness.link->handler();
    handler.SetEndpoints({127, 0, 0, 1}, 1000, 0x0100007F, 40000);
    handler.OnConnect();

    fuzz::RecordReader reader(data, size);
    fuzz::Record record;
    while (reader.next(record)) {
        handler.OnMessage(record.id, record.second, record.payload.data(), record.payload.size());
        handler.OnPoll();
        drain(handler.CurrentQueue());
    }

    // Writing the document costs twenty times the rest, so only short inputs
    // (few labels, the writer's hostile cases) are written out; the site is
    // always built.
    const bool writeDocument = size < 4096;
    mirror.read([&](const model::MirrorData& d) {
        walkLabels(d.labels);
        const auto clients = ctl::localClients(d);
        for (const ctl::ClientRef& client : clients) {
            if (client.index < 0 || client.index >= static_cast<int>(model::kClientsPerSystem)) {
                std::abort(); // a request the server cannot answer
            }
        }
        const site::Site site = ctl::mirroredSite(d, clients, true);
        if (writeDocument) {
            NullBuffer buffer;
            std::ostream out(&buffer);
            ctl::writeExport(site, out);
        }
    });
    CMessageQueue requests(300);
    requests.Enable();
    runCommandFile(mirror, requests);

    handler.OnDisconnect();
    return 0;
}
