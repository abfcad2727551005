// mirx-ctl statistics and sip-registrations against the simulator and
// against a server that sends broken answers.
#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "apps/ctl/monitor_commands.h"
#include "core/message_ids.h"
#include "model/sip_registrations.h"
#include "model/statistics.h"
#include "sim/demo_site.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_server.h"
#include "tests/support/served_site.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace mirx::ctl {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> fields(const std::string& csvLine) {
    // The lines checked here hold no quoted commas before the fields read.
    std::vector<std::string> out;
    std::istringstream in(csvLine);
    for (std::string field; std::getline(in, field, ',');) {
        out.push_back(field);
    }
    return out;
}

class MonitorCommands : public ::testing::Test {
protected:
    int run(std::uint16_t port, std::vector<std::string> command) {
        std::vector<std::string> args{"--server", "127.0.0.1:" + std::to_string(port), "--user",
                                      "admin", "--password-stdin"};
        args.insert(args.end(), command.begin(), command.end());
        CtlOptions options;
        EXPECT_EQ(parseCtlOptions(args, options), "");
        std::istringstream in("admin\n");
        out_.str({});
        err_.str({});
        return runCtl(options, store_, {out_, err_, in}, stop_);
    }

    test::LogCapture log_;
    link::MemorySettingsStore store_;
    std::ostringstream out_;
    std::ostringstream err_;
    std::atomic<bool> stop_{false};
};

TEST_F(MonitorCommands, StatisticsAsCsvHasEveryClientSeenWithItsRates) {
    test::ServedSite served;
    const int unseen = served.site.behaviour.begin()->first;
    served.site.behaviour.erase(unseen);
    served.setKeepFrameLog(false);
    served.start();
    ASSERT_EQ(run(served.port(), {"statistics", "--format", "csv"}), kExitOk) << err_.str();
    const auto rows = lines(out_.str());
    ASSERT_EQ(rows.size(), served.site.behaviour.size() + 1);
    EXPECT_EQ(rows[0].rfind("Type,Client,State,Duration,DEC,DSCD,SARAE,", 0), 0u) << rows[0];
    std::size_t withRate = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto f = fields(rows[i]);
        ASSERT_GT(f.size(), 6u) << rows[i];
        // Two samples a second apart: on-line clients have a rate.
        if (f[2] == "On-Line" && f[6] != "-") {
            ++withRate;
        }
    }
    EXPECT_GT(withRate, 0u);
    // In the view's opening order: control panels first.
    EXPECT_EQ(fields(rows[1])[0], "MCP");

    ASSERT_EQ(run(served.port(), {"statistics", "--unused", "--format", "json"}), kExitOk);
    EXPECT_EQ(lines(out_.str()).size(), served.site.behaviour.size() + 1 + 2);
}

TEST(SortedByFirstColumn, OrdersAsTheListsCompare) {
    // Type class first, then the name case-blind (a folded '_' sorts before
    // letters, a raw one after capitals), then the client index.
    struct Case {
        int typeClass;
        int clientIndex;
        const char* name;
    };
    const Case cases[] = {
        {1, 5, "beta"},
        {0, 9, "Zulu"},
        {1, 2, "Alpha"},
        {1, 3, "alpha"},
        {1, 1, "ALPHA2"},
        {0, 4, "zulu"},
        {1, 7, "alph"},
        {1, 6, "_x"},
        {1, 10, "Ax"},
        {1, 11, "\xC3\xA9"},
        {1, 12, ""},
        {2, 0, "a"},
        {1, 13, "Z"},
        {1, 14, "["},
        {0, 15, "zulu "},
        // Past the first 16 bytes.
        {1, 16, "Generated client 0002"},
        {1, 17, "generated client 0001"},
        {1, 18, "GENERATED CLIENT 0001"},
        {1, 19, "Generated client 000"},
    };
    std::vector<reports::StatisticsRow> rows;
    for (const Case& c : cases) {
        reports::StatisticsRow& row = rows.emplace_back();
        row.typeClass = c.typeClass;
        row.clientIndex = c.clientIndex;
        row.texts = c.name;
        row.ends.fill(static_cast<std::uint32_t>(row.texts.size()));
        row.ends[0] = 0;
    }
    std::vector<reports::StatisticsRow> expected = rows;
    std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return reports::compareStatisticsRows(a, b, 0) < 0;
    });
    std::vector<int> want;
    for (const auto& row : expected) {
        want.push_back(row.clientIndex);
    }
    std::vector<int> got;
    for (const auto& row : sortedByFirstColumn(rows)) {
        got.push_back(row.clientIndex);
    }
    EXPECT_EQ(got, want);
    EXPECT_EQ(want.front(), 4); // "zulu" before "Zulu" only by index
}

TEST_F(MonitorCommands, SipRegistrationsLeaveOutTheServersOwnUnlessAll) {
    test::ServedSite served;
    served.setKeepFrameLog(false);
    served.start();
    ASSERT_EQ(run(served.port(), {"sip-registrations"}), kExitOk) << err_.str();
    const std::string external = out_.str();
    EXPECT_EQ(external.rfind("User Name ", 0), 0u) << external;
    EXPECT_NE(external.find("gallery.phone"), std::string::npos);
    EXPECT_EQ(external.find("127.0.0.1:"), std::string::npos) << external;
    ASSERT_EQ(run(served.port(), {"sip-registrations", "--all", "--format", "csv"}), kExitOk);
    EXPECT_EQ(lines(out_.str()).size(), served.site.sipRegistrations.size() + 1);
    EXPECT_NE(out_.str().find("127.0.0.1:5062"), std::string::npos);
}

TEST_F(MonitorCommands, BrokenAnswersShowWhatArrived) {
    // A statistics answer of one and a half entries, and a registration
    // count far above the one registration sent.
    model::StatisticsTable table;
    table.set(model::StatisticsTable::kServerTime, std::int64_t{9000});
    for (std::size_t i = 0; i < 2; ++i) {
        model::ClientStatistics e;
        e.set(model::ClientStatistics::kLastChangeTime, std::int64_t{8000});
        table.setClient(i, e);
    }
    const std::vector<std::uint8_t> shortStatistics(table.bytes.begin(),
                                                    table.bytes.begin() + 12 + 80 + 50);
    model::SipRegistration r;
    r.set(model::SipRegistration::kUserName, "only\x1b[2J");
    r.set(model::SipRegistration::kContactDetail, "sip:only@10.9.8.7:5060");
    auto sip = model::encodeSipRegistrations(std::vector<model::SipRegistration>{r});
    sip[0] = 0xFF;
    sip[1] = 0x7F;
    sip.resize(sip.size() + 100, 0x41);
    test::Script script;
    script.answers[msg::ADMIN_CLIENT_STATISTICS_REQUEST] = {
        {msg::ADMIN_CLIENT_STATISTICS_RESPONSE, 0, shortStatistics}};
    script.answers[msg::ADMIN_SIP_REGISTRATIONS_REQUEST] = {
        {msg::ADMIN_SIP_REGISTRATIONS_RESPONSE, 0, sip}};
    test::ScriptedServer server(sim::demoSite(), std::move(script));
    ASSERT_TRUE(server.start());

    ASSERT_EQ(run(server.port(), {"statistics", "--format", "csv"}), kExitOk) << err_.str();
    const auto rows = lines(out_.str());
    ASSERT_EQ(rows.size(), 2u) << out_.str();
    EXPECT_NE(rows[1].find(",\"16m, 40s\","), std::string::npos) << rows[1];

    ASSERT_EQ(run(server.port(), {"sip-registrations", "--all"}), kExitOk) << err_.str();
    const auto sipRows = lines(out_.str());
    ASSERT_EQ(sipRows.size(), 3u) << out_.str();
    // The escape sequence reaches the terminal as text.
    EXPECT_EQ(sipRows[2].rfind("only\\x1b[2J ", 0), 0u) << sipRows[2];
}

TEST_F(MonitorCommands, NoAnswerHasItsOwnStatus) {
    test::ServedSite served;
    served.setKeepFrameLog(false);
    sim::FaultSwitches deaf;
    deaf.ignoreMessageIds = {msg::ADMIN_CLIENT_STATISTICS_REQUEST};
    served.start(deaf);
    EXPECT_EQ(run(served.port(), {"statistics"}), kExitNoAnswer);
    EXPECT_EQ(err_.str(), "mirx-ctl: the server did not answer the statistics request\n");
    EXPECT_EQ(out_.str(), "");
}

} // namespace
} // namespace mirx::ctl
