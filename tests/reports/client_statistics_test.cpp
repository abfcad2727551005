#include "reports/client_statistics.h"
#include "tests/model/client_site.h"
#include "tests/support/log_capture.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace mirx::reports {
namespace {

using S = model::ClientStatistics;
using C = StatisticsColumn;

TEST(StatisticsDurations, BothFormats) {
    struct Case {
        std::int64_t seconds;
        const char* a;
        const char* b;
    };
    const Case cases[] = {
        {0, "0s", "0s"},
        {59, "59s", "59s"},
        {60, "1m, 0s", "1m, 0s"},
        {61, "1m, 1s", "1m, 1s"},
        {299, "4m, 59s", "4m, 59s"},
        {300, "5m, 0s", "5m"},
        {3599, "59m, 59s", "59m"},
        {3600, "1h, 0m", "1h, 0m"},
        {3 * 3600 + 125, "3h, 2m", "3h, 2m"},
        {86400, "1d, 0h, 0m", "1d, 0h, 0m"},
        {2 * 86400 + 5 * 3600 + 7 * 60 + 9, "2d, 5h, 7m", "2d, 5h, 7m"},
        // A server clock that stepped back reads as no time.
        {-5, "0s", "0s"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(durationText(c.seconds), c.a) << c.seconds;
        EXPECT_EQ(disconnectedDurationText(c.seconds), c.b) << c.seconds;
    }
}

TEST(StatisticsSeverity, Colours) {
    EXPECT_EQ(severityColour(Severity::None), std::nullopt);
    EXPECT_EQ(severityColour(Severity::Online), (Rgb{0, 100, 0}));
    EXPECT_EQ(severityColour(Severity::Loss), (Rgb{255, 128, 0}));
    EXPECT_EQ(severityColour(Severity::Disconnected), (Rgb{220, 0, 0}));
}

TEST(StreamHistory, FirstSampleHasNoStepsThenPerSecondFigures) {
    StreamHistory h;
    EXPECT_TRUE(h.cleared());
    auto f = h.add({1000, 100, 0});
    EXPECT_FALSE(h.cleared());
    EXPECT_EQ(f.bytes, 0u);
    EXPECT_EQ(f.loss.lastSecond, 0);
    EXPECT_EQ(f.loss.lastMinute, 0);
    f = h.add({3000, 148, 2});
    EXPECT_EQ(f.bytes, 2000u);
    EXPECT_DOUBLE_EQ(f.loss.lastSecond, 4.0); // 2 of 50
    EXPECT_DOUBLE_EQ(f.loss.lastMinute, 4.0);
    EXPECT_DOUBLE_EQ(f.loss.sinceLogin, 2.0 * 100 / 150);
    f = h.add({5000, 198, 2});
    EXPECT_EQ(f.loss.lastSecond, 0);
    EXPECT_DOUBLE_EQ(f.loss.lastMinute, 2.0); // 2 of 100
    h.clear();
    EXPECT_TRUE(h.cleared());
    EXPECT_EQ(h.add({9000, 300, 9}).bytes, 0u);
}

TEST(StreamHistory, MinuteForgetsTheSecondSixtySecondsAgo) {
    StreamHistory h;
    h.add({1, 1, 1});
    h.add({1, 51, 11}); // 10 lost of 60 in this second
    std::uint32_t delivered = 51;
    StreamHistory::Figures f;
    for (int second = 0; second < 59; ++second) {
        delivered += 50;
        f = h.add({1, delivered, 11});
    }
    EXPECT_GT(f.loss.lastMinute, 0) << "still within the minute";
    delivered += 50;
    f = h.add({1, delivered, 11});
    EXPECT_EQ(f.loss.lastMinute, 0) << "the lossy second left the ring";
}

TEST(StreamHistory, FirstLostPacketsCount) {
    StreamHistory h;
    h.add({100, 50, 0});
    const auto f = h.add({200, 98, 2}); // the counter leaves 0
    EXPECT_DOUBLE_EQ(f.loss.lastSecond, 4.0);
}

TEST(StreamHistory, EdgeCounters) {
    StreamHistory h;
    // Every packet lost: 100 %, never 0 %.
    h.add({10, 5, 5});
    auto f = h.add({10, 5, 25});
    EXPECT_DOUBLE_EQ(f.loss.lastSecond, 100.0);
    EXPECT_DOUBLE_EQ(f.loss.lastMinute, 100.0);
    // A byte counter passing 2^32 still gives its true step.
    StreamHistory wrap;
    wrap.add({0xFFFFFF00u, 1, 0});
    EXPECT_EQ(wrap.add({0x100u, 2, 0}).bytes, 0x200u);
    // Counters near 2^32 do not overflow the since-login share.
    StreamHistory big;
    f = big.add({1, 0xF0000000u, 0x20000000u});
    EXPECT_NEAR(f.loss.sinceLogin, 100.0 * 0x20000000u / (double{0xF0000000u} + 0x20000000u), 1e-9);
}

// Clients: 0 control panel, 1 device interface, 2 SIP device, 3 video
// source, 4 control panel never seen.
class StatisticsRowsTest : public ::testing::Test {
protected:
    static constexpr std::int64_t kNow = 1'000'000;

    StatisticsRowsTest() {
        site::addClient(site, 10000, 0, 10, "Desk", "Front desk", "desk", "");
        site::addClient(site, 10001, 1, 50, "Stage", "Stage box", "stage", "");
        site::addClient(site, 10002, 2, 104, "Phone", "Lobby phone", "phone", "");
        site::addClient(site, 10003, 3, 150, "Camera", "Camera one", "cam", "");
        site::addClient(site, 10004, 4, 11, "Spare", "", "spare", "");
        model::test::labelOf(site, 10000).set(model::LabelInfo::kListenOnlyName, "Desk L");
        data = model::test::loadSite(site);
        table = std::make_unique<model::StatisticsTable>();
        table->set(model::StatisticsTable::kServerTime, kNow);
        for (int i = 0; i < 4; ++i) {
            S e = online(i);
            table->setClient(static_cast<std::size_t>(i), e);
        }
    }

    static S online(int index) {
        S e;
        e.setBit(S::kFlags, S::kFlagOnline, true);
        e.set(S::kLastChangeTime, kNow - 61);
        e.set(S::kProcessorPercent, std::uint8_t{20});
        e.set(S::kSecondProcessorPercent, std::uint8_t{7});
        e.set(S::kBatteryPercent, S::kPercentNotAvailable);
        e.set(S::kSendJitterPeakMs, std::int16_t{4});
        e.set(S::kSendJitterBufferMs, std::int16_t{40});
        e.set(S::kReceiveJitterPeakMs, S::kMsNotAvailable);
        e.set(S::kReceiveJitterBufferMs, std::int16_t{60});
        e.set(S::kAddress, std::uint32_t{0x6401A8C0u + static_cast<std::uint32_t>(index << 24)});
        e.set(S::kVersion, model::packClientVersion({6, 2, 1, 17, 5, 0}));
        return e;
    }
    S& edit(int index) {
        entries[index] = table->client(static_cast<std::size_t>(index));
        return entries[index];
    }
    void put(int index) { table->setClient(static_cast<std::size_t>(index), entries[index]); }

    std::vector<StatisticsRow> refresh(StatisticsFilter filter = {}, bool debug = false) {
        return refreshStatistics(data->labels, *table, history, filter, debug);
    }
    static const StatisticsRow& rowOf(const std::vector<StatisticsRow>& rows, int index) {
        const auto it = std::find_if(rows.begin(), rows.end(), [&](const StatisticsRow& r) {
            return r.clientIndex == index;
        });
        EXPECT_NE(it, rows.end()) << "client " << index << " not shown";
        static const StatisticsRow none;
        return it == rows.end() ? none : *it;
    }
    static std::vector<int> indexes(const std::vector<StatisticsRow>& rows) {
        std::vector<int> out;
        for (const auto& r : rows) {
            out.push_back(r.clientIndex);
        }
        return out;
    }

    mirx::test::LogCapture log;
    site::Site site;
    std::unique_ptr<model::MirrorData> data;
    std::unique_ptr<model::StatisticsTable> table;
    StatisticsHistory history;
    std::map<int, S> entries;
};

TEST_F(StatisticsRowsTest, TheBoxesDecideWhichClientsAreShown) {
    struct Case {
        StatisticsFilter filter;
        std::vector<int> shown;
    };
    const Case cases[] = {
        {{}, {0, 1, 2, 3}},
        {{true, true, true, true}, {0, 1, 2, 3, 4}},
        {{false, false, true, true}, {1, 2, 3}},
        {{false, true, false, true}, {0, 2, 3}},
        {{true, false, true, false}, {1, 3}},
        // Video sources stay whatever the type boxes say.
        {{false, false, false, false}, {3}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(indexes(refresh(c.filter)), c.shown);
    }
}

TEST_F(StatisticsRowsTest, FirstSampleShowsDashesThenRatesAndLoss) {
    S& e = edit(0);
    e.set(S::kSendBytesAfterEncoding, 10'000u);
    e.set(S::kSendDelivered, 1000u);
    e.set(S::kReceiveDelivered, 1000u);
    e.set(S::kReceiveBytesBeforeDecoding, 20'000u);
    put(0);
    auto row = rowOf(refresh(), 0);
    EXPECT_EQ(row.cell(C::Client), "Desk / Desk L ");
    EXPECT_EQ(row.cell(C::TypeShort), "MCP");
    EXPECT_EQ(row.cell(C::State), "On-Line");
    EXPECT_EQ(row.cell(C::Duration), "1m, 1s");
    for (const C c :
         {C::SendRate, C::SendLossSecond, C::SendLossMinute, C::SendLossLogin, C::ReceiveRate,
          C::ReceiveLossSecond, C::DisconnectEvents, C::DisconnectedTime}) {
        EXPECT_EQ(row.cell(c), "-") << static_cast<int>(c);
    }
    EXPECT_EQ(row.cell(C::SendJitter), "- (40)");
    EXPECT_EQ(row.cell(C::ReceiveJitter), "n/a (60)");
    EXPECT_EQ(row.severity, Severity::Online);

    e.set(S::kSendBytesAfterEncoding, 12'000u);
    e.set(S::kSendDelivered, 1048u);
    e.set(S::kSendLost, 2u);
    e.set(S::kReceiveBytesBeforeDecoding, 20'500u);
    e.set(S::kReceiveDelivered, 1050u);
    put(0);
    row = rowOf(refresh(), 0);
    EXPECT_EQ(row.cell(C::SendRate), "16.000");
    EXPECT_EQ(row.cell(C::SendLossSecond), "4.00");
    EXPECT_EQ(row.cell(C::SendLossMinute), "4.00");
    EXPECT_EQ(row.cell(C::SendLossLogin), "0.19");
    EXPECT_EQ(row.cell(C::SendJitter), "4 (40)");
    EXPECT_EQ(row.cell(C::ReceiveRate), " 4.000");
    EXPECT_EQ(row.cell(C::ReceiveLossSecond), "0.00");
    EXPECT_EQ(row.severity, Severity::Loss);
}

TEST_F(StatisticsRowsTest, SinceLoginLossColoursOnlyTheReceiveSide) {
    struct Case {
        bool receive;
        Severity severity;
    };
    for (const Case c : {Case{true, Severity::Loss}, Case{false, Severity::Online}}) {
        history.resetAll();
        S& e = edit(1);
        e.set(c.receive ? S::kReceiveDelivered : S::kSendDelivered, 999u);
        e.set(c.receive ? S::kReceiveLost : S::kSendLost, 1u);
        e.set(c.receive ? S::kSendDelivered : S::kReceiveDelivered, 0u);
        e.set(c.receive ? S::kSendLost : S::kReceiveLost, 0u);
        put(1);
        refresh();
        const auto row = rowOf(refresh(), 1); // no new loss
        EXPECT_EQ(row.cell(c.receive ? C::ReceiveLossLogin : C::SendLossLogin), "0.10");
        EXPECT_EQ(row.cell(c.receive ? C::ReceiveLossSecond : C::SendLossSecond), "0.00");
        EXPECT_EQ(row.severity, c.severity) << (c.receive ? "receive" : "send");
    }
}

TEST_F(StatisticsRowsTest, OfflineClientWithDisconnects) {
    S& e = edit(0);
    e.setBit(S::kFlags, S::kFlagOnline, false);
    e.set(S::kLastChangeTime, kNow - 400);
    e.set(S::kDisconnectEvents, 2);
    e.set(S::kDisconnectedSeconds, std::int64_t{100});
    put(0);
    const auto row = rowOf(refresh({}, true), 0);
    EXPECT_EQ(row.cell(C::State), "Off-Line");
    EXPECT_EQ(row.cell(C::DisconnectEvents), "2");
    EXPECT_EQ(row.cell(C::DisconnectedTime), "8m"); // 100 + 400 seconds
    EXPECT_EQ(row.cell(C::Duration), "6m, 40s");
    for (const C c : {C::SendRate, C::SendJitter, C::ReceiveJitter, C::Cpu, C::Battery, C::Rabap}) {
        EXPECT_EQ(row.cell(c), "-") << static_cast<int>(c);
    }
    EXPECT_EQ(row.severity, Severity::Disconnected);
    EXPECT_TRUE(history.client(0).receive.cleared());

    // On-line with events: the count shows, the row is not red.
    e.setBit(S::kFlags, S::kFlagOnline, true);
    put(0);
    const auto back = rowOf(refresh(), 0);
    EXPECT_EQ(back.cell(C::DisconnectedTime), "1m, 40s");
    EXPECT_EQ(back.severity, Severity::Online);
}

TEST_F(StatisticsRowsTest, GoingOfflineClearsTheHistory) {
    S& e = edit(0);
    e.set(S::kSendBytesAfterEncoding, 1000u);
    e.set(S::kSendDelivered, 10u);
    put(0);
    refresh();
    e.setBit(S::kFlags, S::kFlagOnline, false);
    put(0);
    refresh();
    e.setBit(S::kFlags, S::kFlagOnline, true);
    e.set(S::kSendBytesAfterEncoding, 9000u);
    e.set(S::kSendDelivered, 90u);
    put(0);
    EXPECT_EQ(rowOf(refresh(), 0).cell(C::SendRate), "-") << "no step across the off-line time";
}

TEST_F(StatisticsRowsTest, HiddenClientsKeepTheirHistoryCurrent) {
    S& e = edit(1);
    e.set(S::kSendBytesAfterEncoding, 1000u);
    e.set(S::kSendDelivered, 10u);
    put(1);
    refresh();
    const StatisticsFilter noDevices{false, true, false, true};
    for (std::uint32_t second = 1; second <= 5; ++second) {
        e.set(S::kSendBytesAfterEncoding, 1000u + second * 1000u);
        put(1);
        refresh(noDevices);
    }
    e.set(S::kSendBytesAfterEncoding, 7000u);
    put(1);
    // One second's step, not the six seconds since it was last shown.
    EXPECT_EQ(rowOf(refresh(), 1).cell(C::SendRate), " 8.000");
}

TEST_F(StatisticsRowsTest, ProcessorBatteryAddressAndVersionTexts) {
    S& panel = edit(0);
    panel.set(S::kBatteryPercent, std::uint8_t{76});
    panel.set(S::kBatteryState, std::uint8_t{1});
    put(0);
    S& device = edit(1);
    device.set(S::kBatteryPercent, std::uint8_t{40});
    device.set(S::kBatteryState, std::uint8_t{3});
    device.set(S::kProcessorPercent, S::kPercentNotAvailable);
    device.set(S::kVersion, 0x06020100u); // the older packing
    put(1);
    S& phone = edit(2);
    phone.set(S::kBatteryPercent, std::uint8_t{50});
    put(2);
    auto rows = refresh();
    EXPECT_EQ(rowOf(rows, 0).cell(C::Cpu), "20%");
    EXPECT_EQ(rowOf(rows, 0).cell(C::Battery), "76%(-)");
    EXPECT_TRUE(rowOf(rows, 0).showsBatteryPercent);
    EXPECT_EQ(rowOf(rows, 0).cell(C::Address), "192.168.1.100");
    EXPECT_EQ(rowOf(rows, 0).cell(C::Version), "6.2.1-17 (Linux)");
    EXPECT_EQ(rowOf(rows, 1).cell(C::Cpu), "n/a");
    EXPECT_EQ(rowOf(rows, 1).cell(C::Battery), "40%(+)");
    EXPECT_EQ(rowOf(rows, 1).cell(C::Version), "6.2.1-0 (Unknown)");
    EXPECT_EQ(rowOf(rows, 2).cell(C::Battery), "n/a");
    EXPECT_FALSE(rowOf(rows, 2).showsBatteryPercent);
    EXPECT_EQ(rowOf(rows, 2).cell(C::Version), "n/a");
    EXPECT_EQ(rowOf(rows, 3).cell(C::Battery), "n/a");
    EXPECT_EQ(rowOf(refresh({}, true), 0).cell(C::Cpu), "20% (7%)");

    // An address or version of 0 keeps the last one known.
    panel.set(S::kAddress, 0u);
    panel.set(S::kVersion, 0u);
    put(0);
    rows = refresh();
    EXPECT_EQ(rowOf(rows, 0).cell(C::Address), "192.168.1.100");
    EXPECT_EQ(rowOf(rows, 0).cell(C::Version), "6.2.1-17 (Linux)");
}

TEST_F(StatisticsRowsTest, EditedLabelTextsShowAtTheNextRefresh) {
    // Each edit follows the previous ones; the texts are kept between
    // refreshes only while the label's texts stay as they were.
    struct Case {
        std::function<void(model::LabelTable&)> edit;
        const char* client;
        const char* description;
    };
    const Case cases[] = {
        {[](model::LabelTable&) {}, "Desk / Desk L ", "Front desk"},
        {[](model::LabelTable& l) { l.SetTalkListenName(10000, "Counter"); }, "Counter / Desk L ",
         "Front desk"},
        {[](model::LabelTable& l) { l.SetListenOnlyName(10000, ""); }, "Counter", "Front desk"},
        {[](model::LabelTable& l) { l.SetDescription(10000, "Back desk"); }, "Counter",
         "Back desk"},
        {[](model::LabelTable& l) {
             l.SetExternalLongName(10000, "Desk ext");
             l.SetTalkListenName(10000, "");
         },
         "Desk ext", "Back desk"},
    };
    for (const Case& c : cases) {
        c.edit(data->labels);
        const auto rows = refresh();
        EXPECT_EQ(rowOf(rows, 0).cell(C::Client), c.client);
        EXPECT_EQ(rowOf(rows, 0).cell(C::Description), c.description);
    }
}

TEST_F(StatisticsRowsTest, ShortAnswerShowsTheMissingClientsAsNeverSeen) {
    std::vector<std::uint8_t> payload(table->view().begin(),
                                      table->view().begin() + 12 + 2 * S::kSize + 30);
    EXPECT_EQ(model::storeStatistics(*table, payload), 2u);
    EXPECT_EQ(indexes(refresh()), (std::vector<int>{0, 1}));
}

TEST_F(StatisticsRowsTest, CompareByColumn) {
    S& desk = edit(0);
    desk.set(S::kBatteryPercent, std::uint8_t{90});
    put(0);
    S& stage = edit(1);
    stage.set(S::kLastChangeTime, kNow - 5);
    stage.set(S::kBatteryPercent, std::uint8_t{30});
    put(1);
    S& phone = edit(2);
    phone.setBit(S::kFlags, S::kFlagOnline, false);
    put(2);
    const auto rows = refresh();
    const auto& d = rowOf(rows, 0); // "Desk / Desk L ", control panel
    const auto& s = rowOf(rows, 1); // "Stage", device interface
    const auto& p = rowOf(rows, 2); // "Phone", SIP, off-line
    const auto& c = rowOf(rows, 3); // "Camera", video
    struct Case {
        C column;
        const StatisticsRow* before;
        const StatisticsRow* after;
    };
    const Case cases[] = {
        {C::TypeShort, &d, &s}, {C::TypeShort, &p, &c},   {C::Client, &c, &d},
        {C::Client, &p, &s},    {C::State, &s, &p},       {C::State, &c, &s},
        {C::Duration, &s, &d},  {C::Battery, &s, &d},     {C::Battery, &d, &p},
        {C::Address, &d, &s},   {C::Description, &c, &d}, {C::SendRate, &d, &s},
        {C::Cpu, &s, &p},
    };
    for (const Case& k : cases) {
        EXPECT_LT(compareStatisticsRows(*k.before, *k.after, static_cast<int>(k.column)), 0)
            << static_cast<int>(k.column) << ": " << k.before->clientIndex << " before "
            << k.after->clientIndex;
        EXPECT_GT(compareStatisticsRows(*k.after, *k.before, static_cast<int>(k.column)), 0);
    }
    EXPECT_EQ(compareStatisticsRows(d, d, 1), 0);
}

TEST_F(StatisticsRowsTest, TextTableCutsTheDebugColumns) {
    const auto rows = refresh();
    const TextTableView plain = statisticsTableView(rows, false);
    ASSERT_EQ(plain.headers.size(), 21u);
    EXPECT_EQ(plain.headers.front(), kTypeExportHeader);
    EXPECT_EQ(plain.headers.back(), "Description");
    ASSERT_EQ(plain.rows, rows.size());
    ASSERT_EQ(plain.cells.size(), rows.size() * 21u);
    EXPECT_EQ(plain.cells[1], rows.front().cell(C::Client));
    EXPECT_EQ(plain.cells[21 + 20], rows[1].cell(C::Description));
    const TextTableView debug = statisticsTableView(rows, true);
    EXPECT_EQ(debug.headers.back(), "RAPDFRS");
    EXPECT_EQ(debug.cells[26 + 25], rows[1].cell(C::Rapdfrs));
}

TEST_F(StatisticsRowsTest, CsvBytesOfTwoSamples) {
    // Every kind of cell the export writes, after a second sample: rates and
    // loss, a listen-only name, an off-line client with disconnects, battery
    // states, texts kept from the first sample and durations holding commas.
    S& desk = edit(0);
    desk.set(S::kBatteryPercent, std::uint8_t{76});
    desk.set(S::kBatteryState, std::uint8_t{1});
    desk.set(S::kSendBytesAfterEncoding, 10'000u);
    desk.set(S::kSendDelivered, 1000u);
    desk.set(S::kReceiveDelivered, 1000u);
    desk.set(S::kReceiveLost, 3u);
    desk.set(S::kLastChangeTime, kNow - 90'061);
    put(0);
    S& stage = edit(1);
    stage.setBit(S::kFlags, S::kFlagOnline, false);
    stage.set(S::kLastChangeTime, kNow - 4000);
    stage.set(S::kDisconnectEvents, 3);
    stage.set(S::kDisconnectedSeconds, std::int64_t{100});
    put(1);
    S& phone = edit(2);
    phone.set(S::kProcessorPercent, S::kPercentNotAvailable);
    phone.set(S::kSendJitterPeakMs, S::kMsNotAvailable);
    phone.set(S::kLastChangeTime, kNow - 3);
    put(2);
    refresh();
    desk.set(S::kSendBytesAfterEncoding, 12'500u);
    desk.set(S::kSendDelivered, 1050u);
    desk.set(S::kSendLost, 1u);
    desk.set(S::kReceiveDelivered, 1049u);
    desk.set(S::kAddress, 0u);
    put(0);
    const auto rows = refresh({true, true, true, true});
    EXPECT_EQ(csvText(statisticsTableView(rows, false)),
              "Type,Client,State,Duration,DEC,DSCD,SARAE,SAPLLS,SAPLLM,SAPLSL,SA Jitter,RARBD,"
              "RAPLLS,RAPLLM,RAPLSL,RA Jitter,CPU,Battery,IP Address,Version,Description\r\n"
              "MCP,Desk / Desk L ,On-Line,\"1d, 1h, 1m\",-,-,20.000,1.96,1.96,0.10,4 (40),-,0.00,"
              "0.00,0.29,n/a (60),20%,76%(-),192.168.1.100,6.2.1-17 (Linux),Front desk\r\n"
              "MDV,Stage,Off-Line,\"1h, 6m\",3,\"1h, 8m\",-,-,-,-,-,-,-,-,-,-,-,-,192.168.1.101,"
              "6.2.1-17 (Linux),Stage box\r\n"
              "SIP,Phone,On-Line,3s,-,-,-,-,-,-,n/a (40),-,-,-,-,n/a (60),n/a,n/a,192.168.1.102,"
              "n/a,Lobby phone\r\n"
              "VIDEO,Camera,On-Line,\"1m, 1s\",-,-,-,-,-,-,'- (40),-,-,-,-,n/a (60),20%,n/a,"
              "192.168.1.103,n/a,Camera one\r\n"
              "MCP,Spare,Off-Line,,-,-,-,-,-,-,-,-,-,-,-,-,-,-,,,\r\n");
}

} // namespace
} // namespace mirx::reports
