#include "model/log_records.h"
#include "model/sip_registrations.h"
#include "model/sound_files.h"
#include "model/statistics.h"
#include "model/system_settings.h"
#include "model/system_status.h"
#include "model/ui_settings.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace mirx::model {

// Readable failures for the version table.
void PrintTo(const ClientVersion& v, std::ostream* os) {
    *os << '{' << v.major << ',' << v.minor << ',' << v.build << ',' << v.revision << ','
        << v.platform << ',' << v.releaseKind << '}';
}

namespace {

using Bytes = std::vector<std::uint8_t>;

// Writes raw bytes at `offset`, as read off the layout tables.
void put(std::span<std::uint8_t> bytes, std::size_t offset, std::initializer_list<int> values) {
    for (const int v : values) {
        bytes[offset++] = static_cast<std::uint8_t>(v);
    }
}

// ASCII text as UTF-16LE bytes.
void putUtf16(std::span<std::uint8_t> bytes, std::size_t offset, std::string_view ascii) {
    for (const char c : ascii) {
        bytes[offset++] = static_cast<std::uint8_t>(c);
        bytes[offset++] = 0;
    }
}

// A payload followed by bytes the decoder must never see: a decoder that reads
// past its span picks up these and the assertions on counts and texts fail.
struct Fenced {
    Bytes storage;
    std::size_t length;

    Fenced(Bytes payload, std::size_t fence = 512)
        : storage(std::move(payload)) {
        length = storage.size();
        storage.resize(length + fence, 0x41);
    }
    std::span<const std::uint8_t> span() const { return {storage.data(), length}; }
};

// ---------------------------------------------------------------- fixed records

TEST(SystemStatusLayout, FieldsReadFromHandBuiltBytes) {
    SystemStatus s;
    put(s.view(), 0, {0x80, 0x51, 0x01, 0, 0, 0, 0, 0}); // 86400 s
    put(s.view(), 8, {0x02, 0x01});                      // 258 connections
    put(s.view(), 10, {0x05, 0x00});
    put(s.view(), 12, {0x00, 0x01});
    put(s.view(), 14, {81, 12, 3});
    put(s.view(), 17, {0xEE, 0xEE}); // not used, must not leak into neighbours
    put(s.view(), 19, {2, 4, 6, 3, 1, 2});

    EXPECT_EQ(s.get(SystemStatus::kUpTimeSeconds), 86400);
    EXPECT_EQ(s.get(SystemStatus::kActiveConnections), 258);
    EXPECT_EQ(s.get(SystemStatus::kActiveAudioInputs), 5);
    EXPECT_EQ(s.get(SystemStatus::kActiveAudioOutputs), 256);
    EXPECT_EQ(s.get(SystemStatus::kProcessorPercent), 81);
    EXPECT_EQ(s.get(SystemStatus::kSecondProcessorPercent), 12);
    EXPECT_EQ(s.get(SystemStatus::kFailoverState), 3);
    EXPECT_EQ(s.get(SystemStatus::kRtsTrunkState), 2);
    EXPECT_EQ(s.get(SystemStatus::kRtsTrunksActive), 4);
    EXPECT_EQ(s.get(SystemStatus::kRtsTrunksConfigured), 6);
    EXPECT_EQ(s.get(SystemStatus::kDelecTrunkState), 3);
    EXPECT_EQ(s.get(SystemStatus::kDelecTrunksActive), 1);
    EXPECT_EQ(s.get(SystemStatus::kDelecTrunksConfigured), 2);

    put(s.view(), 0, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(s.get(SystemStatus::kUpTimeSeconds), -1);
}

TEST(SystemStatusLayout, SecondaryIsActiveInStatesFourAndFive) {
    const struct {
        std::uint8_t state;
        bool secondary;
    } cases[] = {{0, false}, {1, false}, {2, false}, {3, false},
                 {4, true},  {5, true},  {6, false}, {255, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(secondaryActive(c.state), c.secondary) << int{c.state};
    }
}

TEST(SystemSettingsLayout, FieldsReadFromHandBuiltBytes) {
    SystemSettings s;
    put(s.view(), 0, {0xE9, 0x03});             // audio port 1001
    put(s.view(), 2, {0x80, 0x3E});             // 16000 Hz
    put(s.view(), 4, {0x10, 0x20, 0x30, 0x00}); // text colour
    put(s.view(), 12, {0x88, 0x13});            // data port 5000
    put(s.view(), 14, {192, 168, 1, 20});
    put(s.view(), 18, {0x89, 0x13});
    put(s.view(), 20, {10, 0, 0, 2});
    put(s.view(), 24, {0xFD}); // gain step, signed
    put(s.view(), 25, {0x8A, 0x13});
    put(s.view(), 27, {0xC4, 0x13}); // SIP 5060
    put(s.view(), 29, {'s', 'i', 'p', '.', 'e', 'x', 0});
    put(s.view(), 80, {0x10, 0x27});
    put(s.view(), 102, {172, 16, 0, 9});
    put(s.view(), 118, {0x1E, 0x00});
    put(s.view(), 120, {2, 7, 0, 5, 0}); // mode, hours 7, minutes 5
    put(s.view(), 137, {0x01, 0x02});
    put(s.view(), 143, {0x9A, 0x1F}); // 8090
    put(s.view(), 156, {0x05});
    put(s.view(), 157, {10, 1, 2, 3});
    put(s.view(), 171, {0x34, 0x12});
    put(s.view(), 180, {0x21});
    put(s.view(), 200, {1, 1, 1, 1});
    put(s.view(), 220, {6, 6, 6, 6});
    put(s.view(), 224, {0x97, 0x19}); // 6551
    put(s.view(), 234, {0x02, 0x00});

    EXPECT_EQ(s.get(SystemSettings::kClientAudioPort), 1001);
    EXPECT_EQ(s.get(SystemSettings::kSampleRate), 16000);
    EXPECT_EQ(s.get(SystemSettings::kVoiceActivityTextColour), rgb(0x10, 0x20, 0x30));
    EXPECT_EQ(s.get(SystemSettings::kClientDataPort), 5000);
    EXPECT_EQ(formatIpv4(s.get(SystemSettings::kServerAddress)), "192.168.1.20");
    EXPECT_EQ(s.get(SystemSettings::kSecondaryClientDataPort), 5001);
    EXPECT_EQ(formatIpv4(s.get(SystemSettings::kSecondaryServerAddress)), "10.0.0.2");
    EXPECT_EQ(s.get(SystemSettings::kOutputGainStep), -3);
    EXPECT_EQ(s.get(SystemSettings::kSecondaryClientAudioPort), 5002);
    EXPECT_EQ(s.get(SystemSettings::kSipDataPort), 5060);
    EXPECT_EQ(s.get(SystemSettings::kSipDomainName), "sip.ex");
    EXPECT_EQ(s.get(SystemSettings::kRtpAudioBasePort), 10000);
    EXPECT_EQ(formatIpv4(s.get(SystemSettings::kDelecTrunkingLocalAddress)), "172.16.0.9");
    EXPECT_EQ(s.get(SystemSettings::kFailoverDelaySeconds), 30);
    EXPECT_EQ(s.get(SystemSettings::kFailbackMode),
              static_cast<std::uint8_t>(FailbackMode::AtTimeOfDay));
    EXPECT_EQ(s.get(SystemSettings::kFailbackHours), 7);
    EXPECT_EQ(s.get(SystemSettings::kFailbackMinutes), 5);
    EXPECT_EQ(s.get(SystemSettings::kRtsTrunkMasterBackupPort), 0x0201);
    EXPECT_EQ(s.get(SystemSettings::kGeoMappingPort), SystemSettings::kDefaultGeoMappingPort);
    EXPECT_TRUE(
        s.testBit(SystemSettings::kOptionBits, SystemSettings::kOptionDomainAuthentication));
    EXPECT_FALSE(
        s.testBit(SystemSettings::kOptionBits, SystemSettings::kOptionFourCharacterAlphas));
    EXPECT_TRUE(s.testBit(SystemSettings::kOptionBits, SystemSettings::kOptionSelectorForSelf));
    EXPECT_EQ(formatIpv4(s.get(SystemSettings::kTelephoneLocalAddress)), "10.1.2.3");
    EXPECT_EQ(s.get(SystemSettings::kMasterControllerBackupPort), 0x1234);
    EXPECT_TRUE(s.testBit(SystemSettings::kBatteryAlertBits, 0)); // 5 %
    EXPECT_TRUE(s.testBit(SystemSettings::kBatteryAlertBits, 5)); // 30 %
    EXPECT_EQ(SystemSettings::kBatteryAlertPercent[5], 30u);
    EXPECT_EQ(formatIpv4(s.get(SystemSettings::kOratisAddresses[0])), "1.1.1.1");
    EXPECT_EQ(formatIpv4(s.get(SystemSettings::kOratisAddresses[5])), "6.6.6.6");
    EXPECT_EQ(s.get(SystemSettings::kOratisPorts[0]), SystemSettings::kDefaultOratisPort);
    EXPECT_EQ(s.get(SystemSettings::kOratisPorts[5]), 2);
}

TEST(SystemSettingsLayout, WritingAFieldTouchesOnlyItsBytes) {
    // Odd offsets sit next to one another; bytes without a field go back as
    // received, so a write must not spill.
    SystemSettings s;
    s.bytes.fill(0xAA);
    s.set(SystemSettings::kSecondaryClientAudioPort, 0x1234);
    s.set(SystemSettings::kFailbackHours, 0x0102);
    s.set(SystemSettings::kRtsTrunkMasterBackupAddress, 0x0D0C0B0A);
    s.set(SystemSettings::kSipDomainName, "a");

    Bytes expected(SystemSettings::kSize, 0xAA);
    put(expected, 25, {0x34, 0x12});
    put(expected, 121, {0x02, 0x01});
    put(expected, 133, {0x0A, 0x0B, 0x0C, 0x0D});
    expected[29] = 'a';
    std::fill(expected.begin() + 30, expected.begin() + 80, 0);
    EXPECT_EQ(Bytes(s.bytes.begin(), s.bytes.end()), expected);
}

TEST(SystemSettingsLayout, SipDomainKeepsFiftyCharacters) {
    SystemSettings s;
    s.bytes.fill(0x55);
    EXPECT_FALSE(s.set(SystemSettings::kSipDomainName, std::string(60, 'd')));
    EXPECT_EQ(s.get(SystemSettings::kSipDomainName), std::string(50, 'd'));
    EXPECT_EQ(s.bytes[79], 0);    // terminator inside the field
    EXPECT_EQ(s.bytes[80], 0x55); // RTP base port untouched
}

TEST(UserInterfaceSettingsLayout, FieldsReadFromHandBuiltBytes) {
    UserInterfaceSettings u;
    put(u.view(), 8, {0x11, 0x22, 0x33, 0xFF});
    put(u.view(), 12, {0xFE, 0xFF, 0x04, 0x00}); // spacings -2, 4
    put(u.view(), 36, {0x01, 0x02, 0x03, 0x00});
    putUtf16(u.view(), 40, "win.png");
    put(u.view(), 82, {0x07, 0x00});
    putUtf16(u.view(), 84, "btn.png");
    put(u.view(), 126, {0x08, 0x01});
    putUtf16(u.view(), 128, "logo.png");
    put(u.view(), 170, {0xFF, 0xFF});

    EXPECT_EQ(u.get(UserInterfaceSettings::kColours[2]), 0xFF332211u);
    EXPECT_EQ(u.get(UserInterfaceSettings::kVerticalSpacing), -2);
    EXPECT_EQ(u.get(UserInterfaceSettings::kHorizontalSpacing), 4);
    EXPECT_EQ(u.get(UserInterfaceSettings::kDisabledSelectorBackground), 0x00030201u);
    EXPECT_TRUE(isTransparent(u.get(UserInterfaceSettings::kDisabledSelectorBackground)));
    EXPECT_FALSE(isTransparent(u.get(UserInterfaceSettings::kSelectorWindowBackground)));
    EXPECT_EQ(u.get(UserInterfaceSettings::kSelectorWindowGraphic), "win.png");
    EXPECT_EQ(u.get(UserInterfaceSettings::kSelectorWindowGraphicValue), 7);
    EXPECT_EQ(u.get(UserInterfaceSettings::kNormalSelectorGraphic), "btn.png");
    EXPECT_EQ(u.get(UserInterfaceSettings::kNormalSelectorGraphicValue), 0x0108);
    EXPECT_EQ(u.get(UserInterfaceSettings::kLogoGraphic), "logo.png");
    EXPECT_EQ(u.get(UserInterfaceSettings::kLogoGraphicValue), 0xFFFF);
}

TEST(UserInterfaceSettingsLayout, ColoursListedInRecordOrder) {
    const std::size_t offsets[] = {0, 4, 8, 16, 20, 24, 28, 32, 36};
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(UserInterfaceSettings::kColours[i].offset, offsets[i]) << "colour " << i;
    }
}

TEST(UserInterfaceSettingsLayout, ColourConventions) {
    EXPECT_EQ(rgb(255, 32, 16), 0x001020FFu);
    EXPECT_EQ(colourRed(0xFF332211), 0x11);
    EXPECT_EQ(colourGreen(0xFF332211), 0x22);
    EXPECT_EQ(colourBlue(0xFF332211), 0x33);
    EXPECT_TRUE(isTransparent(0x00FFFFFF));
    EXPECT_FALSE(isTransparent(0x01000000));
    EXPECT_FALSE(isTransparent(kOpaque | rgb(0, 0, 0)));
}

TEST(UserInterfaceSettingsLayout, BlueSchemeUsesGraphicsForWindowAndNormalSelector) {
    const ColourScheme& blue = kColourSchemes[0];
    EXPECT_EQ(blue.name, "Default (Blue Scheme)");
    EXPECT_TRUE(isTransparent(blue.colours[2]));
    EXPECT_TRUE(isTransparent(blue.colours[4]));
    EXPECT_FALSE(isTransparent(blue.colours[6]));
}

TEST(ClientStatisticsLayout, FieldsReadFromHandBuiltBytes) {
    ClientStatistics c;
    put(c.view(), 0, {0x01, 255, 40, 9});
    put(c.view(), 4, {0x10, 0x27, 0, 0, 0, 0, 0, 0}); // 10000
    put(c.view(), 12, {0x02, 0, 0, 0});
    put(c.view(), 16, {0x3C, 0, 0, 0, 0, 0, 0, 0});
    put(c.view(), 28, {0x01, 0x00, 0x01, 0x00}); // send lost 65537
    put(c.view(), 44, {0x00, 0x00, 0x00, 0x80});
    put(c.view(), 48, {0x03, 0x00, 0xFF, 0xFF}); // underrun 3, send jitter -1
    put(c.view(), 52, {7, 8, 0x09, 0x01});
    put(c.view(), 56, {192, 0, 2, 10});
    put(c.view(), 60, {0x61, 0x50, 0x30, 0x12});
    put(c.view(), 64, {0x14, 0x00, 0xFF, 0xFF, 0x28, 0x00});
    put(c.view(), 70, {255, 2});

    EXPECT_TRUE(c.online());
    EXPECT_EQ(c.get(ClientStatistics::kProcessorPercent), ClientStatistics::kPercentNotAvailable);
    EXPECT_EQ(c.get(ClientStatistics::kSecondProcessorPercent), 40);
    EXPECT_EQ(c.get(ClientStatistics::kClippingCount), 9);
    EXPECT_EQ(c.get(ClientStatistics::kLastChangeTime), 10000);
    EXPECT_EQ(c.get(ClientStatistics::kDisconnectEvents), 2);
    EXPECT_EQ(c.get(ClientStatistics::kDisconnectedSeconds), 60);
    EXPECT_EQ(c.get(ClientStatistics::kSendLost), 65537u);
    EXPECT_EQ(c.get(ClientStatistics::kSendBytesAfterEncoding), 0x80000000u);
    EXPECT_EQ(c.get(ClientStatistics::kUnderrunCount), 3);
    EXPECT_EQ(c.get(ClientStatistics::kSendJitterPeakMs), ClientStatistics::kMsNotAvailable);
    EXPECT_EQ(c.get(ClientStatistics::kRabap), 7);
    EXPECT_EQ(c.get(ClientStatistics::kSabap), 8);
    EXPECT_EQ(c.get(ClientStatistics::kRapdfrs), 0x0109);
    EXPECT_EQ(formatIpv4(c.get(ClientStatistics::kAddress)), "192.0.2.10");
    EXPECT_EQ(clientVersionText(c.get(ClientStatistics::kVersion)), "1.2.3-80 (Windows x64)");
    EXPECT_EQ(c.get(ClientStatistics::kSendJitterBufferMs), 20);
    EXPECT_EQ(c.get(ClientStatistics::kReceiveJitterPeakMs), -1);
    EXPECT_EQ(c.get(ClientStatistics::kReceiveJitterBufferMs), 40);
    EXPECT_EQ(c.get(ClientStatistics::kBatteryPercent), 255);
    EXPECT_EQ(c.get(ClientStatistics::kBatteryState),
              static_cast<std::uint8_t>(BatteryState::Charging));

    put(c.view(), 0, {0xFE});
    EXPECT_FALSE(c.online());
}

TEST(SipRegistrationLayout, FieldsReadFromHandBuiltBytes) {
    SipRegistration r;
    put(r.view(), 0, {'a', 'l', 'i', 'c', 'e', 0});
    put(r.view(), 21, {'s', 'i', 'p', ':', 'a', 0});
    put(r.view(), 72, {'1', '0', '.', '0', '.', '0', '.', '1', ':', '5', 0});
    put(r.view(), 184, {0x10, 0x0E, 0x00, 0x00}); // 3600 s
    EXPECT_EQ(r.get(SipRegistration::kUserName), "alice");
    EXPECT_EQ(r.get(SipRegistration::kAddressOfRecord), "sip:a");
    EXPECT_EQ(r.get(SipRegistration::kContactDetail), "10.0.0.1:5");
    EXPECT_EQ(r.get(SipRegistration::kExpirationSeconds), 3600u);
}

// ---------------------------------------------------------------- IPv4

TEST(Ipv4, FormatsFirstOctetFromLowestByte) {
    const struct {
        std::uint32_t value;
        const char* text;
    } cases[] = {{0, "0.0.0.0"},
                 {0x1401A8C0, "192.168.1.20"},
                 {0x0100007F, "127.0.0.1"},
                 {0xFFFFFFFF, "255.255.255.255"}};
    for (const auto& c : cases) {
        EXPECT_EQ(formatIpv4(c.value), c.text);
    }
}

TEST(Ipv4, ParsesStrictDottedQuads) {
    const struct {
        const char* text;
        std::optional<std::uint32_t> value;
    } cases[] = {
        {"192.168.1.20", 0x1401A8C0},
        {"0.0.0.0", 0},
        {"10.0.0.255", 0xFF00000A},
        {"255.255.255.254", 0xFEFFFFFF},
        {"255.255.255.255", std::nullopt}, // all ones reads as "no address"
        {"", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"1.2.3.4.", std::nullopt},
        {"256.1.1.1", std::nullopt},
        {"1234.1.1.1", std::nullopt},
        {"01.2.3.4", std::nullopt},
        {"1..3.4", std::nullopt},
        {"1.2.3.-4", std::nullopt},
        {"+1.2.3.4", std::nullopt},
        {" 1.2.3.4", std::nullopt},
        {"1.2.3.4 ", std::nullopt},
        {"1.2.3.4:5060", std::nullopt},
        {"a.b.c.d", std::nullopt},
        {"server.local", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseIpv4(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(Ipv4, ParseInvertsFormat) {
    for (const std::uint32_t v : {0x01020304u, 0x0A00A8C0u, 0xFEFFFFFFu, 0x00000001u}) {
        EXPECT_EQ(parseIpv4(formatIpv4(v)), v);
    }
}

// ---------------------------------------------------------------- file lists

Bytes nameList(std::uint16_t claimed, std::initializer_list<std::string_view> names) {
    Bytes out(2 + names.size() * 42, 0);
    put(out, 0, {claimed & 0xFF, claimed >> 8});
    std::size_t offset = 2;
    for (const auto name : names) {
        putUtf16(out, offset, name);
        offset += 42;
    }
    return out;
}

TEST(FileNameList, DecodesNamesInOrder) {
    const Fenced payload(nameList(3, {"ring.wav", "bell.wav", "x.wav"}));
    const FileNameList list = decodeSoundFileList(payload.span());
    EXPECT_EQ(list.names, (std::vector<std::string>{"ring.wav", "bell.wav", "x.wav"}));
    EXPECT_EQ(list.claimedCount, 3);
    EXPECT_FALSE(list.cut());
}

TEST(FileNameList, BoundedByPayloadCountAndCapacity) {
    Bytes many(2 + 60 * 42, 0);
    put(many, 0, {60, 0});
    for (std::size_t i = 0; i < 60; ++i) {
        putUtf16(many, 2 + i * 42, "n.wav");
    }
    Bytes shortOfCount = nameList(3, {"a.png", "b.png"});
    shortOfCount.resize(shortOfCount.size() + 41); // a partial third name

    const struct {
        const char* what;
        Bytes payload;
        std::size_t capacity;
        std::size_t names;
        bool cut;
    } cases[] = {
        {"empty payload", {}, 50, 0, false},
        {"one byte", {5}, 50, 0, false},
        {"count zero with data", nameList(0, {"a.wav"}), 50, 0, false},
        {"count above names present", shortOfCount, 50, 2, true},
        {"sixty names, sound capacity", many, kSoundFileListCapacity, 50, true},
        {"sixty names, graphic capacity", many, kGraphicFileListCapacity, 60, false},
        {"count below names present", nameList(1, {"a.wav", "b.wav"}), 50, 1, false},
    };
    for (const auto& c : cases) {
        const Fenced payload(c.payload);
        const FileNameList list = decodeFileNameList(payload.span(), c.capacity);
        EXPECT_EQ(list.names.size(), c.names) << c.what;
        EXPECT_EQ(list.cut(), c.cut) << c.what;
    }
}

TEST(FileNameList, UnterminatedNameStopsAtItsField) {
    // 21 units without a terminator, then the fence.
    Bytes payload(2 + 42, 0);
    put(payload, 0, {1, 0});
    putUtf16(payload, 2, std::string(21, 'z'));
    const Fenced fenced(payload);
    const FileNameList list = decodeGraphicFileList(fenced.span());
    ASSERT_EQ(list.names.size(), 1u);
    EXPECT_EQ(list.names[0], std::string(21, 'z'));
}

TEST(FileNameList, EncoderWritesCountAndFixedNameFields) {
    const std::vector<std::string> names{"ab", "c"};
    Bytes expected(2 + 2 * 42, 0);
    put(expected, 0, {2, 0});
    put(expected, 2, {'a', 0, 'b', 0});
    put(expected, 44, {'c', 0});
    EXPECT_EQ(encodeFileNameList(names), expected);
}

TEST(FileNameList, RoundTripCutsNamesToTwentyCharacters) {
    const std::vector<std::string> names{"Glocke-\xC3\xBC.wav", std::string(25, 'k'), ""};
    const FileNameList list = decodeSoundFileList(encodeFileNameList(names));
    EXPECT_EQ(list.names,
              (std::vector<std::string>{"Glocke-\xC3\xBC.wav", std::string(20, 'k'), ""}));
}

// ---------------------------------------------------------------- uploads

TEST(FileUpload, EncoderWritesTheFortyEightByteHead) {
    const Bytes data{1, 2, 3};
    Bytes expected(48, 0);
    putUtf16(expected, 0, "x.png");
    put(expected, 44, {3, 0, 0, 0});
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(encodeGraphicFileUpload("x.png", data), expected);
}

TEST(FileUpload, LongFilesGoUpAsTheirFirstPermittedBytes) {
    const struct {
        const char* what;
        std::size_t fileSize;
        bool sound;
        std::size_t sent;
    } cases[] = {
        {"graphic of 100000 bytes", 100000, false, 80000},
        {"graphic at the limit", 80000, false, 80000},
        {"sound one past the limit", 480001, true, 480000},
        {"empty file", 0, true, 0},
    };
    for (const auto& c : cases) {
        Bytes file(c.fileSize);
        for (std::size_t i = 0; i < file.size(); ++i) {
            file[i] = static_cast<std::uint8_t>(i * 7);
        }
        const Bytes payload =
            c.sound ? encodeSoundFileUpload("f", file) : encodeGraphicFileUpload("f", file);
        ASSERT_EQ(payload.size(), 48 + c.sent) << c.what;
        EXPECT_EQ(rec::get(payload, FileUploadHead::kLength), c.sent) << c.what;
        EXPECT_TRUE(std::equal(payload.begin() + 48, payload.end(), file.begin())) << c.what;
    }
}

TEST(FileUpload, DecoderRefusesHeadsThatDoNotMatchThePayload) {
    const auto upload = [](std::uint32_t length, std::size_t dataBytes) {
        Bytes out(48 + dataBytes, 0x5A);
        std::fill(out.begin(), out.begin() + 48, 0);
        putUtf16(out, 0, "s.wav");
        put(out, 44,
            {static_cast<int>(length & 0xFF), static_cast<int>((length >> 8) & 0xFF),
             static_cast<int>((length >> 16) & 0xFF), static_cast<int>(length >> 24)});
        return out;
    };
    const struct {
        const char* what;
        Bytes payload;
        std::optional<std::size_t> data;
    } cases[] = {
        {"head only, no data", upload(0, 0), 0},
        {"length matches", upload(10, 10), 10},
        {"trailing bytes ignored", upload(4, 10), 4},
        {"length beyond payload", upload(11, 10), std::nullopt},
        {"length above sound limit", upload(480001, 480001), std::nullopt},
        {"huge length", upload(0xFFFFFFFF, 4), std::nullopt},
        {"truncated head", Bytes(47, 0), std::nullopt},
    };
    for (const auto& c : cases) {
        const Fenced payload(c.payload);
        const auto decoded = decodeSoundFileUpload(payload.span());
        ASSERT_EQ(decoded.has_value(), c.data.has_value()) << c.what;
        if (decoded) {
            EXPECT_EQ(decoded->name, "s.wav") << c.what;
            EXPECT_EQ(decoded->data.size(), *c.data) << c.what;
            EXPECT_EQ(decoded->data.data(), payload.span().data() + 48) << c.what;
        }
    }
}

TEST(FileUpload, RoundTrip) {
    const Bytes data{0, 255, 17, 42};
    const Bytes payload = encodeSoundFileUpload("tone-\xC3\xA9.wav", data);
    const auto decoded = decodeSoundFileUpload(payload);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->name, "tone-\xC3\xA9.wav");
    EXPECT_EQ(Bytes(decoded->data.begin(), decoded->data.end()), data);
}

// ---------------------------------------------------------------- small requests

TEST(TwoByteRequests, CarryTheirSixteenBitValue) {
    using Two = std::array<std::uint8_t, 2>;
    EXPECT_EQ(encodeStatisticsRequest(), (Two{0, 0}));
    EXPECT_EQ(encodeStatisticsReset(kResetAllClients), (Two{0xFF, 0xFF}));
    EXPECT_EQ(encodeStatisticsReset(999), (Two{0xE7, 0x03}));
    EXPECT_EQ(encodeLogRequest(LogRequest::NextChunk), (Two{0, 0}));
    EXPECT_EQ(encodeLogRequest(LogRequest::Stop), (Two{1, 0}));
    EXPECT_EQ(encodeGetDebugFilterRequest(), (Two{0, 0}));
    EXPECT_EQ(encodeSipRegistrationsRequest(), (Two{0, 0}));
}

// ---------------------------------------------------------------- statistics

TEST(StatisticsTable, HeadAndEntriesAtTheirOffsets) {
    auto table = std::make_unique<StatisticsTable>();
    put(table->view(), 4, {0x00, 0x01, 0, 0, 0, 0, 0, 0});
    put(table->view(), 12 + 0 * 80 + 56, {1, 2, 3, 4});
    put(table->view(), 12 + 999 * 80 + 0, {0x01});
    put(table->view(), 12 + 999 * 80 + 79, {0x77});
    EXPECT_EQ(table->get(StatisticsTable::kServerTime), 256);
    EXPECT_EQ(formatIpv4(table->client(0).get(ClientStatistics::kAddress)), "1.2.3.4");
    EXPECT_TRUE(table->client(999).online());
    EXPECT_EQ(table->client(999).bytes[79], 0x77);

    ClientStatistics entry;
    entry.set(ClientStatistics::kDisconnectEvents, 5);
    table->setClient(1, entry);
    EXPECT_EQ(table->bytes[12 + 80 + 12], 5);
    EXPECT_EQ(table->bytes[12 + 80 - 1], 0); // entry 0 untouched at its end
}

TEST(StatisticsTable, StoreBoundsTheCopyAndClearsWhatWasNotSent) {
    const struct {
        const char* what;
        std::size_t payloadBytes;
        std::size_t entries;
    } cases[] = {
        {"empty", 0, 0},
        {"head cut", 7, 0},
        {"two and a half entries", 12 + 2 * 80 + 40, 2},
        {"whole table", 80012, 1000},
        {"longer than the table", 80012 + 500, 1000},
    };
    for (const auto& c : cases) {
        auto table = std::make_unique<StatisticsTable>();
        table->bytes.fill(0xEE); // an earlier answer
        Bytes payload(c.payloadBytes, 0x11);
        EXPECT_EQ(storeStatistics(*table, payload), c.entries) << c.what;
        // Whole entries only; a head cut short stays as it came.
        const std::size_t copied = c.payloadBytes < 12 ? c.payloadBytes : 12 + c.entries * 80;
        Bytes expected(StatisticsTable::kSize, 0x00);
        std::fill(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(copied), 0x11);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), table->bytes.begin())) << c.what;
    }
}

TEST(ClientVersion, UnpacksBothForms) {
    const struct {
        std::uint32_t packed;
        ClientVersion version;
        const char* text;
    } cases[] = {
        {0x12305061, {1, 2, 3, 80, 6, 1}, "1.2.3-80 (Windows x64)"},
        {0x10000000, {1, 0, 0, 0, 0, 0}, "1.0.0-0 (Windows x86)"},
        {0xFFFFFF5F, {15, 15, 15, 0xFFF, 5, 15}, "15.15.15-4095 (Linux)"},
        {0x20100172, {2, 0, 1, 1, 7, 2}, "2.0.1-1 (Unknown)"},
        {0x0FFFFFFF, {15, 255, 255, 255, 15, 0}, "15.255.255-255 (Unknown)"},
        {0x04020A00, {4, 2, 10, 0, 15, 3}, "4.2.10-0 (Unknown)"},
        {0x04020A05, {4, 2, 10, 5, 15, 2}, "4.2.10-5 (Unknown)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(unpackClientVersion(c.packed), c.version) << std::hex << c.packed;
        EXPECT_EQ(clientVersionText(c.packed), c.text) << std::hex << c.packed;
    }
}

TEST(ClientVersion, PlatformNames) {
    const char* names[] = {"Windows x86", "Windows CE", "iOS",        "Droid",
                           "MAC",         "Linux",      "Windows x64"};
    for (int p = 0; p < 7; ++p) {
        EXPECT_EQ(platformName(p), names[p]);
    }
    EXPECT_EQ(platformName(-1), "Unknown");
    EXPECT_EQ(platformName(15), "Unknown");
}

TEST(ClientVersion, PackRoundTripsTheNewerForm) {
    const ClientVersion v{3, 1, 4, 1592, 5, 2};
    EXPECT_EQ(packClientVersion(v), 0x31463852u);
    EXPECT_EQ(unpackClientVersion(packClientVersion(v)), v);
}

// ---------------------------------------------------------------- log chunks

TEST(LogChunk, DecodesTimeAndText) {
    Bytes payload{0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x81};
    const std::size_t textAt = payload.size();
    payload.resize(textAt + 6);
    putUtf16(payload, textAt, "Hi\n");
    const Fenced fenced(payload);
    const auto chunk = decodeLogChunk(fenced.span());
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->timeStamp, static_cast<std::int64_t>(0x8102030405060708u));
    EXPECT_EQ(chunk->textBytes, 6u);
    EXPECT_EQ(chunk->text, "Hi\n");
}

TEST(LogChunk, ShortAndOddPayloads) {
    const struct {
        const char* what;
        std::size_t bytes;
        bool decoded;
        std::size_t textBytes;
        std::size_t chars;
    } cases[] = {
        {"no payload", 0, false, 0, 0},           {"time stamp cut", 7, false, 0, 0},
        {"time stamp only", 8, true, 0, 0},       {"odd byte", 9, true, 1, 0},
        {"two units and a half", 13, true, 5, 2},
    };
    for (const auto& c : cases) {
        const Fenced payload(Bytes(c.bytes, 0x41));
        const auto chunk = decodeLogChunk(payload.span());
        ASSERT_EQ(chunk.has_value(), c.decoded) << c.what;
        if (chunk) {
            EXPECT_EQ(chunk->textBytes, c.textBytes) << c.what;
            EXPECT_EQ(chunk->text.size(), 3 * c.chars) << c.what; // U+4141 is 3 UTF-8 bytes
        }
    }
}

TEST(LogChunk, TextBeyondTheBufferIsCut) {
    Bytes payload(8 + kLogTextCapacityBytes + 4, 0);
    for (std::size_t i = 8; i < payload.size(); i += 2) {
        payload[i] = 'x';
    }
    const auto chunk = decodeLogChunk(payload);
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->textBytes, kLogTextCapacityBytes);
    EXPECT_EQ(chunk->text.size(), kLogTextCapacityBytes / 2);
}

TEST(LogChunk, CutNeverSplitsASurrogatePair) {
    Bytes payload(8 + kLogTextCapacityBytes + 2, 0);
    for (std::size_t i = 8; i < payload.size(); i += 2) {
        payload[i] = 'x';
    }
    // U+1F600 as D83D DE00, straddling the end of the buffer.
    put(payload, 8 + kLogTextCapacityBytes - 2, {0x3D, 0xD8, 0x00, 0xDE});
    const auto chunk = decodeLogChunk(payload);
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->textBytes, kLogTextCapacityBytes - 2);
    EXPECT_EQ(chunk->text, std::string(kLogTextCapacityBytes / 2 - 1, 'x'));
}

TEST(LogChunk, RoundTrip) {
    const std::string text = "Z\xC3\xA4hler \xF0\x9F\x98\x80 ok\r\n";
    const Bytes payload = encodeLogChunk(-5, text);
    EXPECT_EQ(payload.size(), 8u + 2 * 14); // 13 characters, one of them a pair
    const auto chunk = decodeLogChunk(payload);
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->timeStamp, -5);
    EXPECT_EQ(chunk->textBytes, 28u);
    EXPECT_EQ(chunk->text, text);
}

TEST(LogChunkOrder, FirstChunkIsOlderThenNewerOnlyAboveTheOldest) {
    LogChunkOrder order;
    const struct {
        std::int64_t time;
        bool newer;
        std::int64_t oldestAfter;
    } steps[] = {
        {100, false, 100}, {200, true, 100}, {100, false, 100}, {50, false, 50}, {60, true, 50},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(order.place(s.time), s.newer) << s.time;
        EXPECT_EQ(order.oldest(), s.oldestAfter) << s.time;
    }
    order.reset();
    EXPECT_FALSE(order.place(1000));
}

// ---------------------------------------------------------------- debug filters

TEST(DebugFilterList, DecodeIsBoundedByCountPayloadAndBuffer) {
    const auto words = [](std::size_t n) {
        Bytes out(4 * n);
        for (std::size_t i = 0; i < n; ++i) {
            put(out, 4 * i, {static_cast<int>(i & 0xFF), static_cast<int>(i >> 8), 0, 0x80});
        }
        return out;
    };
    Bytes ragged = words(2);
    ragged.push_back(0xFF); // part of a third word
    const struct {
        const char* what;
        std::uint16_t count;
        Bytes payload;
        std::size_t taken;
    } cases[] = {
        {"as announced", 3, words(3), 3},
        {"count above payload", 3, ragged, 2},
        {"count below payload", 1, words(3), 1},
        {"zero count", 0, words(2), 0},
        {"more than the buffer", 300, words(300), 256},
    };
    for (const auto& c : cases) {
        const Fenced payload(c.payload);
        const auto list = decodeDebugFilterList(c.count, payload.span());
        ASSERT_EQ(list.size(), c.taken) << c.what;
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i], 0x80000000u | i) << c.what;
        }
    }
}

TEST(DebugFilterList, EncoderGoldenBytesAndCap) {
    const std::uint32_t two[] = {0xFFFFFFFF, 0x80000401};
    const DebugFilterListPayload out = encodeDebugFilterList(two);
    EXPECT_EQ(out.count, 2);
    EXPECT_EQ(out.payload, (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x04, 0x00, 0x80}));

    const std::vector<std::uint32_t> many(300, 0xBFFFFFFF);
    const DebugFilterListPayload capped = encodeDebugFilterList(many);
    EXPECT_EQ(capped.count, 256);
    EXPECT_EQ(capped.payload.size(), 1024u);
    EXPECT_EQ(decodeDebugFilterList(capped.count, capped.payload),
              std::vector<std::uint32_t>(256, 0xBFFFFFFF));
}

// ---------------------------------------------------------------- SIP registrations

SipRegistration registration(std::string_view user, std::uint32_t expires) {
    SipRegistration r;
    r.set(SipRegistration::kUserName, user);
    r.set(SipRegistration::kAddressOfRecord, std::string("sip:") + std::string(user) + "@x");
    r.set(SipRegistration::kContactDetail, "sip:10.0.0.1:5060");
    r.set(SipRegistration::kExpirationSeconds, expires);
    return r;
}

TEST(SipRegistrations, DecodesHandBuiltPayload) {
    Bytes payload(4 + 2 * 188, 0);
    put(payload, 0, {2, 0, 0xAA, 0xBB}); // bytes 2..3 not used
    put(payload, 4, {'b', 'o', 'b', 0});
    put(payload, 4 + 184, {60, 0, 0, 0});
    put(payload, 4 + 188 + 72, {'c', 0});
    put(payload, 4 + 188 + 184, {0, 1, 0, 0});
    const Fenced fenced(payload);
    const SipRegistrationList list = decodeSipRegistrations(fenced.span());
    ASSERT_EQ(list.entries.size(), 2u);
    EXPECT_EQ(list.entries[0].get(SipRegistration::kUserName), "bob");
    EXPECT_EQ(list.entries[0].get(SipRegistration::kExpirationSeconds), 60u);
    EXPECT_EQ(list.entries[1].get(SipRegistration::kContactDetail), "c");
    EXPECT_EQ(list.entries[1].get(SipRegistration::kExpirationSeconds), 256u);
}

TEST(SipRegistrations, CountIsBoundedByPayloadAndCapacity) {
    const auto payloadWith = [](int claimed, std::size_t present, std::size_t extraBytes = 0) {
        Bytes out(4 + present * 188 + extraBytes, 0);
        put(out, 0, {claimed & 0xFF, (claimed >> 8) & 0xFF});
        for (std::size_t i = 0; i < present; ++i) {
            out[4 + i * 188] = 'u';
        }
        return out;
    };
    const struct {
        const char* what;
        Bytes payload;
        std::size_t entries;
    } cases[] = {
        {"empty", {}, 0},
        {"count only", {1, 0}, 0},
        {"head only", payloadWith(0, 0), 0},
        {"negative count", payloadWith(-1, 2), 0},
        {"count above entries", payloadWith(5, 3, 100), 3},
        {"count below entries", payloadWith(1, 3), 1},
        {"more than the buffer", payloadWith(1200, 1200), kSipRegistrationCapacity},
    };
    for (const auto& c : cases) {
        const Fenced payload(c.payload);
        const SipRegistrationList list = decodeSipRegistrations(payload.span());
        ASSERT_EQ(list.entries.size(), c.entries) << c.what;
        for (const auto& e : list.entries) {
            EXPECT_EQ(e.get(SipRegistration::kUserName), "u") << c.what;
        }
    }
}

TEST(SipRegistrations, RoundTrip) {
    const std::vector<SipRegistration> entries{registration("alice", 3600), registration("bob", 1)};
    const Bytes payload = encodeSipRegistrations(entries);
    ASSERT_EQ(payload.size(), 4u + 2 * 188);
    EXPECT_EQ(payload[0], 2);
    EXPECT_EQ(payload[1], 0);
    const SipRegistrationList list = decodeSipRegistrations(payload);
    EXPECT_EQ(list.claimedCount, 2);
    ASSERT_EQ(list.entries.size(), 2u);
    EXPECT_EQ(list.entries[0], entries[0]);
    EXPECT_EQ(list.entries[1], entries[1]);
}

} // namespace
} // namespace mirx::model
