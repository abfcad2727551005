#pragma once

#include "model/record.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The server's system-wide settings (CONFIGURATION_DATA_SYSTEM_SETTINGS,
// 2005), plus the address and colour conventions every server record shares.
// The console edits the fields below in place and sends the whole record
// back, so bytes without a descriptor return to the server untouched.

namespace mirx::model {

// --- IPv4 addresses: first octet in the lowest byte, 0 = not set ---

// "%d.%d.%d.%d", first octet from the lowest byte.
std::string formatIpv4(std::uint32_t address);

// Strict dotted quad: four decimal parts 0..255 without leading zeros, signs
// or blanks. The all-ones address is refused too: every address field that
// takes typed text stores 0 for it, as for unreadable text.
std::optional<std::uint32_t> parseIpv4(std::string_view text);

// --- colours: red in the lowest byte, then green, then blue ---

constexpr std::uint32_t rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<std::uint32_t>(red) | (static_cast<std::uint32_t>(green) << 8) |
           (static_cast<std::uint32_t>(blue) << 16);
}
constexpr std::uint8_t colourRed(std::uint32_t colour) {
    return static_cast<std::uint8_t>(colour);
}
constexpr std::uint8_t colourGreen(std::uint32_t colour) {
    return static_cast<std::uint8_t>(colour >> 8);
}
constexpr std::uint8_t colourBlue(std::uint32_t colour) {
    return static_cast<std::uint8_t>(colour >> 16);
}

enum class FailbackMode : std::uint8_t {
    Never = 0,
    AfterPrimaryRestoredFor = 1,
    AtTimeOfDay = 2,
};

struct SystemSettings : rec::Record<1200> {
    // Primary server and its clients.
    static constexpr rec::Scalar<std::uint16_t> kClientAudioPort{0};
    static constexpr rec::Scalar<std::uint16_t> kSampleRate{2};
    static constexpr rec::Scalar<std::uint32_t> kVoiceActivityTextColour{4};
    static constexpr rec::Scalar<std::uint32_t> kVoiceActivityBackgroundColour{8};
    static constexpr rec::Scalar<std::uint16_t> kClientDataPort{12};
    static constexpr rec::Scalar<std::uint32_t> kServerAddress{14};
    // Secondary (failover) server.
    static constexpr rec::Scalar<std::uint16_t> kSecondaryClientDataPort{18};
    static constexpr rec::Scalar<std::uint32_t> kSecondaryServerAddress{20};
    // Output gain is step x 6 dB.
    static constexpr rec::Scalar<std::int8_t> kOutputGainStep{24};
    static constexpr rec::Scalar<std::uint16_t> kSecondaryClientAudioPort{25};
    static constexpr rec::Scalar<std::uint16_t> kSipDataPort{27};
    static constexpr rec::AsciiText kSipDomainName{29, 51};
    static constexpr rec::Scalar<std::uint16_t> kRtpAudioBasePort{80};
    static constexpr rec::Scalar<std::uint16_t> kSecondaryFailoverDataPort{82};
    static constexpr rec::Scalar<std::uint32_t> kPrimaryNatAddress{84};
    static constexpr rec::Scalar<std::uint32_t> kSecondaryNatAddress{88};
    // RTS trunking; a local interface of 0 means the server address.
    static constexpr rec::Scalar<std::uint32_t> kRtsTrunkingLocalAddress{92};
    static constexpr rec::Scalar<std::uint32_t> kRtsTrunkMasterMainAddress{96};
    static constexpr rec::Scalar<std::uint16_t> kRtsTrunkMasterMainPort{100};
    // Delec trunking; a local interface of 0 means the server address.
    static constexpr rec::Scalar<std::uint32_t> kDelecTrunkingLocalAddress{102};
    // Failover behaviour.
    static constexpr rec::Scalar<std::uint16_t> kFailoverDelaySeconds{118};
    static constexpr rec::Scalar<std::uint8_t> kFailbackMode{120};
    static constexpr rec::Scalar<std::uint16_t> kFailbackHours{121};
    static constexpr rec::Scalar<std::uint16_t> kFailbackMinutes{123};
    static constexpr rec::Scalar<std::uint32_t> kRtsTrunkMasterBackupAddress{133};
    static constexpr rec::Scalar<std::uint16_t> kRtsTrunkMasterBackupPort{137};
    static constexpr rec::Scalar<std::uint32_t> kGeoMappingAddress{139};
    static constexpr rec::Scalar<std::uint16_t> kGeoMappingPort{143};
    static constexpr rec::Scalar<std::uint8_t> kOptionBits{156};
    // Telephone interface; a local interface of 0 means the server address.
    static constexpr rec::Scalar<std::uint32_t> kTelephoneLocalAddress{157};
    static constexpr rec::Scalar<std::uint32_t> kMasterControllerMainAddress{161};
    static constexpr rec::Scalar<std::uint16_t> kMasterControllerMainPort{165};
    static constexpr rec::Scalar<std::uint32_t> kMasterControllerBackupAddress{167};
    static constexpr rec::Scalar<std::uint16_t> kMasterControllerBackupPort{171};
    static constexpr rec::Scalar<std::uint8_t> kBatteryAlertBits{180};
    // Delec Oratis cards #1..#6.
    static constexpr std::size_t kOratisCards = 6;
    static constexpr std::array<rec::Scalar<std::uint32_t>, kOratisCards> kOratisAddresses{
        {{200}, {204}, {208}, {212}, {216}, {220}}};
    static constexpr std::array<rec::Scalar<std::uint16_t>, kOratisCards> kOratisPorts{
        {{224}, {226}, {228}, {230}, {232}, {234}}};

    // Bits of kOptionBits. Bit 0 set means domain authentication is on; the
    // view's "Disable Domain Authentication" shows it inverted.
    static constexpr unsigned kOptionDomainAuthentication = 0;
    static constexpr unsigned kOptionFourCharacterAlphas = 1;
    static constexpr unsigned kOptionSelectorForSelf = 2;

    // Bit i of kBatteryAlertBits announces kBatteryAlertPercent[i].
    static constexpr std::array<unsigned, 6> kBatteryAlertPercent{5, 10, 15, 20, 25, 30};

    static constexpr std::array<std::uint16_t, 4> kSampleRates{8000, 16000, 32000, 48000};
    static constexpr int kMaxOutputGainStep = 3;
    static constexpr int kDecibelsPerGainStep = 6;

    // A port the view reads as 0 is stored as these instead.
    static constexpr std::uint16_t kDefaultOratisPort = 6551;
    static constexpr std::uint16_t kDefaultGeoMappingPort = 8090;
};

static_assert(rec::fits(SystemSettings::kClientAudioPort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kSampleRate, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kVoiceActivityTextColour, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kVoiceActivityBackgroundColour, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kClientDataPort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kServerAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kSecondaryClientDataPort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kSecondaryServerAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kOutputGainStep, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kSecondaryClientAudioPort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kSipDataPort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kSipDomainName, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kRtpAudioBasePort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kSecondaryFailoverDataPort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kPrimaryNatAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kSecondaryNatAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kRtsTrunkingLocalAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kRtsTrunkMasterMainAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kRtsTrunkMasterMainPort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kDelecTrunkingLocalAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kFailoverDelaySeconds, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kFailbackMode, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kFailbackHours, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kFailbackMinutes, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kRtsTrunkMasterBackupAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kRtsTrunkMasterBackupPort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kGeoMappingAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kGeoMappingPort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kOptionBits, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kTelephoneLocalAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kMasterControllerMainAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kMasterControllerMainPort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kMasterControllerBackupAddress, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kMasterControllerBackupPort, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kBatteryAlertBits, SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kOratisAddresses.back(), SystemSettings::kSize));
static_assert(rec::fits(SystemSettings::kOratisPorts.back(), SystemSettings::kSize));
static_assert(rec::endOf(SystemSettings::kOratisAddresses.back()) <=
              SystemSettings::kOratisPorts.front().offset);

} // namespace mirx::model
