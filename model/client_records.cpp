#include "model/client_records.h"

#include "model/client_types.h"

namespace mirx::model {

ClientCredentials masterAdministratorCredentials() {
    ClientCredentials credentials = initialCredentials(kMasterAdministratorIndex);
    credentials.set(ClientCredentials::kLoginName, "admin");
    return credentials;
}

ClientCredentials initialCredentials(int index) {
    ClientCredentials credentials;
    credentials.set(ClientCredentials::kClientIndex, index);
    return credentials;
}

std::size_t optionsWireLength(int clientType) {
    return isSipDevice(clientType) ? kOptionsSipWireLength : kOptionsShortWireLength;
}

OptionsView optionsView(int clientType) {
    if (isSipDevice(clientType)) {
        return OptionsView::Sip;
    }
    if (isVideoSource(clientType)) {
        return OptionsView::Video;
    }
    return OptionsView::Panel;
}

ClientOptions defaultClientOptions() {
    using O = ClientOptions;
    O options;
    options.set(O::kPanelVadTimeByte, 100);
    options.set(O::kPanelFlags,
                (1u << O::kVoiceActivityIndicationBit) | (1u << O::kAutoPageSwitchBit));
    options.set(O::kPanelLayoutFlags, 0x24);
    options.set(O::kPanelValue8, 120);
    options.set(O::kPanelValue10, 600);
    options.set(O::kPanelVadTimeMs, 100);
    options.set(O::kPanelConnectionTimeoutMs, 3500);
    return options;
}

ClientOptions sipDefaultClientOptions() {
    using O = ClientOptions;
    O options;
    options.set(O::kSipAutomaticDialSequence, "*");
    options.set(O::kSipInboundCallHandling, callHandling(O::kInboundActivateOnCallReceived,
                                                         O::kInboundDeactivateOnForcedDisconnect));
    options.set(O::kSipOutboundCallHandling,
                callHandling(O::kOutboundActivateOnTalk, O::kOutboundDeactivateOnTalkOff));
    options.set(O::kSipFlags,
                (1u << O::kSendSdpWithInviteBit) | (1u << O::kUseSdpForRtpDestinationBit));
    options.set(O::kSipVadValidationTimeMs, 100);
    options.set(O::kSipRegistrationExpirySeconds, 300);
    options.set(O::kSipRtpKeepAliveMethod, O::kKeepAliveUnknownPayloadType);
    options.set(O::kSipKeepAlivePayloadType, 121);
    return options;
}

AudioSettings defaultAudioSettings() {
    using A = AudioSettings;
    A audio;
    audio.set(A::kCodec, 1);
    audio.set(A::kSampleRate, 32000);
    audio.set(A::kSilenceSuppressionTime, 1000);
    audio.set(A::kResequencerDepth, 2);
    audio.set(A::kValue10, 360);
    audio.set(A::kTimeSlicePerPacket, 1);
    audio.set(A::kAutomaticGainControl, 1);
    audio.set(A::kVariableBitRate, 1);
    audio.set(A::kJitterBufferSize, 20);
    audio.set(A::kValue22, 200);
    audio.set(A::kEchoTailLength, 100);
    audio.set(A::kCaptureBufferSize, 20);
    return audio;
}

} // namespace mirx::model
