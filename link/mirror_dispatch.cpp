#include "link/mirror_dispatch.h"

#include "core/debug_log.h"
#include "link/message_catalogue.h"

namespace mirx::link {

bool MirrorDispatch::Store(std::uint16_t id, std::uint16_t second,
                           std::span<const std::uint8_t> payload, const std::string& peerText) {
    using namespace model;
    MirrorFlags& flags = mirror_.flags();
    switch (id) {
    case msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS:
        mirror_.edit([&](MirrorData& d) { d.clients.ReceiveSelectorAssignments(second, payload); });
        return true;
    case msg::CONFIGURATION_DATA_CLIENT_OPTIONS:
        mirror_.edit([&](MirrorData& d) {
            d.clients.ReceiveOptions(second, payload, d.clients.loginName(second));
        });
        return true;
    case msg::CONFIGURATION_DATA_AUDIO_SETTINGS:
        mirror_.edit([&](MirrorData& d) {
            d.clients.ReceiveAudio(second, payload, d.clients.loginName(second));
        });
        return true;
    case msg::CONFIGURATION_DATA_SYSTEM_SETTINGS:
        if (payload.size() <= SystemSettings::kSize) {
            mirror_.edit([&](MirrorData& d) { d.systemSettings.assignPrefix(payload); });
            flags.systemSettings.raise();
        }
        return true;
    case msg::CONFIGURATION_DATA_CLIENT_CREDENTIALS_LIST:
        mirror_.edit(
            [&](MirrorData& d) { d.clients.ReceiveCredentialsList(second, payload, peerText); });
        return true;
    case msg::CONFIGURATION_DATA_CLIENT_CREDENTIALS:
        mirror_.edit([&](MirrorData& d) { d.clients.ReceiveCredentials(second, payload); });
        return true;
    case msg::CONFIGURATION_DATA_LABEL:
        mirror_.edit([&](MirrorData& d) { d.labels.Store(second, payload); });
        flags.labels.raise();
        return true;
    case msg::CONFIGURATION_DATA_SYSTEM_LIST:
        log::print("{%s}: Processing CONFIGURATION_DATA_SYSTEM_LIST (iSize: %d)", peerText.c_str(),
                   static_cast<int>(payload.size()));
        mirror_.edit([&](MirrorData& d) { d.labels.StoreSystemList(second, payload); });
        flags.labels.raise();
        return true;
    case msg::CONFIGURATION_DATA_USER_INTERFACE_SETTINGS:
        if (payload.size() <= UserInterfaceSettings::kSize) {
            mirror_.edit([&](MirrorData& d) { d.userInterfaceSettings.assignPrefix(payload); });
            flags.userInterfaceSettings.raise();
        }
        return true;
    case msg::ADMIN_ACTIVITY_LOG_RESPONSE:
    case msg::ADMIN_DEBUG_LOG_RESPONSE: {
        // A payload too short for its time stamp still answers the request,
        // as one with nothing new: the pull goes on instead of waiting for
        // an answer that already came.
        LogChunk chunk = decodeLogChunk(payload).value_or(LogChunk{});
        const bool debug = id == msg::ADMIN_DEBUG_LOG_RESPONSE;
        mirror_.edit([&](MirrorData& d) {
            (debug ? d.debugLogChunk : d.activityLogChunk) = std::move(chunk);
        });
        (debug ? flags.debugLog : flags.activityLog).raise();
        return true;
    }
    case msg::ADMIN_PARTY_LINE_MEMBERSHIP_RESPONSE:
        mirror_.edit([&](MirrorData& d) { d.membership.ReceivePartyLineMembership(payload); });
        return true;
    case msg::ADMIN_FIXED_GROUP_MEMBERSHIP_RESPONSE:
        mirror_.edit([&](MirrorData& d) { d.membership.ReceiveFixedGroupMembership(payload); });
        return true;
    case msg::ADMIN_BLOCKED_LISTEN_RESPONSE:
        mirror_.edit([&](MirrorData& d) { d.membership.ReceiveBlockedListen(payload); });
        return true;
    case msg::ADMIN_FORCED_LISTEN_RESPONSE:
        mirror_.edit([&](MirrorData& d) { d.membership.ReceiveForcedListen(payload); });
        return true;
    case msg::ADMIN_CLIENT_STATISTICS_RESPONSE:
        mirror_.edit([&](MirrorData& d) { storeStatistics(d.statistics, payload); });
        flags.statistics.raise();
        return true;
    case msg::ADMIN_SIP_REGISTRATIONS_RESPONSE:
        mirror_.edit([&](MirrorData& d) { d.sipRegistrations = decodeSipRegistrations(payload); });
        flags.sipRegistrations.raise();
        return true;
    case msg::ADMIN_GET_DEBUG_FILTER_RESPONSE:
        log::print("{-}: Processing ADMIN_GET_DEBUG_FILTER_RESPONSE ... # of Filters: %d", second);
        mirror_.edit(
            [&](MirrorData& d) { d.debugFilters = decodeDebugFilterList(second, payload); });
        flags.debugFilters.raise();
        return true;
    case msg::ADMIN_USER_INTERFACE_INFO_RESPONSE:
        mirror_.edit([&](MirrorData& d) {
            d.graphicFiles = decodeGraphicFileList(payload);
            ++d.graphicFileLists;
        });
        flags.graphicFiles.raise();
        return true;
    case msg::ADMIN_CLIENT_OPTIONS_INFO_RESPONSE:
        mirror_.edit([&](MirrorData& d) { d.clients.ReceiveOptionsInfo(payload); });
        return true;
    default:
        return false;
    }
}

} // namespace mirx::link
