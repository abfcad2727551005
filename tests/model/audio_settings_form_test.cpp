// The audio settings view's tables and how it writes its controls back.
#include "core/message_ids.h"
#include "model/audio_settings_form.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace mirx::model;
using A = AudioSettings;
using S = AudioSlider;

namespace {

AudioEditTarget client(int type, bool debug = false) {
    return {false, type, debug};
}
const AudioEditTarget kDefaults{true, 0, false};

std::vector<int> values(const std::vector<ChoiceEntry>& entries) {
    std::vector<int> out;
    for (const ChoiceEntry& e : entries) {
        out.push_back(e.value);
    }
    return out;
}

// Every byte set, with values off the sliders' steps, so a field written
// without being changed shows.
A filledAudio(int codec = 1) {
    A r;
    for (std::size_t i = 0; i < r.bytes.size(); ++i) {
        r.bytes[i] = static_cast<std::uint8_t>(0x31 + i * 7);
    }
    r.set(A::kCodec, codec);
    r.set(A::kSampleRate, 16000);
    r.set(A::kAudioFlags, 0);
    r.set(A::kJitterBufferSize, 47);
    r.set(A::kEncryption, 1);
    return r;
}

} // namespace

TEST(AudioCodecs, TableHoldsEveryCodeWithItsPacketUnit) {
    for (int code = 0; code <= 11; ++code) {
        SCOPED_TRACE(code);
        ASSERT_TRUE(findCodec(code));
        EXPECT_EQ(codecUnitMs(code), code == 9 || code == 11 ? 5 : 20);
    }
    EXPECT_EQ(findCodec(0)->longName, "PCM (Pulse Code Modulation) @ 20ms ");
    EXPECT_EQ(findCodec(7)->shortName, "Speex CELP");
    EXPECT_FALSE(findCodec(12));
    EXPECT_FALSE(findCodec(255));
    EXPECT_EQ(codecUnitMs(255), 0);
}

TEST(AudioCodecs, ListFollowsClientTypeDebugAndCurrentCode) {
    struct Case {
        const char* name;
        AudioEditTarget target;
        int current;
        std::vector<int> codes;
    };
    const Case cases[] = {
        {"defaults", kDefaults, 1, {1, 2, 3, 4, 5, 6, 8}},
        {"panel", client(10), 1, {1, 2, 9}},
        {"panel debug", client(10, true), 1, {0, 1, 10, 11, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"type 16", client(16), 1, {1, 9}},
        {"type 16 debug", client(16, true), 1, {0, 1, 9}},
        {"sip", client(101), 1, {1, 10, 11, 2, 3, 4, 5, 6, 8}},
        {"sip debug", client(101, true), 1, {1, 10, 11, 2, 3, 4, 5, 6, 8}},
        {"panel on gsm", client(10), 6, {1, 2, 6, 9}},
        {"panel on pcm", client(10), 0, {0, 1, 2, 9}},
        {"panel on speex 2", client(52), 7, {1, 2, 7, 9}},
        // Codes the rules leave out are still listed while current.
        {"type 18 on g722", client(18), 2, {1, 2, 9}},
        {"defaults on opus", kDefaults, 10, {1, 10, 2, 3, 4, 5, 6, 8}},
        {"sip on pcm 5ms", client(100), 9, {1, 10, 11, 2, 3, 4, 5, 6, 8, 9}},
        {"unknown code", client(10), 77, {1, 2, 9, 77}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(values(codecEntries(c.target, c.current)), c.codes);
    }
}

TEST(AudioCodecs, PlainNamesWithoutDebugLongNamesForSipAndDebug) {
    const auto plain = codecEntries(client(10), 1);
    EXPECT_EQ(plain[0].text, "High Compression Codec / Low Bitrate (Default)");
    EXPECT_EQ(plain[1].text, "Low Compression Codec / High Bitrate");
    EXPECT_EQ(plain[2].text, "No Compression / Very High Bitrate");
    const auto debug = codecEntries(client(10, true), 1);
    EXPECT_EQ(debug[1].text, "Speex (Code Excited Linear Prediction)");
    EXPECT_EQ(debug.back().text, "PCM (Pulse Code Modulation) @ 5ms");
    EXPECT_EQ(codecEntries(client(101), 1)[3].text, "G.722 (Adaptive Differential PCM)");
    EXPECT_EQ(codecEntries(client(10), 77).back().text, "unknown (77)");
}

TEST(AudioSampleRates, OfferedByCodecAndMixRate) {
    struct Case {
        int codec;
        std::uint16_t mix;
        std::vector<int> rates;
    };
    const Case cases[] = {
        {1, 48000, {8000, 16000, 32000}},
        {1, 16000, {8000, 16000}},
        {1, 8000, {8000}},
        {2, 48000, {16000}},
        {2, 8000, {}},
        {8, 32000, {16000, 32000}},
        {10, 48000, {8000, 16000, 24000, 48000}},
        {10, 32000, {8000, 16000, 24000}},
        {9, 48000, {8000, 16000, 32000, 48000}},
        {4, 48000, {8000}},
        {77, 48000, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.codec) + " @ " + std::to_string(c.mix));
        EXPECT_EQ(values(audioSampleRateEntries(c.codec, c.mix, 8000)), c.rates);
    }
}

TEST(AudioSampleRates, SelectionAndUnknownRate) {
    // A listed rate the codec does not offer selects the last entry.
    const auto speex = audioSampleRateEntries(1, 48000, 24000);
    EXPECT_EQ(values(speex), (std::vector<int>{8000, 16000, 32000}));
    EXPECT_EQ(selectedSampleRate(speex, 24000), 32000);
    EXPECT_EQ(selectedSampleRate(speex, 16000), 16000);
    // A rate the table lacks is shown as what it is, and stays selected.
    const auto odd = audioSampleRateEntries(1, 48000, 11025);
    EXPECT_EQ(odd.back(), (ChoiceEntry{11025, "unknown (11025)"}));
    EXPECT_EQ(selectedSampleRate(odd, 11025), 11025);
}

TEST(AudioSliders, StoredValuesAndLabels) {
    struct Case {
        S slider;
        int position;
        int unit;
        int stored;
        const char* label;
    };
    const Case cases[] = {
        {S::InputGain, 6, 20, 3, "+18 dB"},
        {S::InputGain, 3, 20, 0, "0 dB"},
        {S::OutputGain, 0, 20, -3, "-18 dB"},
        {S::EchoTail, 0, 20, 50, "50 ms"},
        {S::EchoTail, 5, 20, 300, "300 ms"},
        {S::JitterBuffer, 0, 20, 0, "Automatic"},
        {S::JitterBuffer, 3, 5, 15, "15 ms"},
        {S::JitterBuffer, 10, 20, 200, "200 ms"},
        {S::SilenceSuppression, 0, 20, 0, "Off"},
        {S::SilenceSuppression, 4, 20, 400, "400 ms"},
        {S::ResequencerDepth, 0, 20, 1, "1 packets"},
        {S::ResequencerDepth, 9, 20, 10, "10 packets"},
        {S::SpeakerDim, 0, 20, 0, "None"},
        {S::SpeakerDim, 2, 20, 2, "-12 dB"},
        {S::SpeakerDim, 7, 20, 7, "Mute"},
        {S::AgcLevel, 8, 20, 0, "Standard"},
        {S::AgcLevel, 0, 20, -8, "-8"},
        {S::AgcLevel, 31, 20, 23, "+23"},
        {S::EncodeQuality, 8, 20, 0, "Standard"},
        {S::EncodeQuality, 10, 20, 2, "+2"},
        {S::EncodeComplexity, 1, 20, 0, "Standard"},
        {S::EncodeComplexity, 0, 20, -1, "-1"},
        {S::EncodeComplexity, 9, 20, 8, "+8"},
        {S::TimeSlice, 2, 5, 3, "15 ms"},
        {S::TimeSlice, 0, 20, 1, "20 ms"},
        {S::CaptureBuffer, 0, 20, 5, "5 ms"},
        {S::CaptureBuffer, 9, 20, 50, "50 ms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(sliderCaption(c.slider)) + " " + std::to_string(c.position));
        ASSERT_LE(c.position, sliderMaximum(c.slider));
        if (!(c.slider == S::JitterBuffer && c.position == 0)) {
            EXPECT_EQ(sliderStoredValue(c.slider, c.position, c.unit), c.stored);
        }
        EXPECT_EQ(sliderLabel(c.slider, c.position, c.unit), c.label);
    }
}

TEST(AudioSliders, RecordLabelsShowValuesOffTheSteps) {
    A r = filledAudio(9);
    r.set(A::kSilenceSuppressionTime, 150);
    r.set(A::kTimeSlicePerPacket, 3);
    struct Case {
        S slider;
        const char* label;
    };
    const Case cases[] = {
        {S::JitterBuffer, "47 ms"},
        {S::SilenceSuppression, "150 ms"},
        // Units of the record's codec: 3 x 5 ms.
        {S::TimeSlice, "15 ms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(sliderCaption(c.slider)));
        EXPECT_EQ(recordValueLabel(r, c.slider), c.label);
    }
    r.setBit(A::kAudioFlags, A::kAutomaticJitterBufferBit, true);
    EXPECT_EQ(recordValueLabel(r, S::JitterBuffer), "Automatic");
}

TEST(AudioControls, ShownAndEnabledByCodecClientAndDebug) {
    EXPECT_TRUE(sliderShown(S::EncodeQuality, 1, false));
    EXPECT_FALSE(sliderShown(S::EncodeQuality, 10, false));
    for (const int codec : {1, 10, 11}) {
        EXPECT_TRUE(sliderShown(S::EncodeComplexity, codec, false));
        EXPECT_TRUE(variableBitRateShown(codec));
    }
    EXPECT_FALSE(sliderShown(S::EncodeComplexity, 2, false));
    EXPECT_FALSE(variableBitRateShown(9));
    EXPECT_FALSE(sliderShown(S::CaptureBuffer, 1, false));
    EXPECT_TRUE(sliderShown(S::TimeSlice, 1, true));
    for (const int type : {16, 17, 100, 149}) {
        EXPECT_FALSE(echoCancellationEnabled(client(type))) << type;
    }
    for (const int type : {10, 18, 50, 150}) {
        EXPECT_TRUE(echoCancellationEnabled(client(type))) << type;
    }
    EXPECT_TRUE(echoCancellationEnabled(kDefaults));
    EXPECT_FALSE(encryptionEnabled(client(104)));
    EXPECT_TRUE(encryptionEnabled(client(10)));
    EXPECT_TRUE(encryptionEnabled(kDefaults));
}

TEST(AudioWrite, UntouchedFormCarriesEveryByte) {
    for (const AudioEditTarget& target : {client(10, true), client(101), kDefaults}) {
        A record = filledAudio();
        record.set(A::kCodec, 77);
        record.set(A::kSampleRate, 11025);
        const AudioForm form = showAudioSettings(record, target, 48000);
        EXPECT_EQ(form.codec, 77);
        EXPECT_EQ(form.sampleRate, 11025);
        EXPECT_EQ(writeAudioSettings(form, record, target, 48000), record);
    }
}

TEST(AudioWrite, ChangedControlsWriteTheirFieldsOnly) {
    const A record = filledAudio(9);
    const AudioEditTarget target = client(10, true);
    AudioForm form = showAudioSettings(record, target, 48000);

    form.position(S::JitterBuffer) = 3;
    form.position(S::EchoTail) = 0;
    form.position(S::InputGain) = 1;
    form.sampleRate = 48000;
    A expected = record;
    expected.set(A::kJitterBufferSize, 15);
    expected.set(A::kEchoTailLength, 50);
    expected.set(A::kInputGain, -2);
    expected.set(A::kSampleRate, 48000);
    EXPECT_EQ(writeAudioSettings(form, record, target, 48000), expected);

    // Automatic sets the bit and leaves the size as it was.
    form = showAudioSettings(record, target, 48000);
    form.position(S::JitterBuffer) = 0;
    const A automatic = writeAudioSettings(form, record, target, 48000);
    EXPECT_TRUE(automatic.testBit(A::kAudioFlags, A::kAutomaticJitterBufferBit));
    EXPECT_EQ(automatic.get(A::kJitterBufferSize), 47);
}

TEST(AudioWrite, HiddenAndDisabledControlsKeepTheirFields) {
    // Codec 2 hides quality and complexity; a SIP device disables echo and
    // encryption; without /Debug capture buffer and time slice are hidden.
    const A record = filledAudio(2);
    const AudioEditTarget sip = client(101);
    AudioForm form = showAudioSettings(record, sip, 48000);
    EXPECT_FALSE(form.echoCancellation);
    EXPECT_EQ(form.position(S::EchoTail), 0);
    form.position(S::EncodeQuality) = 0;
    form.position(S::EncodeComplexity) = 9;
    form.variableBitRate = !form.variableBitRate;
    form.echoCancellation = true;
    form.position(S::EchoTail) = 3;
    form.encryption = 2;
    form.position(S::CaptureBuffer) = 9;
    form.position(S::TimeSlice) = 4;
    EXPECT_EQ(writeAudioSettings(form, record, sip, 48000), record);
}

TEST(AudioWrite, CodecChangeResetsBufferSliceAndJitter) {
    A edited = filledAudio(1);
    edited.set(A::kSampleRate, 32000);
    const AudioEditTarget target = client(10, true);
    AudioForm form = showAudioSettings(edited, target, 48000);
    form.position(S::InputGain) = 5;
    changeCodec(edited, form, 9, target, 48000);
    EXPECT_EQ(edited.get(A::kCaptureBufferSize), 5);
    EXPECT_EQ(edited.get(A::kTimeSlicePerPacket), 1);
    EXPECT_EQ(edited.get(A::kJitterBufferSize), 5);
    EXPECT_TRUE(edited.testBit(A::kAudioFlags, A::kAutomaticJitterBufferBit));
    EXPECT_EQ(form.position(S::JitterBuffer), 0);
    EXPECT_EQ(form.position(S::InputGain), 5);
    EXPECT_EQ(form.sampleRate, 32000);

    // Going to a codec without 32 kHz moves the rate to the last offered.
    changeCodec(edited, form, 10, target, 48000);
    EXPECT_EQ(form.sampleRate, 48000);
    const A written = writeAudioSettings(form, edited, target, 48000);
    EXPECT_EQ(written.get(A::kCodec), 10);
    EXPECT_EQ(written.get(A::kSampleRate), 48000);
    EXPECT_EQ(written.get(A::kInputGain), 2);
    EXPECT_EQ(written.get(A::kCaptureBufferSize), 20);
}

TEST(AudioDefaults, MarksShowValuesEqualToTheDefaults) {
    const A defaults = defaultAudioSettings();
    A record = defaults;
    record.set(A::kInputGain, 2);
    const AudioForm form = showAudioSettings(record, client(10), 48000);
    const AudioMarks marks = audioDefaultMarks(form, defaults, client(10));
    EXPECT_TRUE(marks.codec);
    EXPECT_TRUE(marks.sampleRate);
    EXPECT_TRUE(marks.slider(S::EchoTail));
    EXPECT_TRUE(marks.slider(S::JitterBuffer));
    EXPECT_FALSE(marks.slider(S::InputGain));
    // Hidden without /Debug.
    EXPECT_FALSE(marks.slider(S::CaptureBuffer));
    EXPECT_TRUE(audioDefaultMarks(form, defaults, client(10, true)).slider(S::CaptureBuffer));
    // Never while the defaults are edited.
    EXPECT_FALSE(audioDefaultMarks(form, defaults, kDefaults).codec);
}

TEST(AudioDefaults, DifferencesListShownValuesThatDiffer) {
    const A defaults = defaultAudioSettings();
    EXPECT_TRUE(audioDifferences(defaults, defaults, client(10)).empty());
    A record = defaults;
    record.set(A::kCodec, 9);
    record.set(A::kInputGain, 2);
    record.set(A::kEchoCancellation, 1);
    record.set(A::kCaptureBufferSize, 45); // hidden without /Debug
    const auto differences = audioDifferences(record, defaults, client(10));
    EXPECT_EQ(differencesText(differences),
              "Audio Encoder/Decoder: PCM (Pulse Code Modulation) @ 5ms (default: Speex (Code "
              "Excited Linear Prediction))\n"
              "Audio Input Level Gain (Pre-Mix): +12 dB (default: 0 dB)\n"
              "Echo Cancellation: on (default: off)\n");
    // Echo cancellation is not the SIP device's to differ in.
    EXPECT_EQ(audioDifferences(record, defaults, client(101)).size(), 2u);
}

TEST(AudioSave, StoresAndPostsTheClientOrTheDefaults) {
    const A record = filledAudio();
    const std::vector<std::uint8_t> bytes(record.bytes.begin(), record.bytes.end());
    for (const bool apply : {false, true}) {
        ClientStore store;
        EXPECT_EQ(saveAudioSettings(store, 12, true, record, apply),
                  (OutgoingRecord{mirx::msg::CONFIGURATION_DATA_DEFAULT_AUDIO_SETTINGS,
                                  static_cast<std::uint16_t>(apply ? 1 : 0), bytes}));
        EXPECT_EQ(store.audio(kDefaultAudioSettingsIndex), record);
        EXPECT_NE(store.audio(12), record);
    }
    ClientStore store;
    EXPECT_EQ(saveAudioSettings(store, 12, false, record, true),
              (OutgoingRecord{mirx::msg::CONFIGURATION_DATA_AUDIO_SETTINGS, 12, bytes}));
    EXPECT_EQ(store.audio(12), record);
    EXPECT_FALSE(saveAudioSettings(store, 1000, false, record, false));
}
