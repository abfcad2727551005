#include "core/message_ids.h"
#include "model/hot_keys.h"
#include "model/selector_edit.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace mirx::model {
namespace {

using A = SelectorAssignments;
using B = SelectorButton;
using E = SelectorEntry;

constexpr int kDesk = 10000;
constexpr int kStage = 10001;
constexpr int kQuad = 10003;
constexpr int kBooth = 10004;
constexpr int kCrew = 10010;

// 'E' for an entry row, 'M' for the split marker.
std::string shape(const SelectorEditor& editor) {
    std::string s;
    for (const AssignedRow& row : editor.rows()) {
        s += row.splitMarker ? 'M' : 'E';
    }
    return s;
}

std::vector<int> labelsOf(const SelectorEditor& editor) {
    std::vector<int> labels;
    for (const AssignedRow& row : editor.rows()) {
        labels.push_back(row.splitMarker ? 0 : row.entry.get(E::kLabel));
    }
    return labels;
}

A withSplit(A record, int position) {
    record.set(A::kSplitScreenPosition, position);
    return record;
}

// Panels Desk (0), Quad (3, the split-screen type) and Booth (4), a device
// interface and a party line.
class SelectorEditTest : public ::testing::Test {
protected:
    SelectorEditTest() {
        site::addClient(site, kDesk, 0, 10, "Desk", "", "desk", "");
        site::addClient(site, kStage, 1, 50, "Stage", "", "stage", "");
        site::addClient(site, kQuad, 3, 20, "Quad", "", "quad", "");
        site::addClient(site, kBooth, 4, 10, "Booth", "", "booth", "");
        site::addPartyLine(site, kCrew, 0, "Crew", "");
        data = test::loadSite(site);
    }

    SelectorEditor editor(int clientIndex, const A& record, bool allowSelf = false) const {
        SelectorEditor e(data->labels, {clientIndex, allowSelf});
        e.load(data->labels, record);
        return e;
    }

    // As the available list hands over its selected row.
    AvailableSelection pick(int number) const {
        for (const AvailableRow& row : buildAvailableRows(data->labels, {})) {
            if (row.labelNumber == number) {
                return availableSelection(row);
            }
        }
        ADD_FAILURE() << number << " is not listed";
        return {};
    }

    // Three talk selectors: Booth, Crew, Stage.
    static A three() {
        return site::selectorList({site::selector(kBooth, E::kTalkOnly),
                                   site::selector(kCrew, E::kTalkOnly),
                                   site::selector(kStage, E::kTalkOnly)});
    }

    mirx::test::LogCapture log;
    site::Site site;
    std::unique_ptr<MirrorData> data;
};

TEST_F(SelectorEditTest, SplitMarkerFromTheRecordAndBack) {
    struct Case {
        int position;
        const char* shape;
        int saved;
    };
    const Case cases[] = {
        {0, "EEE", 0},
        {1, "EMEE", 1},
        {2, "EEME", 2},
        // After the last entry: shown, so the position is kept and visible.
        {3, "EEEM", 3},
        {4, "EEE", 0},
        {-1, "EEE", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        const SelectorEditor e = editor(3, withSplit(three(), c.position));
        EXPECT_EQ(shape(e), c.shape);
        EXPECT_EQ(e.save({}).get(A::kSplitScreenPosition), c.saved);
        EXPECT_EQ(e.save({}).get(A::kEntryCount), 3);
    }
}

TEST_F(SelectorEditTest, TheEditedClientIsLeftOutUnlessItMayBeAssigned) {
    const A record =
        withSplit(site::selectorList(
                      {site::selector(kDesk, E::kTalkOnly), site::selector(kCrew, E::kTalkOnly),
                       site::selector(0, E::kListenOnly), site::selector(kBooth, E::kTalkOnly),
                       site::selector(10099, E::kTalkOnly)}),
                  3);
    struct Case {
        const char* what;
        int clientIndex;
        bool allowSelf;
        std::vector<int> labels;
    };
    const Case cases[] = {
        // By label number and by client index; the marker keeps its place
        // among the entries that stay, and a deleted label stays.
        {"client", 0, false, {kCrew, 0, kBooth, 10099}},
        {"self allowed", 0, true, {kDesk, kCrew, 0, 0, kBooth, 10099}},
        {"default record", -1, false, {kDesk, kCrew, 0, 0, kBooth, 10099}},
        {"another client", 4, false, {kDesk, kCrew, 0, 0, 10099}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SelectorEditor e = editor(c.clientIndex, record, c.allowSelf);
        EXPECT_EQ(labelsOf(e), c.labels);
        const A saved = e.save({});
        EXPECT_EQ(saved.entry(saved.entryCount() - 1).get(E::kLabel), 10099);
    }
}

TEST_F(SelectorEditTest, AddingInsertsBeforeTheSelectionWhichStaysOnItsRow) {
    SelectorEditor e = editor(0, three());
    e.selectAvailable({kQuad, kAllowAllFunctions});
    e.selectRow(1);
    ASSERT_TRUE(e.add(B::TalkOnly, false));
    EXPECT_EQ(labelsOf(e), (std::vector<int>{kBooth, kQuad, kCrew, kStage}));
    EXPECT_EQ(e.selectedRow(), 2);
    ASSERT_TRUE(e.add(B::Page, false));
    EXPECT_EQ(labelsOf(e), (std::vector<int>{kBooth, kQuad, -1, kCrew, kStage}));
    EXPECT_EQ(e.rows()[2].entry.get(E::kCode), E::kPageBreak);
    EXPECT_EQ(e.selectedRow(), 3);

    e.clickRow(3); // a click on the selected row clears it
    EXPECT_EQ(e.selectedRow(), -1);
    ASSERT_TRUE(e.add(B::ListenOnly, false));
    EXPECT_EQ(e.rows().back().entry.get(E::kLabel), kQuad);
    EXPECT_EQ(e.selectedRow(), -1);
}

TEST_F(SelectorEditTest, NewEntries) {
    struct Case {
        B button;
        bool defaultNonLatchable;
        std::int16_t label;
        std::uint8_t code;
        std::uint8_t flags;
    };
    const Case cases[] = {
        {B::TalkOnly, false, kCrew, E::kTalkOnly, 0},
        {B::TalkOnly, true, kCrew, E::kTalkOnly, 1},
        {B::SplitTalkListen, true, kCrew, E::kSplitTalkListen, 1},
        {B::ListenOnly, true, kCrew, E::kListenOnly, 0},
        {B::Spacer, true, -1, E::kSpacer, 0},
        {B::Row, false, -1, E::kRowBreak, 0},
        {B::Page, false, -1, E::kPageBreak, 0},
        {B::CallNotification, true, -1, E::kCallNotification, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.button));
        // A received entry with every byte set is selected: nothing of it
        // may leak into the new one.
        E full;
        full.bytes.fill(0xFF);
        full.set(E::kLabel, kBooth);
        SelectorEditor e = editor(0, site::selectorList({full}));
        e.selectAvailable({kCrew, kAllowAllFunctions});
        e.selectRow(0);
        ASSERT_TRUE(e.add(c.button, c.defaultNonLatchable));
        E expected;
        expected.set(E::kLabel, c.label);
        expected.set(E::kCode, c.code);
        expected.set(E::kFlags, c.flags);
        EXPECT_EQ(e.rows()[0].entry, expected);
        EXPECT_EQ(e.rows()[1].entry, full);
    }
}

TEST_F(SelectorEditTest, ButtonEnabling) {
    const std::set<B> layout = {B::Spacer, B::Row, B::Page, B::CallNotification};
    const auto with = [](std::set<B> a, std::initializer_list<B> more) {
        a.insert(more);
        return a;
    };
    const A mixed =
        withSplit(site::selectorList(
                      {site::selector(kCrew, E::kTalkOnly), site::selector(kCrew, E::kListenOnly),
                       site::layoutMark(E::kSpacer), site::layoutMark(E::kCallNotification),
                       site::selector(kCrew, E::kSplitTalkListen)}),
                  0);
    struct Case {
        const char* what;
        int clientIndex;
        A record;
        int row;
        AvailableSelection available;
        std::set<B> expected;
    };
    const Case cases[] = {
        {"nothing selected", 0, mixed, -1, {}, {B::Clear}},
        {"available label",
         0,
         mixed,
         -1,
         {kCrew, 3},
         {B::SplitTalkListen, B::TalkOnly, B::ListenOnly, B::Clear}},
        {"talk only allowed", 0, mixed, -1, {kCrew, 1}, {B::TalkOnly, B::Clear}},
        {"listen only allowed", 0, mixed, -1, {kCrew, 2}, {B::ListenOnly, B::Clear}},
        {"talk entry",
         0,
         mixed,
         0,
         {},
         with(with(layout, {B::Remove, B::Clear, B::HotKey, B::AlwaysOn}),
              {B::Latchable, B::Ifb, B::Iso, B::SpeakerDim})},
        {"split entry",
         0,
         mixed,
         4,
         {},
         with(with(layout, {B::Remove, B::Clear, B::HotKey, B::AlwaysOn}),
              {B::Latchable, B::Ifb, B::Iso, B::SpeakerDim})},
        {"listen entry",
         0,
         mixed,
         1,
         {},
         with(layout, {B::Remove, B::Clear, B::HotKey, B::AlwaysOn})},
        {"spacer", 0, mixed, 2, {}, with(layout, {B::Remove, B::Clear})},
        {"call notification", 0, mixed, 3, {}, with(layout, {B::Remove, B::Clear, B::HotKey})},
        {"split-screen client, second row",
         3,
         mixed,
         1,
         {},
         with(layout, {B::Remove, B::Clear, B::HotKey, B::AlwaysOn, B::SplitScreen})},
        {"split-screen client, first row",
         3,
         mixed,
         0,
         {},
         with(with(layout, {B::Remove, B::Clear, B::HotKey, B::AlwaysOn}),
              {B::Latchable, B::Ifb, B::Iso, B::SpeakerDim})},
        {"split-screen client with a marker",
         3,
         withSplit(mixed, 2),
         3,
         {},
         with(layout, {B::Remove, B::Clear})},
        {"panel duplicating a panel",
         0,
         mixed,
         -1,
         pick(kBooth),
         {B::SplitTalkListen, B::TalkOnly, B::ListenOnly, B::Clear, B::Duplicate}},
        {"panel and a device",
         0,
         mixed,
         -1,
         pick(kStage),
         {B::SplitTalkListen, B::TalkOnly, B::ListenOnly, B::Clear}},
        {"device and a panel",
         1,
         mixed,
         -1,
         pick(kBooth),
         {B::SplitTalkListen, B::TalkOnly, B::ListenOnly, B::Clear}},
        {"default record and a panel",
         -1,
         mixed,
         -1,
         pick(kBooth),
         {B::SplitTalkListen, B::TalkOnly, B::ListenOnly, B::Clear}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SelectorEditor e = editor(c.clientIndex, c.record);
        e.selectRow(c.row);
        e.selectAvailable(c.available);
        std::set<B> on;
        for (std::size_t b = 0; b < kSelectorButtonCount; ++b) {
            if (e.enabled(static_cast<B>(b))) {
                on.insert(static_cast<B>(b));
            }
        }
        EXPECT_EQ(on, c.expected);
    }
}

TEST_F(SelectorEditTest, DisabledEditsChangeNothing) {
    SelectorEditor e = editor(0, site::selectorList({site::selector(kCrew, E::kListenOnly)}));
    e.selectRow(0);
    EXPECT_FALSE(e.toggle(B::Ifb));
    EXPECT_FALSE(e.add(B::TalkOnly, false)); // no available label
    EXPECT_FALSE(e.add(B::SplitScreen, false));
    EXPECT_FALSE(e.toggle(B::Remove));
    EXPECT_EQ(e.save({}).wire().size(), 38u);
    EXPECT_EQ(e.rows()[0].entry, site::selector(kCrew, E::kListenOnly));
}

TEST_F(SelectorEditTest, RemoveSelectsTheRowThatTakesItsPlace) {
    struct Case {
        int removed;
        std::vector<int> labels;
        int selected;
    };
    const Case cases[] = {
        {0, {kCrew, kStage}, 0},
        {1, {kBooth, kStage}, 1},
        {2, {kBooth, kCrew}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.removed);
        SelectorEditor e = editor(0, three());
        e.selectRow(c.removed);
        ASSERT_TRUE(e.remove());
        EXPECT_EQ(labelsOf(e), c.labels);
        EXPECT_EQ(e.selectedRow(), c.selected);
    }
    SelectorEditor one = editor(0, site::selectorList({site::selector(kCrew, E::kTalkOnly)}));
    one.selectRow(0);
    ASSERT_TRUE(one.remove());
    EXPECT_EQ(one.selectedRow(), -1);
    EXPECT_FALSE(one.remove());
}

TEST_F(SelectorEditTest, SplitScreenMarker) {
    SelectorEditor e = editor(3, three());
    e.selectRow(2);
    ASSERT_TRUE(e.add(B::SplitScreen, false));
    EXPECT_EQ(shape(e), "EEME");
    EXPECT_EQ(e.selectedRow(), 3);
    EXPECT_FALSE(e.enabled(B::SplitScreen)); // one marker only
    EXPECT_EQ(e.save({}).get(A::kSplitScreenPosition), 2);

    e.selectRow(2);
    ASSERT_TRUE(e.remove());
    EXPECT_EQ(shape(e), "EEE");
    EXPECT_EQ(e.save({}).get(A::kSplitScreenPosition), 0);

    SelectorEditor cleared = editor(3, withSplit(three(), 1));
    ASSERT_TRUE(cleared.clear());
    EXPECT_TRUE(cleared.rows().empty());
    const A saved = cleared.save({});
    EXPECT_EQ(saved.get(A::kSplitScreenPosition), 0);
    EXPECT_EQ(saved.get(A::kEntryCount), 0);
    EXPECT_EQ(saved.wire().size(), A::kHeadSize);
}

TEST_F(SelectorEditTest, MovingRowsKeepsTheSelectionOnItsRow) {
    struct Case {
        int from;
        int to;
        int selectedBefore;
        const char* shape;
        std::vector<int> labels;
        int selectedAfter;
        int split;
    };
    // Rows: Booth, marker, Crew, Stage.
    const Case cases[] = {
        {0, 2, 0, "MEEE", {0, kCrew, kBooth, kStage}, 2, 0},
        {3, 0, 2, "EEME", {kStage, kBooth, 0, kCrew}, 3, 2},
        {1, 3, 2, "EEEM", {kBooth, kCrew, kStage, 0}, 1, 3},
        {2, 2, 2, "EMEE", {kBooth, 0, kCrew, kStage}, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.from << "->" << c.to);
        SelectorEditor e = editor(3, withSplit(three(), 1));
        e.selectRow(c.selectedBefore);
        ASSERT_TRUE(e.moveRow(c.from, c.to));
        EXPECT_EQ(shape(e), c.shape);
        EXPECT_EQ(labelsOf(e), c.labels);
        EXPECT_EQ(e.selectedRow(), c.selectedAfter);
        EXPECT_EQ(e.save({}).get(A::kSplitScreenPosition), c.split);
    }
    SelectorEditor e = editor(0, three());
    EXPECT_FALSE(e.moveRow(0, 3));
    EXPECT_FALSE(e.moveRow(-1, 0));
}

TEST_F(SelectorEditTest, FlagsAndAlwaysOnKeepTheCarriedBits) {
    E received = site::selector(kCrew, E::kTalkOnly, 0xC0);
    received.set(E::kByte6, 0xA5);
    SelectorEditor e = editor(0, site::selectorList({received}));
    e.selectRow(0);
    struct Case {
        B button;
        std::uint8_t flags;
    };
    for (const Case& c : {Case{B::Latchable, 0xC1}, Case{B::Ifb, 0xC2}, Case{B::Iso, 0xC4},
                          Case{B::SpeakerDim, 0xC8}}) {
        SCOPED_TRACE(static_cast<int>(c.button));
        ASSERT_TRUE(e.toggle(c.button));
        EXPECT_EQ(e.rows()[0].entry.get(E::kFlags), c.flags);
        ASSERT_TRUE(e.toggle(c.button));
        EXPECT_EQ(e.rows()[0].entry, received);
    }
    for (const std::uint8_t flags : {0xD0, 0xE0, 0xC0}) {
        ASSERT_TRUE(e.cycleAlwaysOn());
        EXPECT_EQ(e.rows()[0].entry.get(E::kFlags), flags);
    }
    // Both bits set reads as invisible, which steps to No.
    SelectorEditor both =
        editor(0, site::selectorList({site::selector(kCrew, E::kTalkOnly, 0x30)}));
    both.selectRow(0);
    ASSERT_TRUE(both.cycleAlwaysOn());
    EXPECT_EQ(both.rows()[0].entry.get(E::kFlags), 0);
}

TEST_F(SelectorEditTest, HotKeyKeepsTheOtherModifierBits) {
    E received = site::layoutMark(E::kCallNotification);
    received.set(E::kHotKey, 0x41);
    received.set(E::kHotKeyModifiers, 0xF8 | kHotKeyAlt | kHotKeyShift);
    SelectorEditor e = editor(0, site::selectorList({received}));
    e.selectRow(0);
    EXPECT_EQ(e.hotKey(), (HotKeyChoice{0x41, true, false, true}));
    struct Case {
        HotKeyChoice choice;
        std::uint8_t modifiers;
    };
    const Case cases[] = {
        {{0x70, false, true, false}, 0xF8 | kHotKeyCtrl},
        {{0x20, true, true, true}, 0xFF},
        {{0, false, false, false}, 0xF8}, // Clear then OK
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice.code);
        ASSERT_TRUE(e.setHotKey(c.choice));
        EXPECT_EQ(e.rows()[0].entry.get(E::kHotKey), c.choice.code);
        EXPECT_EQ(e.rows()[0].entry.get(E::kHotKeyModifiers), c.modifiers);
        EXPECT_EQ(e.hotKey(), c.choice);
    }
    SelectorEditor spacer = editor(0, site::selectorList({site::layoutMark(E::kSpacer)}));
    spacer.selectRow(0);
    EXPECT_FALSE(spacer.hotKey().has_value());
    EXPECT_FALSE(spacer.setHotKey({0x41, false, false, false}));
}

// A received record with every carried byte set to a recognisable value.
A carriedRecord() {
    E talk = site::selector(kCrew, E::kTalkOnly, 0xC0);
    talk.set(E::kByte6, 0xF3);
    const std::uint8_t kept[] = {7, 8, 9};
    std::copy(std::begin(kept), std::end(kept), talk.data() + E::kKept.offset);
    A record = site::selectorList({talk, site::layoutMark(E::kRowBreak)}, 6);
    // Everything before the split position.
    for (std::size_t k = 0; k < A::kSplitScreenPosition.offset; ++k) {
        record.data()[k] = static_cast<std::uint8_t>(0x80 + k);
    }
    return record;
}

std::vector<std::uint8_t> bytesOf(const A& record) {
    return {record.wire().begin(), record.wire().end()};
}

TEST_F(SelectorEditTest, SavedRecordIsTheReceivedOneWithTheEdits) {
    const A received = carriedRecord();
    struct Case {
        const char* what;
        int clientIndex;
        SelectorHeadValues head;
        void (*edit)(A&);
    };
    const Case cases[] = {
        {"panel",
         0,
         {"12", true, ActivationMethod::OnDtmfToneDetection},
         [](A& r) {
             r.set(A::kSelectorsPerRow, 12);
             r.set(A::kOptionBits, 0x85); // bit 0 set, the others kept
         }},
        {"panel, box cleared",
         0,
         {"", false, ActivationMethod::OnDtmfToneDetection},
         [](A& r) {
             r.set(A::kSelectorsPerRow, 0);
             r.set(A::kOptionBits, 0x84);
         }},
        {"default record",
         -1,
         {"4", false, ActivationMethod::OnDtmfToneDetection},
         [](A& r) {
             r.set(A::kSelectorsPerRow, 4);
             r.set(A::kOptionBits, 0x84);
         }},
        {"device",
         1,
         {"12", true, ActivationMethod::OnLogicInputActivation},
         [](A& r) {
             r.set(A::kActivationMethod, 3);
             r.set(A::kActivationDetail, -1);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SelectorEditor e = editor(c.clientIndex, received);
        A expected = received;
        c.edit(expected);
        EXPECT_EQ(bytesOf(e.save(c.head)), bytesOf(expected));
    }
}

TEST_F(SelectorEditTest, PostsOfOk) {
    const A record = carriedRecord();
    const std::vector<std::uint8_t> bytes = bytesOf(record);
    ASSERT_EQ(bytes.size(), A::kHeadSize + 2 * E::kSize);
    struct Case {
        int clientIndex;
        bool applyToAll;
        OutgoingRecord post;
    };
    const Case cases[] = {
        {7, false, {msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, 7, bytes}},
        {7, true, {msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, 7, bytes}},
        {-1, true, {msg::CONFIGURATION_DATA_DEFAULT_SELECTOR_ASSIGNMENTS, 1, bytes}},
        {-1, false, {msg::CONFIGURATION_DATA_DEFAULT_SELECTOR_ASSIGNMENTS, 0, bytes}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.clientIndex << " " << c.applyToAll);
        EXPECT_EQ(selectorAssignmentsPost({c.clientIndex, false}, record, c.applyToAll), c.post);
    }
}

TEST_F(SelectorEditTest, AFullListTakesNoMoreEntries) {
    std::vector<E> entries(A::kMaxEntries, site::selector(kCrew, E::kTalkOnly));
    A record;
    record.assignEntries(entries);
    SelectorEditor e = editor(3, record);
    e.selectAvailable({kCrew, kAllowAllFunctions});
    e.selectRow(5);
    for (const B button :
         {B::SplitTalkListen, B::TalkOnly, B::ListenOnly, B::Spacer, B::CallNotification}) {
        EXPECT_FALSE(e.add(button, false)) << static_cast<int>(button);
    }
    // The marker is not an entry.
    EXPECT_TRUE(e.add(B::SplitScreen, false));
    EXPECT_EQ(e.save({}).wire().size(), A::kSize);
    e.selectRow(0);
    ASSERT_TRUE(e.remove());
    EXPECT_TRUE(e.add(B::TalkOnly, false));
}

TEST_F(SelectorEditTest, DuplicateTakesTheOtherClientsRecord) {
    const A own = carriedRecord();
    SelectorEditor e = editor(0, own);
    e.selectAvailable(pick(kBooth));
    e.selectRow(0);
    EXPECT_EQ(e.beginDuplicate(), std::optional<std::uint16_t>(4));
    EXPECT_TRUE(e.duplicatePending());
    EXPECT_TRUE(e.rows().empty());
    for (const B button :
         {B::SplitTalkListen, B::TalkOnly, B::ListenOnly, B::Clear, B::Duplicate}) {
        EXPECT_FALSE(e.enabled(button)) << static_cast<int>(button);
    }
    EXPECT_FALSE(e.beginDuplicate().has_value());

    A source = withSplit(site::selectorList({site::selector(kStage, E::kListenOnly),
                                             site::selector(kDesk, E::kTalkOnly),
                                             site::selector(kQuad, E::kTalkOnly)},
                                            9),
                         2);
    e.finishDuplicate(data->labels, source);
    EXPECT_FALSE(e.duplicatePending());
    EXPECT_TRUE(e.enabled(B::TalkOnly));
    EXPECT_TRUE(e.enabled(B::Duplicate));
    // The edited client's own selector is left out as on any load.
    EXPECT_EQ(labelsOf(e), (std::vector<int>{kStage, 0, kQuad}));
    const A saved = e.save({"9", false, {}});
    EXPECT_EQ(saved.get(A::kEntryCount), 2);
    EXPECT_EQ(saved.get(A::kSelectorsPerRow), 9);
    // The head is the source's: its carried bytes replace the edited ones.
    EXPECT_EQ(saved.data()[5], source.data()[5]);
    EXPECT_EQ(saved.get(A::kSplitScreenPosition), 1);
}

TEST(SelectorsPerRow, TypedText) {
    struct Case {
        const char* typed;
        std::int16_t value;
    };
    const Case cases[] = {
        {"12", 12}, {" 7", 7},        {"+5", 5},          {"-3", -3},
        {"8x", 8},  {"", 0},          {"   ", 0},         {"abc", 0},
        {"-", 0},   {"99999", 32767}, {"-99999", -32768}, {"99999999999999999999", 32767},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(selectorsPerRowFromText(c.typed), c.value);
    }
}

} // namespace
} // namespace mirx::model
