// mirx-ctl export against the simulator: the mirror must hold exactly what
// the server has, and the document must be stable.
#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "sim/demo_site.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "site/scenario.h"
#include "site/site_builder.h"
#include "tests/support/served_site.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace mirx::ctl {
namespace {

class ExportAgainstSim : public ::testing::Test {
protected:
    void serve(site::Site site) {
        served_.site = std::move(site);
        served_.setKeepFrameLog(false);
        served_.start();
    }

    std::string exportDocument(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {
            "--server",         "127.0.0.1:" + std::to_string(served_.port()),
            "--user",           "admin",
            "--password-stdin", "export"};
        args.insert(args.end(), extra.begin(), extra.end());
        CtlOptions options;
        EXPECT_EQ(parseCtlOptions(args, options), "");
        std::istringstream in("admin\n");
        std::ostringstream out;
        std::ostringstream err;
        link::MemorySettingsStore store;
        EXPECT_EQ(runCtl(options, store, {out, err, in}, stop_), kExitOk) << err.str();
        return out.str();
    }

    test::ServedSite served_;
    site::Site& site_ = served_.site;
    std::atomic<bool> stop_{false};
};

std::vector<std::uint8_t> answeredSelectors(const site::Site& site, int index) {
    const auto own = site.selectors.find(index);
    const auto wire = index >= 0 && own != site.selectors.end() ? own->second.wire()
                                                                : site.defaultSelectors.wire();
    return {wire.begin(), wire.end()};
}

TEST_F(ExportAgainstSim, LargestSiteIsMirroredExactly) {
    serve(sim::maxSite());
    const std::string document = exportDocument({"--include-passwords"});
    site::ScenarioError error;
    const auto mirrored = site::parseScenario(document, error);
    ASSERT_TRUE(mirrored) << error.message;

    ASSERT_EQ(mirrored->labels.size(), site_.labels.size());
    EXPECT_TRUE(mirrored->labels == site_.labels) << "a label differs";
    ASSERT_EQ(mirrored->credentials.size(), site_.credentials.size());
    EXPECT_TRUE(mirrored->credentials == site_.credentials);
    EXPECT_EQ(mirrored->masterAdministrator, site_.masterAdministrator);
    EXPECT_EQ(mirrored->defaultOptions, site_.defaultOptions);
    EXPECT_EQ(mirrored->sipDefaultOptions, site_.sipDefaultOptions);
    EXPECT_EQ(mirrored->defaultAudio, site_.defaultAudio);
    EXPECT_EQ(mirrored->systemSettings, site_.systemSettings);
    EXPECT_EQ(mirrored->userInterfaceSettings, site_.userInterfaceSettings);
    EXPECT_TRUE(mirrored->systems == site_.systems);
    // Per-client records the server holds (others are the defaults).
    for (const auto& [index, options] : site_.options) {
        ASSERT_TRUE(mirrored->options.count(index)) << index;
        EXPECT_EQ(mirrored->options.at(index), options) << index;
    }
    for (const auto& [index, audio] : site_.audio) {
        ASSERT_TRUE(mirrored->audio.count(index)) << index;
        EXPECT_EQ(mirrored->audio.at(index), audio) << index;
    }
    // Selector assignments as the server answers them: the client's own
    // record, or the default one.
    ASSERT_TRUE(answeredSelectors(site_, -1) == answeredSelectors(*mirrored, -1));
    int withOwnRecord = 0;
    for (const auto& [index, number] : site_.clientLabels()) {
        withOwnRecord += site_.selectors.count(index) != 0 ? 1 : 0;
        EXPECT_TRUE(answeredSelectors(site_, index) == answeredSelectors(*mirrored, index))
            << index;
    }
    EXPECT_GT(withOwnRecord, 0) << "the site gives some clients their own selectors";
}

TEST_F(ExportAgainstSim, TwoExportsOfAnUnchangedSiteAreIdentical) {
    serve(sim::demoSite());
    const std::string first = exportDocument();
    const std::string second = exportDocument();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.find("\"password\": \"admin\""), std::string::npos)
        << "passwords stay out unless asked for";
}

// Party lines and sets as the server answers them: only the counted entries
// of a party line, and nothing for an empty record or set.
std::map<int, std::vector<std::uint8_t>> answeredPartyLines(const site::Site& site) {
    std::map<int, std::vector<std::uint8_t>> out;
    for (const auto& [number, record] : site.partyLines) {
        if (record.entryCount() > 0) {
            out[number] = {record.wire().begin(), record.wire().end()};
        }
    }
    return out;
}

std::map<int, std::vector<std::uint8_t>>
answeredSets(const std::map<int, model::ClientBitSet>& sets) {
    std::map<int, std::vector<std::uint8_t>> out;
    for (const auto& [key, set] : sets) {
        const auto bytes = set.bytes();
        if (std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; })) {
            out[key] = {bytes.begin(), bytes.end()};
        }
    }
    return out;
}

TEST_F(ExportAgainstSim, MembershipsRoundTripTheServersOwnState) {
    site::Site demo = sim::demoSite();
    demo.blockedListens[3] = site::clientSet({0, 7, 999});
    demo.blockedListens[4] = {}; // empty: the same as none
    demo.forcedListens[12] = site::clientSet({13});
    demo.forcedListens[40] = site::clientSet({1, 2, 3});
    // An entry the console reads as odd is still the server's to keep.
    site::addMember(demo, 10102, 9, static_cast<model::MembershipMode>(7));
    demo.partyLines[10103] = model::PartyLineMembership{}; // no members
    demo.partyLines[10103].set(model::PartyLineMembership::kPartyLine, 10103);
    serve(std::move(demo));

    const std::string plain = exportDocument();
    EXPECT_EQ(plain.find("\"partyLines\""), std::string::npos);

    const std::string document = exportDocument({"--memberships"});
    site::ScenarioError error;
    auto mirrored = site::parseScenario(document, error);
    ASSERT_TRUE(mirrored) << error.message;
    EXPECT_EQ(answeredPartyLines(*mirrored), answeredPartyLines(site_));
    EXPECT_FALSE(answeredPartyLines(*mirrored).empty());
    EXPECT_FALSE(mirrored->partyLines.contains(10103));
    EXPECT_EQ(answeredSets(mirrored->fixedGroups), answeredSets(site_.fixedGroups));
    EXPECT_EQ(answeredSets(mirrored->blockedListens), answeredSets(site_.blockedListens));
    EXPECT_EQ(answeredSets(mirrored->forcedListens), answeredSets(site_.forcedListens));
    EXPECT_FALSE(mirrored->blockedListens.contains(4));
    EXPECT_EQ(document, exportDocument({"--memberships"})) << "not stable";

    // Served again from the document, the site exports to the same text.
    mirrored->admins = site_.admins;
    const std::uint16_t port = served_.port(); // the settings record names it
    served_.stop();
    served_.site = std::move(*mirrored);
    served_.start({}, port);
    EXPECT_EQ(exportDocument({"--memberships"}), document);
}

} // namespace
} // namespace mirx::ctl
