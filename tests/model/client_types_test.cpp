#include "model/client_types.h"

#include <gtest/gtest.h>
#include <optional>
#include <string_view>
#include <vector>

namespace mirx::model {
namespace {

TEST(ClientTypes, TableKeepsTheServersOrder) {
    const std::vector<int> expected{10,  11,  12,  13,  15,  14,  16,  17, 18,  19,
                                    20,  21,  22,  50,  51,  52,  53,  54, 100, 101,
                                    103, 102, 104, 105, 106, 107, 150, 151};
    std::vector<int> codes;
    for (const auto& type : clientTypes()) {
        codes.push_back(type.code);
    }
    EXPECT_EQ(codes, expected);
}

TEST(ClientTypes, NamesByCode) {
    struct Case {
        int code;
        std::string_view longName;
        std::string_view shortName;
    };
    const std::vector<Case> cases{
        {10, "MIRX Control Panel: Windows Desktop", "MCP: Windows Desktop"},
        {15, "MIRX Control Panel: QP-21", "MCP: QP-21"},
        {14, "MIRX Control Panel: QP-30", "MCP: QP-30"},
        {52, "MIRX Device Interface: 2-Way Radio Interface", "MDV: 2-Way Radio Interface"},
        {103, "SIP Device: Hardphone / Stand alone IP Phone", "SIP: Hardphone"},
        {102, "SIP Device: Softphone", "SIP: Softphone"},
        {150, "VIDEO: RTSP Streaming Video Source (Client/Server)", "VIDEO: RTSP Video Stream"},
        {151, "VIDEO: HTTP/RTMP Streaming Video Source (P2P)", "VIDEO: HTTP/RTMP Video Stream"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(clientTypeName(c.code, true), c.longName);
        EXPECT_EQ(clientTypeName(c.code, false), c.shortName);
    }
    for (int unknown : {0, 9, 23, 55, 152, 255, -1}) {
        SCOPED_TRACE(unknown);
        EXPECT_EQ(findClientType(unknown), std::nullopt);
        EXPECT_EQ(clientTypeName(unknown, true), std::nullopt);
    }
}

TEST(ClientTypes, ClassPredicates) {
    struct Case {
        int code;
        bool panel, device, sip, video, rtsTrunk;
    };
    const std::vector<Case> cases{
        {9, false, false, false, false, false},   {10, true, false, false, false, false},
        {49, true, false, false, false, false},   {50, false, true, false, false, false},
        {53, false, true, false, false, true},    {99, false, true, false, false, false},
        {100, false, false, true, false, false},  {107, false, false, true, false, true},
        {149, false, false, true, false, false},  {150, false, false, false, true, false},
        {151, false, false, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(isControlPanel(c.code), c.panel);
        EXPECT_EQ(isDeviceInterface(c.code), c.device);
        EXPECT_EQ(isSipDevice(c.code), c.sip);
        EXPECT_EQ(isVideoSource(c.code), c.video);
        EXPECT_EQ(isRtsTrunk(c.code), c.rtsTrunk);
    }
}

TEST(FunctionTypes, NamesAndFallback) {
    struct Case {
        int code;
        std::string_view combo;
        std::string_view shortName;
    };
    const std::vector<Case> cases{
        {0, " RTS Port", "Port"},
        {1, " RTS Partyline", "Partyline"},
        {6, " RTS URL Resources", "URL Resources"},
        {7, " RTS IFB Special List", "IFB Special List"},
        {8, "INVALID FUNCTION TYPE", "INVALID FUNCTION TYPE"},
        {255, "INVALID FUNCTION TYPE", "INVALID FUNCTION TYPE"},
        {-1, "INVALID FUNCTION TYPE", "INVALID FUNCTION TYPE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(functionTypeComboName(c.code), c.combo);
        EXPECT_EQ(functionTypeShortName(c.code), c.shortName);
    }
    EXPECT_EQ(functionTypes().size(), 8u);
}

TEST(RtsLabelTypes, NamesZeroToEight) {
    EXPECT_EQ(rtsLabelTypeName(0), "RTS Port");
    EXPECT_EQ(rtsLabelTypeName(1), "RTS Party Line");
    EXPECT_EQ(rtsLabelTypeName(6), "RTS UPL Resources");
    EXPECT_EQ(rtsLabelTypeName(8), "RTS IFB with Auto-Table");
    EXPECT_EQ(rtsLabelTypeName(9), std::nullopt);
    EXPECT_EQ(rtsLabelTypeName(-1), std::nullopt);
}

} // namespace
} // namespace mirx::model
