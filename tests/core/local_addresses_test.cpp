#include "core/local_addresses.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx {
namespace {

constexpr std::uint32_t ip(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return (a << 24) | (b << 16) | (c << 8) | d;
}

TEST(NetworkAddressTable, FiltersSortsAndCaps) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> raw;
        std::vector<std::string> table;
    };
    std::vector<std::uint32_t> twelve;
    for (std::uint32_t i = 12; i >= 1; --i) {
        twelve.push_back(ip(10, 0, 0, i));
    }
    const std::vector<Case> cases = {
        {"nothing", {}, {}},
        {"only the unusable ones", {0, ip(127, 0, 0, 1)}, {}},
        {"numeric order, not text order",
         {ip(192, 168, 1, 5), ip(10, 0, 0, 10), ip(127, 0, 0, 1), ip(9, 1, 1, 1), ip(10, 0, 0, 9),
          0},
         {"9.1.1.1", "10.0.0.9", "10.0.0.10", "192.168.1.5"}},
        {"other loopback and link-local stay",
         {ip(169, 254, 3, 4), ip(127, 0, 0, 2)},
         {"127.0.0.2", "169.254.3.4"}},
        {"an address on two interfaces counts once",
         {ip(10, 0, 0, 1), ip(10, 0, 0, 1), ip(10, 0, 0, 2)},
         {"10.0.0.1", "10.0.0.2"}},
        {"the lowest eight of twelve",
         twelve,
         {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.5", "10.0.0.6", "10.0.0.7",
          "10.0.0.8"}},
        {"highest octets", {ip(255, 255, 255, 254)}, {"255.255.255.254"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(networkAddressTable(c.raw), c.table);
    }
}

TEST(UsableLocalAddress, SkipsLoopbackAndLinkLocal) {
    struct Case {
        std::vector<std::string> table;
        std::optional<std::string> usable;
    };
    const std::vector<Case> cases = {
        {{}, std::nullopt},
        {{"127.0.0.1", "169.254.3.4"}, std::nullopt},
        {{"169.254.1.1", "192.168.1.5", "10.0.0.1"}, "192.168.1.5"},
        {{"10.0.0.1", "192.168.1.5"}, "10.0.0.1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(usableLocalAddress(c.table), c.usable) << testing::PrintToString(c.table);
    }
}

// Drives the process-wide table from a list the test controls.
class AddressTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        setAddressSourceForTesting([this] {
            ++queries_;
            return interfaces_;
        });
    }
    void TearDown() override { setAddressSourceForTesting({}); }

    std::vector<std::uint32_t> interfaces_;
    int queries_ = 0;
};

TEST_F(AddressTableTest, LoopbackAndLinkLocalOnlyMeansNoUsableAddress) {
    interfaces_ = {ip(127, 0, 0, 1), ip(169, 254, 7, 9)};
    EXPECT_EQ(NetworkAddressCount(), -1);
    std::string found = "unchanged";
    EXPECT_FALSE(FindLocalAddress(found));
    EXPECT_EQ(found, "unchanged");
    EXPECT_EQ(NetworkAddressCount(), 1);
    EXPECT_EQ(NetworkAddresses(), std::vector<std::string>{"169.254.7.9"});
}

TEST_F(AddressTableTest, FindQueriesOnceAndIsLocalAlwaysRequeries) {
    interfaces_ = {ip(169, 254, 0, 1), ip(10, 0, 0, 5)};
    std::string found;
    EXPECT_TRUE(FindLocalAddress(found));
    EXPECT_EQ(found, "10.0.0.5");
    EXPECT_EQ(queries_, 1);

    interfaces_ = {ip(10, 0, 0, 7)};
    EXPECT_TRUE(FindLocalAddress(found));
    EXPECT_EQ(found, "10.0.0.5") << "the table is kept until something re-queries";
    EXPECT_EQ(queries_, 1);

    EXPECT_TRUE(IsLocalAddress("10.0.0.7"));
    EXPECT_EQ(queries_, 2);
    EXPECT_FALSE(IsLocalAddress("10.0.0.5"));
    EXPECT_EQ(queries_, 3);
    // Exact comparison only, and loopback is never in the table.
    for (const char* text : {"10.0.0.70", "10.0.0.", " 10.0.0.7", "127.0.0.1", ""}) {
        EXPECT_FALSE(IsLocalAddress(text)) << text;
    }

    EXPECT_TRUE(FindLocalAddress(found));
    EXPECT_EQ(found, "10.0.0.7");
}

TEST_F(AddressTableTest, BufferFormNeedsRoomForTheTerminator) {
    interfaces_ = {ip(10, 0, 0, 5)};
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_TRUE(FindLocalAddress(buffer, 9));
    EXPECT_STREQ(buffer, "10.0.0.5");

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_FALSE(FindLocalAddress(buffer, 8));
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(buffer[1], 'x') << "wrote past the terminator";
    EXPECT_FALSE(FindLocalAddress(nullptr, 16));
}

TEST(MachineAddresses, TableHoldsOnlyRealDottedAddresses) {
    QueryNetworkCardIpAddresses();
    const auto addresses = NetworkAddresses();
    EXPECT_EQ(NetworkAddressCount(), static_cast<int>(addresses.size()));
    EXPECT_LE(addresses.size(), kMaxNetworkAddresses);
    std::vector<std::uint32_t> values;
    for (const auto& text : addresses) {
        in_addr parsed{};
        ASSERT_EQ(inet_pton(AF_INET, text.c_str(), &parsed), 1) << text;
        EXPECT_NE(text, "127.0.0.1");
        EXPECT_NE(text, "0.0.0.0");
        values.push_back(ntohl(parsed.s_addr));
    }
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
}

TEST(ResolveHost, AddressesPassAndNamesResolve) {
    // A 64-character label cannot go into a DNS query, so the lookup fails
    // without anything leaving the machine.
    const std::string label(64, 'a');
    struct Case {
        std::string name;
        std::string address;
    };
    const std::vector<Case> cases = {
        {"10.1.2.3", "10.1.2.3"},
        // Not starting with a letter: never looked up, even if it cannot resolve.
        {"9" + label + ".invalid", "9" + label + ".invalid"},
        {"", ""},
        {"localhost", "127.0.0.1"},
        {"LOCALHOST", "127.0.0.1"},
    };
    for (const auto& c : cases) {
        std::string address = "stale";
        EXPECT_EQ(ResolveHost(c.name, address), 0) << c.name;
        EXPECT_EQ(address, c.address) << c.name;
    }

    std::string address;
    EXPECT_NE(ResolveHost(label + ".invalid", address), 0);
}

} // namespace
} // namespace mirx
