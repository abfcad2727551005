#pragma once

#include "model/client_records.h"
#include "model/client_store.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What the audio settings view shows of a record and how it writes the
// controls back: the codec and sample-rate tables, which entries each client
// is offered, the slider positions and their labels, and which values equal
// the defaults. A value no control can show (an unknown codec or rate, a
// slider value off its steps) is written back only when its control changed.

namespace mirx::model {

struct CodecInfo {
    std::uint8_t code;
    std::string_view longName;
    std::string_view shortName;
    // Packet unit in ms: time slices and jitter buffer steps count in it.
    std::uint16_t unitMs;
};

std::span<const CodecInfo> codecs();
std::optional<CodecInfo> findCodec(int code);
// 0 for a code not in the table.
std::uint16_t codecUnitMs(int code);

// Who is edited: the default record has no client type.
struct AudioEditTarget {
    bool defaults = false;
    int clientType = 0;
    // The /Debug command line option.
    bool debug = false;
};

struct ChoiceEntry {
    int value;
    std::string text;
    friend bool operator==(const ChoiceEntry&, const ChoiceEntry&) = default;
};

// "unknown (N)": a stored value the table lacks.
std::string unknownEntryText(int value);

// The codecs offered, in list order. The current code is always among them
// (as "unknown (N)" when the table lacks it) so the record shows what it holds.
std::vector<ChoiceEntry> codecEntries(const AudioEditTarget& target, int currentCode);

// The rates offered for `codec` under the system's audio mix rate. A current
// rate the table lacks is added as "unknown (N)".
std::vector<ChoiceEntry> audioSampleRateEntries(int codec, std::uint16_t mixRate,
                                                std::uint16_t currentRate);
// The entry to select: the current rate when listed, else the last entry.
int selectedSampleRate(const std::vector<ChoiceEntry>& entries, std::uint16_t currentRate);

inline constexpr std::array<std::string_view, 3> kEncryptionEntries{
    "No Encryption", "AES Fixed 128-bit Encryption", "AES Fixed 256-bit Encryption"};

enum class AudioSlider : std::uint8_t {
    SpeakerDim,
    InputGain,
    OutputGain,
    SilenceSuppression,
    ResequencerDepth,
    TimeSlice,
    AgcLevel,
    EncodeComplexity,
    JitterBuffer,
    EchoTail,
    EncodeQuality,
    CaptureBuffer,
};
inline constexpr std::array<AudioSlider, 12> kAudioSliders{
    AudioSlider::SpeakerDim,         AudioSlider::InputGain,        AudioSlider::OutputGain,
    AudioSlider::SilenceSuppression, AudioSlider::ResequencerDepth, AudioSlider::TimeSlice,
    AudioSlider::AgcLevel,           AudioSlider::EncodeComplexity, AudioSlider::JitterBuffer,
    AudioSlider::EchoTail,           AudioSlider::EncodeQuality,    AudioSlider::CaptureBuffer};

std::string_view sliderCaption(AudioSlider slider);
// Positions run from 0 to this.
int sliderMaximum(AudioSlider slider);
// The value stored for a position (the jitter buffer's position 0 stores the
// automatic bit instead, see writeAudioSettings).
int sliderStoredValue(AudioSlider slider, int position, int unitMs);
// The text beside the slider, and the same for a stored value.
std::string sliderLabel(AudioSlider slider, int position, int unitMs);
std::string storedValueLabel(AudioSlider slider, int stored, int unitMs);
// The text for what the record holds, off the slider's steps too ("150 ms"
// where the slider can only show 100 or 200); "Automatic" for an automatic
// jitter buffer.
std::string recordValueLabel(const AudioSettings& record, AudioSlider slider);

// Which controls the view shows or enables for the codec and client.
bool sliderShown(AudioSlider slider, int codec, bool debug);
bool variableBitRateShown(int codec);
bool echoCancellationEnabled(const AudioEditTarget& target);
// The default record has no client type; its encryption stays editable.
bool encryptionEnabled(const AudioEditTarget& target);

// The controls' state.
struct AudioForm {
    int codec = 0;
    int sampleRate = 0;
    std::array<int, kAudioSliders.size()> positions{};
    bool automaticGainControl = false;
    bool variableBitRate = false;
    bool echoCancellation = false;
    int encryption = 0;

    int& position(AudioSlider s) { return positions[static_cast<std::size_t>(s)]; }
    int position(AudioSlider s) const { return positions[static_cast<std::size_t>(s)]; }
    friend bool operator==(const AudioForm&, const AudioForm&) = default;
};

// Positions are the nearest step to the stored value, within the range.
AudioForm showAudioSettings(const AudioSettings& record, const AudioEditTarget& target,
                            std::uint16_t mixRate);

// A new codec resets, in the edited record, the capture buffer to one packet
// unit, the time slice to one unit and the jitter buffer to automatic; the
// form follows the record.
void changeCodec(AudioSettings& edited, AudioForm& form, int codec, const AudioEditTarget& target,
                 std::uint16_t mixRate);

// The record to post: each control that differs from what `edited` shows is
// written; hidden and disabled controls and every other byte stay.
AudioSettings writeAudioSettings(const AudioForm& form, const AudioSettings& edited,
                                 const AudioEditTarget& target, std::uint16_t mixRate);

struct AudioDifference {
    std::string caption;
    std::string value;
    std::string defaultValue;
    friend bool operator==(const AudioDifference&, const AudioDifference&) = default;
};

// The values shown with "(DEFAULT)": those the form's record shares with the
// defaults. None while the defaults themselves are edited; the capture
// buffer and time slice only with /Debug.
struct AudioMarks {
    bool codec = false;
    bool sampleRate = false;
    std::array<bool, kAudioSliders.size()> sliders{};
    bool automaticGainControl = false;
    bool variableBitRate = false;
    bool echoCancellation = false;
    bool encryption = false;
    bool slider(AudioSlider s) const { return sliders[static_cast<std::size_t>(s)]; }
};
AudioMarks audioDefaultMarks(const AudioForm& form, const AudioSettings& defaults,
                             const AudioEditTarget& target);

// Every shown value where the client's record differs from the defaults.
std::vector<AudioDifference> audioDifferences(const AudioSettings& record,
                                              const AudioSettings& defaults,
                                              const AudioEditTarget& target);
// OK: puts the record into the store and returns what to post, the
// client's record or the defaults with 1 to apply them to every client still
// on the prior defaults. Nothing for an index that names no client.
std::optional<OutgoingRecord> saveAudioSettings(ClientStore& store, int clientIndex, bool defaults,
                                                const AudioSettings& record, bool applyToPrior);

// One line per difference: "caption: value (default: value)".
std::string differencesText(std::span<const AudioDifference> differences);

} // namespace mirx::model
