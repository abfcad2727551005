#include "model/client_edit_form.h"

#include "model/client_types.h"

#include <algorithm>

namespace mirx::model {

ClientEditLayout clientEditLayout(bool rtsTrunking, bool delecTrunking, bool existingSipDevice,
                                  bool masterAdministrator) {
    ClientEditLayout layout;
    if (rtsTrunking) {
        layout.externalLongCaption = "External Alpha (8U characters)";
        layout.externalShortCaption = "External Alpha (4 characters)";
        layout.externalLongShown = true;
        layout.externalShortShown = true;
        layout.remoteRestrictionsShown = true;
        layout.externalLongLimit = 8;
        layout.externalShortLimit = 4;
    } else if (delecTrunking) {
        layout.externalLongCaption = "External Name";
        layout.externalLongShown = true;
    }
    if (existingSipDevice) {
        layout.externalLongCaption = "External Alpha";
        layout.externalLongShown = true;
        layout.externalLongEnabled = false;
        layout.rtsFunctionShown = true;
    }
    layout.masterPrivilegesEnabled = masterAdministrator;
    return layout;
}

ClientEditEnabling clientEditEnabling(int clientType, bool allowAnonymousLogin,
                                      bool domainAuthentication) {
    constexpr int kFourWireInterface = 50;
    ClientEditEnabling e;
    const bool trunk = isRtsTrunk(clientType);
    e.listenOnlyName = clientType == kFourWireInterface;
    e.allowAnonymousLogin = !trunk;
    e.alwaysShowSelectorOffline = !trunk;
    e.latchDisableTalkSelector = !trunk;
    e.ifbDestination = !trunk;
    e.isoDestination = !trunk;
    e.partyLineOperation = clientType >= kFourWireInterface && !trunk;
    e.multiplePartyLines = clientType >= kFourWireInterface;
    e.loginName = !allowAnonymousLogin;
    e.password = !domainAuthentication;
    return e;
}

std::size_t clientTypePosition(std::span<const int> offered, int clientType) {
    const auto found = std::find(offered.begin(), offered.end(), clientType);
    return found == offered.end() ? 0 : static_cast<std::size_t>(found - offered.begin());
}

} // namespace mirx::model
