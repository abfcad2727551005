#pragma once

#include <cstddef>
#include <span>

// Which controls of the add/edit view are shown and enabled, their captions
// and entry limits: by the server's trunking mode, the kind of client being
// edited and the ticked boxes.

namespace mirx::model {

struct ClientEditLayout {
    // Caption, visibility and entry limit of the two external names.
    const char* externalLongCaption = "External Name (Long):";
    const char* externalShortCaption = "External Name (Short):";
    bool externalLongShown = false;
    bool externalShortShown = false;
    bool externalLongEnabled = true;
    std::size_t externalLongLimit = 20;
    std::size_t externalShortLimit = 8;
    // "No Remote Assignment By Administrator" and "... By User".
    bool remoteRestrictionsShown = false;
    // "RTS Function Type:" and "RTS Function Number:" with their controls.
    bool rtsFunctionShown = false;
    // "Master System Administration Privileges".
    bool masterPrivilegesEnabled = false;
};

// `existingSipDevice`: an existing client of a SIP device type is edited.
// `masterAdministrator`: the logged-in administrator has privilege level 1.
ClientEditLayout clientEditLayout(bool rtsTrunking, bool delecTrunking, bool existingSipDevice,
                                  bool masterAdministrator);

struct ClientEditEnabling {
    bool listenOnlyName = false;
    bool allowAnonymousLogin = true;
    bool alwaysShowSelectorOffline = true;
    bool latchDisableTalkSelector = true;
    bool ifbDestination = true;
    bool isoDestination = true;
    bool partyLineOperation = false;
    bool multiplePartyLines = false;
    bool loginName = true;
    bool password = true;

    friend bool operator==(const ClientEditEnabling&, const ClientEditEnabling&) = default;
};

// Recomputed whenever the client type or one of the two boxes changes.
ClientEditEnabling clientEditEnabling(int clientType, bool allowAnonymousLogin,
                                      bool domainAuthentication);

// Position of a client type in the offered list; the first entry when the
// type is not offered.
std::size_t clientTypePosition(std::span<const int> offered, int clientType);

} // namespace mirx::model
