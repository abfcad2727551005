// mirx-ctl export against the simulator: the mirror must hold exactly what
// the server has, and the document must be stable.
#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "sim/demo_site.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "site/scenario.h"
#include "tests/support/served_site.h"

#include <gtest/gtest.h>
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
}

TEST_F(ExportAgainstSim, TwoExportsOfAnUnchangedSiteAreIdentical) {
    serve(sim::demoSite());
    const std::string first = exportDocument();
    const std::string second = exportDocument();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.find("\"password\": \"admin\""), std::string::npos)
        << "passwords stay out unless asked for";
}

} // namespace
} // namespace mirx::ctl
