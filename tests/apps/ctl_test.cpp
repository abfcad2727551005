#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "core/message_ids.h"
#include "link/server_link.h"
#include "shell/settings/qsettings_store.h"
#include "sim/demo_site.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "tests/support/served_site.h"
#include "tests/support/test_listener.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <ostream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace mirx::ctl {
namespace {

struct ParseCase {
    std::vector<std::string> args;
    const char* problem; // substring; "" = accepted
};

TEST(CtlOptions, ParsesOrExplains) {
    const ParseCase cases[] = {
        {{"login-check"}, ""},
        {{"--server", "host:1234", "--user", "u", "--password-stdin", "status", "--watch"}, ""},
        {{"--password", "secret", "login-check"}, "not taken from the command line"},
        {{"--password-file", "f", "--password-stdin", "status"}, "exclude each other"},
        {{"--server", "host:0", "status"}, "port from 1 to 65535"},
        {{"--server", "host:99999", "status"}, "port from 1 to 65535"},
        {{"--server"}, "needs a value"},
        {{"login-check", "--watch"}, "--watch belongs to the status command"},
        {{"frobnicate"}, "unknown command"},
        {{}, "no command given"},
        {{"--bogus", "status"}, "unknown option --bogus"},
        {{"--help"}, ""},
        {{"--password-stdin", "--save-password", "login-check"}, ""},
        {{"--save-password", "login-check"}, "--save-password needs --password-file or"},
        {{"statistics", "--format", "csv", "--unused"}, ""},
        {{"sip-registrations", "--format", "table", "--all"}, ""},
        {{"statistics", "--format", "xml"}, "statistics --format knows table, csv, json"},
        {{"export", "--format", "csv"}, "export --format knows json"},
        {{"status", "--format", "json"},
         "--format belongs to the export, statistics and sip-registrations commands"},
        {{"sip-registrations", "--unused"}, "--format and --unused belong to the statistics"},
        {{"log", "activity"}, ""},
        {{"log", "debug", "--follow"}, ""},
        {{"log"}, "log takes one of activity and debug"},
        {{"log", "audit"}, "log takes one of activity and debug"},
        {{"log", "debug", "activity"}, "log takes one of activity and debug"},
        {{"status", "--follow"}, "--follow belongs to the log command"},
    };
    for (const ParseCase& c : cases) {
        CtlOptions options;
        const std::string problem = parseCtlOptions(c.args, options);
        if (*c.problem == '\0') {
            EXPECT_EQ(problem, "") << c.args.size();
        } else {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        }
    }
    CtlOptions options;
    ASSERT_EQ(
        parseCtlOptions(std::vector<std::string>{"--server", "10.0.0.1:1500", "status"}, options),
        "");
    EXPECT_EQ(options.serverHost, "10.0.0.1");
    EXPECT_EQ(options.serverPort, 1500);
}

// Every command takes its own options and refuses every other command's,
// naming the command they belong to; the usage text lists every command.
TEST(CtlOptions, EachCommandTakesOnlyItsOwnOptions) {
    const std::string usage = ctlUsage();
    for (const CtlCommand& command : ctlCommands()) {
        EXPECT_NE(usage.find("  " + std::string(command.name)), std::string::npos) << command.name;
        EXPECT_EQ(findCtlCommand(command.name), &command);
        for (const CtlCommand& owner : ctlCommands()) {
            for (std::string_view option : owner.options) {
                std::vector<std::string> args{std::string(command.name), std::string(option)};
                if (option == "--format") {
                    args.push_back("json");
                } else if (option == "--config" || option == "--folder" || option == "--text" ||
                           option == "--pdf") {
                    args.push_back("x");
                }
                if (command.takesFiles) {
                    args.push_back(command.name == "log"      ? "debug"
                                   : command.name == "report" ? "selectors"
                                                              : "a.txt");
                }
                CtlOptions options;
                const std::string problem = parseCtlOptions(args, options);
                if (commandTakes(command, option)) {
                    EXPECT_EQ(problem, "") << command.name << " " << option;
                } else {
                    EXPECT_NE(problem.find(std::string(option)), std::string::npos)
                        << command.name << " " << option << ": " << problem;
                    EXPECT_NE(problem.find(" " + std::string(owner.name)), std::string::npos)
                        << command.name << " " << option << ": " << problem;
                }
            }
        }
    }
    EXPECT_EQ(findCtlCommand("frobnicate"), nullptr);
}

TEST(CtlExitCodes, OnePerFailure) {
    const std::pair<std::string, int> cases[] = {
        {"Unable to connect to Ondrel!", kExitUnreachable},
        {"Software version is not compatible with Server!", kExitIncompatible},
        {"Provided user name and/or password is invalid!", kExitBadCredentials},
        {"No administative priveleges assigned!", kExitNoAdministration},
        {"Login rejected!", kExitRejected},
        {link::kServerSilentText, kExitServerSilent},
        {link::kNoLoginAnswerText, kExitNoAnswer},
        {link::kNoIdentificationAnswerText, kExitNoAnswer},
        {link::kConnectionEndedText, kExitConnectionLost},
        {link::kCheckEndedText, kExitConnectionLost},
        {link::kUpdateStalledText, kExitUpdateFailed},
        {link::kInterruptedText, kExitInterrupted},
    };
    for (const auto& [text, code] : cases) {
        EXPECT_EQ(exitCodeFor(text), code) << text;
    }
}

class CtlAgainstSim : public ::testing::Test {
protected:
    void SetUp() override {
        served_.setKeepFrameLog(false);
        served_.start();
    }

    void restartServer(const sim::FaultSwitches& faults) { served_.start(faults); }

    int run(std::vector<std::string> args, std::string input = {}) {
        CtlOptions options;
        EXPECT_EQ(parseCtlOptions(args, options), "");
        std::istringstream in(input);
        out_.str({});
        err_.str({});
        return runCtl(options, store_, {out_, err_, in}, stop_);
    }
    std::string server() const { return "127.0.0.1:" + std::to_string(served_.port()); }

    test::ServedSite served_;
    site::Site& site_ = served_.site;
    link::MemorySettingsStore store_;
    std::ostringstream out_;
    std::ostringstream err_;
    std::atomic<bool> stop_{false};
};

TEST_F(CtlAgainstSim, LoginCheckReportsTheServer) {
    EXPECT_EQ(run({"--server", server(), "--user", "admin", "--password-stdin", "login-check"},
                  "admin\n"),
              kExitOk)
        << err_.str();
    EXPECT_NE(out_.str().find("server version:  6."), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("(full administrator)"), std::string::npos);
    EXPECT_NE(out_.str().find("trunking mode:   RTS"), std::string::npos);
    // A server given for the run stores nothing in the profile.
    EXPECT_TRUE(store_.values().empty());
}

TEST_F(CtlAgainstSim, FailuresHaveTheirOwnStatusAndText) {
    EXPECT_EQ(run({"--server", server(), "--user", "admin", "--password-stdin", "login-check"},
                  "wrong\n"),
              kExitBadCredentials);
    EXPECT_EQ(err_.str(), "Provided user name and/or password is invalid!\n");
    std::uint16_t closed = 0;
    {
        test::TestListener probe;
        closed = probe.port();
    }
    EXPECT_EQ(
        run({"--server", "127.0.0.1:" + std::to_string(closed), "--password-stdin", "login-check"},
            "admin\n"),
        kExitUnreachable);
    EXPECT_EQ(run({"--password-file", "/nonexistent/pw", "login-check"}), kExitNoPassword);
}

TEST_F(CtlAgainstSim, StatusPrintsTheDecodedRecord) {
    EXPECT_EQ(
        run({"--server", server(), "--user", "admin", "--password-stdin", "status"}, "admin\n"),
        kExitOk)
        << err_.str();
    const std::string text = out_.str();
    EXPECT_NE(text.find("up time:"), std::string::npos) << text;
    EXPECT_NE(text.find("failover:           PRIMARY ACTIVE/Secondary Standby"), std::string::npos)
        << text;
    EXPECT_NE(text.find("trunking:           Trunk Master On-Line"), std::string::npos) << text;
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A server given for the run leaves the profile byte for byte as it was,
// secondary server and password included; with --profile the login keeps
// what it learnt there as usual.
TEST_F(CtlAgainstSim, ServerForTheRunWritesNothingWithoutProfile) {
    std::string folder = (std::filesystem::temp_directory_path() / "mirx-ctl-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::filesystem::path file = std::filesystem::path(folder) / "settings.conf";
    {
        shell::QSettingsStore profile(std::nullopt, file);
        profile.writeString(link::kUserName.name, "admin");
        profile.writeString(link::kPassword.name, "admin");
        profile.writeString(link::kSecondaryServerIpAddress.name, "10.9.9.9");
        profile.writeString(link::kClientIPAddress.name, "10.200.0.1");
    }
    const auto run = [&](std::vector<std::string> args) {
        args.push_back("login-check");
        CtlOptions options;
        EXPECT_EQ(parseCtlOptions(args, options), "");
        std::istringstream in;
        shell::QSettingsStore profile(options.profile, file);
        return runCtl(options, profile, {out_, err_, in}, stop_);
    };
    const std::string before = fileBytes(file);
    ASSERT_EQ(run({"--server", server()}), kExitOk) << err_.str();
    EXPECT_EQ(fileBytes(file), before);

    ASSERT_EQ(run({"--server", server(), "--profile", "Default"}), kExitOk) << err_.str();
    EXPECT_NE(fileBytes(file), before);
    std::filesystem::remove_all(folder);
}

struct StoredPasswordCase {
    const char* what;
    std::vector<std::string> passwordOptions; // "<file>" names a file holding "admin"
    std::string input;
    // What the profile's Password holds after the login; nullopt: the file
    // stays byte for byte as it was.
    std::optional<std::string> stored;
};

void PrintTo(const StoredPasswordCase& c, std::ostream* os) {
    *os << c.what;
}

class CtlStoredPassword : public CtlAgainstSim,
                          public ::testing::WithParamInterface<StoredPasswordCase> {};

// Against the real settings file: the login stores what it used only when
// asked to, or when the password came from the profile in the first place.
TEST_P(CtlStoredPassword, OnlyWhenAsked) {
    const StoredPasswordCase& c = GetParam();
    std::string folder = (std::filesystem::temp_directory_path() / "mirx-ctl-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::filesystem::path file = std::filesystem::path(folder) / "settings.conf";
    const std::filesystem::path passwordFile = std::filesystem::path(folder) / "pw";
    std::ofstream(passwordFile) << "admin\n";
    const auto login = [&](const std::vector<std::string>& passwordOptions,
                           const std::string& input) {
        std::vector<std::string> args{"--server", server()};
        for (const std::string& o : passwordOptions) {
            args.push_back(o == "<file>" ? passwordFile.string() : o);
        }
        args.push_back("login-check");
        CtlOptions options;
        EXPECT_EQ(parseCtlOptions(args, options), "");
        std::istringstream in(input);
        shell::QSettingsStore profile(std::nullopt, file);
        return runCtl(options, profile, {out_, err_, in}, stop_);
    };
    {
        shell::QSettingsStore profile(std::nullopt, file);
        profile.writeString(link::kUserName.name, "admin");
        profile.writeString(link::kPassword.name, "admin");
    }
    ASSERT_EQ(login({}, ""), kExitOk) << err_.str();
    if (!c.stored) {
        shell::QSettingsStore profile(std::nullopt, file);
        profile.writeString(link::kPassword.name, "kept");
    }
    const std::string before = fileBytes(file);
    const int status = login(c.passwordOptions, c.input);
    EXPECT_EQ(status, kExitOk) << err_.str();
    if (c.stored) {
        shell::QSettingsStore profile(std::nullopt, file);
        EXPECT_EQ(link::readPassword(profile), *c.stored);
    } else {
        EXPECT_EQ(fileBytes(file), before);
        EXPECT_NE(before.find("Password=s:\"kept\""), std::string::npos) << before;
    }
    std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CtlStoredPassword,
    ::testing::Values(
        StoredPasswordCase{"Stdin", {"--password-stdin"}, "admin\n", std::nullopt},
        StoredPasswordCase{"File", {"--password-file", "<file>"}, "", std::nullopt},
        StoredPasswordCase{
            "StdinSaved", {"--password-stdin", "--save-password"}, "admin\n", "admin"},
        StoredPasswordCase{
            "FileSaved", {"--save-password", "--password-file", "<file>"}, "", "admin"},
        StoredPasswordCase{"FromTheProfile", {}, "", "admin"}),
    [](const auto& tc) { return std::string(tc.param.what); });
// --accept-update either starts an installer or says why it could not, with
// its own status; it never waits on a download that cannot finish.
TEST_F(CtlAgainstSim, AcceptedUpdateThatCannotFinishSaysWhy) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("mirx-ctl-update-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "tmp");
    const auto component = folder / "component.bin";
    std::ofstream(component, std::ios::binary) << std::string(40000, 'x');
    const auto installer = folder / "install.sh";
    std::ofstream(installer) << "#!/bin/sh\n";
    struct Case {
        const char* name;
        sim::FaultSwitches faults;
        std::string tmpdir;
        const char* text;
    };
    sim::FaultSwitches update;
    update.offerUpdateFiles = {component.string(), installer.string()};
    sim::FaultSwitches noInstaller = update;
    noInstaller.updateWithoutInstaller = true;
    sim::FaultSwitches badName = update;
    badName.firstComponentName = "/etc/passwd";
    sim::FaultSwitches cut = update;
    cut.closeAfterFrames = 5;
    const Case cases[] = {
        {"no installer", noInstaller, folder / "tmp", "holds no installer"},
        {"hostile component name", badName, folder / "tmp", "not a plain file name"},
        {"connection closed mid-download", cut, folder / "tmp", "download stopped"},
        {"TMPDIR missing", update, folder / "missing", "could not be stored"},
    };
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before != nullptr ? before : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restartServer(c.faults);
        ::setenv("TMPDIR", c.tmpdir.c_str(), 1);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(run({"--server", server(), "--user", "admin", "--password-stdin",
                       "--accept-update", "login-check"},
                      "admin\n"),
                  kExitUpdateFailed)
            << err_.str();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_NE(err_.str().find(c.text), std::string::npos) << err_.str();
        EXPECT_EQ(out_.str().find("installer started"), std::string::npos) << out_.str();
    }
    before != nullptr ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
    std::filesystem::remove_all(folder);
}

TEST_F(CtlAgainstSim, StopEndsEveryPhase) {
    struct Case {
        const char* name;
        sim::FaultSwitches faults;
        std::vector<std::string> command;
        int status;
    };
    sim::FaultSwitches noLoginAnswer;
    noLoginAnswer.ignoreMessageIds = {msg::ADMIN_LOGIN_REQUEST};
    sim::FaultSwitches slow;
    slow.answerDelayMs = 400;
    const Case cases[] = {
        {"waiting for the login answer", noLoginAnswer, {"login-check"}, kExitInterrupted},
        {"watching the status", {}, {"status", "--watch"}, kExitOk},
        {"exporting", slow, {"export"}, kExitInterrupted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restartServer(c.faults);
        stop_.store(false);
        std::thread stopper([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            stop_.store(true);
        });
        std::vector<std::string> args = {"--server", server(), "--user", "admin",
                                         "--password-stdin"};
        args.insert(args.end(), c.command.begin(), c.command.end());
        const auto start = std::chrono::steady_clock::now();
        const int status = run(args, "admin\n");
        const auto took = std::chrono::steady_clock::now() - start;
        stopper.join();
        EXPECT_EQ(status, c.status) << err_.str();
        EXPECT_LT(took, std::chrono::milliseconds(1500 + 500));
    }
}

} // namespace
} // namespace mirx::ctl
