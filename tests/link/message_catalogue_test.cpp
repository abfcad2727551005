#include "link/message_catalogue.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

namespace mirx::msg {
namespace {

struct RouteCase {
    std::uint16_t id;
    Route route;
};

TEST(MessageCatalogue, RoutesWhatTheServerSends) {
    const RouteCase cases[] = {
        {APPLICATION_ID, Route::UpdateExchange},
        {APPLICATION_COMPONENT_BLOCK_RESPONSE, Route::UpdateExchange},
        {APPLICATION_COMPONENT_INFO_REQUEST, Route::NotRecognized}, // the console's own request
        {9, Route::NotRecognized},
        {CLIENT_DEBUG_FILTER, Route::MainDispatch},
        {CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, Route::MainDispatch}, // both directions
        {CONFIGURATION_DATA_DEFAULT_CLIENT_OPTIONS, Route::NotRecognized},
        {ADMIN_LOGIN_REQUEST, Route::NotRecognized},
        {ADMIN_CLIENT_OPTIONS_INFO_RESPONSE, Route::MainDispatch},
        {6059, Route::NotRecognized},
        {6060, Route::NotRecognized},
        {ADMIN_TRUNKING_MODE, Route::MainDispatch},
        {1004, Route::NotRecognized},
        {KEEP_ALIVE, Route::KeepAlive},
    };
    for (const RouteCase& c : cases) {
        EXPECT_EQ(routeReceived(c.id), c.route) << "ID " << c.id;
    }
}

TEST(MessageCatalogue, LooksUpNamesAndLimits) {
    EXPECT_EQ(messageName(6000), "ADMIN_LOGIN_REQUEST");
    EXPECT_EQ(messageName(6060), "UNKNOWN");
    ASSERT_NE(findMessage(CONFIGURATION_DATA_SYSTEM_LIST), nullptr);
    EXPECT_EQ(findMessage(CONFIGURATION_DATA_SYSTEM_LIST)->maxPayload, 9600u);
    EXPECT_EQ(findMessage(CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS)->maxPayload, 11028u);
    EXPECT_EQ(findMessage(1004), nullptr);
}

TEST(MessageCatalogue, ReportsUnrecognizedIdsWithPeerAndLength) {
    test::LogCapture capture;
    reportNotRecognized("10.0.0.5:1000", 5, 8);
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{"[10.0.0.5:1000] Message ID 5 not recognized (Size of "
                                       "message: 8 bytes)"});
}

} // namespace
} // namespace mirx::msg
