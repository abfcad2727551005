#include "model/label_table.h"
#include "tests/support/log_capture.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace mirx::model {
namespace {

struct Label {
    int number = 0;
    int systemClass = 0;
    int system = 0;
    int kind = 0;
    int index = 0;
    int clientType = 10;
    std::string talk = {};
    std::string externalLong = {};
    std::string externalShort = {};
    std::string listenOnly = {};
};

LabelInfo make(const Label& l) {
    LabelInfo info;
    info.set(LabelInfo::kLabelNumber, l.number);
    info.set(LabelInfo::kSystemClass, l.systemClass);
    info.set(LabelInfo::kSystemNumber, l.system);
    info.set(LabelInfo::kLabelKind, l.kind);
    info.set(LabelInfo::kIndex, l.index);
    info.set(LabelInfo::kClientType, l.clientType);
    info.set(LabelInfo::kTalkListenName, l.talk);
    info.set(LabelInfo::kExternalLongName, l.externalLong);
    info.set(LabelInfo::kExternalShortName, l.externalShort);
    info.set(LabelInfo::kListenOnlyName, l.listenOnly);
    return info;
}

class LabelTableTest : public ::testing::Test {
protected:
    void store(const Label& l) {
        ASSERT_TRUE(table.Store(static_cast<std::uint16_t>(l.number), make(l).view())) << l.number;
    }
    std::vector<int> walk(int kind, bool all) const {
        std::vector<int> found;
        int reference = kNoLabel;
        while (table.Next(reference, kind, all) != kNoLabel) {
            found.push_back(reference);
        }
        EXPECT_EQ(reference, kNoLabel);
        return found;
    }

    test::LogCapture log;
    LabelTable table;
};

// --- receiving ---

TEST_F(LabelTableTest, ReceivedLabelsTakeSlotsFromZeroAndAdvanceTheNextNumber) {
    store({.number = 10000});
    EXPECT_EQ(table.SlotIndex(10000), 0);
    EXPECT_EQ(table.NextLabelNumber(), 10001);
    EXPECT_EQ(table.ClientCount(), 1);
    EXPECT_EQ(table.ClientLabelNumber(0), 10000);
    EXPECT_TRUE(table.IsSystemPresent(SystemClass::Local, 0));

    store({.number = 10005, .kind = 1, .index = 3});
    EXPECT_EQ(table.SlotIndex(10005), 1);
    EXPECT_EQ(table.NextLabelNumber(), 10006);
    store({.number = 10002, .kind = 2});
    EXPECT_EQ(table.NextLabelNumber(), 10006) << "a lower number leaves it";
    EXPECT_EQ(table.PartyLineCount(), 1);
    EXPECT_EQ(table.FixedGroupCount(), 1);

    store({.number = 29999, .systemClass = 1, .system = 7});
    EXPECT_EQ(table.NextLabelNumber(), 10000);
    EXPECT_EQ(table.ClientCount(), 1) << "only local system 0 is counted";
}

TEST_F(LabelTableTest, RepeatedNumberOverwritesItsSlotAndCountsOnce) {
    store({.number = 10000, .talk = "One"});
    store({.number = 10001, .index = 1});
    store({.number = 10000, .talk = "Two"});
    EXPECT_EQ(table.SlotIndex(10000), 0);
    EXPECT_EQ(table.DisplayName(10000), "Two");
    EXPECT_EQ(table.ClientCount(), 2);

    // A short payload replaces only its own bytes.
    LabelInfo head = make({.number = 10000, .talk = "Ignored"});
    head.set(LabelInfo::kDescription, "Stage");
    ASSERT_TRUE(table.Store(10000, head.view().first(LabelInfo::kTalkListenName.offset)));
    EXPECT_EQ(table.Description(10000), "Stage");
    EXPECT_EQ(table.DisplayName(10000), "Two");
}

TEST_F(LabelTableTest, ReceiveRules) {
    store({.number = 10020, .index = 5, .talk = "Five"});
    const LabelInfo replacement = make({.number = 10020, .index = 5, .talk = "Five bis"});

    // By client index: resolved through the client map of local system 0.
    EXPECT_TRUE(table.Store(5, replacement.view()));
    EXPECT_EQ(table.DisplayName(10020), "Five bis");
    EXPECT_EQ(table.SlotIndex(10020), 0);

    struct Ignored {
        const char* name;
        std::uint16_t second;
        std::size_t size;
    };
    for (const Ignored& c :
         {Ignored{"client index without a label", 7, 300},
          Ignored{"client index beyond the map", 1000, 300},
          Ignored{"above the label numbers", 30000, 300},
          Ignored{"negative as a reference", 0x8000, 300}, Ignored{"oversized", 10030, 301}}) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> payload(c.size, 0);
        std::copy(replacement.bytes.begin(), replacement.bytes.end(), payload.begin());
        EXPECT_FALSE(table.Store(c.second, payload));
        EXPECT_EQ(table.SlotIndex(10030), -1);
        EXPECT_EQ(table.SlotIndex(10000), -1);
        EXPECT_EQ(table.ClientCount(), 1);
        EXPECT_EQ(table.NextLabelNumber(), 10021);
    }

    EXPECT_TRUE(table.Store(LabelTable::kClearTable, {}));
    EXPECT_EQ(table.Find(10020), nullptr);
    EXPECT_EQ(table.ClientCount(), 0);
    EXPECT_EQ(table.NextLabelNumber(), 10000);
}

TEST_F(LabelTableTest, ResetClearsEveryIndexButKeepsTheSystemList) {
    SystemListEntry entry;
    entry.set(SystemListEntry::kName, "Main");
    ASSERT_TRUE(table.StoreSystemList(1, entry.view()));

    store({.number = 10000, .system = 31, .kind = 2, .index = 99});
    store({.number = 10001, .systemClass = 1, .system = 254, .kind = 8, .index = 999});
    store({.number = 10002, .systemClass = 1, .system = 0, .kind = 0, .index = 960});
    store({.number = 10003, .systemClass = 2, .system = 5, .kind = 63, .index = 199});
    store({.number = 10004, .kind = 1, .index = 199});
    table.Reset();

    struct Position {
        SystemClass cls;
        int system, kind, index;
    };
    for (const Position& p :
         {Position{SystemClass::Local, 31, 2, 99}, Position{SystemClass::Rts, 254, 8, 999},
          Position{SystemClass::Rts, 0, 0, 960}, Position{SystemClass::Delec, 5, 63, 199},
          Position{SystemClass::Local, 0, 1, 199}}) {
        SCOPED_TRACE(::testing::Message() << static_cast<int>(p.cls) << "/" << p.system << "/"
                                          << p.kind << "/" << p.index);
        EXPECT_EQ(table.MapEntry(p.cls, p.system, p.kind, p.index), -1);
        EXPECT_EQ(table.HighestIndex(p.cls, p.system, p.kind), 0);
        EXPECT_FALSE(table.IsSystemPresent(p.cls, p.system));
    }
    for (int number = 10000; number <= 10004; ++number) {
        EXPECT_EQ(table.Find(number), nullptr);
    }
    EXPECT_EQ(table.PartyLineCount(), 0);
    EXPECT_EQ(table.NextLabelNumber(), 10000);
    EXPECT_EQ(table.SystemName(0, 0), "Main");
    store({.number = 10004});
    EXPECT_EQ(table.SlotIndex(10004), 0);
}

// A reset clears only what was used since the previous one, so each round
// uses other parts of the table than the round before.
TEST_F(LabelTableTest, EveryResetClearsWhatItsRoundUsed) {
    struct Round {
        std::vector<Label> stored;
        int created; // client labels made with Create after the stored ones
    };
    const std::vector<Round> rounds = {
        {{{.number = 10500, .systemClass = 1, .system = 3, .kind = 4, .index = 7},
          {.number = 29999, .system = 2, .kind = 1, .index = 12}},
         2},
        {{{.number = 12000, .systemClass = 2, .system = 1, .kind = 9, .index = 150}}, 3},
        {{}, 1},
        {{{.number = 10000, .systemClass = 1, .system = 3, .kind = 4, .index = 8}}, 0},
    };
    for (std::size_t r = 0; r < rounds.size(); ++r) {
        SCOPED_TRACE(::testing::Message() << "round " << r);
        std::vector<int> numbers;
        for (const Label& l : rounds[r].stored) {
            store(l);
            numbers.push_back(l.number);
        }
        for (int i = 0; i < rounds[r].created; ++i) {
            numbers.push_back(table.Create(0));
            ASSERT_NE(numbers.back(), kNoLabel);
        }
        ASSERT_TRUE(table.Store(LabelTable::kClearTable, {}));

        for (const Label& l : rounds[r].stored) {
            const auto cls = static_cast<SystemClass>(l.systemClass);
            EXPECT_EQ(table.MapEntry(cls, l.system, l.kind, l.index), -1) << l.number;
            EXPECT_EQ(table.HighestIndex(cls, l.system, l.kind), 0) << l.number;
            EXPECT_FALSE(table.IsSystemPresent(cls, l.system)) << l.number;
        }
        for (int i = 0; i < rounds[r].created; ++i) {
            EXPECT_EQ(table.ClientLabelNumber(i), -1);
        }
        for (const int number : numbers) {
            EXPECT_EQ(table.Find(number), nullptr) << number;
        }
        EXPECT_TRUE(walk(static_cast<int>(LabelKind::Client), true).empty());
        EXPECT_EQ(table.ClientCount(), 0);
        EXPECT_EQ(table.NextLabelNumber(), 10000);
    }
    store({.number = 10300});
    EXPECT_EQ(table.SlotIndex(10300), 0);
}

// --- creation and deletion ---

TEST_F(LabelTableTest, CreateUsesTheLowestFreeIndexUntilTheKindIsFull) {
    struct Kind {
        int kind;
        int capacity;
        std::function<int()> count;
    };
    for (const Kind& k : {Kind{0, 1000,
                               [&] {
                                   return table.ClientCount();
                               }},
                          Kind{1, 200,
                               [&] {
                                   return table.PartyLineCount();
                               }},
                          Kind{2, 100, [&] {
                                   return table.FixedGroupCount();
                               }}}) {
        SCOPED_TRACE(k.kind);
        for (int i = 0; i < k.capacity; ++i) {
            const int number = table.Create(k.kind);
            ASSERT_NE(number, -1) << i;
            ASSERT_EQ(table.Find(number)->get(LabelInfo::kIndex), i);
        }
        EXPECT_EQ(table.Create(k.kind), -1);
        EXPECT_EQ(k.count(), k.capacity);
        EXPECT_EQ(table.HighestIndex(SystemClass::Local, 0, k.kind), k.capacity - 1);
    }
    EXPECT_EQ(table.Create(3), -1);
    EXPECT_EQ(table.Create(-1), -1);

    // A freed index in the middle is the next one taken.
    ASSERT_TRUE(table.Delete(3));
    const int again = table.Create(0);
    EXPECT_EQ(table.ClientLabelNumber(3), again);
    EXPECT_EQ(table.Find(again)->get(LabelInfo::kIndex), 3);
}

TEST_F(LabelTableTest, CreatedRecordsStartCleared) {
    store({.number = 10040, .systemClass = 1, .talk = "Remote"});
    const int client = table.Create(0);
    const int partyLine = table.Create(1);
    ASSERT_EQ(client, 10041);
    ASSERT_EQ(partyLine, 10042);

    LabelInfo expected;
    expected.set(LabelInfo::kLabelNumber, client);
    for (auto field :
         {LabelInfo::kSelectorAssignmentsTemplate, LabelInfo::kAudioSettingsTemplate,
          LabelInfo::kOptionsTemplate, LabelInfo::kFourthLink, LabelInfo::kRtsFunctionNumber}) {
        expected.set(field, -1);
    }
    expected.set(LabelInfo::kRtsFunctionType, 255);
    EXPECT_EQ(*table.Find(client), expected);

    LabelInfo group;
    group.set(LabelInfo::kLabelNumber, partyLine);
    group.set(LabelInfo::kLabelKind, 1);
    EXPECT_EQ(*table.Find(partyLine), group) << "links are set for clients only";
    EXPECT_TRUE(table.IsSystemPresent(SystemClass::Local, 0));
}

TEST_F(LabelTableTest, CreateWrapsAfter29999AndSkipsNumbersInUse) {
    store({.number = 29998, .systemClass = 1});
    store({.number = 10000, .systemClass = 1, .index = 1});
    store({.number = 10001, .systemClass = 1, .index = 2});
    ASSERT_EQ(table.NextLabelNumber(), 29999);

    EXPECT_EQ(table.Create(0), 29999);
    EXPECT_EQ(table.NextLabelNumber(), 10000);
    EXPECT_EQ(table.Create(0), 10002);
    EXPECT_EQ(table.NextLabelNumber(), 10003);
}

TEST_F(LabelTableTest, FullTableFailsCreationAfterOneCycleAndReusesFreedSlots) {
    // Every label number, spread over RTS systems, types and indexes.
    for (int n = 0; n < static_cast<int>(kLabelSlots); ++n) {
        store({.number = 10000 + n,
               .systemClass = 1,
               .system = n / 9000,
               .kind = (n / 1000) % 9,
               .index = n % 1000});
    }
    EXPECT_EQ(table.SlotIndex(29999), 19999);
    EXPECT_EQ(table.NextLabelNumber(), 10000);
    EXPECT_FALSE(log.contains(LabelTable::kTableFullMessage));

    EXPECT_EQ(table.Create(0), -1);
    EXPECT_EQ(log.count(LabelTable::kTableFullMessage), 1u);
    EXPECT_EQ(table.NextLabelNumber(), 10000) << "one full cycle, back where it started";
    EXPECT_EQ(table.ClientCount(), 0);
    EXPECT_EQ(table.ClientLabelNumber(0), -1);

    ASSERT_TRUE(table.Delete(15000));
    ASSERT_TRUE(table.Delete(12000));
    EXPECT_EQ(table.Create(0), 12000);
    EXPECT_EQ(table.SlotIndex(12000), 2000);
    store({.number = 15000, .systemClass = 2});
    EXPECT_EQ(table.SlotIndex(15000), 5000);
}

TEST_F(LabelTableTest, DeleteFreesTheLabelAndKeepsTheHighestIndex) {
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(table.Create(0), 10000 + i);
    }
    store({.number = 10010, .systemClass = 1, .index = 4});

    EXPECT_TRUE(table.Delete(10001));
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"# of Clients: 2, # of PLs: 0, # of Fixed Groups: 0"});
    EXPECT_EQ(table.Find(10001), nullptr);
    EXPECT_EQ(table.MapEntry(SystemClass::Local, 0, 0, 1), -1);
    EXPECT_EQ(table.HighestIndex(SystemClass::Local, 0, 0), 2);
    EXPECT_FALSE(table.Delete(10001));

    EXPECT_TRUE(table.Delete(2)) << "by client index";
    EXPECT_EQ(table.Find(10002), nullptr);
    EXPECT_EQ(table.ClientCount(), 1);

    log.clear();
    EXPECT_TRUE(table.Delete(10010));
    EXPECT_TRUE(log.lines().empty()) << "remote labels are not counted";
    EXPECT_EQ(table.MapEntry(SystemClass::Rts, 0, 0, 4), -1);

    store({.number = 10020, .systemClass = 1});
    EXPECT_EQ(table.SlotIndex(10020), 1) << "lowest free slot";
}

// --- resolution and texts ---

TEST_F(LabelTableTest, UnresolvableReferencesFallBackAndIgnoreEdits) {
    store({.number = 10001, .index = 1, .clientType = 53, .talk = "Trunk"});
    const LabelInfo before = *table.Find(10001);
    ASSERT_EQ(table.Find(1), table.Find(10001));

    for (int reference : {-1, -2, 0, 5, 999, 9999, 10000, 29999, 30000}) {
        SCOPED_TRACE(reference);
        EXPECT_EQ(table.Find(reference), nullptr);
        EXPECT_EQ(table.LabelNumber(reference), -1);
        EXPECT_EQ(table.DisplayName(reference), "NO LABEL");
        EXPECT_EQ(table.SelectorName(reference, 2, true), "NO LABEL");
        EXPECT_EQ(table.ShortLabel(reference, true), "NO LABEL");
        EXPECT_EQ(table.LongLabel(reference, false), "NO LABEL");
        EXPECT_EQ(table.Description(reference), "<Invalid>");
        EXPECT_EQ(table.LabelTypeName(reference, true), "INVALID LABEL TYPE");
        EXPECT_EQ(table.LabelSystemName(reference), "");
        EXPECT_FALSE(table.IsDeviceInterface(reference));
        EXPECT_FALSE(table.IsRtsTrunk(reference));
        EXPECT_FALSE(table.SetTalkListenName(reference, "X"));
        EXPECT_FALSE(table.SetRestriction(reference, 0, true));
        EXPECT_FALSE(table.SetOptionsTemplate(reference, 10001));
        EXPECT_FALSE(table.Delete(reference));
        int cursor = reference;
        if (reference != -1) {
            EXPECT_EQ(table.Next(cursor, 0, true), -1);
            EXPECT_EQ(cursor, -1);
        }
    }
    EXPECT_EQ(*table.Find(10001), before);
}

TEST_F(LabelTableTest, ShortAndLongLabels) {
    struct Case {
        const char* name;
        Label label;
        std::string shortLabel;
        std::string longLabel;
    };
    const std::vector<Case> cases{
        {"external names first",
         {.talk = "Talk", .externalLong = "Stage Left", .externalShort = "STGL"},
         "STGL",
         "Stage Left"},
        {"external short for both", {.talk = "Talkback", .externalShort = "TB"}, "TB", "TB"},
        {"talk name short enough", {.talk = "ABCD"}, "ABCD", "ABCD"},
        {"client number", {.index = 4, .talk = "ABCDE"}, "N005", "ABCDE"},
        {"8 characters fit the long label", {.index = 4, .talk = "ABCDEFGH"}, "N005", "ABCDEFGH"},
        {"client number cut", {.index = 999, .talk = "Production"}, "N100", "M01:N100"},
        {"party line", {.kind = 1, .index = 11, .talk = "Party Ln9"}, "PL12", "M01:PL12"},
        {"fixed group of system 5",
         {.system = 4, .kind = 2, .index = 6, .talk = "All stations"},
         "GP07",
         "M05:GP07"},
        {"characters, not bytes", {.talk = "Kühl"}, "Kühl", "Kühl"},
        {"8 characters, 9 bytes", {.talk = "Übergabe"}, "N001", "Übergabe"},
        {"RTS label of a local kind",
         {.systemClass = 1, .system = 1, .index = 3, .talk = "Port Four"},
         "",
         "M02:N004"},
        {"RTS kind above 2", {.systemClass = 1, .kind = 5, .talk = "Isolated feed"}, "", ""},
        {"Delec with no names", {.systemClass = 2, .kind = 9}, "", ""},
    };
    int number = 10000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Label label = c.label;
        label.number = number++;
        table.Reset();
        store(label);
        EXPECT_EQ(table.ShortLabel(label.number, true), c.shortLabel);
        EXPECT_EQ(table.LongLabel(label.number, true), c.longLabel);
        // Without fallback only the external names count.
        EXPECT_EQ(table.ShortLabel(label.number, false), label.externalShort);
        EXPECT_EQ(table.LongLabel(label.number, false), label.externalLong);
    }
}

TEST_F(LabelTableTest, DisplayAndSelectorNames) {
    struct Case {
        Label label;
        std::string display;
        std::string listenWithFallback;
        std::string listenWithout;
    };
    const std::vector<Case> cases{
        {{.talk = "Talk", .externalLong = "Long", .externalShort = "S", .listenOnly = "Ear"},
         "Talk",
         "Ear",
         "Ear"},
        {{.externalLong = "Long", .externalShort = "S"}, "Long", "Long", ""},
        {{.externalShort = "S", .listenOnly = "Ear"}, "S", "Ear", "Ear"},
        {{}, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.display);
        table.Reset();
        Label label = c.label;
        label.number = 10000;
        store(label);
        EXPECT_EQ(table.DisplayName(10000), c.display);
        EXPECT_EQ(table.SelectorName(10000, 2, true), c.listenWithFallback);
        EXPECT_EQ(table.SelectorName(10000, 2, false), c.listenWithout);
        for (int mode : {0, 1, 3}) {
            EXPECT_EQ(table.SelectorName(10000, mode, false), c.display) << mode;
        }
    }
}

TEST_F(LabelTableTest, TypeNames) {
    struct Case {
        Label label;
        bool longName;
        std::string expected;
    };
    const std::vector<Case> cases{
        {{.clientType = 10}, true, "MIRX Control Panel: Windows Desktop"},
        {{.clientType = 107}, false, "SIP: RTS Trunk"},
        {{.clientType = 99}, true, "INVALID LABEL TYPE"},
        {{.kind = 1}, true, "Party Line"},
        {{.kind = 2}, false, "Fixed Group"},
        {{.kind = 3}, true, "INVALID LABEL TYPE"},
        {{.systemClass = 1, .kind = 6}, true, "RTS UPL Resources"},
        {{.systemClass = 1, .kind = 8}, false, "RTS IFB with Auto-Table"},
        {{.systemClass = 1, .kind = 9}, true, "INVALID LABEL TYPE"},
        {{.systemClass = 2, .kind = 3}, true, "Delec Channel 4"},
        {{.systemClass = 2, .kind = 63}, false, "Delec Channel 64"},
        {{.systemClass = 3}, true, "INVALID LABEL TYPE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        table.Reset();
        Label label = c.label;
        label.number = 10000;
        store(label);
        EXPECT_EQ(table.LabelTypeName(10000, c.longName), c.expected);
    }
    EXPECT_EQ(LabelTable::FunctionTypeName(0), " RTS Port");
    EXPECT_EQ(LabelTable::FunctionTypeName(7, true), "IFB Special List");
    EXPECT_EQ(LabelTable::FunctionTypeName(8), "INVALID FUNCTION TYPE");
    EXPECT_EQ(LabelTable::ClientTypeName(15, true), "MIRX Control Panel: QP-21");
    EXPECT_EQ(LabelTable::ClientTypeName(255, false), "INVALID LABEL TYPE");
}

TEST_F(LabelTableTest, ClientTypeClasses) {
    struct Case {
        int code;
        bool panel, device, sip, video, rtsTrunk;
    };
    const std::vector<Case> cases{
        {10, true, false, false, false, false},  {49, true, false, false, false, false},
        {50, false, true, false, false, false},  {53, false, true, false, false, true},
        {99, false, true, false, false, false},  {100, false, false, true, false, false},
        {107, false, false, true, false, true},  {149, false, false, true, false, false},
        {150, false, false, false, true, false}, {151, false, false, false, false, false},
        {9, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        table.Reset();
        store({.number = 10000, .clientType = c.code});
        EXPECT_EQ(table.IsControlPanel(10000), c.panel);
        EXPECT_EQ(table.IsDeviceInterface(10000), c.device);
        EXPECT_EQ(table.IsSipDevice(0), c.sip) << "by client index";
        EXPECT_EQ(table.IsVideoSource(10000), c.video);
        EXPECT_EQ(table.IsRtsTrunk(10000), c.rtsTrunk);
    }
}

// --- enumeration ---

TEST_F(LabelTableTest, EnumerationFollowsTheCanonicalOrder) {
    // Arrival order differs from the canonical one on purpose.
    store({.number = 10100, .systemClass = 2, .system = 5, .kind = 63, .index = 199});
    store({.number = 10090, .systemClass = 1, .system = 3, .kind = 8});
    store({.number = 10080, .systemClass = 1, .system = 3, .kind = 0, .index = 999});
    store({.number = 10070, .system = 2});
    store({.number = 10060, .kind = 2});
    store({.number = 10050, .kind = 1, .index = 3});
    store({.number = 10005, .index = 5});
    store({.number = 10002, .index = 2});
    store({.number = 10001, .index = 1});
    store({.number = 10000});
    ASSERT_TRUE(table.Delete(10002));

    const std::vector<int> all{10000, 10001, 10005, 10050, 10060, 10070, 10080, 10090, 10100};
    EXPECT_EQ(walk(0, true), all);
    EXPECT_EQ(walk(0, false), (std::vector<int>{10000, 10001, 10005}));
    EXPECT_EQ(walk(1, false), (std::vector<int>{10050}));
    EXPECT_EQ(walk(2, false), (std::vector<int>{10060}));
    EXPECT_EQ(walk(2, true), (std::vector<int>{10060, 10070, 10080, 10090, 10100}));
    EXPECT_TRUE(walk(3, false).empty());

    std::vector<int> visited;
    table.ForEachLabel(
        [&](const LabelInfo& l) { visited.push_back(l.get(LabelInfo::kLabelNumber)); });
    EXPECT_EQ(visited, all);

    // Resuming continues in the label's own kind, whatever kind is passed.
    int cursor = 10005;
    EXPECT_EQ(table.Next(cursor, 2, false), -1);
    EXPECT_EQ(cursor, -1);
    cursor = 10005;
    EXPECT_EQ(table.Next(cursor, 2, true), 10050);
    EXPECT_EQ(cursor, 10050);
    cursor = 1;
    EXPECT_EQ(table.Next(cursor, 0, false), 10005) << "from a client index";
}

TEST_F(LabelTableTest, EnumerationPassesAbsentSystemsToTheNextClients) {
    store({.number = 10000, .system = 2, .kind = 1});
    store({.number = 10001, .system = 2, .kind = 0, .index = 4});
    store({.number = 10002, .systemClass = 1, .kind = 0});

    // Local system 0 is absent: the walk goes on with the clients of the
    // next present system, and without `all` stops after them.
    EXPECT_EQ(walk(1, false), (std::vector<int>{10001}));
    EXPECT_EQ(walk(1, true), (std::vector<int>{10001, 10000, 10002}));
}

// --- labels received again elsewhere ---

struct RelabelStep {
    enum class Op { Store, Delete, Clear } op = Op::Store;
    Label label = {};
    // Second value of the store when not the label number (a client index).
    int second = -1;
};

struct RelabelCase {
    const char* name;
    std::vector<RelabelStep> steps;
    std::vector<int> walked;   // the full walk, in order
    std::vector<int> findable; // resolve by number, walked or not
    int clients = 0;
    int partyLines = 0;
    int fixedGroups = 0;
};

RelabelStep put(Label l, int second = -1) {
    return {RelabelStep::Op::Store, std::move(l), second};
}
RelabelStep erase(int number) {
    return {RelabelStep::Op::Delete, {.number = number}};
}
RelabelStep clear() {
    return {RelabelStep::Op::Clear};
}

class RelabelTest : public ::testing::TestWithParam<RelabelCase> {
protected:
    // A walk that does not end within twice the labels stored is a failure,
    // not a hang.
    std::vector<int> boundedWalk() const {
        std::vector<int> found;
        int reference = kNoLabel;
        while (table.Next(reference, 0, true) != kNoLabel) {
            found.push_back(reference);
            if (found.size() > 100) {
                ADD_FAILURE() << "the walk does not end";
                break;
            }
        }
        return found;
    }

    test::LogCapture log;
    LabelTable table;
};

TEST_P(RelabelTest, WalkVisitsEachLabelOnceAtItsNewPosition) {
    const RelabelCase& c = GetParam();
    for (const RelabelStep& step : c.steps) {
        switch (step.op) {
        case RelabelStep::Op::Store: {
            const int second = step.second >= 0 ? step.second : step.label.number;
            ASSERT_TRUE(table.Store(static_cast<std::uint16_t>(second), make(step.label).view()));
            break;
        }
        case RelabelStep::Op::Delete:
            ASSERT_TRUE(table.Delete(step.label.number));
            break;
        case RelabelStep::Op::Clear:
            ASSERT_TRUE(table.Store(LabelTable::kClearTable, {}));
            break;
        }
    }
    EXPECT_EQ(boundedWalk(), c.walked);
    std::vector<int> visited;
    table.ForEachLabel(
        [&](const LabelInfo& l) { visited.push_back(l.get(LabelInfo::kLabelNumber)); });
    EXPECT_EQ(visited, c.walked);
    for (const int number : c.findable) {
        const LabelInfo* label = table.Find(number);
        ASSERT_NE(label, nullptr) << number;
        EXPECT_EQ(label->get(LabelInfo::kLabelNumber), number);
    }
    EXPECT_EQ(table.ClientCount(), c.clients);
    EXPECT_EQ(table.PartyLineCount(), c.partyLines);
    EXPECT_EQ(table.FixedGroupCount(), c.fixedGroups);
}

// 10000 starts at client index 5 and 10001 at client index 7.
const Label kAt5{.number = 10000, .index = 5};
const Label kOther{.number = 10001, .index = 7};

Label at(Label l, int index) {
    l.index = index;
    return l;
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, RelabelTest,
    ::testing::Values(
        RelabelCase{"MoveIndexDown",
                    {put(kAt5), put(kOther), put(at(kAt5, 2))},
                    {10000, 10001},
                    {10000, 10001},
                    2},
        RelabelCase{"MoveIndexUpPastAnother",
                    {put(kAt5), put(kOther), put(at(kAt5, 9))},
                    {10001, 10000},
                    {10000, 10001},
                    2},
        RelabelCase{"MoveByClientIndex",
                    {put(kAt5), put(kOther), put(at(kAt5, 2), 5)},
                    {10000, 10001},
                    {10000},
                    2},
        RelabelCase{"MoveKindToPartyLine",
                    {put(kAt5), put(kOther), put({.number = 10000, .kind = 1, .index = 3})},
                    {10001, 10000},
                    {10000},
                    1,
                    1},
        RelabelCase{"MoveKindToFixedGroupAndBack",
                    {put(kAt5), put({.number = 10000, .kind = 2, .index = 3}), put(kAt5)},
                    {10000},
                    {10000},
                    1},
        RelabelCase{"MoveSystem",
                    {put(kAt5), put(kOther), put({.number = 10000, .system = 2, .index = 5})},
                    {10001, 10000},
                    {10000},
                    1},
        RelabelCase{"MoveToRts",
                    {put(kAt5), put(kOther), put({.number = 10000, .systemClass = 1, .index = 5})},
                    {10001, 10000},
                    {10000},
                    1},
        RelabelCase{"MoveOutOfRange",
                    {put(kAt5), put(kOther), put(at(kAt5, 1500))},
                    {10001},
                    {10000, 10001},
                    2},
        RelabelCase{"MoveToNegativeIndex",
                    {put(kAt5), put(kOther), put(at(kAt5, -3))},
                    {10001},
                    {10000},
                    2},
        RelabelCase{"MoveOutOfRangeAndBack",
                    {put(kAt5), put(kOther), put(at(kAt5, 1500)), put(at(kAt5, 4))},
                    {10000, 10001},
                    {10000},
                    2},
        RelabelCase{"MoveToAnUnknownSystemClass",
                    {put(kAt5), put(kOther), put({.number = 10000, .systemClass = 9})},
                    {10001},
                    {10000},
                    1},
        // The newer label takes the position; the one it displaced stays
        // findable, and deleting it leaves the newer one in place.
        RelabelCase{"MoveOntoAnOccupiedIndex",
                    {put(kAt5), put(kOther), put(at(kAt5, 7))},
                    {10000},
                    {10000, 10001},
                    2},
        RelabelCase{"DeleteTheDisplacedLabel",
                    {put(kAt5), put(kOther), put(at(kAt5, 7)), erase(10001)},
                    {10000},
                    {10000},
                    1},
        RelabelCase{"DisplacedLabelSentAgainTakesItBack",
                    {put(kAt5), put(kOther), put(at(kAt5, 7)), put(kOther)},
                    {10001},
                    {10000, 10001},
                    2},
        RelabelCase{"DeleteAfterMove",
                    {put(kAt5), put(kOther), put(at(kAt5, 2)), erase(10000)},
                    {10001},
                    {10001},
                    1},
        RelabelCase{"ClearAfterMoves",
                    {put(kAt5), put(kOther), put(at(kAt5, 2)), put(at(kOther, 1500)), clear(),
                     put(at(kAt5, 1))},
                    {10000},
                    {10000},
                    1},
        RelabelCase{"RepeatedMovesBetweenTwoIndexes",
                    {put(kAt5), put(kOther), put(at(kAt5, 2)), put(at(kAt5, 5)), put(at(kAt5, 2)),
                     put(at(kOther, 5)), put(at(kOther, 7))},
                    {10000, 10001},
                    {10000, 10001},
                    2}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(LabelTableTest, ThePayloadCannotRenumberOrFreeItsLabel) {
    store({.number = 10000, .index = 5});
    for (const int inPayload : {-1, 10009}) {
        SCOPED_TRACE(inPayload);
        ASSERT_TRUE(
            table.Store(10000, make({.number = inPayload, .index = 5, .talk = "Kept"}).view()));
        const LabelInfo* label = table.Find(10000);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->get(LabelInfo::kLabelNumber), 10000);
        EXPECT_EQ(table.Find(10009), nullptr);
        EXPECT_EQ(walk(0, true), std::vector<int>{10000});
    }
    // A new label whose payload carries -1 is still stored under its number.
    ASSERT_TRUE(table.Store(10003, make({.number = -1, .index = 6}).view()));
    EXPECT_EQ(walk(0, true), (std::vector<int>{10000, 10003}));
    store({.number = 10004, .index = 8});
    EXPECT_EQ(table.SlotIndex(10004), 2) << "slot of 10003 is not handed out again";
}

// --- edits ---

TEST_F(LabelTableTest, TextSettersCutToTheirFields) {
    struct Case {
        const char* name;
        bool (LabelTable::*set)(int, std::string_view);
        rec::Utf16Text field;
        std::size_t capacity;
    };
    const std::vector<Case> cases{
        {"description", &LabelTable::SetDescription, LabelInfo::kDescription, 50},
        {"talk/listen", &LabelTable::SetTalkListenName, LabelInfo::kTalkListenName, 20},
        {"listen-only", &LabelTable::SetListenOnlyName, LabelInfo::kListenOnlyName, 20},
        {"external long", &LabelTable::SetExternalLongName, LabelInfo::kExternalLongName, 20},
        {"external short", &LabelTable::SetExternalShortName, LabelInfo::kExternalShortName, 8},
    };
    store({.number = 10000});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string whole(c.capacity, 'w');
        EXPECT_TRUE((table.*c.set)(0, whole));
        EXPECT_EQ(table.Find(10000)->get(c.field), whole);
        EXPECT_TRUE((table.*c.set)(10000, whole + "xyz"));
        EXPECT_EQ(table.Find(10000)->get(c.field), whole);
        // Cut by UTF-16 units: each "€" is one unit but three bytes.
        std::string euros;
        for (std::size_t i = 0; i <= c.capacity; ++i) {
            euros += "€";
        }
        EXPECT_TRUE((table.*c.set)(10000, euros));
        EXPECT_EQ(table.Find(10000)->get(c.field), euros.substr(0, 3 * c.capacity));
    }
}

TEST_F(LabelTableTest, FlagAndLinkSetters) {
    LabelInfo received = make({.number = 10000});
    received.set(LabelInfo::kSelectorFlags, 0x82);
    received.set(LabelInfo::kClientFlags, 0x40);
    received.set(LabelInfo::kAssignmentRestrictions, 0x01);
    ASSERT_TRUE(table.Store(10000, received.view()));
    const LabelInfo& label = *table.Find(10000);

    EXPECT_TRUE(table.SetLatchDisable(10000, true));
    EXPECT_EQ(label.get(LabelInfo::kSelectorFlags), 0x83);
    EXPECT_TRUE(table.SetPartyLineOperation(0, true));
    EXPECT_EQ(label.get(LabelInfo::kClientFlags), 0x41);
    EXPECT_TRUE(table.SetPartyLineOperation(10000, false));
    EXPECT_EQ(label.get(LabelInfo::kClientFlags), 0x40);

    EXPECT_TRUE(table.SetRestriction(10000, 7, true));
    EXPECT_TRUE(table.SetRestriction(10000, 3, true));
    EXPECT_TRUE(table.SetRestriction(10000, 0, false));
    EXPECT_TRUE(table.SetRestriction(10000, 0, false));
    EXPECT_TRUE(table.SetRestriction(10000, 8, true));
    EXPECT_EQ(label.get(LabelInfo::kAssignmentRestrictions), 0x88);

    EXPECT_TRUE(table.SetRtsFunctionType(10000, 4));
    EXPECT_TRUE(table.SetRtsFunctionNumber(10000, 17));
    EXPECT_TRUE(table.SetSelectorAssignmentsTemplate(10000, 10000));
    EXPECT_TRUE(table.SetAudioSettingsTemplate(10000, 12));
    EXPECT_TRUE(table.SetOptionsTemplate(10000, -1));
    EXPECT_EQ(label.get(LabelInfo::kRtsFunctionType), 4);
    EXPECT_EQ(label.get(LabelInfo::kRtsFunctionNumber), 17);
    EXPECT_EQ(label.get(LabelInfo::kSelectorAssignmentsTemplate), 10000);
    EXPECT_EQ(label.get(LabelInfo::kAudioSettingsTemplate), 12);
    EXPECT_EQ(label.get(LabelInfo::kOptionsTemplate), -1);
}

// --- the system list ---

struct SystemRow {
    int cls;
    int number;
    std::string name;
};

std::vector<std::uint8_t> systemList(std::initializer_list<SystemRow> rows) {
    std::vector<std::uint8_t> bytes;
    for (const auto& [cls, number, name] : rows) {
        SystemListEntry entry;
        entry.set(SystemListEntry::kSystemClass, cls);
        entry.set(SystemListEntry::kSystemNumber, number);
        entry.set(SystemListEntry::kName, name);
        bytes.insert(bytes.end(), entry.bytes.begin(), entry.bytes.end());
    }
    return bytes;
}

TEST_F(LabelTableTest, SystemListLookup) {
    EXPECT_EQ(table.SystemCount(), 0u);
    EXPECT_EQ(table.System(0), emptySystemListEntry());
    EXPECT_EQ(table.SystemName(0, 0), "");

    ASSERT_TRUE(table.StoreSystemList(
        3, systemList({{0, 0, "Main"}, {1, 4, "RTS North"}, {2, 5, "Delec Hall"}})));
    EXPECT_EQ(table.SystemCount(), 3u);
    EXPECT_EQ(table.SystemName(0, 0), "Main");
    EXPECT_EQ(table.SystemName(1, 4), "RTS North");
    EXPECT_EQ(table.SystemName(2, 5), "Delec Hall");
    EXPECT_EQ(table.SystemName(1, 5), "");
    EXPECT_EQ(table.SystemName(3, 0), "");
    EXPECT_EQ(table.System(1).get(SystemListEntry::kName), "RTS North");
    store({.number = 10000, .systemClass = 1, .system = 4});
    EXPECT_EQ(table.LabelSystemName(10000), "RTS North");

    // Oversized lists are ignored whole.
    EXPECT_FALSE(table.StoreSystemList(1, std::vector<std::uint8_t>(9601, 0)));
    EXPECT_EQ(table.SystemCount(), 3u);
    EXPECT_EQ(table.SystemName(1, 4), "RTS North");

    // A shorter list: the lookup of a system no longer listed still points
    // at its old position.
    ASSERT_TRUE(table.StoreSystemList(1, systemList({{1, 4, "RTS South"}})));
    EXPECT_EQ(table.SystemCount(), 1u);
    EXPECT_EQ(table.SystemName(1, 4), "RTS South");
    EXPECT_EQ(table.SystemName(0, 0), "RTS South");
    EXPECT_EQ(table.SystemName(2, 5), "Delec Hall");

    // The count never exceeds the entries received.
    ASSERT_TRUE(table.StoreSystemList(200, systemList({{0, 1, "Annex"}, {0, 2, "Studio"}})));
    EXPECT_EQ(table.SystemCount(), 2u);
    EXPECT_EQ(table.SystemName(0, 2), "Studio");
}

} // namespace
} // namespace mirx::model
