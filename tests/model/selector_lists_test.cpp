#include "model/client_types.h"
#include "model/selector_lists.h"
#include "model/system_list.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::model {
namespace {

using A = AvailableColumn;
using E = SelectorEntry;
using L = LabelInfo;

// Control panels 0 (Desk) and 3 (Quad), a device interface, an RTS trunk
// client, a client restricted from assignment, a party line, a fixed group
// and one label of an RTS system.
class SelectorListsTest : public ::testing::Test {
protected:
    SelectorListsTest() {
        site::addClient(site, 10000, 0, 10, "Desk", "Front desk", "desk", "");
        site::addClient(site, 10001, 1, 50, "stage", "Stage box", "stage", "");
        site::addClient(site, 10002, 2, 53, "Trunk", "", "trunk", "");
        site::addClient(site, 10003, 3, 20, "Able", "quad panel", "quad", "");
        site::addClient(site, 10005, 5, 104, "Hidden", "", "hidden", "");
        site::addPartyLine(site, 10010, 0, "Crew", "crew line");
        site::addFixedGroup(site, 10011, 0, "All", "");
        site::putLabel(site, site::makeLabel({.number = 10030,
                                              .systemClass = SystemClass::Rts,
                                              .system = 4,
                                              .kind = 0,
                                              .index = 0,
                                              .name = "North1",
                                              .description = "rts port"}));
        site::putLabel(site, site::makeLabel({.number = 10040,
                                              .system = 1,
                                              .kind = 0,
                                              .index = 0,
                                              .clientType = 10,
                                              .name = "Remote",
                                              .description = ""}));
        test::labelOf(site, 10005)
            .setBit(L::kAssignmentRestrictions, L::kNoLocalAssignmentByAdminBit, true);
        test::labelOf(site, 10001).set(L::kListenOnlyName, "Stage L");
        data = test::loadSite(site);
        std::vector<std::uint8_t> systems;
        for (const auto& [cls, number, name] :
             {std::tuple{0, 0, "Main"}, std::tuple{1, 4, "RTS North"}}) {
            SystemListEntry entry;
            entry.set(SystemListEntry::kSystemClass, cls);
            entry.set(SystemListEntry::kSystemNumber, number);
            entry.set(SystemListEntry::kName, name);
            systems.insert(systems.end(), entry.bytes.begin(), entry.bytes.end());
        }
        data->labels.StoreSystemList(2, systems);
    }

    std::vector<int> listed(SelectorTarget target) const {
        std::vector<int> numbers;
        for (const AvailableRow& row : buildAvailableRows(data->labels, target)) {
            numbers.push_back(row.labelNumber);
        }
        return numbers;
    }

    AvailableRow rowOf(int number) const {
        const auto rows = buildAvailableRows(data->labels, {});
        const auto it = std::find_if(rows.begin(), rows.end(), [&](const AvailableRow& r) {
            return r.labelNumber == number;
        });
        EXPECT_NE(it, rows.end()) << number;
        return it == rows.end() ? AvailableRow{} : *it;
    }

    mirx::test::LogCapture log;
    site::Site site;
    std::unique_ptr<MirrorData> data;
};

TEST_F(SelectorListsTest, AvailableLabelsAndTheEditedClient) {
    const std::vector<int> others = {10001, 10003, 10010, 10011, 10040, 10030};
    std::vector<int> withDesk = others;
    withDesk.insert(withDesk.begin(), 10000);
    struct Case {
        const char* what;
        SelectorTarget target;
        bool linkDesk;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"default record", {-1, false}, false, withDesk},
        {"client without self", {0, false}, false, others},
        {"self allowed", {0, true}, false, withDesk},
        {"linked to a template", {0, false}, true, withDesk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        data->labels.SetSelectorAssignmentsTemplate(10000, c.linkDesk ? 10003 : kNoLabel);
        EXPECT_EQ(listed(c.target), c.expected);
        EXPECT_EQ(isExcludedSelf(data->labels, c.target, 0),
                  !c.target.isDefault() && c.expected == others);
    }
}

TEST_F(SelectorListsTest, AvailableCells) {
    struct Case {
        int number;
        std::array<const char*, kAvailableColumnCount> cells;
    };
    const std::string rtsType(rtsLabelTypeName(0).value_or("?"));
    const Case cases[] = {
        {10000, {"Main", "MCP", "Desk", "", "Front desk", "Windows Desktop"}},
        {10001, {"Main", "MDV", "stage", "Stage L", "Stage box", "Four-Wire Interface"}},
        {10010, {"Main", "PL", "Crew", "", "crew line", "Party Line"}},
        {10011, {"Main", "FG", "All", "", "", "Fixed Group"}},
        {10030, {"RTS North", "", "North1", "", "rts port", rtsType.c_str()}},
        // A client of another local system: no kind, its type as for any client.
        {10040, {"", "", "Remote", "", "", "Windows Desktop"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const AvailableRow row = rowOf(c.number);
        for (std::size_t k = 0; k < kAvailableColumnCount; ++k) {
            EXPECT_EQ(row.cells[k], c.cells[k]) << "column " << k;
        }
        EXPECT_EQ(row.allowedFunctions, kAllowAllFunctions);
    }
}

TEST_F(SelectorListsTest, AvailableCompareRules) {
    struct Case {
        A column;
        int a;
        int b;
        int sign; // of compare(a, b)
    };
    const Case cases[] = {
        // System name, then display name: both "Main", "Crew" < "Desk".
        {A::SystemName, 10010, 10000, -1},
        {A::SystemName, 10000, 10030, -1}, // "Main" < "RTS North"
        // Two local clients: category first (panel before device) ...
        {A::Kind, 10000, 10001, -1},
        // Same category: by name, though type 20 sorts after type 10.
        {A::Kind, 10003, 10000, -1},
        // ... otherwise as Type: local before RTS, party line before group.
        {A::Kind, 10011, 10010, 1},
        {A::Kind, 10030, 10010, 1},
        // Case does not matter: "stage" after "Able".
        {A::TalkListenName, 10001, 10003, 1},
        {A::TalkListenName, 10000, 10000, 0},
        {A::Description, 10001, 10000, 1},    // "Stage box" > "Front desk"
        {A::Description, 10010, 10003, -1},   // "crew line" < "quad panel"
        {A::ListenOnlyName, 10001, 10000, 1}, // "Stage L" after ""
        // Type: class, system name, kind, client type, name.
        {A::Type, 10030, 10000, 1},
        {A::Type, 10010, 10000, 1},
        {A::Type, 10003, 10000, 1}, // type 20 after type 10, whatever the name
        {A::Type, 10001, 10003, 1}, // type 50 after type 20
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "column " << static_cast<int>(c.column) << " " << c.a << " vs " << c.b);
        const AvailableRow a = rowOf(c.a);
        const AvailableRow b = rowOf(c.b);
        const int forward = compareAvailableRows(a, b, static_cast<int>(c.column));
        EXPECT_EQ((forward > 0) - (forward < 0), c.sign);
        EXPECT_EQ(compareAvailableRows(b, a, static_cast<int>(c.column)), -forward);
    }
}

TEST_F(SelectorListsTest, AvailableOrderIsTotal) {
    // Equal keys fall back to the label number, so a reversed sort is the
    // exact reverse.
    AvailableRow a = rowOf(10000);
    AvailableRow b = a;
    b.labelNumber = 10099;
    for (int column = 0; column < static_cast<int>(kAvailableColumnCount); ++column) {
        EXPECT_LT(compareAvailableRows(a, b, column), 0) << column;
        EXPECT_GT(compareAvailableRows(b, a, column), 0) << column;
    }
}

TEST_F(SelectorListsTest, AvailableHiddenColumnsAppearWhenNeeded) {
    const auto rows = buildAvailableRows(data->labels, {});
    const auto all = availableColumnWidths(rows);
    EXPECT_EQ(all[0], 85);
    EXPECT_EQ(all[3], 98);
    const std::vector<AvailableRow> localOnly = {rowOf(10000), rowOf(10010)};
    const auto plain = availableColumnWidths(localOnly);
    EXPECT_EQ(plain[0], 0);
    EXPECT_EQ(plain[3], 0);
    EXPECT_EQ(plain[2], 98);
}

TEST_F(SelectorListsTest, SelectedClientLineAndHead) {
    struct Case {
        int clientIndex;
        const char* line;
        bool panelHead;
    };
    const Case cases[] = {
        {-1, kDefaultSelectorsLine, true},
        {0, "MCP: Windows Desktop / Desk / Front desk", true},
        {1, "MDV: Four-Wire Interface / stage / Stage box", false},
        // An index without a label still names something.
        {9, "INVALID LABEL TYPE / NO LABEL / <Invalid>", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clientIndex);
        const SelectorTarget target{c.clientIndex, false};
        EXPECT_EQ(selectedClientLine(data->labels, target), c.line);
        EXPECT_EQ(editsPanelHead(data->labels, target), c.panelHead);
    }
}

SelectorEntry withHotKey(SelectorEntry e, std::uint8_t code, std::uint8_t modifiers) {
    e.set(E::kHotKey, code);
    e.set(E::kHotKeyModifiers, modifiers);
    return e;
}

TEST_F(SelectorListsTest, AssignedCells) {
    struct Case {
        const char* what;
        AssignedRow row;
        std::array<const char*, kAssignedColumnCount> cells;
    };
    const auto entry = [](SelectorEntry e) {
        AssignedRow row;
        row.entry = e;
        return row;
    };
    const Case cases[] = {
        {"talk",
         entry(site::selector(10000, E::kTalkOnly)),
         {"Desk", "Talk Only", "Yes", "No", "No", "Yes", "", "No"}},
        {"every flag",
         entry(withHotKey(site::selector(10000, E::kSplitTalkListen, 0x2F), 0x41, 1)),
         {"Desk", "Split Talk/Listen", "No", "Yes", "Yes", "No", "Alt+A", "Yes (Invisible)"}},
        {"always on visible",
         entry(site::selector(10000, E::kTalkOnly, 0x10)),
         {"Desk", "Talk Only", "Yes", "No", "No", "Yes", "", "Yes (Visible)"}},
        {"listen uses the listen-only name",
         entry(site::selector(10001, E::kListenOnly, 0x0E)),
         {"Stage L", "Listen Only", "Yes", "-", "-", "-", "", "No"}},
        {"listen falls back",
         entry(site::selector(10000, E::kListenOnly)),
         {"Desk", "Listen Only", "Yes", "-", "-", "-", "", "No"}},
        {"talk ignores the listen-only name",
         entry(site::selector(10001, E::kTalkOnly)),
         {"stage", "Talk Only", "Yes", "No", "No", "Yes", "", "No"}},
        {"client index reference",
         entry(site::selector(3, E::kTalkOnly)),
         {"Able", "Talk Only", "Yes", "No", "No", "Yes", "", "No"}},
        {"deleted label",
         entry(site::selector(10099, E::kTalkOnly)),
         {"NO LABEL", "Talk Only", "Yes", "No", "No", "Yes", "", "No"}},
        {"spacer", entry(site::layoutMark(E::kSpacer)), {"", "SPACER", "", "", "", "", "", ""}},
        {"row", entry(site::layoutMark(E::kRowBreak)), {"", "ROW BREAK", "", "", "", "", "", ""}},
        {"page",
         entry(site::layoutMark(E::kPageBreak)),
         {"", "PAGE BREAK", "", "", "", "", "", ""}},
        {"call notification with key",
         entry(withHotKey(site::layoutMark(E::kCallNotification), 0x70, 2)),
         {"", "CALL NOTIFICATION", "", "", "", "", "Ctrl+F1", ""}},
        {"spacer hides a key",
         entry(withHotKey(site::layoutMark(E::kSpacer), 0x70, 2)),
         {"", "SPACER", "", "", "", "", "", ""}},
        {"marker",
         AssignedRow::marker(),
         {"-----------------", "SPLIT SCREEN", "", "", "", "", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto cells = assignedCells(data->labels, c.row);
        for (std::size_t k = 0; k < kAssignedColumnCount; ++k) {
            EXPECT_EQ(cells[k], c.cells[k]) << "column " << k;
        }
    }
}

TEST_F(SelectorListsTest, AssignedColumnsAppearForValuesOtherThanANewEntrys) {
    struct Case {
        const char* what;
        SelectorEntry entry;
        std::array<int, kAssignedColumnCount> widths;
    };
    const Case cases[] = {
        {"new talk entry", site::selector(10000, E::kTalkOnly), {100, 115, 0, 0, 0, 0, 0, 0}},
        {"listen dashes",
         site::selector(10000, E::kListenOnly, 0x0E),
         {100, 115, 0, 0, 0, 0, 0, 0}},
        {"not latchable", site::selector(10000, E::kTalkOnly, 0x01), {100, 115, 61, 0, 0, 0, 0, 0}},
        {"ifb iso", site::selector(10000, E::kTalkOnly, 0x06), {100, 115, 0, 40, 40, 0, 0, 0}},
        {"dim off", site::selector(10000, E::kTalkOnly, 0x08), {100, 115, 0, 0, 0, 50, 0, 0}},
        {"hot key",
         withHotKey(site::selector(10000, E::kTalkOnly), 0x41, 0),
         {100, 115, 0, 0, 0, 0, 120, 0}},
        {"always on", site::selector(10000, E::kTalkOnly, 0x20), {100, 115, 0, 0, 0, 0, 0, 80}},
        {"call notification key",
         withHotKey(site::layoutMark(E::kCallNotification), 0x41, 0),
         {100, 115, 0, 0, 0, 0, 120, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AssignedRow row;
        row.entry = c.entry;
        const std::vector<AssignedRow> rows = {row, AssignedRow::marker()};
        EXPECT_EQ(assignedColumnWidths(data->labels, rows), c.widths);
    }
}

} // namespace
} // namespace mirx::model
