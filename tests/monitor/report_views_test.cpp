// The report views against the simulator and the printer's pages read back
// from PDF, on the offscreen platform.
#include "core/message_ids.h"
#include "model/mirror.h"
#include "monitor/monitor_views.h"
#include "monitor/report_dialogs.h"
#include "monitor/report_printer.h"
#include "monitor/reports_dialog.h"
#include "reports/report_file.h"
#include "reports/report_texts.h"
#include "reports/selector_gathering.h"
#include "shell/main/main_window.h"
#include "shell/main/view_registry.h"
#include "tests/shell/scripted_chooser.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/run_command.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_folder.h"

#include <fstream>
#include <iterator>
#include <memory>

#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

using mirx::monitor::CPrinter;
using mirx::monitor::CReportConnectionStatusDlg;
using mirx::monitor::CReportPartyLineMembershipDlg;
using mirx::monitor::CReportsDlg;
using mirx::monitor::CReportSelectorAssignmentsDlg;
using mirx::monitor::ReportDialog;
using mirx::monitor::SelectorReportDialog;

namespace {

constexpr int kWaitMs = 20000;
const QString kApplication = QStringLiteral("MIRX System Administration");

// The pages of a PDF as pdftotext reads them.
QStringList pdfPages(const QString& path) {
    const auto [status, out] = mirx::test::runCommand(
        "pdftotext -enc UTF-8 " + mirx::test::shellQuote(path.toStdString()) + " - 2>&1");
    if (status != 0) {
        return {QStringLiteral("pdftotext failed: ") + QString::fromStdString(out)};
    }
    QStringList pages = QString::fromStdString(out).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty()) {
        pages.removeLast();
    }
    return pages;
}

int pdfPageCount(const QString& path) {
    const auto [status, out] =
        mirx::test::runCommand("pdfinfo " + mirx::test::shellQuote(path.toStdString()) + " 2>&1");
    const auto match =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromStdString(out));
    return status == 0 && match.hasMatch() ? match.captured(1).toInt() : -1;
}

// Why the pages do not carry the header (application name, then the page
// number on the same line) on each page; empty when they do.
QString headerProblem(const QStringList& pages) {
    for (int i = 0; i < pages.size(); ++i) {
        const QStringList lines = pages[i].split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QString number = QString::number(i + 1);
        const bool found = std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
            return line.simplified() == kApplication + ' ' + number;
        });
        // pdftotext may also put the number on a line of its own.
        const bool apart = lines.contains(kApplication) && lines.contains(number);
        if (!found && !apart) {
            return QStringLiteral("page %1 has no header: %2").arg(number, pages[i].left(200));
        }
    }
    return {};
}

// Why the first page has no red rule half a line above the half-inch top
// margin, from the left to the right margin; empty when it has one.
QString redRuleProblem(const QString& path) {
    constexpr int kDpi = 72;
    const QString stem = path + QStringLiteral(".page");
    const auto [status, out] = mirx::test::runCommand(
        "pdftoppm -r " + std::to_string(kDpi) + " -f 1 -l 1 -singlefile -png " +
        mirx::test::shellQuote(path.toStdString()) + " " +
        mirx::test::shellQuote(stem.toStdString()) + " 2>&1");
    const QImage page(stem + QStringLiteral(".png"));
    if (status != 0 || page.isNull()) {
        return QStringLiteral("pdftoppm failed: ") + QString::fromStdString(out);
    }
    int top = -1;
    int left = page.width();
    int right = -1;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 100 && c.blue() < 100) {
                top = top < 0 ? y : top;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    const int margin = kDpi / 2;
    if (top < 0) {
        return QStringLiteral("no red on the first page");
    }
    // Half a line above the margin: below the page's top edge, above the
    // margin; from margin to margin, give or take a pixel.
    if (top >= margin || top < margin / 4 || std::abs(left - margin) > 1 ||
        std::abs(right - (page.width() - margin)) > 1) {
        return QStringLiteral("red from (%1, %2) to x %3 on a page %4 wide")
            .arg(left)
            .arg(top)
            .arg(right)
            .arg(page.width());
    }
    return {};
}

std::string fileBytes(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The text from its second line on: the first carries the time it was made.
std::string afterTitle(const std::string& text) {
    const auto end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(end + 1);
}

// Runs the event loop as the program does (QTest::qWait sleeps 10 ms
// between its rounds, which would set the pace of a thousand requests).
bool waitGathered(const ReportDialog& view) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (view.gathered() || view.closed()) {
            loop.quit();
        }
    });
    check.start(1);
    QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return view.gathered();
}

QStringList numberedLines(int count, const QString& stem) {
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        lines << QStringLiteral("%1 %2").arg(stem).arg(i, 4, 10, QLatin1Char('0'));
    }
    return lines;
}

} // namespace

class ReportViewsTest : public QObject {
    Q_OBJECT

private:
    mirx::test::LogCapture log_;
    std::unique_ptr<mirx::test::ShellFixture> fixture_;
    mirx::test::ScriptedChooser chooser_;

    // The selector records the simulator answers with for the clients a
    // report asks: its own, else the default record.
    mirx::reports::GatheredSelectors siteSelectors(const std::vector<int>& missing = {}) {
        mirx::reports::GatheredSelectors gathered;
        const auto clients = fixture_->mirror.read([](const mirx::model::MirrorData& d) {
            return mirx::reports::selectorReportClients(d.labels);
        });
        for (const int client : clients) {
            if (std::find(missing.begin(), missing.end(), client) != missing.end()) {
                continue;
            }
            const auto it = fixture_->site.selectors.find(client);
            gathered.records[client] =
                it != fixture_->site.selectors.end() ? it->second : fixture_->site.defaultSelectors;
        }
        gathered.missing = missing;
        return gathered;
    }

    std::string expectedText(mirx::shell::ViewKey key,
                             const mirx::reports::GatheredSelectors& gathered) {
        const std::tm time = mirx::reports::reportLocalTime(0);
        return fixture_->mirror.read([&](const mirx::model::MirrorData& d) {
            if (key == mirx::shell::ViewKey::ReportPartyLineMembership) {
                return mirx::reports::partyLineMembershipReport(d.labels, gathered, time);
            }
            return mirx::reports::selectorAssignmentsReport(d.labels, gathered, time);
        });
    }

    static std::unique_ptr<SelectorReportDialog>
    openSelectorReport(mirx::shell::ViewKey key, mirx::shell::ShellContext& context) {
        std::unique_ptr<SelectorReportDialog> view;
        if (key == mirx::shell::ViewKey::ReportPartyLineMembership) {
            view = std::make_unique<CReportPartyLineMembershipDlg>(context);
        } else {
            view = std::make_unique<CReportSelectorAssignmentsDlg>(context);
        }
        view->show();
        return view;
    }

private slots:
    void init() {
        fixture_ = std::make_unique<mirx::test::ShellFixture>();
        chooser_ = mirx::test::ScriptedChooser{};
        fixture_->context().chooser = &chooser_;
    }

    void cleanup() {
        fixture_->link().StopLink();
        fixture_.reset();
    }

    // --- the printer, on a PDF writer ---

    void printerPutsEveryLineOnAPageUnderItsHeader_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("severalPages");
        QTest::newRow("one line") << QStringList{QStringLiteral("only line")} << false;
        QTest::newRow("many lines") << numberedLines(230, QStringLiteral("row")) << true;
        // Wider than the page even at the smallest font: goes on over more
        // printed lines, none of it lost.
        QStringList wide = numberedLines(3, QStringLiteral("before"));
        QString longLine;
        for (int i = 0; i < 40; ++i) {
            // No hyphens: pdftotext joins a hyphenated line end to the next.
            longLine += QStringLiteral("w%1.").arg(i, 2, 10, QLatin1Char('0'));
        }
        wide << longLine << numberedLines(3, QStringLiteral("after"));
        QTest::newRow("a line wider than the page") << wide << false;
    }

    void printerPutsEveryLineOnAPageUnderItsHeader() {
        QFETCH(QStringList, lines);
        QFETCH(bool, severalPages);
        mirx::test::TempFolder folder;
        const QString path = QString::fromStdString((folder / "printed.pdf").string());
        int pages = 0;
        {
            QPdfWriter writer(path);
            writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                             QMarginsF(0, 0, 0, 0)));
            pages = CPrinter(kApplication).print(writer, lines);
        }
        QCOMPARE(pdfPageCount(path), pages);
        QCOMPARE(pages > 1, severalPages);
        const QStringList read = pdfPages(path);
        QCOMPARE(read.size(), pages);
        QVERIFY2(headerProblem(read).isEmpty(), qPrintable(headerProblem(read)));
        QVERIFY2(redRuleProblem(path).isEmpty(), qPrintable(redRuleProblem(path)));

        // Every line once, in order, whole (a wrapped one joined again).
        QString body;
        for (const QString& page : read) {
            for (const QString& line : page.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                const QString simple = line.simplified();
                if (simple.startsWith(kApplication)) {
                    continue;
                }
                body += simple;
            }
        }
        qsizetype at = 0;
        for (const QString& line : lines) {
            const qsizetype found = body.indexOf(line, at);
            QVERIFY2(found >= 0, qPrintable(QStringLiteral("missing or out of order: ") + line +
                                            QStringLiteral("\nin: ") + body));
            at = found + line.size();
        }
    }

    void pdfIsNotLeftHalfWrittenWhereItCannotBeWritten() {
        mirx::test::TempFolder folder;
        const QString path = QString::fromStdString((folder / "missing" / "r.pdf").string());
        const QString error = mirx::monitor::printPdf(path, kApplication, {"a line"});
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    // --- the views ---

    void connectionStatusShowsPrintsAndSaves() {
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        CReportConnectionStatusDlg view(fixture_->context());
        view.show();
        QCOMPARE(view.windowTitle(), QString("MIRX Connection Status"));
        QVERIFY(!view.printButton()->isEnabled());
        QVERIFY(waitGathered(view));
        QCOMPARE(fixture_->served.received("ADMIN_CLIENT_STATISTICS_REQUEST"), std::size_t{1});

        // The text is the shared function's over what the server sent.
        const std::string expected = fixture_->mirror.read([](const mirx::model::MirrorData& d) {
            return mirx::reports::connectionStatusReport(d.labels, d.statistics,
                                                         mirx::reports::reportLocalTime(0));
        });
        QVERIFY(QString::fromStdString(view.reportText())
                    .contains(QRegularExpression("^CONNECTION STATUS REPORT as of "
                                                 "\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\n")));
        QCOMPARE(afterTitle(view.reportText()), afterTitle(expected));
        QCOMPARE(view.textBox()->toPlainText(), QString::fromStdString(view.reportText()));
        // The font the box really got, not only the one asked for.
        QVERIFY(QFontInfo(view.textBox()->font()).fixedPitch());
        QCOMPARE(view.textBox()->textCursor().position(), 0);

        // Save: the file's bytes, under the offered name.
        mirx::test::TempFolder folder;
        chooser_.savePath = QString::fromStdString((folder / "status").string());
        view.saveButton()->click();
        QCOMPARE(chooser_.suggestedNames.back(), QString("ConnectionStatus.txt"));
        QCOMPARE(fileBytes(chooser_.savePath + ".txt"),
                 mirx::reports::reportFileBytes(view.reportText()));

        // A folder that is not there: told, nothing left behind.
        chooser_.savePath = QString::fromStdString((folder / "none" / "s.txt").string());
        view.saveButton()->click();
        QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.told[0].caption, QString("Save"));
        QVERIFY(!QFile::exists(chooser_.savePath));

        // Print through the print path onto a PDF file.
        chooser_.printPath = QString::fromStdString((folder / "printed.pdf").string());
        view.printButton()->click();
        const QStringList pages = pdfPages(chooser_.printPath);
        QVERIFY(!pages.isEmpty());
        QCOMPARE(pdfPageCount(chooser_.printPath), pages.size());
        QVERIFY2(headerProblem(pages).isEmpty(), qPrintable(headerProblem(pages)));
        QVERIFY(pages[0].contains("CONNECTION STATUS REPORT as of"));

        // A printer that cannot be written to: told, under the print caption.
        chooser_.printPath = QString::fromStdString((folder / "none" / "p.pdf").string());
        view.printButton()->click();
        QCOMPARE(fixture_->prompter.told.size(), std::size_t{2});
        QCOMPARE(fixture_->prompter.told[1].caption, QString("Print"));
        QVERIFY(fixture_->prompter.told[1].text.contains(chooser_.printPath));

        // Save as PDF: the same report on the writer's own pages.
        chooser_.savePath = QString::fromStdString((folder / "saved").string());
        view.pdfButton()->click();
        QCOMPARE(chooser_.suggestedNames.back(), QString("ConnectionStatus.pdf"));
        const QStringList saved = pdfPages(chooser_.savePath + ".pdf");
        QVERIFY(!saved.isEmpty());
        QCOMPARE(pdfPageCount(chooser_.savePath + ".pdf"), saved.size());
        QVERIFY2(headerProblem(saved).isEmpty(), qPrintable(headerProblem(saved)));
        QVERIFY(saved[0].contains("CONNECTION STATUS REPORT as of"));
    }

    void cancelledPrintAndSaveDoNothing() {
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        CReportConnectionStatusDlg view(fixture_->context());
        view.show();
        QVERIFY(waitGathered(view));
        QVERIFY(!view.printReport());
        view.saveButton()->click();
        view.pdfButton()->click();
        QVERIFY(fixture_->prompter.told.empty());
        QVERIFY(!view.closed());
    }

    void selectorReportsShowTheSitesRecords_data() {
        QTest::addColumn<mirx::shell::ViewKey>("key");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("position");
        QTest::newRow("party line membership") << mirx::shell::ViewKey::ReportPartyLineMembership
                                               << QString("PARTY LINE MEMBERSHIP REPORT as of ")
                                               << QString("ReportPartyLineMembershipDlg");
        QTest::newRow("selector assignments") << mirx::shell::ViewKey::ReportSelectorAssignments
                                              << QString("SELECTOR ASSIGNMENTS REPORT as of ")
                                              << QString("ReportSelectorAssignmentsDlg");
    }

    void selectorReportsShowTheSitesRecords() {
        QFETCH(mirx::shell::ViewKey, key);
        QFETCH(QString, title);
        QFETCH(QString, position);
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        // Another view asked for the first client's record before: the
        // report still asks each client once.
        const std::vector<int> clients =
            fixture_->mirror.read([](const mirx::model::MirrorData& d) {
                return mirx::reports::selectorReportClients(d.labels);
            });
        QVERIFY(clients.size() >= 2);
        const auto first = static_cast<std::uint16_t>(clients.front());
        QVERIFY(fixture_->link().requestQueue().PostCopy(
            mirx::msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST, first, nullptr, 0));
        QTRY_COMPARE_WITH_TIMEOUT(fixture_->mirror.clientFlags().SelectorAssignmentsAnswers(first),
                                  1u, kWaitMs);

        auto view = openSelectorReport(key, fixture_->context());
        QTRY_VERIFY_WITH_TIMEOUT(view->progressLabel()->text().startsWith("Gathering "), kWaitMs);
        QVERIFY(waitGathered(*view));

        const auto gathered = siteSelectors();
        QVERIFY(!gathered.records.empty());
        QCOMPARE(fixture_->served.received("ADMIN_SELECTOR_ASSIGNMENTS_REQUEST"),
                 gathered.records.size() + 1);
        QVERIFY(QString::fromStdString(view->reportText()).startsWith(title));
        QCOMPARE(afterTitle(view->reportText()), afterTitle(expectedText(key, gathered)));
        // Something to show beyond the title.
        QVERIFY(afterTitle(view->reportText()).find("selectors") != std::string::npos ||
                afterTitle(view->reportText()).find("members") != std::string::npos);

        // Print preview: the preview lays the same pages out.
        view->previewButton()->click();
        QVERIFY(view->previewDialog() != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(view->previewDialog()->isVisible(), kWaitMs);
        const auto* preview = view->previewDialog()->findChild<QPrintPreviewWidget*>();
        QVERIFY(preview != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(preview->pageCount() >= 1, kWaitMs);
        view->previewDialog()->close();

        view->okButton()->click();
        QVERIFY(view->closed());
        QVERIFY(fixture_->store.get((position + "WindowPositionRight").toStdString()).has_value());
    }

    void aClientThatNeverAnswersIsNamedAndTheRestShows_data() {
        selectorReportsShowTheSitesRecords_data();
    }

    void aClientThatNeverAnswersIsNamedAndTheRestShows() {
        QFETCH(mirx::shell::ViewKey, key);
        // The first client asked gets no answer; the site answers the rest.
        mirx::test::Script script;
        script.answersQueued[mirx::msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST] = {{}};
        mirx::test::ScriptedServer server(fixture_->site, std::move(script));
        QVERIFY(server.start());
        fixture_->store.set(mirx::link::kDataIpPort.name, std::uint32_t{server.port()});
        QVERIFY(fixture_->logIn());
        const auto clients = fixture_->mirror.read([](const mirx::model::MirrorData& d) {
            return mirx::reports::selectorReportClients(d.labels);
        });
        QVERIFY(clients.size() > 1);

        auto view = openSelectorReport(key, fixture_->context());
        view->setAnswerTimeoutMs(300);
        QVERIFY(waitGathered(*view));
        QCOMPARE(afterTitle(view->reportText()),
                 afterTitle(expectedText(key, siteSelectors({clients.front()}))));
        fixture_->link().StopLink();
    }

    void viewsCloseWhenTheConsoleIsLoggedOut_data() {
        QTest::addColumn<mirx::shell::ViewKey>("key");
        QTest::addColumn<QString>("position");
        QTest::newRow("connection status")
            << mirx::shell::ViewKey::ReportConnectionStatus << QString("ReportConnectionStatusDlg");
        QTest::newRow("party lines") << mirx::shell::ViewKey::ReportPartyLineMembership
                                     << QString("ReportPartyLineMembershipDlg");
        QTest::newRow("selectors") << mirx::shell::ViewKey::ReportSelectorAssignments
                                   << QString("ReportSelectorAssignmentsDlg");
    }

    void viewsCloseWhenTheConsoleIsLoggedOut() {
        QFETCH(mirx::shell::ViewKey, key);
        QFETCH(QString, position);
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        // From the main window's button, as the administrator opens them.
        mirx::shell::ViewRegistry views;
        mirx::monitor::registerMonitorViews(views);
        mirx::shell::CSystemAdministrationDlg main(
            fixture_->context(), views, mirx::shell::CSystemAdministrationDlg::Layout::Standard);
        main.show();
        QTest::mouseClick(main.button(mirx::shell::ViewKey::Reports), Qt::LeftButton);
        QPointer<CReportsDlg> chooser = main.findChild<CReportsDlg*>();
        QVERIFY(chooser != nullptr);
        QVERIFY(chooser->isModal());
        QCOMPARE(chooser->windowTitle(), QString("MIRX Reports"));
        QPushButton* button =
            key == mirx::shell::ViewKey::ReportConnectionStatus ? chooser->connectionStatusButton()
            : key == mirx::shell::ViewKey::ReportPartyLineMembership ? chooser->partyLinesButton()
                                                                     : chooser->selectorsButton();
        button->click();
        QPointer<QDialog> report = chooser->reportView();
        QVERIFY(report != nullptr);
        QVERIFY(report->isModal());
        QCOMPARE(static_cast<ReportDialog*>(report.data())->viewKey(), key);
        QVERIFY2(mirx::test::windowFitProblem(*report).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(*report)));

        fixture_->stopServer();
        QTRY_VERIFY_WITH_TIMEOUT(report.isNull(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(chooser.isNull(), kWaitMs);
        main.reject();
        QVERIFY(fixture_->store.get((position + "WindowPositionRight").toStdString()).has_value());
    }

    void closingTheChooserClosesItsReportFirst() {
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        CReportsDlg chooser(fixture_->context());
        chooser.show();
        chooser.selectorsButton()->click();
        QPointer<QDialog> report = chooser.reportView();
        QVERIFY(report != nullptr);
        chooser.okButton()->click();
        QVERIFY(chooser.closed());
        QVERIFY(static_cast<ReportDialog*>(report.data())->closed());
        QVERIFY(fixture_->store.get("ReportSelectorAssignmentsDlgWindowPositionRight").has_value());
        QTRY_VERIFY_WITH_TIMEOUT(report.isNull(), kWaitMs);
    }
};

QTEST_MAIN(ReportViewsTest)
#include "report_views_test.moc"
