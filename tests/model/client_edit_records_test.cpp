#include "core/message_ids.h"
#include "model/client_edit_records.h"
#include "model/client_types.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::model {
namespace {

using L = LabelInfo;
using Cr = ClientCredentials;

std::vector<std::uint8_t> bytesOf(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

ClientEditValues typed() {
    ClientEditValues v;
    v.clientType = 50;
    v.description = "The \"main\" desk";
    v.loginName = "front desk";
    v.password = "se\"cret";
    v.talkListenName = "Front \"A\"";
    v.listenOnlyName = "Front L";
    v.externalLongName = "FRONTLONG";
    v.externalShortName = "FRNT";
    v.partyLineOperation = true;
    v.ifbDestination = true;
    v.disableLogin = true;
    v.multiplePartyLines = true;
    v.standardPrivileges = true;
    v.restrictions = {true, false, false, true};
    return v;
}

class ClientEditRecordsTest : public ::testing::Test {
protected:
    ClientEditRecordsTest() {
        site::addClient(site, 10000, 0, 10, "Desk", "", "desk", "pw");
        site::addClient(site, 10001, 1, 104, "Trunk", "", "trunk", "tp");
        site::addClient(site, 10003, 3, 10, "Three", "", "three", "");
        data = test::loadSite(site);
    }

    mirx::test::LogCapture log;
    site::Site site;
    std::unique_ptr<MirrorData> data;
};

TEST_F(ClientEditRecordsTest, NewClientTakesTheLowestFreeIndexAndPostsBothRecords) {
    const ClientSave save = saveClientEdit(data->labels, data->clients, -1, -1, typed());
    ASSERT_FALSE(save.error);
    EXPECT_EQ(save.clientIndex, 2);
    EXPECT_EQ(save.labelNumber, 10004);
    EXPECT_EQ(data->clients.credentialsCount(), 4u);

    Cr credentials = initialCredentials(2);
    credentials.set(Cr::kLoginName, "front_desk");
    credentials.set(Cr::kPassword, "se'cret");

    L label = site::makeLabel({.number = 10004,
                               .index = 2,
                               .clientType = 50,
                               .name = "Front 'A'",
                               .description = "The 'main' desk"});
    label.set(L::kListenOnlyName, "Front L");
    label.set(L::kExternalLongName, "FRONTLONG");
    label.set(L::kExternalShortName, "FRNT");
    label.set(L::kClientFlags, 0x29); // party line, IFB, multiple party lines
    label.set(L::kSelectorFlags, 0x02);
    label.set(L::kAssignmentRestrictions, 0x09);
    label.set(L::kAdminPrivileges, 0x02);

    ASSERT_EQ(save.posts.size(), 2u);
    EXPECT_EQ(save.posts[0], (OutgoingRecord{msg::ADMIN_CLIENT_CREDENTIALS_UPDATE, 0,
                                             bytesOf(credentials.view())}));
    EXPECT_EQ(save.posts[1],
              (OutgoingRecord{msg::ADMIN_LABEL_UPDATE, 10004, bytesOf(label.view())}));
    EXPECT_EQ(*data->labels.Find(10004), label);
    EXPECT_EQ(*data->clients.credentials(2), credentials);
}

TEST_F(ClientEditRecordsTest, EditKeepsWhatTheViewDoesNotShow) {
    L& held = *data->labels.Find(10001);
    held.bytes[L::kReserved8.offset] = 0x5A;
    held.set(L::kAdminPrivileges, 0x71);
    held.set(L::kClientFlags, 0x80);
    held.set(L::kSelectorFlags, 0xF0);
    held.set(L::kAssignmentRestrictions, 0x30);
    held.set(L::kAudioSettingsTemplate, 10000);
    held.set(L::kRtsFunctionType, 3);
    held.set(L::kRtsFunctionNumber, 7);
    const L before = held;

    ClientEditValues values = typed();
    values.masterPrivileges = true;
    const ClientSave save = saveClientEdit(data->labels, data->clients, 1, -1, values);
    ASSERT_FALSE(save.error);
    ASSERT_EQ(save.posts.size(), 2u);
    EXPECT_EQ(save.posts[1].second, 10001);

    const L& after = *data->labels.Find(10001);
    EXPECT_EQ(after.bytes[L::kReserved8.offset], 0x5A);
    EXPECT_EQ(after.get(L::kAdminPrivileges), 0x71); // master wins, high nibble kept
    EXPECT_EQ(after.get(L::kClientFlags), 0xA9);
    EXPECT_EQ(after.get(L::kSelectorFlags), 0xF2);
    EXPECT_EQ(after.get(L::kAssignmentRestrictions), 0x39);
    EXPECT_EQ(after.get(L::kAudioSettingsTemplate), 10000);
    // Hidden RTS function controls leave the label's function alone.
    EXPECT_EQ(after.get(L::kRtsFunctionType), 3);
    EXPECT_EQ(after.get(L::kRtsFunctionNumber), 7);
    EXPECT_EQ(bytesOf(after.view()), save.posts[1].bytes);
    EXPECT_NE(after, before);

    values.rtsFunctionType = L::kNoRtsFunctionType;
    values.rtsFunctionNumber = "";
    saveClientEdit(data->labels, data->clients, 1, -1, values);
    EXPECT_EQ(data->labels.Find(10001)->get(L::kRtsFunctionType), L::kNoRtsFunctionType);
    EXPECT_EQ(data->labels.Find(10001)->get(L::kRtsFunctionNumber), -1);
}

TEST_F(ClientEditRecordsTest, DuplicateTakesTheSourcesLinksAndSettings) {
    L& source = *data->labels.Find(10001);
    source.set(L::kSelectorAssignmentsTemplate, 10001);
    source.set(L::kOptionsTemplate, 10000);
    ClientOptions options;
    for (std::size_t i = 0; i < options.bytes.size(); ++i) {
        options.bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    data->clients.setOptions(1, options);
    AudioSettings audio = defaultAudioSettings();
    audio.set(AudioSettings::kCodec, 9);
    data->clients.setAudio(1, audio);
    SelectorAssignments selectors;
    selectors.assignEntries(std::vector<SelectorEntry>{site::selector(10000, 1)});
    // The store's one client record is another client's by now.
    data->clients.setSelectorAssignments(7, SelectorAssignments{});

    const ClientSave save = saveClientEdit(data->labels, data->clients, -1, 1, typed(), &selectors);
    ASSERT_FALSE(save.error);
    ASSERT_EQ(save.posts.size(), 5u);
    const L& copy = *data->labels.Find(save.labelNumber);
    EXPECT_EQ(copy.get(L::kSelectorAssignmentsTemplate), 10001);
    EXPECT_EQ(copy.get(L::kAudioSettingsTemplate), -1);
    EXPECT_EQ(copy.get(L::kOptionsTemplate), 10000);
    EXPECT_EQ(save.posts[1].bytes, bytesOf(copy.view()));

    const auto second = static_cast<std::uint16_t>(save.clientIndex);
    // A SIP source sends its whole options record.
    EXPECT_EQ(save.posts[2], (OutgoingRecord{msg::CONFIGURATION_DATA_CLIENT_OPTIONS, second,
                                             bytesOf(options.view())}));
    EXPECT_EQ(save.posts[3], (OutgoingRecord{msg::CONFIGURATION_DATA_AUDIO_SETTINGS, second,
                                             bytesOf(audio.view())}));
    EXPECT_EQ(save.posts[4], (OutgoingRecord{msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, second,
                                             bytesOf(selectors.wire())}));
    EXPECT_EQ(save.posts[4].bytes.size(), 38u);
}

TEST_F(ClientEditRecordsTest, NoFreeIndexChangesNothing) {
    while (data->labels.Create(0) != kNoLabel) {
    }
    const int clients = data->labels.ClientCount();
    const ClientSave save = saveClientEdit(data->labels, data->clients, -1, -1, typed());
    EXPECT_EQ(save.error, std::string(kUnableToAddClient));
    EXPECT_TRUE(save.posts.empty());
    EXPECT_EQ(data->labels.ClientCount(), clients);
}

TEST_F(ClientEditRecordsTest, EditOfADeletedClientAddsNothing) {
    data->labels.Delete(10003);
    const ClientSave save = saveClientEdit(data->labels, data->clients, 3, -1, typed());
    EXPECT_TRUE(save.error);
    EXPECT_TRUE(save.posts.empty());
    EXPECT_EQ(data->labels.ClientLabelNumber(3), kNoLabel);
}

TEST(ClientEditValues, RtsFunctionNumberIsStoredZeroBased) {
    struct Case {
        const char* typed;
        int stored;
    };
    const Case cases[] = {
        {"", -1},
        {"1", 0},
        {"12", 11},
        {"0", -1},
        // Only the first 10 characters are read.
        {"-3", -1},
        {"abc", -1},
        {"5x", -1},
        {"32768", 32767},
        {"32769", -1},
        {"00000000012", 0},
        {"0000000012", 11},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rtsFunctionNumberFromText(c.typed), c.stored) << c.typed;
    }
}

TEST(ClientEditValues, OfferedTypesFollowTheTrunking) {
    const std::vector<int> plain = {10, 16, 17,  18,  19,  12,  13,  15,  20,  21, 22,
                                    50, 52, 100, 101, 102, 103, 104, 105, 106, 150};
    EXPECT_EQ(offeredClientTypes(false, false), plain);
    const std::vector<int> both = {10, 16, 17, 18,  19,  12,  13,  15,  20,  21,  22,  50,
                                   52, 53, 54, 100, 101, 102, 103, 104, 105, 106, 107, 150};
    EXPECT_EQ(offeredClientTypes(true, true), both);
    for (const int type : both) {
        EXPECT_TRUE(findClientType(type)) << type;
    }
}

} // namespace
} // namespace mirx::model
