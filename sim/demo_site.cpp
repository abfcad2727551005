#include "sim/demo_site.h"

#include "model/client_types.h"
#include "model/statistics.h"
#include "site/site_builder.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

namespace mirx::sim {

using namespace mirx::site;

namespace {

using model::MembershipMode;
using L = model::LabelInfo;
using E = model::SelectorEntry;

constexpr auto kTalk = MembershipMode::Talk;
constexpr auto kListen = MembershipMode::Listen;
constexpr auto kBoth = MembershipMode::TalkAndListen;

// Label numbers by kind, so a reader of the scenario file can tell them apart.
constexpr int kClientBase = 10000;
constexpr int kPartyLineBase = 10100;
constexpr int kFixedGroupBase = 10150;
constexpr int kStudioBBase = 10300;
constexpr int kRtsPortBase = 11000;
constexpr int kRtsPartyLineBase = 11100;
constexpr int kRtsIfbBase = 11200;

constexpr std::uint32_t address(int a, int b, int c, int d) {
    return static_cast<std::uint32_t>(a) | (static_cast<std::uint32_t>(b) << 8) |
           (static_cast<std::uint32_t>(c) << 16) | (static_cast<std::uint32_t>(d) << 24);
}

// 2024-03-14 08:00:00 UTC, when the demo's logs begin.
constexpr std::int64_t kLogStart = 1710403200;

// --- the demo venue ---

struct ClientRow {
    int type;
    std::string_view name;
    std::string_view shortName; // external short name
    std::string_view description;
    std::string_view login;
    std::string_view password;
};

// Client index = position.
constexpr std::array<ClientRow, 42> kClients{{
    {10, "Director", "DIR", "Director, production gallery", "director", "Dir#2741"},
    {19, "Producer", "PROD", "Producer, production gallery", "producer", "prod-5583"},
    {10, "Asst Director", "AD", "Assistant director, production gallery", "asstdir", "ad-1190"},
    {13, "Vision Mixer", "VM", "Vision mixer desk", "vision", "vm-3307"},
    {20, "Audio A1", "A1", "Sound supervisor, audio control room", "audio.a1", "a1-8842"},
    {20, "Audio A2", "A2", "Audio assistant, stage left", "audio.a2", "a2-6619"},
    {21, "Lighting", "LX", "Lighting director, lighting gallery", "lighting", "lx-4405"},
    {13, "Stage Manager", "SM", "Stage manager desk, prompt side", "stagemgr", "sm-7720"},
    {10, "Replay", "RPL", "Replay operator, replay area", "replay", "rp-9012"},
    {19, "Graphics", "GFX", "Graphics operator, production gallery", "graphics", "gfx-3351"},
    {21, "Engineering", "ENG", "Engineering manager, central apparatus room", "engineer",
     "eng-6087"},
    {20, "Floor Manager", "FM", "Floor manager, studio floor", "floor", "fm-2268"},
    {13, "Security", "SEC", "Security desk, stage door", "security", "sec-4973"},
    {21, "FOH Mixer", "FOH", "Front of house mixing position", "foh", "foh-8150"},
    {20, "Monitor Mixer", "MON", "Monitor mixing position, stage right", "monitors", "mon-1846"},
    {50, "Camera 1", "CAM1", "Camera 1 control unit, pedestal centre", "camera1", "cam1-5520"},
    {50, "Camera 2", "CAM2", "Camera 2 control unit, jib", "camera2", "cam2-5521"},
    {50, "Camera 3", "CAM3", "Camera 3 control unit, handheld left", "camera3", "cam3-5522"},
    {50, "Camera 4", "CAM4", "Camera 4 control unit, handheld right", "camera4", "cam4-5523"},
    {50, "Camera 5", "CAM5", "Camera 5 control unit, rail camera", "camera5", "cam5-5524"},
    {50, "Camera 6", "CAM6", "Camera 6 control unit, cable camera", "camera6", "cam6-5525"},
    {50, "Talent IFB 1", "IFB1", "Presenter earpiece feed 1", "ifb1", "ifb1-0451"},
    {50, "Talent IFB 2", "IFB2", "Presenter earpiece feed 2", "ifb2", "ifb2-0452"},
    {51, "Phone Line 1", "TEL1", "Telephone hybrid 1, call-in line", "phone1", "tel1-7301"},
    {51, "Phone Line 2", "TEL2", "Telephone hybrid 2, production line", "phone2", "tel2-7302"},
    {53, "RTS Trunk", "TRUNK", "Trunk to the RTS matrix in the OB truck", "rtstrunk", "trk-5599"},
    {103, "Gallery Phone", "GPHONE", "Desk IP phone, production gallery", "gallery.phone",
     "sip-2201"},
    {103, "Office Phone", "OPHONE", "Desk IP phone, production office", "office.phone", "sip-2202"},
    {102, "Producer Soft", "PSOFT", "Producer's softphone on the laptop", "producer.soft",
     "sip-2203"},
    {102, "Tech Softphone", "TSOFT", "Engineering softphone", "tech.soft", "sip-2204"},
    {104, "PBX Trunk", "PBX", "Direct IP trunk to the house telephone system", "pbx", "pbx-9910"},
    {105, "Remote Site", "REMOTE", "Registered trunk to the remote studio", "remote", "rem-9911"},
    {150, "Stage Video", "STGVID", "Stage wide shot, RTSP stream", "stagevideo", "vid-3001"},
    {150, "Lobby Video", "LOBVID", "Lobby camera, RTSP stream", "lobbyvideo", "vid-3002"},
    {10, "Graphics 2", "GFX2", "Second graphics operator", "graphics2", "gfx-3352"},
    {19, "Sound FX", "SFX", "Sound effects playback", "soundfx", "sfx-4418"},
    {20, "Runner", "RUN", "Floor runner, panel worn as a beltpack", "runner", "run-1207"},
    {13, "Transmission", "TX", "Transmission control", "tx", "tx-6640"},
    {21, "Comms", "COMMS", "Comms engineer, rack room", "comms", "com-5186"},
    {10, "Captioning", "CAP", "Live captioning booth", "captions", "cap-2734"},
    {50, "Radio Link", "RADIO", "Two-way radio base station", "radio", "rad-8025"},
    {13, "Spare Panel", "SPARE", "Spare hardware panel, store room", "spare", "spare-0000"},
}};

// Client indexes used below by name.
enum Client : int {
    kDirector = 0,
    kProducer,
    kAsstDirector,
    kVisionMixer,
    kAudioA1,
    kAudioA2,
    kLighting,
    kStageManager,
    kReplay,
    kGraphics,
    kEngineering,
    kFloorManager,
    kSecurity,
    kFohMixer,
    kMonitorMixer,
    kCamera1,
    kCamera6 = kCamera1 + 5,
    kTalentIfb1,
    kTalentIfb2,
    kPhoneLine1,
    kPhoneLine2,
    kRtsTrunk,
    kGalleryPhone,
    kOfficePhone,
    kProducerSoft,
    kTechSoftphone,
    kPbxTrunk,
    kRemoteSite,
    kStageVideo,
    kLobbyVideo,
    kGraphics2,
    kSoundFx,
    kRunner,
    kTransmission,
    kComms,
    kCaptioning,
    kRadioLink,
    kSparePanel,
};
static_assert(kSparePanel + 1 == static_cast<int>(kClients.size()));

constexpr int clientLabel(int index) {
    return kClientBase + index;
}

struct GroupRow {
    std::string_view name;
    std::string_view description;
    std::uint32_t text;
    std::uint32_t background;
};

enum PartyLine : int {
    kProductionPl = 0,
    kCameraPl,
    kAudioPl,
    kLightingPl,
    kStagePl,
    kEngineeringPl,
    kReplayPl,
    kGraphicsPl,
    kSecurityPl,
    kFrontOfHousePl,
    kIfbTalentPl,
    kIntercomAllPl,
};

constexpr std::array<GroupRow, 12> kPartyLines{{
    {"Production", "Main production talkback", model::rgb(255, 255, 255), model::rgb(192, 0, 0)},
    {"Camera", "Director and camera operators", model::rgb(0, 0, 0), model::rgb(255, 210, 0)},
    {"Audio", "Sound team", model::rgb(255, 255, 255), model::rgb(0, 96, 192)},
    {"Lighting", "Lighting crew", model::rgb(0, 0, 0), model::rgb(255, 160, 0)},
    {"Stage", "Stage management and floor", model::rgb(255, 255, 255), model::rgb(0, 128, 0)},
    {"Engineering", "Engineering and comms", model::rgb(0, 0, 0), model::rgb(160, 160, 160)},
    {"Replay", "Replay cues", model::rgb(255, 255, 255), model::rgb(128, 0, 128)},
    {"Graphics", "Graphics and captioning", model::rgb(0, 0, 0), model::rgb(0, 200, 200)},
    {"Security", "Security and front desk", model::rgb(255, 255, 255), model::rgb(64, 64, 64)},
    {"Front of House", "Front of house and audio", model::rgb(0, 0, 0), model::rgb(230, 230, 230)},
    {"IFB Talent", "Interrupt feed to presenters", model::rgb(255, 255, 0), model::rgb(0, 0, 0)},
    {"Intercom All", "Everyone, for announcements", model::rgb(255, 255, 255),
     model::rgb(255, 0, 0)},
}};

constexpr int partyLineLabel(int index) {
    return kPartyLineBase + index;
}

constexpr std::array<GroupRow, 6> kFixedGroups{{
    {"All Cameras", "Every camera control unit", 0, 0},
    {"Audio Team", "Audio control and mixing positions", 0, 0},
    {"Gallery", "Production gallery positions", model::rgb(255, 255, 255), model::rgb(0, 0, 128)},
    {"Stage Crew", "Stage, floor and door", 0, 0},
    {"SIP Phones", "Desk phones and softphones", 0, 0},
    {"Engineering Team", "Engineering, comms and transmission", 0, 0},
}};

constexpr int fixedGroupLabel(int index) {
    return kFixedGroupBase + index;
}

void addLabels(Site& site) {
    for (std::size_t i = 0; i < kClients.size(); ++i) {
        const ClientRow& row = kClients[i];
        const int index = static_cast<int>(i);
        addClient(site, clientLabel(index), index, row.type, row.name, row.description, row.login,
                  row.password);
        site.labels[clientLabel(index)].set(L::kExternalShortName, row.shortName);
    }
    for (std::size_t i = 0; i < kPartyLines.size(); ++i) {
        const int number =
            addPartyLine(site, partyLineLabel(static_cast<int>(i)), static_cast<int>(i),
                         kPartyLines[i].name, kPartyLines[i].description);
        site.labels[number].set(L::kTextColour, kPartyLines[i].text);
        site.labels[number].set(L::kBackgroundColour, kPartyLines[i].background);
    }
    for (std::size_t i = 0; i < kFixedGroups.size(); ++i) {
        const int number =
            addFixedGroup(site, fixedGroupLabel(static_cast<int>(i)), static_cast<int>(i),
                          kFixedGroups[i].name, kFixedGroups[i].description);
        site.labels[number].set(L::kTextColour, kFixedGroups[i].text);
        site.labels[number].set(L::kBackgroundColour, kFixedGroups[i].background);
    }

    const auto edit = [&](int number) -> L& {
        return site.labels.at(number);
    };
    edit(clientLabel(kDirector))
        .set(L::kClientFlags,
             (1u << L::kMultiplePartyLinesBit) | (1u << L::kPartyLineOperationBit));
    edit(clientLabel(kDirector)).set(L::kExternalLongName, "Show Director");
    edit(clientLabel(kEngineering)).setPrivilegeLevel(L::kPrivilegeStandard);
    edit(clientLabel(kTalentIfb1)).set(L::kClientFlags, 1u << L::kIfbDestinationBit);
    edit(clientLabel(kTalentIfb2)).set(L::kClientFlags, 1u << L::kIfbDestinationBit);
    edit(clientLabel(kTransmission)).set(L::kClientFlags, 1u << L::kIsoDestinationBit);
    edit(clientLabel(kSecurity))
        .set(L::kAssignmentRestrictions, 1u << L::kNoRemoteAssignmentByUserBit);
    edit(clientLabel(kSparePanel)).set(L::kSelectorFlags, 1u << L::kLoginDisabledBit);
    edit(clientLabel(kCaptioning)).set(L::kClientFlags, 1u << L::kAlwaysShowSelectorOfflineBit);
    edit(partyLineLabel(kProductionPl)).set(L::kListenOnlyName, "Prod Listen");
    edit(partyLineLabel(kIfbTalentPl))
        .set(L::kAssignmentRestrictions, 1u << L::kNoLocalAssignmentByUserBit);

    // Camera 1 is the template for the other cameras' options and audio;
    // Graphics for the second graphics panel's selectors.
    for (int camera = kCamera1; camera <= kCamera6; ++camera) {
        edit(clientLabel(camera)).set(L::kOptionsTemplate, clientLabel(kCamera1));
        edit(clientLabel(camera)).set(L::kAudioSettingsTemplate, clientLabel(kCamera1));
    }
    edit(clientLabel(kGraphics)).set(L::kSelectorAssignmentsTemplate, clientLabel(kGraphics));
    edit(clientLabel(kGraphics2)).set(L::kSelectorAssignmentsTemplate, clientLabel(kGraphics));

    // A second local system: the small studio next door.
    const std::array<std::string_view, 3> studioB{"B Director", "B Camera", "B Audio"};
    const std::array<int, 3> studioBTypes{10, 50, 20};
    for (int i = 0; i < 3; ++i) {
        putLabel(site, makeLabel({.number = kStudioBBase + i,
                                  .system = 1,
                                  .kind = static_cast<int>(model::LabelKind::Client),
                                  .index = i,
                                  .clientType = studioBTypes[static_cast<std::size_t>(i)],
                                  .name = studioB[static_cast<std::size_t>(i)],
                                  .description = "Studio B position"}));
    }
    putLabel(site, makeLabel({.number = kStudioBBase + 3,
                              .system = 1,
                              .kind = static_cast<int>(model::LabelKind::PartyLine),
                              .index = 0,
                              .name = "Studio B PL",
                              .description = "Studio B production"}));

    // The RTS matrix in the OB truck, reached over the trunk: ports, party
    // lines and IFBs of RTS system 0.
    const std::array<std::string_view, 8> ports{"OB Director", "OB Producer", "OB Replay",
                                                "OB Audio",    "OB Vision",   "OB Engineer",
                                                "OB Camera 7", "OB Camera 8"};
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const int index = static_cast<int>(i);
        L label = makeLabel({.number = kRtsPortBase + index,
                             .systemClass = model::SystemClass::Rts,
                             .kind = 0,
                             .index = index,
                             .name = ports[i],
                             .description = "RTS matrix port"});
        label.set(L::kRtsFunctionNumber, index);
        label.set(L::kRtsFunctionType, 0);
        putLabel(site, label);
    }
    const std::array<std::string_view, 4> rtsLines{"OB Production", "OB Camera", "OB Audio PL",
                                                   "OB Engineering"};
    for (std::size_t i = 0; i < rtsLines.size(); ++i) {
        const int index = static_cast<int>(i);
        L label = makeLabel({.number = kRtsPartyLineBase + index,
                             .systemClass = model::SystemClass::Rts,
                             .kind = 1,
                             .index = index,
                             .name = rtsLines[i],
                             .description = "RTS matrix party line"});
        label.set(L::kRtsFunctionNumber, index);
        label.set(L::kRtsFunctionType, 1);
        putLabel(site, label);
    }
    for (int i = 0; i < 2; ++i) {
        L label = makeLabel({.number = kRtsIfbBase + i,
                             .systemClass = model::SystemClass::Rts,
                             .kind = 2,
                             .index = i,
                             .name = i == 0 ? "OB IFB Host" : "OB IFB Guest",
                             .description = "RTS matrix IFB"});
        label.set(L::kRtsFunctionNumber, i);
        label.set(L::kRtsFunctionType, 2);
        label.set(L::kExternalShortName, i == 0 ? "IFBH" : "IFBG");
        putLabel(site, label);
    }
}

void addMemberships(Site& site) {
    const auto members = [&](int partyLine,
                             std::initializer_list<std::pair<int, MembershipMode>> list) {
        for (const auto& [member, mode] : list) {
            addMember(site, partyLineLabel(partyLine), member, mode);
        }
    };
    members(kProductionPl, {{kDirector, kBoth},
                            {kProducer, kBoth},
                            {kAsstDirector, kBoth},
                            {kVisionMixer, kBoth},
                            {kGraphics, kListen},
                            {kReplay, kListen},
                            {kFloorManager, kBoth},
                            {kStageManager, kBoth},
                            {kTransmission, kListen},
                            {kPhoneLine2, kBoth},
                            {kRtsPartyLineBase, kBoth}}); // the OB truck's production line
    members(kCameraPl, {{kDirector, kTalk}, {kVisionMixer, kBoth}, {kEngineering, kListen}});
    for (int camera = kCamera1; camera <= kCamera6; ++camera) {
        members(kCameraPl, {{camera, kBoth}});
    }
    members(kAudioPl, {{kAudioA1, kBoth},
                       {kAudioA2, kBoth},
                       {kFohMixer, kBoth},
                       {kMonitorMixer, kBoth},
                       {kSoundFx, kBoth},
                       {kDirector, kListen}});
    members(
        kLightingPl,
        {{kLighting, kBoth}, {kDirector, kTalk}, {kStageManager, kBoth}, {kFloorManager, kListen}});
    members(kStagePl, {{kStageManager, kBoth},
                       {kFloorManager, kBoth},
                       {kRunner, kBoth},
                       {kSecurity, kListen},
                       {kMonitorMixer, kBoth},
                       {kLighting, kListen}});
    members(kEngineeringPl, {{kEngineering, kBoth},
                             {kComms, kBoth},
                             {kTechSoftphone, kBoth},
                             {kTransmission, kBoth},
                             {kVisionMixer, kListen},
                             {kRtsPartyLineBase + 3, kBoth}});
    members(kReplayPl, {{kReplay, kBoth}, {kDirector, kBoth}, {kProducer, kListen}});
    members(kGraphicsPl,
            {{kGraphics, kBoth}, {kGraphics2, kBoth}, {kProducer, kBoth}, {kCaptioning, kListen}});
    members(
        kSecurityPl,
        {{kSecurity, kBoth}, {kStageManager, kBoth}, {kOfficePhone, kBoth}, {kRadioLink, kBoth}});
    members(kFrontOfHousePl,
            {{kFohMixer, kBoth}, {kAudioA1, kBoth}, {kLighting, kListen}, {kSecurity, kListen}});
    members(kIfbTalentPl, {{kTalentIfb1, kListen},
                           {kTalentIfb2, kListen},
                           {kDirector, kTalk},
                           {kProducer, kTalk},
                           {kFloorManager, kTalk}});
    // Every panel hears announcements; the director and producer make them.
    members(kIntercomAllPl, {{kDirector, kBoth}, {kProducer, kBoth}});
    for (std::size_t i = 0; i < kClients.size(); ++i) {
        const int index = static_cast<int>(i);
        if (model::isControlPanel(kClients[i].type) && index != kDirector && index != kProducer) {
            members(kIntercomAllPl, {{index, kListen}});
        }
    }

    site.fixedGroups[0] =
        clientSet({kCamera1, kCamera1 + 1, kCamera1 + 2, kCamera1 + 3, kCamera1 + 4, kCamera6});
    site.fixedGroups[1] = clientSet({kAudioA1, kAudioA2, kFohMixer, kMonitorMixer, kSoundFx});
    site.fixedGroups[2] = clientSet({kDirector, kProducer, kAsstDirector, kVisionMixer, kReplay,
                                     kGraphics, kGraphics2, kCaptioning});
    site.fixedGroups[3] = clientSet({kStageManager, kFloorManager, kRunner, kSecurity});
    site.fixedGroups[4] = clientSet({kGalleryPhone, kOfficePhone, kProducerSoft, kTechSoftphone});
    site.fixedGroups[5] = clientSet({kEngineering, kComms, kTransmission});

    // Presenters must not hear the crew's chatter or the phone lines.
    for (const int talent : {kTalentIfb1, kTalentIfb2}) {
        site.blockedListens[talent] = clientSet({kAudioA2, kSecurity, kPhoneLine2, kRadioLink});
    }
    site.blockedListens[kPhoneLine1] = clientSet({kEngineering, kComms});
    // Camera operators always hear the director and the vision mixer.
    for (int camera = kCamera1; camera <= kCamera6; ++camera) {
        site.forcedListens[camera] = clientSet({kDirector, kVisionMixer});
    }
    site.forcedListens[kRunner] = clientSet({kFloorManager});
}

constexpr std::uint8_t kF1 = 0x70; // key codes of the hot key table
constexpr std::uint8_t kCtrl = 1u << E::kCtrlBit;

E withHotKey(E entry, std::uint8_t key, std::uint8_t modifiers) {
    entry.set(E::kHotKey, key);
    entry.set(E::kHotKeyModifiers, modifiers);
    return entry;
}

// A panel's own department line first, then the lines every panel has.
model::SelectorAssignments departmentPanel(int homeLine) {
    return selectorList({selector(partyLineLabel(homeLine), E::kSplitTalkListen),
                         selector(partyLineLabel(kProductionPl), E::kListenOnly),
                         selector(partyLineLabel(kIntercomAllPl), E::kSplitTalkListen),
                         layoutMark(E::kRowBreak),
                         selector(clientLabel(kDirector), E::kSplitTalkListen),
                         selector(clientLabel(kStageManager), E::kSplitTalkListen),
                         layoutMark(E::kCallNotification)},
                        6);
}

// Devices without a panel connect to their lines by themselves.
model::SelectorAssignments automatic(model::ActivationMethod method,
                                     std::initializer_list<E> entries) {
    model::SelectorAssignments list = selectorList(entries);
    list.set(model::SelectorAssignments::kActivationMethod, static_cast<std::uint8_t>(method));
    list.set(model::SelectorAssignments::kActivationDetail, -1);
    return list;
}

void addSelectors(Site& site) {
    using M = model::ActivationMethod;
    constexpr auto split = E::kSplitTalkListen;
    constexpr std::uint8_t ifb = 1u << E::kIfbBit;
    constexpr std::uint8_t notLatchable = 1u << E::kNotLatchableBit;

    site.defaultSelectors = selectorList({selector(partyLineLabel(kIntercomAllPl), split),
                                          selector(partyLineLabel(kProductionPl), E::kListenOnly)},
                                         6);
    site.defaultSelectors.set(model::SelectorAssignments::kActivationDetail, -1);

    site.selectors[kDirector] = selectorList(
        {withHotKey(selector(partyLineLabel(kProductionPl), split), kF1, kCtrl),
         selector(partyLineLabel(kCameraPl), E::kTalkOnly, notLatchable),
         selector(partyLineLabel(kAudioPl), split), selector(partyLineLabel(kLightingPl), split),
         layoutMark(E::kRowBreak), selector(partyLineLabel(kStagePl), split),
         selector(partyLineLabel(kReplayPl), split), selector(partyLineLabel(kGraphicsPl), split),
         selector(partyLineLabel(kIfbTalentPl), E::kTalkOnly, ifb), layoutMark(E::kPageBreak),
         selector(kProducer, split), // by client index, as the console may store it
         selector(clientLabel(kStageManager), split), selector(clientLabel(kPhoneLine1), split),
         selector(kRtsPortBase, split), layoutMark(E::kSpacer),
         selector(fixedGroupLabel(0), E::kTalkOnly), layoutMark(E::kCallNotification)},
        8);
    site.selectors[kProducer] = selectorList(
        {selector(partyLineLabel(kProductionPl), split),
         selector(partyLineLabel(kReplayPl), E::kListenOnly),
         selector(partyLineLabel(kGraphicsPl), split), selector(clientLabel(kDirector), split),
         selector(clientLabel(kPhoneLine2), split), selector(clientLabel(kRemoteSite), split),
         layoutMark(E::kSpacer), selector(partyLineLabel(kIntercomAllPl), split),
         selector(kRtsIfbBase, E::kTalkOnly, ifb)},
        6);
    site.selectors[kAsstDirector] = departmentPanel(kProductionPl);
    site.selectors[kVisionMixer] = departmentPanel(kCameraPl);
    site.selectors[kAudioA1] = departmentPanel(kAudioPl);
    site.selectors[kAudioA2] = departmentPanel(kAudioPl);
    site.selectors[kLighting] = departmentPanel(kLightingPl);
    site.selectors[kStageManager] = departmentPanel(kStagePl);
    site.selectors[kReplay] = departmentPanel(kReplayPl);
    site.selectors[kGraphics] = departmentPanel(kGraphicsPl);
    site.selectors[kGraphics2] = site.selectors[kGraphics]; // linked to its template
    site.selectors[kEngineering] = departmentPanel(kEngineeringPl);
    site.selectors[kFloorManager] = departmentPanel(kStagePl);
    site.selectors[kSecurity] = departmentPanel(kSecurityPl);
    site.selectors[kFohMixer] = departmentPanel(kFrontOfHousePl);
    site.selectors[kMonitorMixer] = departmentPanel(kAudioPl);
    site.selectors[kSoundFx] = departmentPanel(kAudioPl);
    site.selectors[kRunner] = departmentPanel(kStagePl);
    site.selectors[kTransmission] = departmentPanel(kEngineeringPl);
    site.selectors[kComms] = departmentPanel(kEngineeringPl);
    site.selectors[kCaptioning] = departmentPanel(kGraphicsPl);

    for (int camera = kCamera1; camera <= kCamera6; ++camera) {
        site.selectors[camera] =
            automatic(M::OnThisClientConnect, {selector(partyLineLabel(kCameraPl), split)});
    }
    site.selectors[kTalentIfb1] =
        automatic(M::OnThisClientConnect, {selector(partyLineLabel(kIfbTalentPl), E::kListenOnly)});
    site.selectors[kTalentIfb2] = site.selectors[kTalentIfb1];
    site.selectors[kPhoneLine1] =
        automatic(M::OnDtmfToneDetection, {selector(clientLabel(kDirector), split)});
    site.selectors[kPhoneLine2] =
        automatic(M::OnThisClientConnect, {selector(partyLineLabel(kProductionPl), split)});
    site.selectors[kRadioLink] =
        automatic(M::OnVoiceActivityDetection, {selector(partyLineLabel(kSecurityPl), split)});
    site.selectors[kRtsTrunk] =
        automatic(M::OnThisClientConnect,
                  {selector(kRtsPartyLineBase, split), selector(kRtsPortBase, split)});
}

void addOptionsAndAudio(Site& site) {
    using O = model::ClientOptions;
    using A = model::AudioSettings;
    site.defaultOptions.setBit(O::kPanelSoundFlags, O::kPlayConnectionSoundsBit, true);
    site.defaultOptions.set(O::kPanelFunctionButtons,
                            (1u << O::kPartyLineButtonBit) | (1u << O::kSelectorVolumeButtonsBit));

    O director = site.defaultOptions;
    director.set(O::kPanelFunctionButtons, 0x7F);
    director.set(O::kPanelHideDisabledSelectors, 1);
    site.options[kDirector] = director;

    O runner = site.defaultOptions;
    runner.setBit(O::kPanelOperationFlags, O::kOperateAsBeltpackBit, true);
    runner.setBit(O::kPanelOperationFlags, O::kHeadsetOnlyBit, true);
    runner.set(O::kPanelConnectionTimeoutMs, 6000);
    site.options[kRunner] = runner;

    O camera = site.defaultOptions;
    camera.set(O::kPanelVadTimeMs, 300);
    camera.set(O::kPanelVadTimeByte, model::vadTimeByteCopy(300));
    for (int c = kCamera1; c <= kCamera6; ++c) {
        site.options[c] = camera;
    }

    const auto video = [](std::string_view uri, std::uint8_t method) {
        O options;
        options.set(O::kVideoRtspMethod, method);
        options.set(O::kVideoRtspUri, uri);
        return options;
    };
    site.options[kStageVideo] = video("192.168.10.80:554/stage/wide", O::kRtspWithRtpOverUdp);
    site.options[kLobbyVideo] = video("192.168.10.81:554/lobby", O::kRtspWithRtpOverRtsp);

    site.sipDefaultOptions.set(O::kSipRingTone, "ring_classic.wav");
    const auto sip = [&](std::string_view target, std::string_view host) {
        O options = site.sipDefaultOptions;
        options.set(O::kSipTargetUserName, target);
        options.set(O::kSipTargetPrimaryHost, host);
        return options;
    };
    site.options[kGalleryPhone] = sip("gallery.phone", "venue.local");
    site.options[kOfficePhone] = sip("office.phone", "venue.local");
    site.options[kProducerSoft] = sip("producer.soft", "venue.local");
    site.options[kTechSoftphone] = sip("tech.soft", "venue.local");
    O pbx = sip("intercom", "pbx.venue.local");
    pbx.set(O::kSipProxyAddress, address(192, 168, 10, 2));
    pbx.set(O::kSipSessionExpirySeconds, 1800);
    site.options[kPbxTrunk] = pbx;
    O remote = sip("studio", "remote-studio.example.net");
    remote.set(O::kSipTargetSecondaryHost, "backup.remote-studio.example.net");
    remote.set(O::kSipStunAddress, address(203, 0, 113, 7));
    site.options[kRemoteSite] = remote;

    A music = site.defaultAudio;
    music.set(A::kSampleRate, 48000);
    music.set(A::kEchoCancellation, 0);
    site.audio[kAudioA1] = music;
    site.audio[kFohMixer] = music;
    A phone = site.defaultAudio;
    phone.set(A::kSampleRate, 8000);
    phone.set(A::kEchoCancellation, 1);
    phone.set(A::kEchoTailLength, 200);
    site.audio[kPhoneLine1] = phone;
    site.audio[kPhoneLine2] = phone;
    A cameraAudio = site.defaultAudio;
    cameraAudio.set(A::kOutputGain, 2);
    for (int c = kCamera1; c <= kCamera6; ++c) {
        site.audio[c] = cameraAudio;
    }
}

void addSettings(Site& site) {
    using S = model::SystemSettings;
    S& s = site.systemSettings;
    s.set(S::kServerAddress, address(127, 0, 0, 1));
    s.set(S::kClientDataPort, 1000);
    s.set(S::kClientAudioPort, 1001);
    s.set(S::kSampleRate, 32000);
    s.set(S::kVoiceActivityTextColour, model::rgb(0, 0, 0));
    s.set(S::kVoiceActivityBackgroundColour, model::rgb(0, 255, 0));
    s.set(S::kSipDataPort, 5060);
    s.set(S::kSipDomainName, "venue.local");
    s.set(S::kRtpAudioBasePort, 20000);
    s.set(S::kRtsTrunkMasterMainAddress, address(192, 168, 10, 50));
    s.set(S::kRtsTrunkMasterMainPort, 6001);
    s.set(S::kRtsTrunkMasterBackupAddress, address(192, 168, 10, 51));
    s.set(S::kRtsTrunkMasterBackupPort, 6001);
    s.set(S::kFailoverDelaySeconds, 10);
    s.set(S::kFailbackMode, static_cast<std::uint8_t>(model::FailbackMode::Never));
    s.set(S::kGeoMappingPort, S::kDefaultGeoMappingPort);
    s.set(S::kBatteryAlertBits, 0x03); // 5 % and 10 %
    for (const auto port : S::kOratisPorts) {
        s.set(port, S::kDefaultOratisPort);
    }

    using U = model::UserInterfaceSettings;
    const model::ColourScheme& scheme = model::kColourSchemes[0];
    for (std::size_t i = 0; i < U::kColours.size(); ++i) {
        site.userInterfaceSettings.set(U::kColours[i], scheme.colours[i]);
    }
    site.userInterfaceSettings.set(U::kVerticalSpacing, scheme.verticalSpacing);
    site.userInterfaceSettings.set(U::kHorizontalSpacing, scheme.horizontalSpacing);
    site.userInterfaceSettings.set(U::kLogoGraphic, "venue_logo.bmp");

    const auto system = [](model::SystemClass c, int number, std::string_view name) {
        model::SystemListEntry entry;
        entry.set(model::SystemListEntry::kSystemClass, static_cast<std::uint8_t>(c));
        entry.set(model::SystemListEntry::kSystemNumber, number);
        entry.set(model::SystemListEntry::kName, name);
        return entry;
    };
    site.systems = {system(model::SystemClass::Local, 0, "Main Venue"),
                    system(model::SystemClass::Local, 1, "Studio B"),
                    system(model::SystemClass::Rts, 0, "OB Truck RTS")};
}

std::uint32_t softwareVersion(int type) {
    if (model::isSipDevice(type) || model::isVideoSource(type)) {
        return 0; // third-party devices do not report one
    }
    const int platform = type == 10 ? 6 : 5; // Windows x64 desktops, Linux elsewhere
    return model::packClientVersion({.major = 6,
                                     .minor = 2,
                                     .build = 1,
                                     .revision = 318,
                                     .platform = platform,
                                     .releaseKind = 0});
}

void addBehaviour(Site& site) {
    int online = 0;
    for (std::size_t i = 0; i < kClients.size(); ++i) {
        const int index = static_cast<int>(i);
        const int type = kClients[i].type;
        ClientBehaviour b;
        b.online = index != kCamera6 && index != kTechSoftphone && index != kLobbyVideo &&
                   index != kSparePanel;
        b.packetsPerSecond = model::isVideoSource(type) ? 30 : 50;
        b.processorPercent = model::isControlPanel(type) ? static_cast<std::uint8_t>(8 + index % 17)
                                                         : std::uint8_t{255};
        b.address = address(192, 168, 10, 100 + index);
        b.softwareVersion = softwareVersion(type);
        site.behaviour[index] = b;
        online += b.online ? 1 : 0;
    }
    // Lossy links: a wireless handheld camera, a noisy phone line, the
    // remote studio across the internet, the runner on Wi-Fi.
    site.behaviour[kCamera1 + 2].lossPerMille = 12;
    site.behaviour[kPhoneLine2].lossPerMille = 25;
    site.behaviour[kRemoteSite].lossPerMille = 6;
    site.behaviour[kRunner].lossPerMille = 40;
    site.behaviour[kRunner].batteryPercent = 76;

    site.status.upTimeSeconds = 3 * 86400 + 5 * 3600 + 17 * 60;
    site.status.activeConnections = static_cast<std::uint16_t>(online);
    site.status.activeAudioInputs = static_cast<std::uint16_t>(online - 2);
    site.status.activeAudioOutputs = static_cast<std::uint16_t>(online);
    site.status.processorPercent = 12;
    site.status.secondProcessorPercent = 7;
    site.status.failoverState =
        static_cast<std::uint8_t>(model::FailoverState::PrimaryActiveSecondaryStandby);
    site.status.rtsTrunkState = static_cast<std::uint8_t>(model::TrunkState::MasterOnline);
    site.status.rtsTrunksActive = 2;
    site.status.rtsTrunksConfigured = 2;
    site.status.delecTrunkState = static_cast<std::uint8_t>(model::TrunkState::NotConfigured);

    for (const int client : {kGalleryPhone, kOfficePhone, kProducerSoft, kPbxTrunk, kRemoteSite}) {
        const auto& row = kClients[static_cast<std::size_t>(client)];
        const std::string login(row.login);
        model::SipRegistration r;
        r.set(model::SipRegistration::kUserName, login);
        r.set(model::SipRegistration::kAddressOfRecord, "sip:" + login + "@venue.local");
        // Trunks reach the venue through the server's own SIP port, so their
        // contact is the server (the view hides them unless asked); phones
        // register from their own address.
        r.set(model::SipRegistration::kContactDetail,
              row.type >= 104
                  ? "sip:" + login + "@127.0.0.1:5062"
                  : "sip:" + login + "@192.168.10." + std::to_string(100 + client) + ":5060");
        // Trunks register for an hour, phones for five minutes.
        r.set(model::SipRegistration::kExpirationSeconds, row.type >= 104 ? 3600u : 300u);
        site.sipRegistrations.push_back(r);
    }
}

void addLogs(Site& site) {
    struct Line {
        int offset; // seconds after kLogStart
        std::string_view text;
    };
    constexpr std::array<Line, 30> debug{{
        {0, "Server 6.2.0 starting, data port 1000, audio port 1001"},
        {1, "Loaded configuration: 42 clients, 12 party lines, 6 fixed groups"},
        {1, "Audio Mixer Thread: 32000 Hz, 20 ms frames"},
        {2, "SIP Client Thread: listening on UDP 5060, domain venue.local"},
        {3, "RTS Trunking Thread: connecting to master 192.168.10.50:6001"},
        {4, "RTS Trunking Thread: trunk 1 online"},
        {4, "RTS Trunking Thread: trunk 2 online"},
        {5, "Failover: secondary server in standby"},
        {12, "Client Connection Handler: Director (192.168.10.100) logged in"},
        {13, "Client Connection Handler: Producer (192.168.10.101) logged in"},
        {15, "Client Connection Handler: Vision Mixer (192.168.10.103) logged in"},
        {21, "Client Connection Handler: Camera 1 (192.168.10.115) logged in"},
        {21, "Client Connection Handler: Camera 2 (192.168.10.116) logged in"},
        {22, "Client Connection Handler: Camera 3 (192.168.10.117) logged in"},
        {22, "Client Connection Handler: Camera 4 (192.168.10.118) logged in"},
        {23, "Client Connection Handler: Camera 5 (192.168.10.119) logged in"},
        {30, "SIP Client Thread: REGISTER gallery.phone@venue.local accepted, expires 300"},
        {31, "SIP Client Thread: REGISTER office.phone@venue.local accepted, expires 300"},
        {33, "SIP Client Thread: REGISTER pbx@venue.local accepted, expires 3600"},
        {40, "RTSP Client Handler: Stage Video stream opened (RTP over UDP)"},
        {41, "***ERROR***: RTSP Client Handler: Lobby Video: connection refused"},
        {65, "Client Connection Handler: Runner (192.168.10.136) logged in"},
        {90, "WARNING: Client State Handler: Phone Line 2 receive loss 2.5 %"},
        {120, "Client Connection Handler: Camera 6 (192.168.10.120) timed out"},
        {180, "System Admin Connection Handler: administrator admin logged in"},
        {240, "WARNING: Client State Handler: Runner battery at 76 %"},
        {300, "Performance Monitoring: CPU 12 %, 38 audio inputs, 40 outputs"},
        {360, "SIP Client Thread: Tech Softphone registration expired"},
        {600, "Performance Monitoring: CPU 11 %, 38 audio inputs, 40 outputs"},
        {900, "Client Connection Handler: Spare Panel login refused, login disabled"},
    }};
    for (const Line& line : debug) {
        site.debugLog.push_back({kLogStart + line.offset, std::string(line.text)});
    }
    constexpr std::array<Line, 20> activity{{
        {0, "Server started"},
        {5, "RTS trunking: 2 of 2 trunks active"},
        {12, "Director logged in"},
        {13, "Producer logged in"},
        {21, "Camera 1 connected"},
        {23, "Camera 5 connected"},
        {30, "Gallery Phone registered"},
        {41, "Lobby Video unavailable"},
        {65, "Runner logged in"},
        {120, "Camera 6 disconnected"},
        {180, "Administrator admin logged in from 192.168.10.5"},
        {200, "Party line Production: Phone Line 2 added"},
        {230, "Client Spare Panel: login disabled"},
        {260, "Fixed group SIP Phones changed"},
        {300, "Forced listen changed for Runner"},
        {360, "Tech Softphone registration expired"},
        {420, "Operator operator logged in from 192.168.10.6"},
        {480, "Selector assignments changed for Graphics"},
        {540, "Administrator admin logged out"},
        {900, "Spare Panel login refused"},
    }};
    for (const Line& line : activity) {
        site.activityLog.push_back({kLogStart + line.offset, std::string(line.text)});
    }

    // Errors from everything; information from the SIP thread; details of
    // Camera 1's connection handler; warnings from the RTS trunk thread.
    site.debugFilters = {0x9FFFFFFF, 0xDC10FFFF, 0xFC07FC0F, 0xBC01FFFF};
    site.soundFiles = {"ring_classic.wav", "ring_soft.wav",   "auto_answer.wav",
                       "chime.wav",        "battery_low.wav", "connected.wav"};
    site.graphicFiles = {"venue_logo.bmp", "panel_back.bmp", "selector_blue.bmp"};
}

void addAdmins(Site& site) {
    site.admins = {{.name = "admin", .password = "admin", .privilegeLevel = 1},
                   {.name = "operator", .password = "operator", .privilegeLevel = 2}};
}

// --- the largest site ---

constexpr std::array<int, 16> kMaxTypes{10, 19, 13,  20,  21,  15,  50,  51,
                                        52, 53, 103, 102, 104, 105, 100, 150};
constexpr std::array<std::string_view, 9> kRtsTypeShort{"PORT", "PL",  "IFB", "SL",  "RLY",
                                                        "ISO",  "UPL", "ISL", "IFBA"};

// "Client 007": a prefix and a number of at least three digits.
std::string numbered(std::string_view prefix, int value) {
    std::string digits = std::to_string(value);
    if (digits.size() < 3) {
        digits.insert(0, 3 - digits.size(), '0');
    }
    return std::string(prefix) + digits;
}

} // namespace

Site demoSite() {
    Site site;
    site.trunkingFlags = 1; // RTS
    addAdmins(site);
    addLabels(site);
    addMemberships(site);
    addSelectors(site);
    addOptionsAndAudio(site);
    addSettings(site);
    addBehaviour(site);
    addLogs(site);
    return site;
}

Site maxSite() {
    constexpr int kClientCount = static_cast<int>(model::kClientsPerSystem);
    constexpr int kPartyLineCount = static_cast<int>(model::kPartyLinesPerSystem);
    constexpr int kGroupCount = static_cast<int>(model::kFixedGroupsPerSystem);
    constexpr int kPartyLineFirst = model::kFirstLabelNumber + kClientCount;
    constexpr int kGroupFirst = kPartyLineFirst + kPartyLineCount;
    constexpr int kRemoteFirst = kGroupFirst + kGroupCount;

    Site site;
    site.trunkingFlags = 1;
    addAdmins(site);
    addSettings(site);
    site.systems.resize(1); // the demo's main venue; the RTS systems follow

    for (int i = 0; i < kClientCount; ++i) {
        const int type = kMaxTypes[static_cast<std::size_t>(i) % kMaxTypes.size()];
        addClient(site, model::kFirstLabelNumber + i, i, type, numbered("Client ", i + 1),
                  numbered("Generated client ", i + 1), numbered("user", i + 1),
                  numbered("pass", i + 1));
        ClientBehaviour b;
        b.online = i % 7 != 0;
        b.lossPerMille = static_cast<std::uint32_t>(i % 11 == 0 ? 20 : 0);
        b.address = address(10, 0, i / 250, 1 + i % 250);
        site.behaviour[i] = b;
    }
    for (int i = 0; i < kPartyLineCount; ++i) {
        const int number = addPartyLine(site, kPartyLineFirst + i, i, numbered("PL ", i + 1),
                                        numbered("Generated party line ", i + 1));
        for (int k = 0; k < 10; ++k) {
            addMember(site, number, (i * 5 + k * 97) % kClientCount,
                      static_cast<MembershipMode>(1 + k % 3));
        }
    }
    for (int i = 0; i < kGroupCount; ++i) {
        addFixedGroup(site, kGroupFirst + i, i, numbered("Group ", i + 1),
                      numbered("Generated fixed group ", i + 1));
        model::ClientBitSet members;
        for (int k = 0; k < 10; ++k) {
            members.setBit((i * 10 + k * 101) % kClientCount);
        }
        site.fixedGroups[i] = members;
    }

    // Every remaining label number goes to RTS systems, 9 types of 1000 each.
    const int perSystem = static_cast<int>(model::kRtsLabelTypes * model::kEntriesPerRtsLabelType);
    for (int number = kRemoteFirst; number <= model::kLastLabelNumber; ++number) {
        const int n = number - kRemoteFirst;
        const int system = n / perSystem;
        const int type = n % perSystem / static_cast<int>(model::kEntriesPerRtsLabelType);
        const int index = n % static_cast<int>(model::kEntriesPerRtsLabelType);
        char name[21];
        std::snprintf(name, sizeof name, "S%d %s %03d", system + 1,
                      kRtsTypeShort[static_cast<std::size_t>(type)].data(), index + 1);
        L label = makeLabel({.number = number,
                             .systemClass = model::SystemClass::Rts,
                             .system = system,
                             .kind = type,
                             .index = index,
                             .name = name,
                             .description = "Generated RTS label"});
        label.set(L::kRtsFunctionNumber, index);
        label.set(L::kRtsFunctionType, static_cast<std::uint8_t>(type % 8));
        site.labels.emplace_hint(site.labels.end(), number, label);
        if (index == 0 && type == 0) {
            model::SystemListEntry entry;
            entry.set(model::SystemListEntry::kSystemClass,
                      static_cast<std::uint8_t>(model::SystemClass::Rts));
            entry.set(model::SystemListEntry::kSystemNumber, system);
            entry.set(model::SystemListEntry::kName, "RTS Matrix " + std::to_string(system + 1));
            site.systems.push_back(entry);
        }
    }

    // Panels get a short page of selectors each.
    for (int i = 0; i < kClientCount; ++i) {
        const int type = kMaxTypes[static_cast<std::size_t>(i) % kMaxTypes.size()];
        if (!model::isControlPanel(type)) {
            continue;
        }
        const int line = kPartyLineFirst + i % kPartyLineCount;
        site.selectors[i] = selectorList(
            {selector(line, E::kSplitTalkListen),
             selector(kPartyLineFirst + (i + 1) % kPartyLineCount, E::kListenOnly),
             selector(model::kFirstLabelNumber + (i + 1) % kClientCount, E::kSplitTalkListen),
             selector(kGroupFirst + i % kGroupCount, E::kTalkOnly), layoutMark(E::kRowBreak),
             selector(kRemoteFirst + i, E::kSplitTalkListen),
             selector((i + 2) % kClientCount, E::kSplitTalkListen),
             layoutMark(E::kCallNotification)},
            4);
    }
    return site;
}

} // namespace mirx::sim
