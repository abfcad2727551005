#pragma once

#include "model/record.h"

#include <cstddef>
#include <cstdint>

// The per-client records besides the label: credentials, options and audio
// settings. They travel exactly as held in memory; bytes no field names are
// carried unchanged.

namespace mirx::model {

// Indexes of the records that stand beside the per-client ones.
inline constexpr int kMasterAdministratorIndex = -1;
inline constexpr int kDefaultOptionsIndex = -1;
inline constexpr int kSipDefaultOptionsIndex = -2;
inline constexpr int kDefaultAudioSettingsIndex = -1;
inline constexpr int kDefaultSelectorAssignmentsIndex = -1;

// Second values that name those records on the wire.
inline constexpr std::uint16_t kDefaultRecordSecondValue = 0xFFFF;
inline constexpr std::uint16_t kSipDefaultOptionsSecondValue = 0xFFFE;

// --- Credentials ---

struct ClientCredentials : rec::Record<146> {
    // 0..999; -1 in the master administrator record.
    static constexpr rec::Scalar<std::int16_t> kClientIndex{0};
    static constexpr rec::Utf16Text kLoginName{2, 51};
    static constexpr rec::Utf16Text kPassword{104, 21};

    // The add/edit view lets the user type no more than this.
    static constexpr std::size_t kLoginNameEntryLimit = 20;
};

static_assert(rec::fits(ClientCredentials::kClientIndex, ClientCredentials::kSize));
static_assert(rec::fits(ClientCredentials::kLoginName, ClientCredentials::kSize));
static_assert(rec::endOf(ClientCredentials::kPassword) == ClientCredentials::kSize);

inline constexpr std::size_t kCredentialsListRecords = 1000;
inline constexpr std::size_t kCredentialsListBytes =
    kCredentialsListRecords * ClientCredentials::kSize;

// Index -1, login name "admin", no password.
ClientCredentials masterAdministratorCredentials();
// What the list holds for client `index` before the server's list arrives.
ClientCredentials initialCredentials(int index);

// --- Options ---

// The options bytes are read in one of three views, chosen by the client type.
enum class OptionsView {
    Panel, // control panels and device interfaces
    Video, // the RTSP video source
    Sip,   // SIP devices
};

struct ClientOptions : rec::Record<550> {
    // Common to every view.
    static constexpr rec::Scalar<std::uint8_t> kGeoFlags{200};
    static constexpr rec::Scalar<double> kGeoLatitude{201};
    static constexpr rec::Scalar<double> kGeoLongitude{209};
    static constexpr unsigned kGeoMappingDisableBit = 0;

    // --- Panel view: control panels and device interfaces ---
    static constexpr rec::Scalar<std::uint8_t> kPanelAllowDisableLogin{0};
    // 8-bit copy of kPanelVadTimeMs, see vadTimeByteCopy().
    static constexpr rec::Scalar<std::uint8_t> kPanelVadTimeByte{1};
    static constexpr rec::Scalar<std::uint8_t> kPanelFlags{2};
    static constexpr rec::Scalar<std::uint8_t> kPanelHideDisabledSelectors{3};
    static constexpr rec::Scalar<std::uint8_t> kPanelHideSelectorLegends{4};
    static constexpr rec::Scalar<std::uint8_t> kPanelLayoutFlags{6};
    static constexpr rec::Scalar<std::uint8_t> kPanelSoundFlags{7};
    // Not interpreted; the initial defaults set them.
    static constexpr rec::Scalar<std::uint16_t> kPanelValue8{8};
    static constexpr rec::Scalar<std::uint16_t> kPanelValue10{10};
    static constexpr rec::Scalar<std::uint8_t> kPanelOperationFlags{12};
    static constexpr rec::Scalar<std::uint16_t> kPanelFunctionButtons{14};
    static constexpr rec::Scalar<std::uint16_t> kPanelVadTimeMs{22};
    // Not shown in the panel view.
    static constexpr rec::Scalar<std::uint16_t> kPanelVadOffDelayMs{24};
    static constexpr rec::Scalar<std::uint16_t> kPanelConnectionTimeoutMs{26};

    // Bits of kPanelFlags.
    static constexpr unsigned kVoiceActivityIndicationBit = 0;
    static constexpr unsigned kRingToneDisableBit = 2;
    // Copies of the party line button and of kGeoMappingDisableBit (the latter
    // for control panels only).
    static constexpr unsigned kPartyLineButtonCopyBit = 3;
    static constexpr unsigned kAutoPageSwitchBit = 4;
    static constexpr unsigned kGeoMappingDisableCopyBit = 6;

    // Bit of kPanelLayoutFlags.
    static constexpr unsigned kSplitSelectorCenterZoneBit = 0;

    // Bits of kPanelSoundFlags.
    static constexpr unsigned kPlayConnectionSoundsBit = 0;
    static constexpr unsigned kPlayBatteryStatusBit = 1;
    static constexpr unsigned kPlaySelectorActivationBit = 2;

    // Bits of kPanelOperationFlags.
    static constexpr unsigned kRestartInBackgroundBit = 0;
    static constexpr unsigned kOperateAsBeltpackBit = 1;
    static constexpr unsigned kHeadsetOnlyBit = 2;

    // Bits of kPanelFunctionButtons.
    static constexpr unsigned kPartyLineButtonBit = 0;
    static constexpr unsigned kSelectorVolumeButtonsBit = 1;
    static constexpr unsigned kDialPadButtonBit = 2;
    static constexpr unsigned kSelectorAssignmentButtonBit = 3;
    static constexpr unsigned kRevealInactiveButtonBit = 4;
    static constexpr unsigned kGeoMappingButtonBit = 5;
    static constexpr unsigned kSelectorRelocationButtonBit = 6;

    // --- Video view: the RTSP video source ---
    static constexpr rec::Scalar<std::uint8_t> kVideoRtspMethod{0};
    // Written only with kRtspAndRtpOverHttp; 0 is shown as kVideoHttpPortShown.
    static constexpr rec::Scalar<std::uint16_t> kVideoHttpPort{1};
    // Without the "rtsp://" prefix.
    static constexpr rec::AsciiText kVideoRtspUri{3, 181};

    // Values of kVideoRtspMethod.
    static constexpr std::uint8_t kRtspWithRtpOverRtsp = 0;
    static constexpr std::uint8_t kRtspWithRtpOverUdp = 1;
    static constexpr std::uint8_t kRtspAndRtpOverHttp = 2;
    static constexpr std::uint16_t kVideoHttpPortShown = 8080;

    // --- SIP view: SIP devices ---
    // Ports: 0 = not given. Addresses: IPv4 with the first octet at the lowest
    // offset (network order), so the little-endian value reads it backwards;
    // 0 = none.
    static constexpr rec::Scalar<std::uint16_t> kSipProxyPort{1};
    static constexpr rec::Scalar<std::uint32_t> kSipProxyAddress{3};
    static constexpr rec::AsciiText kSipAutomaticDialSequence{7, 1, 1};
    // Low nibble activation, high nibble deactivation; see the constants below.
    static constexpr rec::Scalar<std::uint8_t> kSipInboundCallHandling{8};
    static constexpr rec::Scalar<std::uint8_t> kSipOutboundCallHandling{9};
    static constexpr rec::Scalar<std::uint8_t> kSipFlags{10};
    static constexpr rec::AsciiText kSipUserNamePrefix{11, 26};
    static constexpr rec::Scalar<std::uint16_t> kSipStunPort{37};
    static constexpr rec::Scalar<std::uint32_t> kSipStunAddress{39};
    static constexpr rec::Scalar<std::uint16_t> kSipVadValidationTimeMs{43};
    static constexpr rec::Scalar<std::uint16_t> kSipVadOffDelayMs{45};
    // Sound file names.
    static constexpr rec::Utf16Text kSipRingTone{47, 21};
    static constexpr rec::Utf16Text kSipAutoAnswerMessage{89, 21};
    static constexpr rec::Scalar<std::uint16_t> kSipAutoAnswerDelayMs{131};
    static constexpr rec::Scalar<std::uint16_t> kSipRegistrationExpirySeconds{133};
    static constexpr rec::Scalar<std::uint16_t> kSipSessionExpirySeconds{135};
    static constexpr rec::Scalar<std::uint16_t> kSipRtpTimeoutSeconds{137};
    static constexpr rec::Scalar<std::uint8_t> kSipRtpKeepAliveMethod{139};
    static constexpr rec::Scalar<std::uint8_t> kSipKeepAlivePayloadType{140};
    static constexpr rec::AsciiText kSipTargetUserName{250, 61};
    static constexpr rec::AsciiText kSipTargetPrimaryHost{311, 61};
    static constexpr rec::AsciiText kSipTargetSecondaryHost{372, 61};
    static constexpr rec::AsciiText kSipAutoAnswerAccessCode{433, 11};
    // One digit each; empty (0) = none.
    static constexpr rec::AsciiText kSipTalkActivationDigit{444, 1, 1};
    static constexpr rec::AsciiText kSipTalkDeactivationDigit{445, 1, 1};

    // Shown without a port when the port field is 0.
    static constexpr std::uint16_t kSipProxyPortShown = 5060;
    static constexpr std::uint16_t kSipStunPortShown = 3478;

    // Nibbles of the call handling bytes.
    static constexpr std::uint8_t kSessionDisabled = 0;
    static constexpr std::uint8_t kInboundActivateOnCallReceived = 1;
    static constexpr std::uint8_t kInboundActivateOnTalk = 2;
    static constexpr std::uint8_t kInboundDeactivateOnForcedDisconnect = 1;
    static constexpr std::uint8_t kInboundDeactivateOnTalkOff = 2;
    static constexpr std::uint8_t kOutboundActivateOnRegistration = 1;
    static constexpr std::uint8_t kOutboundActivateOnTalk = 2;
    static constexpr std::uint8_t kOutboundDeactivateOnForcedDisconnect = 1;
    static constexpr std::uint8_t kOutboundDeactivateOnTalkOff = 2;

    // Bits of kSipFlags.
    static constexpr unsigned kSendSdpWithInviteBit = 0;
    static constexpr unsigned kUseSdpForRtpDestinationBit = 1;
    static constexpr unsigned kRtpVoiceActivityBit = 3;
    static constexpr unsigned kG722Timestamp16kHzBit = 4;

    // Values of kSipRtpKeepAliveMethod.
    static constexpr std::uint8_t kKeepAliveNone = 0;
    static constexpr std::uint8_t kKeepAliveUnknownPayloadType = 1;
};

static_assert(rec::fits(ClientOptions::kGeoFlags, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kGeoLatitude, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kGeoLongitude, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelAllowDisableLogin, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelVadTimeByte, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelFlags, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelHideDisabledSelectors, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelHideSelectorLegends, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelLayoutFlags, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelSoundFlags, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelValue8, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelValue10, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelOperationFlags, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelFunctionButtons, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelVadTimeMs, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelVadOffDelayMs, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kPanelConnectionTimeoutMs, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kVideoRtspMethod, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kVideoHttpPort, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kVideoRtspUri, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipProxyPort, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipProxyAddress, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipAutomaticDialSequence, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipInboundCallHandling, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipOutboundCallHandling, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipFlags, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipUserNamePrefix, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipStunPort, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipStunAddress, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipVadValidationTimeMs, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipVadOffDelayMs, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipRingTone, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipAutoAnswerMessage, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipAutoAnswerDelayMs, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipRegistrationExpirySeconds, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipSessionExpirySeconds, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipRtpTimeoutSeconds, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipRtpKeepAliveMethod, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipKeepAlivePayloadType, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipTargetUserName, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipTargetPrimaryHost, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipTargetSecondaryHost, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipAutoAnswerAccessCode, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipTalkActivationDigit, ClientOptions::kSize));
static_assert(rec::fits(ClientOptions::kSipTalkDeactivationDigit, ClientOptions::kSize));

// Bytes sent of an options record: the panel and video views fit in the short
// form, SIP devices send the whole record.
inline constexpr std::size_t kOptionsShortWireLength = 250;
inline constexpr std::size_t kOptionsSipWireLength = ClientOptions::kSize;

// Every panel and video field lies within the short form.
static_assert(rec::endOf(ClientOptions::kGeoLongitude) <= kOptionsShortWireLength);
static_assert(rec::endOf(ClientOptions::kPanelConnectionTimeoutMs) <= kOptionsShortWireLength);
static_assert(rec::endOf(ClientOptions::kVideoRtspUri) <= kOptionsShortWireLength);

std::size_t optionsWireLength(int clientType);
// Types outside the SIP range and other than the RTSP video source read the
// panel view.
OptionsView optionsView(int clientType);

// The 8-bit copy of a voice activity detection time.
constexpr std::uint8_t vadTimeByteCopy(std::uint16_t ms) {
    return ms >= 256 ? std::uint8_t{255} : static_cast<std::uint8_t>(ms);
}

// Nibbles of a call handling byte.
constexpr std::uint8_t activationNibble(std::uint8_t handling) {
    return handling & 0x0F;
}
constexpr std::uint8_t deactivationNibble(std::uint8_t handling) {
    return static_cast<std::uint8_t>(handling >> 4);
}
constexpr std::uint8_t callHandling(std::uint8_t activation, std::uint8_t deactivation) {
    return static_cast<std::uint8_t>((activation & 0x0F) | ((deactivation & 0x0F) << 4));
}

// The options that stand for every control panel and device interface, as
// the console holds them until the server's defaults arrive.
ClientOptions defaultClientOptions();
// The same for SIP devices.
ClientOptions sipDefaultClientOptions();

// --- Audio settings ---

struct AudioSettings : rec::Record<50> {
    static constexpr rec::Scalar<std::uint8_t> kCodec{0};
    static constexpr rec::Scalar<std::uint8_t> kSpeakerDimReduction{1};
    static constexpr rec::Scalar<std::uint16_t> kSampleRate{2};
    static constexpr rec::Scalar<std::int8_t> kInputGain{4};
    static constexpr rec::Scalar<std::int8_t> kOutputGain{5};
    static constexpr rec::Scalar<std::uint16_t> kSilenceSuppressionTime{6};
    static constexpr rec::Scalar<std::uint8_t> kResequencerDepth{8};
    // Not edited by the console.
    static constexpr rec::Scalar<std::uint16_t> kValue10{10};
    static constexpr rec::Scalar<std::uint8_t> kTimeSlicePerPacket{13};
    static constexpr rec::Scalar<std::uint8_t> kAutomaticGainControl{14};
    static constexpr rec::Scalar<std::int16_t> kAgcLevel{16};
    // Complexity and variable bit rate apply to codecs 1, 10 and 11 only;
    // quality to codec 1 only.
    static constexpr rec::Scalar<std::uint8_t> kEncodeComplexity{18};
    static constexpr rec::Scalar<std::uint8_t> kVariableBitRate{19};
    static constexpr rec::Scalar<std::uint16_t> kJitterBufferSize{20};
    // Not edited by the console.
    static constexpr rec::Scalar<std::uint16_t> kValue22{22};
    static constexpr rec::Scalar<std::uint8_t> kEchoCancellation{24};
    static constexpr rec::Scalar<std::uint16_t> kEchoTailLength{26};
    static constexpr rec::Scalar<std::int8_t> kEncodeQuality{28};
    static constexpr rec::Scalar<std::uint16_t> kCaptureBufferSize{30};
    static constexpr rec::Scalar<std::uint8_t> kAudioFlags{34};
    static constexpr rec::Scalar<std::uint8_t> kEncryption{35};

    // Bit of kAudioFlags: the jitter buffer sizes itself.
    static constexpr unsigned kAutomaticJitterBufferBit = 1;
};

static_assert(rec::fits(AudioSettings::kCodec, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kSpeakerDimReduction, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kSampleRate, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kInputGain, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kOutputGain, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kSilenceSuppressionTime, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kResequencerDepth, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kValue10, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kTimeSlicePerPacket, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kAutomaticGainControl, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kAgcLevel, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kEncodeComplexity, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kVariableBitRate, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kJitterBufferSize, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kValue22, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kEchoCancellation, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kEchoTailLength, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kEncodeQuality, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kCaptureBufferSize, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kAudioFlags, AudioSettings::kSize));
static_assert(rec::fits(AudioSettings::kEncryption, AudioSettings::kSize));

// The audio settings that stand for every client until the server's arrive.
AudioSettings defaultAudioSettings();

} // namespace mirx::model
