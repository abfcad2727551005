#include "model/client_types.h"

#include <array>

namespace mirx::model {
namespace {

constexpr std::array kClientTypes{
    ClientTypeInfo{10, "MIRX Control Panel: Windows Desktop", "MCP: Windows Desktop"},
    ClientTypeInfo{11, "MIRX Control Panel: Windows Mobile", "MCP: Windows Mobile"},
    ClientTypeInfo{12, "MIRX Control Panel: QP-10", "MCP: QP-10"},
    ClientTypeInfo{13, "MIRX Control Panel: QP-20", "MCP: QP-20"},
    ClientTypeInfo{15, "MIRX Control Panel: QP-21", "MCP: QP-21"},
    ClientTypeInfo{14, "MIRX Control Panel: QP-30", "MCP: QP-30"},
    ClientTypeInfo{16, "MIRX Control Panel: Apple iOS", "MCP: Apple iOS"},
    ClientTypeInfo{17, "MIRX Control Panel: Google Android", "MCP: Google Android"},
    ClientTypeInfo{18, "MIRX Control Panel: Apple MAC", "MCP: Apple MAC"},
    ClientTypeInfo{19, "MIRX Control Panel: Linux", "MCP: Linux"},
    ClientTypeInfo{20, "MIRX Control Panel: QP-22", "MCP: QP-22"},
    ClientTypeInfo{21, "MIRX Control Panel: QP-32", "MCP: QP-32"},
    ClientTypeInfo{22, "MIRX Control Panel: QP-42", "MCP: QP-42"},
    ClientTypeInfo{50, "MIRX Device Interface: Four-Wire Interface", "MDV: Four-Wire Interface"},
    ClientTypeInfo{51, "MIRX Device Interface: Telephone Interface", "MDV: Telephone Interface"},
    ClientTypeInfo{52, "MIRX Device Interface: 2-Way Radio Interface",
                   "MDV: 2-Way Radio Interface"},
    ClientTypeInfo{53, "MIRX Device Interface: RTS Trunk", "MDV: RTS Trunk"},
    ClientTypeInfo{54, "MIRX Device Interface: Delec Trunk", "MDV: Delec Trunk"},
    ClientTypeInfo{100, "SIP Device: Analog Telephony Adapter (FXS)", "SIP: Telephone Adapter"},
    ClientTypeInfo{101, "SIP Device: PSTN Telephone Interface (FXO)", "SIP: Telephone Interface"},
    ClientTypeInfo{103, "SIP Device: Hardphone / Stand alone IP Phone", "SIP: Hardphone"},
    ClientTypeInfo{102, "SIP Device: Softphone", "SIP: Softphone"},
    ClientTypeInfo{104, "SIP Device: Intersystem/PBX Direct IP Trunk", "SIP: Direct IP Trunk"},
    ClientTypeInfo{105, "SIP Device: Intersystem/PBX Registered Trunk", "SIP: Registered Trunk"},
    ClientTypeInfo{106, "SIP Device: Four-Wire Interface", "SIP: Four-Wire Interface"},
    ClientTypeInfo{107, "SIP Device: RTS Trunk", "SIP: RTS Trunk"},
    ClientTypeInfo{150, "VIDEO: RTSP Streaming Video Source (Client/Server)",
                   "VIDEO: RTSP Video Stream"},
    ClientTypeInfo{151, "VIDEO: HTTP/RTMP Streaming Video Source (P2P)",
                   "VIDEO: HTTP/RTMP Video Stream"},
};

constexpr std::array kFunctionTypes{
    FunctionTypeInfo{0, " RTS Port", "Port"},
    FunctionTypeInfo{1, " RTS Partyline", "Partyline"},
    FunctionTypeInfo{2, " RTS IFB", "IFB"},
    FunctionTypeInfo{3, " RTS Special List", "Special List"},
    FunctionTypeInfo{4, " RTS Relay", "Relay"},
    FunctionTypeInfo{5, " RTS ISO", "ISO"},
    FunctionTypeInfo{6, " RTS URL Resources", "URL Resources"},
    FunctionTypeInfo{7, " RTS IFB Special List", "IFB Special List"},
};

constexpr std::array<std::string_view, 9> kRtsLabelTypeNames{
    "RTS Port",
    "RTS Party Line",
    "RTS IFB",
    "RTS Special List",
    "RTS Relay",
    "RTS ISO",
    "RTS UPL Resources",
    "RTS IFB Special List",
    "RTS IFB with Auto-Table",
};

const FunctionTypeInfo* findFunctionType(int code) {
    for (const auto& type : kFunctionTypes) {
        if (type.code == code) {
            return &type;
        }
    }
    return nullptr;
}

} // namespace

std::span<const ClientTypeInfo> clientTypes() {
    return kClientTypes;
}

std::optional<ClientTypeInfo> findClientType(int code) {
    for (const auto& type : kClientTypes) {
        if (type.code == code) {
            return type;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> clientTypeName(int code, bool longName) {
    const auto type = findClientType(code);
    if (!type) {
        return std::nullopt;
    }
    return longName ? type->longName : type->shortName;
}

std::optional<ClientTypeParts> clientTypeParts(int code) {
    const auto type = findClientType(code);
    if (!type) {
        return std::nullopt;
    }
    const std::string_view shortName = type->shortName;
    const std::size_t colon = shortName.find(':');
    if (colon == std::string_view::npos) {
        return ClientTypeParts{{}, shortName};
    }
    std::string_view rest = shortName.substr(colon + 1);
    if (!rest.empty() && rest.front() == ' ') {
        rest.remove_prefix(1);
    }
    return ClientTypeParts{shortName.substr(0, colon), rest};
}

std::span<const FunctionTypeInfo> functionTypes() {
    return kFunctionTypes;
}

std::string_view functionTypeComboName(int code) {
    const auto* type = findFunctionType(code);
    return type != nullptr ? type->comboName : kInvalidFunctionType;
}

std::string_view functionTypeShortName(int code) {
    const auto* type = findFunctionType(code);
    return type != nullptr ? type->shortName : kInvalidFunctionType;
}

std::optional<std::string_view> rtsLabelTypeName(int type) {
    if (type < 0 || static_cast<std::size_t>(type) >= kRtsLabelTypeNames.size()) {
        return std::nullopt;
    }
    return kRtsLabelTypeNames[static_cast<std::size_t>(type)];
}

} // namespace mirx::model
