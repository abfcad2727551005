#include "model/group_edit.h"
#include "model/group_list.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::model {
namespace {

using G = GroupColumn;
using L = LabelInfo;

int sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

// Two party lines, two fixed groups, a client and an RTS party line.
class GroupSiteTest : public ::testing::Test {
protected:
    GroupSiteTest() {
        site::addClient(site, 10000, 0, 10, "Desk", "", "desk", "pw");
        site::addPartyLine(site, 10020, 1, "crew", "Zulu stage");
        site::addPartyLine(site, 10021, 0, "Alpha", "alpha line");
        site::addFixedGroup(site, 10030, 4, "Bravo", "Bravo group");
        site::addFixedGroup(site, 10031, 0, "Alpha", "");
        site::putLabel(site, site::makeLabel({.number = 11000,
                                              .systemClass = SystemClass::Rts,
                                              .kind = 1,
                                              .index = 2,
                                              .name = "Truck PL",
                                              .description = ""}));
        auto& crew = test::labelOf(site, 10020);
        crew.setBit(L::kSelectorFlags, L::kLatchDisableTalkBit, true);
        crew.set(L::kAssignmentRestrictions, 0x08);
        crew.set(L::kExternalLongName, "CREWLONG");
        crew.set(L::kExternalShortName, "CRW");
        auto& desk = test::labelOf(site, 10000);
        desk.set(L::kListenOnlyName, "Desk Listen");
        data = test::loadSite(site);
    }

    GroupRow row(int number) const { return buildGroupRow(data->labels, number); }

    mirx::test::LogCapture log;
    site::Site site;
    std::unique_ptr<MirrorData> data;
};

TEST(GroupListColumns, TrunkingDecidesColumnsFourToSeven) {
    struct Case {
        LabelTrunking trunking;
        std::array<const char*, 4> titles;
        std::array<int, 4> widths;
    };
    const Case cases[] = {
        {LabelTrunking::Rts,
         {"Ext Alpha (8U)", "Ext Alpha (4)", "Restrict", "Port"},
         {98, 98, 61, 35}},
        {LabelTrunking::Delec, {"Ext Name", "Ext Name (Short)", "Restrict", "Idx"}, {98, 0, 0, 35}},
        {LabelTrunking::None,
         {"Ext Name (Long)", "Ext Name (Short)", "Restrict", "Idx"},
         {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const auto columns = groupListColumns(c.trunking);
        EXPECT_STREQ(columns[0].title, "Group Type");
        EXPECT_EQ(columns[2].width, 195);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_STREQ(columns[4 + i].title, c.titles[i]);
            EXPECT_EQ(columns[4 + i].width, c.widths[i]) << c.titles[i];
        }
    }
}

TEST_F(GroupSiteTest, RowsArePartyLinesThenFixedGroupsInLabelOrder) {
    std::vector<int> numbers;
    for (const GroupRow& r : buildGroupRows(data->labels)) {
        numbers.push_back(r.labelNumber);
    }
    // Label order is by index within a kind; clients and remote labels stay out.
    EXPECT_EQ(numbers, (std::vector<int>{10021, 10020, 10031, 10030}));
}

TEST_F(GroupSiteTest, CellsOfAGroup) {
    const GroupRow crew = row(10020);
    EXPECT_EQ(crew.cell(G::Type), "Party Line");
    EXPECT_EQ(crew.cell(G::TalkListenName), "crew");
    EXPECT_EQ(crew.cell(G::Description), "Zulu stage");
    EXPECT_EQ(crew.cell(G::Latchable), "No");
    EXPECT_EQ(crew.cell(G::ExternalLong), "CREWLONG");
    EXPECT_EQ(crew.cell(G::ExternalShort), "CRW");
    EXPECT_EQ(crew.cell(G::Restrict), "Yes");
    EXPECT_EQ(crew.cell(G::Index), "2");
    const GroupRow bravo = row(10030);
    EXPECT_EQ(bravo.cell(G::Type), "Fixed Group");
    EXPECT_EQ(bravo.cell(G::Latchable), "Yes");
    EXPECT_EQ(bravo.cell(G::Restrict), "No");
    // No external names and a long selector name: the generated labels.
    EXPECT_EQ(bravo.cell(G::ExternalLong), "Bravo");
    EXPECT_EQ(bravo.cell(G::Index), "5");
    const GroupRow gone = row(10099);
    EXPECT_EQ(gone.cell(G::TalkListenName), "NO LABEL");
    EXPECT_EQ(gone.cell(G::Description), "<Invalid>");
}

TEST_F(GroupSiteTest, CompareRules) {
    struct Case {
        const char* what;
        G column;
        int a;
        int b;
        int expected;
    };
    const Case cases[] = {
        {"type: party lines first", G::Type, 10020, 10030, -1},
        {"type: tie falls back to the name", G::Type, 10021, 10020, -1},
        {"name: case-blind", G::TalkListenName, 10020, 10030, 1},
        {"name: equal names, label number decides", G::TalkListenName, 10021, 10031, -1},
        {"description: character codes, capitals first", G::Description, 10030, 10021, -1},
        {"description: 'Z' before 'a'", G::Description, 10020, 10021, -1},
        {"latchable first", G::Latchable, 10021, 10020, -1},
        {"latchable tie: name", G::Latchable, 10030, 10021, 1},
        {"restrict: unrestricted first", G::Restrict, 10020, 10021, 1},
        {"port: index", G::Index, 10021, 10020, -1},
        {"port: equal index, kind", G::Index, 10031, 10021, 1},
        {"external long: text", G::ExternalLong, 10020, 10030, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(compareGroupRows(row(c.a), row(c.b), static_cast<int>(c.column))),
                  c.expected)
            << c.what;
        EXPECT_EQ(sign(compareGroupRows(row(c.b), row(c.a), static_cast<int>(c.column))),
                  -c.expected)
            << c.what << " (swapped)";
    }
}

TEST(GroupEditLayout, ByTrunking) {
    const auto rts = groupEditLayout(LabelTrunking::Rts);
    EXPECT_STREQ(rts.externalLongCaption, "External Alpha (8U characters)");
    EXPECT_STREQ(rts.externalShortCaption, "External Alpha (4 characters)");
    EXPECT_EQ(rts.externalLongLimit, 8);
    EXPECT_EQ(rts.externalShortLimit, 4);
    EXPECT_TRUE(rts.remoteRestrictions);
    const auto delec = groupEditLayout(LabelTrunking::Delec);
    EXPECT_STREQ(delec.externalLongCaption, "External Name");
    EXPECT_STREQ(delec.externalShortCaption, "");
    EXPECT_EQ(delec.externalLongLimit, 20);
    EXPECT_FALSE(delec.remoteRestrictions);
    const auto none = groupEditLayout(LabelTrunking::None);
    EXPECT_STREQ(none.externalLongCaption, "");
    EXPECT_FALSE(none.remoteRestrictions);
}

TEST_F(GroupSiteTest, NameChecks) {
    struct Case {
        const char* what;
        int group;
        const char* typed;
        const char* error;
        bool warning;
    };
    const Case cases[] = {
        {"empty", 10020, "", kGroupNameRequired, false},
        {"own name unchanged", 10021, "Alpha", nullptr, false},
        {"another group's name", 10020, "Bravo", kGroupNameExists, false},
        {"a client's listen-only name", 10020, "Desk Listen", kGroupNameExists, false},
        {"letter case counts", 10020, "bravo", nullptr, false},
        {"new group with a taken name", kNoLabel, "Desk", kGroupNameExists, false},
        {"a remote label's name warns", 10020, "Truck PL", nullptr, true},
        {"typed quotes become single quotes", 10020, "Say \"hi\"", nullptr, false},
    };
    for (const Case& c : cases) {
        const GroupNameCheck check = checkGroupName(data->labels, c.group, c.typed);
        EXPECT_EQ(check.error.value_or(""), c.error ? c.error : "") << c.what;
        EXPECT_EQ(check.remoteWarning, c.warning) << c.what;
    }
    // A name stored with a single quote is found when typed with a double one.
    data->labels.SetTalkListenName(10030, "Say 'hi'");
    EXPECT_EQ(checkGroupName(data->labels, 10020, "Say \"hi\"").error.value_or(""),
              kGroupNameExists);
}

TEST_F(GroupSiteTest, FormRoundTripKeepsWhatTheViewDoesNotEdit) {
    LabelInfo label = *data->labels.Find(10020);
    label.set(L::kListenOnlyName, "old listen");
    label.setBit(L::kSelectorFlags, 1, true);
    label.setBit(L::kAssignmentRestrictions, 6, true);
    GroupForm form = groupFormOf(data->labels, 10020);
    EXPECT_EQ(form.talkListenName, "crew");
    EXPECT_TRUE(form.latchDisable);
    EXPECT_TRUE(form.restrictions[3]);
    form.talkListenName = "A \"very\" long name over twenty characters";
    form.description = "new";
    form.latchDisable = false;
    form.restrictions = {true, false, false, false};
    form.textColour = rgb(1, 2, 3);
    form.backgroundColour = rgb(4, 5, 6);
    applyGroupForm(label, form);
    EXPECT_EQ(label.get(L::kTalkListenName), "A 'very' long name o");
    EXPECT_EQ(label.get(L::kListenOnlyName), "");
    EXPECT_EQ(label.get(L::kDescription), "new");
    EXPECT_EQ(label.get(L::kSelectorFlags), 0x02);
    EXPECT_EQ(label.get(L::kAssignmentRestrictions), 0x41);
    EXPECT_EQ(label.get(L::kTextColour), 0x030201u);
    EXPECT_EQ(label.get(L::kBackgroundColour), 0x060504u);
    EXPECT_EQ(label.get(L::kLabelNumber), 10020);
    EXPECT_EQ(label.get(L::kLabelKind), 1);
}

} // namespace
} // namespace mirx::model
