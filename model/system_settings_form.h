#pragma once

#include "model/client_records.h"
#include "model/system_settings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the system settings view shows of the record and how it reads the
// typed values back: which fields each layout has, how addresses and ports
// are written and parsed, and which changes restart or move the server.
// Text that does not parse is refused with a message naming the field,
// never stored as 0.

namespace mirx::model {

// The view's layout follows the server's trunking mode.
enum class SettingsLayout : std::uint8_t { None, Rts, Delec };

enum class SettingsField : std::uint8_t {
    ServerAddress,
    ClientDataPort,
    ClientAudioPort,
    SipDataPort,
    RtpAudioBasePort,
    SipDomainName,
    PrimaryNatAddress,
    SecondaryServerAddress,
    SecondaryClientDataPort,
    SecondaryClientAudioPort,
    SecondaryFailoverDataPort,
    SecondaryNatAddress,
    RtsTrunkingLocalAddress,
    RtsTrunkMasterMainAddress,
    RtsTrunkMasterMainPort,
    RtsTrunkMasterBackupAddress,
    RtsTrunkMasterBackupPort,
    DelecTrunkingLocalAddress,
    OratisAddress1,
    OratisPort1 = OratisAddress1 + SystemSettings::kOratisCards,
    TelephoneLocalAddress = OratisPort1 + SystemSettings::kOratisCards,
    MasterControllerMainAddress,
    MasterControllerMainPort,
    MasterControllerBackupAddress,
    MasterControllerBackupPort,
    GeoMappingAddress,
    GeoMappingPort,
    FailoverDelay,
};
inline constexpr std::size_t kSettingsFieldCount =
    static_cast<std::size_t>(SettingsField::FailoverDelay) + 1;

constexpr SettingsField oratisAddressField(std::size_t card) {
    return static_cast<SettingsField>(static_cast<std::size_t>(SettingsField::OratisAddress1) +
                                      card);
}
constexpr SettingsField oratisPortField(std::size_t card) {
    return static_cast<SettingsField>(static_cast<std::size_t>(SettingsField::OratisPort1) + card);
}

enum class SettingsFieldKind : std::uint8_t { Address, Port, Text };

// Layouts a field or check box appears in.
inline constexpr std::uint8_t kInNone = 1;
inline constexpr std::uint8_t kInRts = 2;
inline constexpr std::uint8_t kInDelec = 4;
inline constexpr std::uint8_t kInAll = kInNone | kInRts | kInDelec;
constexpr std::uint8_t layoutBit(SettingsLayout layout) {
    return layout == SettingsLayout::None  ? kInNone
           : layout == SettingsLayout::Rts ? kInRts
                                           : kInDelec;
}

struct SettingsFieldInfo {
    SettingsField field;
    SettingsFieldKind kind;
    std::size_t offset;
    std::uint8_t layouts;
    // Shown empty while 0 (addresses other than the server's, the
    // secondary ports).
    bool emptyWhenZero = false;
    // An empty text is refused instead of meaning "not set".
    bool required = false;
    // A local interface: 0 shows the server address.
    bool zeroMeansServer = false;
    // ... and the server address typed here is stored as 0.
    bool serverStoredAsZero = false;
    // A port read as 0 is stored as this (0: stays 0).
    std::uint16_t defaultForZero = 0;
};

const SettingsFieldInfo& settingsFieldInfo(SettingsField field);
bool inLayout(SettingsField field, SettingsLayout layout);
// Names the field in messages and in the list of changes.
std::string settingsFieldCaption(SettingsField field);

// Check boxes other than the battery levels.
inline constexpr std::uint8_t kFourCharacterAlphasLayouts = kInRts | kInNone;
inline constexpr std::uint8_t kSelectorForSelfLayouts = kInRts;
inline constexpr std::uint8_t kBatteryLayouts = kInRts | kInNone;

// --- the values as typed ---

struct SampleRateEntry {
    std::string_view name;
    std::uint16_t rate;
};
inline constexpr std::array<SampleRateEntry, 4> kSampleRateEntries{{
    {"Narrowband( 8 KHz )", 8000},
    {"Wideband ( 16 KHz )", 16000},
    {"Ultra Wideband( 32 KHz )", 32000},
    {"Full Band (48 KHz)", 48000},
}};
// Full band is offered only with /Debug or when it is already the rate.
std::vector<SampleRateEntry> sampleRateEntries(bool debugControls, std::uint16_t currentRate);

inline constexpr std::array<std::string_view, 3> kFailbackEntries{
    "Never. Failback done manually.", "After primary restored for ...",
    "At the following time of day ..."};

// "0 dB" for step 0, "+6 dB" and so on for the others.
std::string gainLabel(int step);

struct SystemSettingsForm {
    std::array<std::string, kSettingsFieldCount> text;
    // Nothing selected when the rate is none of the listed ones.
    std::optional<std::uint16_t> sampleRate;
    int gainStep = 0;
    std::uint32_t textColour = 0;
    std::uint32_t backgroundColour = 0;
    FailbackMode failback = FailbackMode::Never;
    std::string failbackTime;
    bool disableDomainAuthentication = false;
    bool fourCharacterAlphas = false;
    bool selectorForSelf = false;
    std::uint8_t batteryBits = 0;
    std::string loginName;
    std::string password;

    std::string& operator[](SettingsField field) { return text[static_cast<std::size_t>(field)]; }
    const std::string& operator[](SettingsField field) const {
        return text[static_cast<std::size_t>(field)];
    }
};

SystemSettingsForm showSystemSettings(const SystemSettings& record,
                                      const ClientCredentials& masterAdministrator);

// --- reading them back ---

// Port text: blanks around it are ignored; empty is 0; "0x" hexadecimal,
// a leading 0 octal, else decimal; the whole text must be the number, at
// most 9 characters, no more than 65535.
std::optional<std::uint16_t> parsePortText(std::string_view text);
// Address text: empty is 0, else a strict dotted quad (parseIpv4).
std::optional<std::uint32_t> parseAddressText(std::string_view text);
// "h:m" with hours 0..23 and minutes 0..59, one or two digits each.
std::optional<std::pair<std::uint16_t, std::uint16_t>> parseFailbackTime(std::string_view text);

inline constexpr std::size_t kAddressTextLimit = 40;
inline constexpr std::size_t kPortTextLimit = 9;
inline constexpr std::size_t kSipDomainLimit = 50;
inline constexpr std::size_t kMasterLoginLimit = 20;
inline constexpr std::size_t kFailbackTimeLimit = 5;

enum class SettingsInputPlace : std::uint8_t { Field, LoginName, FailbackTime };

struct SettingsInputError {
    SettingsInputPlace place = SettingsInputPlace::Field;
    SettingsField field = SettingsField::ServerAddress;
    std::string text;
};

inline constexpr const char* kSettingsErrorCaption = "Error";

struct SystemSettingsInput {
    // The first field that cannot be read; nothing is sent then.
    std::optional<SettingsInputError> error;
    SystemSettings record;
    ClientCredentials masterAdministrator;
};

// Fields and check boxes the layout does not show keep the values of
// `current`, as do all bytes the view does not edit.
SystemSettingsInput readSystemSettings(const SystemSettingsForm& form,
                                       const SystemSettings& current, SettingsLayout layout);

// --- what a restart or move would change ---

inline constexpr const char* kRestartCaption = "System Restart Confirmation";
inline constexpr const char* kRestartWarning =
    "WARNING: These changes will result in a server restart and may render the system "
    "inoperable. Do you wish to proceed?";

struct SettingChange {
    std::string caption;
    std::string before;
    std::string after;
};

// The fields whose change restarts the server or moves it: its address,
// the client data and audio ports, the SIP data port, the SIP domain name
// and the sample rate. Empty: the record can go without asking.
std::vector<SettingChange> restartChanges(const SystemSettings& before,
                                          const SystemSettings& after);
// The warning, then one line "caption: before → after" per change.
std::string restartQuestion(const std::vector<SettingChange>& changes);

} // namespace mirx::model
