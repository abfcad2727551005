#include "model/audio_settings_form.h"

#include "model/client_types.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

namespace mirx::model {
namespace {

using A = AudioSettings;

constexpr std::array<CodecInfo, 12> kCodecs{{
    {0, "PCM (Pulse Code Modulation) @ 20ms ", "PCM @ 20ms", 20},
    {1, "Speex (Code Excited Linear Prediction)", "Speex CELP", 20},
    {2, "G.722 (Adaptive Differential PCM)", "G.722 ADPCM", 20},
    {3, "iLBC (Internet Low Bit Rate)", "iLBC", 20},
    {4, "G.711 u-Law (Logarithmic PCM)", "G.711 u-Law PCM", 20},
    {5, "G.711 A-Law (Logarithmic PCM)", "G.711 A-Law PCM", 20},
    {6, "GSM (Global System for Mobile)", "GSM", 20},
    {7, "Speex #2 (Code Excited Linear Prediction)", "Speex CELP", 20},
    {8, "G.722.1 (Adaptive Differential PCM)", "G.722.1 ADPCM", 20},
    {9, "PCM (Pulse Code Modulation) @ 5ms", "PCM @ 5ms", 5},
    {10, "OPUS (Constrained Energy Lapped Transform) @ 20ms", "OPUS @ 20ms", 20},
    {11, "OPUS (Constrained Energy Lapped Transform) @ 5ms", "OPUS @ 5ms", 5},
}};

struct RateInfo {
    std::string_view name;
    std::uint16_t rate;
    std::uint16_t codecs; // bit per codec code
    // Not offered while the audio mix rate is at or below this (0: always).
    std::uint16_t mixAtMost;
};

constexpr std::uint16_t bits(std::initializer_list<int> codes) {
    std::uint16_t b = 0;
    for (const int c : codes) {
        b = static_cast<std::uint16_t>(b | (1u << c));
    }
    return b;
}

constexpr std::array<RateInfo, 5> kRates{{
    {"Narrowband (8 KHz)", 8000, bits({0, 1, 3, 4, 5, 6, 7, 9, 10, 11}), 0},
    {"Wideband (16 KHz)", 16000, bits({0, 1, 2, 7, 8, 9, 10, 11}), 8000},
    {"Super Wideband (24 KHz)", 24000, bits({10, 11}), 0},
    {"Ultra Wideband (32 KHz)", 32000, bits({0, 1, 7, 8, 9}), 16000},
    {"Full Band (48 KHz)", 48000, bits({0, 9, 10, 11}), 32000},
}};

bool isSip(const AudioEditTarget& t) {
    return !t.defaults && isSipDevice(t.clientType);
}
// Types 16 to 19 are offered a short list.
bool isSmall(const AudioEditTarget& t) {
    return !t.defaults && t.clientType >= 16 && t.clientType <= 19;
}
bool usesSpeexOptions(int codec) {
    return codec == 1 || codec == 10 || codec == 11;
}

std::string number(int value) {
    return std::to_string(value);
}
std::string plus(int value) {
    return value > 0 ? "+" + number(value) : number(value);
}

std::string signedText(int value) {
    return value == 0 ? "Standard" : plus(value);
}

// The stored value of a slider (jitter: its size in ms; the automatic bit
// is handled apart).
int storedValue(const A& r, AudioSlider s) {
    switch (s) {
    case AudioSlider::SpeakerDim:
        return r.get(A::kSpeakerDimReduction);
    case AudioSlider::InputGain:
        return r.get(A::kInputGain);
    case AudioSlider::OutputGain:
        return r.get(A::kOutputGain);
    case AudioSlider::SilenceSuppression:
        return r.get(A::kSilenceSuppressionTime);
    case AudioSlider::ResequencerDepth:
        return r.get(A::kResequencerDepth);
    case AudioSlider::TimeSlice:
        return r.get(A::kTimeSlicePerPacket);
    case AudioSlider::AgcLevel:
        return r.get(A::kAgcLevel);
    case AudioSlider::EncodeComplexity:
        return static_cast<std::int8_t>(r.get(A::kEncodeComplexity));
    case AudioSlider::JitterBuffer:
        return r.get(A::kJitterBufferSize);
    case AudioSlider::EchoTail:
        return r.get(A::kEchoTailLength);
    case AudioSlider::EncodeQuality:
        return r.get(A::kEncodeQuality);
    case AudioSlider::CaptureBuffer:
        return r.get(A::kCaptureBufferSize);
    }
    return 0;
}

void setStoredValue(A& r, AudioSlider s, int v) {
    switch (s) {
    case AudioSlider::SpeakerDim:
        r.set(A::kSpeakerDimReduction, v);
        break;
    case AudioSlider::InputGain:
        r.set(A::kInputGain, v);
        break;
    case AudioSlider::OutputGain:
        r.set(A::kOutputGain, v);
        break;
    case AudioSlider::SilenceSuppression:
        r.set(A::kSilenceSuppressionTime, v);
        break;
    case AudioSlider::ResequencerDepth:
        r.set(A::kResequencerDepth, v);
        break;
    case AudioSlider::TimeSlice:
        r.set(A::kTimeSlicePerPacket, v);
        break;
    case AudioSlider::AgcLevel:
        r.set(A::kAgcLevel, v);
        break;
    case AudioSlider::EncodeComplexity:
        r.set(A::kEncodeComplexity, static_cast<std::uint8_t>(static_cast<std::int8_t>(v)));
        break;
    case AudioSlider::JitterBuffer:
        r.set(A::kJitterBufferSize, v);
        break;
    case AudioSlider::EchoTail:
        r.set(A::kEchoTailLength, v);
        break;
    case AudioSlider::EncodeQuality:
        r.set(A::kEncodeQuality, v);
        break;
    case AudioSlider::CaptureBuffer:
        r.set(A::kCaptureBufferSize, v);
        break;
    }
}

bool jitterAutomatic(const A& r) {
    return r.testBit(A::kAudioFlags, A::kAutomaticJitterBufferBit);
}

// The nearest position to a stored value.
int positionOf(AudioSlider s, int stored, int unitMs) {
    int best = 0;
    for (int p = 1; p <= sliderMaximum(s); ++p) {
        const int d = std::abs(sliderStoredValue(s, p, unitMs) - stored);
        if (d < std::abs(sliderStoredValue(s, best, unitMs) - stored)) {
            best = p;
        }
    }
    return best;
}

int sliderPosition(const A& r, AudioSlider s) {
    const int unit = codecUnitMs(r.get(A::kCodec));
    if (s == AudioSlider::JitterBuffer) {
        if (jitterAutomatic(r)) {
            return 0;
        }
        return std::max(1, positionOf(s, storedValue(r, s), unit));
    }
    return positionOf(s, storedValue(r, s), unit);
}

bool sliderEditable(AudioSlider s, int codec, const AudioEditTarget& target) {
    if (!sliderShown(s, codec, target.debug)) {
        return false;
    }
    return s != AudioSlider::EchoTail || echoCancellationEnabled(target);
}

} // namespace

std::span<const CodecInfo> codecs() {
    return kCodecs;
}

std::optional<CodecInfo> findCodec(int code) {
    for (const CodecInfo& c : kCodecs) {
        if (c.code == code) {
            return c;
        }
    }
    return std::nullopt;
}

std::uint16_t codecUnitMs(int code) {
    const auto c = findCodec(code);
    return c ? c->unitMs : std::uint16_t{0};
}

std::string unknownEntryText(int value) {
    return "unknown (" + number(value) + ")";
}

std::vector<ChoiceEntry> codecEntries(const AudioEditTarget& t, int current) {
    const bool sip = isSip(t);
    const bool small = isSmall(t);
    const bool full = t.defaults || sip || (t.debug && !small);
    const bool longNames = sip || t.debug;
    std::vector<ChoiceEntry> list;
    const auto add = [&](int code, std::string_view text) {
        list.push_back({code, std::string(text)});
    };
    const auto longName = [](int code) {
        return kCodecs[static_cast<std::size_t>(code)].longName;
    };

    if ((t.debug && !t.defaults && !sip) || current == 0) {
        add(0, longName(0));
    }
    add(1, longNames ? longName(1) : "High Compression Codec / Low Bitrate (Default)");
    for (const int code : {10, 11}) {
        if ((!t.defaults && (sip || (t.debug && !small))) || current == code) {
            add(code, longName(code));
        }
    }
    if (!small || current == 2) {
        add(2, longNames ? longName(2) : "Low Compression Codec / High Bitrate");
    }
    for (const int code : {3, 4, 5, 6}) {
        if (full || current == code) {
            add(code, longName(code));
        }
    }
    if ((t.debug && !t.defaults && !sip && !small) || current == 7) {
        add(7, longName(7));
    }
    if (full || current == 8) {
        add(8, longName(8));
    }
    if ((!sip && !t.defaults) || current == 9) {
        add(9, t.debug || sip || t.defaults ? longName(9) : "No Compression / Very High Bitrate");
    }
    if (!findCodec(current)) {
        add(current, unknownEntryText(current));
    }
    return list;
}

std::vector<ChoiceEntry> audioSampleRateEntries(int codec, std::uint16_t mixRate,
                                                std::uint16_t currentRate) {
    std::vector<ChoiceEntry> list;
    bool known = false;
    for (const RateInfo& r : kRates) {
        known = known || r.rate == currentRate;
        const bool forCodec = codec >= 0 && codec < 16 && ((r.codecs >> codec) & 1u) != 0;
        if (forCodec && (r.mixAtMost == 0 || mixRate > r.mixAtMost)) {
            list.push_back({r.rate, std::string(r.name)});
        }
    }
    if (!known) {
        list.push_back({currentRate, unknownEntryText(currentRate)});
    }
    return list;
}

int selectedSampleRate(const std::vector<ChoiceEntry>& entries, std::uint16_t currentRate) {
    for (const ChoiceEntry& e : entries) {
        if (e.value == currentRate) {
            return e.value;
        }
    }
    return entries.empty() ? currentRate : entries.back().value;
}

std::string_view sliderCaption(AudioSlider s) {
    switch (s) {
    case AudioSlider::SpeakerDim:
        return "Speakerphone Speaker Dim Reduction";
    case AudioSlider::InputGain:
        return "Audio Input Level Gain (Pre-Mix)";
    case AudioSlider::OutputGain:
        return "Audio Output Level Gain (Post-Mix)";
    case AudioSlider::SilenceSuppression:
        return "Silence Suppression Time";
    case AudioSlider::ResequencerDepth:
        return "Packet Resequencer Depth";
    case AudioSlider::TimeSlice:
        return "Audio Time Slice Per Packet";
    case AudioSlider::AgcLevel:
        return "Automatic Gain Control Level";
    case AudioSlider::EncodeComplexity:
        return "Audio Encode Complexity";
    case AudioSlider::JitterBuffer:
        return "Jitter Buffer Size";
    case AudioSlider::EchoTail:
        return "Echo Cancellation Tail Length";
    case AudioSlider::EncodeQuality:
        return "Audio Encode Quality";
    case AudioSlider::CaptureBuffer:
        return "Audio Capture Buffer Size";
    }
    return {};
}

int sliderMaximum(AudioSlider s) {
    switch (s) {
    case AudioSlider::SpeakerDim:
        return 7;
    case AudioSlider::InputGain:
    case AudioSlider::OutputGain:
        return 6;
    case AudioSlider::SilenceSuppression:
    case AudioSlider::JitterBuffer:
    case AudioSlider::EncodeQuality:
        return 10;
    case AudioSlider::ResequencerDepth:
    case AudioSlider::EncodeComplexity:
    case AudioSlider::CaptureBuffer:
        return 9;
    case AudioSlider::TimeSlice:
        return 4;
    case AudioSlider::AgcLevel:
        return 31;
    case AudioSlider::EchoTail:
        return 5;
    }
    return 0;
}

int sliderStoredValue(AudioSlider s, int p, int unitMs) {
    switch (s) {
    case AudioSlider::SpeakerDim:
        return p;
    case AudioSlider::InputGain:
    case AudioSlider::OutputGain:
        return p - 3;
    case AudioSlider::SilenceSuppression:
        return p * 100;
    case AudioSlider::ResequencerDepth:
    case AudioSlider::TimeSlice:
        return p + 1;
    case AudioSlider::AgcLevel:
    case AudioSlider::EncodeQuality:
        return p - 8;
    case AudioSlider::EncodeComplexity:
        return p - 1;
    case AudioSlider::JitterBuffer:
        return p * unitMs;
    case AudioSlider::EchoTail:
        return p * 50 + 50;
    case AudioSlider::CaptureBuffer:
        return p * 5 + 5;
    }
    return 0;
}

std::string storedValueLabel(AudioSlider s, int v, int unitMs) {
    switch (s) {
    case AudioSlider::CaptureBuffer:
    case AudioSlider::EchoTail:
    case AudioSlider::JitterBuffer:
        return number(v) + " ms";
    case AudioSlider::TimeSlice:
        return number(v * unitMs) + " ms";
    case AudioSlider::SilenceSuppression:
        return v == 0 ? "Off" : number(v) + " ms";
    case AudioSlider::ResequencerDepth:
        return number(v) + " packets";
    case AudioSlider::InputGain:
    case AudioSlider::OutputGain:
        return plus(v * 6) + " dB";
    case AudioSlider::SpeakerDim:
        return v == 0 ? "None" : v == 7 ? "Mute" : "-" + number(v * 6) + " dB";
    case AudioSlider::AgcLevel:
    case AudioSlider::EncodeQuality:
    case AudioSlider::EncodeComplexity:
        return signedText(v);
    }
    return {};
}

std::string sliderLabel(AudioSlider s, int position, int unitMs) {
    if (s == AudioSlider::JitterBuffer && position == 0) {
        return "Automatic";
    }
    return storedValueLabel(s, sliderStoredValue(s, position, unitMs), unitMs);
}

bool sliderShown(AudioSlider s, int codec, bool debug) {
    switch (s) {
    case AudioSlider::EncodeQuality:
        return codec == 1;
    case AudioSlider::EncodeComplexity:
        return usesSpeexOptions(codec);
    case AudioSlider::CaptureBuffer:
    case AudioSlider::TimeSlice:
        return debug;
    default:
        return true;
    }
}

bool variableBitRateShown(int codec) {
    return usesSpeexOptions(codec);
}

bool echoCancellationEnabled(const AudioEditTarget& t) {
    return t.defaults || !(t.clientType == 16 || t.clientType == 17 || isSipDevice(t.clientType));
}

bool encryptionEnabled(const AudioEditTarget& t) {
    return !isSip(t);
}

AudioForm showAudioSettings(const AudioSettings& r, const AudioEditTarget& target,
                            std::uint16_t mixRate) {
    AudioForm form;
    form.codec = r.get(A::kCodec);
    const std::uint16_t rate = r.get(A::kSampleRate);
    form.sampleRate = selectedSampleRate(audioSampleRateEntries(form.codec, mixRate, rate), rate);
    for (const AudioSlider s : kAudioSliders) {
        form.position(s) = sliderPosition(r, s);
    }
    form.automaticGainControl = r.get(A::kAutomaticGainControl) != 0;
    form.variableBitRate = r.get(A::kVariableBitRate) != 0;
    form.echoCancellation = r.get(A::kEchoCancellation) != 0;
    if (!echoCancellationEnabled(target)) {
        form.echoCancellation = false;
        form.position(AudioSlider::EchoTail) = 0;
    }
    form.encryption = r.get(A::kEncryption);
    return form;
}

void changeCodec(AudioSettings& edited, AudioForm& form, int codec, const AudioEditTarget& target,
                 std::uint16_t mixRate) {
    const int unit = codecUnitMs(codec);
    edited.set(A::kCodec, codec);
    edited.set(A::kCaptureBufferSize, unit);
    edited.set(A::kTimeSlicePerPacket, 1);
    edited.setBit(A::kAudioFlags, A::kAutomaticJitterBufferBit, true);
    edited.set(A::kJitterBufferSize, unit);
    const AudioForm shown = showAudioSettings(edited, target, mixRate);
    form.codec = codec;
    for (const AudioSlider s :
         {AudioSlider::CaptureBuffer, AudioSlider::TimeSlice, AudioSlider::JitterBuffer}) {
        form.position(s) = shown.position(s);
    }
    const std::uint16_t rate = edited.get(A::kSampleRate);
    form.sampleRate = selectedSampleRate(audioSampleRateEntries(codec, mixRate, rate), rate);
}

AudioSettings writeAudioSettings(const AudioForm& form, const AudioSettings& edited,
                                 const AudioEditTarget& target, std::uint16_t mixRate) {
    const AudioForm shown = showAudioSettings(edited, target, mixRate);
    AudioSettings r = edited;
    if (form.codec != shown.codec) {
        r.set(A::kCodec, form.codec);
    }
    const int unit = codecUnitMs(form.codec);
    if (form.sampleRate != r.get(A::kSampleRate)) {
        r.set(A::kSampleRate, form.sampleRate);
    }
    for (const AudioSlider s : kAudioSliders) {
        const int p = form.position(s);
        if (!sliderEditable(s, form.codec, target) || p == shown.position(s)) {
            continue;
        }
        if (s == AudioSlider::JitterBuffer) {
            r.setBit(A::kAudioFlags, A::kAutomaticJitterBufferBit, p == 0);
            if (p == 0) {
                continue;
            }
        }
        setStoredValue(r, s, sliderStoredValue(s, p, unit));
    }
    if (form.automaticGainControl != shown.automaticGainControl) {
        r.set(A::kAutomaticGainControl, form.automaticGainControl ? 1 : 0);
    }
    if (variableBitRateShown(form.codec) && form.variableBitRate != shown.variableBitRate) {
        r.set(A::kVariableBitRate, form.variableBitRate ? 1 : 0);
    }
    if (echoCancellationEnabled(target) && form.echoCancellation != shown.echoCancellation) {
        r.set(A::kEchoCancellation, form.echoCancellation ? 1 : 0);
    }
    if (encryptionEnabled(target) && form.encryption != shown.encryption) {
        r.set(A::kEncryption, form.encryption);
    }
    return r;
}

namespace {

// What a slider's value means for the comparisons: the automatic jitter
// buffer is one value whatever its size field holds.
int comparable(const A& r, AudioSlider s) {
    if (s == AudioSlider::JitterBuffer && jitterAutomatic(r)) {
        return -1;
    }
    return storedValue(r, s);
}

std::string valueText(const A& r, AudioSlider s) {
    if (s == AudioSlider::JitterBuffer && jitterAutomatic(r)) {
        return "Automatic";
    }
    return storedValueLabel(s, storedValue(r, s), codecUnitMs(r.get(A::kCodec)));
}

std::string codecText(int code) {
    const auto c = findCodec(code);
    return c ? std::string(c->longName) : unknownEntryText(code);
}

std::string rateText(int rate) {
    for (const RateInfo& r : kRates) {
        if (r.rate == rate) {
            return std::string(r.name);
        }
    }
    return unknownEntryText(rate);
}

std::string onOff(int v) {
    return v != 0 ? "on" : "off";
}

std::string encryptionText(int v) {
    return v >= 0 && v < static_cast<int>(kEncryptionEntries.size())
               ? std::string(kEncryptionEntries[static_cast<std::size_t>(v)])
               : unknownEntryText(v);
}

} // namespace

std::string recordValueLabel(const AudioSettings& record, AudioSlider slider) {
    return valueText(record, slider);
}

AudioMarks audioDefaultMarks(const AudioForm& form, const AudioSettings& defaults,
                             const AudioEditTarget& target) {
    AudioMarks marks;
    if (target.defaults) {
        return marks;
    }
    marks.codec = form.codec == defaults.get(A::kCodec);
    marks.sampleRate = form.sampleRate == defaults.get(A::kSampleRate);
    const int unit = codecUnitMs(form.codec);
    for (const AudioSlider s : kAudioSliders) {
        if (!sliderShown(s, form.codec, target.debug)) {
            continue;
        }
        const int p = form.position(s);
        const int value =
            s == AudioSlider::JitterBuffer && p == 0 ? -1 : sliderStoredValue(s, p, unit);
        marks.sliders[static_cast<std::size_t>(s)] = value == comparable(defaults, s);
    }
    marks.automaticGainControl =
        form.automaticGainControl == (defaults.get(A::kAutomaticGainControl) != 0);
    marks.variableBitRate = variableBitRateShown(form.codec) &&
                            form.variableBitRate == (defaults.get(A::kVariableBitRate) != 0);
    marks.echoCancellation = echoCancellationEnabled(target) &&
                             form.echoCancellation == (defaults.get(A::kEchoCancellation) != 0);
    marks.encryption = form.encryption == defaults.get(A::kEncryption);
    return marks;
}

std::vector<AudioDifference> audioDifferences(const AudioSettings& record,
                                              const AudioSettings& defaults,
                                              const AudioEditTarget& target) {
    std::vector<AudioDifference> out;
    const auto compare = [&](std::string_view caption, int value, int defaultValue,
                             std::string text, std::string defaultText) {
        if (value != defaultValue) {
            out.push_back({std::string(caption), std::move(text), std::move(defaultText)});
        }
    };
    const int codec = record.get(A::kCodec);
    compare("Audio Encoder/Decoder", codec, defaults.get(A::kCodec), codecText(codec),
            codecText(defaults.get(A::kCodec)));
    compare("Audio Encode Sample Rate", record.get(A::kSampleRate), defaults.get(A::kSampleRate),
            rateText(record.get(A::kSampleRate)), rateText(defaults.get(A::kSampleRate)));
    for (const AudioSlider s : kAudioSliders) {
        if (sliderEditable(s, codec, target)) {
            compare(sliderCaption(s), comparable(record, s), comparable(defaults, s),
                    valueText(record, s), valueText(defaults, s));
        }
    }
    const auto flag = [&](std::string_view caption, rec::Scalar<std::uint8_t> f) {
        compare(caption, record.get(f) != 0, defaults.get(f) != 0, onOff(record.get(f)),
                onOff(defaults.get(f)));
    };
    flag("Automatic Gain Control", A::kAutomaticGainControl);
    if (variableBitRateShown(codec)) {
        flag("Variable Bit Rate", A::kVariableBitRate);
    }
    if (echoCancellationEnabled(target)) {
        flag("Echo Cancellation", A::kEchoCancellation);
    }
    compare("Audio Encryption", record.get(A::kEncryption), defaults.get(A::kEncryption),
            encryptionText(record.get(A::kEncryption)),
            encryptionText(defaults.get(A::kEncryption)));
    return out;
}

std::optional<OutgoingRecord> saveAudioSettings(ClientStore& store, int clientIndex, bool defaults,
                                                const AudioSettings& record, bool applyToPrior) {
    if (defaults) {
        store.setAudio(kDefaultAudioSettingsIndex, record);
        return store.DefaultAudioUpdate(applyToPrior);
    }
    if (!store.setAudio(clientIndex, record)) {
        return std::nullopt;
    }
    return store.AudioUpdate(clientIndex);
}

std::string differencesText(std::span<const AudioDifference> differences) {
    std::string text;
    for (const AudioDifference& d : differences) {
        text += d.caption + ": " + d.value + " (default: " + d.defaultValue + ")\n";
    }
    return text;
}

} // namespace mirx::model
