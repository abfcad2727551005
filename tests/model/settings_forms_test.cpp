// What the system and user interface settings views show of their records
// and how they read typed values back.
#include "model/system_settings_form.h"
#include "model/ui_settings_form.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace mirx::model;
using F = SettingsField;
using S = SystemSettings;
using U = UserInterfaceSettings;

namespace {

constexpr std::uint32_t ip(unsigned a, unsigned b, unsigned c, unsigned d) {
    return a | (b << 8) | (c << 16) | (d << 24);
}

// A record with every byte set, so a field the view wrongly writes shows.
S filledSettings() {
    S s;
    for (std::size_t i = 0; i < s.bytes.size(); ++i) {
        s.bytes[i] = static_cast<std::uint8_t>(0xA0 + i % 7);
    }
    s.set(S::kServerAddress, ip(10, 0, 0, 5));
    s.set(S::kClientDataPort, 1000);
    s.set(S::kClientAudioPort, 1001);
    s.set(S::kSipDataPort, 5060);
    s.set(S::kSipDomainName, "venue.local");
    s.set(S::kSampleRate, 32000);
    s.set(S::kFailbackMode, 0);
    return s;
}

ClientCredentials master(const char* name, const char* password) {
    ClientCredentials c;
    c.set(ClientCredentials::kClientIndex, kMasterAdministratorIndex);
    c.set(ClientCredentials::kLoginName, name);
    c.set(ClientCredentials::kPassword, password);
    return c;
}

} // namespace

TEST(SettingsText, PortsTakeTheirBaseFromThePrefixAndMustBeWhole) {
    const struct {
        const char* text;
        std::optional<std::uint16_t> port;
    } cases[] = {
        {"", 0},
        {"   ", 0},
        {"8080", 8080},
        {" 8080 ", 8080},
        {"0x1F90", 8080},
        {"0X1f90", 8080},
        {"017620", 8080},
        {"0", 0},
        {"65535", 65535},
        {"0xFFFF", 0xFFFF},
        {"65536", std::nullopt},
        {"70000", std::nullopt},
        {"0x", std::nullopt},
        {"08080", std::nullopt},
        {"80a", std::nullopt},
        {"-1", std::nullopt},
        {"1 2", std::nullopt},
        {"0000000080", std::nullopt},
        {"000000070", 56},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parsePortText(c.text), c.port) << '"' << c.text << '"';
    }
}

TEST(SettingsText, AddressesAreStrictDottedQuadsOrEmpty) {
    const struct {
        const char* text;
        std::optional<std::uint32_t> address;
    } cases[] = {
        {"", 0u},
        {" 192.168.1.10 ", ip(192, 168, 1, 10)},
        {"0.0.0.0", 0u},
        {"10.0.0.300", std::nullopt},
        {"10.0.0", std::nullopt},
        {"255.255.255.255", std::nullopt},
        {"host.example", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseAddressText(c.text), c.address) << '"' << c.text << '"';
    }
}

TEST(SettingsText, FailbackTimesAreHoursAndMinutesOfADay) {
    using Time = std::optional<std::pair<std::uint16_t, std::uint16_t>>;
    const struct {
        const char* text;
        Time time;
    } cases[] = {
        {"7:5", Time{{7, 5}}}, {"07:05", Time{{7, 5}}}, {"23:59", Time{{23, 59}}},
        {"0:0", Time{{0, 0}}}, {"24:00", std::nullopt}, {"12:60", std::nullopt},
        {"12", std::nullopt},  {"", std::nullopt},      {"1:2:3", std::nullopt},
        {"a:b", std::nullopt}, {"123:4", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseFailbackTime(c.text), c.time) << '"' << c.text << '"';
    }
}

TEST(SettingsText, SampleRatesAndGainLabels) {
    EXPECT_EQ(sampleRateEntries(false, 32000).size(), 3u);
    EXPECT_EQ(sampleRateEntries(true, 32000).size(), 4u);
    EXPECT_EQ(sampleRateEntries(false, 48000).back().name, "Full Band (48 KHz)");
    const struct {
        int step;
        const char* label;
    } gains[] = {{0, "0 dB"}, {1, "+6 dB"}, {2, "+12 dB"}, {3, "+18 dB"}};
    for (const auto& g : gains) {
        EXPECT_EQ(gainLabel(g.step), g.label);
    }
}

TEST(SystemSettingsShown, AddressesPortsAndTimesFollowTheirDisplayRules) {
    S s = filledSettings();
    s.set(S::kPrimaryNatAddress, 0);
    s.set(S::kSecondaryClientDataPort, 0);
    s.set(S::kSecondaryClientAudioPort, 25);
    s.set(S::kRtpAudioBasePort, 0);
    s.set(S::kRtsTrunkingLocalAddress, 0);
    s.set(S::kDelecTrunkingLocalAddress, ip(10, 0, 1, 1));
    s.set(S::kTelephoneLocalAddress, 0);
    s.set(S::kFailbackMode, 2);
    s.set(S::kFailbackHours, 7);
    s.set(S::kFailbackMinutes, 5);
    s.set(S::kOutputGainStep, 2);
    s.set(S::kOptionBits, 0x06);
    const SystemSettingsForm form = showSystemSettings(s, master("boss", "pw"));

    EXPECT_EQ(form[F::ServerAddress], "10.0.0.5");
    EXPECT_EQ(form[F::PrimaryNatAddress], "");
    EXPECT_EQ(form[F::SecondaryClientDataPort], "");
    EXPECT_EQ(form[F::SecondaryClientAudioPort], "25");
    EXPECT_EQ(form[F::RtpAudioBasePort], "0");
    EXPECT_EQ(form[F::RtsTrunkingLocalAddress], "10.0.0.5");
    EXPECT_EQ(form[F::DelecTrunkingLocalAddress], "10.0.1.1");
    EXPECT_EQ(form[F::TelephoneLocalAddress], "10.0.0.5");
    EXPECT_EQ(form[F::SipDomainName], "venue.local");
    EXPECT_EQ(form.failbackTime, "07:05");
    EXPECT_EQ(form.gainStep, 2);
    EXPECT_EQ(form.sampleRate, std::optional<std::uint16_t>(32000));
    EXPECT_TRUE(form.disableDomainAuthentication);
    EXPECT_TRUE(form.fourCharacterAlphas);
    EXPECT_TRUE(form.selectorForSelf);
    EXPECT_EQ(form.loginName, "boss");
    EXPECT_EQ(form.password, "pw");

    s.set(S::kSampleRate, 11025);
    s.set(S::kServerAddress, 0);
    s.set(S::kFailbackMode, 0);
    const SystemSettingsForm other = showSystemSettings(s, master("boss", ""));
    EXPECT_FALSE(other.sampleRate);
    EXPECT_EQ(other[F::ServerAddress], "0.0.0.0");
    EXPECT_EQ(other.failbackTime, "");
}

TEST(SystemSettingsRead, UnchangedFormGivesBackTheSameRecordInEveryLayout) {
    S s = filledSettings();
    s.set(S::kFailbackMode, 1);
    s.set(S::kFailbackHours, 1);
    s.set(S::kFailbackMinutes, 30);
    // Values a layout reads back differently when 0.
    s.set(S::kRtsTrunkingLocalAddress, ip(10, 9, 9, 9));
    s.set(S::kTelephoneLocalAddress, ip(10, 9, 9, 8));
    s.set(S::kOutputGainStep, 1);
    s.set(S::kBatteryAlertBits, 0x15);
    for (const auto layout : {SettingsLayout::None, SettingsLayout::Rts, SettingsLayout::Delec}) {
        SCOPED_TRACE(static_cast<int>(layout));
        const SystemSettingsForm form = showSystemSettings(s, master("admin", "x"));
        const SystemSettingsInput input = readSystemSettings(form, s, layout);
        ASSERT_FALSE(input.error) << input.error->text;
        EXPECT_TRUE(input.record == s);
        EXPECT_EQ(input.masterAdministrator.get(ClientCredentials::kClientIndex), -1);
        EXPECT_EQ(input.masterAdministrator.get(ClientCredentials::kLoginName), "admin");
    }
}

TEST(SystemSettingsRead, LayoutRulesForLocalInterfacesAndDefaultedPorts) {
    const S s = filledSettings();
    SystemSettingsForm form = showSystemSettings(s, master("admin", ""));
    form[F::RtsTrunkingLocalAddress] = "10.0.0.5";
    form[F::DelecTrunkingLocalAddress] = "10.0.0.5";
    form[F::TelephoneLocalAddress] = "10.0.0.5";
    form[F::RtsTrunkMasterMainAddress] = "";
    form[oratisPortField(2)] = "";
    form[oratisAddressField(2)] = "10.1.1.3";
    form[F::GeoMappingPort] = "0";

    const S rts = readSystemSettings(form, s, SettingsLayout::Rts).record;
    EXPECT_EQ(rts.get(S::kRtsTrunkingLocalAddress), 0u);
    EXPECT_EQ(rts.get(S::kTelephoneLocalAddress), 0u);
    EXPECT_EQ(rts.get(S::kRtsTrunkMasterMainAddress), 0u);
    // Fields of other layouts are left as received.
    EXPECT_EQ(rts.get(S::kDelecTrunkingLocalAddress), s.get(S::kDelecTrunkingLocalAddress));
    EXPECT_EQ(rts.get(S::kGeoMappingPort), s.get(S::kGeoMappingPort));
    EXPECT_EQ(rts.get(S::kOratisPorts[2]), s.get(S::kOratisPorts[2]));

    const S delec = readSystemSettings(form, s, SettingsLayout::Delec).record;
    EXPECT_EQ(delec.get(S::kDelecTrunkingLocalAddress), ip(10, 0, 0, 5));
    EXPECT_EQ(delec.get(S::kOratisPorts[2]), S::kDefaultOratisPort);
    EXPECT_EQ(delec.get(S::kOratisAddresses[2]), ip(10, 1, 1, 3));
    EXPECT_EQ(delec.get(S::kRtsTrunkMasterMainAddress), s.get(S::kRtsTrunkMasterMainAddress));

    const S none = readSystemSettings(form, s, SettingsLayout::None).record;
    EXPECT_EQ(none.get(S::kGeoMappingPort), S::kDefaultGeoMappingPort);
    EXPECT_EQ(none.get(S::kTelephoneLocalAddress), 0u);
    EXPECT_EQ(none.get(S::kRtsTrunkingLocalAddress), s.get(S::kRtsTrunkingLocalAddress));
}

TEST(SystemSettingsRead, CheckBoxesOfOtherLayoutsKeepTheirBits) {
    S s = filledSettings();
    s.set(S::kOptionBits, 0xF6); // domain login off, alphas and self on, high bits set
    s.set(S::kBatteryAlertBits, 0xC5);
    SystemSettingsForm form = showSystemSettings(s, master("admin", ""));
    form.disableDomainAuthentication = false;
    form.fourCharacterAlphas = false;
    form.selectorForSelf = false;
    form.batteryBits = 0x02;

    const struct {
        SettingsLayout layout;
        std::uint8_t options;
        std::uint8_t battery;
    } cases[] = {
        {SettingsLayout::Rts, 0xF1, 0xC2},
        {SettingsLayout::None, 0xF5, 0xC2},
        {SettingsLayout::Delec, 0xF7, 0xC5},
    };
    for (const auto& c : cases) {
        const S read = readSystemSettings(form, s, c.layout).record;
        EXPECT_EQ(read.get(S::kOptionBits), c.options) << static_cast<int>(c.layout);
        EXPECT_EQ(read.get(S::kBatteryAlertBits), c.battery) << static_cast<int>(c.layout);
    }
}

TEST(SystemSettingsRead, TypedValuesAreStoredAsTheRecordWantsThem) {
    const S s = filledSettings();
    SystemSettingsForm form = showSystemSettings(s, master("admin", ""));
    form.loginName = "chief \"ops\"";
    form.password = "a\"b";
    form[F::SipDomainName] = " my \"domain\" ";
    form[F::ClientDataPort] = "0x3E9";
    form[F::FailoverDelay] = "017";
    form.failback = FailbackMode::AtTimeOfDay;
    form.failbackTime = "7:5";
    form.sampleRate.reset();
    form.gainStep = 3;
    const SystemSettingsInput input = readSystemSettings(form, s, SettingsLayout::None);
    ASSERT_FALSE(input.error);
    EXPECT_EQ(input.masterAdministrator.get(ClientCredentials::kLoginName), "chief_'ops'");
    EXPECT_EQ(input.masterAdministrator.get(ClientCredentials::kPassword), "a'b");
    EXPECT_EQ(input.record.get(S::kSipDomainName), "my_'domain'");
    EXPECT_EQ(input.record.get(S::kClientDataPort), 1001);
    EXPECT_EQ(input.record.get(S::kFailoverDelaySeconds), 15);
    EXPECT_EQ(input.record.get(S::kFailbackMode), 2);
    EXPECT_EQ(input.record.get(S::kFailbackHours), 7);
    EXPECT_EQ(input.record.get(S::kFailbackMinutes), 5);
    EXPECT_EQ(input.record.get(S::kSampleRate), 32000);
    EXPECT_EQ(input.record.get(S::kOutputGainStep), 3);
}

TEST(SystemSettingsRead, TextThatDoesNotParseIsRefusedNamingItsField) {
    const S s = filledSettings();
    const struct {
        const char* what;
        std::function<void(SystemSettingsForm&)> edit;
        SettingsInputPlace place;
        F field;
        const char* text;
    } cases[] = {
        {"empty login", [](auto& f) { f.loginName = "  "; }, SettingsInputPlace::LoginName,
         F::ServerAddress, "Login Name required. "},
        {"bad server", [](auto& f) { f[F::ServerAddress] = "10.0.0.256"; },
         SettingsInputPlace::Field, F::ServerAddress,
         "Server IP Address (Local Network Interface): \"10.0.0.256\" is not an IP address. Type "
         "four numbers from 0 to 255 separated by dots, such as 192.168.1.10."},
        {"no server", [](auto& f) { f[F::ServerAddress] = ""; }, SettingsInputPlace::Field,
         F::ServerAddress, "Server IP Address (Local Network Interface) required."},
        {"no data port", [](auto& f) { f[F::ClientDataPort] = "0"; }, SettingsInputPlace::Field,
         F::ClientDataPort, "Server IP Port for Client Data required."},
        {"big port", [](auto& f) { f[F::SipDataPort] = "70000"; }, SettingsInputPlace::Field,
         F::SipDataPort,
         "Server IP Port for SIP Data: \"70000\" is not a number from 0 to 65535 (0x before a "
         "hexadecimal number, 0 before an octal one)."},
        {"bad nat", [](auto& f) { f[F::SecondaryNatAddress] = "nat"; }, SettingsInputPlace::Field,
         F::SecondaryNatAddress, nullptr},
        {"bad geo", [](auto& f) { f[F::GeoMappingAddress] = "1.2.3"; }, SettingsInputPlace::Field,
         F::GeoMappingAddress, nullptr},
        {"bad delay", [](auto& f) { f[F::FailoverDelay] = "ten"; }, SettingsInputPlace::Field,
         F::FailoverDelay, nullptr},
        {"domain", [](auto& f) { f[F::SipDomainName] = "caf\xC3\xA9.local"; },
         SettingsInputPlace::Field, F::SipDomainName, nullptr},
        {"time",
         [](auto& f) {
             f.failback = FailbackMode::AfterPrimaryRestoredFor;
             f.failbackTime = "25:00";
         },
         SettingsInputPlace::FailbackTime, F::FailoverDelay, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SystemSettingsForm form = showSystemSettings(s, master("admin", ""));
        c.edit(form);
        const SystemSettingsInput input = readSystemSettings(form, s, SettingsLayout::None);
        ASSERT_TRUE(input.error);
        EXPECT_EQ(input.error->place, c.place);
        if (c.place == SettingsInputPlace::Field) {
            EXPECT_EQ(input.error->field, c.field);
        }
        if (c.text != nullptr) {
            EXPECT_EQ(input.error->text, c.text);
        }
    }
    // A field the layout does not show is not read.
    SystemSettingsForm form = showSystemSettings(s, master("admin", ""));
    form[F::GeoMappingAddress] = "garbage";
    EXPECT_FALSE(readSystemSettings(form, s, SettingsLayout::Rts).error);
}

TEST(SystemSettingsRestart, OnlyAddressPortsDomainAndRateAskFirst) {
    const S before = filledSettings();
    const struct {
        const char* what;
        std::function<void(S&)> edit;
        const char* line;
    } cases[] = {
        {"delay", [](S& s) { s.set(S::kFailoverDelaySeconds, 99); }, nullptr},
        {"secondary", [](S& s) { s.set(S::kSecondaryServerAddress, 7); }, nullptr},
        {"rtp", [](S& s) { s.set(S::kRtpAudioBasePort, 7); }, nullptr},
        {"server", [](S& s) { s.set(S::kServerAddress, ip(10, 0, 0, 6)); },
         "Server IP Address (Local Network Interface): 10.0.0.5 \u2192 10.0.0.6"},
        {"data", [](S& s) { s.set(S::kClientDataPort, 1002); },
         "Server IP Port for Client Data: 1000 \u2192 1002"},
        {"audio", [](S& s) { s.set(S::kClientAudioPort, 1003); },
         "Server IP Port for Client Audio: 1001 \u2192 1003"},
        {"sip", [](S& s) { s.set(S::kSipDataPort, 5070); },
         "Server IP Port for SIP Data: 5060 \u2192 5070"},
        {"domain", [](S& s) { s.set(S::kSipDomainName, "other"); },
         "Server SIP Domain Name: \"venue.local\" \u2192 \"other\""},
        {"rate", [](S& s) { s.set(S::kSampleRate, 16000); },
         "Audio Mix Sample Rate: 32000 Hz \u2192 16000 Hz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        S after = before;
        c.edit(after);
        const auto changes = restartChanges(before, after);
        if (c.line == nullptr) {
            EXPECT_TRUE(changes.empty());
            continue;
        }
        ASSERT_EQ(changes.size(), 1u);
        EXPECT_EQ(restartQuestion(changes),
                  std::string(kRestartWarning) + "\n\nChanges:\n" + c.line);
    }
}

TEST(UiSettingsEnabling, GraphicsOnlyForTransparentFillsTransparentOnlyForColours) {
    const struct {
        const char* what;
        std::uint32_t window;
        std::uint32_t normal;
        std::uint32_t disabled;
        bool windowFiles, normalFiles;
        bool windowTransparent, normalTransparent, disabledTransparent;
    } cases[] = {
        {"all opaque", 0xFF000001, 0xFF000002, 0xFF000003, false, false, true, true, true},
        {"all transparent", 0, 0x00FFFFFF, 0, true, true, false, false, false},
        {"window only", 0x00123456, 0xFF000000, 0xFFFFFFFF, true, false, false, true, true},
        {"lowest colour", 0x01000000, 0x00FFFFFF, 0x00000001, false, true, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UiColours colours{};
        colours.fill(0xFF101010);
        colours[2] = c.window;
        colours[4] = c.normal;
        colours[8] = c.disabled;
        const UiEnabling e = uiEnabling(colours);
        EXPECT_EQ(e.graphics[0], c.windowFiles);
        EXPECT_EQ(e.graphics[1], c.normalFiles);
        EXPECT_TRUE(e.graphics[2]);
        EXPECT_EQ(e.transparent[2], c.windowTransparent);
        EXPECT_EQ(e.transparent[3], c.normalTransparent);
        EXPECT_EQ(e.transparent[5], c.disabledTransparent);
        // Rows without the button never enable it.
        EXPECT_FALSE(e.transparent[0] || e.transparent[1] || e.transparent[4]);
    }
}

TEST(UiSettingsSchemes, ListStartsWithChooseOneThenTheSchemes) {
    const auto entries = colourSchemeEntries();
    const std::vector<std::string_view> expected{"Choose one ...", "Default (Blue Scheme)",
                                                 "Gray Scheme", "Dark Blue Scheme"};
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(colourSchemeAt(0), nullptr);
    EXPECT_EQ(colourSchemeAt(4), nullptr);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        ASSERT_NE(colourSchemeAt(i), nullptr);
        EXPECT_EQ(colourSchemeAt(i)->name, entries[i]);
    }
    // The blue scheme fills the window and normal selectors with graphics.
    const UiEnabling blue = uiEnabling(colourSchemeAt(1)->colours);
    EXPECT_TRUE(blue.graphics[0] && blue.graphics[1]);
    EXPECT_EQ(chosenColour(0x11, 0x22, 0x33), 0xFF332211u);
}

TEST(UiSettingsRead, NamesKeepTheirValueOnlyWhileUnchanged) {
    U record;
    record.bytes.fill(0x5A);
    record.set(U::kSelectorWindowGraphic, "back.png");
    record.set(U::kSelectorWindowGraphicValue, 7);
    record.set(U::kNormalSelectorGraphic, "sel.png");
    record.set(U::kNormalSelectorGraphicValue, 8);
    record.set(U::kLogoGraphic, "logo.png");
    record.set(U::kLogoGraphicValue, 9);
    UiSettingsForm form = showUiSettings(record);
    EXPECT_EQ(form.verticalSpacing, std::to_string(record.get(U::kVerticalSpacing)));

    UiSettingsInput same = readUiSettings(form, record);
    ASSERT_FALSE(same.error);
    EXPECT_TRUE(same.record == record);

    form.graphics[1] = "other.png";
    form.graphics[2] = "a_name_longer_than_twenty.png";
    form.verticalSpacing = "-3";
    form.horizontalSpacing = " 12 ";
    form.colours[0] = 0xFF123456;
    const UiSettingsInput changed = readUiSettings(form, record);
    ASSERT_FALSE(changed.error);
    EXPECT_EQ(changed.record.get(U::kSelectorWindowGraphicValue), 7);
    EXPECT_EQ(changed.record.get(U::kNormalSelectorGraphic), "other.png");
    EXPECT_EQ(changed.record.get(U::kNormalSelectorGraphicValue), 0);
    EXPECT_EQ(changed.record.get(U::kLogoGraphic), "a_name_longer_than_t");
    EXPECT_EQ(changed.record.get(U::kLogoGraphicValue), 0);
    EXPECT_EQ(changed.record.get(U::kVerticalSpacing), -3);
    EXPECT_EQ(changed.record.get(U::kHorizontalSpacing), 12);
    EXPECT_EQ(changed.record.get(U::kTopBorderBackground), 0xFF123456u);
    // Bytes beyond the last field travel back untouched.
    EXPECT_EQ(changed.record.bytes[199], 0x5A);

    for (const char* bad : {"", "4.5", "40000", "x"}) {
        form.horizontalSpacing = bad;
        const UiSettingsInput refused = readUiSettings(form, record);
        ASSERT_TRUE(refused.error) << bad;
        EXPECT_EQ(refused.field, SpacingField::Horizontal);
    }
}

TEST(GraphicFile, OnlyReadablePngsWithinTheLimitsAreTaken) {
    mirx::test::TempFolder folder;
    const std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0};
    const auto write = [&](const std::string& name, std::vector<std::uint8_t> bytes) {
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return folder / name;
    };
    std::vector<std::uint8_t> atLimit = png;
    atLimit.resize(kMaxGraphicFileBytes, 0x42);
    std::vector<std::uint8_t> overLimit = atLimit;
    overLimit.push_back(0x42);

    const struct {
        std::filesystem::path path;
        std::string error;
    } cases[] = {
        {write("logo.png", png), ""},
        {write("exactly20chars_x.png", png), ""},
        {write("at_limit.png", atLimit), ""},
        {write("twenty_one_chars_.png", png), kGraphicNameTooLong},
        {folder / "missing.png", kUnableToOpenFile},
        {folder.path(), kUnableToOpenFile},
        {write("over.png", overLimit),
         "The graphic file \"over.png\" is larger than 80000 bytes and cannot be uploaded!"},
        {write("fake.png", {'G', 'I', 'F', '8', '9', 'a', 0, 0}),
         "The file \"fake.png\" is not a PNG graphic file!"},
        {write("empty.png", {}), "The file \"empty.png\" is not a PNG graphic file!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        const LocalGraphicFile file = readGraphicFile(c.path);
        EXPECT_EQ(file.error, c.error);
        EXPECT_EQ(file.usable(), c.error.empty());
        if (file.usable()) {
            std::ifstream in(c.path, std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            EXPECT_EQ(file.bytes, bytes);
        } else {
            EXPECT_TRUE(file.bytes.empty());
        }
    }
    if (geteuid() != 0) {
        const auto locked = write("locked.png", png);
        ::chmod(locked.c_str(), 0);
        EXPECT_EQ(readGraphicFile(locked).error, kUnableToOpenFile);
    }

    FileNameList list;
    list.names = {"a.png", "b.png"};
    EXPECT_EQ(namesMissingFrom({"b.png", "c.png"}, list), std::vector<std::string>{"c.png"});
}
