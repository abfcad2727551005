// What the client options views show of a record and how they write it back.
#include "core/message_ids.h"
#include "model/client_options_form.h"
#include "model/sound_files.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace mirx::model;
using O = ClientOptions;
using F = OptionsField;

namespace {

constexpr std::uint32_t ip(unsigned a, unsigned b, unsigned c, unsigned d) {
    return a | (b << 8) | (c << 16) | (d << 24);
}

const OptionsEditTarget kDefaults{true, 0};
OptionsEditTarget client(int type) {
    return {false, type};
}

// Every byte set, with values no control shows exactly, so a field written
// without being changed shows.
O filledOptions() {
    O r;
    for (std::size_t i = 0; i < r.bytes.size(); ++i) {
        r.bytes[i] = static_cast<std::uint8_t>(0x35 + i * 11);
    }
    r.set(O::kSipInboundCallHandling, 0x25); // activation 5: not in the list
    r.set(O::kGeoLatitude, 51.50735123456);
    r.set(O::kGeoLongitude, -0.12775829);
    r.set(O::kSipRingTone, "ring.wav");
    return r;
}

bool marked(const std::vector<F>& marks, F f) {
    return std::find(marks.begin(), marks.end(), f) != marks.end();
}

} // namespace

TEST(OptionsFields, ViewsByClientType) {
    EXPECT_EQ(client(10).view(), OptionsView::Panel);
    EXPECT_EQ(client(50).view(), OptionsView::Panel);
    EXPECT_EQ(client(100).view(), OptionsView::Sip);
    EXPECT_EQ(client(149).view(), OptionsView::Sip);
    EXPECT_EQ(client(150).view(), OptionsView::Video);
    EXPECT_EQ(kDefaults.view(), OptionsView::Panel);
    for (const OptionsView view : {OptionsView::Panel, OptionsView::Video, OptionsView::Sip}) {
        EXPECT_TRUE(inView(F::GeoMappingDisable, view));
        EXPECT_TRUE(inView(F::GeoLatitude, view));
    }
    EXPECT_FALSE(inView(F::RtspUri, OptionsView::Sip));
    EXPECT_EQ(comboEntryText(F::OutboundDeactivation, 1), "On Forced Disconnect Request");
    EXPECT_EQ(comboEntryText(F::InboundActivation, 5), "unknown (5)");
}

TEST(OptionsFields, Enabling) {
    struct Case {
        const char* name;
        F field;
        OptionsEditTarget target;
        bool geoServer;
        bool geoDisableTicked;
        bool enabled;
    };
    const Case cases[] = {
        {"restart on iOS", F::RestartInBackground, client(16), true, false, true},
        {"restart on desktop", F::RestartInBackground, client(10), true, false, false},
        {"restart for defaults", F::RestartInBackground, kDefaults, true, false, true},
        {"hide legends on panel", F::HideSelectorLegends, client(22), true, false, true},
        {"hide legends on device interface", F::HideSelectorLegends, client(50), true, false,
         false},
        {"split zone on device interface", F::SplitSelectorCenterZone, client(52), true, false,
         false},
        {"allow disable login on panel", F::AllowDisableLogin, client(10), true, false, true},
        {"beltpack on device interface", F::OperateAsBeltpack, client(50), true, false, true},
        {"target user on registered trunk", F::TargetUserName, client(105), true, false, true},
        {"proxy on registered trunk", F::ProxyAddress, client(105), true, false, true},
        {"proxy on direct trunk", F::ProxyAddress, client(104), true, false, false},
        {"stun on direct trunk", F::StunAddress, client(104), true, false, true},
        {"primary host on 101", F::TargetPrimaryHost, client(101), true, false, false},
        {"registration on 101", F::RegistrationExpiry, client(101), true, false, false},
        {"stun on 101", F::StunAddress, client(101), true, false, false},
        {"session expiry on 101", F::SessionExpiry, client(101), true, false, true},
        {"geo disable without server", F::GeoMappingDisable, client(10), false, false, false},
        {"latitude without server", F::GeoLatitude, client(10), false, false, false},
        {"longitude without server", F::GeoLongitude, client(150), false, false, false},
        {"geo disable with server", F::GeoMappingDisable, client(101), true, false, true},
        {"latitude with server", F::GeoLatitude, client(101), true, false, true},
        {"latitude while disabled", F::GeoLatitude, client(10), true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OptionsForm form = showOptions(O{}, c.target);
        form[F::GeoMappingDisable] = c.geoDisableTicked ? "1" : "";
        EXPECT_EQ(optionsFieldEnabled(c.field, c.target, form, c.geoServer), c.enabled);
    }
    OptionsForm sip = showOptions(O{}, client(101));
    sip[F::KeepAliveMethod] = "0";
    EXPECT_FALSE(optionsFieldEnabled(F::KeepAliveType, client(101), sip, true));
    sip[F::KeepAliveMethod] = "1";
    EXPECT_TRUE(optionsFieldEnabled(F::KeepAliveType, client(101), sip, true));
}

TEST(OptionsWrite, UntouchedFormCarriesEveryByte) {
    for (const OptionsEditTarget& target : {client(10), client(150), client(105), kDefaults}) {
        SCOPED_TRACE(target.clientType);
        const O record = filledOptions();
        const OptionsInput input =
            writeOptions(showOptions(record, target), record, sipDefaultClientOptions(), target);
        ASSERT_FALSE(input.error);
        EXPECT_EQ(input.record, record);
        EXPECT_EQ(input.sipDefaults, sipDefaultClientOptions());
    }
}

TEST(OptionsWrite, Addresses) {
    struct Case {
        const char* typed;
        bool valid;
        std::uint32_t address;
        std::uint16_t port;
        const char* shownAgain;
    };
    const Case cases[] = {
        {"192.168.1.20:5070", true, ip(192, 168, 1, 20), 5070, "192.168.1.20:5070"},
        {"192.168.1.20", true, ip(192, 168, 1, 20), 0, "192.168.1.20"},
        {"192.168.1.20:5060", true, ip(192, 168, 1, 20), 5060, "192.168.1.20"},
        {" 10.0.0.1 ", true, ip(10, 0, 0, 1), 0, "10.0.0.1"},
        {"", true, 0, 0, ""},
        {"192.168.1", false, 0, 0, ""},
        {"255.255.255.255", false, 0, 0, ""},
        {"10.0.0.1:", false, 0, 0, ""},
        {"10.0.0.1:70000", false, 0, 0, ""},
        {"10.0.0.1:50x", false, 0, 0, ""},
        {"sip.example.com", false, 0, 0, ""},
    };
    O record = filledOptions();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        OptionsForm form = showOptions(record, client(105));
        form[F::ProxyAddress] = c.typed;
        const OptionsInput input = writeOptions(form, record, O{}, client(105));
        if (!c.valid) {
            ASSERT_TRUE(input.error);
            EXPECT_EQ(input.error->field, F::ProxyAddress);
            continue;
        }
        ASSERT_FALSE(input.error);
        EXPECT_EQ(input.record.get(O::kSipProxyAddress), c.address);
        EXPECT_EQ(input.record.get(O::kSipProxyPort), c.port);
        EXPECT_EQ(showOptions(input.record, client(105))[F::ProxyAddress], c.shownAgain);
    }
    // The STUN port shown without is its own.
    EXPECT_EQ(optionsAddressText(ip(10, 0, 0, 2), 3478, O::kSipStunPortShown), "10.0.0.2");
    EXPECT_EQ(optionsAddressText(ip(10, 0, 0, 2), 5060, O::kSipStunPortShown), "10.0.0.2:5060");
}

TEST(OptionsWrite, VoiceActivityTimeOfTheDefaults) {
    const O defaults = defaultClientOptions();
    OptionsForm form = showOptions(defaults, kDefaults);
    EXPECT_EQ(form[F::VadTime], "100");
    form[F::VadTime] = "300";
    const OptionsInput input = writeOptions(form, defaults, sipDefaultClientOptions(), kDefaults);
    ASSERT_FALSE(input.error);
    EXPECT_EQ(input.record.get(O::kPanelVadTimeMs), 300);
    EXPECT_EQ(input.record.get(O::kPanelVadTimeByte), 255);
    EXPECT_EQ(input.sipDefaults.get(O::kSipVadValidationTimeMs), 300);
    EXPECT_EQ(showOptions(input.record, kDefaults)[F::VadTime], "255");
}

TEST(OptionsWrite, ChangedFieldsAndTheirCopies) {
    const O record = filledOptions();

    // Party line button and geo mapping disable have copies in the panel
    // flags; the geo copy is a control panel's only.
    for (const int type : {10, 50}) {
        SCOPED_TRACE(type);
        OptionsForm form = showOptions(record, client(type));
        const bool partyLine = !form.checked(F::PartyLineButton);
        const bool geo = !form.checked(F::GeoMappingDisable);
        form[F::PartyLineButton] = partyLine ? "1" : "";
        form[F::GeoMappingDisable] = geo ? "1" : "";
        const O written = writeOptions(form, record, O{}, client(type)).record;
        EXPECT_EQ(written.testBit(O::kPanelFunctionButtons, O::kPartyLineButtonBit), partyLine);
        EXPECT_EQ(written.testBit(O::kPanelFlags, O::kPartyLineButtonCopyBit), partyLine);
        EXPECT_EQ(written.testBit(O::kGeoFlags, O::kGeoMappingDisableBit), geo);
        EXPECT_EQ(written.testBit(O::kPanelFlags, O::kGeoMappingDisableCopyBit),
                  type == 10 ? geo : record.testBit(O::kPanelFlags, O::kGeoMappingDisableCopyBit));
    }

    // The SIP time goes to 43 only: byte 1 is the proxy port there.
    OptionsForm sip = showOptions(record, client(101));
    sip[F::SipVadTime] = "300";
    sip[F::AutomaticDialSequence] = "";
    sip[F::TalkActivationDigit] = "7#";
    sip[F::InboundDeactivation] = "1";
    sip[F::RingTone] = "bell.wav";
    O expected = record;
    expected.set(O::kSipVadValidationTimeMs, 300);
    expected.set(O::kSipTalkActivationDigit, "7");
    expected.set(O::kSipInboundCallHandling, 0x15);
    expected.set(O::kSipRingTone, "bell.wav");
    EXPECT_EQ(writeOptions(sip, record, O{}, client(101)).record, expected);

    // The HTTP port is written only with the HTTP method.
    O video = record;
    video.set(O::kVideoRtspMethod, 0);
    video.set(O::kVideoHttpPort, 0);
    OptionsForm form = showOptions(video, client(150));
    EXPECT_EQ(form[F::RtspHttpPort], "8080");
    form[F::RtspHttpPort] = "8554";
    EXPECT_EQ(writeOptions(form, video, O{}, client(150)).record.get(O::kVideoHttpPort), 0);
    form[F::RtspMethod] = "2";
    EXPECT_EQ(writeOptions(form, video, O{}, client(150)).record.get(O::kVideoHttpPort), 8554);

    // Coordinates: empty is 0.
    form[F::GeoLatitude] = "";
    form[F::GeoLongitude] = "13.4050";
    const O geo = writeOptions(form, video, O{}, client(150)).record;
    EXPECT_EQ(geo.get(O::kGeoLatitude), 0.0);
    EXPECT_EQ(geo.get(O::kGeoLongitude), 13.405);
}

TEST(OptionsWrite, UnreadableTextIsRefusedNamingTheField) {
    struct Case {
        F field;
        const char* typed;
    };
    const Case cases[] = {
        {F::ConnectionTimeout, "35OO"}, {F::ConnectionTimeout, "65536"},
        {F::ConnectionTimeout, "-1"},   {F::GeoLatitude, "north"},
        {F::GeoLatitude, "91"},         {F::GeoLongitude, "-180.5"},
    };
    const O record = filledOptions();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        OptionsForm form = showOptions(record, client(10));
        form[c.field] = c.typed;
        const OptionsInput input = writeOptions(form, record, O{}, client(10));
        ASSERT_TRUE(input.error);
        EXPECT_EQ(input.error->field, c.field);
        EXPECT_NE(input.error->text.find(optionsFieldInfo(c.field).caption), std::string::npos);
    }
    OptionsForm sip = showOptions(record, client(101));
    sip[F::KeepAliveType] = "256";
    EXPECT_TRUE(writeOptions(sip, record, O{}, client(101)).error);
}

TEST(OptionsSave, StoresAndPostsByViewAndAnswer) {
    const O record = filledOptions();
    struct Case {
        OptionsEditTarget target;
        bool apply;
        std::uint16_t id;
        std::uint16_t second;
        std::size_t length;
    };
    const Case cases[] = {
        {client(104), false, mirx::msg::CONFIGURATION_DATA_CLIENT_OPTIONS, 7, 550},
        {client(150), false, mirx::msg::CONFIGURATION_DATA_CLIENT_OPTIONS, 7, 250},
        {client(10), false, mirx::msg::CONFIGURATION_DATA_CLIENT_OPTIONS, 7, 250},
        {kDefaults, true, mirx::msg::CONFIGURATION_DATA_DEFAULT_CLIENT_OPTIONS, 1, 250},
        {kDefaults, false, mirx::msg::CONFIGURATION_DATA_DEFAULT_CLIENT_OPTIONS, 0, 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.clientType);
        ClientStore store;
        O sipDefaults = sipDefaultClientOptions();
        sipDefaults.set(O::kSipVadValidationTimeMs, 321);
        const auto post =
            saveOptions(store, 7, c.target, {std::nullopt, record, sipDefaults}, c.apply);
        ASSERT_TRUE(post);
        EXPECT_EQ(post->id, c.id);
        EXPECT_EQ(post->second, c.second);
        EXPECT_EQ(post->bytes, std::vector<std::uint8_t>(
                                   record.bytes.begin(),
                                   record.bytes.begin() + static_cast<std::ptrdiff_t>(c.length)));
        const int index = c.target.defaults ? kDefaultOptionsIndex : 7;
        EXPECT_EQ(store.options(index), record);
        EXPECT_EQ(store.options(kSipDefaultOptionsIndex)->get(O::kSipVadValidationTimeMs),
                  c.target.defaults ? 321 : 100);
    }
    ClientStore store;
    EXPECT_FALSE(saveOptions(store, 1000, client(10), {std::nullopt, record, O{}}, false));
}

TEST(OptionsDefaults, MarksFollowTheDefaultsTheViewComparesWith) {
    O defaults = defaultClientOptions();
    defaults.set(O::kPanelVadTimeMs, 300);
    defaults.set(O::kPanelVadTimeByte, 255);
    const O sipDefaults = sipDefaultClientOptions();

    // The panel time is compared with the 8-bit copy of the default.
    O panel = defaults;
    panel.set(O::kPanelVadTimeMs, 255);
    OptionsForm form = showOptions(panel, client(10));
    auto marks = optionsDefaultMarks(form, defaults, sipDefaults, client(10));
    EXPECT_EQ(marks, markedFields(OptionsView::Panel));
    form[F::ConnectionTimeout] = "3501";
    form[F::VadTime] = "0255";
    marks = optionsDefaultMarks(form, defaults, sipDefaults, client(10));
    EXPECT_FALSE(marked(marks, F::ConnectionTimeout));
    EXPECT_TRUE(marked(marks, F::VadTime));
    EXPECT_TRUE(optionsDefaultMarks(form, defaults, sipDefaults, kDefaults).empty());

    // The SIP view compares with the SIP defaults.
    O sip = sipDefaults;
    sip.set(O::kSipOutboundCallHandling, 0x12); // deactivation differs from 0x22
    marks = optionsDefaultMarks(showOptions(sip, client(101)), defaults, sipDefaults, client(101));
    EXPECT_TRUE(marked(marks, F::InboundActivation));
    EXPECT_TRUE(marked(marks, F::SipVadTime));
    EXPECT_TRUE(marked(marks, F::OutboundActivation));
    EXPECT_FALSE(marked(marks, F::OutboundDeactivation));
}

TEST(OptionsDefaults, DifferencesAsTheViewShowsThem) {
    const O defaults = defaultClientOptions();
    EXPECT_TRUE(optionsDifferences(defaults, defaults, O{}, client(10)).empty());
    O record = defaults;
    record.setBit(O::kPanelFlags, O::kRingToneDisableBit, true);
    record.set(O::kPanelConnectionTimeoutMs, 5000);
    EXPECT_EQ(optionsDifferencesText(optionsDifferences(record, defaults, O{}, client(10))),
              "Connection Timeout In Ms: \"5000\" (default: \"3500\")\n"
              "Ring Tone Disable: on (default: off)\n");

    O sip = sipDefaultClientOptions();
    sip.set(O::kSipRtpKeepAliveMethod, 0);
    sip.set(O::kSipInboundCallHandling, 0x19);
    EXPECT_EQ(optionsDifferencesText(
                  optionsDifferences(sip, defaults, sipDefaultClientOptions(), client(101))),
              "Inbound Session Activation: unknown (9) (default: On Call Received (Auto-Answer))\n"
              "RTP Keep Alive Method: None (default: Unknown RTP Payload Type)\n");
}

TEST(OptionsSoundFiles, UploadOrTheReasonItIsRefused) {
    mirx::test::TempFolder folder;
    const auto write = [&](const std::string& name, std::size_t size) {
        std::ofstream out(folder / name, std::ios::binary);
        out << std::string(size, 'w');
        return folder / name;
    };
    struct Case {
        std::filesystem::path path;
        std::optional<std::string> error;
    };
    const Case cases[] = {
        {write("bell.wav", 1000), std::nullopt},
        {write("exactly-twenty-c.wav", kMaxSoundFileBytes), std::nullopt},
        {write("a-very-long-ring-tone.wav", 10), kSoundFileNameTooLong},
        {write("big.wav", kMaxSoundFileBytes + 1),
         "Sound file big.wav is larger than 480000 bytes."},
        {folder / "missing.wav", kUnableToOpenSoundFile},
        {folder.path(), kUnableToOpenSoundFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        const SoundFileUpload upload = soundFileUpload(c.path);
        EXPECT_EQ(upload.error, c.error);
        if (c.error) {
            EXPECT_TRUE(upload.post.bytes.empty());
            continue;
        }
        EXPECT_EQ(upload.post.id, mirx::msg::ADMIN_CLIENT_OPTIONS_FILE_UPLOAD);
        EXPECT_EQ(upload.post.second, 0);
        const auto decoded = decodeSoundFileUpload(upload.post.bytes);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->name, c.path.filename().string());
        EXPECT_EQ(decoded->data.size(), std::filesystem::file_size(c.path));
    }
}

TEST(OptionsFields, TextBoxLengthsFollowTheRecordAndTheTypedLimits) {
    const struct {
        F field;
        int length;
    } cases[] = {
        {F::VadTime, 49},
        {F::ConnectionTimeout, 49},
        {F::RtspHttpPort, 9},
        {F::RtspUri, 180},
        {F::UserNamePrefix, 25},
        {F::AutoAnswerAccessCode, 10},
        {F::TargetUserName, 60},
        {F::AutomaticDialSequence, 1},
        {F::TalkDeactivationDigit, 1},
        {F::RingTone, 20},
        {F::AutoAnswerDelay, 10},
        {F::KeepAliveType, 10},
        {F::RegistrationExpiry, 10},
        {F::ProxyAddress, 50},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(optionsFieldMaxLength(c.field), c.length) << optionsFieldInfo(c.field).caption;
    }
}
