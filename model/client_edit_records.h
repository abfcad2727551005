#pragma once

#include "model/client_records.h"
#include "model/client_store.h"
#include "model/label_table.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What OK in the add/edit view stores and posts: the client's label and
// credentials written from the typed values, and for a duplicate the
// source's options, audio settings and selector assignments.

namespace mirx::model {

inline constexpr const char* kUnableToAddClient = "ERROR: Unable to add client.";
inline constexpr const char* kUnableToAddClientCaption = "Client Configuration Add";

// The values of the add/edit view's controls, as typed.
struct ClientEditValues {
    int clientType = 0;
    std::string description;
    std::string loginName;
    std::string password;
    std::string talkListenName;
    std::string listenOnlyName;
    std::string externalLongName;
    std::string externalShortName;
    // The RTS function controls are shown for SIP devices only; while they
    // are hidden (nullopt) the label keeps its values.
    std::optional<std::uint8_t> rtsFunctionType;
    // 1-based, as typed.
    std::optional<std::string> rtsFunctionNumber;
    bool allowAnonymousLogin = false;
    bool partyLineOperation = false;
    bool latchDisableTalkSelector = false;
    bool alwaysShowSelectorOffline = false;
    bool ifbDestination = false;
    bool isoDestination = false;
    bool disableLogin = false;
    bool multiplePartyLines = false;
    bool domainAuthentication = false;
    bool standardPrivileges = false;
    // Takes precedence over standardPrivileges.
    bool masterPrivileges = false;
    // No local assignment by administrator, by user; no remote assignment by
    // administrator, by user.
    std::array<bool, 4> restrictions{};
};

// The 0-based number stored for a typed 1-based one: anything but a whole
// number from 1 to 32768 (an empty field too) stores none (-1).
std::int16_t rtsFunctionNumberFromText(std::string_view typed);

// Writes the values into the label; bytes the view does not edit stay.
void applyClientEdit(LabelInfo& label, const ClientEditValues& values);

// The credentials record with the typed login name and password.
ClientCredentials editedCredentials(ClientCredentials record, int clientIndex,
                                    const ClientEditValues& values);

struct ClientSave {
    // kUnableToAddClient when no client index is free; nothing changed then.
    std::optional<std::string> error;
    int clientIndex = -1;
    int labelNumber = kNoLabel;
    // In posting order.
    std::vector<OutgoingRecord> posts;
};

// Saves the edit of `clientIndex` (-1: a new client, created at the lowest
// free index). `sourceClient` >= 0 makes the new client a duplicate of it:
// it takes the source's template links, options, audio settings and
// `sourceSelectors`, the selector assignments fetched for the source (none
// are sent without them). They come as their own copy because the store
// holds one client's selectors at a time, which may be another client's by
// the time the edit is saved.
ClientSave saveClientEdit(LabelTable& labels, ClientStore& clients, int clientIndex,
                          int sourceClient, const ClientEditValues& values,
                          const SelectorAssignments* sourceSelectors = nullptr);

// The client types the add/edit view offers, in its order: 53 and 107 only
// with RTS trunking, 54 only with Delec trunking.
std::vector<int> offeredClientTypes(bool rtsTrunking, bool delecTrunking);

} // namespace mirx::model
