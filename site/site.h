#pragma once

#include "model/bit_set.h"
#include "model/client_records.h"
#include "model/label_info.h"
#include "model/membership_records.h"
#include "model/selector_assignments.h"
#include "model/sip_registrations.h"
#include "model/statistics.h"
#include "model/system_list.h"
#include "model/system_settings.h"
#include "model/system_status.h"
#include "model/ui_settings.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Everything the simulated server knows about its site. Records are held in
// their wire layout, so what a console sends is stored byte for byte and
// sent back the same way. Clients, party lines and fixed groups exist by
// their labels (kind 0, 1, 2 of local system 0).

namespace mirx::site {

// Someone allowed to log in with the console.
struct AdminAccount {
    std::string name;
    std::string password;
    std::int16_t privilegeWord = 0;
    std::uint8_t privilegeLevel = 1; // 1 = full administrator
};

// How a client's statistics move each second.
struct ClientBehaviour {
    bool online = true;
    std::uint32_t packetsPerSecond = 50; // each stream
    std::uint32_t lossPerMille = 0;      // packets lost per thousand sent
    std::uint8_t processorPercent = 255; // 255 = not available
    std::uint8_t batteryPercent = 255;   // 255 = not available
    std::uint32_t address = 0;           // first octet in the lowest byte
    std::uint32_t softwareVersion = 0;   // packed
};

// The figures behind ADMIN_SYSTEM_STATUS_RESPONSE; up time grows by itself.
struct StatusFigures {
    std::int64_t upTimeSeconds = 0; // at simulator start
    std::uint16_t activeConnections = 0;
    std::uint16_t activeAudioInputs = 0;
    std::uint16_t activeAudioOutputs = 0;
    std::uint8_t processorPercent = 5;
    std::uint8_t secondProcessorPercent = 3;
    std::uint8_t failoverState = 1; // 1 not configured .. 5
    std::uint8_t rtsTrunkState = 1;
    std::uint8_t rtsTrunksActive = 0;
    std::uint8_t rtsTrunksConfigured = 0;
    std::uint8_t delecTrunkState = 1;
    std::uint8_t delecTrunksActive = 0;
    std::uint8_t delecTrunksConfigured = 0;
};

struct LogLine {
    std::int64_t time = 0; // seconds since 1970
    std::string text;
};

struct Site {
    // Identification answer.
    std::uint32_t serverIdentifier = 0x0B23A16D;
    std::uint32_t serverVersion = 0x62000050; // 6.2.0, Linux, release

    std::vector<AdminAccount> admins;
    // Bit 0 RTS, bit 1 Delec (ADMIN_TRUNKING_MODE).
    std::uint8_t trunkingFlags = 0;

    // Keyed by label number.
    std::map<int, model::LabelInfo> labels;
    // Keyed by client index.
    std::map<int, model::ClientCredentials> credentials;
    model::ClientCredentials masterAdministrator = model::masterAdministratorCredentials();

    std::map<int, model::ClientOptions> options;
    model::ClientOptions defaultOptions = model::defaultClientOptions();
    model::ClientOptions sipDefaultOptions = model::sipDefaultClientOptions();
    std::map<int, model::AudioSettings> audio;
    model::AudioSettings defaultAudio = model::defaultAudioSettings();
    std::map<int, model::SelectorAssignments> selectors;
    model::SelectorAssignments defaultSelectors;

    // Party line membership keyed by the party line's label number.
    std::map<int, model::PartyLineMembership> partyLines;
    // Keyed by fixed group index 0..99.
    std::map<int, model::ClientBitSet> fixedGroups;
    // Keyed by the listening client's index.
    std::map<int, model::ClientBitSet> blockedListens;
    std::map<int, model::ClientBitSet> forcedListens;

    model::SystemSettings systemSettings;
    model::UserInterfaceSettings userInterfaceSettings;
    std::vector<model::SystemListEntry> systems;

    StatusFigures status;
    std::map<int, ClientBehaviour> behaviour; // by client index
    std::vector<model::SipRegistration> sipRegistrations;
    std::vector<LogLine> debugLog;
    std::vector<LogLine> activityLog;
    std::vector<std::uint32_t> debugFilters;
    std::vector<std::string> soundFiles;   // names the server offers
    std::vector<std::string> graphicFiles; // names the server offers

    // Client index -> label number, for clients of local system 0.
    std::map<int, int> clientLabels() const;
};

} // namespace mirx::site
