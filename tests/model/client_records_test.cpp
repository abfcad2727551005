#include "model/client_records.h"
#include "model/label_info.h"
#include "model/membership_records.h"
#include "model/selector_assignments.h"
#include "model/system_list.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// Layouts are checked against byte images written by hand from the layout
// tables: a record is built from (offset, bytes) patches and read through the
// descriptors, or written through them and compared with such an image.

namespace mirx::model {
namespace {

using ByteList = std::vector<std::uint8_t>;
using Patches = std::initializer_list<std::pair<std::size_t, ByteList>>;

template <typename R>
R image(Patches patches, std::uint8_t fill = 0) {
    R r;
    r.bytes.fill(fill);
    for (const auto& [offset, bytes] : patches) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            r.bytes[offset + i] = bytes[i];
        }
    }
    return r;
}

// Lists differing offsets, which reads better than two dumps of 550 bytes.
template <typename R>
std::string differences(const R& actual, const R& expected) {
    std::string out;
    for (std::size_t i = 0; i < R::kSize; ++i) {
        if (actual.bytes[i] != expected.bytes[i]) {
            out += " @" + std::to_string(i) + ": " + std::to_string(actual.bytes[i]) +
                   " != " + std::to_string(expected.bytes[i]);
        }
    }
    return out;
}

// --- LabelInfo ---

TEST(LabelInfoLayout, ReadsEveryKindOfFieldAtItsOffset) {
    using L = LabelInfo;
    const auto label = image<L>({
        {0, {0x10, 0x27}}, // 10000
        {2, {1, 7, 2, 104}},
        {6, {0xE7, 0x03}}, // 999
        {14, {'D', 0}},
        {116, {'T', 0}},
        {158, {'L', 0}},
        {200, {'X', 0}},
        {242, {'S', 0}},
        {260, {0x02, 0x08}},
        {264, {0x11, 0x22, 0x33, 0x00, 0x44, 0x55, 0x66, 0x00}},
        {280, {0x40, 0x52}},
        {282, {0x11, 0x27, 0xFF, 0xFF, 0x12, 0x27, 0x13, 0x27}},
        {290, {0x04, 0x00, 5}},
    });
    EXPECT_EQ(label.get(L::kLabelNumber), 10000);
    EXPECT_EQ(label.get(L::kSystemClass), static_cast<std::uint8_t>(SystemClass::Rts));
    EXPECT_EQ(label.get(L::kSystemNumber), 7);
    EXPECT_EQ(label.get(L::kLabelKind), 2);
    EXPECT_EQ(label.get(L::kClientType), 104);
    EXPECT_EQ(label.get(L::kIndex), 999);
    EXPECT_EQ(label.get(L::kDescription), "D");
    EXPECT_EQ(label.get(L::kTalkListenName), "T");
    EXPECT_EQ(label.get(L::kListenOnlyName), "L");
    EXPECT_EQ(label.get(L::kExternalLongName), "X");
    EXPECT_EQ(label.get(L::kExternalShortName), "S");
    EXPECT_FALSE(label.testBit(L::kSelectorFlags, L::kLatchDisableTalkBit));
    EXPECT_TRUE(label.testBit(L::kSelectorFlags, L::kLoginDisabledBit));
    EXPECT_TRUE(label.testBit(L::kAssignmentRestrictions, L::kNoRemoteAssignmentByUserBit));
    EXPECT_EQ(label.get(L::kTextColour), 0x00332211u);
    EXPECT_EQ(label.get(L::kBackgroundColour), 0x00665544u);
    EXPECT_TRUE(label.testBit(L::kClientFlags, L::kDomainAuthenticationBit));
    EXPECT_EQ(label.privilegeLevel(), L::kPrivilegeStandard);
    EXPECT_EQ(label.get(L::kSelectorAssignmentsTemplate), 10001);
    EXPECT_EQ(label.get(L::kAudioSettingsTemplate), kNoLabel);
    EXPECT_EQ(label.get(L::kOptionsTemplate), 10002);
    EXPECT_EQ(label.get(L::kFourthLink), 10003);
    EXPECT_EQ(label.get(L::kRtsFunctionNumber), 4);
    EXPECT_EQ(label.get(L::kRtsFunctionType), 5);
}

TEST(LabelInfoLayout, TextFieldsStopAtTheirCapacity) {
    using L = LabelInfo;
    auto label = image<L>({}, 0xAA);
    EXPECT_FALSE(label.set(L::kExternalShortName, "ABCDEFGHI"));
    EXPECT_EQ(label.get(L::kExternalShortName), "ABCDEFGH");
    EXPECT_EQ(label.bytes[256], 'H');
    EXPECT_EQ(label.bytes[257], 0);
    EXPECT_EQ(label.bytes[258], 0); // terminator unit
    EXPECT_EQ(label.bytes[259], 0);
    EXPECT_EQ(label.bytes[260], 0xAA);

    EXPECT_FALSE(label.set(L::kDescription, std::string(51, 'd')));
    EXPECT_EQ(label.get(L::kDescription), std::string(50, 'd'));
    EXPECT_EQ(label.bytes[115], 0);
    EXPECT_EQ(label.bytes[116], 0xAA);
}

TEST(LabelInfoLayout, PrivilegeLevelKeepsTheHighNibble) {
    auto label = image<LabelInfo>({{281, {0x52}}});
    label.setPrivilegeLevel(LabelInfo::kPrivilegeMaster);
    EXPECT_EQ(label.bytes[281], 0x51);
    label.setPrivilegeLevel(LabelInfo::kPrivilegeNone);
    EXPECT_EQ(label.bytes[281], 0x50);
}

TEST(LabelReferences, ClassifyAndWrap) {
    struct Case {
        int reference;
        bool clientIndex, labelNumber;
    };
    for (const auto& c : std::vector<Case>{{-1, false, false},
                                           {0, true, false},
                                           {9999, true, false},
                                           {10000, false, true},
                                           {29999, false, true},
                                           {30000, false, false},
                                           {-2, false, false}}) {
        SCOPED_TRACE(c.reference);
        EXPECT_EQ(isClientIndexReference(c.reference), c.clientIndex);
        EXPECT_EQ(isLabelNumber(c.reference), c.labelNumber);
    }
    EXPECT_EQ(numberMapPosition(10000), 0u);
    EXPECT_EQ(numberMapPosition(29999), 19999u);
    EXPECT_EQ(nextLabelNumberAfter(10000), 10001);
    EXPECT_EQ(nextLabelNumberAfter(29999), 10000);
}

// --- System list ---

TEST(SystemListLayout, EntryFieldsAndInitialEntry) {
    using S = SystemListEntry;
    const auto entry = image<S>({{0, {2, 5, 'A', 0, 'B', 0}}});
    EXPECT_EQ(entry.get(S::kSystemClass), 2);
    EXPECT_EQ(entry.get(S::kSystemNumber), 5);
    EXPECT_EQ(entry.get(S::kName), "AB");

    auto named = image<S>({});
    EXPECT_FALSE(named.set(S::kName, std::string(49, 'n')));
    EXPECT_EQ(named.get(S::kName), std::string(48, 'n'));
    EXPECT_EQ(named.bytes[98], 0);

    const auto initial = emptySystemListEntry();
    const auto expected = image<S>({{0, {255, 255}}});
    EXPECT_EQ(initial, expected) << differences(initial, expected);
    EXPECT_EQ(systemLookupPosition(2, 254), kSystemLookupSize - 1);
}

// --- Credentials ---

TEST(ClientCredentialsLayout, FieldsAndInitialRecords) {
    using C = ClientCredentials;
    const auto record = image<C>({{0, {0x07, 0x00, 'o', 0, 'p', 0}}, {104, {'p', 0, 'w', 0}}});
    EXPECT_EQ(record.get(C::kClientIndex), 7);
    EXPECT_EQ(record.get(C::kLoginName), "op");
    EXPECT_EQ(record.get(C::kPassword), "pw");

    const auto admin = masterAdministratorCredentials();
    const auto adminImage = image<C>({{0, {0xFF, 0xFF, 'a', 0, 'd', 0, 'm', 0, 'i', 0, 'n', 0}}});
    EXPECT_EQ(admin, adminImage) << differences(admin, adminImage);

    const auto client = initialCredentials(999);
    const auto clientImage = image<C>({{0, {0xE7, 0x03}}});
    EXPECT_EQ(client, clientImage) << differences(client, clientImage);
}

// --- Options ---

TEST(ClientOptionsLayout, CommonAndPanelFields) {
    using O = ClientOptions;
    const auto options = image<O>({
        {14, {0x40, 0x00}},
        {22, {0x2C, 0x01, 0xF4, 0x01, 0xAC, 0x0D}}, // 300, 500, 3500
        {200, {0x01, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0xC0}},
    });
    EXPECT_TRUE(options.testBit(O::kGeoFlags, O::kGeoMappingDisableBit));
    EXPECT_EQ(options.get(O::kGeoLatitude), 1.5);
    EXPECT_EQ(options.get(O::kGeoLongitude), -2.0);
    EXPECT_TRUE(options.testBit(O::kPanelFunctionButtons, O::kSelectorRelocationButtonBit));
    EXPECT_EQ(options.get(O::kPanelVadTimeMs), 300);
    EXPECT_EQ(options.get(O::kPanelVadOffDelayMs), 500);
    EXPECT_EQ(options.get(O::kPanelConnectionTimeoutMs), 3500);
}

TEST(ClientOptionsLayout, VideoFields) {
    using O = ClientOptions;
    const auto options = image<O>({{0, {2, 0x90, 0x1F, 'c', 'a', 'm'}}});
    EXPECT_EQ(options.get(O::kVideoRtspMethod), O::kRtspAndRtpOverHttp);
    EXPECT_EQ(options.get(O::kVideoHttpPort), 8080);
    EXPECT_EQ(options.get(O::kVideoRtspUri), "cam");

    auto written = image<O>({}, 0xAA);
    EXPECT_FALSE(written.set(O::kVideoRtspUri, std::string(200, 'u')));
    EXPECT_EQ(written.bytes[182], 'u');
    EXPECT_EQ(written.bytes[183], 0);
    EXPECT_EQ(written.bytes[184], 0xAA);
}

TEST(ClientOptionsLayout, SipFields) {
    using O = ClientOptions;
    const auto options = image<O>({
        {1, {0xC4, 0x13, 192, 168, 1, 20, '#', 0x21, 0x12, 0x18, 'p', 'x'}},
        {37, {0x96, 0x0D, 10, 0, 0, 1, 0x64, 0x00, 0xC8, 0x00, 'r', 0}},
        {89, {'m', 0}},
        {131, {0x01, 0x00, 0x2C, 0x01, 0x08, 0x07, 0x1E, 0x00, 1, 121}},
        {250, {'u'}},
        {311, {'p'}},
        {372, {'s'}},
        {433, {'1', '2'}},
        {444, {'5', 0}},
    });
    EXPECT_EQ(options.get(O::kSipProxyPort), 5060);
    EXPECT_EQ(options.get(O::kSipProxyAddress), 0x1401A8C0u);
    EXPECT_EQ(options.get(O::kSipAutomaticDialSequence), "#");
    EXPECT_EQ(activationNibble(options.get(O::kSipInboundCallHandling)),
              O::kInboundActivateOnCallReceived);
    EXPECT_EQ(deactivationNibble(options.get(O::kSipInboundCallHandling)),
              O::kInboundDeactivateOnTalkOff);
    EXPECT_EQ(activationNibble(options.get(O::kSipOutboundCallHandling)),
              O::kOutboundActivateOnTalk);
    EXPECT_TRUE(options.testBit(O::kSipFlags, O::kRtpVoiceActivityBit));
    EXPECT_TRUE(options.testBit(O::kSipFlags, O::kG722Timestamp16kHzBit));
    EXPECT_EQ(options.get(O::kSipUserNamePrefix), "px");
    EXPECT_EQ(options.get(O::kSipStunPort), 3478);
    EXPECT_EQ(options.get(O::kSipStunAddress), 0x0100000Au);
    EXPECT_EQ(options.get(O::kSipVadValidationTimeMs), 100);
    EXPECT_EQ(options.get(O::kSipVadOffDelayMs), 200);
    EXPECT_EQ(options.get(O::kSipRingTone), "r");
    EXPECT_EQ(options.get(O::kSipAutoAnswerMessage), "m");
    EXPECT_EQ(options.get(O::kSipAutoAnswerDelayMs), 1);
    EXPECT_EQ(options.get(O::kSipRegistrationExpirySeconds), 300);
    EXPECT_EQ(options.get(O::kSipSessionExpirySeconds), 1800);
    EXPECT_EQ(options.get(O::kSipRtpTimeoutSeconds), 30);
    EXPECT_EQ(options.get(O::kSipRtpKeepAliveMethod), O::kKeepAliveUnknownPayloadType);
    EXPECT_EQ(options.get(O::kSipKeepAlivePayloadType), 121);
    EXPECT_EQ(options.get(O::kSipTargetUserName), "u");
    EXPECT_EQ(options.get(O::kSipTargetPrimaryHost), "p");
    EXPECT_EQ(options.get(O::kSipTargetSecondaryHost), "s");
    EXPECT_EQ(options.get(O::kSipAutoAnswerAccessCode), "12");
    EXPECT_EQ(options.get(O::kSipTalkActivationDigit), "5");
    EXPECT_EQ(options.get(O::kSipTalkDeactivationDigit), "");
}

TEST(ClientOptionsLayout, OneCharacterFieldsUseTheirWholeByte) {
    using O = ClientOptions;
    auto options = image<O>({}, 0xAA);
    options.set(O::kSipTalkActivationDigit, "9");
    options.set(O::kSipTalkDeactivationDigit, "");
    EXPECT_EQ(options.bytes[444], '9');
    EXPECT_EQ(options.bytes[445], 0);
    EXPECT_EQ(options.bytes[446], 0xAA);
}

TEST(ClientOptionsDefaults, InitialRecordsByteForByte) {
    const auto panel = defaultClientOptions();
    const auto panelImage = image<ClientOptions>({
        {1, {100, 0x11}},
        {6, {0x24}},
        {8, {0x78, 0x00, 0x58, 0x02}}, // 120, 600
        {22, {0x64, 0x00}},
        {26, {0xAC, 0x0D}},
    });
    EXPECT_EQ(panel, panelImage) << differences(panel, panelImage);

    const auto sip = sipDefaultClientOptions();
    const auto sipImage = image<ClientOptions>({
        {7, {'*', 0x11, 0x22, 0x03}},
        {43, {0x64, 0x00}},
        {133, {0x2C, 0x01}},
        {139, {1, 121}},
    });
    EXPECT_EQ(sip, sipImage) << differences(sip, sipImage);
}

TEST(ClientOptionsWire, LengthAndViewByClientType) {
    struct Case {
        int type;
        std::size_t length;
        OptionsView view;
    };
    const std::vector<Case> cases{
        {10, 250, OptionsView::Panel},  {53, 250, OptionsView::Panel},
        {99, 250, OptionsView::Panel},  {100, 550, OptionsView::Sip},
        {104, 550, OptionsView::Sip},   {149, 550, OptionsView::Sip},
        {150, 250, OptionsView::Video}, {151, 250, OptionsView::Panel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(optionsWireLength(c.type), c.length);
        EXPECT_EQ(optionsView(c.type), c.view);
    }
}

TEST(ClientOptionsWire, VadTimeByteCopySaturates) {
    for (const auto& [ms, copy] : std::vector<std::pair<std::uint16_t, std::uint8_t>>{
             {0, 0}, {100, 100}, {255, 255}, {256, 255}, {300, 255}, {65535, 255}}) {
        SCOPED_TRACE(ms);
        EXPECT_EQ(vadTimeByteCopy(ms), copy);
    }
}

// --- Audio settings ---

TEST(AudioSettingsLayout, SignedFieldsAndFlags) {
    using A = AudioSettings;
    const auto audio = image<A>({
        {4, {0xFD, 0x02}},
        {16, {0xF8, 0xFF}},
        {28, {0xF9}},
        {34, {0x02, 0x02}},
    });
    EXPECT_EQ(audio.get(A::kInputGain), -3);
    EXPECT_EQ(audio.get(A::kOutputGain), 2);
    EXPECT_EQ(audio.get(A::kAgcLevel), -8);
    EXPECT_EQ(audio.get(A::kEncodeQuality), -7);
    EXPECT_TRUE(audio.testBit(A::kAudioFlags, A::kAutomaticJitterBufferBit));
    EXPECT_EQ(audio.get(A::kEncryption), 2);
}

TEST(AudioSettingsDefaults, InitialRecordByteForByte) {
    const auto audio = defaultAudioSettings();
    const auto expected = image<AudioSettings>({
        {0, {1, 0, 0x00, 0x7D}},           // codec 1, 32000
        {6, {0xE8, 0x03, 2}},              // 1000, depth 2
        {10, {0x68, 0x01}},                // 360
        {13, {1, 1}},                      // time slice, AGC
        {19, {1, 0x14, 0x00, 0xC8, 0x00}}, // VBR, 20, 200
        {26, {0x64, 0x00}},                // 100
        {30, {0x14, 0x00}},                // 20
    });
    EXPECT_EQ(audio, expected) << differences(audio, expected);
}

// --- Party line membership ---

PartyLineMembership threeMembers() {
    return image<PartyLineMembership>({
        {0, {0x2C, 0x27, 3, 0}},
        {4, {0x05, 0x00, 1, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6}},
        {14, {0x06, 0x00, 2, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6}},
        {24, {0x11, 0x27, 3, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6}},
    });
}

TEST(PartyLineMembership, ReadsHeadAndEntries) {
    const auto record = threeMembers();
    EXPECT_EQ(record.get(PartyLineMembership::kPartyLine), 10028);
    EXPECT_EQ(record.entryCount(), 3u);
    EXPECT_EQ(record.wireLength(), 34u);
    EXPECT_EQ(record.entry(0), (PartyLineEntry{5, 1}));
    EXPECT_EQ(record.entry(2), (PartyLineEntry{10001, 3}));
    EXPECT_EQ(record.findEntry({6, 2}), 1u);
    EXPECT_EQ(record.findEntry({6, 1}), std::nullopt);
}

TEST(PartyLineMembership, RemovingMovesTheLastEntryIntoTheGap) {
    auto record = threeMembers();
    ASSERT_TRUE(record.removeEntry(0));
    const auto expected = image<PartyLineMembership>({
        {0, {0x2C, 0x27, 2, 0}},
        {4, {0x11, 0x27, 3, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6}},
        {14, {0x06, 0x00, 2, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6}},
        {24, {0x11, 0x27, 3, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6}}, // no longer counted
    });
    EXPECT_EQ(record, expected) << differences(record, expected);
    EXPECT_EQ(record.wireLength(), 24u);
    EXPECT_EQ(record.wire().size(), 24u);

    EXPECT_TRUE(record.removeEntry(1)); // the last: only the count changes
    EXPECT_EQ(record.entryCount(), 1u);
    EXPECT_EQ(record.entry(0), (PartyLineEntry{10001, 3}));
    EXPECT_FALSE(record.removeEntry(1));
    EXPECT_EQ(record.entryCount(), 1u);
}

TEST(PartyLineMembership, AddingKeepsTheSlotsTrailingBytes) {
    auto record = threeMembers();
    record.removeEntry(2);
    ASSERT_TRUE(record.addEntry({7, 2}));
    EXPECT_EQ(record.entryCount(), 3u);
    const auto expected = image<PartyLineMembership>({
        {0, {0x2C, 0x27, 3, 0}},
        {4, {0x05, 0x00, 1, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6}},
        {14, {0x06, 0x00, 2, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6}},
        {24, {0x07, 0x00, 2, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6}},
    });
    EXPECT_EQ(record, expected) << differences(record, expected);
}

TEST(PartyLineMembership, CountIsBoundedByTheBuffer) {
    auto record = image<PartyLineMembership>({{2, {0xE9, 0x03}}}); // 1001
    EXPECT_EQ(record.entryCount(), 1000u);
    EXPECT_EQ(record.wireLength(), 10004u);
    EXPECT_FALSE(record.addEntry({1, 1}));
}

// --- Selector assignments ---

TEST(SelectorAssignments, ReadsHeadAndEntries) {
    using S = SelectorAssignments;
    using E = SelectorEntry;
    const auto record = image<S>({
        {0, {3, 0x77, 0xFF, 0xFF, 0x01}},
        {22, {4, 0, 2, 0, 8, 0}},
        {28, {0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0}},
        {38, {0x10, 0x27, 3, 0x21, 0x41, 0x06, 0xF0, 1, 2, 3}},
    });
    EXPECT_EQ(record.get(S::kActivationMethod),
              static_cast<std::uint8_t>(ActivationMethod::OnLogicInputActivation));
    EXPECT_EQ(record.get(S::kActivationDetail), -1);
    EXPECT_TRUE(record.testBit(S::kOptionBits, S::kDefaultNonLatchableBit));
    EXPECT_EQ(record.get(S::kSplitScreenPosition), 4);
    EXPECT_EQ(record.get(S::kSelectorsPerRow), 8);
    EXPECT_EQ(record.entryCount(), 2u);
    EXPECT_EQ(record.wireLength(), 48u);

    const auto layout = record.entry(0);
    EXPECT_TRUE(layout.isLayout());
    EXPECT_EQ(layout.get(E::kCode), E::kRowBreak);

    const auto selector = record.entry(1);
    EXPECT_FALSE(selector.isLayout());
    EXPECT_EQ(selector.get(E::kLabel), 10000);
    EXPECT_EQ(selector.get(E::kCode), E::kSplitTalkListen);
    EXPECT_TRUE(selector.testBit(E::kFlags, E::kNotLatchableBit));
    EXPECT_TRUE(selector.testBit(E::kFlags, E::kAlwaysOnInvisibleBit));
    EXPECT_EQ(selector.get(E::kHotKey), 0x41);
    EXPECT_TRUE(selector.testBit(E::kHotKeyModifiers, E::kCtrlBit));
    EXPECT_TRUE(selector.testBit(E::kHotKeyModifiers, E::kShiftBit));
    EXPECT_EQ(selector.get(E::kByte6), 0xF0);
    EXPECT_EQ(ByteList(selector.get(E::kKept).begin(), selector.get(E::kKept).end()),
              (ByteList{1, 2, 3}));
}

TEST(SelectorAssignments, WireLengthFollowsTheCount) {
    struct Case {
        ByteList count;
        std::size_t length;
    };
    const std::vector<Case> cases{
        {{0, 0}, 28},          {{3, 0}, 58}, {{0x4C, 0x04}, 11028}, // 1100
        {{0xD0, 0x07}, 11028},                                      // 2000, bounded by the buffer
        {{0xFF, 0xFF}, 28},                                         // negative
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        auto record = image<SelectorAssignments>({});
        record.bytes[24] = c.count[0];
        record.bytes[25] = c.count[1];
        EXPECT_EQ(record.wireLength(), c.length);
        EXPECT_EQ(record.wire().size(), c.length);
    }
}

TEST(SelectorAssignments, AssigningEntriesKeepsTheHead) {
    auto record = image<SelectorAssignments>({{0, {2, 0x77, 0xFF, 0xFF}}, {24, {9, 0}}});
    std::vector<SelectorEntry> entries(2);
    entries[0].set(SelectorEntry::kLabel, 3);
    entries[0].set(SelectorEntry::kCode, SelectorEntry::kTalkOnly);
    entries[1].set(SelectorEntry::kLabel, SelectorEntry::kLayoutEntry);
    entries[1].set(SelectorEntry::kCode, SelectorEntry::kCallNotification);
    record.assignEntries(entries);
    const auto expected = image<SelectorAssignments>({
        {0, {2, 0x77, 0xFF, 0xFF}},
        {24, {2, 0}},
        {28, {0x03, 0x00, 1}},
        {38, {0xFF, 0xFF, 4}},
    });
    EXPECT_EQ(record, expected) << differences(record, expected);
    EXPECT_EQ(record.wireLength(), 48u);
}

} // namespace
} // namespace mirx::model
