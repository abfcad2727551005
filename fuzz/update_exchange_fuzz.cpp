// The identification and update exchange against a hostile server: any
// answers, names and sizes, with the user's actions mixed in. Nothing may be
// written outside the download root, and no installer is ever started.
#include "fuzz/fuzz_input.h"
#include "link/connection_handler.h"
#include "link/update_exchange.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace mirx;
namespace fs = std::filesystem;

// Records with these IDs are the user's actions and the poll, not frames.
constexpr std::uint16_t kStep = 0xFFF0;
constexpr std::uint16_t kStartDownload = 0xFFF1;
constexpr std::uint16_t kDecline = 0xFFF2;
constexpr std::uint16_t kCancel = 0xFFF3;

class Link final : public link::CConnectionHandler {
public:
    Link() {
        SetEndpoints({10, 0, 0, 7}, 4001, 0, 0);
        CConnectionHandler::OnConnect();
    }
    void OnMessage(std::uint16_t, std::uint16_t, const std::uint8_t*, std::size_t) override {}
};

// A private folder holding the download root; anything next to the root
// got out of it.
const fs::path& fence() {
    static const fs::path path = fuzz::scratchFolder("mirx-fuzz-update");
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::silenceLog();
    const fs::path root = fence() / "root";
    fs::create_directory(root);

    {
        Link handler;
        link::CServerConnectionUpdateSubHandler::Environment environment;
        environment.tempRoot = root;
        environment.consoleVersion = 0x01020300;
        environment.relaunchArguments = {"/opt/mirx/mirx-admin"};
        environment.launch = [](const fs::path&, const std::vector<std::string>&) {
            return false;
        };
        link::CServerConnectionUpdateSubHandler update(handler, environment);
        update.Reset();
        handler.SetState(0);
        std::vector<std::uint8_t> sent(64 * 1024);

        fuzz::RecordReader reader(data, size);
        fuzz::Record record;
        while (reader.next(record)) {
            switch (record.id) {
            case kStep:
                update.Step();
                break;
            case kStartDownload:
                update.StartDownload();
                break;
            case kDecline:
                update.Decline();
                break;
            case kCancel:
                update.Cancel();
                break;
            default:
                update.OnMessage(static_cast<std::uint16_t>(record.id % 10), record.second,
                                 record.payload.data(), record.payload.size());
                break;
            }
            while (handler.CurrentQueue().TakeFramed(sent.data(), sent.size()) != 0) {
            }
            (void)update.FileName();
        }
    }

    for (const auto& entry : fs::directory_iterator(fence())) {
        if (entry.path().filename() != "root") {
            std::abort();
        }
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}
