#include "link/update_exchange.h"

#include "core/clock.h"
#include "core/debug_log.h"
#include "link/app_version.h"
#include "link/installer_launcher.h"
#include "link/message_catalogue.h"
#include "link/update_records.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace mirx::link {

namespace {

constexpr std::string_view kFolderPrefix = "MSA";
constexpr mode_t kPrivateDirMode = 0700;
constexpr mode_t kComponentFileMode = 0600;
constexpr mode_t kInstallerMode = 0700;

std::span<const std::uint8_t> bytesOf(const std::uint8_t* payload, std::size_t length) {
    return payload != nullptr ? std::span<const std::uint8_t>(payload, length)
                              : std::span<const std::uint8_t>{};
}

template <typename Record>
bool post(CConnectionHandler& link, std::uint16_t id, const Record& record) {
    return link.CurrentQueue().PostCopy(id, 0, record.data(), Record::kSize);
}

} // namespace

std::string downloadFolderName(std::uint32_t newVersion, std::uint32_t tick) {
    char name[64];
    std::snprintf(name, sizeof name, "%s_Update_0x%08x_(%08x)", kFolderPrefix.data(), newVersion,
                  tick);
    return name;
}

bool prepareDownloadFolder(const std::filesystem::path& folder, bool& created) {
    created = false;
    if (::mkdir(folder.c_str(), kPrivateDirMode) == 0) {
        created = true;
        // The umask may have taken bits from the owner as well.
        return ::chmod(folder.c_str(), kPrivateDirMode) == 0;
    }
    if (errno != EEXIST) {
        return false;
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        errno = EACCES;
        return false;
    }
    return true;
}

bool isSafeComponentName(std::string_view name) {
    return !name.empty() && name.find('/') == std::string_view::npos &&
           name.find("..") == std::string_view::npos;
}

CServerConnectionUpdateSubHandler::CServerConnectionUpdateSubHandler(CConnectionHandler& link,
                                                                     Environment env)
    : link_(link)
    , env_(std::move(env)) {
    if (!env_.launch) {
        env_.launch = LaunchDetached;
    }
}

CServerConnectionUpdateSubHandler::~CServerConnectionUpdateSubHandler() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void CServerConnectionUpdateSubHandler::Reset() {
    // A download cut off with the last connection leaves its file open.
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    updateAvailable_.store(false, std::memory_order_release);
    checkFinished_.store(false, std::memory_order_release);
    downloadFinished_.store(false, std::memory_order_release);
    downloadSucceeded_.store(false, std::memory_order_release);
    cancelRequested_.store(false, std::memory_order_release);
    installerStarted_.store(false, std::memory_order_release);
    std::lock_guard lock(textLock_);
    downloadProblem_.clear();
}

std::string CServerConnectionUpdateSubHandler::DownloadProblem() const {
    std::lock_guard lock(textLock_);
    return downloadProblem_;
}

bool CServerConnectionUpdateSubHandler::AwaitingAnswer() const {
    const int state = link_.State();
    return state == kAwaitCompatibility || state == kAwaitInfo || state == kAwaitComponentInfo ||
           state == kAwaitBlock;
}

std::uint32_t CServerConnectionUpdateSubHandler::MsUntilPollDue() const {
    switch (link_.State()) {
    case kSendCompatibilityRequest:
    case kSendInfoRequest:
    case kSendComponentInfoRequest:
    case kSendBlockRequest:
        return 0; // the next Step sends
    case kAwaitUser:
        return pollTimer_.remaining();
    default:
        return CConnectionHandler::kNoPollDue;
    }
}

void CServerConnectionUpdateSubHandler::discardDownload() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    // Half an update is of no use to anyone; a folder we did not make stays.
    if (folderMade_) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        folderMade_ = false;
    }
}

void CServerConnectionUpdateSubHandler::failDownload(std::string problem) {
    log::print("[%s] ERROR: %s", link_.PeerText().c_str(), problem.c_str());
    discardDownload();
    {
        std::lock_guard lock(textLock_);
        downloadProblem_ = std::move(problem);
    }
    downloadSucceeded_.store(false, std::memory_order_release);
    downloadFinished_.store(true, std::memory_order_release);
}

void CServerConnectionUpdateSubHandler::OnLinkEnded(std::string_view reason) {
    const int state = link_.State();
    if (state >= kSendComponentInfoRequest && state <= kAwaitBlock && !DownloadFinished()) {
        failDownload("The update download stopped: " + std::string(reason));
    }
}

std::string CServerConnectionUpdateSubHandler::FileName() const {
    std::lock_guard lock(textLock_);
    return fileName_;
}

std::filesystem::path CServerConnectionUpdateSubHandler::DownloadFolder() const {
    std::lock_guard lock(textLock_);
    return downloadFolder_;
}

bool CServerConnectionUpdateSubHandler::StartDownload() {
    std::lock_guard lock(stateLock_);
    const int state = link_.State();
    if (state < kSendInfoRequest || state > kAwaitUser) {
        return false;
    }
    componentIndex_.store(0, std::memory_order_release);
    link_.SetState(kSendComponentInfoRequest);
    link_.Wake();
    return true;
}

bool CServerConnectionUpdateSubHandler::Decline() {
    std::lock_guard lock(stateLock_);
    const int state = link_.State();
    if (state < kSendInfoRequest || state > kAwaitUser) {
        return false;
    }
    link_.SetState(kLogin);
    link_.Wake();
    return true;
}

void CServerConnectionUpdateSubHandler::Step() {
    switch (link_.State()) {
    case kSendCompatibilityRequest:
        post(link_, msg::APPLICATION_COMPATIBILITY_REQUEST,
             CompatibilityRequest::make(kConsoleApplicationId, env_.consoleVersion));
        compatible_.store(false, std::memory_order_release);
        updateAvailable_.store(false, std::memory_order_release);
        link_.SetState(kAwaitCompatibility);
        break;
    case kSendInfoRequest: {
        std::lock_guard lock(stateLock_);
        if (link_.State() == kSendInfoRequest) {
            post(link_, msg::APPLICATION_INFO_REQUEST, InfoRequest::make());
            link_.SetState(kAwaitInfo);
        }
        break;
    }
    case kAwaitUser: {
        std::lock_guard lock(stateLock_);
        if (link_.State() == kAwaitUser && pollTimer_.expired()) {
            link_.SetState(kSendInfoRequest);
        }
        break;
    }
    case kSendComponentInfoRequest:
        requestComponent();
        break;
    case kSendBlockRequest:
        post(link_, msg::APPLICATION_COMPONENT_BLOCK_REQUEST,
             BlockRequest::make(componentIndex_.load(std::memory_order_acquire), blockNumber_));
        link_.SetState(kAwaitBlock);
        break;
    default:
        break;
    }
}

void CServerConnectionUpdateSubHandler::requestComponent() {
    const std::uint16_t index = componentIndex_.load(std::memory_order_acquire);
    if (index == 0) {
        folder_ = env_.tempRoot / downloadFolderName(NewVersion(), tickNow());
        installerPath_.clear();
        launchMode_ = kLaunchPlainFile;
        {
            std::lock_guard lock(textLock_);
            downloadFolder_ = folder_;
        }
        if (!prepareDownloadFolder(folder_, folderMade_)) {
            const int error = errno;
            log::print("[%s] ERROR: Unable to create temporary download directory!",
                       link_.PeerText().c_str());
            // The login goes on without the update.
            failDownload("The update could not be stored: the folder " + folder_.native() +
                         " was refused (" + std::strerror(error) + ").");
            link_.SetState(kLogin);
            return;
        }
    }
    post(link_, msg::APPLICATION_COMPONENT_INFO_REQUEST, ComponentInfoRequest::make(index));
    link_.SetState(kAwaitComponentInfo);
}

void CServerConnectionUpdateSubHandler::OnMessage(std::uint16_t messageId,
                                                  std::uint16_t /*secondValue*/,
                                                  const std::uint8_t* payload, std::size_t length) {
    switch (messageId) {
    case msg::APPLICATION_ID: {
        const auto id = ApplicationId::fromPayload(bytesOf(payload, length));
        const std::uint32_t version = id.get(ApplicationId::kPackedVersion);
        log::print("{-}: Received APPLICATION_ID (Identifier: %d, Version: %d)",
                   static_cast<int>(id.get(ApplicationId::kIdentifier)), static_cast<int>(version));
        serverVersion_.store(version, std::memory_order_release);
        break;
    }
    case msg::APPLICATION_COMPATIBILITY_RESPONSE:
        onCompatibilityResponse(payload, length);
        break;
    case msg::APPLICATION_INFO_RESPONSE:
        onInfoResponse(payload, length);
        break;
    case msg::APPLICATION_COMPONENT_INFO_RESPONSE:
        onComponentInfoResponse(payload, length);
        break;
    case msg::APPLICATION_COMPONENT_BLOCK_RESPONSE:
        onBlockResponse(payload, length);
        break;
    default:
        // Our own requests coming back, or an ID we have no use for.
        msg::reportNotRecognized(link_.PeerText(), messageId, length);
        break;
    }
}

void CServerConnectionUpdateSubHandler::ignoreOutOfTurn(std::uint16_t messageId) const {
    const std::string name(msg::messageName(messageId));
    log::print("[%s] %s ignored: not awaited in state %d", link_.PeerText().c_str(), name.c_str(),
               link_.State());
}

void CServerConnectionUpdateSubHandler::onCompatibilityResponse(const std::uint8_t* payload,
                                                                std::size_t length) {
    if (link_.State() != kAwaitCompatibility) {
        ignoreOutOfTurn(msg::APPLICATION_COMPATIBILITY_RESPONSE);
        return;
    }
    const CompatibilityVerdict verdict = judgeCompatibility(bytesOf(payload, length));
    if (verdict.carriesVersion) {
        log::print("{-}: Received APPLICATION_COMPATIBILITY_RESPONSE (Compatible: %d, Update "
                   "Available: %d)",
                   verdict.statedCompatible, verdict.statedUpdateAvailable);
        serverVersion_.store(verdict.serverVersion, std::memory_order_release);
    }
    const bool compatible = verdict.compatible != 0;
    const bool update = verdict.updateAvailable == 1;
    compatible_.store(compatible, std::memory_order_release);
    updateAvailable_.store(update, std::memory_order_release);
    if (update) {
        link_.SetState(kSendInfoRequest);
        return;
    }
    checkFinished_.store(true, std::memory_order_release);
    if (compatible) {
        link_.SetState(kLogin);
    } else {
        endConnection();
    }
}

void CServerConnectionUpdateSubHandler::onInfoResponse(const std::uint8_t* payload,
                                                       std::size_t length) {
    std::lock_guard lock(stateLock_);
    if (link_.State() != kAwaitInfo) {
        ignoreOutOfTurn(msg::APPLICATION_INFO_RESPONSE);
        return;
    }
    const auto info = InfoResponse::fromPayload(bytesOf(payload, length));
    const std::uint32_t newVersion = info.get(InfoResponse::kNewVersion);
    const std::uint16_t components = info.get(InfoResponse::kComponentCount);
    const std::uint32_t totalSize = info.get(InfoResponse::kTotalSize);
    log::print("{-}: Received APPLICATION_INFO_RESPONSE (Version: 0x%08x, # of Components: %d)",
               newVersion, components);
    askUser_.store(info.get(InfoResponse::kAskUser) != 0, std::memory_order_release);
    newVersion_.store(newVersion, std::memory_order_release);
    componentCount_.store(components, std::memory_order_release);
    totalSize_.store(totalSize, std::memory_order_release);
    blocksReceived_.store(0, std::memory_order_release);
    totalBlocks_.store(totalBlocks(totalSize), std::memory_order_release);
    checkFinished_.store(true, std::memory_order_release);
    pollTimer_.start(kInfoPollIntervalMs);
    link_.SetState(kAwaitUser);
}

void CServerConnectionUpdateSubHandler::onComponentInfoResponse(const std::uint8_t* payload,
                                                                std::size_t length) {
    if (link_.State() != kAwaitComponentInfo) {
        ignoreOutOfTurn(msg::APPLICATION_COMPONENT_INFO_RESPONSE);
        return;
    }
    const auto info = ComponentInfoResponse::fromPayload(bytesOf(payload, length));
    const std::string name = info.get(ComponentInfoResponse::kFileName);
    const std::uint32_t size = info.get(ComponentInfoResponse::kFileSize);
    const std::uint8_t mode = info.get(ComponentInfoResponse::kLaunchMode);
    log::print("{-}: Received APPLICATION_COMPONENT_INFO_RESPONSE (Component: %d, File Name: %s, "
               "File Size: %d)",
               componentIndex_.load(std::memory_order_acquire), name.c_str(),
               static_cast<int>(size));

    // Joined as text: path's operator/ would let an absolute name replace
    // the folder, and the log should show what the server asked for.
    filePath_ = folder_.native() + "/" + name;
    fileNameSafe_ = isSafeComponentName(name);
    if (isInstaller(mode)) {
        installerPath_ = filePath_;
        launchMode_ = mode;
    }
    {
        std::lock_guard lock(textLock_);
        fileName_ = name;
    }
    fileSize_.store(size, std::memory_order_release);
    blockNumber_ = 0;
    bytesWritten_ = 0;
    link_.SetState(kSendBlockRequest);
}

void CServerConnectionUpdateSubHandler::onBlockResponse(const std::uint8_t* payload,
                                                        std::size_t length) {
    if (link_.State() != kAwaitBlock) {
        ignoreOutOfTurn(msg::APPLICATION_COMPONENT_BLOCK_RESPONSE);
        return;
    }
    const BlockResponse block = decodeBlockResponse(bytesOf(payload, length));
    if (block.blockNumber != blockNumber_) {
        log::print("[%s] ERROR: Not the Block expected ... re-requesting last block",
                   link_.PeerText().c_str());
        link_.SetState(kSendBlockRequest);
        return;
    }
    if (blockNumber_ == 0) {
        if (!openOutput()) {
            const int error = errno;
            log::print("Error %d opening file %s", error, filePath_.c_str());
            failDownload(fileNameSafe_ ? "The update could not be stored: " + filePath_.native() +
                                             " could not be written (" + std::strerror(error) + ")."
                                       : "The update was refused: the server named a component \"" +
                                             FileName() + "\", which is not a plain file name.");
            endConnection();
            return;
        }
    } else if (cancelRequested_.exchange(false, std::memory_order_acq_rel)) {
        discardDownload();
        link_.SetState(kLogin);
        return;
    }

    writeOutput(block.data.data(), block.data.size());
    // The stated count, even for a short payload: the server's sizes rule.
    bytesWritten_ += block.byteCount;
    if (bytesWritten_ < FileSize()) {
        ++blockNumber_;
        blocksReceived_.fetch_add(1, std::memory_order_acq_rel);
        link_.SetState(kSendBlockRequest);
        return;
    }

    closeOutput();
    const auto next = static_cast<std::uint16_t>(componentIndex_.load() + 1);
    componentIndex_.store(next, std::memory_order_release);
    if (next < ComponentCount()) {
        link_.SetState(kSendComponentInfoRequest);
        return;
    }
    // The user said stop while the last block was on its way: the installer
    // must not run against that.
    if (cancelRequested_.exchange(false, std::memory_order_acq_rel)) {
        discardDownload();
        link_.SetState(kLogin);
        return;
    }
    launchInstaller();
}

bool CServerConnectionUpdateSubHandler::openOutput() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!fileNameSafe_) {
        errno = EINVAL;
        return false;
    }
    fd_ = ::open(filePath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                 kComponentFileMode);
    return fd_ >= 0;
}

void CServerConnectionUpdateSubHandler::writeOutput(const std::uint8_t* data, std::size_t size) {
    std::size_t written = 0;
    int error = 0;
    while (fd_ >= 0 && written < size) {
        const ssize_t n = ::write(fd_, data + written, size - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            error = n < 0 ? errno : 0;
            break;
        }
    }
    if (written == 0) {
        log::print("Error %d writing file", 0);
    } else if (written < size) {
        log::print("Error %d writing file", error);
    }
}

void CServerConnectionUpdateSubHandler::closeOutput() {
    if (fd_ < 0) {
        return;
    }
    const int result = ::close(fd_);
    fd_ = -1;
    if (result != 0) {
        log::print("Error %d closing file", errno);
    }
}

void CServerConnectionUpdateSubHandler::launchInstaller() {
    if (installerPath_.empty()) {
        // Nothing would replace the console, so it must not end as if updated.
        failDownload("The update holds no installer: none of its " +
                     std::to_string(ComponentCount()) + " components is marked to be run.");
        endConnection();
        return;
    }
    bool started = false;
    int error = 0;
    {
        // Made executable here too, so any launcher finds it ready.
        ::chmod(installerPath_.c_str(), kInstallerMode);
        const std::vector<std::string> arguments =
            launchMode_ == kLaunchInstallerWithCommandLine
                ? withoutPasswordArguments(env_.relaunchArguments)
                : std::vector<std::string>{};
        errno = 0;
        started = env_.launch(installerPath_, arguments);
        error = errno;
    }
    if (!started) {
        log::print("ERROR: CServerConnectionUpdateSubHandler::LaunchUpdateInstaller: Failed to "
                   "spawn %s. (%d)",
                   installerPath_.c_str(), error);
        std::lock_guard lock(textLock_);
        downloadProblem_ = "The update was downloaded but its installer " +
                           installerPath_.native() + " did not start (" + std::strerror(error) +
                           ").";
    }
    installerStarted_.store(started, std::memory_order_release);
    // The console ends either way: what it downloaded is meant to replace it.
    downloadSucceeded_.store(true, std::memory_order_release);
    downloadFinished_.store(true, std::memory_order_release);
    endConnection();
}

void CServerConnectionUpdateSubHandler::endConnection() {
    link_.SetState(CConnectionHandler::kIdle);
    link_.RequestDisconnect();
}

} // namespace mirx::link
