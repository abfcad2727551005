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

// Each response: its log line, the bytes it may fill, what a longer payload
// does, and which flag it raises.
struct ResponseCase {
    const char* name;
    std::function<bool(MembershipStore&, const ByteList&)> receive;
    std::function<ByteList(const MembershipStore&)> buffer;
    std::size_t limit;
    bool longerIsCut; // else refused whole
    std::string logLine;
    enum Flag { Membership, Blocked, Forced } flag;
};

std::vector<ResponseCase> responseCases() {
    const auto setOf = [](MembershipSet which) {
        return [which](const MembershipStore& s) {
            return setBytes(s.bits(which));
        };
    };
    return {
        {"party line",
         [](MembershipStore& s, const ByteList& p) { return s.ReceivePartyLineMembership(p); },
         [](const MembershipStore& s) {
             return ByteList(s.partyLine().bytes.begin(), s.partyLine().bytes.end());
         },
         10004, false, "{-}: Processing ADMIN_PARTY_LINE_MEMBERSHIP_RESPONSE",
         ResponseCase::Membership},
        {"fixed group",
         [](MembershipStore& s, const ByteList& p) { return s.ReceiveFixedGroupMembership(p); },
         setOf(MembershipSet::FixedGroup), 125, true,
         "{-}: Processing ADMIN_FIXED_GROUP_MEMBERSHIP_RESPONSE", ResponseCase::Membership},
        {"blocked listen",
         [](MembershipStore& s, const ByteList& p) { return s.ReceiveBlockedListen(p); },
         setOf(MembershipSet::BlockedListen), 125, true,
         "{-}: Processing ADMIN_BLOCKED_LISTEN_RESPONSE", ResponseCase::Blocked},
        {"forced listen",
         [](MembershipStore& s, const ByteList& p) { return s.ReceiveForcedListen(p); },
         setOf(MembershipSet::ForcedListen), 125, true,
         "{-}: Processing ADMIN_FORCED_LISTEN_RESPONSE", ResponseCase::Forced},
    };
}

std::array<bool, 3> takeFlags(MembershipStore& s) {
    return {s.TakeMembershipResponse(), s.TakeBlockedListenResponse(),
            s.TakeForcedListenResponse()};
}

TEST(MembershipStore, ResponsesFillTheirBufferAndRaiseTheirFlag) {
    for (const auto& c : responseCases()) {
        SCOPED_TRACE(c.name);
        std::array<bool, 3> onlyMine{};
        onlyMine[c.flag] = true;

        MembershipStore store;
        test::LogCapture log;
        EXPECT_TRUE(c.receive(store, filled(c.limit, 0x5A)));
        EXPECT_EQ(c.buffer(store), filled(c.limit, 0x5A));
        EXPECT_EQ(takeFlags(store), onlyMine);
        EXPECT_EQ(takeFlags(store), (std::array<bool, 3>{}));

        // One byte more: a set takes its own size, the party line refuses it.
        ByteList longer = filled(c.limit, 0x33);
        longer.push_back(0x33);
        EXPECT_EQ(c.receive(store, longer), c.longerIsCut);
        EXPECT_EQ(c.buffer(store), filled(c.limit, c.longerIsCut ? 0x33 : 0x5A));
        EXPECT_EQ(takeFlags(store), (c.longerIsCut ? onlyMine : std::array<bool, 3>{}));

        EXPECT_EQ(log.lines(), std::vector<std::string>(2, c.logLine));
    }
}

TEST(MembershipStore, ShortSetResponseLeavesTheRestOfTheSet) {
    MembershipStore store;
    store.bits(MembershipSet::BlockedListen).setBit(999);
    ASSERT_TRUE(store.ReceiveBlockedListen(ByteList{0x08, 0x02}));
    std::vector<int> bits;
    for (int b = store.bits(MembershipSet::BlockedListen).nextSetBit(-1); b != -1;
         b = store.bits(MembershipSet::BlockedListen).nextSetBit(b)) {
        bits.push_back(b);
    }
    EXPECT_EQ(bits, (std::vector<int>{3, 9, 999}));
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
