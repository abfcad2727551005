#include "model/system_status.h"
#include "reports/sip_registrations_text.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::reports {
namespace {

using R = model::SipRegistration;

constexpr std::uint32_t address(unsigned a, unsigned b, unsigned c, unsigned d) {
    return a | b << 8 | c << 16 | d << 24;
}

R registration(const std::string& user, const std::string& contact, std::uint32_t expires) {
    R r;
    r.set(R::kUserName, user);
    r.set(R::kAddressOfRecord, "sip:" + user + "@venue.local");
    r.set(R::kContactDetail, contact);
    r.set(R::kExpirationSeconds, expires);
    return r;
}

TEST(SipServerAddress, SecondaryCountsOnlyWhileActive) {
    model::SystemSettings settings;
    settings.set(model::SystemSettings::kServerAddress, address(192, 168, 10, 1));
    settings.set(model::SystemSettings::kSecondaryServerAddress, address(192, 168, 10, 2));
    for (std::uint8_t state = 0; state < 8; ++state) {
        const bool secondary = state == 4 || state == 5;
        EXPECT_EQ(serverContactText(settings, state), secondary ? "192.168.10.2:" : "192.168.10.1:")
            << int(state);
    }
}

TEST(SipServerAddress, ContactNamesTheServer) {
    struct Case {
        const char* contact;
        bool server;
    };
    const Case cases[] = {
        {"sip:gw@10.0.0.1:5060", true},
        {"10.0.0.1:5060", true},
        {"sip:gw@10.0.0.1:5060;transport=udp", true},
        {"sip:phone@10.0.0.12:5060", false},
        {"sip:phone@110.0.0.1:5060", false},
        {"sip:phone@210.0.0.1:5060;via=10.0.0.1:5062", true},
        {"sip:phone@10.0.0.1", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(contactIsServer(c.contact, "10.0.0.1:"), c.server) << c.contact;
    }
    EXPECT_FALSE(contactIsServer("anything", ""));
}

TEST(SipRows, ExternalOnlyLeavesOutTheServersOwn) {
    model::SipRegistrationList list;
    list.entries = {registration("phone", "sip:phone@192.168.10.40:5060", 300),
                    registration("gw", "sip:gw@192.168.10.1:5062", 3600),
                    registration("soft", "sip:soft@192.168.10.41:5060", 60)};
    const auto all = sipRegistrationRows(list, false, "192.168.10.1:");
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].cell(SipColumn::UserName), "gw");
    EXPECT_EQ(all[1].cell(SipColumn::AddressOfRecord), "sip:gw@venue.local");
    EXPECT_EQ(all[1].cell(SipColumn::Expiration), "3600s");
    const auto external = sipRegistrationRows(list, true, "192.168.10.1:");
    ASSERT_EQ(external.size(), 2u);
    EXPECT_EQ(external[0].cell(SipColumn::UserName), "phone");
    EXPECT_EQ(external[1].cell(SipColumn::UserName), "soft");
}

TEST(SipRows, EightBitTextsBecomeUtf8) {
    model::SipRegistrationList list;
    R r = registration("x", "c", 1);
    r.bytes[0] = 0xE9; // Latin-1 e acute
    r.bytes[1] = 0;
    list.entries = {r};
    EXPECT_EQ(sipRegistrationRows(list, false, "").front().cell(SipColumn::UserName), "\xC3\xA9");
}

TEST(SipRows, CountAboveThePayloadShowsWhatArrived) {
    std::vector<R> sent = {registration("a", "sip:a@1.2.3.4:5060", 1),
                           registration("b", "sip:b@1.2.3.5:5060", 2)};
    auto payload = model::encodeSipRegistrations(sent);
    payload[0] = 40;                     // claims 40 entries
    payload.resize(payload.size() - 10); // the second is cut short
    const auto rows = sipRegistrationRows(model::decodeSipRegistrations(payload), false, "");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].cell(SipColumn::UserName), "a");
}

TEST(SipRows, Compare) {
    model::SipRegistrationList list;
    list.entries = {registration("Beta", "sip:z@1.1.1.1:1", 90),
                    registration("alpha", "sip:a@1.1.1.1:1", 600)};
    const auto rows = sipRegistrationRows(list, false, "");
    EXPECT_GT(compareSipRows(rows[0], rows[1], 0), 0) << "case-blind";
    EXPECT_GT(compareSipRows(rows[0], rows[1], 2), 0);
    // "90s" before "600s": by seconds, not by text.
    EXPECT_LT(compareSipRows(rows[0], rows[1], 3), 0);
}

} // namespace
} // namespace mirx::reports
