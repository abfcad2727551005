#include "model/system_settings_form.h"

#include "model/client_validation.h"
#include "model/typed_text.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace mirx::model {
namespace {

using S = SystemSettings;
using F = SettingsField;
using K = SettingsFieldKind;

constexpr SettingsFieldInfo address(F field, std::size_t offset, std::uint8_t layouts) {
    return {field, K::Address, offset, layouts, true};
}
constexpr SettingsFieldInfo port(F field, std::size_t offset, std::uint8_t layouts) {
    return {field, K::Port, offset, layouts};
}
constexpr SettingsFieldInfo secondaryPort(F field, std::size_t offset) {
    return {field, K::Port, offset, kInAll, true};
}
constexpr SettingsFieldInfo localInterface(F field, std::size_t offset, std::uint8_t layouts,
                                           bool serverStoredAsZero) {
    return {field, K::Address, offset, layouts, true, false, true, serverStoredAsZero};
}
constexpr SettingsFieldInfo requiredField(F field, K kind, std::size_t offset) {
    return {field, kind, offset, kInAll, false, true};
}
constexpr SettingsFieldInfo defaultedPort(F field, std::size_t offset, std::uint8_t layouts,
                                          std::uint16_t defaultForZero) {
    return {field, K::Port, offset, layouts, false, false, false, false, defaultForZero};
}

constexpr std::array<SettingsFieldInfo, kSettingsFieldCount> makeFields() {
    std::array<SettingsFieldInfo, kSettingsFieldCount> fields{{
        requiredField(F::ServerAddress, K::Address, S::kServerAddress.offset),
        requiredField(F::ClientDataPort, K::Port, S::kClientDataPort.offset),
        requiredField(F::ClientAudioPort, K::Port, S::kClientAudioPort.offset),
        port(F::SipDataPort, S::kSipDataPort.offset, kInAll),
        port(F::RtpAudioBasePort, S::kRtpAudioBasePort.offset, kInAll),
        {F::SipDomainName, K::Text, S::kSipDomainName.offset, kInAll},
        address(F::PrimaryNatAddress, S::kPrimaryNatAddress.offset, kInAll),
        address(F::SecondaryServerAddress, S::kSecondaryServerAddress.offset, kInAll),
        secondaryPort(F::SecondaryClientDataPort, S::kSecondaryClientDataPort.offset),
        secondaryPort(F::SecondaryClientAudioPort, S::kSecondaryClientAudioPort.offset),
        secondaryPort(F::SecondaryFailoverDataPort, S::kSecondaryFailoverDataPort.offset),
        address(F::SecondaryNatAddress, S::kSecondaryNatAddress.offset, kInAll),
        localInterface(F::RtsTrunkingLocalAddress, S::kRtsTrunkingLocalAddress.offset, kInRts,
                       true),
        address(F::RtsTrunkMasterMainAddress, S::kRtsTrunkMasterMainAddress.offset, kInRts),
        port(F::RtsTrunkMasterMainPort, S::kRtsTrunkMasterMainPort.offset, kInRts),
        address(F::RtsTrunkMasterBackupAddress, S::kRtsTrunkMasterBackupAddress.offset, kInRts),
        port(F::RtsTrunkMasterBackupPort, S::kRtsTrunkMasterBackupPort.offset, kInRts),
        localInterface(F::DelecTrunkingLocalAddress, S::kDelecTrunkingLocalAddress.offset, kInDelec,
                       false),
    }};
    std::size_t next = static_cast<std::size_t>(F::OratisAddress1);
    for (std::size_t card = 0; card < S::kOratisCards; ++card) {
        fields[next++] =
            address(oratisAddressField(card), S::kOratisAddresses[card].offset, kInDelec);
    }
    for (std::size_t card = 0; card < S::kOratisCards; ++card) {
        fields[next++] = defaultedPort(oratisPortField(card), S::kOratisPorts[card].offset,
                                       kInDelec, S::kDefaultOratisPort);
    }
    constexpr std::uint8_t kTelephone = kInRts | kInNone;
    fields[next++] = localInterface(F::TelephoneLocalAddress, S::kTelephoneLocalAddress.offset,
                                    kTelephone, true);
    fields[next++] =
        address(F::MasterControllerMainAddress, S::kMasterControllerMainAddress.offset, kTelephone);
    fields[next++] =
        port(F::MasterControllerMainPort, S::kMasterControllerMainPort.offset, kTelephone);
    fields[next++] = address(F::MasterControllerBackupAddress,
                             S::kMasterControllerBackupAddress.offset, kTelephone);
    fields[next++] =
        port(F::MasterControllerBackupPort, S::kMasterControllerBackupPort.offset, kTelephone);
    fields[next++] = address(F::GeoMappingAddress, S::kGeoMappingAddress.offset, kInNone);
    fields[next++] = defaultedPort(F::GeoMappingPort, S::kGeoMappingPort.offset, kInNone,
                                   S::kDefaultGeoMappingPort);
    fields[next++] = port(F::FailoverDelay, S::kFailoverDelaySeconds.offset, kInAll);
    return fields;
}

constexpr std::array<SettingsFieldInfo, kSettingsFieldCount> kFields = makeFields();

constexpr bool fieldsInOrder() {
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        if (static_cast<std::size_t>(kFields[i].field) != i) {
            return false;
        }
    }
    return true;
}
static_assert(fieldsInOrder(), "one row per field, in enum order");

std::uint32_t addressAt(const SystemSettings& record, std::size_t offset) {
    return record.get(rec::Scalar<std::uint32_t>{offset});
}
std::uint16_t portAt(const SystemSettings& record, std::size_t offset) {
    return record.get(rec::Scalar<std::uint16_t>{offset});
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t';
    };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string notAnAddress(F field, std::string_view text) {
    return settingsFieldCaption(field) + ": " + quoted(text) +
           " is not an IP address. Type four numbers from 0 to 255 separated by dots, such as "
           "192.168.1.10.";
}
std::string notAPort(F field, std::string_view text) {
    return settingsFieldCaption(field) + ": " + quoted(text) +
           " is not a number from 0 to 65535 (0x before a hexadecimal number, 0 before an octal "
           "one).";
}
std::string missing(F field) {
    return settingsFieldCaption(field) + " required.";
}

std::string rateText(std::uint16_t rate) {
    return std::to_string(rate) + " Hz";
}

bool printableAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7F;
    });
}

} // namespace

const SettingsFieldInfo& settingsFieldInfo(SettingsField field) {
    return kFields[static_cast<std::size_t>(field)];
}

bool inLayout(SettingsField field, SettingsLayout layout) {
    return (settingsFieldInfo(field).layouts & layoutBit(layout)) != 0;
}

std::string settingsFieldCaption(SettingsField field) {
    const auto index = static_cast<std::size_t>(field);
    if (field >= F::OratisAddress1 && field < F::OratisPort1) {
        return "Delec Oratis Card #" +
               std::to_string(index - static_cast<std::size_t>(F::OratisAddress1) + 1) +
               " IP Address";
    }
    if (field >= F::OratisPort1 && field < F::TelephoneLocalAddress) {
        return "Delec Oratis Card #" +
               std::to_string(index - static_cast<std::size_t>(F::OratisPort1) + 1) + " IP Port";
    }
    switch (field) {
    case F::ServerAddress:
        return "Server IP Address (Local Network Interface)";
    case F::ClientDataPort:
        return "Server IP Port for Client Data";
    case F::ClientAudioPort:
        return "Server IP Port for Client Audio";
    case F::SipDataPort:
        return "Server IP Port for SIP Data";
    case F::RtpAudioBasePort:
        return "Server IP Port for RTP Audio Base";
    case F::SipDomainName:
        return "Server SIP Domain Name";
    case F::PrimaryNatAddress:
        return "Server NAT IP Address";
    case F::SecondaryServerAddress:
        return "Secondary Server IP Address";
    case F::SecondaryClientDataPort:
        return "Secondary Server IP Port for MIRX Client Data";
    case F::SecondaryClientAudioPort:
        return "Secondary Server IP Port for MIRX Client Audio";
    case F::SecondaryFailoverDataPort:
        return "Secondary Server IP Port for Failover Data";
    case F::SecondaryNatAddress:
        return "Secondary Server NAT IP Address";
    case F::RtsTrunkingLocalAddress:
    case F::DelecTrunkingLocalAddress:
        return "Trunking Server IP Address (Local Network Interface)";
    case F::RtsTrunkMasterMainAddress:
        return "RTS Trunk Master Main IP Address";
    case F::RtsTrunkMasterMainPort:
        return "RTS Trunk Master Main IP Port";
    case F::RtsTrunkMasterBackupAddress:
        return "RTS Trunk Master Backup IP Address";
    case F::RtsTrunkMasterBackupPort:
        return "RTS Trunk Master Backup IP Port";
    case F::TelephoneLocalAddress:
        return "Telephone Interface Server IP Address (Local Network Interface)";
    case F::MasterControllerMainAddress:
        return "Master Controller Main IP Address";
    case F::MasterControllerMainPort:
        return "Master Controller Main IP Port";
    case F::MasterControllerBackupAddress:
        return "Master Controller Backup IP Address";
    case F::MasterControllerBackupPort:
        return "Master Controller Backup IP Port";
    case F::GeoMappingAddress:
        return "Geo Mapping Server IP Address";
    case F::GeoMappingPort:
        return "Geo Mapping Server IP Port";
    case F::FailoverDelay:
        return "Failover Activation Delay";
    default:
        return {};
    }
}

std::vector<SampleRateEntry> sampleRateEntries(bool debugControls, std::uint16_t currentRate) {
    std::vector<SampleRateEntry> entries;
    for (const SampleRateEntry& entry : kSampleRateEntries) {
        if (entry.rate != 48000 || debugControls || currentRate == 48000) {
            entries.push_back(entry);
        }
    }
    return entries;
}

std::string gainLabel(int step) {
    const int decibels = step * SystemSettings::kDecibelsPerGainStep;
    return (step == 0 ? "" : "+") + std::to_string(decibels) + " dB";
}

SystemSettingsForm showSystemSettings(const SystemSettings& record,
                                      const ClientCredentials& masterAdministrator) {
    SystemSettingsForm form;
    const std::uint32_t server = record.get(S::kServerAddress);
    for (const SettingsFieldInfo& info : kFields) {
        std::string& text = form[info.field];
        switch (info.kind) {
        case K::Address: {
            std::uint32_t value = addressAt(record, info.offset);
            if (value == 0 && info.zeroMeansServer) {
                value = server;
            }
            text = value == 0 && info.emptyWhenZero ? std::string() : formatIpv4(value);
            break;
        }
        case K::Port: {
            const std::uint16_t value = portAt(record, info.offset);
            text = value == 0 && info.emptyWhenZero ? std::string() : std::to_string(value);
            break;
        }
        case K::Text:
            text = record.get(S::kSipDomainName);
            break;
        }
    }
    const std::uint16_t rate = record.get(S::kSampleRate);
    if (std::any_of(kSampleRateEntries.begin(), kSampleRateEntries.end(),
                    [rate](const SampleRateEntry& e) { return e.rate == rate; })) {
        form.sampleRate = rate;
    }
    form.gainStep =
        std::clamp<int>(record.get(S::kOutputGainStep), 0, SystemSettings::kMaxOutputGainStep);
    form.textColour = record.get(S::kVoiceActivityTextColour);
    form.backgroundColour = record.get(S::kVoiceActivityBackgroundColour);
    const std::uint8_t mode = record.get(S::kFailbackMode);
    form.failback = mode <= 2 ? static_cast<FailbackMode>(mode) : FailbackMode::Never;
    if (form.failback != FailbackMode::Never) {
        char time[16];
        std::snprintf(time, sizeof time, "%02u:%02u", unsigned{record.get(S::kFailbackHours)},
                      unsigned{record.get(S::kFailbackMinutes)});
        form.failbackTime = time;
    }
    form.disableDomainAuthentication =
        !record.testBit(S::kOptionBits, S::kOptionDomainAuthentication);
    form.fourCharacterAlphas = record.testBit(S::kOptionBits, S::kOptionFourCharacterAlphas);
    form.selectorForSelf = record.testBit(S::kOptionBits, S::kOptionSelectorForSelf);
    form.batteryBits = record.get(S::kBatteryAlertBits) & 0x3F;
    form.loginName = masterAdministrator.get(ClientCredentials::kLoginName);
    form.password = masterAdministrator.get(ClientCredentials::kPassword);
    return form;
}

std::optional<std::uint16_t> parsePortText(std::string_view text) {
    text = trimmed(text);
    if (text.empty()) {
        return 0;
    }
    if (text.size() > kPortTextLimit) {
        return std::nullopt;
    }
    unsigned base = 10;
    if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '0') {
        base = 8;
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        if (digit >= base) {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > 0xFFFF) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<std::uint32_t> parseAddressText(std::string_view text) {
    text = trimmed(text);
    if (text.empty()) {
        return 0;
    }
    if (text.size() > kAddressTextLimit) {
        return std::nullopt;
    }
    return parseIpv4(text);
}

std::optional<std::pair<std::uint16_t, std::uint16_t>> parseFailbackTime(std::string_view text) {
    text = trimmed(text);
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto number = [](std::string_view part) -> std::optional<std::uint16_t> {
        if (part.empty() || part.size() > 2 ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        std::uint16_t value = 0;
        for (const char c : part) {
            value = static_cast<std::uint16_t>(value * 10 + (c - '0'));
        }
        return value;
    };
    const auto hours = number(text.substr(0, colon));
    const auto minutes = number(text.substr(colon + 1));
    if (!hours || !minutes || *hours > 23 || *minutes > 59) {
        return std::nullopt;
    }
    return std::pair{*hours, *minutes};
}

SystemSettingsInput readSystemSettings(const SystemSettingsForm& form,
                                       const SystemSettings& current, SettingsLayout layout) {
    SystemSettingsInput input;
    input.record = current;
    const auto fail = [&input](SettingsInputPlace place, F field, std::string text) {
        input.error = SettingsInputError{place, field, std::move(text)};
        return input;
    };

    const std::string loginName = typedLoginName(trimmed(form.loginName));
    if (loginName.empty()) {
        return fail(SettingsInputPlace::LoginName, F::ServerAddress, kLoginNameRequired);
    }
    input.masterAdministrator.set(ClientCredentials::kClientIndex, kMasterAdministratorIndex);
    input.masterAdministrator.set(ClientCredentials::kLoginName, loginName);
    input.masterAdministrator.set(ClientCredentials::kPassword, typedName(form.password));

    SystemSettings& record = input.record;
    // The server address first: local interfaces compare against it.
    const auto server = parseAddressText(form[F::ServerAddress]);
    if (!server) {
        return fail(SettingsInputPlace::Field, F::ServerAddress,
                    notAnAddress(F::ServerAddress, form[F::ServerAddress]));
    }
    for (const SettingsFieldInfo& info : kFields) {
        if ((info.layouts & layoutBit(layout)) == 0) {
            continue;
        }
        const std::string& text = form[info.field];
        switch (info.kind) {
        case K::Address: {
            const auto value = info.field == F::ServerAddress ? server : parseAddressText(text);
            if (!value) {
                return fail(SettingsInputPlace::Field, info.field, notAnAddress(info.field, text));
            }
            if (*value == 0 && info.required) {
                return fail(SettingsInputPlace::Field, info.field, missing(info.field));
            }
            const bool storedAsZero = info.serverStoredAsZero && *value == *server;
            record.set(rec::Scalar<std::uint32_t>{info.offset}, storedAsZero ? 0u : *value);
            break;
        }
        case K::Port: {
            const auto value = parsePortText(text);
            if (!value) {
                return fail(SettingsInputPlace::Field, info.field, notAPort(info.field, text));
            }
            if (*value == 0 && info.required) {
                return fail(SettingsInputPlace::Field, info.field, missing(info.field));
            }
            const std::uint16_t stored =
                *value == 0 && info.defaultForZero != 0 ? info.defaultForZero : *value;
            record.set(rec::Scalar<std::uint16_t>{info.offset}, stored);
            break;
        }
        case K::Text: {
            const std::string domain = typedLoginName(trimmed(text));
            if (!printableAscii(domain) || domain.size() > kSipDomainLimit) {
                return fail(SettingsInputPlace::Field, info.field,
                            settingsFieldCaption(info.field) +
                                ": use at most 50 ASCII letters, digits and punctuation marks.");
            }
            record.set(S::kSipDomainName, domain);
            break;
        }
        }
    }

    std::uint16_t hours = 0;
    std::uint16_t minutes = 0;
    if (form.failback != FailbackMode::Never) {
        const auto time = parseFailbackTime(form.failbackTime);
        if (!time) {
            return fail(SettingsInputPlace::FailbackTime, F::FailoverDelay,
                        "Automatic Failback: " + quoted(form.failbackTime) +
                            " is not a time. Type hours and minutes as hh:mm, from 00:00 to "
                            "23:59.");
        }
        std::tie(hours, minutes) = *time;
    }
    record.set(S::kFailbackMode, static_cast<std::uint8_t>(form.failback));
    record.set(S::kFailbackHours, hours);
    record.set(S::kFailbackMinutes, minutes);

    if (form.sampleRate) {
        record.set(S::kSampleRate, *form.sampleRate);
    }
    record.set(S::kOutputGainStep,
               std::clamp(form.gainStep, 0, SystemSettings::kMaxOutputGainStep));
    record.set(S::kVoiceActivityTextColour, form.textColour);
    record.set(S::kVoiceActivityBackgroundColour, form.backgroundColour);

    const std::uint8_t bit = layoutBit(layout);
    record.setBit(S::kOptionBits, S::kOptionDomainAuthentication,
                  !form.disableDomainAuthentication);
    if ((kFourCharacterAlphasLayouts & bit) != 0) {
        record.setBit(S::kOptionBits, S::kOptionFourCharacterAlphas, form.fourCharacterAlphas);
    }
    if ((kSelectorForSelfLayouts & bit) != 0) {
        record.setBit(S::kOptionBits, S::kOptionSelectorForSelf, form.selectorForSelf);
    }
    if ((kBatteryLayouts & bit) != 0) {
        const std::uint8_t kept = record.get(S::kBatteryAlertBits) & 0xC0;
        record.set(S::kBatteryAlertBits,
                   static_cast<std::uint8_t>(kept | (form.batteryBits & 0x3F)));
    }
    return input;
}

std::vector<SettingChange> restartChanges(const SystemSettings& before,
                                          const SystemSettings& after) {
    std::vector<SettingChange> changes;
    const auto address = [&](F field, rec::Scalar<std::uint32_t> at) {
        if (before.get(at) != after.get(at)) {
            changes.push_back({settingsFieldCaption(field), formatIpv4(before.get(at)),
                               formatIpv4(after.get(at))});
        }
    };
    const auto port = [&](F field, rec::Scalar<std::uint16_t> at) {
        if (before.get(at) != after.get(at)) {
            changes.push_back({settingsFieldCaption(field), std::to_string(before.get(at)),
                               std::to_string(after.get(at))});
        }
    };
    address(F::ServerAddress, S::kServerAddress);
    port(F::ClientDataPort, S::kClientDataPort);
    port(F::ClientAudioPort, S::kClientAudioPort);
    port(F::SipDataPort, S::kSipDataPort);
    if (before.get(S::kSipDomainName) != after.get(S::kSipDomainName)) {
        changes.push_back({settingsFieldCaption(F::SipDomainName),
                           quoted(before.get(S::kSipDomainName)),
                           quoted(after.get(S::kSipDomainName))});
    }
    if (before.get(S::kSampleRate) != after.get(S::kSampleRate)) {
        changes.push_back({"Audio Mix Sample Rate", rateText(before.get(S::kSampleRate)),
                           rateText(after.get(S::kSampleRate))});
    }
    return changes;
}

std::string restartQuestion(const std::vector<SettingChange>& changes) {
    std::string text = kRestartWarning;
    if (!changes.empty()) {
        text += "\n\nChanges:";
        for (const SettingChange& change : changes) {
            text += "\n" + change.caption + ": " + change.before + " \u2192 " + change.after;
        }
    }
    return text;
}

} // namespace mirx::model
