#include "model/client_store.h"

#include "core/debug_log.h"

#include <algorithm>
#include <utility>

namespace mirx::model {
namespace {

// The index a second value names; -1 and -2 would name the defaults, so a
// value outside the list maps to an index nothing answers to.
int clientIndexOf(std::uint16_t second) {
    constexpr int kNoRecord = -1000;
    return second < ClientStore::kClients ? static_cast<int>(second) : kNoRecord;
}

bool isClientIndex(int index) {
    return index >= 0 && static_cast<std::size_t>(index) < ClientStore::kClients;
}

// Options and audio name their defaults with the two top values.
bool namesDefault(std::uint16_t second) {
    return second == kDefaultRecordSecondValue || second == kSipDefaultOptionsSecondValue;
}

template <typename R>
std::vector<std::uint8_t> firstBytes(const R& record, std::size_t n) {
    const auto bytes = record.view().first(std::min(n, R::kSize));
    return {bytes.begin(), bytes.end()};
}

} // namespace

ClientStore::ClientStore()
    : masterAdministrator_(masterAdministratorCredentials())
    , options_(kClients)
    , defaultOptions_(defaultClientOptions())
    , sipDefaultOptions_(sipDefaultClientOptions())
    , audio_(kClients)
    , defaultAudio_(defaultAudioSettings()) {
    credentials_.reserve(kClients);
    for (std::size_t i = 0; i < kClients; ++i) {
        credentials_.push_back(initialCredentials(static_cast<int>(i)));
    }
}

// --- receiving ---

bool ClientStore::ReceiveCredentialsList(std::uint16_t count, std::span<const std::uint8_t> payload,
                                         const std::string& peerName) {
    log::print("{%s}: Processing CONFIGURATION_DATA_CLIENT_CREDENTIALS_LIST (iSize: %d) ... # of "
               "Entries: %d",
               peerName.c_str(), static_cast<int>(payload.size()), static_cast<int>(count));
    if (payload.size() > kMaxCredentialsListBytes) {
        return false;
    }
    credentialsCount_ = std::min<std::size_t>(count, kClients);
    // A list cut inside a record leaves the rest of that record as it was.
    for (std::size_t k = 0; k * ClientCredentials::kSize < payload.size(); ++k) {
        credentials_[k].assignPrefix(payload.subspan(k * ClientCredentials::kSize));
    }
    return true;
}

bool ClientStore::ReceiveCredentials(std::uint16_t second, std::span<const std::uint8_t> payload) {
    log::print("[Failover] Processing CONFIGURATION_DATA_CLIENT_CREDENTIALS for %d (iSize: %d)",
               static_cast<int>(static_cast<std::int16_t>(second)),
               static_cast<int>(payload.size()));
    if (payload.size() > kMaxCredentialsBytes) {
        return false;
    }
    if (second == kDefaultRecordSecondValue) {
        masterAdministrator_.assignPrefix(payload);
        return true;
    }
    if (second >= kClients) {
        return false;
    }
    credentials_[second].assignPrefix(payload);
    credentialsCount_ = std::max<std::size_t>(credentialsCount_, second + 1u);
    return true;
}

bool ClientStore::ReceiveOptions(std::uint16_t second, std::span<const std::uint8_t> payload,
                                 const std::string& clientName) {
    if (namesDefault(second)) {
        log::print("{-}: Processing Default CONFIGURATION_DATA_CLIENT_OPTIONS");
    } else {
        log::print("{%s}: Processing CONFIGURATION_DATA_CLIENT_OPTIONS", clientName.c_str());
    }
    if (payload.size() > kMaxOptionsBytes) {
        return false;
    }
    ClientOptions* record = nullptr;
    if (second == kDefaultRecordSecondValue) {
        record = &defaultOptions_;
    } else if (second == kSipDefaultOptionsSecondValue) {
        record = &sipDefaultOptions_;
    } else {
        record = optionsAt(clientIndexOf(second));
    }
    if (record == nullptr) {
        return false;
    }
    record->assignPrefix(payload);
    raise(optionsReceived_);
    return true;
}

bool ClientStore::ReceiveAudio(std::uint16_t second, std::span<const std::uint8_t> payload,
                               const std::string& clientName) {
    if (namesDefault(second)) {
        log::print("{-}: Processing Default CONFIGURATION_DATA_AUDIO_SETTINGS");
    } else {
        log::print("{%s}: Processing CONFIGURATION_DATA_AUDIO_SETTINGS", clientName.c_str());
    }
    if (payload.size() > kMaxAudioBytes) {
        return false;
    }
    // There are no SIP default audio settings, so 0xFFFE names nothing.
    AudioSettings* record =
        second == kDefaultRecordSecondValue ? &defaultAudio_ : audioAt(clientIndexOf(second));
    if (record == nullptr) {
        return false;
    }
    record->assignPrefix(payload);
    raise(audioReceived_);
    return true;
}

bool ClientStore::ReceiveSelectorAssignments(std::uint16_t second,
                                             std::span<const std::uint8_t> payload) {
    if (payload.size() > kMaxSelectorAssignmentsBytes) {
        return false;
    }
    if (second == kDefaultRecordSecondValue) {
        defaultSelectorAssignments_.assignPrefix(payload);
    } else {
        selectorAssignments_.assignPrefix(payload);
        selectorAssignmentsClient_ = second;
        selectorAssignmentsLength_ = payload.size();
    }
    if (second == kDefaultRecordSecondValue || second < kClients) {
        selectorAssignmentsAnswers_[std::min<std::size_t>(second, kClients)].fetch_add(
            1, std::memory_order_release);
    }
    return true;
}

std::uint32_t ClientStore::SelectorAssignmentsAnswers(std::uint16_t second) const {
    if (second != kDefaultRecordSecondValue && second >= kClients) {
        return 0;
    }
    return selectorAssignmentsAnswers_[std::min<std::size_t>(second, kClients)].load(
        std::memory_order_acquire);
}

std::optional<SelectorAssignments> ClientStore::selectorAssignmentsFor(std::uint16_t second) const {
    if (second == kDefaultRecordSecondValue) {
        return defaultSelectorAssignments_;
    }
    if (second != selectorAssignmentsClient_) {
        return std::nullopt;
    }
    return selectorAssignments_;
}

bool ClientStore::ReceiveOptionsInfo(std::span<const std::uint8_t> payload) {
    soundFiles_ = decodeSoundFileList(payload);
    raise(optionsInfoReceived_);
    return true;
}

// --- records by index ---

ClientCredentials* ClientStore::credentialsAt(int index) {
    return const_cast<ClientCredentials*>(std::as_const(*this).credentialsAt(index));
}

const ClientCredentials* ClientStore::credentialsAt(int index) const {
    if (index == kMasterAdministratorIndex) {
        return &masterAdministrator_;
    }
    return isClientIndex(index) ? &credentials_[static_cast<std::size_t>(index)] : nullptr;
}

ClientOptions* ClientStore::optionsAt(int index) {
    return const_cast<ClientOptions*>(std::as_const(*this).optionsAt(index));
}

const ClientOptions* ClientStore::optionsAt(int index) const {
    if (index == kDefaultOptionsIndex) {
        return &defaultOptions_;
    }
    if (index == kSipDefaultOptionsIndex) {
        return &sipDefaultOptions_;
    }
    return isClientIndex(index) ? &options_[static_cast<std::size_t>(index)] : nullptr;
}

AudioSettings* ClientStore::audioAt(int index) {
    return const_cast<AudioSettings*>(std::as_const(*this).audioAt(index));
}

const AudioSettings* ClientStore::audioAt(int index) const {
    if (index == kDefaultAudioSettingsIndex) {
        return &defaultAudio_;
    }
    return isClientIndex(index) ? &audio_[static_cast<std::size_t>(index)] : nullptr;
}

std::optional<ClientCredentials> ClientStore::credentials(int index) const {
    const ClientCredentials* record = credentialsAt(index);
    return record != nullptr ? std::optional{*record} : std::nullopt;
}

bool ClientStore::setCredentials(int index, const ClientCredentials& record) {
    ClientCredentials* target = credentialsAt(index);
    if (target == nullptr) {
        return false;
    }
    *target = record;
    if (isClientIndex(index)) {
        credentialsCount_ =
            std::max<std::size_t>(credentialsCount_, static_cast<std::size_t>(index) + 1);
    }
    return true;
}

std::string ClientStore::loginName(int clientIndex) const {
    return isClientIndex(clientIndex) ? credentials_[static_cast<std::size_t>(clientIndex)].get(
                                            ClientCredentials::kLoginName)
                                      : std::string{};
}

std::optional<ClientOptions> ClientStore::options(int index) const {
    const ClientOptions* record = optionsAt(index);
    return record != nullptr ? std::optional{*record} : std::nullopt;
}

bool ClientStore::setOptions(int index, const ClientOptions& record) {
    ClientOptions* target = optionsAt(index);
    if (target == nullptr) {
        return false;
    }
    *target = record;
    return true;
}

bool ClientStore::CopyOptions(int from, int to) {
    const ClientOptions* source = optionsAt(from);
    return source != nullptr && setOptions(to, *source);
}

std::optional<AudioSettings> ClientStore::audio(int index) const {
    const AudioSettings* record = audioAt(index);
    return record != nullptr ? std::optional{*record} : std::nullopt;
}

bool ClientStore::setAudio(int index, const AudioSettings& record) {
    AudioSettings* target = audioAt(index);
    if (target == nullptr) {
        return false;
    }
    *target = record;
    return true;
}

bool ClientStore::CopyAudio(int from, int to) {
    const AudioSettings* source = audioAt(from);
    return source != nullptr && setAudio(to, *source);
}

// --- what the editors post ---

std::size_t ClientStore::OptionsWireLength(int clientIndex, int clientType) {
    if (clientIndex == kDefaultOptionsIndex) {
        return kOptionsShortWireLength;
    }
    if (clientIndex == kSipDefaultOptionsIndex) {
        return kOptionsSipWireLength;
    }
    return optionsWireLength(clientType);
}

std::optional<OutgoingRecord> ClientStore::OptionsUpdate(int clientIndex, int clientType) const {
    if (!isClientIndex(clientIndex)) {
        return std::nullopt;
    }
    return OutgoingRecord{msg::CONFIGURATION_DATA_CLIENT_OPTIONS,
                          static_cast<std::uint16_t>(clientIndex),
                          firstBytes(options_[static_cast<std::size_t>(clientIndex)],
                                     OptionsWireLength(clientIndex, clientType))};
}

std::optional<OutgoingRecord> ClientStore::AudioUpdate(int clientIndex) const {
    if (!isClientIndex(clientIndex)) {
        return std::nullopt;
    }
    return OutgoingRecord{
        msg::CONFIGURATION_DATA_AUDIO_SETTINGS, static_cast<std::uint16_t>(clientIndex),
        firstBytes(audio_[static_cast<std::size_t>(clientIndex)], AudioSettings::kSize)};
}

OutgoingRecord ClientStore::DefaultOptionsUpdate(bool applyToPrior) const {
    return {msg::CONFIGURATION_DATA_DEFAULT_CLIENT_OPTIONS,
            static_cast<std::uint16_t>(applyToPrior ? 1 : 0),
            firstBytes(defaultOptions_, OptionsWireLength(kDefaultOptionsIndex, 0))};
}

OutgoingRecord ClientStore::DefaultAudioUpdate(bool applyToPrior) const {
    return {msg::CONFIGURATION_DATA_DEFAULT_AUDIO_SETTINGS,
            static_cast<std::uint16_t>(applyToPrior ? 1 : 0),
            firstBytes(defaultAudio_, AudioSettings::kSize)};
}

std::vector<OutgoingRecord> ClientStore::DuplicateSettings(int source, int target,
                                                           int sourceClientType) {
    if (!isClientIndex(source) || !isClientIndex(target)) {
        return {};
    }
    const std::size_t length = optionsWireLength(sourceClientType);
    // A copy, since source and target may be the same record.
    const ClientOptions sourceOptions = options_[static_cast<std::size_t>(source)];
    options_[static_cast<std::size_t>(target)].assignPrefix(sourceOptions.view().first(length));
    audio_[static_cast<std::size_t>(target)] = audio_[static_cast<std::size_t>(source)];

    std::vector<OutgoingRecord> records;
    records.push_back(*OptionsUpdate(target, sourceClientType));
    records.push_back(*AudioUpdate(target));
    return records;
}

} // namespace mirx::model
