// The debug and activity log views and the debug filter editor against the
// simulator, on the offscreen platform.
#include "core/message_ids.h"
#include "model/debug_filters.h"
#include "model/log_pull.h"
#include "model/mirror.h"
#include "monitor/debug_filter_dialog.h"
#include "monitor/log_dialog.h"
#include "monitor/log_text_box.h"
#include "monitor/monitor_views.h"
#include "shell/common/record_list.h"
#include "shell/main/main_window.h"
#include "shell/main/view_registry.h"
#include "sim/log_text.h"
#include "tests/shell/shell_fixture.h"

#include <memory>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTextBlock>
#include <QtTest>

using mirx::monitor::CActivityLogDlg;
using mirx::monitor::CDebugFilterDlg;
using mirx::monitor::CDebugFilterEditDlg;
using mirx::monitor::CDebugLogDlg;
using mirx::monitor::LogDialog;

namespace {

constexpr int kWaitMs = 10000;

using Lines = std::vector<mirx::site::LogLine>;

void addLines(Lines& lines, const char* prefix, int count) {
    const std::int64_t start = 1'700'000'000;
    for (int i = 0; i < count; ++i) {
        lines.push_back({start + i, std::string(prefix) + " line " + std::to_string(i)});
    }
}

QString shownText(const Lines& lines) {
    return QString::fromStdString(
        mirx::model::readableLogText(mirx::sim::logLinesText(lines, 0, lines.size())));
}

QPlainTextEdit& textOf(LogDialog& view) {
    return *view.textBox()->text();
}

// Lines of text in the box (its last block is the empty one after the
// final line end).
int lineCount(LogDialog& view) {
    return textOf(view).document()->blockCount() - 1;
}

// The line at the top of the box as the reader sees it.
QString topLine(LogDialog& view) {
    return textOf(view).cursorForPosition(QPoint(2, 2)).block().text();
}

QString cell(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

std::uint32_t wordOf(const mirx::model::DebugFilter& filter) {
    return mirx::log::encodeFilter(filter);
}

} // namespace

class LogViewsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<mirx::test::ShellFixture> fixture_;

    void serve(mirx::sim::FaultSwitches faults = {}, std::uint32_t debugLineMs = 0) {
        mirx::sim::ProtocolOptions options;
        options.debugLineIntervalMs = debugLineMs;
        fixture_->startServer(std::move(faults), 0, options);
        QVERIFY(fixture_->logIn());
    }

    // Requests the simulator took and answers it sent with these names.
    std::pair<std::size_t, std::size_t> exchanges(const char* request, const char* answer) {
        std::size_t asked = 0;
        std::size_t answered = 0;
        for (const std::string& line : fixture_->served.frameLog()) {
            asked += line.starts_with("sim <-") && line.find(request) != std::string::npos;
            answered += line.starts_with("sim ->") && line.find(answer) != std::string::npos;
        }
        return {asked, answered};
    }

private slots:
    void init() { fixture_ = std::make_unique<mirx::test::ShellFixture>(); }

    void cleanup() {
        fixture_->link().StopLink();
        fixture_.reset();
    }

    void chunksArriveInOrderAndTheTextMatchesTheLog_data() {
        QTest::addColumn<bool>("debug");
        QTest::newRow("debug log") << true;
        QTest::newRow("activity log") << false;
    }

    void chunksArriveInOrderAndTheTextMatchesTheLog() {
        QFETCH(bool, debug);
        Lines& lines = debug ? fixture_->site.debugLog : fixture_->site.activityLog;
        // Four chunks going back in time.
        addLines(lines, "older", 130);
        // The login is the activity log's newest line.
        const int expected = static_cast<int>(lines.size()) + (debug ? 0 : 1);
        serve();

        std::unique_ptr<LogDialog> view;
        if (debug) {
            view = std::make_unique<CDebugLogDlg>(fixture_->context());
        } else {
            view = std::make_unique<CActivityLogDlg>(fixture_->context());
        }
        QCOMPARE(view->windowTitle(), QString(debug ? "Debug Log" : "Activity Log"));
        QVERIFY2(mirx::test::windowFitProblem(*view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(*view)));
        view->show();
        QTRY_COMPARE_WITH_TIMEOUT(lineCount(*view), expected, kWaitMs);
        // Asked again after the empty answer, a second later: nothing new.
        QTest::qWait(1200);
        fixture_->stopServer();
        QCOMPARE(textOf(*view).toPlainText(), shownText(lines));
        QVERIFY(textOf(*view).isReadOnly());
    }

    void olderTextGoesOnTopAndNewerBelowWhileTheReaderKeepsTheirPlace() {
        addLines(fixture_->site.debugLog, "older", 200);
        const QString firstLine = shownText({fixture_->site.debugLog.front()}).trimmed();
        // Chunks come slowly enough to scroll between them; after the
        // catch-up the server writes lines of its own.
        mirx::sim::FaultSwitches slow;
        slow.answerDelayMs = 150;
        serve(slow, 200);
        CDebugLogDlg view(fixture_->context());
        view.resize(700, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QPlainTextEdit& text = textOf(view);
        QScrollBar& bar = *text.verticalScrollBar();

        // The first chunk is the newest: the reader follows the end.
        QTRY_VERIFY_WITH_TIMEOUT(lineCount(view) >= 40, kWaitMs);
        QVERIFY(lineCount(view) < 200);
        QCOMPARE(bar.value(), bar.maximum());

        // The reader scrolls up and selects a word.
        bar.setValue(5);
        // The reader selects the top line's text.
        QTextCursor selection = text.cursorForPosition(QPoint(2, 2));
        selection.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        text.setTextCursor(selection);
        const QString top = topLine(view);
        const QString selected = text.textCursor().selectedText();
        QVERIFY(top.contains("older line "));
        QCOMPARE(selected, top);

        // Older chunks go on top, newer lines of the server below.
        QTRY_COMPARE_WITH_TIMEOUT(text.document()->firstBlock().text(), firstLine, kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(text.toPlainText().contains("Performance Monitoring"), kWaitMs);
        QCOMPARE(topLine(view), top);
        QCOMPARE(text.textCursor().selectedText(), selected);
        QVERIFY(bar.value() < bar.maximum());

        // Back at the end, the reader follows what comes.
        bar.setValue(bar.maximum());
        const int lines = lineCount(view);
        QTRY_VERIFY_WITH_TIMEOUT(lineCount(view) > lines, kWaitMs);
        QCOMPARE(bar.value(), bar.maximum());
        QCOMPARE(text.textCursor().position(), text.document()->characterCount() - 1);
    }

    void closingStopsTheServersPullAndReopeningStartsAfresh() {
        addLines(fixture_->site.debugLog, "older", 50);
        const int expected = static_cast<int>(fixture_->site.debugLog.size());
        const QString firstLine = shownText({fixture_->site.debugLog.front()});
        serve();
        // The stop request is the one request the server does not answer.
        const auto unanswered = [this] {
            const auto [asked, answered] =
                exchanges("ADMIN_DEBUG_LOG_REQUEST", "ADMIN_DEBUG_LOG_RESPONSE");
            return asked - answered;
        };

        for (int opening = 0; opening < 2; ++opening) {
            auto* view = new CDebugLogDlg(fixture_->context());
            view->setAttribute(Qt::WA_DeleteOnClose);
            view->show();
            QTRY_COMPARE_WITH_TIMEOUT(lineCount(*view), expected, kWaitMs);
            QVERIFY(textOf(*view).toPlainText().startsWith(firstLine));
            QTRY_COMPARE(unanswered(), static_cast<std::size_t>(opening));
            QTest::mouseClick(view->closeButton(), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(unanswered(), static_cast<std::size_t>(opening) + 1, kWaitMs);
        }
    }

    void theFindFieldSelectsMatchesRoundTheLog() {
        serve();
        CActivityLogDlg view(fixture_->context());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY_WITH_TIMEOUT(lineCount(view) > 5, kWaitMs);
        mirx::monitor::LogTextBox& box = *view.textBox();
        QVERIFY(!box.findField()->isVisible());
        // Ctrl+F works wherever the focus is in the view.
        view.closeButton()->setFocus();
        QTest::keyClick(view.closeButton(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(box.findField()->isVisible());
        QVERIFY(box.findField()->hasFocus());

        // Three lines name a camera; the caret starts at the end, so the
        // first match is found round the end, from the top.
        QTest::keyClicks(box.findField(), "camera");
        QList<int> found;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(box.findField(), Qt::Key_Return);
            QCOMPARE(box.text()->textCursor().selectedText(), QString("Camera"));
            found << box.text()->textCursor().blockNumber();
        }
        QVERIFY(found[0] < found[1] && found[1] < found[2]);
        QCOMPARE(found[3], found[0]);
        // Shift+Enter goes back, round the top to the last one.
        QTest::keyClick(box.findField(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(box.text()->textCursor().blockNumber(), found[2]);
        QVERIFY(box.findNote()->text().isEmpty());
        const int first = box.text()->textCursor().position();

        box.findField()->setText("no such words");
        QVERIFY(!box.findNext());
        QCOMPARE(box.findNote()->text(), QString("Not found"));
        QCOMPARE(box.text()->textCursor().position(), first);

        // Escape hides the field and leaves the view open.
        QTest::keyClick(box.findField(), Qt::Key_Escape);
        QVERIFY(!box.findField()->isVisible());
        QVERIFY(view.isVisible());
    }

    void theMainWindowOpensEachLogViewOnce() {
        serve();
        fixture_->context().debugControls = true;
        mirx::shell::ViewRegistry views;
        mirx::monitor::registerMonitorViews(views);
        mirx::shell::CSystemAdministrationDlg main(
            fixture_->context(), views, mirx::shell::CSystemAdministrationDlg::Layout::Standard);
        main.show();
        for (const auto key : {mirx::shell::ViewKey::ActivityLog, mirx::shell::ViewKey::DebugLog}) {
            QPushButton* button = main.button(key);
            QVERIFY(button->isVisible());
            QTest::mouseClick(button, Qt::LeftButton);
            auto* view = qobject_cast<LogDialog*>(main.openView(key));
            QVERIFY(view != nullptr);
            QVERIFY(!button->isEnabled());
            view->reject();
            QTRY_VERIFY(button->isEnabled());
        }
        main.reject();
    }

    void filtersAreEditedAndSentBackWhole() {
        serve();
        CDebugLogDlg log(fixture_->context());
        log.show();
        QTest::mouseClick(log.filterButton(), Qt::LeftButton);
        auto* filters = qobject_cast<CDebugFilterDlg*>(log.filterDialog());
        QVERIFY(filters != nullptr);
        QCOMPARE(filters->windowTitle(), QString("MIRX Debug Filter Configuration"));
        QVERIFY2(mirx::test::windowFitProblem(*filters).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(*filters)));
        QVERIFY(!filters->okButton()->isEnabled()); // nothing to send before the list came
        QTRY_VERIFY_WITH_TIMEOUT(filters->loaded(), kWaitMs);
        const QAbstractItemModel& shown = *filters->list()->table()->model();
        QCOMPARE(shown.rowCount(), 4);
        const QStringList titles{"Type", "Target", "Category", "Subcategory", "Identifier"};
        const QList<int> widths{80, 80, 200, 80, 80};
        for (int column = 0; column < 5; ++column) {
            QCOMPARE(shown.headerData(column, Qt::Horizontal).toString(), titles[column]);
            QCOMPARE(filters->list()->table()->columnWidth(column), widths[column]);
        }
        const std::string login15 =
            fixture_->mirror.read([](const auto& d) { return d.clients.loginName(15); });
        QVERIFY(!login15.empty());
        const QStringList row2{"DETAIL", "All", "Client Connection Handler", "ALL",
                               QString::fromStdString(login15)};
        for (int column = 0; column < 5; ++column) {
            QCOMPARE(cell(shown, 2, column), row2[column]);
        }
        QVERIFY(!filters->editButton()->isEnabled());
        QVERIFY(!filters->deleteButton()->isEnabled());

        // Add: starts as the all-wildcard DETAIL filter; a subcategory the
        // word cannot hold is refused and the view stays open.
        QTest::mouseClick(filters->addButton(), Qt::LeftButton);
        auto* edit = qobject_cast<CDebugFilterEditDlg*>(filters->editDialog());
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->windowTitle(), QString("MIRX Debug Filter Configuraton Add/Edit"));
        QVERIFY2(mirx::test::windowFitProblem(*edit).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(*edit)));
        QCOMPARE(edit->typeBox()->currentText(), QString("DETAIL"));
        QCOMPARE(edit->targetBox()->currentText(), QString("All"));
        QCOMPARE(edit->categoryBox()->currentText(), QString("All"));
        QCOMPARE(edit->identifierBox()->currentText(), QString("All"));
        QCOMPARE(edit->subcategoryEdit()->text(), QString("All"));
        edit->typeBox()->setCurrentText("ERROR");
        edit->targetBox()->setCurrentText("Application Update");
        edit->categoryBox()->setCurrentText("Audio Mixer Thread");
        edit->identifierBox()->setCurrentIndex(0);
        edit->subcategoryEdit()->setText("63");
        QTest::mouseClick(edit->okButton(), Qt::LeftButton);
        QVERIFY(edit->isVisible());
        QCOMPARE(fixture_->prompter.told.back().text,
                 QString(CDebugFilterEditDlg::kSubcategoryText));
        edit->subcategoryEdit()->setText("5");
        QTest::mouseClick(edit->okButton(), Qt::LeftButton);
        QTRY_VERIFY(filters->editDialog() == nullptr);
        QCOMPARE(shown.rowCount(), 5);
        QCOMPARE(cell(shown, 4, 0), QString("ERROR"));
        QCOMPARE(cell(shown, 4, 1), QString("Application Update"));
        QCOMPARE(cell(shown, 4, 3), QString("5"));

        // Edit the first row: its fields fill the view; the row is replaced.
        filters->list()->selectKey(filters->list()->shownKeys().front());
        QVERIFY(filters->editButton()->isEnabled());
        QTest::mouseClick(filters->editButton(), Qt::LeftButton);
        edit = qobject_cast<CDebugFilterEditDlg*>(filters->editDialog());
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->typeBox()->currentText(), QString("ERROR"));
        edit->typeBox()->setCurrentText("WARNING");
        edit->subcategoryEdit()->setText("ALL");
        QTest::mouseClick(edit->okButton(), Qt::LeftButton);
        QTRY_VERIFY(filters->editDialog() == nullptr);
        QCOMPARE(cell(shown, 0, 0), QString("WARNING"));

        // Delete a middle row: No keeps it; Yes removes it and selects the
        // row that moved into its place.
        const QList<qint64> keys = filters->list()->shownKeys();
        filters->list()->selectKey(keys[1]);
        fixture_->prompter.answers = {false, true};
        QTest::mouseClick(filters->deleteButton(), Qt::LeftButton);
        QCOMPARE(shown.rowCount(), 5);
        QCOMPARE(fixture_->prompter.asked.back().caption,
                 QString("MIRX Filter Configuration Delete"));
        QCOMPARE(fixture_->prompter.asked.back().text,
                 QString("WARNING: Are you sure you wish to delete this filter?"));
        QTest::mouseClick(filters->deleteButton(), Qt::LeftButton);
        QCOMPARE(shown.rowCount(), 4);
        QCOMPARE(filters->list()->selectedKey(), keys[2]);
        // Deleting the last row leaves nothing selected.
        filters->list()->selectKey(keys[4]);
        fixture_->prompter.answers = {true};
        QTest::mouseClick(filters->deleteButton(), Qt::LeftButton);
        QCOMPARE(shown.rowCount(), 3);
        QCOMPARE(filters->list()->selectedKey(), mirx::shell::RecordListModel::kNoKey);
        QVERIFY(!filters->deleteButton()->isEnabled());

        QTest::mouseClick(filters->okButton(), Qt::LeftButton);
        QTRY_VERIFY(log.filterDialog() == nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(
            fixture_->frameLogCount("ADMIN_SET_DEBUG_FILTER_REQUEST (6045) second=3 len=12"),
            std::size_t{1}, kWaitMs);
        fixture_->stopServer();
        const std::vector<std::uint32_t> expected{
            wordOf({1, 7, 1023, 63, 1023}), // was ERROR, now WARNING
            0xFC07FC0F, 0xBC01FFFF};
        QCOMPARE(fixture_->site.debugFilters, expected);
    }

    void cancelSendsNothing() {
        serve();
        CDebugFilterDlg filters(fixture_->context());
        filters.show();
        QTRY_VERIFY_WITH_TIMEOUT(filters.loaded(), kWaitMs);
        fixture_->prompter.answers = {true};
        filters.list()->selectKey(filters.list()->shownKeys().front());
        QTest::mouseClick(filters.deleteButton(), Qt::LeftButton);
        QTest::mouseClick(filters.cancelButton(), Qt::LeftButton);
        QVERIFY(!filters.isVisible());
        QTest::qWait(300);
        QCOMPARE(fixture_->frameLogCount("ADMIN_SET_DEBUG_FILTER_REQUEST"), std::size_t{0});
    }
};

QTEST_MAIN(LogViewsTest)
#include "log_views_test.moc"
