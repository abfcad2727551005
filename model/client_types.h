#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The client types, RTS function types and RTS label types the server knows,
// each kept in one table with the names the console shows.

namespace mirx::model {

struct ClientTypeInfo {
    std::uint8_t code;
    std::string_view longName;
    std::string_view shortName;
};

// In the server's order, which is not numeric order (15 before 14, 103
// before 102); lookups search it front to back.
std::span<const ClientTypeInfo> clientTypes();
std::optional<ClientTypeInfo> findClientType(int code);
std::optional<std::string_view> clientTypeName(int code, bool longName);

// The short name split at its colon: "MCP: Linux" gives "MCP" and "Linux".
struct ClientTypeParts {
    std::string_view kind;
    std::string_view name;
};
std::optional<ClientTypeParts> clientTypeParts(int code);

inline constexpr std::uint8_t kRtspVideoSourceType = 150;
inline constexpr std::uint8_t kMdvRtsTrunkType = 53;
inline constexpr std::uint8_t kSipRtsTrunkType = 107;

constexpr bool isControlPanel(int code) {
    return code >= 10 && code <= 49;
}
constexpr bool isDeviceInterface(int code) {
    return code >= 50 && code <= 99;
}
constexpr bool isSipDevice(int code) {
    return code >= 100 && code <= 149;
}
constexpr bool isVideoSource(int code) {
    return code == kRtspVideoSourceType;
}
constexpr bool isRtsTrunk(int code) {
    return code == kMdvRtsTrunkType || code == kSipRtsTrunkType;
}

struct FunctionTypeInfo {
    std::uint8_t code;
    // Begins with a blank, as the combo boxes list it.
    std::string_view comboName;
    std::string_view shortName;
};

inline constexpr std::string_view kInvalidFunctionType = "INVALID FUNCTION TYPE";

std::span<const FunctionTypeInfo> functionTypes();
// kInvalidFunctionType for a code not in the table.
std::string_view functionTypeComboName(int code);
std::string_view functionTypeShortName(int code);

// Names of the RTS label types 0..8 (the label kind of an RTS label).
std::optional<std::string_view> rtsLabelTypeName(int type);

} // namespace mirx::model
