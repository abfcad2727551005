#include "sim/protocol.h"

#include "core/clock.h"
#include "core/debug_log.h"
#include "link/app_version.h"
#include "link/login_records.h"
#include "link/message_catalogue.h"
#include "link/update_records.h"
#include "model/client_types.h"
#include "model/log_records.h"
#include "model/sound_files.h"
#include "model/statistics.h"
#include "model/ui_settings.h"
#include "sim/log_text.h"
#include "sim/sip_registrar.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace mirx::sim {

using namespace mirx::site;

namespace {

using Payload = std::span<const std::uint8_t>;
using Frame = wire::FrameView;

constexpr std::size_t kAnyLength = std::numeric_limits<std::size_t>::max();
constexpr std::uint16_t kDefaultRecord = model::kDefaultRecordSecondValue;
constexpr std::uint16_t kSipDefaultRecord = model::kSipDefaultOptionsSecondValue;
constexpr std::uint16_t kLabelReset = 0xFFFF;

// Clients whose records still equal the prior defaults follow new ones only
// when the console asks for it with this second value.
constexpr std::uint16_t kApplyToPriorDefaults = 1;

// Logs are sent in chunks of at most this many lines.
constexpr std::size_t kLogChunkLines = 40;
// Beyond this the oldest lines are dropped, a block at a time.
constexpr std::size_t kMaxLogLines = 10000;
constexpr std::size_t kLogTrimLines = 1000;

// A restarting server answers nothing and drops its connection a moment
// later.
constexpr std::uint64_t kRestartCloseDelayMs = 500;

// Audio bytes per delivered packet, for the byte counters.
constexpr std::uint32_t kBytesPerPacket = 160;

// What the incompatible-version switch reports: one below the oldest
// version the console accepts.
constexpr link::AppVersion kTooOldVersion{5, 6, 0, 0, link::kPlatformLinux, 0};

std::int64_t wallSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// 0 for a client the site has no label for: it reads as a panel.
int clientTypeOf(const Site& site, const std::map<int, int>& clientLabels, int index) {
    const auto found = clientLabels.find(index);
    return found != clientLabels.end()
               ? site.labels.at(found->second).get(model::LabelInfo::kClientType)
               : 0;
}

int clientTypeOf(const Site& site, int index) {
    return clientTypeOf(site, site.clientLabels(), index);
}

// Names of files the console uploads end up in our folder: nothing that
// could leave it.
bool isSafeFileName(std::string_view name) {
    if (name.empty() || name.find("..") != std::string_view::npos) {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
    });
}

template <typename Record>
bool samePrefix(const Record& a, const Record& b, std::size_t length) {
    return std::equal(a.bytes.begin(), a.bytes.begin() + static_cast<std::ptrdiff_t>(length),
                      b.bytes.begin());
}

// Where a console's pull of one log stands. Chunks go newest first, then
// back in time, then forward with lines written since. Every stamp is
// chosen so that the console's "older than anything shown" rule files the
// chunk where it belongs.
struct LogCursor {
    bool open = false;
    std::size_t back = 0;    // lines [0, back) still to send going back
    std::size_t forward = 0; // lines [forward, end) written since the pull began
    std::int64_t lowestStamp = std::numeric_limits<std::int64_t>::max();

    void reset() { *this = LogCursor{}; }
    bool stamped() const { return lowestStamp != std::numeric_limits<std::int64_t>::max(); }
};

std::vector<std::uint8_t> nextLogChunk(const std::vector<LogLine>& lines, LogCursor& cursor) {
    if (!cursor.open) {
        cursor.open = true;
        cursor.back = cursor.forward = lines.size();
    }
    if (cursor.back > 0) {
        const std::size_t begin = cursor.back - std::min(cursor.back, kLogChunkLines);
        std::int64_t stamp = lines[begin].time;
        if (cursor.stamped()) {
            stamp = std::min(stamp, cursor.lowestStamp - 1);
        }
        cursor.lowestStamp = stamp;
        const std::string text = logLinesText(lines, begin, cursor.back);
        cursor.back = begin;
        return model::encodeLogChunk(stamp, text);
    }
    if (cursor.forward < lines.size()) {
        const std::size_t end = std::min(lines.size(), cursor.forward + kLogChunkLines);
        std::int64_t stamp = lines[end - 1].time;
        if (cursor.stamped()) {
            stamp = std::max(stamp, cursor.lowestStamp + 1);
        } else {
            cursor.lowestStamp = stamp;
        }
        const std::string text = logLinesText(lines, cursor.forward, end);
        cursor.forward = end;
        return model::encodeLogChunk(stamp, text);
    }
    // Nothing new: time only. Its stamp must not make later chunks look old.
    std::int64_t stamp = wallSeconds();
    if (cursor.stamped()) {
        stamp = cursor.lowestStamp;
    } else {
        cursor.lowestStamp = stamp;
    }
    return model::encodeLogChunk(stamp, {});
}

void appendLogLine(std::vector<LogLine>& lines, std::string text,
                   std::initializer_list<LogCursor*> cursors) {
    lines.push_back(LogLine{wallSeconds(), std::move(text)});
    if (lines.size() <= kMaxLogLines) {
        return;
    }
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(kLogTrimLines));
    for (LogCursor* cursor : cursors) {
        cursor->back -= std::min(cursor->back, kLogTrimLines);
        cursor->forward -= std::min(cursor->forward, kLogTrimLines);
    }
}

// A client's statistics since the last reset. Packets are counted as sent;
// the configured loss decides how many of them count as delivered.
struct ClientCounters {
    std::uint64_t packets = 0;
    std::int64_t lastChange = 0;
    std::int32_t disconnects = 0;
};

struct UpdateFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

} // namespace

struct SiteProtocol::Impl {
    using Handle = void (Impl::*)(SimConnection&, const Frame&);

    // Every message a console may send, with the payload lengths taken.
    struct Route {
        std::uint16_t id;
        bool beforeLogin; // also served before the login completed
        std::size_t minLength;
        std::size_t maxLength;
        Handle handle;
    };
    static const std::vector<Route>& routes();

    Impl(Site& s, ProtocolOptions o)
        : site(s)
        , options(std::move(o))
        , lastTick(tickNow())
        , startWall(wallSeconds())
        , upTimeBase(s.status.upTimeSeconds) {
        for (const auto& [index, behaviour] : site.behaviour) {
            ClientCounters& c = counters[index];
            c.lastChange = startWall;
            c.disconnects = behaviour.online ? 0 : 1;
        }
    }

    // --- time ---

    void updateClock() {
        const std::uint32_t now = tickNow();
        elapsedMs += now - lastTick; // modulo 2^32 across the wrap
        lastTick = now;
        const std::uint64_t seconds = elapsedMs / 1000;
        if (seconds > statisticsSeconds) {
            advanceStatistics(seconds - statisticsSeconds);
            statisticsSeconds = seconds;
        }
    }

    void advanceStatistics(std::uint64_t seconds) {
        statisticsStale = true;
        for (const auto& [index, behaviour] : site.behaviour) {
            if (behaviour.online) {
                counters[index].packets += std::uint64_t{behaviour.packetsPerSecond} * seconds;
            }
        }
    }

    std::int64_t upTimeSeconds() const {
        return upTimeBase + static_cast<std::int64_t>((elapsedMs - upTimeStartMs) / 1000);
    }

    // --- helpers ---

    void changed() {
        if (options.onSiteChanged) {
            options.onSiteChanged(site);
        }
    }

    void activity(std::string text) {
        appendLogLine(site.activityLog, std::move(text), {&activityCursor});
    }

    static void refuse(SimConnection& c, const Frame& f, const char* why) {
        const std::string name(msg::messageName(f.messageId));
        log::print("[%s] %s (%d) second=%d len=%zu: %s; ignored", c.peerText().c_str(),
                   name.c_str(), f.messageId, f.secondValue, f.payload.size(), why);
    }

    // A client index of local system 0, or nothing (logged).
    static std::optional<int> clientIndex(SimConnection& c, const Frame& f) {
        if (f.secondValue >= model::kClientsPerSystem) {
            refuse(c, f, "client index out of range");
            return std::nullopt;
        }
        return f.secondValue;
    }

    // A client index, or -1 for the default record.
    static std::optional<int> recordIndex(SimConnection& c, const Frame& f) {
        if (f.secondValue == kDefaultRecord) {
            return -1;
        }
        return clientIndex(c, f);
    }

    const model::ClientOptions& defaultOptionsFor(int index) const {
        return model::isSipDevice(clientTypeOf(site, index)) ? site.sipDefaultOptions
                                                             : site.defaultOptions;
    }

    // --- identification and update offer ---

    std::uint32_t announcedVersion(const FaultSwitches& faults) const {
        return faults.incompatibleVersion ? kTooOldVersion.pack() : site.serverVersion;
    }

    // The offer holds only when every file could be read.
    bool loadUpdate(SimConnection& c) {
        update.clear();
        std::uint64_t total = 0;
        for (const std::string& path : c.faults().offerUpdateFiles) {
            std::ifstream in(path, std::ios::binary);
            std::vector<std::uint8_t> bytes;
            if (in) {
                bytes.assign(std::istreambuf_iterator<char>(in), {});
            }
            if (!in.is_open() || in.bad()) {
                log::print("sim: cannot read update file %s; no update offered", path.c_str());
                update.clear();
                return false;
            }
            total += bytes.size();
            // Block numbers and sizes travel in 16 and 32 bits.
            if (bytes.size() > link::kBlockDataSize * 0xFFFFu || total > 0xFFFFFFFFu) {
                log::print("sim: update file %s is too large; no update offered", path.c_str());
                update.clear();
                return false;
            }
            update.push_back(
                UpdateFile{std::filesystem::path(path).filename().string(), std::move(bytes)});
        }
        return !update.empty();
    }

    void compatibility(SimConnection& c, const Frame&) {
        const FaultSwitches& faults = c.faults();
        if (faults.shortCompatibilityAnswer) {
            const std::array<std::uint8_t, link::CompatibilityResponse::kNeitherSize> neither{};
            c.send(msg::APPLICATION_COMPATIBILITY_RESPONSE, 0, neither);
            return;
        }
        const bool offer = !faults.offerUpdateFiles.empty() && loadUpdate(c);
        const auto answer =
            link::CompatibilityResponse::make(site.serverIdentifier, announcedVersion(faults),
                                              faults.incompatibleVersion ? 0 : 1, offer ? 1 : 0);
        c.send(msg::APPLICATION_COMPATIBILITY_RESPONSE, 0, answer.view());
    }

    bool updateOffered(SimConnection& c, const Frame& f) {
        if (update.empty() && !c.faults().offerUpdateFiles.empty()) {
            loadUpdate(c);
        }
        if (update.empty()) {
            refuse(c, f, "no update offered");
            return false;
        }
        return true;
    }

    void info(SimConnection& c, const Frame& f) {
        if (!updateOffered(c, f)) {
            return;
        }
        std::uint32_t total = 0;
        for (const UpdateFile& file : update) {
            total += static_cast<std::uint32_t>(file.bytes.size());
        }
        const auto answer = link::InfoResponse::make(site.serverVersion, total,
                                                     static_cast<std::uint16_t>(update.size()), 1);
        c.send(msg::APPLICATION_INFO_RESPONSE, 0, answer.view());
    }

    const UpdateFile* component(SimConnection& c, const Frame& f, std::uint16_t index) {
        if (!updateOffered(c, f)) {
            return nullptr;
        }
        if (index >= update.size()) {
            refuse(c, f, "no such component");
            return nullptr;
        }
        return &update[index];
    }

    void componentInfo(SimConnection& c, const Frame& f) {
        const auto request = link::ComponentInfoRequest::fromPayload(f.payload);
        const std::uint16_t index = request.get(link::ComponentInfoRequest::kComponentIndex);
        const UpdateFile* file = component(c, f, index);
        if (file == nullptr) {
            return;
        }
        // The last file installs the rest and wants the console's command line.
        const FaultSwitches& faults = c.faults();
        const std::uint8_t mode = index + 1u == update.size() && !faults.updateWithoutInstaller
                                      ? link::kLaunchInstallerWithCommandLine
                                      : link::kLaunchPlainFile;
        const std::string& name = index == 0 && !faults.firstComponentName.empty()
                                      ? faults.firstComponentName
                                      : file->name;
        const auto answer = link::ComponentInfoResponse::make(
            name, static_cast<std::uint32_t>(file->bytes.size()), mode);
        c.send(msg::APPLICATION_COMPONENT_INFO_RESPONSE, 0, answer.view());
    }

    void block(SimConnection& c, const Frame& f) {
        const auto request = link::BlockRequest::fromPayload(f.payload);
        const std::uint16_t number = request.get(link::BlockRequest::kBlockNumber);
        const UpdateFile* file = component(c, f, request.get(link::BlockRequest::kComponentIndex));
        if (file == nullptr) {
            return;
        }
        const std::size_t offset = std::size_t{number} * link::kBlockDataSize;
        if (offset > file->bytes.size()) {
            refuse(c, f, "block beyond the end of the file");
            return;
        }
        const Payload data = Payload(file->bytes).subspan(offset);
        c.send(msg::APPLICATION_COMPONENT_BLOCK_RESPONSE, 0,
               link::encodeBlockResponse(number, data));
    }

    // --- login and download ---

    void login(SimConnection& c, const Frame& f) {
        if (loggedIn) {
            refuse(c, f, "already logged in");
            return;
        }
        const auto request = link::LoginRequest::fromPayload(f.payload);
        const std::string name = request.get(link::LoginRequest::kLoginName);
        std::optional<link::AesKey> key;
        if (options.domainKey) {
            key = link::deriveKey(*options.domainKey, c.peerPort());
        }
        const std::string password = link::readLoginPassword(request, key);
        const auto account =
            std::find_if(site.admins.begin(), site.admins.end(), [&](const AdminAccount& a) {
                return a.name == name && a.password == password;
            });
        std::uint8_t reason = c.faults().rejectLoginReason;
        if (reason == 0 && account == site.admins.end()) {
            reason = 1;
        }
        if (reason != 0) {
            log::print("[%s] login of '%s' rejected with reason %d", c.peerText().c_str(),
                       name.c_str(), reason);
            activity("Administrator login of '" + name + "' from " + c.peerText() + " rejected");
            c.send(msg::CLIENT_LOGIN_RESPONSE, 0, link::LoginRejection::make(reason).view());
            return;
        }
        log::print("[%s] administrator '%s' logged in", c.peerText().c_str(), name.c_str());
        activity("Administrator '" + name + "' logged in from " + c.peerText());
        c.send(msg::ADMIN_LOGIN_ACCEPTED, 0,
               link::LoginAccepted::make(account->privilegeWord, account->privilegeLevel).view());
        sendConfiguration(c);
        loggedIn = true;
    }

    void sendConfiguration(SimConnection& c) {
        c.send(msg::CONFIGURATION_DATA_LABEL, kLabelReset, {});
        for (const auto& [number, label] : site.labels) {
            c.send(msg::CONFIGURATION_DATA_LABEL, static_cast<std::uint16_t>(number), label.view());
        }
        sendCredentialsList(c);
        c.send(msg::CONFIGURATION_DATA_CLIENT_CREDENTIALS, kDefaultRecord,
               site.masterAdministrator.view());

        const std::size_t systems = std::min(site.systems.size(), model::kSystemListEntries);
        std::vector<std::uint8_t> list;
        for (std::size_t i = 0; i < systems; ++i) {
            list.insert(list.end(), site.systems[i].bytes.begin(), site.systems[i].bytes.end());
        }
        c.send(msg::CONFIGURATION_DATA_SYSTEM_LIST, static_cast<std::uint16_t>(systems), list);

        c.send(msg::CONFIGURATION_DATA_SYSTEM_SETTINGS, 0, site.systemSettings.view());
        c.send(msg::CONFIGURATION_DATA_CLIENT_OPTIONS, kDefaultRecord,
               site.defaultOptions.view().first(model::kOptionsShortWireLength));
        c.send(msg::CONFIGURATION_DATA_CLIENT_OPTIONS, kSipDefaultRecord,
               site.sipDefaultOptions.view().first(model::kOptionsSipWireLength));
        c.send(msg::CONFIGURATION_DATA_AUDIO_SETTINGS, kDefaultRecord, site.defaultAudio.view());
        c.send(msg::CONFIGURATION_DATA_USER_INTERFACE_SETTINGS, 0,
               site.userInterfaceSettings.view());
        const std::array<std::uint8_t, 1> trunking{site.trunkingFlags};
        c.send(msg::ADMIN_TRUNKING_MODE, 0, trunking);
        c.send(msg::ADMIN_LOGIN_COMPLETE, 0, {});
    }

    // Every index below the highest one held, the gaps as fresh records.
    void sendCredentialsList(SimConnection& c) {
        int count = 0;
        for (const auto& [index, record] : site.credentials) {
            if (index >= 0 && index < static_cast<int>(model::kCredentialsListRecords)) {
                count = std::max(count, index + 1);
            }
        }
        std::vector<std::uint8_t> list;
        list.reserve(static_cast<std::size_t>(count) * model::ClientCredentials::kSize);
        for (int i = 0; i < count; ++i) {
            const auto held = site.credentials.find(i);
            const model::ClientCredentials record =
                held != site.credentials.end() ? held->second : model::initialCredentials(i);
            list.insert(list.end(), record.bytes.begin(), record.bytes.end());
        }
        c.send(msg::CONFIGURATION_DATA_CLIENT_CREDENTIALS_LIST, static_cast<std::uint16_t>(count),
               list);
    }

    // --- status ---

    void status(SimConnection& c, const Frame&) {
        using S = model::SystemStatus;
        const StatusFigures& figures = site.status;
        // Small movements, so a watching console sees a live server.
        static constexpr std::array<int, 4> kWobble{0, 1, 2, 1};
        const int wobble = kWobble[(elapsedMs / 1000) % kWobble.size()];
        S record;
        record.set(S::kUpTimeSeconds, upTimeSeconds());
        const int dropped = figures.activeConnections > 1 && wobble == 2 ? 1 : 0;
        record.set(S::kActiveConnections, figures.activeConnections - dropped);
        record.set(S::kActiveAudioInputs, figures.activeAudioInputs + wobble);
        record.set(S::kActiveAudioOutputs, figures.activeAudioOutputs + (2 - wobble));
        record.set(S::kProcessorPercent, std::min(100, figures.processorPercent + wobble));
        record.set(S::kSecondProcessorPercent, figures.secondProcessorPercent);
        record.set(S::kFailoverState, figures.failoverState);
        record.set(S::kRtsTrunkState, figures.rtsTrunkState);
        record.set(S::kRtsTrunksActive, figures.rtsTrunksActive);
        record.set(S::kRtsTrunksConfigured, figures.rtsTrunksConfigured);
        record.set(S::kDelecTrunkState, figures.delecTrunkState);
        record.set(S::kDelecTrunksActive, figures.delecTrunksActive);
        record.set(S::kDelecTrunksConfigured, figures.delecTrunksConfigured);
        c.send(msg::ADMIN_SYSTEM_STATUS_RESPONSE, 0, record.view());
    }

    void restart(SimConnection& c, const Frame&) {
        log::print("[%s] system restart requested", c.peerText().c_str());
        activity("System restart requested from " + c.peerText());
        upTimeBase = 0;
        upTimeStartMs = elapsedMs;
        restartCloseAtMs = elapsedMs + kRestartCloseDelayMs;
    }

    void failover(SimConnection& c, const Frame& f) {
        using model::FailoverState;
        std::uint8_t& state = site.status.failoverState;
        const auto standby =
            static_cast<std::uint8_t>(FailoverState::PrimaryActiveSecondaryStandby);
        const auto secondary =
            static_cast<std::uint8_t>(FailoverState::PrimaryStandbySecondaryActive);
        if (state != standby && state != secondary) {
            refuse(c, f, "no standby server to switch to");
            return;
        }
        state = state == standby ? secondary : standby;
        log::print("[%s] forced %s; failover state %d", c.peerText().c_str(),
                   state == secondary ? "failover" : "failback", state);
        activity(state == secondary ? "Forced failover to the secondary server"
                                    : "Forced failback to the primary server");
        changed();
    }

    // --- per-client records ---

    void audioRequest(SimConnection& c, const Frame& f) {
        const auto index = recordIndex(c, f);
        if (!index) {
            return;
        }
        const auto held = site.audio.find(*index);
        const model::AudioSettings& record =
            *index < 0 || held == site.audio.end() ? site.defaultAudio : held->second;
        c.send(msg::CONFIGURATION_DATA_AUDIO_SETTINGS, f.secondValue, record.view());
    }

    void optionsRequest(SimConnection& c, const Frame& f) {
        if (f.secondValue == kSipDefaultRecord) {
            c.send(msg::CONFIGURATION_DATA_CLIENT_OPTIONS, f.secondValue,
                   site.sipDefaultOptions.view());
            return;
        }
        const auto index = recordIndex(c, f);
        if (!index) {
            return;
        }
        if (*index < 0) {
            c.send(msg::CONFIGURATION_DATA_CLIENT_OPTIONS, f.secondValue,
                   site.defaultOptions.view().first(model::kOptionsShortWireLength));
            return;
        }
        const auto held = site.options.find(*index);
        const model::ClientOptions& record =
            held == site.options.end() ? defaultOptionsFor(*index) : held->second;
        const std::size_t length = model::optionsWireLength(clientTypeOf(site, *index));
        c.send(msg::CONFIGURATION_DATA_CLIENT_OPTIONS, f.secondValue, record.view().first(length));
    }

    void selectorsRequest(SimConnection& c, const Frame& f) {
        const auto index = recordIndex(c, f);
        if (!index) {
            return;
        }
        const auto held = site.selectors.find(*index);
        const model::SelectorAssignments& record =
            *index < 0 || held == site.selectors.end() ? site.defaultSelectors : held->second;
        c.send(msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, f.secondValue, record.wire());
    }

    // Options come in the short form or the whole record, nothing between.
    static bool optionsLength(SimConnection& c, const Frame& f) {
        if (f.payload.size() != model::kOptionsShortWireLength &&
            f.payload.size() != model::kOptionsSipWireLength) {
            refuse(c, f, "unexpected payload length");
            return false;
        }
        return true;
    }

    void optionsUpdate(SimConnection& c, const Frame& f) {
        if (!optionsLength(c, f)) {
            return;
        }
        if (f.secondValue == kSipDefaultRecord) {
            site.sipDefaultOptions.assignPrefix(f.payload);
            changed();
            return;
        }
        const auto index = recordIndex(c, f);
        if (!index) {
            return;
        }
        if (*index < 0) {
            site.defaultOptions.assignPrefix(f.payload);
        } else {
            // A short record leaves the rest as it was.
            const auto held = site.options.find(*index);
            model::ClientOptions record =
                held == site.options.end() ? defaultOptionsFor(*index) : held->second;
            record.assignPrefix(f.payload);
            site.options[*index] = record;
        }
        changed();
    }

    void audioUpdate(SimConnection& c, const Frame& f) {
        const auto index = recordIndex(c, f);
        if (!index) {
            return;
        }
        (*index < 0 ? site.defaultAudio : site.audio[*index]).assignPrefix(f.payload);
        changed();
    }

    // The console sends the head and exactly the entries its count names.
    static bool wellFormedSelectors(SimConnection& c, const Frame& f,
                                    model::SelectorAssignments& record) {
        using A = model::SelectorAssignments;
        record.assignPrefix(f.payload);
        const int count = record.get(A::kEntryCount);
        if (count < 0 || (f.payload.size() - A::kHeadSize) % A::kEntrySize != 0 ||
            A::entryOffset(static_cast<std::size_t>(count)) != f.payload.size()) {
            refuse(c, f, "entry count does not match the length");
            return false;
        }
        return true;
    }

    void selectorsUpdate(SimConnection& c, const Frame& f) {
        const auto index = recordIndex(c, f);
        model::SelectorAssignments record;
        if (!index || !wellFormedSelectors(c, f, record)) {
            return;
        }
        (*index < 0 ? site.defaultSelectors : site.selectors[*index]) = record;
        changed();
    }

    // The defaults, and with the apply flag also every client whose record
    // was byte for byte the prior default.
    void defaultOptionsUpdate(SimConnection& c, const Frame& f) {
        if (!optionsLength(c, f)) {
            return;
        }
        model::ClientOptions next = site.defaultOptions;
        next.assignPrefix(f.payload);
        const std::map<int, int> clients = site.clientLabels();
        const auto panel = [&](int index) {
            return !model::isSipDevice(clientTypeOf(site, clients, index));
        };
        int followed = 0;
        if (f.secondValue == kApplyToPriorDefaults) {
            for (auto& [index, record] : site.options) {
                if (panel(index) &&
                    samePrefix(record, site.defaultOptions, model::kOptionsShortWireLength)) {
                    record = next;
                    ++followed;
                }
            }
        } else {
            keepPriorDefaults(site.options, site.defaultOptions, clients, panel);
        }
        site.defaultOptions = next;
        logDefaults(c, f, followed);
        changed();
    }

    void defaultAudioUpdate(SimConnection& c, const Frame& f) {
        model::AudioSettings next = site.defaultAudio;
        next.assignPrefix(f.payload);
        int followed = 0;
        if (f.secondValue == kApplyToPriorDefaults) {
            for (auto& [index, record] : site.audio) {
                if (record == site.defaultAudio) {
                    record = next;
                    ++followed;
                }
            }
        } else {
            keepPriorDefaults(site.audio, site.defaultAudio, site.clientLabels(), everyClient);
        }
        site.defaultAudio = next;
        logDefaults(c, f, followed);
        changed();
    }

    void defaultSelectorsUpdate(SimConnection& c, const Frame& f) {
        model::SelectorAssignments next;
        if (!wellFormedSelectors(c, f, next)) {
            return;
        }
        int followed = 0;
        if (f.secondValue == kApplyToPriorDefaults) {
            for (auto& [index, record] : site.selectors) {
                if (record.sameWire(site.defaultSelectors)) {
                    record = next;
                    ++followed;
                }
            }
        } else {
            keepPriorDefaults(site.selectors, site.defaultSelectors, site.clientLabels(),
                              everyClient);
        }
        site.defaultSelectors = next;
        logDefaults(c, f, followed);
        changed();
    }

    // A client without a record of its own reads the defaults; when new
    // defaults are not for it, it gets the prior ones as its own.
    template <typename Record, typename Applies>
    static void keepPriorDefaults(std::map<int, Record>& records, const Record& prior,
                                  const std::map<int, int>& clients, Applies applies) {
        for (const auto& [index, number] : clients) {
            if (applies(index) && !records.contains(index)) {
                records.emplace(index, prior);
            }
        }
    }
    static bool everyClient(int) { return true; }

    static void logDefaults(SimConnection& c, const Frame& f, int followed) {
        const std::string name(msg::messageName(f.messageId));
        log::print("[%s] %s: new defaults, %d client(s) follow them", c.peerText().c_str(),
                   name.c_str(), followed);
    }

    void credentialsUpdate(SimConnection& c, const Frame& f) {
        model::ClientCredentials record;
        record.assignPrefix(f.payload);
        const int index = record.get(model::ClientCredentials::kClientIndex);
        if (index == model::kMasterAdministratorIndex) {
            site.masterAdministrator = record;
        } else if (index >= 0 && index < static_cast<int>(model::kClientsPerSystem)) {
            site.credentials[index] = record;
        } else {
            refuse(c, f, "client index out of range");
            return;
        }
        changed();
    }

    // --- labels ---

    void labelUpdate(SimConnection& c, const Frame& f) {
        model::LabelInfo label;
        label.assignPrefix(f.payload);
        // Followers moved along with a template are named by client index.
        int number = f.secondValue;
        if (!model::isLabelNumber(number)) {
            const std::map<int, int> clients = site.clientLabels();
            const auto found = clients.find(number);
            number = found == clients.end() ? model::kNoLabel : found->second;
        }
        if (number == model::kNoLabel || label.get(model::LabelInfo::kLabelNumber) != number) {
            refuse(c, f, "not a label number or a client's index, or not the record's own");
            return;
        }
        const bool added = !site.labels.contains(number);
        site.labels[number] = label;
        activity("Label " + std::to_string(number) + (added ? " added" : " changed"));
        changed();
    }

    void deleteEntry(SimConnection& c, const Frame& f) {
        const auto found = site.labels.find(f.secondValue);
        if (found == site.labels.end()) {
            refuse(c, f, "no such label");
            return;
        }
        using L = model::LabelInfo;
        const L label = found->second;
        site.labels.erase(found);
        if (label.get(L::kSystemClass) == 0 && label.get(L::kSystemNumber) == 0) {
            const int index = label.get(L::kIndex);
            switch (static_cast<model::LabelKind>(label.get(L::kLabelKind))) {
            case model::LabelKind::Client:
                forgetClient(index, f.secondValue);
                break;
            case model::LabelKind::PartyLine:
                site.partyLines.erase(f.secondValue);
                break;
            case model::LabelKind::FixedGroup:
                site.fixedGroups.erase(index);
                break;
            }
        }
        activity("Label " + std::to_string(f.secondValue) + " deleted");
        changed();
    }

    // Nothing of a deleted client stays behind, in its own records or in
    // anyone else's.
    void forgetClient(int index, int labelNumber) {
        site.credentials.erase(index);
        site.options.erase(index);
        site.audio.erase(index);
        site.selectors.erase(index);
        site.blockedListens.erase(index);
        site.forcedListens.erase(index);
        site.behaviour.erase(index);
        counters.erase(index);
        statisticsStale = true;
        for (auto* sets : {&site.fixedGroups, &site.blockedListens, &site.forcedListens}) {
            for (auto& [key, set] : *sets) {
                set.clearBit(index);
            }
        }
        for (auto& [number, membership] : site.partyLines) {
            for (std::size_t k = membership.entryCount(); k-- > 0;) {
                const int member = membership.entry(k).member;
                if (member == index || member == labelNumber) {
                    membership.removeEntry(k);
                }
            }
        }
    }

    // --- membership ---

    void partyLineRequest(SimConnection& c, const Frame& f) {
        const auto held = site.partyLines.find(f.secondValue);
        if (held != site.partyLines.end()) {
            c.send(msg::ADMIN_PARTY_LINE_MEMBERSHIP_RESPONSE, f.secondValue, held->second.wire());
            return;
        }
        model::PartyLineMembership empty;
        empty.set(model::PartyLineMembership::kPartyLine, f.secondValue);
        c.send(msg::ADMIN_PARTY_LINE_MEMBERSHIP_RESPONSE, f.secondValue, empty.wire());
    }

    void partyLineUpdate(SimConnection& c, const Frame& f) {
        using M = model::PartyLineMembership;
        M record;
        record.assignPrefix(f.payload);
        if (!model::isLabelNumber(f.secondValue) || record.get(M::kPartyLine) != f.secondValue) {
            refuse(c, f, "not a label number, or not the record's own");
            return;
        }
        if ((f.payload.size() - M::kHeadSize) % M::kEntrySize != 0 ||
            M::entryOffset(record.get(M::kEntryCount)) != f.payload.size()) {
            refuse(c, f, "entry count does not match the length");
            return;
        }
        site.partyLines[f.secondValue] = record;
        changed();
    }

    void fixedGroupRequest(SimConnection& c, const Frame& f) {
        if (f.secondValue >= model::kFixedGroupsPerSystem) {
            refuse(c, f, "fixed group index out of range");
            return;
        }
        sendSet(c, msg::ADMIN_FIXED_GROUP_MEMBERSHIP_RESPONSE, f, site.fixedGroups);
    }

    void fixedGroupUpdate(SimConnection& c, const Frame& f) {
        if (f.secondValue >= model::kFixedGroupsPerSystem) {
            refuse(c, f, "fixed group index out of range");
            return;
        }
        site.fixedGroups[f.secondValue].assignPrefix(f.payload);
        changed();
    }

    static void sendSet(SimConnection& c, std::uint16_t id, const Frame& f,
                        const std::map<int, model::ClientBitSet>& sets) {
        const auto held = sets.find(f.secondValue);
        const model::ClientBitSet none;
        c.send(id, f.secondValue, held != sets.end() ? held->second.bytes() : none.bytes());
    }

    void blockedListenRequest(SimConnection& c, const Frame& f) {
        if (clientIndex(c, f)) {
            sendSet(c, msg::ADMIN_BLOCKED_LISTEN_RESPONSE, f, site.blockedListens);
        }
    }
    void forcedListenRequest(SimConnection& c, const Frame& f) {
        if (clientIndex(c, f)) {
            sendSet(c, msg::ADMIN_FORCED_LISTEN_RESPONSE, f, site.forcedListens);
        }
    }
    void blockedListenUpdate(SimConnection& c, const Frame& f) {
        if (const auto index = clientIndex(c, f)) {
            site.blockedListens[*index].assignPrefix(f.payload);
            changed();
        }
    }
    void forcedListenUpdate(SimConnection& c, const Frame& f) {
        if (const auto index = clientIndex(c, f)) {
            site.forcedListens[*index].assignPrefix(f.payload);
            changed();
        }
    }

    // --- system-wide records ---

    // The stored record goes back to the console as the server now holds
    // it: a console whose server moved learns so from this answer.
    void systemSettingsUpdate(SimConnection& c, const Frame& f) {
        site.systemSettings.assignPrefix(f.payload);
        activity("System settings changed from " + c.peerText());
        changed();
        c.send(msg::CONFIGURATION_DATA_SYSTEM_SETTINGS, 0, site.systemSettings.view());
    }

    void userInterfaceSettingsUpdate(SimConnection&, const Frame& f) {
        site.userInterfaceSettings.assignPrefix(f.payload);
        changed();
    }

    // --- statistics ---

    model::ClientStatistics clientStatistics(int index, const ClientBehaviour& b,
                                             const ClientCounters& counter) const {
        using S = model::ClientStatistics;
        const std::uint64_t lost =
            counter.packets * std::min<std::uint32_t>(b.lossPerMille, 1000) / 1000;
        const auto delivered = static_cast<std::uint32_t>(counter.packets - lost);
        const auto jitter = [&](int base) {
            return b.online ? static_cast<std::int16_t>(base + (statisticsSeconds + index) % 5)
                            : S::kMsNotAvailable;
        };
        S entry;
        entry.setBit(S::kFlags, S::kFlagOnline, b.online);
        entry.set(S::kProcessorPercent, b.processorPercent);
        entry.set(S::kSecondProcessorPercent, b.processorPercent == S::kPercentNotAvailable
                                                  ? S::kPercentNotAvailable
                                                  : b.processorPercent / 2);
        entry.set(S::kLastChangeTime, counter.lastChange);
        entry.set(S::kDisconnectEvents, counter.disconnects);
        entry.set(S::kSendDelivered, delivered);
        entry.set(S::kSendLost, static_cast<std::uint32_t>(lost));
        entry.set(S::kReceiveDelivered, delivered);
        entry.set(S::kReceiveLost, static_cast<std::uint32_t>(lost));
        entry.set(S::kReceiveBytesBeforeDecoding, delivered * kBytesPerPacket);
        entry.set(S::kSendBytesAfterEncoding, delivered * kBytesPerPacket);
        entry.set(S::kSendJitterPeakMs, jitter(4));
        entry.set(S::kSendJitterBufferMs, b.online ? std::int16_t{40} : S::kMsNotAvailable);
        entry.set(S::kReceiveJitterPeakMs, jitter(3));
        entry.set(S::kReceiveJitterBufferMs, b.online ? std::int16_t{60} : S::kMsNotAvailable);
        entry.set(S::kAddress, b.address);
        entry.set(S::kVersion, b.softwareVersion);
        entry.set(S::kBatteryPercent, b.batteryPercent);
        entry.set(S::kBatteryState,
                  b.batteryPercent == S::kPercentNotAvailable
                      ? 0
                      : static_cast<std::uint8_t>(model::BatteryState::Discharging));
        return entry;
    }

    void statisticsRequest(SimConnection& c, const Frame&) {
        if (statisticsStale) {
            statisticsTable->bytes.fill(0);
            for (const auto& [index, behaviour] : site.behaviour) {
                if (index >= 0 &&
                    static_cast<std::size_t>(index) < model::StatisticsTable::kClients) {
                    statisticsTable->setClient(static_cast<std::size_t>(index),
                                               clientStatistics(index, behaviour, counters[index]));
                }
            }
            statisticsStale = false;
        }
        statisticsTable->set(model::StatisticsTable::kServerTime, wallSeconds());
        c.send(msg::ADMIN_CLIENT_STATISTICS_RESPONSE, 0, statisticsTable->view());
    }

    void statisticsReset(SimConnection& c, const Frame& f) {
        const auto index = rec::get(f.payload, rec::Scalar<std::int16_t>{0});
        statisticsStale = true;
        if (index == model::kResetAllClients) {
            for (auto& [i, counter] : counters) {
                counter.packets = 0;
                counter.disconnects = 0;
            }
        } else if (index >= 0 && static_cast<std::size_t>(index) < model::kClientsPerSystem) {
            ClientCounters& counter = counters[index];
            counter.packets = 0;
            counter.disconnects = 0;
        } else {
            refuse(c, f, "client index out of range");
        }
    }

    void sipRegistrations(SimConnection& c, const Frame&) {
        c.send(msg::ADMIN_SIP_REGISTRATIONS_RESPONSE, 0,
               sipRegistrationsAnswer(site.sipRegistrations, statisticsSeconds));
    }

    // --- logs and filters ---

    void logRequest(SimConnection& c, const Frame& f, std::vector<LogLine>& lines,
                    LogCursor& cursor, std::uint16_t answerId) {
        const auto request = rec::get(f.payload, rec::Scalar<std::uint16_t>{0});
        if (request == static_cast<std::uint16_t>(model::LogRequest::Stop)) {
            cursor.reset();
            return;
        }
        if (request != static_cast<std::uint16_t>(model::LogRequest::NextChunk)) {
            refuse(c, f, "neither next chunk nor stop");
            return;
        }
        c.send(answerId, 0, nextLogChunk(lines, cursor));
    }

    void debugLogRequest(SimConnection& c, const Frame& f) {
        logRequest(c, f, site.debugLog, debugCursor, msg::ADMIN_DEBUG_LOG_RESPONSE);
    }
    void activityLogRequest(SimConnection& c, const Frame& f) {
        logRequest(c, f, site.activityLog, activityCursor, msg::ADMIN_ACTIVITY_LOG_RESPONSE);
    }

    void getDebugFilters(SimConnection& c, const Frame&) {
        const auto list = model::encodeDebugFilterList(site.debugFilters);
        c.send(msg::ADMIN_GET_DEBUG_FILTER_RESPONSE, list.count, list.payload);
    }

    void setDebugFilters(SimConnection& c, const Frame& f) {
        if (f.payload.size() != std::size_t{f.secondValue} * 4) {
            refuse(c, f, "length is not four bytes per filter");
            return;
        }
        if (f.secondValue > model::kDebugFilterListCapacity) {
            log::print("[%s] %d debug filters received; the first %zu kept", c.peerText().c_str(),
                       f.secondValue, model::kDebugFilterListCapacity);
        }
        site.debugFilters = model::decodeDebugFilterList(f.secondValue, f.payload);
        changed();
    }

    // --- server files ---

    void graphicFileList(SimConnection& c, const Frame&) {
        c.send(msg::ADMIN_USER_INTERFACE_INFO_RESPONSE, 0,
               model::encodeFileNameList(site.graphicFiles));
    }
    void soundFileList(SimConnection& c, const Frame&) {
        c.send(msg::ADMIN_CLIENT_OPTIONS_INFO_RESPONSE, 0,
               model::encodeFileNameList(site.soundFiles));
    }

    void graphicUpload(SimConnection& c, const Frame& f) {
        keepUpload(c, f, model::decodeGraphicFileUpload(f.payload), site.graphicFiles);
    }
    void soundUpload(SimConnection& c, const Frame& f) {
        keepUpload(c, f, model::decodeSoundFileUpload(f.payload), site.soundFiles);
    }

    void keepUpload(SimConnection& c, const Frame& f,
                    const std::optional<model::FileUpload>& upload,
                    std::vector<std::string>& names) {
        if (!upload) {
            refuse(c, f, "length field does not match the file");
            return;
        }
        if (!isSafeFileName(upload->name)) {
            refuse(c, f, "unusable file name");
            return;
        }
        if (options.uploadFolder.empty()) {
            log::print("[%s] upload of %s (%zu bytes) listed; no upload folder to keep it in",
                       c.peerText().c_str(), upload->name.c_str(), upload->data.size());
        } else if (!writeUpload(upload->name, upload->data)) {
            log::print("[%s] cannot write %s into %s; upload refused", c.peerText().c_str(),
                       upload->name.c_str(), options.uploadFolder.string().c_str());
            return;
        }
        if (std::find(names.begin(), names.end(), upload->name) == names.end()) {
            names.push_back(upload->name);
        }
        activity("File " + upload->name + " uploaded");
        changed();
    }

    bool writeUpload(const std::string& name, Payload data) const {
        std::error_code error;
        std::filesystem::create_directories(options.uploadFolder, error);
        std::ofstream out(options.uploadFolder / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()),
                  static_cast<std::streamsize>(data.size()));
        return static_cast<bool>(out.flush());
    }

    // --- dispatch ---

    void onFrame(SimConnection& c, const Frame& f) {
        updateClock();
        const auto& table = routes();
        const auto route = std::find_if(table.begin(), table.end(),
                                        [&](const Route& r) { return r.id == f.messageId; });
        if (route == table.end()) {
            msg::reportNotRecognized(c.peerText(), f.messageId, f.payload.size());
            return;
        }
        if (!loggedIn && !route->beforeLogin) {
            refuse(c, f, "before the login completed");
            return;
        }
        if (f.payload.size() < route->minLength || f.payload.size() > route->maxLength) {
            refuse(c, f, "unexpected payload length");
            return;
        }
        (this->*route->handle)(c, f);
    }

    void onTick(SimConnection& c) {
        updateClock();
        if (restartCloseAtMs != 0 && elapsedMs >= restartCloseAtMs) {
            restartCloseAtMs = 0;
            c.close();
        }
        if (options.debugLineIntervalMs != 0 &&
            elapsedMs - lastDebugLineMs >= options.debugLineIntervalMs) {
            lastDebugLineMs = elapsedMs;
            writeDebugLine();
        }
    }

    void writeDebugLine() {
        char text[160];
        switch (debugLines++ % 3) {
        case 0:
            std::snprintf(text, sizeof text,
                          "Performance Monitoring: processor %d%%, %d active connections",
                          site.status.processorPercent, site.status.activeConnections);
            break;
        case 1:
            std::snprintf(text, sizeof text, "Audio Mixer Thread: %zu clients mixed, no overruns",
                          site.behaviour.size());
            break;
        default:
            std::snprintf(text, sizeof text, "System Admin Connection Handler: up %lld s",
                          static_cast<long long>(upTimeSeconds()));
            break;
        }
        appendLogLine(site.debugLog, text, {&debugCursor});
    }

    void onConnect(SimConnection& c) {
        resetConnection();
        updateClock();
        const auto id =
            link::ApplicationId::make(site.serverIdentifier, announcedVersion(c.faults()));
        c.send(msg::APPLICATION_ID, 0, id.view());
    }

    void resetConnection() {
        loggedIn = false;
        update.clear();
        debugCursor.reset();
        activityCursor.reset();
        restartCloseAtMs = 0;
    }

    Site& site;
    ProtocolOptions options;

    std::uint32_t lastTick;
    std::uint64_t elapsedMs = 0; // since the simulator started
    std::uint64_t statisticsSeconds = 0;
    const std::int64_t startWall;
    std::int64_t upTimeBase;
    std::uint64_t upTimeStartMs = 0;
    std::uint64_t lastDebugLineMs = 0;
    unsigned debugLines = 0;
    std::map<int, ClientCounters> counters;
    // The entries of the statistics answer move only with the simulated
    // second, a reset or a deleted client: a console asking many times a
    // second gets the kept table (large: on the heap, never on the loop
    // thread's stack).
    std::unique_ptr<model::StatisticsTable> statisticsTable =
        std::make_unique<model::StatisticsTable>();
    bool statisticsStale = true;

    // Per connection.
    bool loggedIn = false;
    std::vector<UpdateFile> update;
    LogCursor debugCursor;
    LogCursor activityCursor;
    std::uint64_t restartCloseAtMs = 0;
};

const std::vector<SiteProtocol::Impl::Route>& SiteProtocol::Impl::routes() {
    using I = Impl;
    using model::kFixedGroupSetBytes;
    constexpr std::size_t kSet = kFixedGroupSetBytes;
    constexpr std::size_t kSelectorsMin = model::SelectorAssignments::kHeadSize;
    constexpr std::size_t kSelectorsMax = model::SelectorAssignments::kSize;
    constexpr std::size_t kUploadHead = model::FileUploadHead::kSize;
    static const std::vector<Route> table = {
        // Identification, update offer and login: any time.
        {msg::APPLICATION_COMPATIBILITY_REQUEST, true, 8, 8, &I::compatibility},
        {msg::APPLICATION_INFO_REQUEST, true, 4, 4, &I::info},
        {msg::APPLICATION_COMPONENT_INFO_REQUEST, true, 8, 8, &I::componentInfo},
        {msg::APPLICATION_COMPONENT_BLOCK_REQUEST, true, 8, 8, &I::block},
        {msg::ADMIN_LOGIN_REQUEST, true, link::LoginRequest::kSize, link::LoginRequest::kSize,
         &I::login},
        // Records from the console.
        {msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, false, kSelectorsMin, kSelectorsMax,
         &I::selectorsUpdate},
        {msg::CONFIGURATION_DATA_CLIENT_OPTIONS, false, model::kOptionsShortWireLength,
         model::kOptionsSipWireLength, &I::optionsUpdate},
        {msg::CONFIGURATION_DATA_SYSTEM_SETTINGS, false, model::SystemSettings::kSize,
         model::SystemSettings::kSize, &I::systemSettingsUpdate},
        {msg::CONFIGURATION_DATA_AUDIO_SETTINGS, false, model::AudioSettings::kSize,
         model::AudioSettings::kSize, &I::audioUpdate},
        {msg::CONFIGURATION_DATA_DEFAULT_SELECTOR_ASSIGNMENTS, false, kSelectorsMin, kSelectorsMax,
         &I::defaultSelectorsUpdate},
        {msg::CONFIGURATION_DATA_DEFAULT_CLIENT_OPTIONS, false, model::kOptionsShortWireLength,
         model::kOptionsSipWireLength, &I::defaultOptionsUpdate},
        {msg::CONFIGURATION_DATA_DEFAULT_AUDIO_SETTINGS, false, model::AudioSettings::kSize,
         model::AudioSettings::kSize, &I::defaultAudioUpdate},
        {msg::CONFIGURATION_DATA_USER_INTERFACE_SETTINGS, false,
         model::UserInterfaceSettings::kSize, model::UserInterfaceSettings::kSize,
         &I::userInterfaceSettingsUpdate},
        {msg::ADMIN_LABEL_UPDATE, false, model::LabelInfo::kSize, model::LabelInfo::kSize,
         &I::labelUpdate},
        {msg::ADMIN_DELETE_ENTRY, false, 0, kAnyLength, &I::deleteEntry},
        {msg::ADMIN_CLIENT_CREDENTIALS_UPDATE, false, model::ClientCredentials::kSize,
         model::ClientCredentials::kSize, &I::credentialsUpdate},
        // Requests whose payload says nothing we need.
        {msg::ADMIN_SYSTEM_STATUS_REQUEST, false, 0, kAnyLength, &I::status},
        {msg::ADMIN_AUDIO_SETTINGS_REQUEST, false, 0, kAnyLength, &I::audioRequest},
        {msg::ADMIN_CLIENT_OPTIONS_REQUEST, false, 0, kAnyLength, &I::optionsRequest},
        {msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST, false, 0, kAnyLength, &I::selectorsRequest},
        {msg::ADMIN_SYSTEM_RESTART_REQUEST, false, 0, kAnyLength, &I::restart},
        {msg::ADMIN_FORCE_FAILOVER_REQUEST, false, 0, kAnyLength, &I::failover},
        {msg::ADMIN_CLIENT_STATISTICS_REQUEST, false, 0, kAnyLength, &I::statisticsRequest},
        {msg::ADMIN_SIP_REGISTRATIONS_REQUEST, false, 0, kAnyLength, &I::sipRegistrations},
        {msg::ADMIN_GET_DEBUG_FILTER_REQUEST, false, 0, kAnyLength, &I::getDebugFilters},
        {msg::ADMIN_USER_INTERFACE_INFO_REQUEST, false, 0, kAnyLength, &I::graphicFileList},
        {msg::ADMIN_CLIENT_OPTIONS_INFO_REQUEST, false, 0, kAnyLength, &I::soundFileList},
        // Requests that carry a value.
        {msg::ADMIN_ACTIVITY_LOG_REQUEST, false, 2, 2, &I::activityLogRequest},
        {msg::ADMIN_DEBUG_LOG_REQUEST, false, 2, 2, &I::debugLogRequest},
        {msg::ADMIN_CLIENT_STATISTICS_RESET, false, 2, 2, &I::statisticsReset},
        {msg::ADMIN_SET_DEBUG_FILTER_REQUEST, false, 0, kAnyLength, &I::setDebugFilters},
        // Membership and listens.
        {msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST, false, 0, kAnyLength, &I::partyLineRequest},
        {msg::ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE, false, model::PartyLineMembership::kHeadSize,
         model::PartyLineMembership::kSize, &I::partyLineUpdate},
        {msg::ADMIN_FIXED_GROUP_MEMBERSHIP_REQUEST, false, 0, kAnyLength, &I::fixedGroupRequest},
        {msg::ADMIN_FIXED_GROUP_MEMBERSHIP_UPDATE, false, kSet, kSet, &I::fixedGroupUpdate},
        {msg::ADMIN_BLOCKED_LISTEN_REQUEST, false, 0, kAnyLength, &I::blockedListenRequest},
        {msg::ADMIN_BLOCKED_LISTEN_UPDATE, false, kSet, kSet, &I::blockedListenUpdate},
        {msg::ADMIN_FORCED_LISTEN_REQUEST, false, 0, kAnyLength, &I::forcedListenRequest},
        {msg::ADMIN_FORCED_LISTEN_UPDATE, false, kSet, kSet, &I::forcedListenUpdate},
        // Uploads.
        {msg::ADMIN_USER_INTERFACE_FILE_UPLOAD, false, kUploadHead,
         kUploadHead + model::kMaxGraphicFileBytes, &I::graphicUpload},
        {msg::ADMIN_CLIENT_OPTIONS_FILE_UPLOAD, false, kUploadHead,
         kUploadHead + model::kMaxSoundFileBytes, &I::soundUpload},
    };
    return table;
}

SiteProtocol::SiteProtocol(Site& site, ProtocolOptions options)
    : impl_(std::make_unique<Impl>(site, std::move(options))) {}

SiteProtocol::~SiteProtocol() = default;

void SiteProtocol::onConnect(SimConnection& connection) {
    impl_->onConnect(connection);
}

void SiteProtocol::onFrame(SimConnection& connection, const wire::FrameView& frame) {
    impl_->onFrame(connection, frame);
}

void SiteProtocol::onTick(SimConnection& connection) {
    impl_->onTick(connection);
}

void SiteProtocol::onDisconnect() {
    impl_->resetConnection();
}

} // namespace mirx::sim
