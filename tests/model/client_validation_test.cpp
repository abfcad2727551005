#include "model/client_validation.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

namespace mirx::model {
namespace {

using F = ClientNameField;
using L = LabelInfo;

// Local clients and a party line, a client of local system 1 and an RTS
// port: the last two are labels of other systems.
class ClientValidationTest : public ::testing::Test {
protected:
    ClientValidationTest() {
        site::addClient(site, 10000, 0, 10, "Desk", "", "desk", "");
        site::addClient(site, 10001, 1, 50, "Stage", "", "front_desk", "");
        test::labelOf(site, 10001).set(L::kListenOnlyName, "Stage Listen");
        site::addClient(site, 10002, 2, 10, "say 'hi'", "", "", "");
        site::addPartyLine(site, 10010, 0, "Crew", "");
        site::putLabel(site, site::makeLabel({.number = 10020,
                                              .system = 1,
                                              .index = 0,
                                              .clientType = 10,
                                              .name = "Far",
                                              .description = ""}));
        site::putLabel(site, site::makeLabel({.number = 10030,
                                              .systemClass = SystemClass::Rts,
                                              .kind = 0,
                                              .index = 3,
                                              .name = "Remote",
                                              .description = ""}));
        data = test::loadSite(site);
    }

    mirx::test::LogCapture log;
    site::Site site;
    std::unique_ptr<MirrorData> data;
};

TEST_F(ClientValidationTest, FirstFailingStepWins) {
    struct Case {
        const char* what;
        ClientNames names;
        const char* error; // nullptr: valid
        F field;
        bool warning;
    };
    const Case cases[] = {
        {"login name required",
         {-1, "", "New", "", false},
         kLoginNameRequired,
         F::LoginName,
         false},
        {"login name checked before the talk name",
         {-1, "", "", "", false},
         kLoginNameRequired,
         F::LoginName,
         false},
        {"anonymous needs no login name",
         {-1, "", "", "", true},
         kTalkListenNameRequired,
         F::TalkListenName,
         false},
        {"talk name required",
         {-1, "new", "", "", false},
         kTalkListenNameRequired,
         F::TalkListenName,
         false},
        {"split port names differ",
         {-1, "new", "Same", "Same", false},
         kListenOnlySameAsTalk,
         F::ListenOnlyName,
         false},
        {"login of another client",
         {-1, "desk", "New", "", false},
         kLoginNameExists,
         F::LoginName,
         false},
        {"login as stored: blanks become underscores",
         {-1, "front desk", "New", "", false},
         kLoginNameExists,
         F::LoginName,
         false},
        {"login compares exactly", {-1, "Desk", "New", "", false}, nullptr, F::LoginName, false},
        {"anonymous login is not compared",
         {-1, "desk", "New", "", true},
         nullptr,
         F::LoginName,
         false},
        {"talk name of a party line",
         {-1, "new", "Crew", "", false},
         kTalkListenNameExists,
         F::TalkListenName,
         false},
        {"talk name of another's listen only name",
         {-1, "new", "Stage Listen", "", false},
         kTalkListenNameExists,
         F::TalkListenName,
         false},
        {"talk name as stored: quotes become single",
         {-1, "new", "say \"hi\"", "", false},
         kTalkListenNameExists,
         F::TalkListenName,
         false},
        {"listen only name of another client",
         {-1, "new", "New", "Desk", false},
         kListenOnlyNameExists,
         F::ListenOnlyName,
         false},
        {"remote talk name only warns",
         {-1, "new", "Remote", "", false},
         nullptr,
         F::LoginName,
         true},
        {"remote names on two labels warn once",
         {-1, "new", "Far", "Remote", false},
         nullptr,
         F::LoginName,
         true},
        {"own names are not duplicates",
         {0, "desk", "Desk", "", false},
         nullptr,
         F::LoginName,
         false},
        {"edit to another's name",
         {0, "desk", "Stage", "", false},
         kTalkListenNameExists,
         F::TalkListenName,
         false},
        {"edit to another's login",
         {1, "desk", "Stage", "", false},
         kLoginNameExists,
         F::LoginName,
         false},
        {"new client with an edited client's names",
         {-1, "new", "Stage", "", false},
         kTalkListenNameExists,
         F::TalkListenName,
         false},
    };
    for (const Case& c : cases) {
        const ClientValidation result = validateClientNames(data->labels, data->clients, c.names);
        if (c.error == nullptr) {
            EXPECT_TRUE(result.valid()) << c.what << ": " << result.error.value_or("");
        } else {
            ASSERT_FALSE(result.valid()) << c.what;
            EXPECT_EQ(*result.error, c.error) << c.what;
            EXPECT_EQ(result.field, c.field) << c.what;
        }
        EXPECT_EQ(result.remoteWarning, c.warning) << c.what;
    }
}

TEST(ClientValidationTexts, StoredNamesFollowTheTypingRules) {
    EXPECT_EQ(storedLoginName("front desk"), "front_desk");
    EXPECT_EQ(storedSelectorName("say \"hi\""), "say 'hi'");
    // Cut to the 20 characters the field holds.
    EXPECT_EQ(storedSelectorName("123456789012345678901234"), "12345678901234567890");
}

} // namespace
} // namespace mirx::model
