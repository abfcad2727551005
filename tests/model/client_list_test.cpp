#include "model/client_list.h"
#include "model/client_list_buttons.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::model {
namespace {

using C = ClientColumn;
using L = LabelInfo;

// Clients 0..4 and a party line; client 5's index is mapped to nothing.
class ClientListTest : public ::testing::Test {
protected:
    ClientListTest() {
        site::addClient(site, 10000, 0, 10, "Desk", "Front desk", "desk", "Pw0");
        site::addClient(site, 10001, 1, 50, "Stage", "", "stage", "pw1");
        site::addClient(site, 10002, 2, 104, "", "", "trunk", "");
        site::addClient(site, 10003, 3, 200, "Odd", "", "odd", "x");
        site::addClient(site, 10004, 4, 52, "Radio", "", "radio", "y");
        site::addPartyLine(site, 10010, 0, "Crew", "");
        auto& stage = test::labelOf(site, 10001);
        stage.set(L::kListenOnlyName, "Stage L");
        stage.setBit(L::kClientFlags, L::kPartyLineOperationBit, true);
        stage.setBit(L::kClientFlags, L::kIsoDestinationBit, true);
        stage.setBit(L::kSelectorFlags, L::kLatchDisableTalkBit, true);
        stage.set(L::kAssignmentRestrictions, 0x04);
        stage.set(L::kAudioSettingsTemplate, 10001);
        stage.set(L::kExternalLongName, "STG-LONG");
        stage.set(L::kExternalShortName, "STG");
        auto& trunk = test::labelOf(site, 10002);
        trunk.set(L::kExternalLongName, "RTSALPHA");
        trunk.set(L::kRtsFunctionType, 2);
        trunk.set(L::kRtsFunctionNumber, 4);
        trunk.set(L::kAudioSettingsTemplate, 10001);
        // A template that was deleted.
        trunk.set(L::kOptionsTemplate, 10099);
        auto& desk = test::labelOf(site, 10000);
        desk.setBit(L::kClientFlags, L::kPartyLineOperationBit, true);
        desk.set(L::kExternalLongName, "DESKLONG");
        data = test::loadSite(site);
    }

    ClientRow row(int index, ClientListContext context = {}) const {
        return buildClientRow(data->labels, data->clients, index, context);
    }

    mirx::test::LogCapture log;
    site::Site site;
    std::unique_ptr<MirrorData> data;
};

TEST(ClientListColumns, TrunkingDecidesTheExternalColumns) {
    struct Case {
        bool rts;
        C column;
        const char* title;
        int width;
    };
    const Case cases[] = {
        {false, C::TypeClass, "", 40},
        {false, C::Type, "Type", 130},
        {false, C::ListenOnlyName, "Listen Only Name", 0},
        {false, C::Description, "Description", 195},
        {false, C::ExternalLong, "RTS Alpha", 98},
        {false, C::ExternalShort, "Ext Name (Short)", 0},
        {false, C::Restrict, "Restrict", 0},
        {false, C::Port, "Port", 35},
        {false, C::OptionsTemplate, "Options Template", 0},
        {true, C::ExternalLong, "Ext Alpha (8U)", 98},
        {true, C::ExternalShort, "Ext Alpha (4)", 98},
        {true, C::Restrict, "Restrict", 61},
        {true, C::Latchable, "Latchable", 0},
    };
    for (const Case& c : cases) {
        const auto spec = clientListColumns(c.rts)[static_cast<std::size_t>(c.column)];
        EXPECT_STREQ(spec.title, c.title) << static_cast<int>(c.column);
        EXPECT_EQ(spec.width, c.width) << c.title;
    }
}

TEST_F(ClientListTest, CellsShowEachFieldWithItsFallback) {
    struct Case {
        int client;
        C column;
        const char* text;
        ClientListContext context = {};
    };
    const ClientListContext master{.masterAdministrator = true};
    const ClientListContext rts{.rtsTrunking = true};
    const Case cases[] = {
        {0, C::TypeClass, "MCP"},
        {0, C::Type, "Windows Desktop"},
        {2, C::TypeClass, "SIP"},
        {2, C::Type, "Direct IP Trunk"},
        // An unknown type shows nothing in either type column.
        {3, C::TypeClass, ""},
        {3, C::Type, ""},
        {0, C::TalkListenName, "Desk"},
        // No talk/listen name: the external name stands in.
        {2, C::TalkListenName, "RTSALPHA"},
        {5, C::TalkListenName, "NO LABEL"},
        {5, C::Description, "<Invalid>"},
        {1, C::ListenOnlyName, "Stage L"},
        {0, C::LoginName, "desk"},
        {0, C::LoginPassword, "********"},
        {0, C::LoginPassword, "Pw0", master},
        // No credentials received for the index: nothing to show or mask.
        {5, C::LoginName, ""},
        {5, C::LoginPassword, ""},
        {0, C::Description, "Front desk"},
        // A control panel has no party line, IFB or ISO setting.
        {0, C::PartyLine, "-"},
        {0, C::Ifb, "-"},
        {0, C::Iso, "-"},
        {1, C::PartyLine, "Yes"},
        {1, C::Ifb, "No"},
        {1, C::Iso, "Yes"},
        {1, C::Latchable, "No"},
        {0, C::Latchable, "Yes"},
        {1, C::Restrict, "Yes"},
        {0, C::Restrict, "No"},
        {4, C::Port, "5"},
        // Without RTS trunking only a client with an RTS function shows its
        // external name, under "RTS Alpha".
        {2, C::ExternalLong, "RTSALPHA"},
        {1, C::ExternalLong, ""},
        {1, C::ExternalShort, ""},
        {1, C::ExternalLong, "STG-LONG", rts},
        {1, C::ExternalShort, "STG", rts},
        {1, C::AudioSettingsTemplate, "Stage"},
        {2, C::AudioSettingsTemplate, "Stage"},
        {0, C::AudioSettingsTemplate, " "},
        {2, C::OptionsTemplate, "NO LABEL"},
        {2, C::SelectorAssignmentsTemplate, " "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(row(c.client, c.context).cell(c.column), c.text)
            << "client " << c.client << " column " << static_cast<int>(c.column);
    }
}

TEST_F(ClientListTest, RowsAreTheLocalClientsInIndexOrder) {
    data->labels.Delete(10001);
    const auto rows = buildClientRows(data->labels, data->clients, {});
    std::vector<int> indexes;
    for (const ClientRow& r : rows) {
        indexes.push_back(r.clientIndex);
        EXPECT_EQ(r.labelNumber, data->labels.ClientLabelNumber(r.clientIndex));
    }
    EXPECT_EQ(indexes, (std::vector<int>{0, 2, 3, 4}));
}

TEST_F(ClientListTest, HiddenColumnsOpenWhenARowNeedsThem) {
    const auto columns = clientListColumns(false);
    const std::vector<ClientRow> none = {row(0)};
    const std::vector<ClientRow> all = buildClientRows(data->labels, data->clients, {});
    const auto closed = clientColumnWidths(columns, none);
    const auto open = clientColumnWidths(columns, all);
    struct Case {
        C column;
        int closed;
        int open;
    };
    const Case cases[] = {
        {C::ListenOnlyName, 0, 98},
        {C::PartyLine, 0, 40},
        {C::Latchable, 0, 61},
        {C::Ifb, 0, 0},
        {C::Iso, 0, 40},
        {C::ExternalShort, 0, 0},
        {C::Restrict, 0, 0},
        {C::SelectorAssignmentsTemplate, 0, 0},
        {C::AudioSettingsTemplate, 0, 98},
        {C::OptionsTemplate, 0, 98},
        {C::Description, 195, 195},
    };
    for (const Case& c : cases) {
        const auto at = static_cast<std::size_t>(c.column);
        EXPECT_EQ(closed[at], c.closed) << static_cast<int>(c.column);
        EXPECT_EQ(open[at], c.open) << static_cast<int>(c.column);
    }
}

ClientRow handRow(int index, int type, const char* name, const char* login, const char* password,
                  const char* description = "", bool partyLine = false, bool latch = false,
                  const char* listenOnly = "") {
    ClientRow r;
    r.clientIndex = index;
    r.clientType = type;
    r.partyLineOperation = partyLine;
    r.latchDisable = latch;
    r.cells[static_cast<std::size_t>(C::TalkListenName)] = name;
    r.cells[static_cast<std::size_t>(C::ListenOnlyName)] = listenOnly;
    r.cells[static_cast<std::size_t>(C::LoginName)] = login;
    r.cells[static_cast<std::size_t>(C::LoginPassword)] = password;
    r.cells[static_cast<std::size_t>(C::Description)] = description;
    return r;
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(ClientListCompare, EachColumnWithItsFallbacks) {
    struct Case {
        const char* what;
        ClientRow a;
        ClientRow b;
        C column;
        int expected;
    };
    const Case cases[] = {
        {"class before name", handRow(5, 50, "A", "", ""), handRow(1, 19, "Z", "", ""),
         C::TypeClass, 1},
        {"video and unknown share a class", handRow(1, 150, "B", "", ""),
         handRow(2, 3, "a", "", ""), C::TypeClass, 1},
        {"same class: by name", handRow(1, 10, "b", "", ""), handRow(2, 22, "A", "", ""),
         C::TypeClass, 1},
        {"type code", handRow(1, 22, "A", "", ""), handRow(2, 10, "Z", "", ""), C::Type, 1},
        {"same type: by name", handRow(1, 10, "alpha", "", ""), handRow(2, 10, "BETA", "", ""),
         C::Type, -1},
        {"name ignores case", handRow(1, 10, "desk", "", ""), handRow(2, 10, "DESK", "", ""),
         C::TalkListenName, -1},
        {"listen only name", handRow(1, 10, "", "", "", "", false, false, "b"),
         handRow(2, 10, "", "", "", "", false, false, "A"), C::ListenOnlyName, 1},
        {"login", handRow(1, 10, "", "Bob", ""), handRow(2, 10, "", "alice", ""), C::LoginName, 1},
        {"same login: by password", handRow(1, 10, "a", "x", "Q"), handRow(2, 10, "b", "X", "p"),
         C::LoginName, 1},
        {"same login and password: by name", handRow(1, 10, "b", "x", "p"),
         handRow(2, 10, "A", "x", "P"), C::LoginName, 1},
        {"same password: by name", handRow(1, 10, "a", "", "p"), handRow(2, 10, "B", "", "P"),
         C::LoginPassword, -1},
        {"description keeps case", handRow(1, 10, "", "", "", "a"), handRow(2, 10, "", "", "", "B"),
         C::Description, 1},
        {"party line set after clear", handRow(1, 50, "", "a", "", "", true),
         handRow(2, 50, "", "b", "", "", false), C::PartyLine, 1},
        {"same party line: by login", handRow(1, 50, "", "b", "", "", true),
         handRow(2, 50, "", "a", "", "", true), C::PartyLine, 1},
        {"latch disable set after clear", handRow(1, 50, "", "", "", "", false, false),
         handRow(2, 50, "", "", "", "", false, true), C::Latchable, -1},
        {"same latch: by login", handRow(1, 50, "", "a", ""), handRow(2, 50, "", "b", ""),
         C::Latchable, -1},
        {"restrict by index", handRow(7, 10, "a", "", ""), handRow(3, 10, "b", "", ""), C::Restrict,
         1},
        {"port by index", handRow(3, 10, "z", "", ""), handRow(7, 10, "a", "", ""), C::Port, -1},
        {"template columns by index", handRow(9, 10, "", "", ""), handRow(8, 10, "", "", ""),
         C::OptionsTemplate, 1},
        {"equal keys: by index", handRow(2, 10, "a", "", ""), handRow(4, 10, "A", "", ""),
         C::TalkListenName, -1},
    };
    for (const Case& c : cases) {
        const int column = static_cast<int>(c.column);
        EXPECT_EQ(sign(compareClientRows(c.a, c.b, column)), c.expected) << c.what;
        EXPECT_EQ(sign(compareClientRows(c.b, c.a, column)), -c.expected) << c.what;
    }
}

TEST(ClientListCompare, SecondClickReversesTheOrderExactly) {
    std::vector<ClientRow> rows = {
        handRow(0, 10, "d", "same", "b"), handRow(1, 10, "c", "same", "a"),
        handRow(2, 10, "b", "same", "a"), handRow(3, 10, "a", "other", "z"),
        handRow(4, 10, "e", "same", "b")};
    const int login = static_cast<int>(C::LoginName);
    const auto order = [&](int direction) {
        std::stable_sort(rows.begin(), rows.end(), [&](const ClientRow& a, const ClientRow& b) {
            return direction * compareClientRows(a, b, login) < 0;
        });
        std::vector<int> out;
        for (const auto& r : rows) {
            out.push_back(r.clientIndex);
        }
        return out;
    };
    EXPECT_EQ(order(1), (std::vector<int>{3, 2, 1, 0, 4}));
    EXPECT_EQ(order(-1), (std::vector<int>{4, 0, 1, 2, 3}));
}

// --- the buttons ---

std::string enabledNames(const ClientListButtons& buttons) {
    static const char* const names[] = {"add",   "edit",    "delete",  "duplicate", "options",
                                        "audio", "select",  "linkSel", "linkAudio", "linkOpt",
                                        "unSel", "unAudio", "unOpt"};
    std::string out;
    for (std::size_t b = 0; b < kClientListButtonCount; ++b) {
        if (buttons.enabled(static_cast<ClientListButton>(b))) {
            out += out.empty() ? "" : " ";
            out += names[b];
        }
    }
    return out;
}

TEST_F(ClientListTest, ButtonsFollowTheSelection) {
    struct Case {
        const char* what;
        ClientListSelection selection;
        const char* enabled;
    };
    const Case cases[] = {
        {"nothing selected", {0, -1, kNoLabel}, "add"},
        {"one client", {1, 4, 10004}, "add edit delete duplicate options audio select"},
        {"party line client has no selector assignments",
         {1, 0, 10000},
         "add edit delete duplicate options audio"},
        {"unlink the kinds it has templates for",
         {1, 2, 10002},
         "add edit delete duplicate options audio select unAudio unOpt"},
        {"cleared selection keeps the client",
         {0, 4, 10004},
         "add edit delete duplicate options audio select"},
        {"selected client no longer there", {1, 5, kNoLabel}, "add"},
        {"several rows", {3, -1, 10004}, "linkSel linkAudio linkOpt unSel unAudio unOpt"},
        {"several rows, link source gone", {2, -1, 10099}, "unSel unAudio unOpt"},
        {"read only, one client", {1, 2, 10002, false}, "options audio select"},
        {"read only, several", {2, -1, 10004, false}, ""},
        {"read only, nothing", {0, -1, kNoLabel, false}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(enabledNames(clientListButtons(data->labels, c.selection)), c.enabled) << c.what;
    }
}

TEST_F(ClientListTest, SelectionKeepsTheLastClientSelectedAlone) {
    struct Step {
        std::vector<int> selected;
        int rows;
        int client;
        int current;
    };
    const Step steps[] = {
        {{}, 0, -1, kNoLabel},     {{4}, 1, 4, 10004}, {{}, 0, 4, 10004},
        {{4, 1, 0}, 3, -1, 10004}, {{1}, 1, 1, 10001}, {{1, 2}, 2, -1, 10001},
        {{}, 0, -1, 10001},
    };
    ClientListSelection selection;
    for (const Step& s : steps) {
        noteSelection(selection, data->labels, s.selected);
        EXPECT_EQ(selection.selectedRows, s.rows) << s.selected.size();
        EXPECT_EQ(selection.selectedClient, s.client) << s.selected.size();
        EXPECT_EQ(selection.currentClientLabel, s.current) << s.selected.size();
    }
}

} // namespace
} // namespace mirx::model
