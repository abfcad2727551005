// mirx-ctl report against the simulator: the texts must be those the report
// functions make of the site the server holds, and a client the server never
// answers must be listed, not waited for.
#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "apps/ctl/report_command.h"
#include "core/message_ids.h"
#include "core/utf16.h"
#include "link/console_link.h"
#include "link/server_link.h"
#include "reports/report_file.h"
#include "reports/selector_gathering.h"
#include "sim/demo_site.h"
#include "site/site_builder.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_server.h"
#include "tests/support/served_site.h"
#include "tests/support/temp_folder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace mirx::ctl {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

// Everything after the title line, which holds the time of the run.
std::string body(const std::string& text) {
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(end + 1);
}

// The records the server answers for `clients`, as the gathering keeps them.
reports::GatheredSelectors servedRecords(const site::Site& site, const std::vector<int>& clients,
                                         const std::vector<int>& missing = {}) {
    reports::GatheredSelectors g;
    for (const int client : clients) {
        if (std::find(missing.begin(), missing.end(), client) != missing.end()) {
            continue;
        }
        const auto own = site.selectors.find(client);
        const auto& record = own != site.selectors.end() ? own->second : site.defaultSelectors;
        model::SelectorAssignments kept;
        kept.assignPrefix(record.wire());
        g.records.emplace(client, kept);
    }
    g.missing = missing;
    return g;
}

struct CtlRun {
    int status = -1;
    std::string out;
    std::string err;
};

// mirx-ctl logged in as admin on the server at `port`.
CtlRun runCtlAt(std::uint16_t port, const std::vector<std::string>& command,
                decltype(CtlOptions::pdfPrinter) printer = {}) {
    std::vector<std::string> args{"--server", "127.0.0.1:" + std::to_string(port), "--user",
                                  "admin", "--password-stdin"};
    args.insert(args.end(), command.begin(), command.end());
    CtlOptions options;
    EXPECT_EQ(parseCtlOptions(args, options), "");
    options.pdfPrinter = std::move(printer);
    std::istringstream in("admin\n");
    std::ostringstream out;
    std::ostringstream err;
    link::MemorySettingsStore store;
    const std::atomic<bool> stop{false};
    CtlRun run;
    run.status = runCtl(options, store, {out, err, in}, stop);
    run.out = out.str();
    run.err = err.str();
    return run;
}

class ReportCommand : public ::testing::Test {
protected:
    void SetUp() override {
        served_.start();
        data_ = model::test::loadSite(served_.site);
        clients_ = reports::selectorReportClients(data_->labels);
    }

    int run(const std::vector<std::string>& command,
            decltype(CtlOptions::pdfPrinter) printer = {}) {
        const CtlRun r = runCtlAt(served_.port(), command, std::move(printer));
        out_.str(r.out);
        err_.str(r.err);
        return r.status;
    }

    std::string expected(ReportKind kind) const {
        const auto g = servedRecords(served_.site, clients_);
        const std::tm time{};
        return kind == ReportKind::PartyLines
                   ? reports::partyLineMembershipReport(data_->labels, g, time)
                   : reports::selectorAssignmentsReport(data_->labels, g, time);
    }

    test::LogCapture log_;
    test::ServedSite served_;
    std::unique_ptr<model::MirrorData> data_;
    std::vector<int> clients_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(ReportCommand, SelectorReportsAreTheTextsOfTheServedSite) {
    struct Case {
        const char* name;
        ReportKind kind;
        const char* title;
    };
    const Case cases[] = {
        {"party-lines", ReportKind::PartyLines, "PARTY LINE MEMBERSHIP REPORT as of "},
        {"selectors", ReportKind::Selectors, "SELECTOR ASSIGNMENTS REPORT as of "},
    };
    ASSERT_FALSE(clients_.empty());
    for (const Case& c : cases) {
        ASSERT_EQ(run({"report", c.name}), kExitOk) << c.name << ": " << err_.str();
        const std::string text = out_.str();
        EXPECT_EQ(text.rfind(c.title, 0), 0u) << text;
        // A report with something in it, not only its title.
        EXPECT_GT(lines(text).size(), 10u) << c.name;
        EXPECT_EQ(body(text), body(expected(c.kind))) << c.name;
        EXPECT_EQ(err_.str(), "");
    }
    EXPECT_EQ(served_.received("ADMIN_SELECTOR_ASSIGNMENTS_REQUEST"), 2 * clients_.size());
}

TEST_F(ReportCommand, ConnectionStatusHasEveryClientInTypeClassOrder) {
    ASSERT_EQ(run({"report", "connection-status"}), kExitOk) << err_.str();
    const auto rows = lines(out_.str());
    std::size_t localClients = 0;
    int reference = -1;
    while (data_->labels.Next(reference, 0, false) != -1) {
        ++localClients;
    }
    ASSERT_EQ(rows.size(), 4 + localClients) << out_.str();
    EXPECT_EQ(rows[0].rfind("CONNECTION STATUS REPORT as of ", 0), 0u);
    EXPECT_EQ(rows[1], "");
    EXPECT_EQ(rows[2], "Type   Client                Description                                  "
                       "       State     Duration       IP Address       Version");
    EXPECT_EQ(rows[3], "");
    const auto rank = [](const std::string& row) {
        const std::string type = row.substr(0, 5);
        return type.starts_with("MCP")   ? 0
               : type.starts_with("MDV") ? 1
               : type.starts_with("SIP") ? 2
                                         : 3;
    };
    for (std::size_t i = 5; i < rows.size(); ++i) {
        EXPECT_LE(rank(rows[i - 1]), rank(rows[i])) << rows[i - 1] << "\n" << rows[i];
    }
}

TEST_F(ReportCommand, TextFileIsTheSavedForm) {
    test::TempFolder folder("mirx-report");
    const auto path = folder / "Selectors.txt";
    ASSERT_EQ(run({"report", "selectors", "--text", path.string()}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), "");
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 2u);
    // The title line as saved, then the text every byte as expected.
    std::u16string units((bytes.size() - 2) / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                         static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
    }
    const std::string saved = text::toUtf8(units);
    const std::string title = saved.substr(0, saved.find("\r\n"));
    EXPECT_EQ(title.rfind("SELECTOR ASSIGNMENTS REPORT as of ", 0), 0u) << title;
    EXPECT_EQ(bytes,
              reports::reportFileBytes(title + "\n" + body(expected(ReportKind::Selectors))));

    const auto nowhere = folder / "missing" / "r.txt";
    EXPECT_EQ(run({"report", "party-lines", "--text", nowhere.string()}), kExitNotWritten);
    EXPECT_EQ(err_.str(), "mirx-ctl: " + nowhere.string() +
                              ": cannot create a temporary file: No such file or directory\n");
    EXPECT_EQ(out_.str(), "");
}

// --pdf hands the text to the program's printer; without one (a build
// without the GUI modules) it is refused before anything is asked.
TEST_F(ReportCommand, PdfGoesToTheProgramsPrinter) {
    std::vector<std::pair<std::string, std::string>> printed;
    const auto printer = [&](const std::string& path, const std::string& text) {
        printed.emplace_back(path, text);
        return path == "full.pdf" ? std::string("No space left on device") : std::string();
    };
    EXPECT_EQ(run({"report", "party-lines", "--pdf", "r.pdf"}, printer), kExitOk);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].first, "r.pdf");
    EXPECT_EQ(body(printed[0].second), body(expected(ReportKind::PartyLines)));
    EXPECT_EQ(out_.str(), "");

    EXPECT_EQ(run({"report", "selectors", "--pdf", "full.pdf"}, printer), kExitNotWritten);
    EXPECT_EQ(err_.str(), "mirx-ctl: full.pdf: No space left on device\n");

    const std::size_t asked = served_.received("ADMIN_SELECTOR_ASSIGNMENTS_REQUEST");
    EXPECT_EQ(run({"report", "selectors", "--pdf", "r.pdf"}), kExitUsage);
    EXPECT_EQ(err_.str(), "mirx-ctl: --pdf needs a mirx-ctl built with Qt's GUI modules\n");
    EXPECT_EQ(served_.received("ADMIN_SELECTOR_ASSIGNMENTS_REQUEST"), asked);
}

TEST(ReportCommandOptions, KindsAndTheTextOption) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"report", "selectors", "--text", "r.txt"}, ""},
        {{"report"}, "report takes one of connection-status, party-lines and selectors"},
        {{"report", "groups"}, "report takes one of connection-status, party-lines and selectors"},
        {{"report", "selectors", "party-lines"},
         "report takes one of connection-status, party-lines and selectors"},
        {{"report", "selectors", "--text"}, "--text needs a value"},
        {{"report", "party-lines", "--pdf", "r.pdf", "--text", "r.txt"}, ""},
        {{"report", "selectors", "--pdf"}, "--pdf needs a value"},
        {{"statistics", "--text", "r.txt"}, "--text and --pdf belong to the report command"},
        {{"status", "--pdf", "r.pdf"}, "--text and --pdf belong to the report command"},
    };
    for (const Case& c : cases) {
        CtlOptions options;
        EXPECT_EQ(parseCtlOptions(c.args, options), c.error) << c.args.front();
    }
}

TEST(ReportGathering, AClientTheServerNeverAnswersIsListedAsMissing) {
    test::LogCapture log;
    const site::Site site = sim::demoSite();
    auto data = model::test::loadSite(site);
    const auto clients = reports::selectorReportClients(data->labels);
    ASSERT_GE(clients.size(), 3u);
    const int silent = clients[1];
    // The request for the second client is answered only with a record
    // naming another client, as a late answer would; the rest as the site.
    const auto bytes = [](const model::SelectorAssignments& record) {
        return std::vector<std::uint8_t>(record.wire().begin(), record.wire().end());
    };
    const auto first = servedRecords(site, {clients[0]});
    test::Script script;
    script.answersQueued[msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST] = {
        {{msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, static_cast<std::uint16_t>(clients[0]),
          bytes(first.records.at(clients[0]))}},
        {{msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS, static_cast<std::uint16_t>(clients[2]),
          bytes(site::selectorList({site::selector(10000, 1)}))}},
    };
    test::ScriptedServer server(site, std::move(script));
    ASSERT_TRUE(server.start());
    link::MemorySettingsStore store;
    store.set(link::kServerIPAddress.name, std::string("127.0.0.1"));
    store.set(link::kDataIpPort.name, std::uint32_t{server.port()});
    link::LinkServices services;
    services.settings = &store;
    link::ConsoleLink console(services);
    ASSERT_TRUE(console.link().Connect("admin", "admin")) << console.link().errorText();

    const std::atomic<bool> stop{false};
    const std::tm time{};
    const auto report =
        gatherReport(console.link(), console.mirror(), ReportKind::Selectors, time, stop, 300);
    console.link().StopLink();
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->asked, clients.size());
    EXPECT_EQ(report->missing, 1u);
    const auto expected = reports::selectorAssignmentsReport(
        data->labels, servedRecords(site, clients, {silent}), time);
    EXPECT_EQ(report->text, expected);
    EXPECT_NE(report->text.find("\nMISSING ... 1 clients"), std::string::npos) << report->text;
}

TEST(ReportGathering, TheCommandStillWritesTheReportAndSaysWhatIsMissing) {
    // The first selector request goes unanswered; the command waits its
    // five seconds for it, then goes on.
    test::Script script;
    script.answersQueued[msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST] = {{}};
    test::ScriptedServer server(sim::demoSite(), std::move(script));
    ASSERT_TRUE(server.start());
    test::LogCapture log;
    const CtlRun r = runCtlAt(server.port(), {"report", "party-lines"});
    EXPECT_EQ(r.status, kExitNoAnswer);
    EXPECT_NE(r.out.find(" members\n\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nMISSING ... 1 clients (no selector assignments arrived)\n\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err.rfind("mirx-ctl: no selector assignments arrived for 1 of ", 0), 0u) << r.err;
}

TEST(ReportGathering, NoStatisticsAnswerIsNoConnectionStatusReport) {
    test::LogCapture log;
    test::ServedSite served;
    sim::FaultSwitches deaf;
    deaf.ignoreMessageIds = {msg::ADMIN_CLIENT_STATISTICS_REQUEST};
    served.start(deaf);
    const CtlRun r = runCtlAt(served.port(), {"report", "connection-status"});
    EXPECT_EQ(r.status, kExitNoAnswer);
    EXPECT_EQ(r.err, "mirx-ctl: the server did not answer the statistics request\n");
    EXPECT_EQ(r.out, "");
}

} // namespace
} // namespace mirx::ctl
