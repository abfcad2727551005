// The client statistics view against the simulator, on the offscreen
// platform.
#include "core/message_ids.h"
#include "model/statistics.h"
#include "monitor/client_statistics_dialog.h"
#include "monitor/list_export.h"
#include "monitor/report_dialogs.h"
#include "reports/client_statistics.h"
#include "shell/common/record_list.h"
#include "tests/shell/scripted_chooser.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_server.h"

#include <chrono>
#include <memory>
#include <thread>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using mirx::monitor::CClientStatisticsDlg;
using mirx::reports::Severity;
using mirx::reports::StatisticsColumn;
using mirx::reports::StatisticsRow;

namespace {

constexpr int kWaitMs = 10000;

constexpr int kCpuColumn = static_cast<int>(StatisticsColumn::Cpu);
constexpr int kBatteryColumn = static_cast<int>(StatisticsColumn::Battery);

const StatisticsRow* rowOf(const CClientStatisticsDlg& view, int clientIndex) {
    for (const StatisticsRow& row : view.model()->rows()) {
        if (row.clientIndex == clientIndex) {
            return &row;
        }
    }
    return nullptr;
}

std::string cellOf(const CClientStatisticsDlg& view, int clientIndex, StatisticsColumn column) {
    const StatisticsRow* row = rowOf(view, clientIndex);
    return row == nullptr ? std::string("(not shown)") : std::string(row->cell(column));
}

// Client indexes of the rows that satisfy `pick`.
template <typename Pick>
std::vector<int> clientsWhere(const CClientStatisticsDlg& view, Pick pick) {
    std::vector<int> out;
    for (const StatisticsRow& row : view.model()->rows()) {
        if (pick(row)) {
            out.push_back(row.clientIndex);
        }
    }
    return out;
}

} // namespace

class StatisticsViewTest : public QObject {
    Q_OBJECT

private:
    mirx::test::LogCapture log_;
    std::unique_ptr<mirx::test::ShellFixture> fixture_;

    std::unique_ptr<CClientStatisticsDlg> openView() {
        auto view = std::make_unique<CClientStatisticsDlg>(fixture_->context());
        view->show();
        return view;
    }

    // Waits for `count` more refreshes.
    static bool refreshed(const CClientStatisticsDlg& view, std::size_t count = 1) {
        const std::size_t until = view.refreshCount() + count;
        QElapsedTimer timer;
        timer.start();
        while (view.refreshCount() < until && timer.elapsed() < kWaitMs) {
            QTest::qWait(20);
        }
        return view.refreshCount() >= until;
    }

private slots:
    void init() { fixture_ = std::make_unique<mirx::test::ShellFixture>(); }

    void cleanup() {
        fixture_->link().StopLink();
        fixture_.reset();
    }

    void showsEveryClientSeenWithItsStateAndColour() {
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        auto view = openView();
        QAbstractItemModelTester tester(view->list()->proxy(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(view->windowTitle(), QString("MIRX Client Statistics"));
        QVERIFY2(mirx::test::windowFitProblem(*view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(*view)));
        QVERIFY(refreshed(*view, 2));

        const auto& site = fixture_->site;
        QCOMPARE(view->model()->rows().size(), site.behaviour.size());
        for (const auto& [index, behaviour] : site.behaviour) {
            const StatisticsRow* row = rowOf(*view, index);
            QVERIFY(row != nullptr);
            QCOMPARE(std::string(row->cell(StatisticsColumn::State)),
                     std::string(behaviour.online ? "On-Line" : "Off-Line"));
            // The simulator counts one disconnect for every client off-line;
            // its lossy links lose a packet now and then.
            if (!behaviour.online) {
                QCOMPARE(row->severity, Severity::Disconnected);
            } else if (behaviour.lossPerMille == 0) {
                QCOMPARE(row->severity, Severity::Online);
            } else {
                QVERIFY(row->severity == Severity::Online || row->severity == Severity::Loss);
            }
        }
        const QVariant colour = view->model()->data(view->model()->index(0, 0), Qt::ForegroundRole);
        QVERIFY(colour.isValid());

        QTableView* table = view->list()->table();
        QCOMPARE(table->horizontalHeader()->sortIndicatorSection(), 0);
        for (int column = mirx::reports::kFirstDebugColumn; column < 26; ++column) {
            QVERIFY(table->isColumnHidden(column));
        }
        QCOMPARE(table->horizontalHeader()->sectionSize(kCpuColumn), 40);
        // The demo's runner carries a battery: the column opened at 60.
        QVERIFY(!table->isColumnHidden(kBatteryColumn));
        QCOMPARE(table->horizontalHeader()->sectionSize(kBatteryColumn), 60);
        // Wide enough for the longest name.
        const QFontMetrics metrics(table->font());
        int widest = 0;
        for (const StatisticsRow& row : view->model()->rows()) {
            widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(
                                          std::string(row.cell(StatisticsColumn::Client)))));
        }
        QVERIFY(table->horizontalHeader()->sectionSize(1) >= widest);

        // On-line clients show a rate once two samples lie a simulator tick
        // apart; two answers within one tick (a loaded machine) show none yet.
        const auto online = clientsWhere(*view, [](const StatisticsRow& r) { return r.online; });
        QVERIFY(!online.empty());
        bool rateShown = false;
        for (int refresh = 0; refresh < 5 && !rateShown; ++refresh) {
            QVERIFY(refreshed(*view));
            rateShown = cellOf(*view, online.front(), StatisticsColumn::SendRate) != "-";
        }
        QVERIFY(rateShown);
    }

    void asksAtMostOncePerSecond() {
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        QElapsedTimer timer;
        timer.start();
        auto view = openView();
        QVERIFY(refreshed(*view, 3));
        // Three answers need two full spacings.
        QVERIFY(timer.elapsed() >= 2 * CClientStatisticsDlg::kRequestSpacingMs - 100);
        QVERIFY(fixture_->served.received("ADMIN_CLIENT_STATISTICS_REQUEST") <=
                view->refreshCount() + 1);
    }

    void checkBoxesTakeEffectAtTheNextRefresh() {
        // A client the server never saw.
        const int unseen = fixture_->site.behaviour.begin()->first;
        fixture_->site.behaviour.erase(unseen);
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        auto view = openView();
        QVERIFY(refreshed(*view));
        QVERIFY(!view->unusedBox()->isChecked());
        QVERIFY(rowOf(*view, unseen) == nullptr);
        QVERIFY(
            !clientsWhere(*view, [](const StatisticsRow& r) { return r.typeClass == 10; }).empty());

        view->unusedBox()->setChecked(true);
        QVERIFY(refreshed(*view));
        QCOMPARE(cellOf(*view, unseen, StatisticsColumn::Duration), std::string());
        QCOMPARE(cellOf(*view, unseen, StatisticsColumn::State), std::string("Off-Line"));

        view->controlPanelsBox()->setChecked(false);
        QVERIFY(refreshed(*view));
        QVERIFY(
            clientsWhere(*view, [](const StatisticsRow& r) { return r.typeClass == 10; }).empty());
    }

    void resetReachesTheSimulator() {
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        auto view = openView();
        QVERIFY(refreshed(*view));
        const auto disconnected = clientsWhere(*view, [](const StatisticsRow& r) {
            return r.cell(StatisticsColumn::DisconnectEvents) == "1";
        });
        QVERIFY(disconnected.size() >= 2);
        const int chosen = disconnected[0];
        const int other = disconnected[1];

        // One client: no question, only its count goes.
        QVERIFY(view->list()->selectKey(chosen));
        view->resetButton()->click();
        QVERIFY(fixture_->prompter.asked.empty());
        QTRY_COMPARE_WITH_TIMEOUT(cellOf(*view, chosen, StatisticsColumn::DisconnectEvents),
                                  std::string("-"), kWaitMs);
        QCOMPARE(cellOf(*view, other, StatisticsColumn::DisconnectEvents), std::string("1"));

        // Activating the chosen row again lets go of it.
        emit view->list()->activated(chosen);
        emit view->list()->activated(chosen);
        QCOMPARE(view->list()->selectedKey(), mirx::shell::RecordListModel::kNoKey);

        // All clients: asked first; No sends nothing.
        const std::size_t resets = fixture_->served.received("ADMIN_CLIENT_STATISTICS_RESET");
        fixture_->prompter.answers = {false};
        view->resetButton()->click();
        QCOMPARE(fixture_->prompter.asked.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.asked[0].caption, QString("MIRX Client Statistics Reset"));
        QCOMPARE(
            fixture_->prompter.asked[0].text,
            QString("WARNING: Are you sure you wish to reset the statistics for all clients?"));
        QVERIFY(refreshed(*view));
        QCOMPARE(fixture_->served.received("ADMIN_CLIENT_STATISTICS_RESET"), resets);
        QCOMPARE(cellOf(*view, other, StatisticsColumn::DisconnectEvents), std::string("1"));

        fixture_->prompter.answers = {true};
        view->resetButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(cellOf(*view, other, StatisticsColumn::DisconnectEvents),
                                  std::string("-"), kWaitMs);
    }

    void legendShowsItsText() {
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        auto view = openView();
        view->legendButton()->click();
        QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.told[0].caption, QString("Client Statistics Legend"));
        const QString text = fixture_->prompter.told[0].text;
        QVERIFY(text.startsWith("DEC:\tDisconnect Event Count     \nDSCD:\t"));
        QVERIFY(text.endsWith("\n\n* The first jitter value is highest network jitter       \n"
                              "  recorded in the last second and the second jitter      \n"
                              "  value is the current jitter buffer size.\n"));
    }

    void debugShowsItsColumns() {
        fixture_->startServer();
        fixture_->context().debugControls = true;
        QVERIFY(fixture_->logIn());
        auto view = openView();
        QVERIFY(refreshed(*view));
        QTableView* table = view->list()->table();
        for (int column = mirx::reports::kFirstDebugColumn; column < 26; ++column) {
            QVERIFY(!table->isColumnHidden(column));
        }
        QCOMPARE(table->horizontalHeader()->sectionSize(kCpuColumn), 80);
        const auto loaded = clientsWhere(*view, [](const StatisticsRow& r) {
            return r.online && r.cell(StatisticsColumn::Cpu) != "n/a";
        });
        QVERIFY(!loaded.empty());
        QVERIFY(QString::fromStdString(cellOf(*view, loaded.front(), StatisticsColumn::Cpu))
                    .contains(QRegularExpression("^\\d+% \\(\\d+%\\)$")));
    }

    void copyAndSaveTakeTheShownRows() {
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        auto view = openView();
        QVERIFY(refreshed(*view));
        view->list()->filterBox()->setText("On-Line");
        const int shown = view->list()->proxy()->rowCount();
        QVERIFY(shown > 0 && shown < static_cast<int>(view->model()->rows().size()));

        view->exporter()->copyButton()->click();
        const QStringList lines =
            QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), shown + 1);
        QVERIFY(lines[0].startsWith("Type\tClient\tState\tDuration\tDEC\tDSCD\t"));
        QVERIFY(!lines[0].contains("RABAP"));
        QVERIFY(lines[1].contains("\tOn-Line\t"));

        QTemporaryDir dir;
        const QString path = dir.filePath("stats.csv");
        mirx::test::ScriptedChooser chooser;
        chooser.savePath = path;
        fixture_->context().chooser = &chooser;
        view->exporter()->saveButton()->click();
        QCOMPARE(chooser.suggestedNames.back(), QString("client-statistics.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = file.readAll().split('\n');
        QCOMPARE(rows.size(), shown + 2); // and the empty rest after the last line end
        QVERIFY(rows[0].startsWith("Type,Client,State,"));

        // A folder that does not exist: told, nothing left behind.
        const QString nowhere = dir.filePath("missing/stats.csv");
        QVERIFY(!view->exporter()->saveCsv(nowhere));
        QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.told[0].caption, QString("Save as CSV"));
        QVERIFY(fixture_->prompter.told[0].text.contains(nowhere));
    }

    void shortAnswerShowsWhatArrived() {
        // Twelve head bytes and one and a half entries: client 0 on-line,
        // client 1's entry cut in its counters.
        mirx::model::StatisticsTable table;
        table.set(mirx::model::StatisticsTable::kServerTime, std::int64_t{5000});
        for (std::size_t i = 0; i < 2; ++i) {
            mirx::model::ClientStatistics e;
            e.setBit(mirx::model::ClientStatistics::kFlags, 0, true);
            e.set(mirx::model::ClientStatistics::kLastChangeTime, std::int64_t{4000});
            table.setClient(i, e);
        }
        std::vector<std::uint8_t> payload(table.bytes.begin(), table.bytes.begin() + 12 + 80 + 40);
        mirx::test::Script script;
        script.answers[mirx::msg::ADMIN_CLIENT_STATISTICS_REQUEST] = {
            {mirx::msg::ADMIN_CLIENT_STATISTICS_RESPONSE, 0, payload}};
        mirx::test::ScriptedServer server(fixture_->site, std::move(script));
        QVERIFY(server.start());
        fixture_->store.set(mirx::link::kDataIpPort.name, std::uint32_t{server.port()});
        QVERIFY(fixture_->logIn());
        auto view = openView();
        QVERIFY(refreshed(*view, 2));
        const auto shown = clientsWhere(*view, [](const StatisticsRow&) { return true; });
        QCOMPARE(shown, std::vector<int>{0});
        QCOMPARE(cellOf(*view, 0, StatisticsColumn::Duration), std::string("16m, 40s"));
        fixture_->link().StopLink();
    }

    // The view and the connection status report wait for statistics at the
    // same time, and the server answers both at once: each takes an answer,
    // and neither waits on for one the other already took.
    void sharesAnswersArrivingTogetherWithTheConnectionStatusReport() {
        mirx::model::StatisticsTable table;
        table.set(mirx::model::StatisticsTable::kServerTime, std::int64_t{5000});
        mirx::model::ClientStatistics online;
        online.setBit(mirx::model::ClientStatistics::kFlags, 0, true);
        online.set(mirx::model::ClientStatistics::kLastChangeTime, std::int64_t{4000});
        table.setClient(0, online);
        const mirx::test::ScriptedFrame answer{
            mirx::msg::ADMIN_CLIENT_STATISTICS_RESPONSE, 0,
            std::vector<std::uint8_t>(table.bytes.begin(), table.bytes.end())};
        static constexpr std::uint16_t kRequest = mirx::msg::ADMIN_CLIENT_STATISTICS_REQUEST;
        mirx::test::Script script;
        // The view's request goes unanswered; the report's brings both.
        script.answersQueued[kRequest] = {{}, {answer, answer}};
        mirx::test::ScriptedServer server(fixture_->site, std::move(script));
        QVERIFY(server.start());
        fixture_->store.set(mirx::link::kDataIpPort.name, std::uint32_t{server.port()});
        QVERIFY(fixture_->logIn());
        const auto requests = [&server] {
            const auto ids = server.received();
            return std::count(ids.begin(), ids.end(), kRequest);
        };

        auto view = openView();
        QTRY_VERIFY_WITH_TIMEOUT(requests() == 1, kWaitMs);
        mirx::monitor::CReportConnectionStatusDlg report(fixture_->context());
        report.show();
        // Both answers are stored before either window looks.
        for (int waited = 0; requests() < 2 && waited < kWaitMs; waited += 5) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        QCOMPARE(requests(), 2);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));

        QTRY_VERIFY_WITH_TIMEOUT(report.gathered(), kWaitMs);
        QVERIFY(refreshed(*view, 1));
        QCOMPARE(cellOf(*view, 0, StatisticsColumn::State), std::string("On-Line"));
        fixture_->link().StopLink();
    }
};

QTEST_MAIN(StatisticsViewTest)
#include "statistics_view_test.moc"
