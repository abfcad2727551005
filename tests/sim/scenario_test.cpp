#include "model/client_types.h"
#include "sim/demo_site.h"
#include "sim/state_files.h"
#include "site/scenario.h"
#include "site/site_builder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace mirx::sim {

using namespace mirx::site;

namespace {

using nlohmann::json;
using L = model::LabelInfo;

// --- comparing sites ---

template <typename R>
std::string recordDifference(const R& a, const R& b) {
    for (std::size_t i = 0; i < R::kSize; ++i) {
        if (a.bytes[i] != b.bytes[i]) {
            return "first differing byte @" + std::to_string(i) + ": " +
                   std::to_string(a.bytes[i]) + " != " + std::to_string(b.bytes[i]);
        }
    }
    return {};
}

auto fields(const AdminAccount& a) {
    return std::tie(a.name, a.password, a.privilegeWord, a.privilegeLevel);
}
auto fields(const ClientBehaviour& b) {
    return std::tie(b.online, b.packetsPerSecond, b.lossPerMille, b.processorPercent,
                    b.batteryPercent, b.address, b.softwareVersion);
}
auto fields(const StatusFigures& s) {
    return std::tie(s.upTimeSeconds, s.activeConnections, s.activeAudioInputs, s.activeAudioOutputs,
                    s.processorPercent, s.secondProcessorPercent, s.failoverState, s.rtsTrunkState,
                    s.rtsTrunksActive, s.rtsTrunksConfigured, s.delecTrunkState,
                    s.delecTrunksActive, s.delecTrunksConfigured);
}
auto fields(const LogLine& l) {
    return std::tie(l.time, l.text);
}

template <typename T>
concept Tied = requires(const T& t) {
    fields(t);
};

template <typename T>
bool same(const T& a, const T& b) {
    if constexpr (Tied<T>) {
        return fields(a) == fields(b);
    } else {
        return a == b;
    }
}

template <typename T>
bool same(const std::vector<T>& a, const std::vector<T>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const T& x, const T& y) { return same(x, y); });
}

class SiteDiff {
public:
    std::vector<std::string> found;

    template <typename R>
    void record(const std::string& what, const R& a, const R& b) {
        if (const std::string d = recordDifference(a, b); !d.empty()) {
            found.push_back(what + ": " + d);
        }
    }

    void set(const std::string& what, const model::ClientBitSet& a, const model::ClientBitSet& b) {
        if (!std::equal(a.bytes().begin(), a.bytes().end(), b.bytes().begin())) {
            found.push_back(what + ": sets differ");
        }
    }

    template <typename T>
    void value(const std::string& what, const T& a, const T& b) {
        if (!same(a, b)) {
            found.push_back(what + " differs");
        }
    }

    template <typename T, typename Compare>
    void map(const std::string& what, const std::map<int, T>& a, const std::map<int, T>& b,
             Compare compare) {
        for (const auto& [key, value] : a) {
            const auto it = b.find(key);
            if (it == b.end()) {
                found.push_back(what + "[" + std::to_string(key) + "] missing");
            } else {
                compare(what + "[" + std::to_string(key) + "]", value, it->second);
            }
        }
        for (const auto& entry : b) {
            if (a.count(entry.first) == 0) {
                found.push_back(what + "[" + std::to_string(entry.first) + "] extra");
            }
        }
    }

    template <typename R>
    void records(const std::string& what, const std::vector<R>& a, const std::vector<R>& b) {
        if (a.size() != b.size()) {
            found.push_back(what + ": " + std::to_string(a.size()) + " vs " +
                            std::to_string(b.size()) + " entries");
            return;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            record(what + "[" + std::to_string(i) + "]", a[i], b[i]);
        }
    }
};

// Every difference between two sites, record by record; empty when equal.
std::vector<std::string> differences(const Site& a, const Site& b) {
    SiteDiff d;
    const auto rec = [&](const std::string& what, const auto& x, const auto& y) {
        d.record(what, x, y);
    };
    const auto set = [&](const std::string& what, const auto& x, const auto& y) {
        d.set(what, x, y);
    };
    const auto val = [&](const std::string& what, const auto& x, const auto& y) {
        d.value(what, x, y);
    };
    d.value("serverIdentifier", a.serverIdentifier, b.serverIdentifier);
    d.value("serverVersion", a.serverVersion, b.serverVersion);
    d.value("trunkingFlags", a.trunkingFlags, b.trunkingFlags);
    d.value("admins", a.admins, b.admins);
    d.map("labels", a.labels, b.labels, rec);
    d.map("credentials", a.credentials, b.credentials, rec);
    d.record("masterAdministrator", a.masterAdministrator, b.masterAdministrator);
    d.map("options", a.options, b.options, rec);
    d.record("defaultOptions", a.defaultOptions, b.defaultOptions);
    d.record("sipDefaultOptions", a.sipDefaultOptions, b.sipDefaultOptions);
    d.map("audio", a.audio, b.audio, rec);
    d.record("defaultAudio", a.defaultAudio, b.defaultAudio);
    d.map("selectors", a.selectors, b.selectors, rec);
    d.record("defaultSelectors", a.defaultSelectors, b.defaultSelectors);
    d.map("partyLines", a.partyLines, b.partyLines, rec);
    d.map("fixedGroups", a.fixedGroups, b.fixedGroups, set);
    d.map("blockedListens", a.blockedListens, b.blockedListens, set);
    d.map("forcedListens", a.forcedListens, b.forcedListens, set);
    d.record("systemSettings", a.systemSettings, b.systemSettings);
    d.record("userInterfaceSettings", a.userInterfaceSettings, b.userInterfaceSettings);
    d.records("systems", a.systems, b.systems);
    d.value("status", a.status, b.status);
    d.map("behaviour", a.behaviour, b.behaviour, val);
    d.records("sipRegistrations", a.sipRegistrations, b.sipRegistrations);
    d.value("debugLog", a.debugLog, b.debugLog);
    d.value("activityLog", a.activityLog, b.activityLog);
    d.value("debugFilters", a.debugFilters, b.debugFilters);
    d.value("soundFiles", a.soundFiles, b.soundFiles);
    d.value("graphicFiles", a.graphicFiles, b.graphicFiles);
    return d.found;
}

std::string firstFew(const std::vector<std::string>& list) {
    std::string out;
    for (std::size_t i = 0; i < list.size() && i < 10; ++i) {
        out += "\n  " + list[i];
    }
    return out;
}

Site parsed(const std::string& text) {
    ScenarioError error;
    auto site = parseScenario(text, error);
    EXPECT_TRUE(site.has_value()) << error.message;
    return site ? std::move(*site) : Site{};
}

Site roundTrip(const Site& site) {
    return parsed(toScenarioJson(site));
}

// --- round trips ---

TEST(ScenarioRoundTrip, DemoSiteComesBackByteForByte) {
    const Site demo = demoSite();
    const std::string text = toScenarioJson(demo);
    const Site back = parsed(text);
    const auto diff = differences(demo, back);
    EXPECT_TRUE(diff.empty()) << firstFew(diff);
    EXPECT_EQ(toScenarioJson(back), text);
}

TEST(ScenarioRoundTrip, MaxSiteComesBackWithEveryLabel) {
    const Site max = maxSite();
    const Site back = roundTrip(max);
    EXPECT_EQ(back.labels.size(), model::kLabelSlots);
    const auto diff = differences(max, back);
    EXPECT_TRUE(diff.empty()) << firstFew(diff);
}

TEST(ScenarioRoundTrip, EmptyObjectIsTheDefaultSite) {
    const auto diff = differences(parsed("{}"), Site{});
    EXPECT_TRUE(diff.empty()) << firstFew(diff);
    EXPECT_TRUE(differences(roundTrip(Site{}), Site{}).empty());
}

// A small site whose records the cases below bend out of shape.
Site smallSite() {
    Site site;
    addClient(site, 10000, 0, 10, "Director", "Gallery", "director", "pw");
    addClient(site, 10001, 1, 103, "Desk Phone", "Office", "phone", "pw2");
    addPartyLine(site, 10100, 0, "Production", "Main line");
    addMember(site, 10100, 0, model::MembershipMode::TalkAndListen);
    addMember(site, 10100, 1, model::MembershipMode::Listen);
    site.selectors[0] = selectorList({selector(10100, 3), layoutMark(1), selector(1, 2)}, 4);
    model::SipRegistration sip;
    sip.set(model::SipRegistration::kUserName, "phone");
    site.sipRegistrations.push_back(sip);
    model::SystemListEntry system;
    system.set(model::SystemListEntry::kName, "Main");
    site.systems.push_back(system);
    return site;
}

// States that the readable fields cannot say; the file must still bring
// them back exactly.
TEST(ScenarioRoundTrip, BytesTheFieldsCannotSayStillComeBack) {
    struct Case {
        const char* name;
        std::function<void(Site&)> bend;
    };
    const std::vector<Case> cases{
        {"bytes after a text's terminator",
         [](Site& s) {
             s.labels[10000].bytes[L::kDescription.offset + 40] = 0x41;
         }},
        {"a text that fills its field without terminator",
         [](Site& s) {
             for (std::size_t i = 0; i < L::kExternalShortName.units; ++i) {
                 s.labels[10000].bytes[L::kExternalShortName.offset + 2 * i] = 'X';
             }
         }},
        {"an unpaired surrogate",
         [](Site& s) {
             s.labels[10000].bytes[L::kTalkListenName.offset] = 0x00;
             s.labels[10000].bytes[L::kTalkListenName.offset + 1] = 0xD8;
         }},
        {"a colour's top byte",
         [](Site& s) {
             s.labels[10100].set(L::kTextColour, 0xFF0000FFu);
         }},
        {"reserved bytes",
         [](Site& s) {
             s.labels[10000].bytes[L::kReserved293.offset + 6] = 9;
         }},
        {"a local kind above fixed group",
         [](Site& s) {
             s.labels[10000].set(L::kLabelKind, 7);
         }},
        {"a class with no name",
         [](Site& s) {
             s.labels[10000].set(L::kSystemClass, 9);
         }},
        {"carried flag bits",
         [](Site& s) {
             s.labels[10000].set(L::kClientFlags, 0x81);
             s.labels[10000].set(L::kSelectorFlags, 0xF1);
         }},
        {"a record number other than its key",
         [](Site& s) {
             s.credentials[1].set(model::ClientCredentials::kClientIndex, 7);
         }},
        {"a party line number other than its key",
         [](Site& s) {
             s.partyLines[10100].set(model::PartyLineMembership::kPartyLine, 3);
         }},
        {"the rest of a party line entry",
         [](Site& s) {
             s.partyLines[10100].bytes[model::PartyLineMembership::entryOffset(1) + 9] = 5;
         }},
        {"stale entries past a party line's count",
         [](Site& s) {
             s.partyLines[10100].removeEntry(0);
         }},
        {"a negative selector count",
         [](Site& s) {
             s.selectors[0].set(model::SelectorAssignments::kEntryCount, -3);
         }},
        {"kept bytes of a selector entry",
         [](Site& s) {
             s.selectors[0].bytes[model::SelectorAssignments::entryOffset(2) + 8] = 1;
         }},
        {"carried head bytes of a selector list",
         [](Site& s) {
             s.selectors[0].bytes[model::SelectorAssignments::kCarried5.offset] = 0x5A;
         }},
        {"a non-ASCII byte in a SIP user name",
         [](Site& s) {
             s.sipRegistrations[0].bytes[1] = 0xE9;
         }},
        {"a system class of no system",
         [](Site& s) {
             s.systems[0].set(model::SystemListEntry::kSystemClass, 255);
         }},
        {"an all-ones behaviour address",
         [](Site& s) {
             s.behaviour[0].address = 0xFFFFFFFF;
         }},
        {"an odd server version and trunking byte",
         [](Site& s) {
             s.serverVersion = 0x62000051;
             s.trunkingFlags = 0x84;
         }},
        {"a log line before 1970",
         [](Site& s) {
             s.debugLog.push_back({-86399, "early"});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Site site = smallSite();
        c.bend(site);
        const std::string text = toScenarioJson(site);
        const auto diff = differences(site, parsed(text));
        EXPECT_TRUE(diff.empty()) << firstFew(diff);
        EXPECT_EQ(toScenarioJson(parsed(text)), text);
    }
}

TEST(ScenarioFormat, PlainRecordsNeedNoHex) {
    const json root = json::parse(toScenarioJson(demoSite()));
    for (const char* section : {"labels", "systems", "sipRegistrations"}) {
        for (const json& entry : root[section]) {
            EXPECT_FALSE(entry.contains("hex")) << section << ": " << entry.dump();
        }
    }
    for (const auto& [key, entry] : root["selectors"]["clients"].items()) {
        EXPECT_FALSE(entry.contains("hex") || entry.contains("tail")) << key;
    }
    const json& director = root["labels"][0];
    EXPECT_EQ(director["talkListenName"], "Director");
    EXPECT_EQ(director["kind"], "client");
    EXPECT_EQ(director["class"], "local");
    EXPECT_EQ(director["clientFlags"],
              json({{"multiplePartyLines", true}, {"partyLineOperation", true}}));
    EXPECT_EQ(root["systemSettings"]["serverAddress"], "127.0.0.1");
    EXPECT_EQ(root["server"]["version"], "6.2.0");
    EXPECT_EQ(root["server"]["trunking"], "rts");
}

TEST(ScenarioFormat, ServerVersionIsTextWhenTextSaysItAll) {
    const struct {
        std::uint32_t packed;
        const char* text;
    } cases[] = {
        {0x62000050, "6.2.0"},      {0x62001150, "6.2.0.17"},
        {0x62000051, "0x62000051"}, // a debug build
        {0x62000060, "0x62000060"}, // another platform
        {0x06020000, "0x06020000"}, // the older packing
    };
    for (const auto& c : cases) {
        Site site;
        site.serverVersion = c.packed;
        const json root = json::parse(toScenarioJson(site));
        EXPECT_EQ(root["server"]["version"], std::string(c.text));
        EXPECT_EQ(roundTrip(site).serverVersion, c.packed) << c.text;
    }
}

TEST(ScenarioFormat, AbsentLabelFieldsAreThoseOfANewClient) {
    const Site site = parsed(R"({"labels": [{"number": 10005, "index": 5, "clientType": 19,
                                             "talkListenName": "Producer"}]})");
    ASSERT_EQ(site.labels.count(10005), 1u);
    const L expected = makeLabel(
        {.number = 10005, .index = 5, .clientType = 19, .name = "Producer", .description = ""});
    EXPECT_EQ(recordDifference(site.labels.at(10005), expected), "");
}

// The text is written piece by piece; it must still be exactly what dumping
// the chosen part of the document as one tree gives.
TEST(ScenarioFormat, WrittenPieceByPieceAsIfDumpedWhole) {
    struct SiteCase {
        const char* name;
        Site site;
    };
    struct FilterCase {
        const char* name;
        ScenarioFilter filter;
    };
    const SiteCase sites[] = {{"demo", demoSite()}, {"small", smallSite()}, {"empty", Site{}}};
    const FilterCase filters[] = {
        {"everything", {}},
        {"configuration without the server's accounts",
         {{"format", "labels", "credentials", "server", "systems"}, false}},
        {"labels only", {{"labels"}, true}},
        {"server with its accounts", {{"server"}, true}},
        {"nothing that exists", {{"noSuchSection"}, true}},
    };
    for (const SiteCase& s : sites) {
        const json whole = json::parse(toScenarioJson(s.site));
        for (const FilterCase& f : filters) {
            SCOPED_TRACE(std::string(s.name) + ", " + f.name);
            json expected = json::object();
            for (const auto& [key, value] : whole.items()) {
                if (f.filter.sections.empty() ||
                    std::find(f.filter.sections.begin(), f.filter.sections.end(), key) !=
                        f.filter.sections.end()) {
                    expected[key] = value;
                }
            }
            if (!f.filter.serverAccounts) {
                expected["server"].erase("admins");
                expected["server"].erase("identifier");
            }
            std::ostringstream out;
            writeScenario(s.site, out, f.filter);
            EXPECT_EQ(out.str(), expected.dump(2) + "\n");
        }
    }
}

// --- a human's edits ---

TEST(ScenarioOverlay, AnEditedFieldWinsOverTheHex) {
    struct Case {
        const char* name;
        std::function<void(json&)> edit;
        // Checks the edit, then undoes it; the rest must be as it was.
        std::function<void(const Site& before, Site& after)> expect;
    };
    const std::vector<Case> cases{
        {"label name", [](json& j) { j["labels"][0]["talkListenName"] = "Show Caller"; },
         [](const Site&, Site& s) {
             EXPECT_EQ(s.labels[10000].get(L::kTalkListenName), "Show Caller");
             s.labels[10000].set(L::kTalkListenName, "Director");
         }},
        {"server address over the settings hex",
         [](json& j) { j["systemSettings"]["serverAddress"] = "10.1.2.3"; },
         [](const Site&, Site& s) {
             EXPECT_EQ(s.systemSettings.get(model::SystemSettings::kServerAddress),
                       *model::parseIpv4("10.1.2.3"));
             s.systemSettings.set(model::SystemSettings::kServerAddress,
                                  *model::parseIpv4("127.0.0.1"));
         }},
        {"SIP domain over the settings hex",
         [](json& j) { j["systemSettings"]["sipDomainName"] = "studio.example"; },
         [](const Site&, Site& s) {
             EXPECT_EQ(s.systemSettings.get(model::SystemSettings::kSipDomainName),
                       "studio.example");
             s.systemSettings.set(model::SystemSettings::kSipDomainName, "venue.local");
         }},
        {"data port over the settings hex",
         [](json& j) { j["systemSettings"]["clientDataPort"] = 4100; },
         [](const Site&, Site& s) {
             EXPECT_EQ(s.systemSettings.get(model::SystemSettings::kClientDataPort), 4100);
             s.systemSettings.set(model::SystemSettings::kClientDataPort, 1000);
         }},
        {"a flag named on a label",
         [](json& j) {
             j["labels"][1]["selectorFlags"] = {{"loginDisabled", true}};
         },
         [](const Site&, Site& s) {
             EXPECT_TRUE(s.labels[10001].testBit(L::kSelectorFlags, L::kLoginDisabledBit));
             s.labels[10001].set(L::kSelectorFlags, 0);
         }},
        {"a party line member removed",
         [](json& j) { j["partyLines"]["10100"]["members"].erase(0); },
         [](const Site& before, Site& s) {
             auto& pl = s.partyLines[10100];
             EXPECT_EQ(pl.entryCount(), before.partyLines.at(10100).entryCount() - 1);
             EXPECT_EQ(pl.entry(0).member, 1); // the producer now leads
             pl = before.partyLines.at(10100);
         }},
    };
    const Site demo = demoSite();
    const json original = json::parse(toScenarioJson(demo));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        json edited = original;
        c.edit(edited);
        Site site = parsed(edited.dump());
        c.expect(demo, site);
        const auto diff = differences(demo, site);
        EXPECT_TRUE(diff.empty()) << firstFew(diff);
    }
}

TEST(ScenarioOverlay, AFieldThatAgreesWithTheHexLeavesItsOddBytesAlone) {
    Site site = smallSite();
    site.labels[10000].bytes[L::kDescription.offset + 40] = 0x41; // past the terminator
    json root = json::parse(toScenarioJson(site));
    ASSERT_TRUE(root["labels"][0].contains("hex"));
    root["labels"][0]["externalLong"] = "Show Director";

    const Site back = parsed(root.dump());
    EXPECT_EQ(back.labels.at(10000).get(L::kExternalLongName), "Show Director");
    EXPECT_EQ(back.labels.at(10000).bytes[L::kDescription.offset + 40], 0x41);
}

// --- errors ---

TEST(ScenarioErrors, NameWhereAndWhat) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {R"({"labels": [}")", "scenario: bad JSON: parse error at line 1, column 13"},
        {R"({"labels": {}})", "scenario: labels: expected an array, found object"},
        {R"({"labels": [{"number": 9999}]})",
         "labels[0].number: 9999 is not a label number (10000..29999)"},
        {R"({"labels": [{"number": 30000}]})", "30000 is not a label number"},
        {R"({"labels": [{"index": 1}]})", "labels[0]: missing \"number\""},
        {R"({"labels": [{"number": 10000}, {"number": 10000}]})",
         "labels[1].number: label 10000 appears twice"},
        {R"({"labels": [{"number": 10000, "system": 256}]})",
         "labels[0].system: 256 is out of range 0..255"},
        {R"({"labels": [{"number": 10000, "descripton": ""}]})",
         "labels[0].descripton: unknown key"},
        {R"({"labels": [{"number": 10000, "talkListenName": "123456789012345678901"}]})",
         "labels[0].talkListenName: longer than 20 characters"},
        {R"({"labels": [{"number": 10000, "talkListenName": 5}]})",
         "labels[0].talkListenName: expected a string, found 5"},
        {R"({"labels": [{"number": 10000, "clientFlags": {"vip": true}}]})",
         "labels[0].clientFlags.vip: unknown flag"},
        {R"({"labels": [{"number": 10000, "textColour": "red"}]})",
         "labels[0].textColour: expected a colour like"},
        {R"({"labels": [{"number": 10000, "class": "rts", "kind": "party line"}]})",
         "labels[0].kind: a kind name fits local labels only"},
        {R"({"labels": [{"number": 10000, "reserved8": "00112233445566"}]})",
         "labels[0].reserved8: hex of 7 bytes is too long, at most 6 fit"},
        {R"({"credentials": {"1000": {"name": "x"}}})",
         "credentials.1000: \"1000\" is not a client index (0..999)"},
        {R"({"credentials": {"07": {"name": "x"}}})", "\"07\" is not a client index"},
        {R"({"fixedGroups": {"0": [1, 1000]}})",
         "fixedGroups.0[1]: 1000 is not a client index (0..999)"},
        {R"({"fixedGroups": {"100": []}})", "\"100\" is not a fixed group index (0..99)"},
        {R"({"partyLines": {"9999": {"members": []}}})", "\"9999\" is not a label number"},
        {R"({"options": {"default": "abc"}})",
         "options.default: hex has an odd number of digits (3)"},
        {R"({"audio": {"clients": {"3": "zz"}}})", "audio.clients.3: 'z' is not a hex digit"},
        {R"({"systemSettings": {"serverAddress": "300.1.1.1"}})",
         "systemSettings.serverAddress: expected an IPv4 address"},
        {R"({"server": {"version": "6.2"}})", "server.version: expected a version like"},
        {R"({"server": {"trunking": "all"}})", "server.trunking: \"all\" is not \"none\""},
        {R"({"behaviour": {"0": {"online": 1}}})",
         "behaviour.0.online: expected true or false, found 1"},
        {R"({"debugLog": [{"time": "yesterday"}]})", "debugLog[0].time: expected a UTC time"},
        {R"({"debugFilters": ["FFFF"]})", "debugFilters[0]: expected a 32-bit word"},
        {R"({"format": 2})", "format: format 2 is not known"},
        {R"({"colour": 1})", "colour: unknown key"},
        {R"([])", "expected an object, found array"},
    };
    for (const auto& c : cases) {
        ScenarioError error;
        EXPECT_FALSE(parseScenario(c.text, error).has_value()) << c.text;
        EXPECT_NE(error.message.find(c.message), std::string::npos)
            << c.text << "\n  gave: " << error.message;
        EXPECT_EQ(error.message.rfind("scenario: ", 0), 0u) << error.message;
    }
}

// --- files ---

class ScenarioFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("scenario_test_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path file(const char* name) const { return folder_ / name; }

    std::set<std::string> listing() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    static std::string contents(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    static void write(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    std::filesystem::path folder_;
};

TEST_F(ScenarioFile, SavesReplaceTheFileAtomicallyAndAlike) {
    const auto path = file("site.json");
    write(path, "old contents");
    const Site demo = demoSite();
    ScenarioError error;

    ASSERT_TRUE(saveScenario(demo, path, error)) << error.message;
    const std::string first = contents(path);
    EXPECT_EQ(first, toScenarioJson(demo));
    ASSERT_TRUE(saveScenario(demo, path, error)) << error.message;
    EXPECT_EQ(contents(path), first);

    EXPECT_EQ(listing(), std::set<std::string>{"site.json"});
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    const auto loaded = loadScenario(path, error);
    ASSERT_TRUE(loaded.has_value()) << error.message;
    EXPECT_TRUE(differences(*loaded, demo).empty());
}

TEST_F(ScenarioFile, AFailedSaveLeavesNoTemporaryFile) {
    const auto target = file("taken");
    std::filesystem::create_directories(target / "inside"); // cannot be replaced by a file
    ScenarioError error;
    EXPECT_FALSE(saveScenario(Site{}, target, error));
    EXPECT_EQ(error.message.rfind(target.string() + ": cannot replace the file", 0), 0u)
        << error.message;
    EXPECT_EQ(listing(), std::set<std::string>{"taken"});

    const auto nowhere = file("missing") / "site.json";
    EXPECT_FALSE(saveScenario(Site{}, nowhere, error));
    EXPECT_EQ(error.message.rfind(nowhere.string() + ": cannot create a temporary file", 0), 0u)
        << error.message;
}

TEST_F(ScenarioFile, LoadErrorsNameTheFile) {
    ScenarioError error;
    const auto missing = file("none.json");
    EXPECT_FALSE(loadScenario(missing, error).has_value());
    EXPECT_EQ(error.message.rfind(missing.string() + ": cannot open", 0), 0u) << error.message;

    const auto bad = file("bad.json");
    write(bad, "{\n  \"labels\": [\n    {\"number\": 10000},\n  ]\n}\n");
    EXPECT_FALSE(loadScenario(bad, error).has_value());
    EXPECT_EQ(error.message.rfind(bad.string() + ": bad JSON: parse error at line 4", 0), 0u)
        << error.message;

    const auto wrong = file("wrong.json");
    write(wrong, R"({"blockedListens": {"12": [3, 1000]}})");
    EXPECT_FALSE(loadScenario(wrong, error).has_value());
    EXPECT_EQ(error.message,
              wrong.string() + ": blockedListens.12[1]: 1000 is not a client index (0..999)");
}

// --- the built-in sites ---

// Resolves a label reference as the console does: client indexes through
// local system 0's client map, label numbers directly.
bool resolves(const Site& site, const std::map<int, int>& clients, int reference) {
    if (model::isClientIndexReference(reference)) {
        return clients.count(reference) != 0;
    }
    return site.labels.count(reference) != 0;
}

int kindOf(const L& label) {
    return label.get(L::kLabelKind);
}

bool isLocalZero(const L& label) {
    return label.get(L::kSystemClass) == 0 && label.get(L::kSystemNumber) == 0;
}

// References, memberships and credentials of a built-in site hang together.
void expectCoherent(const Site& site) {
    const auto clients = site.clientLabels();
    std::set<std::string> logins;
    for (const auto& [index, number] : clients) {
        SCOPED_TRACE("client " + std::to_string(index));
        ASSERT_EQ(site.credentials.count(index), 1u);
        const std::string login =
            site.credentials.at(index).get(model::ClientCredentials::kLoginName);
        EXPECT_FALSE(login.empty());
        EXPECT_FALSE(site.credentials.at(index).get(model::ClientCredentials::kPassword).empty());
        EXPECT_TRUE(logins.insert(login).second) << "login used twice: " << login;
        EXPECT_TRUE(model::findClientType(site.labels.at(number).get(L::kClientType)));
        EXPECT_EQ(site.behaviour.count(index), 1u);
    }
    for (const auto& [number, membership] : site.partyLines) {
        ASSERT_EQ(site.labels.count(number), 1u) << number;
        EXPECT_TRUE(isLocalZero(site.labels.at(number)));
        EXPECT_EQ(kindOf(site.labels.at(number)), 1) << number;
        EXPECT_GT(membership.entryCount(), 0u) << number;
        for (std::size_t k = 0; k < membership.entryCount(); ++k) {
            EXPECT_TRUE(resolves(site, clients, membership.entry(k).member))
                << "party line " << number << " member " << membership.entry(k).member;
        }
    }
    auto selectorLists = site.selectors;
    selectorLists[-1] = site.defaultSelectors;
    for (const auto& [index, list] : selectorLists) {
        EXPECT_TRUE(index == -1 || clients.count(index) != 0) << index;
        for (std::size_t k = 0; k < list.entryCount(); ++k) {
            const model::SelectorEntry entry = list.entry(k);
            EXPECT_TRUE(entry.isLayout() ||
                        resolves(site, clients, entry.get(model::SelectorEntry::kLabel)))
                << "client " << index << " selector " << k;
        }
    }
    for (const auto* sets : {&site.fixedGroups, &site.blockedListens, &site.forcedListens}) {
        for (const auto& [key, set] : *sets) {
            for (int bit = 0; bit < static_cast<int>(model::ClientBitSet::kBits); ++bit) {
                EXPECT_TRUE(!set.test(bit) || clients.count(bit) != 0) << key << " " << bit;
            }
        }
    }
    // Every system a label belongs to has a name.
    std::set<std::pair<int, int>> named;
    for (const auto& entry : site.systems) {
        named.emplace(entry.get(model::SystemListEntry::kSystemClass),
                      entry.get(model::SystemListEntry::kSystemNumber));
    }
    for (const auto& [number, label] : site.labels) {
        EXPECT_EQ(label.get(L::kLabelNumber), number);
        EXPECT_TRUE(named.count({label.get(L::kSystemClass), label.get(L::kSystemNumber)}))
            << number;
    }
}

TEST(DemoSite, HangsTogether) {
    expectCoherent(demoSite());
}

TEST(DemoSite, IsAVenueWorthShowing) {
    const Site site = demoSite();
    std::set<int> types;
    std::set<std::string> partyLines;
    int fixedGroups = 0;
    int remote = 0;
    int secondSystem = 0;
    for (const auto& [number, label] : site.labels) {
        if (!isLocalZero(label)) {
            remote += label.get(L::kSystemClass) == 1 ? 1 : 0;
            secondSystem += label.get(L::kSystemClass) == 0 ? 1 : 0;
        } else if (kindOf(label) == 0) {
            types.insert(label.get(L::kClientType));
        } else if (kindOf(label) == 1) {
            partyLines.insert(label.get(L::kTalkListenName));
        } else {
            ++fixedGroups;
        }
    }
    for (const int type : {10, 19, 13, 20, 21, 50, 51, 53, 103, 102, 104, 105, 150}) {
        EXPECT_EQ(types.count(type), 1u) << "client type " << type;
    }
    EXPECT_GE(site.clientLabels().size(), 38u);
    EXPECT_EQ(partyLines,
              (std::set<std::string>{"Production", "Camera", "Audio", "Lighting", "Stage",
                                     "Engineering", "Replay", "Graphics", "Security",
                                     "Front of House", "IFB Talent", "Intercom All"}));
    EXPECT_EQ(fixedGroups, 6);
    EXPECT_EQ(site.fixedGroups.size(), 6u);
    EXPECT_GT(remote, 0);
    EXPECT_GT(secondSystem, 0);
    EXPECT_FALSE(site.blockedListens.empty());
    EXPECT_FALSE(site.forcedListens.empty());

    int offline = 0;
    int lossy = 0;
    for (const auto& [index, b] : site.behaviour) {
        offline += b.online ? 0 : 1;
        lossy += b.lossPerMille != 0 ? 1 : 0;
    }
    EXPECT_GT(offline, 0);
    EXPECT_GT(lossy, 0);

    // SIP registrations belong to SIP clients.
    std::set<std::string> sipLogins;
    for (const auto& [index, number] : site.clientLabels()) {
        if (model::isSipDevice(site.labels.at(number).get(L::kClientType))) {
            sipLogins.insert(site.credentials.at(index).get(model::ClientCredentials::kLoginName));
        }
    }
    ASSERT_FALSE(site.sipRegistrations.empty());
    for (const auto& r : site.sipRegistrations) {
        EXPECT_EQ(sipLogins.count(r.get(model::SipRegistration::kUserName)), 1u);
    }

    EXPECT_EQ(site.trunkingFlags, 1);
    EXPECT_EQ(site.status.failoverState, 3);
    EXPECT_EQ(site.status.rtsTrunkState, 3);
    EXPECT_EQ(site.systemSettings.get(model::SystemSettings::kSipDomainName), "venue.local");
    EXPECT_EQ(site.systemSettings.get(model::SystemSettings::kClientDataPort), 1000);
    ASSERT_EQ(site.admins.size(), 2u);
    EXPECT_EQ(site.admins[0].name, "admin");
    EXPECT_EQ(site.admins[1].privilegeLevel, 2);
}

TEST(MaxSite, FillsEveryCapacity) {
    const Site site = maxSite();
    ASSERT_EQ(site.labels.size(), model::kLabelSlots);
    EXPECT_EQ(site.labels.begin()->first, model::kFirstLabelNumber);
    EXPECT_EQ(site.labels.rbegin()->first, model::kLastLabelNumber);
    EXPECT_EQ(site.clientLabels().size(), model::kClientsPerSystem);
    EXPECT_EQ(site.partyLines.size(), model::kPartyLinesPerSystem);
    EXPECT_EQ(site.fixedGroups.size(), model::kFixedGroupsPerSystem);
    expectCoherent(site);
}

TEST(SiteClientLabels, MapsClientsOfLocalSystemZeroOnly) {
    Site site;
    addClient(site, 10007, 3, 10, "A", "", "a", "a");
    addPartyLine(site, 10008, 4, "PL", "");
    putLabel(site,
             makeLabel({.number = 10009, .system = 1, .index = 5, .name = "", .description = ""}));
    putLabel(site, makeLabel({.number = 10010,
                              .systemClass = model::SystemClass::Rts,
                              .index = 6,
                              .name = "",
                              .description = ""}));
    putLabel(site, makeLabel({.number = 10011,
                              .index = 3,
                              .name = "",
                              .description = ""})); // same index: the lower number wins
    EXPECT_EQ(site.clientLabels(), (std::map<int, int>{{3, 10007}}));
}

} // namespace
} // namespace mirx::sim

TEST(StateFiles, UploadsLiveBesideTheStateFile) {
    const struct {
        const char* state;
        const char* uploads;
    } cases[] = {
        {"/var/lib/sim/venue.json", "/var/lib/sim/venue-uploads"},
        {"venue.json", "venue-uploads"},
        {"/srv/site", "/srv/site-uploads"},
        {"/srv/.hidden", "/srv/.hidden-uploads"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mirx::sim::uploadFolderBeside(c.state), std::filesystem::path(c.uploads))
            << c.state;
    }
}
