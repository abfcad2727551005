#pragma once

#include <cstdint>

// Every message the console sends or understands, defined once. Each row:
//   X(name, id, direction, second value meaning, largest payload accepted)
// The largest payload is that of the record the message fills; 0 means the
// receiver bounds the copy by its own buffer.

#define MIRX_MESSAGE_TABLE(X)                                                                      \
    /* Application identification and update exchange */                                           \
    X(APPLICATION_ID, 0, ToConsole, "ignored", 0)                                                  \
    X(APPLICATION_COMPATIBILITY_REQUEST, 1, ToServer, "0", 0)                                      \
    X(APPLICATION_COMPATIBILITY_RESPONSE, 2, ToConsole, "ignored", 0)                              \
    X(APPLICATION_INFO_REQUEST, 3, ToServer, "0", 0)                                               \
    X(APPLICATION_INFO_RESPONSE, 4, ToConsole, "ignored", 0)                                       \
    X(APPLICATION_COMPONENT_INFO_REQUEST, 5, ToServer, "0", 0)                                     \
    X(APPLICATION_COMPONENT_INFO_RESPONSE, 6, ToConsole, "ignored", 0)                             \
    X(APPLICATION_COMPONENT_BLOCK_REQUEST, 7, ToServer, "0", 0)                                    \
    X(APPLICATION_COMPONENT_BLOCK_RESPONSE, 8, ToConsole, "ignored", 0)                            \
    /* Debug filter push */                                                                        \
    X(CLIENT_DEBUG_FILTER, 1003, ToConsole, "number of filters", 1024)                             \
    /* Configuration records */                                                                    \
    X(CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, 2001, Both, "client index or 0xFFFF", 11028)        \
    X(CONFIGURATION_DATA_CLIENT_OPTIONS, 2004, Both,                                               \
      "client index, 0xFFFF default or 0xFFFE SIP default", 550)                                   \
    X(CONFIGURATION_DATA_SYSTEM_SETTINGS, 2005, Both, "0", 1200)                                   \
    X(CONFIGURATION_DATA_AUDIO_SETTINGS, 2006, Both, "client index or 0xFFFF", 50)                 \
    X(CONFIGURATION_DATA_CLIENT_CREDENTIALS_LIST, 2008, ToConsole, "number of entries", 146000)    \
    X(CONFIGURATION_DATA_CLIENT_CREDENTIALS, 2009, ToConsole, "client index or 0xFFFF", 146)       \
    X(CONFIGURATION_DATA_LABEL, 2010, ToConsole, "label number", 300)                              \
    X(CONFIGURATION_DATA_SYSTEM_LIST, 2011, ToConsole, "number of systems", 9600)                  \
    X(CONFIGURATION_DATA_DEFAULT_SELECTOR_ASSIGNMENTS, 2012, ToServer,                             \
      "1 = apply to clients on the prior defaults", 0)                                             \
    X(CONFIGURATION_DATA_DEFAULT_CLIENT_OPTIONS, 2013, ToServer,                                   \
      "1 = apply to clients on the prior defaults", 0)                                             \
    X(CONFIGURATION_DATA_DEFAULT_AUDIO_SETTINGS, 2014, ToServer,                                   \
      "1 = apply to clients on the prior defaults", 0)                                             \
    X(CONFIGURATION_DATA_USER_INTERFACE_SETTINGS, 2018, Both, "0", 200)                            \
    /* Administration requests and responses */                                                    \
    X(ADMIN_LOGIN_REQUEST, 6000, ToServer, "0", 0)                                                 \
    X(ADMIN_LOGIN_ACCEPTED, 6001, ToConsole, "ignored", 0)                                         \
    X(ADMIN_LOGIN_COMPLETE, 6002, ToConsole, "ignored", 0)                                         \
    X(CLIENT_LOGIN_RESPONSE, 6003, ToConsole, "ignored", 0)                                        \
    X(ADMIN_SYSTEM_STATUS_REQUEST, 6004, ToServer, "0", 0)                                         \
    X(ADMIN_SYSTEM_STATUS_RESPONSE, 6005, ToConsole, "ignored", 0)                                 \
    X(ADMIN_AUDIO_SETTINGS_REQUEST, 6006, ToServer, "client index or 0xFFFF", 0)                   \
    X(ADMIN_CLIENT_OPTIONS_REQUEST, 6009, ToServer, "client index or 0xFFFF", 0)                   \
    X(ADMIN_LABEL_UPDATE, 6012, ToServer, "label number", 0)                                       \
    X(ADMIN_DELETE_ENTRY, 6014, ToServer, "label number of the deleted client or group", 0)        \
    X(ADMIN_SELECTOR_ASSIGNMENTS_REQUEST, 6015, ToServer, "client index or 0xFFFF", 0)             \
    X(ADMIN_ACTIVITY_LOG_REQUEST, 6018, ToServer, "0", 0)                                          \
    X(ADMIN_ACTIVITY_LOG_RESPONSE, 6019, ToConsole, "ignored", 0)                                  \
    X(ADMIN_DEBUG_LOG_REQUEST, 6020, ToServer, "0", 0)                                             \
    X(ADMIN_DEBUG_LOG_RESPONSE, 6021, ToConsole, "ignored", 0)                                     \
    X(ADMIN_SYSTEM_RESTART_REQUEST, 6022, ToServer, "0", 0)                                        \
    X(ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST, 6023, ToServer, "party line label number", 0)           \
    X(ADMIN_PARTY_LINE_MEMBERSHIP_RESPONSE, 6024, ToConsole, "ignored", 10004)                     \
    X(ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE, 6025, ToServer, "party line label number", 0)            \
    X(ADMIN_FIXED_GROUP_MEMBERSHIP_REQUEST, 6026, ToServer, "fixed group index", 0)                \
    X(ADMIN_FIXED_GROUP_MEMBERSHIP_RESPONSE, 6027, ToConsole, "ignored", 125)                      \
    X(ADMIN_FIXED_GROUP_MEMBERSHIP_UPDATE, 6028, ToServer, "fixed group index", 0)                 \
    X(ADMIN_CLIENT_STATISTICS_RESET, 6031, ToServer, "0", 0)                                       \
    X(ADMIN_CLIENT_STATISTICS_REQUEST, 6032, ToServer, "0", 0)                                     \
    X(ADMIN_CLIENT_STATISTICS_RESPONSE, 6033, ToConsole, "ignored", 0)                             \
    X(ADMIN_CLIENT_CREDENTIALS_UPDATE, 6034, ToServer, "0", 0)                                     \
    X(ADMIN_SIP_REGISTRATIONS_REQUEST, 6035, ToServer, "0", 0)                                     \
    X(ADMIN_SIP_REGISTRATIONS_RESPONSE, 6036, ToConsole, "ignored", 0)                             \
    X(ADMIN_FORCE_FAILOVER_REQUEST, 6040, ToServer, "0", 0)                                        \
    X(ADMIN_GET_DEBUG_FILTER_REQUEST, 6043, ToServer, "0", 0)                                      \
    X(ADMIN_GET_DEBUG_FILTER_RESPONSE, 6044, ToConsole, "number of filters", 1024)                 \
    X(ADMIN_SET_DEBUG_FILTER_REQUEST, 6045, ToServer, "number of filters", 0)                      \
    X(ADMIN_BLOCKED_LISTEN_REQUEST, 6048, ToServer, "listening client index", 0)                   \
    X(ADMIN_BLOCKED_LISTEN_RESPONSE, 6049, ToConsole, "ignored", 125)                              \
    X(ADMIN_BLOCKED_LISTEN_UPDATE, 6050, ToServer, "listening client index", 0)                    \
    X(ADMIN_FORCED_LISTEN_REQUEST, 6051, ToServer, "listening client index", 0)                    \
    X(ADMIN_FORCED_LISTEN_RESPONSE, 6052, ToConsole, "ignored", 125)                               \
    X(ADMIN_FORCED_LISTEN_UPDATE, 6053, ToServer, "listening client index", 0)                     \
    X(ADMIN_USER_INTERFACE_INFO_REQUEST, 6054, ToServer, "0xFFFF", 0)                              \
    X(ADMIN_USER_INTERFACE_INFO_RESPONSE, 6055, ToConsole, "ignored", 0)                           \
    X(ADMIN_USER_INTERFACE_FILE_UPLOAD, 6056, ToServer, "0", 0)                                    \
    X(ADMIN_CLIENT_OPTIONS_INFO_REQUEST, 6057, ToServer, "0xFFFF", 0)                              \
    X(ADMIN_CLIENT_OPTIONS_INFO_RESPONSE, 6058, ToConsole, "ignored", 0)                           \
    X(ADMIN_CLIENT_OPTIONS_FILE_UPLOAD, 6059, ToServer, "0", 0)                                    \
    /* Trunking mode, sent by the server before ADMIN_LOGIN_COMPLETE (docs/protocol.md) */         \
    X(ADMIN_TRUNKING_MODE, 6100, ToConsole, "0", 1)                                                \
    /* Link level */                                                                               \
    X(KEEP_ALIVE, 0xFFFF, Both, "auto-disconnect check time in ms", 0)

namespace mirx::msg {

// Message IDs by name: msg::ADMIN_LOGIN_REQUEST.
enum MessageId : std::uint16_t {
#define MIRX_MESSAGE_ENUM(name, id, direction, second, maxPayload) name = (id),
    MIRX_MESSAGE_TABLE(MIRX_MESSAGE_ENUM)
#undef MIRX_MESSAGE_ENUM
};

} // namespace mirx::msg
