#include "model/client_options_form.h"

#include "core/message_ids.h"
#include "core/utf16.h"
#include "model/client_types.h"
#include "model/sound_files.h"
#include "model/system_settings.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace mirx::model {
namespace {

using O = ClientOptions;
using F = OptionsField;
using K = OptionsFieldKind;

constexpr std::uint8_t bitOf(OptionsView v) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(v));
}
constexpr std::uint8_t kPanel = bitOf(OptionsView::Panel);
constexpr std::uint8_t kVideo = bitOf(OptionsView::Video);
constexpr std::uint8_t kSip = bitOf(OptionsView::Sip);
constexpr std::uint8_t kAll = kPanel | kVideo | kSip;

constexpr std::array<OptionsFieldInfo, kOptionsFieldCount> kFields{{
    {F::HideDisabledSelectors, K::Check, "Hide disabled selectors", kPanel},
    {F::HideSelectorLegends, K::Check, "Hide selector legends", kPanel},
    {F::VoiceActivityIndication, K::Check, "Voice Activity Indication", kPanel},
    {F::SplitSelectorCenterZone, K::Check, "Split Selector Center Zone", kPanel},
    {F::VadTime, K::Number, "Voice Activity Detection Time In Ms", kPanel},
    {F::ConnectionTimeout, K::Number, "Connection Timeout In Ms", kPanel},
    {F::AllowDisableLogin, K::Check, "Allow Disable Client Login / Connection", kPanel},
    {F::RestartInBackground, K::Check, "Restart in Background if Previously Active", kPanel},
    {F::OperateAsBeltpack, K::Check, "Operate as a Beltpack", kPanel},
    {F::HeadsetOnly, K::Check, "Headset Only (Speakerphone disabled)", kPanel},
    {F::RingToneDisable, K::Check, "Ring Tone Disable", kPanel},
    {F::PartyLineButton, K::Check, "Enable Party Line Assignment Button", kPanel},
    {F::SelectorVolumeButtons, K::Check, "Enable Selector Volume Buttons", kPanel},
    {F::DialPadButton, K::Check, "Enable Dial Pad Button", kPanel},
    {F::SelectorAssignmentButton, K::Check, "Enable Selector Assignment Button", kPanel},
    {F::RevealInactiveButton, K::Check, "Enable Reveal Inactive Selectors Button", kPanel},
    {F::GeoMappingButton, K::Check, "Enable Launch Geo Mapping Button", kPanel},
    {F::SelectorRelocationButton, K::Check, "Enable Selector Relocation Button", kPanel},
    {F::AutoPageSwitch, K::Check, "Automatic Page Switch On Call Notification", kPanel},
    {F::PlaySelectorActivation, K::Check, "Play Selector Activation Messages", kPanel},
    {F::PlayConnectionSounds, K::Check, "Play Connection Sounds", kPanel},
    {F::PlayBatteryStatus, K::Check, "Play Battery Status Messages", kPanel},
    {F::RtspMethod, K::Combo, "RTSP Streaming Method", kVideo},
    {F::RtspHttpPort, K::Number, "IP Port for RTSP and RTP over HTTP", kVideo},
    {F::RtspUri, K::Text, "RTSP URI", kVideo},
    {F::InboundActivation, K::Combo, "Inbound Session Activation", kSip},
    {F::InboundDeactivation, K::Combo, "Inbound Session Deactivation", kSip},
    {F::OutboundActivation, K::Combo, "Outbound Session Activation", kSip},
    {F::OutboundDeactivation, K::Combo, "Outbound Session Deactivation", kSip},
    {F::AutomaticDialSequence, K::Text, "Automatic Dial Sequence", kSip},
    {F::UserNamePrefix, K::Text, "Internal SIP Client User Name Prefix", kSip},
    {F::SendSdpWithInvite, K::Check, "Send SDP With Invite Request", kSip},
    {F::UseSdpForRtpDestination, K::Check, "Use SDP for RTP Destination", kSip},
    {F::RtpVoiceActivity, K::Check, "Use RTP Packets for Voice Activity Detection", kSip},
    {F::G722Timestamp16kHz, K::Check, "Use 16 KHz for G.722 Timestamp", kSip},
    {F::SipVadTime, K::Number, "Voice Activity Detection Validation Time In Ms", kSip},
    {F::SipVadOffDelay, K::Number, "Voice Activity Detection Off Delay Time In Ms", kSip},
    {F::RingTone, K::Text, "Call Notification Ring Tone", kSip},
    {F::AutoAnswerMessage, K::Text, "Auto-Answer Notification Message", kSip},
    {F::AutoAnswerDelay, K::Number, "Auto-Answer DelayTime In Ms", kSip},
    {F::AutoAnswerAccessCode, K::Text, "Auto-Answer Access Code", kSip},
    {F::TalkActivationDigit, K::Text, "Digit to send on Talk Activation", kSip},
    {F::TalkDeactivationDigit, K::Text, "Digit to send on Talk Deactivation", kSip},
    {F::RegistrationExpiry, K::Number, "SIP Registration Expiration Time In Seconds", kSip},
    {F::SessionExpiry, K::Number, "SIP Session Expiration Time In Seconds", kSip},
    {F::RtpTimeout, K::Number, "RTP Timeout In Seconds", kSip},
    {F::KeepAliveMethod, K::Combo, "RTP Keep Alive Method", kSip},
    {F::KeepAliveType, K::Number, "Type", kSip},
    {F::TargetUserName, K::Text, "SIP Target User Name", kSip},
    {F::TargetPrimaryHost, K::Text, "SIP Target Primary Host Name", kSip},
    {F::TargetSecondaryHost, K::Text, "SIP Target Secondary Host Name", kSip},
    {F::ProxyAddress, K::Address, "SIP Target Proxy Server IP Address (optional)", kSip},
    {F::StunAddress, K::Address, "STUN Server or Proxy IP Address", kSip},
    {F::GeoMappingDisable, K::Check, "Geo Mapping Disable", kAll},
    {F::GeoLatitude, K::Coordinate, "Geo Mapping Latitude (Fixed Position)", kAll},
    {F::GeoLongitude, K::Coordinate, "Geo Mapping Longitude (Fixed Position)", kAll},
}};

constexpr bool fieldsInOrder() {
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        if (static_cast<std::size_t>(kFields[i].field) != i) {
            return false;
        }
    }
    return true;
}
static_assert(fieldsInOrder());

// A check box: one bit, or a whole byte holding 0 or 1.
struct CheckPlace {
    F field;
    std::size_t offset;
    int bit; // -1: the whole byte
};
constexpr CheckPlace kChecks[] = {
    {F::HideDisabledSelectors, 3, -1},
    {F::HideSelectorLegends, 4, -1},
    {F::VoiceActivityIndication, 2, O::kVoiceActivityIndicationBit},
    {F::SplitSelectorCenterZone, 6, O::kSplitSelectorCenterZoneBit},
    {F::AllowDisableLogin, 0, -1},
    {F::RestartInBackground, 12, O::kRestartInBackgroundBit},
    {F::OperateAsBeltpack, 12, O::kOperateAsBeltpackBit},
    {F::HeadsetOnly, 12, O::kHeadsetOnlyBit},
    {F::RingToneDisable, 2, O::kRingToneDisableBit},
    // Function buttons: bits 0..6 of the little-endian word at 14.
    {F::PartyLineButton, 14, O::kPartyLineButtonBit},
    {F::SelectorVolumeButtons, 14, O::kSelectorVolumeButtonsBit},
    {F::DialPadButton, 14, O::kDialPadButtonBit},
    {F::SelectorAssignmentButton, 14, O::kSelectorAssignmentButtonBit},
    {F::RevealInactiveButton, 14, O::kRevealInactiveButtonBit},
    {F::GeoMappingButton, 14, O::kGeoMappingButtonBit},
    {F::SelectorRelocationButton, 14, O::kSelectorRelocationButtonBit},
    {F::AutoPageSwitch, 2, O::kAutoPageSwitchBit},
    {F::PlaySelectorActivation, 7, O::kPlaySelectorActivationBit},
    {F::PlayConnectionSounds, 7, O::kPlayConnectionSoundsBit},
    {F::PlayBatteryStatus, 7, O::kPlayBatteryStatusBit},
    {F::SendSdpWithInvite, 10, O::kSendSdpWithInviteBit},
    {F::UseSdpForRtpDestination, 10, O::kUseSdpForRtpDestinationBit},
    {F::RtpVoiceActivity, 10, O::kRtpVoiceActivityBit},
    {F::G722Timestamp16kHz, 10, O::kG722Timestamp16kHzBit},
    {F::GeoMappingDisable, 200, O::kGeoMappingDisableBit},
};

constexpr std::string_view kRtspMethods[] = {"RTSP with RTP over RTSP", "RTSP with RTP over UDP",
                                             "RTSP and RTP over HTTP"};
constexpr std::string_view kInboundActivations[] = {"Disabled", "On Call Received (Auto-Answer)",
                                                    "On Talk Selector Activation"};
constexpr std::string_view kInboundDeactivations[] = {"Disabled", "On Forced Disconnect",
                                                      "On Talk Selector Deactivation"};
constexpr std::string_view kOutboundActivations[] = {"Disabled", "On Registration",
                                                     "On Talk Selector Activation"};
constexpr std::string_view kOutboundDeactivations[] = {"Disabled", "On Forced Disconnect Request",
                                                       "On Talk Selector Deactivation"};
constexpr std::string_view kKeepAliveMethods[] = {"None", "Unknown RTP Payload Type"};

const CheckPlace* checkPlace(F f) {
    for (const CheckPlace& c : kChecks) {
        if (c.field == f) {
            return &c;
        }
    }
    return nullptr;
}

bool readCheck(const O& r, const CheckPlace& c) {
    const std::uint8_t byte = r.bytes[c.offset];
    return c.bit < 0 ? byte != 0 : ((byte >> c.bit) & 1u) != 0;
}

void writeCheck(O& r, const CheckPlace& c, bool on) {
    std::uint8_t& byte = r.bytes[c.offset];
    if (c.bit < 0) {
        byte = on ? 1 : 0;
    } else {
        const auto mask = static_cast<std::uint8_t>(1u << c.bit);
        byte = static_cast<std::uint8_t>(on ? byte | mask : byte & ~mask);
    }
}

std::optional<rec::Scalar<std::uint16_t>> numberField(F f) {
    switch (f) {
    case F::VadTime:
        return O::kPanelVadTimeMs;
    case F::ConnectionTimeout:
        return O::kPanelConnectionTimeoutMs;
    case F::RtspHttpPort:
        return O::kVideoHttpPort;
    case F::SipVadTime:
        return O::kSipVadValidationTimeMs;
    case F::SipVadOffDelay:
        return O::kSipVadOffDelayMs;
    case F::AutoAnswerDelay:
        return O::kSipAutoAnswerDelayMs;
    case F::RegistrationExpiry:
        return O::kSipRegistrationExpirySeconds;
    case F::SessionExpiry:
        return O::kSipSessionExpirySeconds;
    case F::RtpTimeout:
        return O::kSipRtpTimeoutSeconds;
    default:
        return std::nullopt;
    }
}

std::optional<rec::AsciiText> asciiField(F f) {
    switch (f) {
    case F::RtspUri:
        return O::kVideoRtspUri;
    case F::AutomaticDialSequence:
        return O::kSipAutomaticDialSequence;
    case F::UserNamePrefix:
        return O::kSipUserNamePrefix;
    case F::AutoAnswerAccessCode:
        return O::kSipAutoAnswerAccessCode;
    case F::TalkActivationDigit:
        return O::kSipTalkActivationDigit;
    case F::TalkDeactivationDigit:
        return O::kSipTalkDeactivationDigit;
    case F::TargetUserName:
        return O::kSipTargetUserName;
    case F::TargetPrimaryHost:
        return O::kSipTargetPrimaryHost;
    case F::TargetSecondaryHost:
        return O::kSipTargetSecondaryHost;
    default:
        return std::nullopt;
    }
}

// One character, left as it was when the text is empty.
bool isSingleCharacter(F f) {
    return f == F::AutomaticDialSequence || f == F::TalkActivationDigit ||
           f == F::TalkDeactivationDigit;
}

int comboValue(const O& r, F f) {
    switch (f) {
    case F::RtspMethod:
        return r.get(O::kVideoRtspMethod);
    case F::InboundActivation:
        return activationNibble(r.get(O::kSipInboundCallHandling));
    case F::InboundDeactivation:
        return deactivationNibble(r.get(O::kSipInboundCallHandling));
    case F::OutboundActivation:
        return activationNibble(r.get(O::kSipOutboundCallHandling));
    case F::OutboundDeactivation:
        return deactivationNibble(r.get(O::kSipOutboundCallHandling));
    case F::KeepAliveMethod:
        return r.get(O::kSipRtpKeepAliveMethod);
    default:
        return 0;
    }
}

void setComboValue(O& r, F f, int v) {
    const auto nibbles = [&](rec::Scalar<std::uint8_t> field, bool low) {
        const std::uint8_t old = r.get(field);
        r.set(field, low ? callHandling(static_cast<std::uint8_t>(v), deactivationNibble(old))
                         : callHandling(activationNibble(old), static_cast<std::uint8_t>(v)));
    };
    switch (f) {
    case F::RtspMethod:
        r.set(O::kVideoRtspMethod, v);
        break;
    case F::InboundActivation:
        nibbles(O::kSipInboundCallHandling, true);
        break;
    case F::InboundDeactivation:
        nibbles(O::kSipInboundCallHandling, false);
        break;
    case F::OutboundActivation:
        nibbles(O::kSipOutboundCallHandling, true);
        break;
    case F::OutboundDeactivation:
        nibbles(O::kSipOutboundCallHandling, false);
        break;
    case F::KeepAliveMethod:
        r.set(O::kSipRtpKeepAliveMethod, v);
        break;
    default:
        break;
    }
}

struct AddressPlace {
    rec::Scalar<std::uint32_t> address;
    rec::Scalar<std::uint16_t> port;
    std::uint16_t portShownWithout;
};
AddressPlace addressPlace(F f) {
    return f == F::ProxyAddress
               ? AddressPlace{O::kSipProxyAddress, O::kSipProxyPort, O::kSipProxyPortShown}
               : AddressPlace{O::kSipStunAddress, O::kSipStunPort, O::kSipStunPortShown};
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

// Empty is 0; otherwise decimal digits only, up to `max`.
std::optional<int> parseNumber(std::string_view typed, int max) {
    const std::string text = trimmed(typed);
    if (text.empty()) {
        return 0;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < 0 || value > max) {
        return std::nullopt;
    }
    return value;
}

int numberMaximum(F f) {
    return f == F::KeepAliveType ? 255 : 65535;
}

std::optional<double> parseCoordinate(std::string_view typed, double limit) {
    const std::string text = trimmed(typed);
    if (text.empty()) {
        return 0.0;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value) || std::fabs(value) > limit) {
        return std::nullopt;
    }
    return value;
}

std::string coordinateText(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

struct ParsedAddress {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// "a.b.c.d" or "a.b.c.d:port"; empty is no address.
std::optional<ParsedAddress> parseAddressWithPort(std::string_view typed) {
    const std::string text = trimmed(typed);
    if (text.empty()) {
        return ParsedAddress{};
    }
    const auto colon = text.find(':');
    const auto address = parseIpv4(std::string_view(text).substr(0, colon));
    if (!address) {
        return std::nullopt;
    }
    ParsedAddress parsed{*address, 0};
    if (colon != std::string::npos) {
        const auto port = parseNumber(std::string_view(text).substr(colon + 1), 65535);
        if (!port || *port == 0 || trimmed(text.substr(colon + 1)).empty()) {
            return std::nullopt;
        }
        parsed.port = static_cast<std::uint16_t>(*port);
    }
    return parsed;
}

bool isSipTrunkField(F f) {
    return f == F::TargetUserName || f == F::TargetPrimaryHost || f == F::TargetSecondaryHost ||
           f == F::ProxyAddress || f == F::RegistrationExpiry || f == F::StunAddress;
}

bool isPanelOnlyField(F f) {
    return f == F::HideDisabledSelectors || f == F::HideSelectorLegends ||
           f == F::VoiceActivityIndication || f == F::AllowDisableLogin ||
           f == F::SplitSelectorCenterZone;
}

bool sameValue(F f, const std::string& a, const std::string& b) {
    if (optionsFieldInfo(f).kind == K::Number) {
        const auto x = parseNumber(a, numberMaximum(f));
        const auto y = parseNumber(b, numberMaximum(f));
        if (x && y) {
            return *x == *y;
        }
    }
    return a == b;
}

// What the view's values are compared with for marks and differences.
OptionsForm defaultsForm(const ClientOptions& defaults, const ClientOptions& sipDefaults,
                         const OptionsEditTarget& target) {
    switch (target.view()) {
    case OptionsView::Sip:
        return showOptions(sipDefaults, target);
    case OptionsView::Video:
        return showOptions(defaults, target);
    case OptionsView::Panel:
        break;
    }
    return showOptions(defaults, OptionsEditTarget{true, 0});
}

std::string displayText(F f, const std::string& text) {
    switch (optionsFieldInfo(f).kind) {
    case K::Check:
        return text.empty() ? "off" : "on";
    case K::Combo: {
        int value = 0;
        std::from_chars(text.data(), text.data() + text.size(), value);
        return comboEntryText(f, value);
    }
    default:
        return "\"" + text + "\"";
    }
}

} // namespace

const OptionsFieldInfo& optionsFieldInfo(OptionsField field) {
    return kFields[static_cast<std::size_t>(field)];
}

bool inView(OptionsField field, OptionsView view) {
    return (optionsFieldInfo(field).views & bitOf(view)) != 0;
}

std::vector<OptionsField> optionsFields(OptionsView view) {
    std::vector<OptionsField> fields;
    for (const OptionsFieldInfo& info : kFields) {
        if ((info.views & bitOf(view)) != 0) {
            fields.push_back(info.field);
        }
    }
    return fields;
}

int optionsFieldMaxLength(OptionsField f) {
    if (const auto ascii = asciiField(f)) {
        return isSingleCharacter(f) ? 1 : static_cast<int>(ascii->limit());
    }
    switch (f) {
    case F::RingTone:
    case F::AutoAnswerMessage:
        return static_cast<int>(kServerFileNameMaxChars);
    case F::VadTime:
    case F::ConnectionTimeout:
        return 49;
    case F::RtspHttpPort:
        return 9;
    case F::ProxyAddress:
    case F::StunAddress:
        return 50;
    default:
        break;
    }
    // The SIP times, the auto-answer delay, the keep-alive type; coordinates
    // have room for every digit a double shows.
    return optionsFieldInfo(f).kind == K::Number ? 10 : 49;
}

std::span<const std::string_view> comboEntries(OptionsField field) {
    switch (field) {
    case F::RtspMethod:
        return kRtspMethods;
    case F::InboundActivation:
        return kInboundActivations;
    case F::InboundDeactivation:
        return kInboundDeactivations;
    case F::OutboundActivation:
        return kOutboundActivations;
    case F::OutboundDeactivation:
        return kOutboundDeactivations;
    case F::KeepAliveMethod:
        return kKeepAliveMethods;
    default:
        return {};
    }
}

std::string comboEntryText(OptionsField field, int value) {
    const auto entries = comboEntries(field);
    if (value >= 0 && static_cast<std::size_t>(value) < entries.size()) {
        return std::string(entries[static_cast<std::size_t>(value)]);
    }
    return "unknown (" + std::to_string(value) + ")";
}

OptionsView OptionsEditTarget::view() const {
    return defaults ? OptionsView::Panel : optionsView(clientType);
}

std::string optionsAddressText(std::uint32_t address, std::uint16_t port,
                               std::uint16_t portShownWithout) {
    if (address == 0) {
        return {};
    }
    std::string text = formatIpv4(address);
    if (port != 0 && port != portShownWithout) {
        text += ":" + std::to_string(port);
    }
    return text;
}

OptionsForm showOptions(const ClientOptions& r, const OptionsEditTarget& target) {
    OptionsForm form;
    for (const F f : optionsFields(target.view())) {
        std::string& text = form[f];
        if (const CheckPlace* c = checkPlace(f)) {
            text = readCheck(r, *c) ? "1" : "";
        } else if (f == F::VadTime && target.defaults) {
            text = std::to_string(r.get(O::kPanelVadTimeByte));
        } else if (f == F::RtspHttpPort) {
            const std::uint16_t port = r.get(O::kVideoHttpPort);
            text = std::to_string(port == 0 ? O::kVideoHttpPortShown : port);
        } else if (f == F::KeepAliveType) {
            text = std::to_string(r.get(O::kSipKeepAlivePayloadType));
        } else if (const auto number = numberField(f)) {
            text = std::to_string(r.get(*number));
        } else if (const auto ascii = asciiField(f)) {
            text = r.get(*ascii);
        } else if (f == F::RingTone) {
            text = r.get(O::kSipRingTone);
        } else if (f == F::AutoAnswerMessage) {
            text = r.get(O::kSipAutoAnswerMessage);
        } else if (optionsFieldInfo(f).kind == K::Combo) {
            text = std::to_string(comboValue(r, f));
        } else if (optionsFieldInfo(f).kind == K::Address) {
            const AddressPlace p = addressPlace(f);
            text = optionsAddressText(r.get(p.address), r.get(p.port), p.portShownWithout);
        } else if (f == F::GeoLatitude) {
            text = coordinateText(r.get(O::kGeoLatitude));
        } else if (f == F::GeoLongitude) {
            text = coordinateText(r.get(O::kGeoLongitude));
        }
    }
    return form;
}

bool optionsFieldEnabled(OptionsField f, const OptionsEditTarget& target, const OptionsForm& form,
                         bool geoMappingServer) {
    const int type = target.clientType;
    if (f == F::GeoMappingDisable) {
        return geoMappingServer;
    }
    if (f == F::GeoLatitude || f == F::GeoLongitude) {
        return geoMappingServer && !form.checked(F::GeoMappingDisable);
    }
    if (f == F::KeepAliveType) {
        return form[F::KeepAliveMethod] == std::to_string(O::kKeepAliveUnknownPayloadType);
    }
    if (target.defaults) {
        return true;
    }
    if (f == F::RestartInBackground) {
        return type == 16;
    }
    if (isPanelOnlyField(f)) {
        return isControlPanel(type);
    }
    if (isSipTrunkField(f)) {
        return type == 105 || (type == 104 && f != F::ProxyAddress);
    }
    return true;
}

OptionsInput writeOptions(const OptionsForm& form, const ClientOptions& edited,
                          const ClientOptions& sipDefaults, const OptionsEditTarget& target) {
    OptionsInput out{std::nullopt, edited, sipDefaults};
    const OptionsForm shown = showOptions(edited, target);
    O& r = out.record;
    const auto fail = [&](F f) {
        out.error = OptionsInputError{f, std::string(optionsFieldInfo(f).caption) + ": \"" +
                                             form[f] + "\" is not valid."};
    };
    for (const F f : optionsFields(target.view())) {
        if (form[f] == shown[f]) {
            continue;
        }
        const K kind = optionsFieldInfo(f).kind;
        if (const CheckPlace* c = checkPlace(f)) {
            const bool on = form.checked(f);
            writeCheck(r, *c, on);
            if (f == F::PartyLineButton) {
                r.setBit(O::kPanelFlags, O::kPartyLineButtonCopyBit, on);
            }
            if (f == F::GeoMappingDisable &&
                (target.defaults || isControlPanel(target.clientType))) {
                r.setBit(O::kPanelFlags, O::kGeoMappingDisableCopyBit, on);
            }
        } else if (kind == K::Number) {
            const auto value = parseNumber(form[f], numberMaximum(f));
            if (!value) {
                fail(f);
                return out;
            }
            if (f == F::VadTime) {
                r.set(O::kPanelVadTimeMs, *value);
                r.set(O::kPanelVadTimeByte, vadTimeByteCopy(static_cast<std::uint16_t>(*value)));
                if (target.defaults) {
                    out.sipDefaults.set(O::kSipVadValidationTimeMs, *value);
                }
            } else if (f == F::RtspHttpPort) {
                if (form[F::RtspMethod] == std::to_string(O::kRtspAndRtpOverHttp)) {
                    r.set(O::kVideoHttpPort, *value);
                }
            } else if (f == F::KeepAliveType) {
                r.set(O::kSipKeepAlivePayloadType, *value);
            } else if (const auto number = numberField(f)) {
                r.set(*number, *value);
            }
        } else if (const auto ascii = asciiField(f)) {
            if (!(isSingleCharacter(f) && form[f].empty())) {
                r.set(*ascii, form[f]);
            }
        } else if (f == F::RingTone) {
            r.set(O::kSipRingTone, form[f]);
        } else if (f == F::AutoAnswerMessage) {
            r.set(O::kSipAutoAnswerMessage, form[f]);
        } else if (kind == K::Combo) {
            const auto value = parseNumber(form[f], 255);
            if (!value) {
                fail(f);
                return out;
            }
            setComboValue(r, f, *value);
        } else if (kind == K::Address) {
            const auto parsed = parseAddressWithPort(form[f]);
            if (!parsed) {
                fail(f);
                return out;
            }
            const AddressPlace p = addressPlace(f);
            r.set(p.address, parsed->address);
            r.set(p.port, parsed->port);
        } else if (kind == K::Coordinate) {
            const bool latitude = f == F::GeoLatitude;
            const auto value = parseCoordinate(form[f], latitude ? 90.0 : 180.0);
            if (!value) {
                fail(f);
                return out;
            }
            r.set(latitude ? O::kGeoLatitude : O::kGeoLongitude, *value);
        }
    }
    return out;
}

SoundFileUpload soundFileUpload(const std::filesystem::path& path) {
    SoundFileUpload out;
    const std::string name = path.filename().string();
    if (text::utf16Length(name) > kServerFileNameMaxChars) {
        out.error = kSoundFileNameTooLong;
        return out;
    }
    std::ifstream file(path, std::ios::binary);
    std::error_code error;
    if (!file || std::filesystem::is_directory(path, error)) {
        out.error = kUnableToOpenSoundFile;
        return out;
    }
    // One byte past the limit tells an oversized file without reading it all.
    std::vector<std::uint8_t> data(kMaxSoundFileBytes + 1);
    file.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (file.bad()) {
        out.error = kUnableToOpenSoundFile;
        return out;
    }
    data.resize(static_cast<std::size_t>(file.gcount()));
    if (data.size() > kMaxSoundFileBytes) {
        out.error = "Sound file " + name + " is larger than " + std::to_string(kMaxSoundFileBytes) +
                    " bytes.";
        return out;
    }
    out.post = {msg::ADMIN_CLIENT_OPTIONS_FILE_UPLOAD, 0, encodeSoundFileUpload(name, data)};
    return out;
}

std::optional<OutgoingRecord> saveOptions(ClientStore& store, int clientIndex,
                                          const OptionsEditTarget& target,
                                          const OptionsInput& input, bool applyToPrior) {
    if (target.defaults) {
        store.setOptions(kDefaultOptionsIndex, input.record);
        store.setOptions(kSipDefaultOptionsIndex, input.sipDefaults);
        return store.DefaultOptionsUpdate(applyToPrior);
    }
    if (!store.setOptions(clientIndex, input.record)) {
        return std::nullopt;
    }
    return store.OptionsUpdate(clientIndex, target.clientType);
}

std::vector<OptionsField> markedFields(OptionsView view) {
    switch (view) {
    case OptionsView::Panel:
        return {F::HideDisabledSelectors,   F::HideSelectorLegends, F::VoiceActivityIndication,
                F::SplitSelectorCenterZone, F::RingToneDisable,     F::VadTime,
                F::ConnectionTimeout,       F::AllowDisableLogin,   F::RestartInBackground};
    case OptionsView::Sip:
        return {F::InboundActivation,    F::InboundDeactivation, F::OutboundActivation,
                F::OutboundDeactivation, F::SendSdpWithInvite,   F::UseSdpForRtpDestination,
                F::RtpVoiceActivity,     F::AutoAnswerDelay,     F::SipVadTime};
    case OptionsView::Video:
        break;
    }
    return {};
}

std::vector<OptionsField> optionsDefaultMarks(const OptionsForm& form,
                                              const ClientOptions& defaults,
                                              const ClientOptions& sipDefaults,
                                              const OptionsEditTarget& target) {
    std::vector<OptionsField> marks;
    if (target.defaults) {
        return marks;
    }
    const OptionsForm base = defaultsForm(defaults, sipDefaults, target);
    for (const F f : markedFields(target.view())) {
        if (sameValue(f, form[f], base[f])) {
            marks.push_back(f);
        }
    }
    return marks;
}

std::vector<OptionsDifference> optionsDifferences(const ClientOptions& record,
                                                  const ClientOptions& defaults,
                                                  const ClientOptions& sipDefaults,
                                                  const OptionsEditTarget& target) {
    std::vector<OptionsDifference> out;
    const OptionsForm form = showOptions(record, target);
    const OptionsForm base = defaultsForm(defaults, sipDefaults, target);
    for (const F f : optionsFields(target.view())) {
        if (!sameValue(f, form[f], base[f])) {
            out.push_back({f, displayText(f, form[f]), displayText(f, base[f])});
        }
    }
    return out;
}

std::string optionsDifferencesText(std::span<const OptionsDifference> differences) {
    std::string text;
    for (const OptionsDifference& d : differences) {
        text += std::string(optionsFieldInfo(d.field).caption) + ": " + d.value +
                " (default: " + d.defaultValue + ")\n";
    }
    return text;
}

} // namespace mirx::model
