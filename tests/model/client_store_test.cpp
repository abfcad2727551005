#include "model/client_store.h"
#include "model/sound_files.h"
#include "tests/support/log_capture.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace mirx::model {

// Readable failures: the head and the first bytes that are not zero.
void PrintTo(const OutgoingRecord& r, std::ostream* os) {
    *os << "{id " << r.id << ", second " << r.second << ", " << r.bytes.size() << " bytes";
    int shown = 0;
    for (std::size_t i = 0; i < r.bytes.size() && shown < 8; ++i) {
        if (r.bytes[i] != 0) {
            *os << " @" << i << "=" << static_cast<int>(r.bytes[i]);
            ++shown;
        }
    }
    *os << '}';
}

namespace {

using ByteList = std::vector<std::uint8_t>;

ByteList filled(std::size_t n, std::uint8_t value) {
    return ByteList(n, value);
}

template <typename R>
ByteList prefix(const R& record, std::size_t n) {
    return {record.bytes.begin(), record.bytes.begin() + static_cast<std::ptrdiff_t>(n)};
}

ByteList credentialsListBytes(const ClientStore& store) {
    ByteList out;
    for (int i = 0; i < static_cast<int>(ClientStore::kClients); ++i) {
        const auto bytes = store.credentials(i)->bytes;
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

TEST(ClientStore, StartsWithOwnIndexesAndTheDefaultRecords) {
    const ClientStore store;
    EXPECT_EQ(store.credentialsCount(), 0u);
    for (int i : {0, 1, 500, 999}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(*store.credentials(i), initialCredentials(i));
    }
    const ClientCredentials master = *store.credentials(kMasterAdministratorIndex);
    EXPECT_EQ(master.get(ClientCredentials::kClientIndex), -1);
    EXPECT_EQ(master.get(ClientCredentials::kLoginName), "admin");
    EXPECT_EQ(master.get(ClientCredentials::kPassword), "");

    EXPECT_EQ(*store.options(kDefaultOptionsIndex), defaultClientOptions());
    EXPECT_EQ(*store.options(kSipDefaultOptionsIndex), sipDefaultClientOptions());
    EXPECT_EQ(*store.audio(kDefaultAudioSettingsIndex), defaultAudioSettings());
    EXPECT_EQ(*store.options(0), ClientOptions{});
    EXPECT_EQ(*store.audio(999), AudioSettings{});
}

// Every receive rule at its limit and one byte over: the record at the limit
// is stored and raises its flag, the longer one leaves everything as it was.
struct LimitCase {
    const char* name;
    std::size_t limit;
    std::function<bool(ClientStore&, const ByteList&)> receive;
    // The bytes the rule writes, read back.
    std::function<ByteList(const ClientStore&, std::size_t)> stored;
    std::function<std::string(std::size_t)> logLine; // empty: no line
    std::function<bool(ClientStore&)> takeFlag;      // null: no flag
};

std::vector<LimitCase> limitCases() {
    return {
        {"credentials list", 146000,
         [](ClientStore& s, const ByteList& p) { return s.ReceiveCredentialsList(1000, p, "srv"); },
         [](const ClientStore& s, std::size_t n) {
             auto all = credentialsListBytes(s);
             all.resize(n);
             return all;
         },
         [](std::size_t n) {
             return "{srv}: Processing CONFIGURATION_DATA_CLIENT_CREDENTIALS_LIST (iSize: " +
                    std::to_string(n) + ") ... # of Entries: 1000";
         },
         nullptr},
        {"credentials", 146,
         [](ClientStore& s, const ByteList& p) { return s.ReceiveCredentials(7, p); },
         [](const ClientStore& s, std::size_t n) { return prefix(*s.credentials(7), n); },
         [](std::size_t n) {
             return "[Failover] Processing CONFIGURATION_DATA_CLIENT_CREDENTIALS for 7 (iSize: " +
                    std::to_string(n) + ")";
         },
         nullptr},
        {"options", 550,
         [](ClientStore& s, const ByteList& p) { return s.ReceiveOptions(7, p, "Desk 7"); },
         [](const ClientStore& s, std::size_t n) { return prefix(*s.options(7), n); },
         [](std::size_t) {
             return std::string{"{Desk 7}: Processing CONFIGURATION_DATA_CLIENT_OPTIONS"};
         },
         [](ClientStore& s) {
             return s.TakeOptionsReceived();
         }},
        {"audio", 50,
         [](ClientStore& s, const ByteList& p) { return s.ReceiveAudio(7, p, "Desk 7"); },
         [](const ClientStore& s, std::size_t n) { return prefix(*s.audio(7), n); },
         [](std::size_t) {
             return std::string{"{Desk 7}: Processing CONFIGURATION_DATA_AUDIO_SETTINGS"};
         },
         [](ClientStore& s) {
             return s.TakeAudioReceived();
         }},
        {"selector assignments", 11028,
         [](ClientStore& s, const ByteList& p) { return s.ReceiveSelectorAssignments(7, p); },
         [](const ClientStore& s, std::size_t n) { return prefix(s.selectorAssignments(), n); },
         [](std::size_t) { return std::string{}; },
         // Answers are counted, not flagged: "taken" when the count moved.
         [seen = std::uint32_t{0}](ClientStore& s) mutable {
             const std::uint32_t now = s.SelectorAssignmentsAnswers(7);
             const bool moved = now != seen;
             seen = now;
             return moved;
         }},
    };
}

TEST(ClientStore, ReceiveRulesTakeUpToTheirLimitAndIgnoreLongerRecords) {
    for (const auto& c : limitCases()) {
        SCOPED_TRACE(c.name);
        auto store = std::make_unique<ClientStore>();
        test::LogCapture log;

        const ByteList atLimit = filled(c.limit, 0xA5);
        EXPECT_TRUE(c.receive(*store, atLimit));
        EXPECT_EQ(c.stored(*store, c.limit), atLimit);
        if (c.takeFlag) {
            EXPECT_TRUE(c.takeFlag(*store));
            EXPECT_FALSE(c.takeFlag(*store)) << "the flag is cleared by taking it";
        }

        EXPECT_FALSE(c.receive(*store, filled(c.limit + 1, 0x5A)));
        EXPECT_EQ(c.stored(*store, c.limit), atLimit);
        if (c.takeFlag) {
            EXPECT_FALSE(c.takeFlag(*store)) << "an ignored record raises no flag";
        }

        std::vector<std::string> expected;
        for (std::size_t n : {c.limit, c.limit + 1}) {
            if (!c.logLine(n).empty()) {
                expected.push_back(c.logLine(n));
            }
        }
        EXPECT_EQ(log.lines(), expected);
    }
}

// Which record a second value names. Each case writes a short record and
// checks that exactly the named one changed.
enum class Kind { Credentials, Options, Audio };

struct RouteCase {
    Kind kind;
    std::uint16_t second;
    std::optional<int> target; // nullopt: ignored
    std::string logLine;
};

std::vector<int> changedIndexes(Kind kind, const ClientStore& before, const ClientStore& after) {
    std::vector<int> changed;
    for (int i = -2; i < static_cast<int>(ClientStore::kClients); ++i) {
        bool differs = false;
        switch (kind) {
        case Kind::Credentials:
            differs = before.credentials(i) != after.credentials(i);
            break;
        case Kind::Options:
            differs = before.options(i) != after.options(i);
            break;
        case Kind::Audio:
            differs = before.audio(i) != after.audio(i);
            break;
        }
        if (differs) {
            changed.push_back(i);
        }
    }
    return changed;
}

TEST(ClientStore, SecondValueNamesTheRecord) {
    const std::vector<RouteCase> cases = {
        {Kind::Credentials, 7, 7,
         "[Failover] Processing CONFIGURATION_DATA_CLIENT_CREDENTIALS for 7 (iSize: 4)"},
        {Kind::Credentials, 0xFFFF, -1,
         "[Failover] Processing CONFIGURATION_DATA_CLIENT_CREDENTIALS for -1 (iSize: 4)"},
        {Kind::Credentials, 1000, std::nullopt,
         "[Failover] Processing CONFIGURATION_DATA_CLIENT_CREDENTIALS for 1000 (iSize: 4)"},
        {Kind::Credentials, 0xFFFE, std::nullopt,
         "[Failover] Processing CONFIGURATION_DATA_CLIENT_CREDENTIALS for -2 (iSize: 4)"},
        {Kind::Options, 999, 999, "{Desk}: Processing CONFIGURATION_DATA_CLIENT_OPTIONS"},
        {Kind::Options, 0xFFFF, -1, "{-}: Processing Default CONFIGURATION_DATA_CLIENT_OPTIONS"},
        {Kind::Options, 0xFFFE, -2, "{-}: Processing Default CONFIGURATION_DATA_CLIENT_OPTIONS"},
        {Kind::Options, 1000, std::nullopt, "{Desk}: Processing CONFIGURATION_DATA_CLIENT_OPTIONS"},
        {Kind::Audio, 0, 0, "{Desk}: Processing CONFIGURATION_DATA_AUDIO_SETTINGS"},
        {Kind::Audio, 0xFFFF, -1, "{-}: Processing Default CONFIGURATION_DATA_AUDIO_SETTINGS"},
        {Kind::Audio, 0xFFFE, std::nullopt,
         "{-}: Processing Default CONFIGURATION_DATA_AUDIO_SETTINGS"},
        {Kind::Audio, 1000, std::nullopt, "{Desk}: Processing CONFIGURATION_DATA_AUDIO_SETTINGS"},
    };
    const ClientStore fresh;
    const ByteList payload = filled(4, 0xC3);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.kind) << " second " << c.second);
        ClientStore store;
        test::LogCapture log;
        bool taken = false;
        bool flag = false;
        switch (c.kind) {
        case Kind::Credentials:
            taken = store.ReceiveCredentials(c.second, payload);
            flag = taken;
            break;
        case Kind::Options:
            taken = store.ReceiveOptions(c.second, payload, "Desk");
            flag = store.TakeOptionsReceived();
            break;
        case Kind::Audio:
            taken = store.ReceiveAudio(c.second, payload, "Desk");
            flag = store.TakeAudioReceived();
            break;
        }
        EXPECT_EQ(taken, c.target.has_value());
        EXPECT_EQ(flag, c.target.has_value());
        const std::vector<int> expected =
            c.target ? std::vector<int>{*c.target} : std::vector<int>{};
        EXPECT_EQ(changedIndexes(c.kind, fresh, store), expected);
        EXPECT_EQ(log.lines(), std::vector<std::string>{c.logLine});
    }
}

TEST(ClientStore, SelectorAssignmentsGoToTheDefaultOrTheOneClientRecord) {
    struct Case {
        std::uint16_t second;
        bool toDefault;
    };
    for (const Case c : {Case{0xFFFF, true}, Case{0, false}, Case{0xFFFE, false}}) {
        SCOPED_TRACE(c.second);
        ClientStore store;
        EXPECT_TRUE(store.ReceiveSelectorAssignments(c.second, filled(30, 0x77)));
        const auto& written =
            c.toDefault ? store.defaultSelectorAssignments() : store.selectorAssignments();
        const auto& untouched =
            c.toDefault ? store.selectorAssignments() : store.defaultSelectorAssignments();
        EXPECT_EQ(prefix(written, 30), filled(30, 0x77));
        EXPECT_EQ(untouched, SelectorAssignments{});
    }
}

// A selector report and a client's selector view may ask at once: each
// waits for the count of its own record, and a client record another
// client's answer replaced is not handed out as its own.
TEST(ClientStore, SelectorAnswersAreCountedPerRecord) {
    ClientStore store;
    ASSERT_TRUE(store.ReceiveSelectorAssignments(5, filled(30, 0x55)));
    ASSERT_TRUE(store.ReceiveSelectorAssignments(7, filled(30, 0x77)));
    ASSERT_TRUE(store.ReceiveSelectorAssignments(7, filled(30, 0x78)));
    ASSERT_TRUE(store.ReceiveSelectorAssignments(0xFFFF, filled(30, 0xDD)));
    ASSERT_FALSE(store.ReceiveSelectorAssignments(5, filled(11029, 0x56)));

    EXPECT_EQ(store.SelectorAssignmentsAnswers(5), 1u) << "a refused record counts nothing";
    EXPECT_EQ(store.SelectorAssignmentsAnswers(7), 2u);
    EXPECT_EQ(store.SelectorAssignmentsAnswers(6), 0u);
    EXPECT_EQ(store.SelectorAssignmentsAnswers(0xFFFF), 1u);
    // Neither a client nor the default: nothing to wait for.
    EXPECT_EQ(store.SelectorAssignmentsAnswers(1000), 0u);
    EXPECT_EQ(store.SelectorAssignmentsAnswers(0xFFFE), 0u);

    EXPECT_FALSE(store.selectorAssignmentsFor(5)) << "client 7's answer took its place";
    ASSERT_TRUE(store.selectorAssignmentsFor(7));
    EXPECT_EQ(prefix(*store.selectorAssignmentsFor(7), 30), filled(30, 0x78));
    ASSERT_TRUE(store.selectorAssignmentsFor(0xFFFF));
    EXPECT_EQ(prefix(*store.selectorAssignmentsFor(0xFFFF), 30), filled(30, 0xDD));

    // An edit of client 5, stored as posted, takes the one client place: it
    // is not client 7's answer any more, and no answer was counted.
    SelectorAssignments edited;
    edited.set(SelectorAssignments::kSelectorsPerRow, std::int16_t{6});
    store.setSelectorAssignments(5, edited);
    EXPECT_FALSE(store.selectorAssignmentsFor(7));
    ASSERT_TRUE(store.selectorAssignmentsFor(5));
    EXPECT_EQ(*store.selectorAssignmentsFor(5), edited);
    EXPECT_EQ(store.selectorAssignmentsLength(), edited.wire().size());
    EXPECT_EQ(store.SelectorAssignmentsAnswers(5), 1u);
}

// A waiter counts only answers after its own request: one stored earlier
// (or before it has asked at all) is not its answer.
TEST(ClientStore, SelectorAnswerWaitCountsFromItsRequest) {
    ClientStore store;
    ASSERT_TRUE(store.ReceiveSelectorAssignments(5, filled(30, 0x55)));
    SelectorAnswerWait wait(5);
    EXPECT_FALSE(wait.answered(store)) << "not asked yet";
    wait.asking(store);
    EXPECT_FALSE(wait.answered(store));
    ASSERT_TRUE(store.ReceiveSelectorAssignments(6, filled(30, 0x66)));
    EXPECT_FALSE(wait.answered(store)) << "another client's answer";
    ASSERT_TRUE(store.ReceiveSelectorAssignments(5, filled(30, 0x57)));
    EXPECT_TRUE(wait.answered(store));
}

TEST(ClientStore, ShortRecordsLeaveTheRestOfTheStoredOne) {
    ClientStore store;
    ClientOptions old;
    old.bytes.fill(0x11);
    ASSERT_TRUE(store.setOptions(3, old));
    ASSERT_TRUE(store.ReceiveOptions(3, filled(250, 0x22), "Panel"));
    const ClientOptions now = *store.options(3);
    EXPECT_TRUE(std::all_of(now.bytes.begin(), now.bytes.begin() + 250,
                            [](std::uint8_t b) { return b == 0x22; }));
    EXPECT_TRUE(std::all_of(now.bytes.begin() + 250, now.bytes.end(),
                            [](std::uint8_t b) { return b == 0x11; }));

    // A list that ends inside its second record.
    ClientCredentials second = initialCredentials(1);
    second.set(ClientCredentials::kPassword, "kept");
    ASSERT_TRUE(store.setCredentials(1, second));
    ASSERT_TRUE(store.ReceiveCredentialsList(2, filled(146 + 10, 0x33), "srv"));
    EXPECT_EQ(prefix(*store.credentials(0), 146), filled(146, 0x33));
    EXPECT_EQ(prefix(*store.credentials(1), 10), filled(10, 0x33));
    EXPECT_EQ(store.credentials(1)->get(ClientCredentials::kPassword), "kept");
    EXPECT_EQ(*store.credentials(2), initialCredentials(2));
}

TEST(ClientStore, CredentialsCountRules) {
    enum class Step { List, Record, Edit };
    struct Case {
        Step step;
        std::uint16_t value; // list: entry count; record: second value; edit: index
        std::size_t countAfter;
    };
    const std::vector<Case> steps = {
        {Step::List, 3, 3},        {Step::Record, 7, 8},     {Step::Record, 2, 8},
        {Step::Record, 0xFFFF, 8}, {Step::Record, 1000, 8},  {Step::List, 2, 2},
        {Step::Record, 999, 1000}, {Step::List, 5000, 1000}, {Step::List, 0, 0},
        {Step::Record, 0, 1},      {Step::Edit, 11, 12},     {Step::Edit, 4, 12},
        {Step::Edit, 0xFFFF, 12},
    };
    ClientStore store;
    test::LogCapture log;
    ClientCredentials record = initialCredentials(0);
    record.set(ClientCredentials::kLoginName, "someone");
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << (s.step == Step::List   ? "list "
                                            : s.step == Step::Edit ? "edit "
                                                                   : "record ")
                                        << s.value);
        if (s.step == Step::List) {
            store.ReceiveCredentialsList(s.value, {}, "srv");
        } else if (s.step == Step::Edit) {
            store.setCredentials(static_cast<std::int16_t>(s.value), record);
        } else {
            store.ReceiveCredentials(s.value, record.view());
        }
        EXPECT_EQ(store.credentialsCount(), s.countAfter);
    }
    // The 0xFFFF record replaced the master administrator.
    EXPECT_EQ(store.credentials(kMasterAdministratorIndex)->get(ClientCredentials::kLoginName),
              "someone");
    EXPECT_EQ(store.loginName(7), "someone");
    EXPECT_EQ(store.loginName(1000), "");
}

TEST(ClientStore, IndexesWithoutARecordAreRefused) {
    ClientStore store;
    EXPECT_FALSE(store.credentials(-2));
    EXPECT_FALSE(store.credentials(1000));
    EXPECT_FALSE(store.options(-3));
    EXPECT_FALSE(store.options(1000));
    EXPECT_FALSE(store.audio(-2));
    EXPECT_FALSE(store.audio(1000));
    EXPECT_FALSE(store.setOptions(1000, ClientOptions{}));
    EXPECT_FALSE(store.setAudio(-2, AudioSettings{}));
    EXPECT_FALSE(store.setCredentials(-2, ClientCredentials{}));
    EXPECT_FALSE(store.CopyOptions(-3, 0));
    EXPECT_FALSE(store.CopyAudio(0, 1000));
    EXPECT_FALSE(store.OptionsUpdate(kDefaultOptionsIndex, 20));
    EXPECT_FALSE(store.AudioUpdate(1000));
    EXPECT_TRUE(store.DuplicateSettings(0, 1000, 20).empty());
    EXPECT_TRUE(store.DuplicateSettings(-1, 0, 20).empty());
    EXPECT_EQ(*store.options(0), ClientOptions{});
}

TEST(ClientStore, CopiesWholeRecordsBetweenIndexes) {
    ClientStore store;
    ASSERT_TRUE(store.CopyOptions(kSipDefaultOptionsIndex, 5));
    EXPECT_EQ(*store.options(5), sipDefaultClientOptions());
    ASSERT_TRUE(store.CopyAudio(kDefaultAudioSettingsIndex, 5));
    EXPECT_EQ(*store.audio(5), defaultAudioSettings());
}

TEST(ClientStore, OptionsGoOnTheWireWithTheLengthOfTheClientType) {
    struct Case {
        int index;
        int type;
        std::size_t length;
    };
    const std::vector<Case> cases = {
        {4, 104, 550},
        {4, 100, 550},
        {4, 149, 550},
        {4, 150, 250},
        {4, 20, 250},
        {4, 99, 250},
        {kDefaultOptionsIndex, 104, 250},
        {kSipDefaultOptionsIndex, 20, 550},
    };
    ClientStore store;
    ClientOptions options;
    for (std::size_t i = 0; i < options.bytes.size(); ++i) {
        options.bytes[i] = static_cast<std::uint8_t>(i);
    }
    store.setOptions(4, options);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << " type " << c.type);
        EXPECT_EQ(ClientStore::OptionsWireLength(c.index, c.type), c.length);
        if (c.index == 4) {
            const auto update = store.OptionsUpdate(c.index, c.type);
            ASSERT_TRUE(update);
            EXPECT_EQ(*update, (OutgoingRecord{2004, 4, prefix(options, c.length)}));
        }
    }
}

TEST(ClientStore, DefaultsArePostedWithTheApplyToPriorAnswer) {
    ClientStore store;
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        EXPECT_EQ(store.DefaultOptionsUpdate(yes),
                  (OutgoingRecord{2013, yes ? std::uint16_t{1} : std::uint16_t{0},
                                  prefix(defaultClientOptions(), 250)}));
        EXPECT_EQ(store.DefaultAudioUpdate(yes),
                  (OutgoingRecord{2014, yes ? std::uint16_t{1} : std::uint16_t{0},
                                  prefix(defaultAudioSettings(), 50)}));
    }
    EXPECT_EQ(*store.AudioUpdate(9), (OutgoingRecord{2006, 9, ByteList(50, 0)}));
}

TEST(ClientStore, DuplicateCopiesAsManyOptionBytesAsTheSourceSends) {
    struct Case {
        int sourceType;
        std::size_t copied;
    };
    for (const Case c : {Case{104, 550}, Case{150, 250}, Case{20, 250}}) {
        SCOPED_TRACE(c.sourceType);
        ClientStore store;
        ClientOptions source;
        source.bytes.fill(0xAB);
        ClientOptions target;
        target.bytes.fill(0xCD);
        AudioSettings sourceAudio;
        sourceAudio.bytes.fill(0x42);
        store.setOptions(10, source);
        store.setOptions(11, target);
        store.setAudio(10, sourceAudio);

        const auto posts = store.DuplicateSettings(10, 11, c.sourceType);

        ClientOptions expected = target;
        std::fill_n(expected.bytes.begin(), c.copied, 0xAB);
        EXPECT_EQ(*store.options(11), expected);
        EXPECT_EQ(*store.audio(11), sourceAudio);
        EXPECT_EQ(*store.options(10), source);
        ASSERT_EQ(posts.size(), 2u);
        EXPECT_EQ(posts[0], (OutgoingRecord{2004, 11, filled(c.copied, 0xAB)}));
        EXPECT_EQ(posts[1], (OutgoingRecord{2006, 11, filled(50, 0x42)}));
    }
}

TEST(ClientStore, OptionsInfoFillsTheSoundFileList) {
    ClientStore store;
    const std::vector<std::string> names = {"ring.wav", "answer.wav"};
    EXPECT_TRUE(store.ReceiveOptionsInfo(encodeFileNameList(names)));
    EXPECT_TRUE(store.TakeOptionsInfoReceived());
    EXPECT_FALSE(store.TakeOptionsInfoReceived());
    EXPECT_EQ(store.soundFiles().names, names);
}

} // namespace
} // namespace mirx::model
