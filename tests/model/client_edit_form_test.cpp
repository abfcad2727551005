#include "model/client_edit_form.h"
#include "model/client_edit_records.h"

#include <gtest/gtest.h>
#include <string>

namespace mirx::model {
namespace {

TEST(ClientEditForm, LayoutFollowsTrunkingAndSipDevices) {
    struct Case {
        const char* what;
        bool rts;
        bool delec;
        bool sip;
        std::string longCaption;
        bool longShown;
        bool longEnabled;
        bool shortShown;
        std::size_t longLimit;
        std::size_t shortLimit;
        bool remote;
        bool rtsFunction;
    };
    const Case cases[] = {
        {"no trunking", false, false, false, "External Name (Long):", false, true, false, 20, 8,
         false, false},
        {"RTS", true, false, false, "External Alpha (8U characters)", true, true, true, 8, 4, true,
         false},
        {"Delec", false, true, false, "External Name", true, true, false, 20, 8, false, false},
        {"SIP device, no trunking", false, false, true, "External Alpha", true, false, false, 20, 8,
         false, true},
        {"SIP device, RTS", true, false, true, "External Alpha", true, false, true, 8, 4, true,
         true},
    };
    for (const Case& c : cases) {
        const ClientEditLayout layout = clientEditLayout(c.rts, c.delec, c.sip, false);
        EXPECT_EQ(layout.externalLongCaption, c.longCaption) << c.what;
        EXPECT_EQ(layout.externalLongShown, c.longShown) << c.what;
        EXPECT_EQ(layout.externalLongEnabled, c.longEnabled) << c.what;
        EXPECT_EQ(layout.externalShortShown, c.shortShown) << c.what;
        EXPECT_EQ(layout.externalLongLimit, c.longLimit) << c.what;
        EXPECT_EQ(layout.externalShortLimit, c.shortLimit) << c.what;
        EXPECT_EQ(layout.remoteRestrictionsShown, c.remote) << c.what;
        EXPECT_EQ(layout.rtsFunctionShown, c.rtsFunction) << c.what;
        EXPECT_FALSE(layout.masterPrivilegesEnabled) << c.what;
    }
    EXPECT_STREQ(clientEditLayout(true, false, false, true).externalShortCaption,
                 "External Alpha (4 characters)");
    EXPECT_TRUE(clientEditLayout(false, false, false, true).masterPrivilegesEnabled);
}

TEST(ClientEditForm, EnablingFollowsTheClientType) {
    struct Case {
        int type;
        bool anonymous;
        bool domain;
        ClientEditEnabling expected;
    };
    // listen only, anonymous, offline, latch, IFB, ISO, party line, multiple, login, password
    const Case cases[] = {
        {10, false, false, {false, true, true, true, true, true, false, false, true, true}},
        {50, false, false, {true, true, true, true, true, true, true, true, true, true}},
        {52, false, false, {false, true, true, true, true, true, true, true, true, true}},
        {53, false, false, {false, false, false, false, false, false, false, true, true, true}},
        {107, false, false, {false, false, false, false, false, false, false, true, true, true}},
        {104, true, false, {false, true, true, true, true, true, true, true, false, true}},
        {150, false, true, {false, true, true, true, true, true, true, true, true, false}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(clientEditEnabling(c.type, c.anonymous, c.domain), c.expected) << c.type;
    }
}

TEST(ClientEditForm, TypeNotOfferedShowsTheFirstEntry) {
    const auto offered = offeredClientTypes(false, false);
    EXPECT_EQ(clientTypePosition(offered, 10), 0u);
    EXPECT_EQ(clientTypePosition(offered, 104), 17u);
    for (const int missing : {11, 14, 51, 151, 53}) {
        EXPECT_EQ(clientTypePosition(offered, missing), 0u) << missing;
    }
}

} // namespace
} // namespace mirx::model
