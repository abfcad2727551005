#include "model/remote_edit.h"
#include "model/remote_list.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::model {
namespace {

using C = RemoteColumn;
using L = LabelInfo;

int sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

SystemListEntry systemEntry(SystemClass c, int number, const char* name) {
    SystemListEntry entry;
    entry.set(SystemListEntry::kSystemClass, static_cast<std::uint8_t>(c));
    entry.set(SystemListEntry::kSystemNumber, number);
    entry.set(SystemListEntry::kName, name);
    return entry;
}

// Local system 0 with a client and a party line; local system 1 with a
// party line, a fixed group and two clients; an RTS port.
class RemoteSiteTest : public ::testing::Test {
protected:
    RemoteSiteTest() {
        site::addClient(site, 10000, 0, 10, "Desk", "", "desk", "pw");
        test::labelOf(site, 10000).set(L::kListenOnlyName, "Desk L");
        site::addPartyLine(site, 10001, 0, "Local PL", "");
        const auto remote = [&](int number, SystemClass c, int system, int kind, int index,
                                int type, const char* name, const char* description) {
            L label = site::makeLabel({.number = number,
                                       .systemClass = c,
                                       .system = system,
                                       .kind = kind,
                                       .index = index,
                                       .clientType = type,
                                       .name = name,
                                       .description = description});
            site::putLabel(site, label);
        };
        remote(12000, SystemClass::Local, 1, 1, 11, 0, "studio pl", "B line");
        remote(12001, SystemClass::Local, 1, 2, 0, 0, "Studio GP", "a group");
        remote(12002, SystemClass::Local, 1, 0, 3, 50, "Studio 4W", "");
        remote(12003, SystemClass::Local, 1, 0, 4, 10, "Studio Desk", "");
        remote(12004, SystemClass::Rts, 0, 0, 7, 0, "", "port");
        auto& port = test::labelOf(site, 12004);
        port.set(L::kExternalLongName, "RTSPORT8");
        port.setBit(L::kSelectorFlags, L::kLatchDisableTalkBit, true);
        port.setBit(L::kClientFlags, L::kPartyLineOperationBit, true);
        port.set(L::kAssignmentRestrictions, 0x0C);
        data = test::loadSite(site);
        std::vector<std::uint8_t> list;
        for (const auto& e : {systemEntry(SystemClass::Local, 0, "Main"),
                              systemEntry(SystemClass::Local, 1, "Studio B"),
                              systemEntry(SystemClass::Rts, 0, "Truck")}) {
            list.insert(list.end(), e.view().begin(), e.view().end());
        }
        data->labels.StoreSystemList(3, list);
    }

    RemoteRow row(int number) const { return buildRemoteRow(data->labels, number); }

    mirx::test::LogCapture log;
    site::Site site;
    std::unique_ptr<MirrorData> data;
};

TEST_F(RemoteSiteTest, RowsAreTheLabelsOutsideLocalSystemZero) {
    const auto rows = buildRemoteRows(data->labels);
    std::vector<int> numbers;
    for (const auto& r : rows) {
        numbers.push_back(r.labelNumber);
    }
    // Label order: local system 1's clients, party lines, fixed groups; then RTS.
    EXPECT_EQ(numbers, (std::vector<int>{12002, 12003, 12000, 12001, 12004}));
    const RemoteRow pl = row(12000);
    EXPECT_EQ(pl.cell(C::SystemName), "Studio B");
    EXPECT_EQ(pl.cell(C::SystemNumber), "2");
    EXPECT_EQ(pl.cell(C::LabelType), "Party Line");
    EXPECT_EQ(pl.cell(C::Index), "12");
    EXPECT_EQ(pl.cell(C::Latchable), "Yes");
    const RemoteRow port = row(12004);
    EXPECT_EQ(port.cell(C::SystemName), "Truck");
    EXPECT_EQ(port.cell(C::LabelType), "RTS Port");
    // No selector name: the row shows the external name.
    EXPECT_EQ(port.cell(C::TalkListenName), "RTSPORT8");
    EXPECT_EQ(port.cell(C::Restrict), "Yes");
    EXPECT_EQ(port.cell(C::Latchable), "No");
    EXPECT_TRUE(remoteLatchableShown(rows));
    EXPECT_FALSE(remoteLatchableShown({row(12000)}));
}

TEST(RemoteListColumns, ByTrunking) {
    const auto none = remoteListColumns(LabelTrunking::None);
    const auto rts = remoteListColumns(LabelTrunking::Rts);
    const auto delec = remoteListColumns(LabelTrunking::Delec);
    for (std::size_t c = 6; c < kRemoteColumnCount; ++c) {
        EXPECT_EQ(none[c].width, 0) << c;
    }
    EXPECT_STREQ(rts[6].title, "Ext Alpha (8U)");
    EXPECT_STREQ(rts[7].title, "Ext Alpha (4)");
    EXPECT_EQ(rts[8].width, 61);
    EXPECT_STREQ(rts[9].title, "Port");
    EXPECT_STREQ(delec[6].title, "Ext Name");
    EXPECT_EQ(delec[7].width, 0);
    EXPECT_EQ(delec[8].width, 0);
    EXPECT_STREQ(delec[9].title, "Idx");
    EXPECT_EQ(delec[9].width, 35);
    EXPECT_EQ(none[5].width, 0); // "Latchable" until a row reads "No"
}

TEST_F(RemoteSiteTest, CompareRules) {
    struct Case {
        const char* what;
        C column;
        int a;
        int b;
        int expected;
    };
    const Case cases[] = {
        {"system name", C::SystemName, 12000, 12004, -1},
        {"same system: label type decides", C::SystemName, 12001, 12000, 1},
        {"system number, then kind", C::SystemNumber, 12002, 12000, -1},
        {"label type: kind", C::LabelType, 12002, 12000, -1},
        {"label type: client type within clients", C::LabelType, 12003, 12002, -1},
        {"label type: party lines before fixed groups", C::LabelType, 12000, 12001, -1},
        {"name case-blind: 'studio pl' after 'Studio GP'", C::TalkListenName, 12000, 12001, 1},
        {"description by character code", C::Description, 12000, 12001, -1},
        {"latch disabled sorts after", C::Latchable, 12004, 12000, 1},
        {"index", C::Index, 12003, 12000, -1},
        {"restrict sorts like the system name", C::Restrict, 12000, 12004, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(compareRemoteRows(row(c.a), row(c.b), static_cast<int>(c.column))),
                  c.expected)
            << c.what;
        EXPECT_EQ(sign(compareRemoteRows(row(c.b), row(c.a), static_cast<int>(c.column))),
                  -c.expected)
            << c.what << " (swapped)";
    }
}

TEST_F(RemoteSiteTest, NameCheckAgainstLocalClients) {
    struct Case {
        const char* what;
        const char* typed;
        bool fails;
    };
    const Case cases[] = {
        {"a local client's name", "Desk", true},
        {"a local client's listen-only name", "Desk L", true},
        {"letter case counts", "desk", false},
        {"another remote label's name", "Studio GP", false},
        {"a local party line's name", "Local PL", false},
        {"empty", "", false},
    };
    for (const Case& c : cases) {
        const auto error = checkRemoteName(data->labels, 12000, c.typed);
        EXPECT_EQ(error.has_value(), c.fails) << c.what;
        if (error) {
            EXPECT_EQ(*error, "Selector Talk/Listen Name already exists") << c.what;
        }
    }
}

TEST_F(RemoteSiteTest, SavingKeepsTheBitsWithoutControls) {
    RemoteForm form = remoteFormOf(data->labels, 12004);
    EXPECT_EQ(form.typeName, "RTS Port");
    EXPECT_EQ(form.selectorName, "RTSPORT8");
    EXPECT_TRUE(form.latchDisable);
    L label = *data->labels.Find(12004);
    form.selectorName = "Truck \"A\"";
    form.latchDisable = false;
    form.alwaysShowOffline = true;
    applyRemoteForm(label, form);
    EXPECT_EQ(label.get(L::kTalkListenName), "Truck 'A'");
    EXPECT_FALSE(label.testBit(L::kSelectorFlags, L::kLatchDisableTalkBit));
    // Party line operation and the remote restrictions have no control: kept.
    EXPECT_EQ(label.get(L::kClientFlags),
              (1u << L::kPartyLineOperationBit) | (1u << L::kAlwaysShowSelectorOfflineBit));
    EXPECT_EQ(label.get(L::kAssignmentRestrictions), 0x0C);
}

} // namespace
} // namespace mirx::model
