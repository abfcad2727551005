#include "model/membership_store.h"
#include "tests/support/log_capture.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::model {
namespace {

using ByteList = std::vector<std::uint8_t>;

ByteList filled(std::size_t n, std::uint8_t value) {
    return ByteList(n, value);
}

ByteList setBytes(const ClientBitSet& set) {
    return {set.bytes().begin(), set.bytes().end()};
}

TEST(MembershipStore, NextSetBitWalkOverAReceivedSet) {
    MembershipStore store;
    ByteList payload(125, 0);
    payload[0] = 0x08; // bit 3
    payload[1] = 0x02; // bit 9
    ASSERT_TRUE(store.ReceiveFixedGroupMembership(payload));
    ClientBitSet& set = store.bits(MembershipSet::FixedGroup);
    EXPECT_EQ(set.nextSetBit(-1), 3);
    EXPECT_EQ(set.nextSetBit(3), 9);
    EXPECT_EQ(set.nextSetBit(9), -1);
}

TEST(MembershipStore, SetUpdatesCarryTheWholeSet) {
    struct Case {
        MembershipSet which;
        std::uint16_t id;
    };
    for (const Case c :
         {Case{MembershipSet::FixedGroup, 6028}, Case{MembershipSet::BlockedListen, 6050},
          Case{MembershipSet::ForcedListen, 6053}}) {
        SCOPED_TRACE(c.id);
        MembershipStore store;
        store.bits(c.which).setBit(999);
        store.bits(c.which).setBit(1000);
        ByteList expected(125, 0);
        expected[124] = 0x80;
        OutgoingRecord update = store.SetUpdate(c.which, 42);
        EXPECT_EQ(update.id, c.id);
        EXPECT_EQ(update.second, 42);
        EXPECT_EQ(update.bytes, expected);

        // The other two sets are separate buffers.
        for (MembershipSet other : {MembershipSet::FixedGroup, MembershipSet::BlockedListen,
                                    MembershipSet::ForcedListen}) {
            if (other != c.which) {
                EXPECT_EQ(setBytes(store.bits(other)), ByteList(125, 0));
            }
        }

        store.bits(c.which).clearAll();
        EXPECT_EQ(store.SetUpdate(c.which, 42).bytes, ByteList(125, 0));
    }
}

// A party line record of three entries whose trailing bytes tell them apart.
constexpr std::uint16_t kPartyLine = 10010;
const std::array<PartyLineEntry, 3> kThree = {PartyLineEntry{4, 1}, PartyLineEntry{5, 2},
                                              PartyLineEntry{6, 3}};

ByteList entryBytes(PartyLineEntry e, std::uint8_t restFill) {
    ByteList bytes = {static_cast<std::uint8_t>(e.member),
                      static_cast<std::uint8_t>(static_cast<std::uint16_t>(e.member) >> 8), e.mode};
    bytes.insert(bytes.end(), 7, restFill);
    return bytes;
}

ByteList threeEntryRecord() {
    ByteList bytes = {static_cast<std::uint8_t>(kPartyLine & 0xFF),
                      static_cast<std::uint8_t>(kPartyLine >> 8), 3, 0};
    for (std::size_t k = 0; k < kThree.size(); ++k) {
        const ByteList e = entryBytes(kThree[k], static_cast<std::uint8_t>(0xA0 + k));
        bytes.insert(bytes.end(), e.begin(), e.end());
    }
    return bytes;
}

// Each response: its log line, its buffer, a whole answer and broken ones,
// and which flag it raises.
struct ResponseCase {
    const char* name;
    std::function<bool(MembershipStore&, const ByteList&)> receive;
    std::function<ByteList(const MembershipStore&)> buffer;
    std::function<std::string(const MembershipStore&)> refusal;
    ByteList whole;
    std::size_t bufferSize;
    std::string logLine;
    enum Flag { Membership, Blocked, Forced } flag;
};

ByteList partyLineRecord(std::uint16_t count, std::size_t size, std::uint8_t fill) {
    ByteList bytes(size, fill);
    if (size >= 4) {
        bytes[0] = kPartyLine & 0xFF;
        bytes[1] = kPartyLine >> 8;
        bytes[2] = static_cast<std::uint8_t>(count & 0xFF);
        bytes[3] = static_cast<std::uint8_t>(count >> 8);
    }
    return bytes;
}

std::vector<ResponseCase> responseCases() {
    const auto setOf = [](MembershipSet which) {
        return [which](const MembershipStore& s) {
            return setBytes(s.bits(which));
        };
    };
    const auto refusalOf = [](MembershipSet which) {
        return [which](const MembershipStore& s) {
            return s.setRefusal(which);
        };
    };
    return {
        {"party line",
         [](MembershipStore& s, const ByteList& p) { return s.ReceivePartyLineMembership(p); },
         [](const MembershipStore& s) {
             return ByteList(s.partyLine().bytes.begin(), s.partyLine().bytes.end());
         },
         [](const MembershipStore& s) { return s.partyLineRefusal(); }, threeEntryRecord(), 10004,
         "{-}: Processing ADMIN_PARTY_LINE_MEMBERSHIP_RESPONSE", ResponseCase::Membership},
        {"fixed group",
         [](MembershipStore& s, const ByteList& p) { return s.ReceiveFixedGroupMembership(p); },
         setOf(MembershipSet::FixedGroup), refusalOf(MembershipSet::FixedGroup), filled(125, 0x5A),
         125, "{-}: Processing ADMIN_FIXED_GROUP_MEMBERSHIP_RESPONSE", ResponseCase::Membership},
        {"blocked listen",
         [](MembershipStore& s, const ByteList& p) { return s.ReceiveBlockedListen(p); },
         setOf(MembershipSet::BlockedListen), refusalOf(MembershipSet::BlockedListen),
         filled(125, 0x5A), 125, "{-}: Processing ADMIN_BLOCKED_LISTEN_RESPONSE",
         ResponseCase::Blocked},
        {"forced listen",
         [](MembershipStore& s, const ByteList& p) { return s.ReceiveForcedListen(p); },
         setOf(MembershipSet::ForcedListen), refusalOf(MembershipSet::ForcedListen),
         filled(125, 0x5A), 125, "{-}: Processing ADMIN_FORCED_LISTEN_RESPONSE",
         ResponseCase::Forced},
    };
}

std::array<bool, 3> takeFlags(MembershipStore& s) {
    return {s.TakeMembershipResponse(), s.TakeBlockedListenResponse(),
            s.TakeForcedListenResponse()};
}

ByteList padded(ByteList bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

TEST(MembershipStore, AWholeAnswerFillsItsBufferAndRaisesItsFlag) {
    for (const auto& c : responseCases()) {
        SCOPED_TRACE(c.name);
        std::array<bool, 3> onlyMine{};
        onlyMine[c.flag] = true;

        MembershipStore store;
        test::LogCapture log;
        EXPECT_TRUE(c.receive(store, c.whole));
        EXPECT_EQ(c.buffer(store), padded(c.whole, c.bufferSize));
        EXPECT_EQ(c.refusal(store), "");
        EXPECT_EQ(takeFlags(store), onlyMine);
        EXPECT_EQ(takeFlags(store), (std::array<bool, 3>{}));
        EXPECT_EQ(log.lines(), std::vector<std::string>{c.logLine});
    }
}

// A broken answer is refused whole: the buffer keeps nothing of it nor of the
// answer before, the refusal says why, and the flag still tells the waiter.
TEST(MembershipStore, ABrokenAnswerEmptiesTheBufferAndSaysWhy) {
    struct Broken {
        const char* name;
        bool partyLine; // else a set
        ByteList payload;
        std::string why;
    };
    const std::vector<Broken> broken = {
        {"set one byte short", false, filled(124, 0x33), "holds 124 bytes, not the 125"},
        {"set one byte long", false, filled(126, 0x33), "holds 126 bytes, not the 125"},
        {"empty set", false, {}, "holds 0 bytes, not the 125"},
        {"party line one entry short", true, partyLineRecord(3, 24, 0x33),
         "holds 24 bytes where its 3 entries need 34"},
        {"party line one byte short", true, partyLineRecord(3, 33, 0x33),
         "holds 33 bytes where its 3 entries need 34"},
        {"party line one byte long", true, partyLineRecord(3, 35, 0x33),
         "holds 35 bytes where its 3 entries need 34"},
        {"party line head cut", true, ByteList{0x1A, 0x27}, "holds 2 bytes, too few for its head"},
        {"party line count above the record", true, partyLineRecord(1001, 10014, 0x33),
         "counts 1001 entries, more than 1000"},
        {"party line filling the buffer with a wrong count", true,
         partyLineRecord(0x5A5A, 10004, 0x33), "counts 23130 entries"},
    };
    for (const auto& c : responseCases()) {
        for (const Broken& b : broken) {
            if (b.partyLine != (c.bufferSize == 10004)) {
                continue;
            }
            SCOPED_TRACE(std::string(c.name) + ": " + b.name);
            std::array<bool, 3> onlyMine{};
            onlyMine[c.flag] = true;
            MembershipStore store;
            test::LogCapture log;
            ASSERT_TRUE(c.receive(store, c.whole));
            takeFlags(store);

            EXPECT_FALSE(c.receive(store, b.payload));
            EXPECT_EQ(c.buffer(store), ByteList(c.bufferSize, 0));
            EXPECT_NE(c.refusal(store).find(b.why), std::string::npos) << c.refusal(store);
            EXPECT_EQ(takeFlags(store), onlyMine);
            ASSERT_EQ(log.lines().size(), 3u);
            EXPECT_NE(log.lines()[2].find("ERROR: "), std::string::npos) << log.lines()[2];

            // The next whole answer is taken again and clears the refusal.
            EXPECT_TRUE(c.receive(store, c.whole));
            EXPECT_EQ(c.refusal(store), "");
        }
    }
}

TEST(MembershipStore, AShorterPartyLineAnswerLeavesNothingOfTheLongerOneBefore) {
    MembershipStore store;
    ASSERT_TRUE(store.ReceivePartyLineMembership(threeEntryRecord()));
    ByteList one = partyLineRecord(1, 14, 0);
    ASSERT_TRUE(store.ReceivePartyLineMembership(one));
    // The slot a new entry takes holds no bytes of the earlier answer.
    ASSERT_TRUE(store.AddPartyLineMember(9, MembershipMode::Talk));
    ByteList expected = partyLineRecord(2, 24, 0);
    expected[14] = 9;
    expected[16] = 1;
    EXPECT_EQ(store.PartyLineUpdate(kPartyLine).bytes, expected);
}

TEST(MembershipStore, APartyLineAnswerServesOnlyTheCycleItWasAskedFor) {
    struct Case {
        const char* name;
        ByteList answer;
        std::uint16_t requested;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {"the requested party line", threeEntryRecord(), kPartyLine, ""},
        {"another party line", threeEntryRecord(), kPartyLine + 1,
         "the membership answer is for party line label 10010, not the requested 10011"},
        {"a refused answer", partyLineRecord(3, 20, 0), kPartyLine,
         "the party line membership answer holds 20 bytes where its 3 entries need 34"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MembershipStore store;
        test::LogCapture log;
        store.ReceivePartyLineMembership(c.answer);
        EXPECT_EQ(store.partyLineAnswerProblem(c.requested), c.problem);
    }
}

TEST(MembershipStore, RemovalMovesTheLastEntryIntoTheGap) {
    struct Case {
        const char* name;
        PartyLineEntry removed;
        bool found;
        std::vector<std::size_t> remaining; // indexes into kThree, in record order
    };
    const std::vector<Case> cases = {
        {"first", {4, 1}, true, {2, 1}},
        {"middle", {5, 2}, true, {0, 2}},
        {"last", {6, 3}, true, {0, 1}},
        {"member with another mode", {4, 3}, false, {0, 1, 2}},
        {"not a member", {7, 1}, false, {0, 1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MembershipStore store;
        ASSERT_TRUE(store.ReceivePartyLineMembership(threeEntryRecord()));
        EXPECT_EQ(store.RemovePartyLineMember(c.removed.member,
                                              static_cast<MembershipMode>(c.removed.mode)),
                  c.found);

        ByteList expected = {static_cast<std::uint8_t>(kPartyLine & 0xFF),
                             static_cast<std::uint8_t>(kPartyLine >> 8),
                             static_cast<std::uint8_t>(c.remaining.size()), 0};
        for (std::size_t k : c.remaining) {
            const ByteList e = entryBytes(kThree[k], static_cast<std::uint8_t>(0xA0 + k));
            expected.insert(expected.end(), e.begin(), e.end());
        }
        const OutgoingRecord update = store.PartyLineUpdate(kPartyLine);
        EXPECT_EQ(update.id, 6025);
        EXPECT_EQ(update.second, kPartyLine);
        EXPECT_EQ(update.bytes, expected);
    }
}

TEST(MembershipStore, AddingAMembershipAppendsItOnce) {
    MembershipStore store;
    ASSERT_TRUE(store.ReceivePartyLineMembership(threeEntryRecord()));

    EXPECT_FALSE(store.AddPartyLineMember(5, MembershipMode::Listen)) << "already a member";
    EXPECT_TRUE(store.AddPartyLineMember(5, MembershipMode::Talk)) << "another mode is another";
    EXPECT_FALSE(store.AddPartyLineMember(5, MembershipMode::Talk));

    const PartyLineMembership& record = store.partyLine();
    ASSERT_EQ(record.entryCount(), 4u);
    EXPECT_EQ(record.entry(3), (PartyLineEntry{5, 1}));
    EXPECT_EQ(store.PartyLineUpdate(kPartyLine).bytes.size(), 4u + 4 * 10);
}

TEST(MembershipStore, AddingToAFullRecordChangesNothing) {
    MembershipStore store;
    std::vector<PartyLineEntry> entries(PartyLineMembership::kMaxEntries, PartyLineEntry{1, 3});
    ASSERT_TRUE(store.SetPartyLineEntries(entries));
    const PartyLineMembership before = store.partyLine();
    EXPECT_FALSE(store.AddPartyLineMember(2, MembershipMode::Talk));
    EXPECT_EQ(store.partyLine(), before);
    EXPECT_EQ(store.PartyLineUpdate(kPartyLine).bytes.size(), 10004u);
}

TEST(MembershipStore, RewritingEntriesKeepsEachSlotsTrailingBytes) {
    MembershipStore store;
    ASSERT_TRUE(store.ReceivePartyLineMembership(threeEntryRecord()));

    const std::vector<PartyLineEntry> rows = {{9, 2}, {8, 1}};
    ASSERT_TRUE(store.SetPartyLineEntries(rows));
    ByteList expected = {static_cast<std::uint8_t>(kPartyLine & 0xFF),
                         static_cast<std::uint8_t>(kPartyLine >> 8), 2, 0};
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const ByteList e = entryBytes(rows[k], static_cast<std::uint8_t>(0xA0 + k));
        expected.insert(expected.end(), e.begin(), e.end());
    }
    EXPECT_EQ(store.PartyLineUpdate(kPartyLine).bytes, expected);

    ASSERT_TRUE(store.SetPartyLineEntries({}));
    EXPECT_EQ(store.PartyLineUpdate(kPartyLine).bytes.size(), 4u);

    const std::vector<PartyLineEntry> tooMany(PartyLineMembership::kMaxEntries + 1,
                                              PartyLineEntry{1, 3});
    EXPECT_FALSE(store.SetPartyLineEntries(tooMany));
    EXPECT_EQ(store.partyLine().entryCount(), 0u);
}

} // namespace
} // namespace mirx::model
