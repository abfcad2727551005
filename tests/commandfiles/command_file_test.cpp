#include "commandfiles/calendar.h"
#include "commandfiles/command_file.h"
#include "commandfiles/command_file_text.h"
#include "core/clock.h"
#include "core/message_ids.h"
#include "core/message_queue.h"
#include "model/mirror.h"
#include "tests/support/log_capture.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace mirx::model {

void PrintTo(const PartyLineEntry& e, std::ostream* os) {
    *os << "{member " << e.member << ", mode " << int(e.mode) << "}";
}

} // namespace mirx::model

namespace mirx::commandfiles {

void PrintTo(const CalendarTime& t, std::ostream* os) {
    *os << formatCalendarTime(t);
}

namespace {

using Bytes = std::vector<std::uint8_t>;
using model::LabelInfo;
using model::MirrorData;

Bytes latin1(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes utf16WithMark(std::u16string_view text) {
    Bytes bytes{0xFF, 0xFE};
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

std::string crlf(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (const std::string_view line : lines) {
        text.append(line).append("\r\n");
    }
    return text;
}

CalendarTime calendar(int year, int month, int day, int hour, int minute, int second) {
    CalendarTime t;
    t.year = static_cast<std::int16_t>(year);
    t.month = static_cast<std::int16_t>(month);
    t.day = static_cast<std::int16_t>(day);
    t.hour = static_cast<std::int16_t>(hour);
    t.minute = static_cast<std::int16_t>(minute);
    t.second = static_cast<std::int16_t>(second);
    return t;
}

// --- the site the files name ---

struct Client {
    int index;
    int label;
    int type;
    const char* name;
    const char* login;
};

// "Dup" and "dup" differ only in case; index 5 comes first in label-table
// order although its label number is the higher one. Index 9 logs in
// anonymously: its login name is empty.
constexpr std::array<Client, 7> kClients{{
    {1, 10001, 50, "Stage Left", "stageleft"},
    {2, 10002, 50, "Camera 1", "camera1"},
    {4, 10004, 10, "Director", "director"}, // a control panel
    {5, 10009, 100, "Dup Five", "Dup"},
    {7, 10007, 100, "Dup Seven", "dup"},
    {9, 10010, 100, "Anonymous", ""},
    {12, 10012, 100, "Floor", "floor.mgr"},
}};

struct PartyLine {
    int index;
    int label;
    const char* name;
};

constexpr std::array<PartyLine, 2> kPartyLines{{{0, 10100, "Production"}, {3, 10103, "Lighting"}}};

LabelInfo label(int number, model::LabelKind kind, int index, const char* name, int type = 0) {
    LabelInfo info;
    info.set(LabelInfo::kLabelNumber, static_cast<std::int16_t>(number));
    info.set(LabelInfo::kLabelKind, static_cast<std::uint8_t>(kind));
    info.set(LabelInfo::kIndex, static_cast<std::int16_t>(index));
    info.set(LabelInfo::kClientType, static_cast<std::uint8_t>(type));
    info.set(LabelInfo::kTalkListenName, name);
    return info;
}

void fillSite(model::Mirror& mirror) {
    mirror.edit([](MirrorData& d) {
        for (const Client& c : kClients) {
            const LabelInfo info =
                label(c.label, model::LabelKind::Client, c.index, c.name, c.type);
            ASSERT_TRUE(d.labels.Store(static_cast<std::uint16_t>(c.label), info.view()));
            model::ClientCredentials credentials = model::initialCredentials(c.index);
            credentials.set(model::ClientCredentials::kLoginName, c.login);
            ASSERT_TRUE(d.clients.setCredentials(c.index, credentials));
        }
        for (const PartyLine& p : kPartyLines) {
            const LabelInfo info = label(p.label, model::LabelKind::PartyLine, p.index, p.name);
            ASSERT_TRUE(d.labels.Store(static_cast<std::uint16_t>(p.label), info.view()));
        }
    });
}

struct Sent {
    std::uint16_t id = 0;
    std::uint16_t second = 0;
    Bytes payload;
    friend bool operator==(const Sent&, const Sent&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Sent& s) {
        return os << "{id " << s.id << ", second " << s.second << ", " << s.payload.size()
                  << " bytes}";
    }
};

Sent request(std::uint16_t id, int second) {
    return {id, static_cast<std::uint16_t>(second), {}};
}

class CommandFileTest : public ::testing::Test {
protected:
    CommandFileTest() {
        clock_.setLocalTime({2024, 3, 14, 10, 0, 0, 0});
        fillSite(mirror_);
        queue_.Enable();
    }

    CCommandFile scanned(Bytes bytes) {
        CCommandFile file("test.txt", std::move(bytes));
        bool finished = true;
        EXPECT_FALSE(file.ParseCommandFile(environment_, false, finished));
        EXPECT_FALSE(finished);
        return file;
    }
    CCommandFile scanned(std::string_view text) { return scanned(latin1(text)); }

    // True when the file waits for an answer.
    bool execute(CCommandFile& file, bool& finished) {
        return file.ParseCommandFile(environment_, true, finished);
    }

    std::vector<Sent> drain() {
        std::vector<Sent> sent;
        while (const auto head = queue_.PeekHead()) {
            const auto type = head->type;
            sent.push_back({static_cast<std::uint16_t>(type & 0xFFFF),
                            static_cast<std::uint16_t>(type >> 16),
                            Bytes(head->data, head->data + head->length)});
            std::vector<std::uint8_t> frame(head->length + 20);
            EXPECT_NE(queue_.TakeFramed(frame.data(), frame.size()), 0u);
        }
        return sent;
    }

    test::LogCapture log_;
    ManualClock clock_;
    ScopedClock useClock_{clock_};
    model::Mirror mirror_;
    CMessageQueue queue_{300};
    CommandEnvironment environment_{mirror_, &queue_};
};

std::vector<std::string> planLines(const CCommandFile& file) {
    std::vector<std::string> lines;
    for (const PlannedCommand& p : file.plan()) {
        lines.push_back(std::to_string(p.line) + ": " + p.text);
    }
    return lines;
}

std::vector<int> problemLines(const CCommandFile& file) {
    std::vector<int> lines;
    for (const Problem& p : file.problems()) {
        lines.push_back(p.line);
    }
    return lines;
}

std::string problemText(const CCommandFile& file) {
    std::string text;
    for (const Problem& p : file.problems()) {
        text += std::to_string(p.line) + ": " + p.message + "\n";
    }
    return text;
}

// --- the scan pass ---

constexpr std::string_view kTime = "TIME_RELATIVE: 0:0:30";

struct ScanCase {
    std::string name;
    std::string text;
    bool valid;
    std::vector<std::string> plan;
    std::vector<int> problemLines = {};
};

TEST_F(CommandFileTest, ScanPassChecksAndResolvesEveryLine) {
    const std::string k99(99, 'K');
    const std::string r99(99, 'r');
    const std::string f27(27, 'f');
    const std::vector<ScanCase> cases = {
        {"keywords and operations in lower case",
         crlf({"description: lower", "time_relative: 0:0:30",
               "party_line: add talk to _client.12_ on _pl.3_"}),
         true,
         {"3: add N013 (Floor) to PL04 (Lighting) for talk"}},
        {"LF-only line ends make lines too",
         "DESCRIPTION: one\nTIME_RELATIVE: 0:0:30\nPARTY_LINE: ADD TALK to _client.12_ on _pl.3_\n",
         true,
         {"3: add N013 (Floor) to PL04 (Lighting) for talk"}},
        {"comment lines, the last one without a line end, are skipped",
         crlf({";BLOCKED_LISTEN: SET nobody from nobody", kTime,
               "BLOCKED_LISTEN: SET _client.1_ from _client.2_"}) +
             ";BLOCKED_LISTEN: SET nobody from nobody",
         true,
         {"3: block N002 (Stage Left) from hearing N003 (Camera 1)"}},
        {"empty lines count but are ignored",
         crlf({"", kTime, "", "BLOCKED_LISTEN: CLEAR camera1 from _client.1_"}),
         true,
         {"4: unblock N003 (Camera 1) from hearing N002 (Stage Left)"}},
        {"login name in any letter case",
         crlf({kTime, "PARTY_LINE: REMOVE TALK&LISTEN to FLOOR.Mgr on _pl.0_"}),
         true,
         {"2: remove N013 (Floor) from PL01 (Production) for talk and listen"}},
        {"the first login name in label-table order wins",
         crlf(
             {kTime, "FORCED_LISTEN: set DUP to stageleft", "FORCED_LISTEN: CLEAR dup to camera1"}),
         true,
         {"2: force N006 (Dup Five) to hear N002 (Stage Left)",
          "3: stop forcing N006 (Dup Five) to hear N003 (Camera 1)"}},
        {"a control panel in a party line command is noted, not an error",
         crlf({kTime, "PARTY_LINE: ADD LISTEN to director on _pl.0_"}),
         true,
         {"2: add N005 (Director) to PL01 (Production) for listen: passed over when run, N005 is "
          "a control panel"}},
        {"an index the configuration lacks still checks",
         crlf({kTime, "BLOCKED_LISTEN: SET _client.999_ from _client.2_"}),
         true,
         {"2: block N1000 (not in the configuration) from hearing N003 (Camera 1)"}},
        {"unknown keywords and operations are ignored",
         crlf({kTime, "NOTE: hello", "PARTY_LINE: MOVE TALK to _client.1_ on _pl.0_"}),
         true,
         {"2: ignored: unknown keyword 'NOTE:'",
          "3: ignored: unknown operation 'MOVE' of PARTY_LINE:"}},
        {"FILE_VERSION 2 before the time line is overridden",
         crlf({"FILE_VERSION: 2", kTime}),
         true,
         {}},
        {"FILE_VERSION 2 after the time line", crlf({kTime, "FILE_VERSION: 2"}), false, {}, {2}},
        {"no time line", crlf({"DESCRIPTION: no time"}), false, {}, {0}},
        {"a failed time line is undone by a later one",
         crlf({"TIME_ABSOLUTE: 14:30", kTime}),
         true,
         {}},
        {"the last time line counts", crlf({kTime, "TIME_ABSOLUTE: 14:30"}), false, {}, {2}},
        {"time fields no calendar has",
         crlf({"TIME_ABSOLUTE: 14:30:00 2-30-2024"}),
         false,
         {},
         {1}},
        {"relative hours past the next day", crlf({"TIME_RELATIVE: 40:0:0"}), false, {}, {1}},
        {"a line of blanks", crlf({kTime, "   \t"}), false, {}, {2}},
        {"commands without arguments",
         crlf({kTime, "PARTY_LINE:", "BLOCKED_LISTEN: SET"}),
         false,
         {},
         {2, 3}},
        {"unknown login name",
         crlf({kTime, "BLOCKED_LISTEN: SET nobody from _client.2_"}),
         false,
         {},
         {2}},
        {"a failing command before the time line keeps the file invalid",
         crlf({"BLOCKED_LISTEN: SET nobody from _client.2_", kTime}),
         false,
         {},
         {1}},
        {"client index out of range",
         crlf({kTime, "BLOCKED_LISTEN: SET _client.1000_ from _client.2_",
               "BLOCKED_LISTEN: SET _client.1_ from _client.-1_"}),
         false,
         {},
         {2, 3}},
        {"closing underscores missing",
         crlf({kTime, "BLOCKED_LISTEN: SET _client.1 from _client.2_",
               "PARTY_LINE: ADD TALK to _client.1_ on _pl.3"}),
         false,
         {},
         {2, 3}},
        {"party line not written as an index token",
         crlf({kTime, "PARTY_LINE: ADD TALK to _client.1_ on PL04",
               "PARTY_LINE: ADD TALK to _client.1_ on _pl.200_"}),
         false,
         {},
         {2, 3}},
        {"mode unknown",
         crlf({kTime, "PARTY_LINE: ADD SHOUT to _client.1_ on _pl.0_",
               "PARTY_LINE: ADD to _client.1_ on _pl.0_"}),
         false,
         {},
         {2, 3}},
        {"a keyword of 99 characters fits",
         crlf({kTime, k99 + " x"}),
         true,
         {"2: ignored: unknown keyword '" + k99 + "'"}},
        {"a keyword of 100 characters does not", crlf({kTime, k99 + "K x"}), false, {}, {2}},
        {"a rest of 99 characters fits", crlf({kTime, "DESCRIPTION: " + r99}), true, {}},
        {"a rest of 100 characters does not",
         crlf({kTime, "DESCRIPTION: " + r99 + "r"}),
         false,
         {},
         {2}},
        {"arguments of 49 characters fit",
         crlf({kTime, "BLOCKED_LISTEN: SET _client.1_ " + f27 + " _client.2_"}),
         true,
         {"2: block N002 (Stage Left) from hearing N003 (Camera 1)"}},
        {"arguments of 50 characters do not",
         crlf({kTime, "BLOCKED_LISTEN: SET _client.1_ " + f27 + "f _client.2_"}),
         false,
         {},
         {2}},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CCommandFile file = scanned(c.text);
        EXPECT_EQ(file.valid(), c.valid) << problemText(file);
        EXPECT_EQ(planLines(file), c.plan);
        EXPECT_EQ(problemLines(file), c.problemLines) << problemText(file);
        EXPECT_FALSE(file.waiting());
        EXPECT_TRUE(drain().empty()) << "the scan pass sends nothing";
    }
}

TEST_F(CommandFileTest, ProblemsSayWhatIsWrong) {
    const CCommandFile file = scanned(crlf({
        "TIME_ABSOLUTE: 14:30",
        "BLOCKED_LISTEN: SET _client.1 from _client.2_",
        "PARTY_LINE: ADD TALK to Nobody on _pl.0_",
    }));
    EXPECT_EQ(file.problems(),
              (std::vector<Problem>{
                  {1, "TIME_ABSOLUTE: needs hours:minutes:seconds, optionally followed by "
                      "month-day-year"},
                  {2, "BLOCKED_LISTEN: SET: the listening client token '_client.1' needs its "
                      "closing underscore"},
                  {3, "PARTY_LINE: ADD: no client has the login name 'Nobody'"},
              }));
}

TEST_F(CommandFileTest, EightBitAndUtf16TextsReadAlike) {
    const std::u16string text = u"DESCRIPTION: B\u00fchne \u260e\r\nTIME_RELATIVE: 0:0:30\r\n"
                                u"party_line: add talk to FLOOR.MGR on _pl.3_";
    const CCommandFile wide = scanned(utf16WithMark(text));
    EXPECT_TRUE(wide.valid()) << problemText(wide);
    EXPECT_EQ(wide.description(), "B\u00fchne \u260e");
    EXPECT_EQ(planLines(wide),
              std::vector<std::string>{"3: add N013 (Floor) to PL04 (Lighting) for talk"});

    // Each byte one character: 0xFC is u-umlaut, and FE FF is no mark.
    const CCommandFile narrow =
        scanned(latin1(crlf({"DESCRIPTION: B\xfchne", std::string(kTime),
                             "PARTY_LINE: ADD TALK to floor.mgr on _pl.3_"})));
    EXPECT_TRUE(narrow.valid()) << problemText(narrow);
    EXPECT_EQ(narrow.description(), "B\u00fchne");
    EXPECT_EQ(planLines(narrow), planLines(wide));
}

TEST_F(CommandFileTest, DebugLogShowsTheKeywordSteps) {
    scanned(crlf({"DESCRIPTION: Show", "FILE_VERSION: 1", "TIME_ABSOLUTE: 14:30:00",
                  "TIME_RELATIVE: 0:0:30"}));
    EXPECT_TRUE(log_.contains("CCommandFile::SetDescription: 'Show'"));
    EXPECT_TRUE(log_.contains("CCommandFile::SetVersion: 1"));
    EXPECT_TRUE(log_.contains("CCommandFile::SetAbsoluteTime: '14:30:00'"));
    EXPECT_TRUE(log_.contains("CCommandFile::SetAbsoluteTime: set date: was: 0-0-0"));
    EXPECT_TRUE(log_.contains("CCommandFile::SetRelativeTime: '0:0:30'"));

    scanned("TIME_RELATIVE: 0:0:-1");
    EXPECT_TRUE(
        log_.contains("CCommandFile::SetRelativeTime: SystemTimeToFileTime failed: 00000057"));
}

// --- processing times ---

struct TimeCase {
    std::string name;
    LocalTime now;
    std::string text;
    CalendarTime expected;
};

TEST_F(CommandFileTest, ProcessingTimeFromTheTimeLine) {
    const std::vector<TimeCase> cases = {
        {"absolute time without date is today",
         {2024, 3, 14, 10, 0, 0, 0},
         "TIME_ABSOLUTE: 14:30:00",
         calendar(2024, 3, 14, 14, 30, 0)},
        {"absolute time with month-day-year",
         {2024, 3, 14, 10, 0, 0, 0},
         "TIME_ABSOLUTE: 14:30:00 12-24-2021",
         calendar(2021, 12, 24, 14, 30, 0)},
        {"a partly given date is dropped",
         {2024, 3, 14, 10, 0, 0, 0},
         "TIME_ABSOLUTE: 14:30:00 12-24",
         calendar(2024, 3, 14, 14, 30, 0)},
        {"relative time across the year end",
         {2023, 12, 31, 23, 59, 45, 500},
         "TIME_RELATIVE: 0:0:30",
         calendar(2024, 1, 1, 0, 0, 15)},
        {"the carry counts February as 28 days",
         {2024, 2, 28, 23, 30, 0, 0},
         "TIME_RELATIVE: 1:0:0",
         calendar(2024, 3, 1, 0, 30, 0)},
        {"a carry that lands on a month's last day stays in that month",
         {2024, 3, 30, 23, 30, 0, 0},
         "TIME_RELATIVE: 1:0:0",
         calendar(2024, 3, 31, 0, 30, 0)},
        {"a carry past a 31-day month's last day",
         {2024, 3, 31, 23, 30, 0, 0},
         "TIME_RELATIVE: 1:0:0",
         calendar(2024, 4, 1, 0, 30, 0)},
        {"a carry that lands on a 30-day month's last day",
         {2024, 4, 29, 23, 30, 0, 0},
         "TIME_RELATIVE: 1:0:0",
         calendar(2024, 4, 30, 0, 30, 0)},
        {"a carry past a 30-day month's last day",
         {2024, 4, 30, 23, 30, 0, 0},
         "TIME_RELATIVE: 1:0:0",
         calendar(2024, 5, 1, 0, 30, 0)},
        {"the last of several time lines",
         {2024, 3, 14, 10, 0, 0, 0},
         crlf({"TIME_ABSOLUTE: 14:30:00", "TIME_RELATIVE: 2:15:0"}),
         calendar(2024, 3, 14, 12, 15, 0)},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.name);
        clock_.setLocalTime(c.now);
        const CCommandFile file = scanned(c.text);
        EXPECT_TRUE(file.valid()) << problemText(file);
        EXPECT_EQ(file.processingTime(), c.expected);
        EXPECT_EQ(file.processingFileTime(), calendarToFileTime(c.expected));
    }
}

struct LineEndCase {
    std::string name;
    std::string text;
    std::vector<std::u16string> lines;
};

// Every line end a file may carry, in 8-bit and UTF-16 text alike.
TEST(CommandTextLines, CrLfLfAndLoneCrEndALine) {
    const std::vector<LineEndCase> cases = {
        {"CR LF", "a b\r\nc\r\n", {u"a b", u"c"}},
        {"LF alone", "a b\nc\n", {u"a b", u"c"}},
        {"mixed", "a\r\nb\nc", {u"a", u"b", u"c"}},
        {"lone CR", "a\rb\r", {u"a", u"b"}},
        {"CR CR LF leaves one empty line", "a\r\r\nb", {u"a", u"", u"b"}},
        {"LF CR is two ends", "a\n\rb", {u"a", u"", u"b"}},
        {"empty lines stay", "\n\na\n", {u"", u"", u"a"}},
        {"comments skipped under LF", ";x\na\n;y", {u"a"}},
        {"NUL ends a line like CR", std::string("a\0\nb", 4), {u"a", u"b"}},
        {"last line without an end", "a\nb", {u"a", u"b"}},
    };
    for (const LineEndCase& c : cases) {
        for (const bool wide : {false, true}) {
            SCOPED_TRACE(c.name + (wide ? " (UTF-16)" : " (8-bit)"));
            std::u16string units(c.text.begin(), c.text.end());
            const Bytes bytes = wide ? utf16WithMark(units) : latin1(c.text);
            CommandText text = CommandText::decode(bytes, bytes.size(), 20000, 10000);
            for (int pass = 0; pass < 2; ++pass) {
                std::vector<std::u16string> lines;
                while (const auto line = text.nextLine()) {
                    lines.emplace_back(*line);
                }
                EXPECT_EQ(lines, c.lines) << "pass " << pass;
                text.rewind();
            }
        }
    }
}

TEST(CommandTextLines, ACutFileEndsAfterItsLastLfToo) {
    const std::string text = "a\nbb\ncc";
    const Bytes bytes = latin1(text);
    CommandText cut = CommandText::decode(bytes, bytes.size() + 1, 20000, 10000);
    std::vector<std::u16string> lines;
    while (const auto line = cut.nextLine()) {
        lines.emplace_back(*line);
    }
    EXPECT_TRUE(cut.truncated());
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"a", u"bb"}));
}

TEST(Calendar, FileTimeCountsFrom1601AndRejectsImpossibleFields) {
    struct Case {
        CalendarTime time;
        std::optional<std::int64_t> expected;
    };
    constexpr std::int64_t kDay = 864'000'000'000;
    const std::vector<Case> cases = {
        {calendar(1601, 1, 1, 0, 0, 0), 0},
        {calendar(1601, 1, 2, 0, 0, 1), kDay + 10'000'000},
        {calendar(1970, 1, 1, 0, 0, 0), 116'444'736'000'000'000},
        {calendar(2024, 2, 29, 23, 59, 59), 133'537'247'990'000'000},
        {calendar(2000, 2, 29, 0, 0, 0), 125'962'560'000'000'000},
        {calendar(2023, 2, 29, 0, 0, 0), std::nullopt},
        {calendar(1900, 2, 29, 0, 0, 0), std::nullopt},
        {calendar(2024, 4, 31, 0, 0, 0), std::nullopt},
        {calendar(2024, 0, 1, 0, 0, 0), std::nullopt},
        {calendar(2024, 13, 1, 0, 0, 0), std::nullopt},
        {calendar(2024, 1, 0, 0, 0, 0), std::nullopt},
        {calendar(2024, 1, 1, 24, 0, 0), std::nullopt},
        {calendar(2024, 1, 1, 0, 60, 0), std::nullopt},
        {calendar(2024, 1, 1, 0, 0, -1), std::nullopt},
        {calendar(1600, 12, 31, 0, 0, 0), std::nullopt},
        {calendar(21, 12, 24, 0, 0, 0), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(formatCalendarTime(c.time));
        EXPECT_EQ(calendarToFileTime(c.time), c.expected);
    }
}

TEST(ScanFormatted, CountsFieldsAsScanfDoes) {
    struct Case {
        std::u16string input;
        int count;
        std::vector<std::int64_t> values;
    };
    const std::string_view format = "%hd:%hd:%hd %2hd-%2hd-%4hd";
    const std::vector<Case> cases = {
        {u"14:30:00", 3, {14, 30, 0}},
        {u"14:30:00 12-24-2021", 6, {14, 30, 0, 12, 24, 2021}},
        {u" 14: 30:\t00   1-2-3", 6, {14, 30, 0, 1, 2, 3}},
        {u"14:30:0012-24-2021", 4, {14, 30, 12, -2}},
        {u"14:30:00 123-4-2021", 4, {14, 30, 0, 12}},
        {u"14:30:00 12-24-20215", 6, {14, 30, 0, 12, 24, 2021}},
        {u"-5:+3:07", 3, {-5, 3, 7}},
        {u"14 :30:00", 1, {14}},
        {u"14:30", 2, {14, 30}},
        {u"14:-:00", 1, {14}},
        {u"x", 0, {}},
        {u"", -1, {}},
        {u"   ", -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(toUtf8(c.input));
        std::array<std::int64_t, 6> values{};
        EXPECT_EQ(scanFormatted(c.input, format, values), c.count);
        EXPECT_EQ(std::vector<std::int64_t>(values.begin(), values.begin() + c.values.size()),
                  c.values);
    }
    EXPECT_EQ(toInt16(65537), 1) << "stored into 16 bits as scanf does";
}

// --- the execute pass ---

TEST_F(CommandFileTest, BlockedListenSetsTheBitAndSendsTheWholeSet) {
    CCommandFile file = scanned(crlf({kTime, "BLOCKED_LISTEN: SET _client.1_ from _client.2_",
                                      "BLOCKED_LISTEN: SET stageleft from camera1"}));
    ASSERT_TRUE(file.valid()) << problemText(file);
    bool finished = false;
    ASSERT_TRUE(execute(file, finished));
    EXPECT_TRUE(file.processing());
    EXPECT_EQ(file.awaitedAnswer(), AwaitedAnswer::BlockedListen);
    EXPECT_EQ(drain(), std::vector<Sent>{request(msg::ADMIN_BLOCKED_LISTEN_REQUEST, 1)});

    // The server's answer: client 1 already does not hear client 7.
    model::ClientBitSet answer;
    answer.setBit(7);
    mirror_.edit([&](MirrorData& d) { d.membership.ReceiveBlockedListen(answer.bytes()); });
    model::ClientBitSet expected = answer;
    expected.setBit(2);
    const Sent update{msg::ADMIN_BLOCKED_LISTEN_UPDATE, 1,
                      Bytes(expected.bytes().begin(), expected.bytes().end())};

    ASSERT_TRUE(execute(file, finished)) << "the second line asks again";
    EXPECT_EQ(drain(), (std::vector<Sent>{update, request(msg::ADMIN_BLOCKED_LISTEN_REQUEST, 1)}));

    mirror_.edit([&](MirrorData& d) { d.membership.ReceiveBlockedListen(expected.bytes()); });
    EXPECT_FALSE(execute(file, finished));
    EXPECT_TRUE(finished);
    EXPECT_EQ(drain(), std::vector<Sent>{update}) << "the same set again";
    EXPECT_FALSE(file.waiting());
    EXPECT_EQ(file.awaitedAnswer(), AwaitedAnswer::None);
}

TEST_F(CommandFileTest, ForcedListenClearClearsTheBit) {
    CCommandFile file = scanned(crlf({kTime, "FORCED_LISTEN: CLEAR _client.12_ to _client.4_"}));
    bool finished = false;
    ASSERT_TRUE(execute(file, finished));
    EXPECT_EQ(file.awaitedAnswer(), AwaitedAnswer::ForcedListen);
    EXPECT_EQ(drain(), std::vector<Sent>{request(msg::ADMIN_FORCED_LISTEN_REQUEST, 12)});

    model::ClientBitSet answer;
    answer.setBit(4);
    answer.setBit(5);
    mirror_.edit([&](MirrorData& d) { d.membership.ReceiveForcedListen(answer.bytes()); });
    EXPECT_FALSE(execute(file, finished));
    EXPECT_TRUE(finished);
    model::ClientBitSet expected;
    expected.setBit(5);
    EXPECT_EQ(drain(),
              (std::vector<Sent>{{msg::ADMIN_FORCED_LISTEN_UPDATE, 12,
                                  Bytes(expected.bytes().begin(), expected.bytes().end())}}));
}

using model::PartyLineEntry;

Bytes membershipBytes(int partyLine, const std::vector<PartyLineEntry>& entries) {
    model::PartyLineMembership record;
    record.set(model::PartyLineMembership::kPartyLine, static_cast<std::uint16_t>(partyLine));
    record.set(model::PartyLineMembership::kEntryCount, static_cast<std::uint16_t>(entries.size()));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        record.setEntry(k, entries[k]);
    }
    const auto wire = record.wire();
    return Bytes(wire.begin(), wire.end());
}

std::vector<PartyLineEntry> entriesOf(const Bytes& payload) {
    model::PartyLineMembership record;
    record.assignPrefix(payload);
    std::vector<PartyLineEntry> entries;
    for (std::size_t k = 0; k < record.entryCount(); ++k) {
        entries.push_back(record.entry(k));
    }
    EXPECT_EQ(payload.size(), record.wireLength()) << "the head and the counted entries";
    return entries;
}

struct MembershipCase {
    std::string name;
    std::string line;
    std::vector<PartyLineEntry> before;
    std::optional<std::vector<PartyLineEntry>> after; // nothing: no update
};

TEST_F(CommandFileTest, PartyLineCommandsChangeTheMembershipRecord) {
    const std::vector<MembershipCase> cases = {
        {"ADD to an empty party line",
         "PARTY_LINE: ADD TALK to _client.12_ on _pl.3_",
         {},
         std::vector<PartyLineEntry>{{12, 1}}},
        {"ADD of an existing membership sends nothing",
         "PARTY_LINE: ADD TALK to floor.mgr on _pl.3_",
         {{1, 2}, {12, 1}},
         std::nullopt},
        {"ADD in another mode is a second membership",
         "PARTY_LINE: ADD TALK&LISTEN to _client.12_ on _pl.3_",
         {{12, 1}},
         std::vector<PartyLineEntry>{{12, 1}, {12, 3}}},
        {"REMOVE of a missing membership sends nothing",
         "PARTY_LINE: REMOVE TALK to _client.12_ on _pl.3_",
         {{12, 2}},
         std::nullopt},
        {"REMOVE moves the last entry into the gap",
         "PARTY_LINE: REMOVE LISTEN to stageleft on _pl.3_",
         {{1, 2}, {12, 1}, {5, 3}},
         std::vector<PartyLineEntry>{{5, 3}, {12, 1}}},
        {"REMOVE of the last entry",
         "PARTY_LINE: REMOVE LISTEN to _client.1_ on _pl.3_",
         {{12, 1}, {1, 2}},
         std::vector<PartyLineEntry>{{12, 1}}},
    };
    for (const MembershipCase& c : cases) {
        SCOPED_TRACE(c.name);
        CCommandFile file = scanned(crlf({kTime, c.line}));
        ASSERT_TRUE(file.valid()) << problemText(file);
        bool finished = false;
        ASSERT_TRUE(execute(file, finished));
        EXPECT_EQ(file.awaitedAnswer(), AwaitedAnswer::Membership);
        EXPECT_EQ(drain(),
                  std::vector<Sent>{request(msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST, 10103)});

        mirror_.edit([&](MirrorData& d) {
            d.membership.ReceivePartyLineMembership(membershipBytes(10103, c.before));
        });
        EXPECT_FALSE(execute(file, finished));
        EXPECT_TRUE(finished);
        const std::vector<Sent> sent = drain();
        if (!c.after) {
            EXPECT_TRUE(sent.empty());
            continue;
        }
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].id, msg::ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE);
        EXPECT_EQ(sent[0].second, 10103);
        EXPECT_EQ(entriesOf(sent[0].payload), *c.after);
    }
}

// A broken or mismatched answer stops the file: nothing is sent, the later
// lines never run, and the failure names the line and why.
TEST_F(CommandFileTest, ABrokenAnswerFailsTheFileAndSendsNothing) {
    struct Case {
        const char* name;
        std::string line;
        std::function<void(MirrorData&)> answer;
        std::string why;
    };
    const Bytes otherLine = membershipBytes(10104, {{7, 1}, {8, 2}});
    Bytes cut = membershipBytes(10103, {{1, 2}, {5, 3}});
    cut.resize(cut.size() - 10);
    const std::vector<Case> cases = {
        {"party line answer one entry short", "PARTY_LINE: ADD TALK to _client.12_ on _pl.3_",
         [&](MirrorData& d) { d.membership.ReceivePartyLineMembership(cut); },
         "PARTY_LINE: ADD on line 2: the party line membership answer holds 14 bytes where its 2 "
         "entries need 24; nothing was sent"},
        {"party line answer for another party line",
         "PARTY_LINE: REMOVE TALK to _client.7_ on _pl.3_",
         [&](MirrorData& d) { d.membership.ReceivePartyLineMembership(otherLine); },
         "PARTY_LINE: REMOVE on line 2: the membership answer is for party line label 10104, "
         "not the requested 10103; nothing was sent"},
        {"blocked listen answer one byte short", "BLOCKED_LISTEN: SET _client.1_ from _client.2_",
         [](MirrorData& d) { d.membership.ReceiveBlockedListen(Bytes(124, 0)); },
         "BLOCKED_LISTEN: SET on line 2: the blocked listen answer holds 124 bytes, not the 125 "
         "of a set; nothing was sent"},
        {"forced listen answer one byte long", "FORCED_LISTEN: CLEAR _client.1_ to _client.2_",
         [](MirrorData& d) { d.membership.ReceiveForcedListen(Bytes(126, 0)); },
         "FORCED_LISTEN: CLEAR on line 2: the forced listen answer holds 126 bytes, not the 125 "
         "of a set; nothing was sent"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCommandFile file =
            scanned(crlf({kTime, c.line, "BLOCKED_LISTEN: SET _client.3_ from _client.4_"}));
        ASSERT_TRUE(file.valid()) << problemText(file);
        bool finished = false;
        ASSERT_TRUE(execute(file, finished));
        drain();
        mirror_.edit(c.answer);

        EXPECT_FALSE(execute(file, finished));
        EXPECT_FALSE(finished);
        EXPECT_TRUE(drain().empty()) << "no update, and the next line did not run";
        ASSERT_TRUE(file.failure().has_value());
        EXPECT_EQ(*file.failure(), c.why);
        EXPECT_EQ(file.problems().back(), (Problem{2, c.why}));
        EXPECT_FALSE(file.waiting());

        EXPECT_FALSE(execute(file, finished)) << "a failed file runs no further";
        EXPECT_TRUE(drain().empty());
    }
}

TEST_F(CommandFileTest, PartyLineAddLogsItsSteps) {
    CCommandFile file = scanned(crlf({kTime, "PARTY_LINE: ADD TALK to _client.12_ on _pl.3_"}));
    bool finished = false;
    ASSERT_TRUE(execute(file, finished));
    mirror_.edit([&](MirrorData& d) {
        d.membership.ReceivePartyLineMembership(membershipBytes(10103, {{1, 2}}));
    });
    execute(file, finished);
    EXPECT_TRUE(log_.contains("CCommandFile::ParseCommandFile: Party Line Add"));
    EXPECT_TRUE(log_.contains("CCommandFile::ParseCommandFile: Add: send "
                              "ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST: Id: 10103"));
    EXPECT_TRUE(log_.contains("COMMAND_FILE_ADD: Client: 10012. type: 1, Entries: 1"));
    EXPECT_TRUE(log_.contains(
        "COMMAND_FILE_ADD: Add: Client: 10012, Idx : 12 type: 1, Entry: 1, count: 2"));
}

TEST_F(CommandFileTest, ControlPanelsAndUnknownPartyLinesArePassedOver) {
    CCommandFile file = scanned(crlf({kTime, "PARTY_LINE: ADD TALK to director on _pl.0_",
                                      "PARTY_LINE: REMOVE TALK to _client.4_ on _pl.3_",
                                      "PARTY_LINE: ADD TALK to _client.12_ on _pl.7_"}));
    ASSERT_TRUE(file.valid()) << problemText(file);
    bool finished = false;
    EXPECT_FALSE(execute(file, finished));
    EXPECT_TRUE(finished);
    EXPECT_TRUE(file.valid());
    EXPECT_TRUE(drain().empty()) << "no request for a control panel or for label 0xFFFF";
}

TEST_F(CommandFileTest, ANameGoneBeforeTheExecutePassInvalidatesAndGoesOn) {
    CCommandFile file = scanned(crlf({kTime, "BLOCKED_LISTEN: SET camera1 from _client.1_",
                                      "FORCED_LISTEN: SET _client.1_ to _client.2_"}));
    ASSERT_TRUE(file.valid());
    mirror_.edit([](MirrorData& d) { d.clients.setCredentials(2, model::initialCredentials(2)); });
    bool finished = false;
    ASSERT_TRUE(execute(file, finished));
    EXPECT_FALSE(file.valid());
    EXPECT_EQ(drain(), std::vector<Sent>{request(msg::ADMIN_FORCED_LISTEN_REQUEST, 1)});
}

TEST_F(CommandFileTest, ResendRepeatsTheWaitingRequest) {
    CCommandFile file = scanned(crlf({kTime, "PARTY_LINE: REMOVE TALK to _client.12_ on _pl.0_"}));
    EXPECT_FALSE(file.ResendRequest(environment_)) << "nothing waits yet";
    bool finished = false;
    ASSERT_TRUE(execute(file, finished));
    ASSERT_TRUE(file.ResendRequest(environment_));
    const Sent asked = request(msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST, 10100);
    EXPECT_EQ(drain(), (std::vector<Sent>{asked, asked}));
    EXPECT_EQ(file.commandKind(), CommandKind::PartyLineRemove);

    CommandEnvironment noQueue{mirror_, nullptr};
    EXPECT_FALSE(file.ResendRequest(noQueue));
}

TEST_F(CommandFileTest, AScanLeavesAWaitingFileAlone) {
    CCommandFile file = scanned(crlf({kTime, "BLOCKED_LISTEN: SET _client.1_ from _client.2_"}));
    bool finished = false;
    ASSERT_TRUE(execute(file, finished));
    EXPECT_FALSE(file.ParseCommandFile(environment_, false, finished));
    EXPECT_TRUE(file.waiting());
    EXPECT_EQ(planLines(file).size(), 1u);
}

// --- reading from disk ---

class CommandFileOnDisk : public CommandFileTest {
protected:
    CommandFileOnDisk()
        : folder_(std::filesystem::temp_directory_path() /
                  ("mirx-command-file-test-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder_);
    }
    ~CommandFileOnDisk() override { std::filesystem::remove_all(folder_); }

    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder_ / name, std::ios::binary) << bytes;
    }
    CCommandFile scan(const std::string& name) {
        CCommandFile file(folder_, name, 0);
        bool finished = false;
        EXPECT_FALSE(file.ParseCommandFile(environment_, false, finished));
        return file;
    }

    std::filesystem::path folder_;
};

TEST_F(CommandFileOnDisk, ReadsTheFileOnceAndRescansTheSameLines) {
    write("a.txt", crlf({"DESCRIPTION: disk", std::string(kTime),
                         "BLOCKED_LISTEN: SET camera1 from _client.1_"}));
    CCommandFile file = scan("a.txt");
    EXPECT_TRUE(file.valid()) << problemText(file);
    EXPECT_EQ(file.description(), "disk");

    std::filesystem::remove(folder_ / "a.txt");
    clock_.setLocalTime({2024, 3, 14, 11, 0, 0, 0});
    bool finished = false;
    EXPECT_FALSE(file.ParseCommandFile(environment_, false, finished));
    EXPECT_EQ(file.processingTime(), calendar(2024, 3, 14, 11, 0, 30))
        << "counted from the re-scan";
    EXPECT_EQ(planLines(file).size(), 1u) << "the text read before";
}

TEST_F(CommandFileOnDisk, AMissingFileHasNoLines) {
    const CCommandFile file = scan("gone.txt");
    EXPECT_FALSE(file.valid());
    EXPECT_EQ(problemLines(file), std::vector<int>{0});
    EXPECT_TRUE(log_.contains(
        "CCommandFile::GetNextLine: ERROR: Unable to open command file for reading: gone.txt"));
}

TEST_F(CommandFileOnDisk, ALongFileEndsAfterItsLastCompleteLine) {
    // The 8-bit text area holds 10000 characters and the last command
    // straddles that end: cut there, it would name client "dup".
    const std::string last = "BLOCKED_LISTEN: SET _client.1_ from dupe\r\n";
    const std::size_t lastStart =
        CCommandFile::kTextUnits -
        std::string_view("BLOCKED_LISTEN: SET _client.1_ from dup").size();
    std::string text = crlf({std::string(kTime), "BLOCKED_LISTEN: SET _client.1_ from camera1"});
    while (text.size() + 2 * 60 < lastStart) {
        text += ";" + std::string(57, '-') + "\r\n";
    }
    text += ";" + std::string(lastStart - text.size() - 3, '-') + "\r\n" + last;
    ASSERT_EQ(text.substr(0, CCommandFile::kTextUnits).substr(lastStart),
              "BLOCKED_LISTEN: SET _client.1_ from dup");
    write("long.txt", text);

    const CCommandFile file = scan("long.txt");
    EXPECT_TRUE(file.truncated());
    EXPECT_TRUE(file.valid()) << problemText(file);
    EXPECT_EQ(planLines(file),
              std::vector<std::string>{"2: block N002 (Stage Left) from hearing N003 (Camera 1)"});
}

} // namespace
} // namespace mirx::commandfiles
