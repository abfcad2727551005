#pragma once

#include "core/message_ids.h"
#include "model/client_records.h"
#include "model/selector_assignments.h"
#include "model/sound_files.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The console's mirror of the per-client records: credentials, options, audio
// settings, selector assignments and the sound file list, with the arrival
// flags an editor polls after asking for a record. The caller serialises
// access to the records; only the flags are read without that lock.

namespace mirx::model {

// Asked before a default record is posted; Yes sends 1 with it.
inline constexpr const char* kApplyDefaultsQuestion =
    "Should the new default settings be applied to all Clients set to the prior default "
    "settings?";

// A record for the caller to post; the stores never post themselves.
struct OutgoingRecord {
    std::uint16_t id = 0;
    std::uint16_t second = 0;
    std::vector<std::uint8_t> bytes;

    friend bool operator==(const OutgoingRecord&, const OutgoingRecord&) = default;
};

class ClientStore {
public:
    static constexpr std::size_t kClients = kCredentialsListRecords;
    // Largest payloads taken; anything longer is ignored whole.
    static constexpr std::size_t kMaxCredentialsListBytes = kCredentialsListBytes;
    static constexpr std::size_t kMaxCredentialsBytes = ClientCredentials::kSize;
    static constexpr std::size_t kMaxOptionsBytes = ClientOptions::kSize;
    static constexpr std::size_t kMaxAudioBytes = AudioSettings::kSize;
    static constexpr std::size_t kMaxSelectorAssignmentsBytes = SelectorAssignments::kSize;

    ClientStore();
    ClientStore(const ClientStore&) = delete;
    ClientStore& operator=(const ClientStore&) = delete;

    // --- receiving (connection thread); true when the record was stored ---

    // `count` becomes the credentials count, bounded by the list's capacity.
    bool ReceiveCredentialsList(std::uint16_t count, std::span<const std::uint8_t> payload,
                                const std::string& peerName);
    // 0xFFFF names the master administrator record.
    bool ReceiveCredentials(std::uint16_t second, std::span<const std::uint8_t> payload);
    // `clientName` is the login name logged for a client index; a short
    // record leaves the rest of the stored one as it was.
    bool ReceiveOptions(std::uint16_t second, std::span<const std::uint8_t> payload,
                        const std::string& clientName);
    bool ReceiveAudio(std::uint16_t second, std::span<const std::uint8_t> payload,
                      const std::string& clientName);
    // An oversized record is refused and raises no flag, so a view waiting
    // for it never takes the old record as the answer.
    bool ReceiveSelectorAssignments(std::uint16_t second, std::span<const std::uint8_t> payload);
    bool ReceiveOptionsInfo(std::span<const std::uint8_t> payload);

    // --- arrival flags: true once per arrival ---

    bool TakeOptionsReceived() { return take(optionsReceived_); }
    bool TakeAudioReceived() { return take(audioReceived_); }
    bool TakeOptionsInfoReceived() { return take(optionsInfoReceived_); }

    // Selector assignments answers stored so far for `second`: a client
    // index, or kDefaultRecordSecondValue for the default record; 0 for any
    // other. Read without the lock. A selector report may be gathering
    // while a client's selectors are edited or duplicated: each waiter
    // notes the count for its own record before asking and waits for that
    // count to move, so none takes another's answer (or another client's
    // record) for its own.
    std::uint32_t SelectorAssignmentsAnswers(std::uint16_t second) const;

    // --- records by index; nullopt / false for an index with no record ---

    // Index -1 is the master administrator.
    std::optional<ClientCredentials> credentials(int index) const;
    // A client's record raises the credentials count to cover it.
    bool setCredentials(int index, const ClientCredentials& record);
    // One more than the highest client index whose credentials are held.
    std::size_t credentialsCount() const { return credentialsCount_; }
    // Empty for an index with no credentials record.
    std::string loginName(int clientIndex) const;

    // Index -1 is the default options, -2 the SIP default options.
    std::optional<ClientOptions> options(int index) const;
    bool setOptions(int index, const ClientOptions& record);
    bool CopyOptions(int from, int to);

    // Index -1 is the default audio settings.
    std::optional<AudioSettings> audio(int index) const;
    bool setAudio(int index, const AudioSettings& record);
    bool CopyAudio(int from, int to);

    // The one client record (the last one fetched) and the default record.
    const SelectorAssignments& selectorAssignments() const { return selectorAssignments_; }
    // An edited client's record as posted; it takes the client's place, so
    // a gatherer never reads it as another client's answer.
    void setSelectorAssignments(std::uint16_t clientIndex, const SelectorAssignments& record) {
        selectorAssignments_ = record;
        selectorAssignmentsClient_ = clientIndex;
        selectorAssignmentsLength_ = record.wire().size();
    }
    // Which client the last client record answered (its second value) and
    // how many bytes came: a gatherer that gave up on one client knows a
    // late answer from the one it waits for, and reads no entry the record
    // did not carry.
    std::uint16_t selectorAssignmentsClient() const { return selectorAssignmentsClient_; }
    std::size_t selectorAssignmentsLength() const { return selectorAssignmentsLength_; }
    // The record answering `second` as held now: the default record, or the
    // client record while it still holds that client's answer; nothing once
    // another client's answer has taken its place.
    std::optional<SelectorAssignments> selectorAssignmentsFor(std::uint16_t second) const;
    const SelectorAssignments& defaultSelectorAssignments() const {
        return defaultSelectorAssignments_;
    }
    void setDefaultSelectorAssignments(const SelectorAssignments& record) {
        defaultSelectorAssignments_ = record;
    }

    const FileNameList& soundFiles() const { return soundFiles_; }

    // --- what the editors post ---

    // Bytes of an options record on the wire: the default options go in the
    // short form, the SIP defaults whole, a client's by its type.
    static std::size_t OptionsWireLength(int clientIndex, int clientType);

    // A client's record, as CONFIGURATION_DATA_CLIENT_OPTIONS or
    // CONFIGURATION_DATA_AUDIO_SETTINGS; nullopt unless the index names a
    // client (the defaults go by the two below).
    std::optional<OutgoingRecord> OptionsUpdate(int clientIndex, int clientType) const;
    std::optional<OutgoingRecord> AudioUpdate(int clientIndex) const;
    // `applyToPrior`: also apply to every client still on the old defaults.
    OutgoingRecord DefaultOptionsUpdate(bool applyToPrior) const;
    OutgoingRecord DefaultAudioUpdate(bool applyToPrior) const;

    // For a duplicated client: copies the source's options (as many bytes
    // as its type sends; the rest of the target stays) and its audio
    // settings, and returns the two records to post for the target. Empty
    // when either index names no client.
    std::vector<OutgoingRecord> DuplicateSettings(int source, int target, int sourceClientType);

private:
    static bool take(std::atomic<bool>& flag) {
        return flag.exchange(false, std::memory_order_acquire);
    }
    static void raise(std::atomic<bool>& flag) { flag.store(true, std::memory_order_release); }

    ClientCredentials* credentialsAt(int index);
    const ClientCredentials* credentialsAt(int index) const;
    ClientOptions* optionsAt(int index);
    const ClientOptions* optionsAt(int index) const;
    AudioSettings* audioAt(int index);
    const AudioSettings* audioAt(int index) const;

    std::vector<ClientCredentials> credentials_;
    ClientCredentials masterAdministrator_;
    std::size_t credentialsCount_ = 0;
    std::vector<ClientOptions> options_;
    ClientOptions defaultOptions_;
    ClientOptions sipDefaultOptions_;
    std::vector<AudioSettings> audio_;
    AudioSettings defaultAudio_;
    SelectorAssignments selectorAssignments_;
    SelectorAssignments defaultSelectorAssignments_;
    std::uint16_t selectorAssignmentsClient_ = kDefaultRecordSecondValue;
    std::size_t selectorAssignmentsLength_ = 0;
    FileNameList soundFiles_;

    std::atomic<bool> optionsReceived_{false};
    std::atomic<bool> audioReceived_{false};
    // Client indexes, then the default record.
    std::array<std::atomic<std::uint32_t>, kClients + 1> selectorAssignmentsAnswers_{};
    std::atomic<bool> optionsInfoReceived_{false};
};

// One waiter's place in ClientStore::SelectorAssignmentsAnswers for the
// record it asks for: noted just before the request, so only an answer
// stored after it counts (and none before the first request).
class SelectorAnswerWait {
public:
    explicit SelectorAnswerWait(std::uint16_t second)
        : second_(second) {}
    std::uint16_t second() const { return second_; }
    void asking(const ClientStore& store) { before_ = store.SelectorAssignmentsAnswers(second_); }
    bool answered(const ClientStore& store) const {
        return before_ && store.SelectorAssignmentsAnswers(second_) != *before_;
    }

private:
    std::uint16_t second_;
    std::optional<std::uint32_t> before_;
};

} // namespace mirx::model
