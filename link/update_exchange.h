#pragma once

#include "core/elapsed_timer.h"
#include "link/connection_handler.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The identification and update exchange that opens every connection (handler
// states 0 to 8, message IDs 0 to 9): the console names itself, the server
// says whether it accepts it and whether it holds a newer console; a newer
// console is downloaded component by component into a private folder and its
// installer started, after which the console ends.

namespace mirx::link {

class CServerConnectionUpdateSubHandler {
public:
    // Handler states this exchange owns, and the one it hands over to.
    static constexpr int kSendCompatibilityRequest = 0;
    static constexpr int kAwaitCompatibility = 1;
    static constexpr int kSendInfoRequest = 2;
    static constexpr int kAwaitInfo = 3;
    static constexpr int kAwaitUser = 4;
    static constexpr int kSendComponentInfoRequest = 5;
    static constexpr int kAwaitComponentInfo = 6;
    static constexpr int kSendBlockRequest = 7;
    static constexpr int kAwaitBlock = 8;
    static constexpr int kLogin = 9;

    // While the update view asks the user the server is polled this often,
    // so the connection does not sit silent.
    static constexpr std::uint32_t kInfoPollIntervalMs = 1000;

    using LaunchFunction = std::function<bool(const std::filesystem::path& installer,
                                              const std::vector<std::string>& arguments)>;

    struct Environment {
        // $TMPDIR or /tmp, resolved by the caller (temporaryRoot()).
        std::filesystem::path tempRoot;
        // Ours, packed (link/app_version.h).
        std::uint32_t consoleVersion = 0;
        // The console's own command line: program path then its arguments
        // (ownCommandLine()); handed to an installer of launch mode 2 without
        // its password options (withoutPasswordArguments()).
        std::vector<std::string> relaunchArguments;
        // Starts the installer; false with errno set when it did not start.
        // Empty: LaunchDetached.
        LaunchFunction launch;
    };

    CServerConnectionUpdateSubHandler(CConnectionHandler& link, Environment env);
    ~CServerConnectionUpdateSubHandler();
    CServerConnectionUpdateSubHandler(const CServerConnectionUpdateSubHandler&) = delete;
    CServerConnectionUpdateSubHandler& operator=(const CServerConnectionUpdateSubHandler&) = delete;

    // --- connection thread ---

    // A new connection: forget the last one's outcome (the handler then sets
    // state 0).
    void Reset();
    // The poll step for states 0 to 8.
    void Step();
    // IDs 0 to 9. A response counts only in the state that waits for it, so a
    // late answer cannot pull the handler back into a step it has left.
    void OnMessage(std::uint16_t messageId, std::uint16_t secondValue, const std::uint8_t* payload,
                   std::size_t length);

    // --- any thread: what Connect and the update view read ---

    bool CheckFinished() const { return checkFinished_.load(std::memory_order_acquire); }
    bool Compatible() const { return compatible_.load(std::memory_order_acquire); }
    // Only an answer of exactly 1 offers an update.
    bool UpdateAvailable() const { return updateAvailable_.load(std::memory_order_acquire); }
    std::uint32_t ServerVersion() const { return serverVersion_.load(std::memory_order_acquire); }
    bool AskUser() const { return askUser_.load(std::memory_order_acquire); }
    std::uint32_t NewVersion() const { return newVersion_.load(std::memory_order_acquire); }
    std::uint32_t TotalSize() const { return totalSize_.load(std::memory_order_acquire); }
    std::uint16_t ComponentCount() const { return componentCount_.load(std::memory_order_acquire); }
    std::uint32_t TotalBlocks() const { return totalBlocks_.load(std::memory_order_acquire); }
    std::uint32_t BlocksReceived() const { return blocksReceived_.load(std::memory_order_acquire); }
    std::string FileName() const;
    std::uint32_t FileSize() const { return fileSize_.load(std::memory_order_acquire); }
    bool DownloadFinished() const { return downloadFinished_.load(std::memory_order_acquire); }
    // Meaningful once DownloadFinished(): true when every component arrived
    // and an installer was run, whether or not it started; the console then
    // ends.
    bool DownloadSucceeded() const { return downloadSucceeded_.load(std::memory_order_acquire); }
    bool InstallerStarted() const { return installerStarted_.load(std::memory_order_acquire); }
    // Why the download or the installer's start failed; empty when neither
    // did. Set before DownloadFinished() turns true.
    std::string DownloadProblem() const;
    // The answer the exchange waits for, if any (states 1, 3, 6, 8).
    bool AwaitingAnswer() const;
    // Connection thread: the link ended or gave up waiting while the
    // exchange was under way; a running download finishes as failed.
    void OnLinkEnded(std::string_view reason);
    // Connection thread: the next poll step that is due by time (the info
    // poll while the user is asked); CConnectionHandler::kNoPollDue if none.
    std::uint32_t MsUntilPollDue() const;
    // The folder of the current or last download; empty before the first.
    std::filesystem::path DownloadFolder() const;

    // --- the update view's actions ---

    // Start with component 0 / go on to the login without the update. Only
    // while the exchange waits on the user (states 2 to 4); false otherwise.
    bool StartDownload();
    bool Decline();
    // Honoured when the next block after a component's first arrives.
    void Cancel() { cancelRequested_.store(true, std::memory_order_release); }

private:
    void onCompatibilityResponse(const std::uint8_t* payload, std::size_t length);
    void onInfoResponse(const std::uint8_t* payload, std::size_t length);
    void onComponentInfoResponse(const std::uint8_t* payload, std::size_t length);
    void onBlockResponse(const std::uint8_t* payload, std::size_t length);
    void ignoreOutOfTurn(std::uint16_t messageId) const;

    void requestComponent();
    bool openOutput();
    void writeOutput(const std::uint8_t* data, std::size_t size);
    void closeOutput();
    void launchInstaller();
    void endConnection();
    // Ends a running download as failed with `problem`.
    void failDownload(std::string problem);
    // Closes the component file and removes the folder this download made.
    void discardDownload();

    CConnectionHandler& link_;
    Environment env_;

    // Orders the view's state changes against ours in states 2 to 4.
    std::mutex stateLock_;

    std::atomic<bool> checkFinished_{false};
    std::atomic<bool> compatible_{false};
    std::atomic<bool> updateAvailable_{false};
    std::atomic<std::uint32_t> serverVersion_{0};
    std::atomic<bool> askUser_{false};
    std::atomic<std::uint32_t> newVersion_{0};
    std::atomic<std::uint32_t> totalSize_{0};
    std::atomic<std::uint16_t> componentCount_{0};
    std::atomic<std::uint32_t> totalBlocks_{0};
    std::atomic<std::uint32_t> blocksReceived_{0};
    std::atomic<std::uint32_t> fileSize_{0};
    std::atomic<bool> downloadFinished_{false};
    std::atomic<bool> downloadSucceeded_{false};
    std::atomic<bool> cancelRequested_{false};
    std::atomic<bool> installerStarted_{false};
    std::atomic<std::uint16_t> componentIndex_{0};

    mutable std::mutex textLock_;
    std::string fileName_;                 // guarded by textLock_
    std::filesystem::path downloadFolder_; // guarded by textLock_
    std::string downloadProblem_;          // guarded by textLock_

    // Connection thread only.
    std::filesystem::path folder_;
    // folder_ was made for this download, so a failed one may remove it.
    bool folderMade_ = false;
    std::filesystem::path filePath_;
    bool fileNameSafe_ = false;
    std::filesystem::path installerPath_;
    std::uint8_t launchMode_ = 0;
    std::uint16_t blockNumber_ = 0;
    std::uint32_t bytesWritten_ = 0;
    int fd_ = -1;
    CElapsedTimer pollTimer_;
};

// "MSA_Update_0x%08x_(%08x)": the new version and the tick the download began.
std::string downloadFolderName(std::uint32_t newVersion, std::uint32_t tick);

// Creates `folder` with mode 0700. An existing one is taken only when it is a
// real directory (not a link) owned by us that nobody else may enter, since
// the installer is run from it. False with errno set otherwise; `created`
// says whether this call made it.
bool prepareDownloadFolder(const std::filesystem::path& folder, bool& created);

// A component name the server sends is used as one plain name inside the
// download folder: not empty, no '/', no "..".
bool isSafeComponentName(std::string_view name);

} // namespace mirx::link
