#include "core/clock.h"
#include "core/wire_frame.h"
#include "link/app_version.h"
#include "link/connection_handler.h"
#include "link/installer_launcher.h"
#include "link/message_catalogue.h"
#include "link/update_exchange.h"
#include "link/update_records.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace mirx::link {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Sub = CServerConnectionUpdateSubHandler;

constexpr std::uint32_t kStartTick = 0x1234;
constexpr std::uint32_t kServerId = 0x364D4602;
const std::uint32_t kServer561 = AppVersion{5, 6, 1, 0, kPlatformLinux, 0}.pack();
const std::uint32_t kConsoleVersion = AppVersion{1, 2, 3, 45, kConsolePlatform, 0}.pack();
const std::uint32_t kNewVersion = AppVersion{6, 1, 0, 0, kConsolePlatform, 0}.pack();
// The console's command line, and what of it an installer receives.
const std::vector<std::string> kRelaunch{
    "/opt/mirx/mirx-admin", "/Profile", "Site A",  "/login_name",       "ops",
    "/login_password",      "s3cret",   "--debug", "--login-password=x"};
const std::vector<std::string> kRelaunchPassedOn{
    "/opt/mirx/mirx-admin",   "/Profile", "Site A", "/login_name", "ops",
    "/login_password_stored", "--debug"};
constexpr const char* kPeer = "10.0.0.7:4001";

template <typename Record>
Bytes bytesOf(const Record& r) {
    return {r.bytes.begin(), r.bytes.end()};
}

Bytes pattern(std::size_t size, std::uint8_t seed) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = static_cast<std::uint8_t>((i * 7 + seed) % 251);
    }
    return out;
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

using test::TempFolder;

// The handler base with its own queue enabled, as after a connect.
class TestLink final : public CConnectionHandler {
public:
    TestLink() {
        SetEndpoints({10, 0, 0, 7}, 4001, 0, 0);
        CConnectionHandler::OnConnect();
    }
    void OnMessage(std::uint16_t, std::uint16_t, const std::uint8_t*, std::size_t) override {}
};

struct Sent {
    std::uint16_t id = 0;
    std::uint16_t second = 0;
    Bytes payload;
};

struct Launch {
    fs::path installer;
    std::vector<std::string> arguments;
    mode_t modeAtLaunch = 0;
};

struct Component {
    std::string name;
    Bytes content;
    std::uint8_t launchMode = kLaunchPlainFile;
};

// The sub-handler on a test link, a fixed clock, a captured log and a temp
// root; plays the server by hand or with serve().
struct Harness {
    ManualClock clock{kStartTick};
    ScopedClock useClock{clock};
    test::LogCapture log;
    TempFolder root;
    TestLink link;
    std::vector<Launch> launches;
    bool launchSucceeds = true;
    int launchError = 0;
    Sub sub{link, environment()};

    Sub::Environment environment() {
        Sub::Environment env;
        env.tempRoot = root.path();
        env.consoleVersion = kConsoleVersion;
        env.relaunchArguments = kRelaunch;
        env.launch = [this](const fs::path& installer, const std::vector<std::string>& args) {
            launches.push_back({installer, args, modeOf(installer)});
            errno = launchError;
            return launchSucceeds;
        };
        return env;
    }

    // Frames posted since the last call, decoded from the wire form.
    std::vector<Sent> take() {
        std::vector<Sent> out;
        Bytes frame(wire::kFrameOverhead + kMaxBlockResponseSize);
        while (const std::size_t n = link.OwnQueue().TakeFramed(frame.data(), frame.size())) {
            Sent s;
            s.id = wire::readU16(frame.data() + wire::kMessageIdOffset);
            s.second = wire::readU16(frame.data() + wire::kSecondValueOffset);
            s.payload.assign(frame.begin() + wire::kHeaderSize,
                             frame.begin() +
                                 static_cast<std::ptrdiff_t>(n - wire::kStopMarkerSize));
            out.push_back(std::move(s));
        }
        return out;
    }

    void deliver(std::uint16_t id, const Bytes& payload) {
        sub.OnMessage(id, 0, payload.data(), payload.size());
    }

    void startExchange() {
        sub.Reset();
        link.SetState(Sub::kSendCompatibilityRequest);
        sub.Step();
        take();
    }

    // Through the compatibility and info answers to the waiting update view.
    void offerUpdate(std::uint32_t totalSize, std::uint16_t components, std::uint8_t askUser = 0) {
        startExchange();
        deliver(msg::APPLICATION_COMPATIBILITY_RESPONSE,
                bytesOf(CompatibilityResponse::make(kServerId, kServer561, 1, 1)));
        sub.Step();
        deliver(msg::APPLICATION_INFO_RESPONSE,
                bytesOf(InfoResponse::make(kNewVersion, totalSize, components, askUser)));
        take();
    }

    void offerDownload(const std::vector<Component>& files) {
        std::uint32_t total = 0;
        for (const Component& f : files) {
            total += static_cast<std::uint32_t>(f.content.size());
        }
        offerUpdate(total, static_cast<std::uint16_t>(files.size()));
    }

    void answer(const std::vector<Component>& files, const Sent& request) {
        if (request.id == msg::APPLICATION_COMPONENT_INFO_REQUEST) {
            const auto r = ComponentInfoRequest::fromPayload(request.payload);
            const Component& f = files.at(r.get(ComponentInfoRequest::kComponentIndex));
            deliver(msg::APPLICATION_COMPONENT_INFO_RESPONSE,
                    bytesOf(ComponentInfoResponse::make(
                        f.name, static_cast<std::uint32_t>(f.content.size()), f.launchMode)));
        } else if (request.id == msg::APPLICATION_COMPONENT_BLOCK_REQUEST) {
            const auto r = BlockRequest::fromPayload(request.payload);
            const Component& f = files.at(r.get(BlockRequest::kComponentIndex));
            const std::uint16_t block = r.get(BlockRequest::kBlockNumber);
            const std::size_t from = std::min(f.content.size(), block * kBlockDataSize);
            const std::size_t count = std::min(kBlockDataSize, f.content.size() - from);
            deliver(msg::APPLICATION_COMPONENT_BLOCK_RESPONSE,
                    encodeBlockResponse(block, std::span(f.content).subspan(from, count)));
        }
    }

    // One poll, then the server answers whatever it was sent.
    std::vector<Sent> stepAndAnswer(const std::vector<Component>& files) {
        sub.Step();
        std::vector<Sent> sent = take();
        for (const Sent& s : sent) {
            answer(files, s);
        }
        return sent;
    }

    // Runs the download to its end; returns every request the console sent.
    std::vector<Sent> serve(const std::vector<Component>& files) {
        std::vector<Sent> all;
        for (int i = 0; i < 100; ++i) {
            const int state = link.State();
            if (state == CConnectionHandler::kIdle || state == Sub::kLogin) {
                return all;
            }
            for (Sent& s : stepAndAnswer(files)) {
                all.push_back(std::move(s));
            }
        }
        ADD_FAILURE() << "the download did not end";
        return all;
    }

    fs::path expectedFolder() const {
        return root.path() / downloadFolderName(kNewVersion, clock.tickMs());
    }
};

// ------------------------------------------------------------ identification

TEST(UpdateExchange, OpensWithOurIdentityAndForgetsTheLastAnswer) {
    Harness h;
    h.startExchange();
    h.deliver(msg::APPLICATION_COMPATIBILITY_RESPONSE,
              bytesOf(CompatibilityResponse::make(kServerId, kServer561, 1, 0)));
    ASSERT_TRUE(h.sub.Compatible());

    h.sub.Reset();
    EXPECT_FALSE(h.sub.CheckFinished());
    h.link.SetState(Sub::kSendCompatibilityRequest);
    h.sub.Step();

    const std::vector<Sent> sent = h.take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].id, msg::APPLICATION_COMPATIBILITY_REQUEST);
    EXPECT_EQ(sent[0].second, 0);
    EXPECT_EQ(sent[0].payload, bytesOf(CompatibilityRequest::make(0x28CFA05A, kConsoleVersion)));
    EXPECT_EQ(h.link.State(), Sub::kAwaitCompatibility);
    EXPECT_FALSE(h.sub.Compatible());
}

struct CompatibilityCase {
    const char* what;
    Bytes payload;
    int state;
    bool compatible;
    bool update;
    // Expected log line; nullptr: no compatibility line at all.
    const char* line;
};

TEST(UpdateExchange, JudgesTheCompatibilityAnswer) {
    const std::uint32_t v560 = AppVersion{5, 6, 0, 0, kPlatformLinux, 0}.pack();
    const auto answer = [](std::uint32_t id, std::uint32_t version, std::uint8_t compatible,
                           std::uint8_t update) {
        return bytesOf(CompatibilityResponse::make(id, version, compatible, update));
    };
    const char* const kNoUpdate =
        "{-}: Received APPLICATION_COMPATIBILITY_RESPONSE (Compatible: 1, Update Available: 0)";
    const CompatibilityCase cases[] = {
        {"5.6.1, compatible, no update", answer(kServerId, kServer561, 1, 0), Sub::kLogin, true,
         false, kNoUpdate},
        {"update flag 2 is no update", answer(kServerId, kServer561, 1, 2), Sub::kLogin, true,
         false,
         "{-}: Received APPLICATION_COMPATIBILITY_RESPONSE (Compatible: 1, Update Available: 2)"},
        {"update offered", answer(kServerId, kServer561, 1, 1), Sub::kSendInfoRequest, true, true,
         nullptr},
        {"server says incompatible", answer(kServerId, kServer561, 0, 0), CConnectionHandler::kIdle,
         false, false, nullptr},
        {"5.6.0 is too old", answer(kServerId, v560, 1, 0), CConnectionHandler::kIdle, false, false,
         kNoUpdate},
        {"unknown server", answer(0x12345678, kServer561, 1, 0), CConnectionHandler::kIdle, false,
         false, kNoUpdate},
        {"two-byte answer", Bytes{1, 1}, CConnectionHandler::kIdle, false, false, nullptr},
    };
    for (const CompatibilityCase& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.startExchange();
        h.deliver(msg::APPLICATION_COMPATIBILITY_RESPONSE, c.payload);

        EXPECT_EQ(h.link.State(), c.state);
        EXPECT_EQ(h.sub.Compatible(), c.compatible);
        EXPECT_EQ(h.sub.UpdateAvailable(), c.update);
        // With an update on offer the info answer decides when Connect goes on.
        EXPECT_EQ(h.sub.CheckFinished(), !c.update);
        EXPECT_EQ(h.link.DisconnectRequested(), c.state == CConnectionHandler::kIdle);
        if (c.line != nullptr) {
            EXPECT_TRUE(h.log.contains(c.line));
        }
        if (c.payload.size() == 2) {
            EXPECT_FALSE(h.log.contains("APPLICATION_COMPATIBILITY_RESPONSE"));
        } else {
            EXPECT_EQ(h.sub.ServerVersion(), CompatibilityResponse::fromPayload(c.payload).get(
                                                 CompatibilityResponse::kServerVersion));
        }
    }
}

TEST(UpdateExchange, RecordsTheApplicationIdAtAnyTime) {
    Harness h;
    h.link.SetState(Sub::kLogin);
    h.deliver(msg::APPLICATION_ID, bytesOf(ApplicationId::make(0x0B23A16D, 0x56100050)));
    EXPECT_TRUE(h.log.contains(
        "{-}: Received APPLICATION_ID (Identifier: 186884461, Version: 1443889232)"));
    EXPECT_EQ(h.sub.ServerVersion(), 0x56100050u);
    EXPECT_EQ(h.link.State(), Sub::kLogin);
}

TEST(UpdateExchange, ReportsIdsItDoesNotTake) {
    Harness h;
    h.link.SetState(Sub::kAwaitBlock);
    for (std::uint16_t id : {1, 3, 5, 7, 9}) {
        SCOPED_TRACE(id);
        h.deliver(id, Bytes(8));
        EXPECT_TRUE(h.log.contains(std::string("[") + kPeer + "] Message ID " + std::to_string(id) +
                                   " not recognized (Size of message: 8 bytes)"));
        EXPECT_EQ(h.link.State(), Sub::kAwaitBlock);
    }
    EXPECT_TRUE(h.take().empty());
}

// ------------------------------------------------------------------- the offer

TEST(UpdateExchange, InfoAnswerDescribesTheOfferAndKeepsPolling) {
    Harness h;
    h.offerUpdate(16350, 2, 1);

    EXPECT_EQ(h.link.State(), Sub::kAwaitUser);
    EXPECT_TRUE(h.sub.CheckFinished());
    EXPECT_TRUE(h.sub.UpdateAvailable());
    EXPECT_TRUE(h.sub.AskUser());
    EXPECT_EQ(h.sub.NewVersion(), kNewVersion);
    EXPECT_EQ(h.sub.TotalSize(), 16350u);
    EXPECT_EQ(h.sub.ComponentCount(), 2);
    EXPECT_EQ(h.sub.TotalBlocks(), 2u); // exactly one full block still gets a final step
    EXPECT_EQ(h.sub.BlocksReceived(), 0u);
    EXPECT_TRUE(h.log.contains(
        "{-}: Received APPLICATION_INFO_RESPONSE (Version: 0x61000050, # of Components: 2)"));

    h.clock.advance(Sub::kInfoPollIntervalMs - 1);
    h.sub.Step();
    EXPECT_EQ(h.link.State(), Sub::kAwaitUser);
    h.clock.advance(1);
    h.sub.Step();
    EXPECT_EQ(h.link.State(), Sub::kSendInfoRequest);
    h.sub.Step();
    const std::vector<Sent> sent = h.take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].id, msg::APPLICATION_INFO_REQUEST);
    EXPECT_EQ(sent[0].payload, bytesOf(InfoRequest::make()));
    EXPECT_EQ(h.link.State(), Sub::kAwaitInfo);
}

TEST(UpdateExchange, ViewActsOnlyWhileTheOfferWaits) {
    Harness h;
    h.offerUpdate(100, 1);
    EXPECT_TRUE(h.sub.Decline());
    EXPECT_EQ(h.link.State(), Sub::kLogin);
    EXPECT_FALSE(h.sub.StartDownload());
    EXPECT_EQ(h.link.State(), Sub::kLogin);

    h.offerUpdate(100, 1);
    // The re-poll's answer must not pull a started download back to the offer.
    h.clock.advance(Sub::kInfoPollIntervalMs);
    h.sub.Step();
    h.sub.Step();
    ASSERT_EQ(h.link.State(), Sub::kAwaitInfo);
    EXPECT_TRUE(h.sub.StartDownload());
    h.deliver(msg::APPLICATION_INFO_RESPONSE, bytesOf(InfoResponse::make(kNewVersion, 100, 1, 0)));
    EXPECT_EQ(h.link.State(), Sub::kSendComponentInfoRequest);
}

// ------------------------------------------------------------------ downloads

struct LaunchCase {
    const char* what;
    std::uint8_t installerMode;
    bool launchSucceeds;
    std::vector<std::string> arguments;
};

TEST(UpdateExchange, DownloadsEveryComponentAndStartsTheInstaller) {
    const LaunchCase cases[] = {
        {"mode 2 gets our command line but the password", kLaunchInstallerWithCommandLine, true,
         kRelaunchPassedOn},
        {"mode 1 gets no arguments", kLaunchInstaller, true, {}},
        {"failed start still ends the console", kLaunchInstallerWithCommandLine, false,
         kRelaunchPassedOn},
    };
    for (const LaunchCase& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.launchSucceeds = c.launchSucceeds;
        h.launchError = ENOEXEC;
        const std::vector<Component> files{
            {"mirx-admin.bin", pattern(kBlockDataSize + 3650, 1), kLaunchPlainFile},
            {"setup.sh", pattern(100, 2), c.installerMode},
        };
        h.offerDownload(files);
        ASSERT_TRUE(h.sub.StartDownload());

        const std::vector<Sent> sent = h.serve(files);

        // Component 0 blocks 0 and 1, then component 1 block 0.
        std::vector<std::array<int, 3>> requests;
        for (const Sent& s : sent) {
            if (s.id == msg::APPLICATION_COMPONENT_INFO_REQUEST) {
                const auto r = ComponentInfoRequest::fromPayload(s.payload);
                requests.push_back({s.id, r.get(ComponentInfoRequest::kComponentIndex), 0});
            } else {
                const auto r = BlockRequest::fromPayload(s.payload);
                requests.push_back({s.id, r.get(BlockRequest::kComponentIndex),
                                    r.get(BlockRequest::kBlockNumber)});
            }
        }
        const std::vector<std::array<int, 3>> expected{
            {msg::APPLICATION_COMPONENT_INFO_REQUEST, 0, 0},
            {msg::APPLICATION_COMPONENT_BLOCK_REQUEST, 0, 0},
            {msg::APPLICATION_COMPONENT_BLOCK_REQUEST, 0, 1},
            {msg::APPLICATION_COMPONENT_INFO_REQUEST, 1, 0},
            {msg::APPLICATION_COMPONENT_BLOCK_REQUEST, 1, 0},
        };
        EXPECT_EQ(requests, expected);

        const fs::path folder = h.expectedFolder();
        EXPECT_EQ(h.sub.DownloadFolder(), folder);
        EXPECT_EQ(modeOf(folder), 0700u);
        EXPECT_EQ(readFile(folder / "mirx-admin.bin"), files[0].content);
        EXPECT_EQ(readFile(folder / "setup.sh"), files[1].content);

        ASSERT_EQ(h.launches.size(), 1u);
        EXPECT_EQ(h.launches[0].installer, folder / "setup.sh");
        EXPECT_EQ(h.launches[0].arguments, c.arguments);
        EXPECT_EQ(h.launches[0].modeAtLaunch, 0700u);
        EXPECT_EQ(h.log.contains("ERROR: CServerConnectionUpdateSubHandler::LaunchUpdateInstaller: "
                                 "Failed to spawn " +
                                 (folder / "setup.sh").string() + ". (8)"),
                  !c.launchSucceeds);

        EXPECT_TRUE(h.sub.DownloadFinished());
        EXPECT_TRUE(h.sub.DownloadSucceeded());
        EXPECT_EQ(h.link.State(), CConnectionHandler::kIdle);
        EXPECT_TRUE(h.link.DisconnectRequested());
        EXPECT_EQ(h.sub.FileName(), "setup.sh");
        EXPECT_EQ(h.sub.FileSize(), 100u);
        // A component's last block completes it rather than counting a step.
        EXPECT_EQ(h.sub.BlocksReceived(), 1u);
        EXPECT_TRUE(h.log.contains("{-}: Received APPLICATION_COMPONENT_INFO_RESPONSE "
                                   "(Component: 1, File Name: setup.sh, File Size: 100)"));
    }
}

TEST(UpdateExchange, ReRequestsTheExpectedBlockAfterAWrongOne) {
    Harness h;
    const std::vector<Component> files{{"big.bin", pattern(3 * kBlockDataSize - 10, 3)}};
    h.offerDownload(files);
    h.sub.StartDownload();
    for (int i = 0; i < 3; ++i) { // component info, blocks 0 and 1
        h.stepAndAnswer(files);
    }
    h.sub.Step();
    ASSERT_EQ(h.take().size(), 1u); // block 2 requested
    const fs::path file = h.expectedFolder() / "big.bin";
    ASSERT_EQ(fs::file_size(file), 2 * kBlockDataSize);

    h.deliver(msg::APPLICATION_COMPONENT_BLOCK_RESPONSE, encodeBlockResponse(3, pattern(50, 9)));

    EXPECT_TRUE(h.log.contains(std::string("[") + kPeer +
                               "] ERROR: Not the Block expected ... re-requesting last block"));
    EXPECT_EQ(h.link.State(), Sub::kSendBlockRequest);
    EXPECT_EQ(fs::file_size(file), 2 * kBlockDataSize);
    h.sub.Step();
    const std::vector<Sent> again = h.take();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].payload, bytesOf(BlockRequest::make(0, 2)));
}

TEST(UpdateExchange, CancelTakesEffectAtTheNextBlock) {
    Harness h;
    const std::vector<Component> files{{"big.bin", pattern(2 * kBlockDataSize, 4)}};
    h.offerDownload(files);
    h.sub.StartDownload();
    h.stepAndAnswer(files); // component info
    h.sub.Step();           // block 0 requested
    const std::vector<Sent> block0 = h.take();
    ASSERT_EQ(block0.size(), 1u);

    h.sub.Cancel();
    h.answer(files, block0[0]);
    const fs::path file = h.expectedFolder() / "big.bin";
    EXPECT_EQ(readFile(file),
              Bytes(files[0].content.begin(), files[0].content.begin() + kBlockDataSize));
    EXPECT_EQ(h.link.State(), Sub::kSendBlockRequest);

    h.stepAndAnswer(files); // block 1 arrives and is dropped
    EXPECT_EQ(h.link.State(), Sub::kLogin);
    // With the half-written component and its folder.
    EXPECT_FALSE(fs::exists(h.expectedFolder()));
    EXPECT_FALSE(h.sub.DownloadFinished());
    EXPECT_FALSE(h.link.DisconnectRequested());
    EXPECT_TRUE(h.launches.empty());
}

TEST(UpdateExchange, CancelPendingAtTheEndStartsNoInstaller) {
    Harness h;
    const std::vector<Component> files{{"setup.sh", pattern(100, 5), kLaunchInstaller}};
    h.offerDownload(files);
    h.sub.StartDownload();
    h.stepAndAnswer(files);
    h.sub.Cancel();
    h.stepAndAnswer(files); // the one and only block
    EXPECT_EQ(h.link.State(), Sub::kLogin);
    EXPECT_TRUE(h.launches.empty());
    EXPECT_FALSE(fs::exists(h.expectedFolder()));
    EXPECT_FALSE(h.sub.DownloadFinished());
}

TEST(UpdateExchange, CountsAStatedBlockEvenWhenNothingCouldBeWritten) {
    Harness h;
    h.offerUpdate(5, 2);
    h.sub.StartDownload();
    h.sub.Step();
    h.take();
    h.deliver(msg::APPLICATION_COMPONENT_INFO_RESPONSE,
              bytesOf(ComponentInfoResponse::make("short.bin", 5, kLaunchPlainFile)));
    h.sub.Step();
    h.take();
    // The head says 5 bytes, the payload carries none of them.
    BlockResponseHead head;
    head.set(BlockResponseHead::kBlockNumber, 0);
    head.set(BlockResponseHead::kByteCount, 5);
    h.deliver(msg::APPLICATION_COMPONENT_BLOCK_RESPONSE, bytesOf(head));

    EXPECT_TRUE(h.log.contains("Error 0 writing file"));
    EXPECT_EQ(fs::file_size(h.expectedFolder() / "short.bin"), 0u);
    EXPECT_EQ(h.link.State(), Sub::kSendComponentInfoRequest); // on to component 1
}

// ------------------------------------------------------------ folder and names

struct FolderCase {
    const char* what;
    // Puts something where the download folder goes; empty: nothing.
    void (*prepare)(const fs::path& folder);
    bool accepted;
};

TEST(UpdateExchange, TakesOnlyAPrivateFolderOfOurOwn) {
    const FolderCase cases[] = {
        {"fresh", nullptr, true},
        {"ours, 0700", [](const fs::path& f) { ::mkdir(f.c_str(), 0700); }, true},
        {"ours, 0755",
         [](const fs::path& f) {
             ::mkdir(f.c_str(), 0700);
             ::chmod(f.c_str(), 0755);
         },
         false},
        {"a plain file", [](const fs::path& f) { std::ofstream(f) << "x"; }, false},
        {"a link to a private folder",
         [](const fs::path& f) {
             const fs::path target = f.parent_path() / "elsewhere";
             ::mkdir(target.c_str(), 0700);
             fs::create_directory_symlink(target, f);
         },
         false},
    };
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.what);
        Harness h;
        h.offerUpdate(100, 1);
        const fs::path folder = h.expectedFolder();
        if (c.prepare != nullptr) {
            c.prepare(folder);
        }
        h.sub.StartDownload();
        h.sub.Step();
        const std::vector<Sent> sent = h.take();
        const std::string refusal =
            std::string("[") + kPeer + "] ERROR: Unable to create temporary download directory!";
        if (c.accepted) {
            EXPECT_EQ(h.link.State(), Sub::kAwaitComponentInfo);
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(sent[0].payload, bytesOf(ComponentInfoRequest::make(0)));
            EXPECT_EQ(modeOf(folder), 0700u);
            EXPECT_FALSE(h.log.contains(refusal));
        } else {
            EXPECT_EQ(h.link.State(), Sub::kLogin);
            EXPECT_TRUE(sent.empty());
            EXPECT_TRUE(h.log.contains(refusal));
        }
    }
}

TEST(UpdateExchange, RefusesAFolderUnderAMissingRoot) {
    Harness h;
    h.offerUpdate(100, 1);
    fs::remove_all(h.root.path());
    h.sub.StartDownload();
    h.sub.Step();
    EXPECT_EQ(h.link.State(), Sub::kLogin);
    EXPECT_TRUE(h.log.contains("ERROR: Unable to create temporary download directory!"));
}

struct NameCase {
    std::string name;
    int error;
};

TEST(UpdateExchange, KeepsComponentFilesInsideTheFolder) {
    const NameCase cases[] = {
        {"../escape.bin", EINVAL},
        {"sub/file.bin", EINVAL},
        {"/tmp/abs.bin", EINVAL},
        {"..", EINVAL},
        {"", EINVAL},
        {".", EISDIR}, // allowed by name, refused by the file system
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        const std::vector<Component> files{{c.name, pattern(100, 6), kLaunchInstaller}};
        h.offerDownload(files);
        h.sub.StartDownload();
        h.serve(files);

        const fs::path folder = h.expectedFolder();
        EXPECT_TRUE(h.log.contains("Error " + std::to_string(c.error) + " opening file " +
                                   folder.string() + "/" + c.name));
        EXPECT_TRUE(h.sub.DownloadFinished());
        EXPECT_FALSE(h.sub.DownloadSucceeded());
        EXPECT_EQ(h.link.State(), CConnectionHandler::kIdle);
        EXPECT_TRUE(h.link.DisconnectRequested());
        EXPECT_TRUE(h.launches.empty());
        // The failed download's folder is gone with it.
        EXPECT_FALSE(fs::exists(folder));
        EXPECT_FALSE(fs::exists(h.root.path() / "escape.bin"));
    }
}

TEST(UpdateExchange, AFailedDownloadKeepsAFolderItDidNotMake) {
    Harness h;
    const std::vector<Component> files{{"../escape.bin", pattern(100, 6), kLaunchInstaller}};
    h.offerDownload(files);
    const fs::path folder = h.expectedFolder();
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    std::ofstream(folder / "kept.txt") << "someone's";
    h.sub.StartDownload();
    h.serve(files);
    EXPECT_FALSE(h.sub.DownloadSucceeded());
    EXPECT_TRUE(fs::exists(folder / "kept.txt"));
}

TEST(UpdateExchange, IgnoresAnswersItIsNotWaitingFor) {
    Harness h;
    h.link.SetState(Sub::kLogin);
    h.deliver(msg::APPLICATION_COMPATIBILITY_RESPONSE,
              bytesOf(CompatibilityResponse::make(kServerId, kServer561, 0, 0)));
    h.deliver(msg::APPLICATION_INFO_RESPONSE, bytesOf(InfoResponse::make(kNewVersion, 1, 1, 0)));
    h.deliver(msg::APPLICATION_COMPONENT_INFO_RESPONSE,
              bytesOf(ComponentInfoResponse::make("x.bin", 10, 0)));
    h.deliver(msg::APPLICATION_COMPONENT_BLOCK_RESPONSE, encodeBlockResponse(0, pattern(10, 7)));

    EXPECT_EQ(h.link.State(), Sub::kLogin);
    EXPECT_FALSE(h.link.DisconnectRequested());
    EXPECT_FALSE(h.sub.CheckFinished());
    EXPECT_EQ(h.sub.FileName(), "");
    EXPECT_TRUE(fs::is_empty(h.root.path()));
}

// ------------------------------------------------------------------- launching

std::vector<std::string> readLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(LaunchDetached, RunsTheProgramInASessionOfItsOwn) {
    TempFolder dir;
    const fs::path script = dir.path() / "record.sh";
    const fs::path out = dir.path() / "argv.txt";
    {
        std::ofstream s(script);
        // Arguments, then the session id; renamed into place when complete.
        s << "#!/bin/sh\n"
          << "{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done\n"
          << "  cut -d' ' -f6 /proc/$$/stat; } > '" << out.string() << ".tmp'\n"
          << "mv '" << out.string() << ".tmp' '" << out.string() << "'\n";
    }
    ::chmod(script.c_str(), 0600); // LaunchDetached makes it executable

    const std::vector<std::string> args{"/Profile", "Site A", ""};
    ASSERT_TRUE(LaunchDetached(script, args));
    ASSERT_TRUE(test::waitUntil([&] { return fs::exists(out); }));

    std::vector<std::string> lines = readLines(out);
    ASSERT_EQ(lines.size(), args.size() + 1);
    EXPECT_NE(lines.back(), std::to_string(::getsid(0)));
    lines.pop_back();
    EXPECT_EQ(lines, args);
    EXPECT_NE(modeOf(script) & S_IXUSR, 0u);
}

TEST(LaunchDetached, ReportsWhyTheProgramDidNotStart) {
    TempFolder dir;
    const fs::path text = dir.path() / "not-a-program";
    std::ofstream(text) << "plain words\n";
    ::mkdir((dir.path() / "folder").c_str(), 0700);

    const NameCase cases[] = {
        {"missing", ENOENT},
        {"not-a-program", ENOEXEC}, // found out only by exec, in the child
        {"folder", EACCES},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name);
        errno = 0;
        EXPECT_FALSE(LaunchDetached(dir.path() / c.name, {}));
        EXPECT_EQ(errno, c.error);
    }
}

TEST(LaunchEnvironment, TemporaryRootFollowsTmpdir) {
    const char* saved = std::getenv("TMPDIR");
    const std::optional<std::string> restore =
        saved != nullptr ? std::optional<std::string>(saved) : std::nullopt;
    const struct {
        const char* value; // nullptr: unset
        const char* root;
    } cases[] = {
        {nullptr, "/tmp"},
        {"", "/tmp"},
        {"relative/dir", "/tmp"},
        {"/var/tmp/mirx", "/var/tmp/mirx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value != nullptr ? c.value : "(unset)");
        if (c.value != nullptr) {
            ::setenv("TMPDIR", c.value, 1);
        } else {
            ::unsetenv("TMPDIR");
        }
        EXPECT_EQ(temporaryRoot(), fs::path(c.root));
    }
    if (restore) {
        ::setenv("TMPDIR", restore->c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

TEST(LaunchEnvironment, OwnCommandLineNamesTheRunningProgram) {
    const char* const argv[] = {"whatever-argv0-says", "/Profile", "Site A"};
    const std::vector<std::string> line = ownCommandLine(3, argv);
    ASSERT_EQ(line.size(), 3u);
    EXPECT_TRUE(fs::path(line[0]).is_absolute());
    EXPECT_EQ(fs::path(line[0]).filename(), "test_link_update");
    EXPECT_EQ(line[1], "/Profile");
    EXPECT_EQ(line[2], "Site A");
}

TEST(DownloadFolderName, ShowsVersionAndTickInHex) {
    EXPECT_EQ(downloadFolderName(0x61000050, 0x1234), "MSA_Update_0x61000050_(00001234)");
    EXPECT_EQ(downloadFolderName(0, 0xFFFFFFFF), "MSA_Update_0x00000000_(ffffffff)");
}

// ------------------------------------------------------------------ passwords

constexpr const char* kStored = "/login_password_stored";

struct PasswordArgumentsCase {
    const char* what;
    std::vector<std::string> line;
    std::vector<std::string> passedOn;
};

void PrintTo(const PasswordArgumentsCase& c, std::ostream* os) {
    *os << c.what;
}

class PasswordArguments : public ::testing::TestWithParam<PasswordArgumentsCase> {};

TEST_P(PasswordArguments, NeverReachTheInstaller) {
    EXPECT_EQ(withoutPasswordArguments(GetParam().line), GetParam().passedOn);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PasswordArguments,
    ::testing::Values(
        PasswordArgumentsCase{
            "SlashForm", {"/p", "/login_password", "pw", "/Debug"}, {"/p", kStored, "/Debug"}},
        PasswordArgumentsCase{"DashForm", {"/p", "--login-password", "pw"}, {"/p", kStored}},
        PasswordArgumentsCase{
            "InlineValue", {"/p", "--login-password=pw", "x"}, {"/p", kStored, "x"}},
        PasswordArgumentsCase{
            "InlineEmptyValue", {"/p", "--login-password=", "x"}, {"/p", kStored, "x"}},
        PasswordArgumentsCase{
            "AnyCase", {"/p", "/LOGIN_Password", "pw", "--Login-Password=pw"}, {"/p", kStored}},
        PasswordArgumentsCase{
            "LastWithoutValue", {"/p", "x", "/login_password"}, {"/p", "x", kStored}},
        PasswordArgumentsCase{"ValueLooksLikeAnOption",
                              {"/p", "/login_password", "/Debug", "y"},
                              {"/p", kStored, "y"}},
        PasswordArgumentsCase{
            "TwoPasswords",
            {"/p", "/login_password", "a", "/Profile", "S", "--login-password", "b"},
            {"/p", kStored, "/Profile", "S"}},
        // An installer's standard input is /dev/null: nothing to read there.
        PasswordArgumentsCase{"StandardInput",
                              {"/p", "/login_name", "n", "/LOGIN_PASSWORD_STDIN",
                               "--password-stdin", "--login-password-stdin"},
                              {"/p", "/login_name", "n", kStored}},
        PasswordArgumentsCase{"SimilarNamesPass",
                              {"/p", "/login_password_file", "f", "/login_name", "n",
                               "--login-passwords", "z", "/login_password_stored"},
                              {"/p", "/login_password_file", "f", "/login_name", "n",
                               "--login-passwords", "z", "/login_password_stored"}},
        PasswordArgumentsCase{"SlashFormTakesNoInlineValue",
                              {"/p", "/login_password=pw"},
                              {"/p", "/login_password=pw"}},
        PasswordArgumentsCase{
            "ProgramPathIsKept", {"/login_password", "a"}, {"/login_password", "a"}},
        PasswordArgumentsCase{"Empty", {}, {}}),
    [](const auto& tc) { return std::string(tc.param.what); });

} // namespace
} // namespace mirx::link
