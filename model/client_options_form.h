#pragma once

#include "model/client_records.h"
#include "model/client_store.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What the client options views show of an options record and how they write
// the typed values back: the fields of each view, which are enabled, which
// carry the "(DEFAULT)" mark, and the records posted on OK. A field is
// written only when its control changed, so values no control can show
// (an unknown combo value, a latitude with more digits than shown) go back
// as they came.

namespace mirx::model {

enum class OptionsField : std::uint8_t {
    // Panel view.
    HideDisabledSelectors,
    HideSelectorLegends,
    VoiceActivityIndication,
    SplitSelectorCenterZone,
    VadTime,
    ConnectionTimeout,
    AllowDisableLogin,
    RestartInBackground,
    OperateAsBeltpack,
    HeadsetOnly,
    RingToneDisable,
    PartyLineButton,
    SelectorVolumeButtons,
    DialPadButton,
    SelectorAssignmentButton,
    RevealInactiveButton,
    GeoMappingButton,
    SelectorRelocationButton,
    AutoPageSwitch,
    PlaySelectorActivation,
    PlayConnectionSounds,
    PlayBatteryStatus,
    // Video view.
    RtspMethod,
    RtspHttpPort,
    RtspUri,
    // SIP view.
    InboundActivation,
    InboundDeactivation,
    OutboundActivation,
    OutboundDeactivation,
    AutomaticDialSequence,
    UserNamePrefix,
    SendSdpWithInvite,
    UseSdpForRtpDestination,
    RtpVoiceActivity,
    G722Timestamp16kHz,
    SipVadTime,
    SipVadOffDelay,
    RingTone,
    AutoAnswerMessage,
    AutoAnswerDelay,
    AutoAnswerAccessCode,
    TalkActivationDigit,
    TalkDeactivationDigit,
    RegistrationExpiry,
    SessionExpiry,
    RtpTimeout,
    KeepAliveMethod,
    KeepAliveType,
    TargetUserName,
    TargetPrimaryHost,
    TargetSecondaryHost,
    ProxyAddress,
    StunAddress,
    // Every view.
    GeoMappingDisable,
    GeoLatitude,
    GeoLongitude,
};
inline constexpr std::size_t kOptionsFieldCount =
    static_cast<std::size_t>(OptionsField::GeoLongitude) + 1;

enum class OptionsFieldKind : std::uint8_t { Check, Number, Text, Combo, Address, Coordinate };

struct OptionsFieldInfo {
    OptionsField field;
    OptionsFieldKind kind;
    std::string_view caption;
    // Views the field appears in: bit per OptionsView.
    std::uint8_t views;
};

const OptionsFieldInfo& optionsFieldInfo(OptionsField field);
bool inView(OptionsField field, OptionsView view);
// The fields of a view, in the order above.
std::vector<OptionsField> optionsFields(OptionsView view);
// Characters the field's text box takes: the record's capacity for text,
// the typed lengths the server's numbers and addresses allow.
int optionsFieldMaxLength(OptionsField field);
// The fixed entries of a combo field.
std::span<const std::string_view> comboEntries(OptionsField field);

// Who is edited: the defaults are edited in the panel view.
struct OptionsEditTarget {
    bool defaults = false;
    int clientType = 0;
    OptionsView view() const;
};

// The view's text for each field: checks "1" or "", combos the stored value
// in decimal (see comboEntryText), the rest as the field shows it.
struct OptionsForm {
    std::array<std::string, kOptionsFieldCount> text;
    std::string& operator[](OptionsField f) { return text[static_cast<std::size_t>(f)]; }
    const std::string& operator[](OptionsField f) const {
        return text[static_cast<std::size_t>(f)];
    }
    bool checked(OptionsField f) const { return !(*this)[f].empty(); }
};

// The entry shown for a combo value; "unknown (N)" for one the list lacks.
std::string comboEntryText(OptionsField field, int value);

// "a.b.c.d" while the port is 0 or the one shown without port, else
// "a.b.c.d:port"; empty while the address is 0.
std::string optionsAddressText(std::uint32_t address, std::uint16_t port,
                               std::uint16_t portShownWithout);

OptionsForm showOptions(const ClientOptions& record, const OptionsEditTarget& target);

// Enabling of the fields that are not always enabled. The geo-mapping check
// needs a geo-mapping server in the system settings; latitude and longitude
// follow it while it is not ticked.
bool optionsFieldEnabled(OptionsField field, const OptionsEditTarget& target,
                         const OptionsForm& form, bool geoMappingServer);

inline constexpr const char* kSoundFileNameTooLong =
    "Sound File Name cannot be greater than 20 characters!";
inline constexpr const char* kUnableToOpenSoundFile = "Unable to open selected file!";

// A sound file picked for upload, ready to post; or why it is refused
// (kSoundFileNameTooLong, kUnableToOpenSoundFile, or over the size limit).
struct SoundFileUpload {
    std::optional<std::string> error;
    OutgoingRecord post;
};
// The name is the file's, without folder; nothing is read when it is too
// long, and a file over the limit is refused rather than cut.
SoundFileUpload soundFileUpload(const std::filesystem::path& path);

struct OptionsInputError {
    OptionsField field;
    std::string text;
};

struct OptionsInput {
    // The first field that cannot be read; nothing is sent then.
    std::optional<OptionsInputError> error;
    ClientOptions record;
    // For the defaults: the SIP defaults, which take the voice activity time.
    ClientOptions sipDefaults;
};

// Writes each field whose text differs from what `edited` shows.
OptionsInput writeOptions(const OptionsForm& form, const ClientOptions& edited,
                          const ClientOptions& sipDefaults, const OptionsEditTarget& target);

// OK after a successful write: puts the records into the store and returns
// what to post, the client's options (550 bytes for a SIP device, else 250)
// or the defaults with 1 to apply them to every client still on the prior
// defaults. Nothing for an index that names no client.
std::optional<OutgoingRecord> saveOptions(ClientStore& store, int clientIndex,
                                          const OptionsEditTarget& target,
                                          const OptionsInput& input, bool applyToPrior);

// The fields that carry a "(DEFAULT)" mark in the view, and those of them
// whose text equals the defaults' (the SIP defaults for the SIP view). None
// while the defaults themselves are edited.
std::vector<OptionsField> markedFields(OptionsView view);
std::vector<OptionsField> optionsDefaultMarks(const OptionsForm& form,
                                              const ClientOptions& defaults,
                                              const ClientOptions& sipDefaults,
                                              const OptionsEditTarget& target);

struct OptionsDifference {
    OptionsField field;
    std::string value;
    std::string defaultValue;
    friend bool operator==(const OptionsDifference&, const OptionsDifference&) = default;
};

// Every field of the view where the record differs from the defaults it is
// compared with, shown as the view shows it ("on"/"off" for checks).
std::vector<OptionsDifference> optionsDifferences(const ClientOptions& record,
                                                  const ClientOptions& defaults,
                                                  const ClientOptions& sipDefaults,
                                                  const OptionsEditTarget& target);
// One line per difference: "caption: value (default: value)".
std::string optionsDifferencesText(std::span<const OptionsDifference> differences);

} // namespace mirx::model
