// The command files view and the main window's scheduler timers against the
// simulator, on the offscreen platform.
#include "commandfiles/answer_guard.h"
#include "commandfiles/command_files.h"
#include "core/message_ids.h"
#include "shell/commandfiles/command_file_timers.h"
#include "shell/commandfiles/command_files_dialog.h"
#include "shell/main/main_window.h"
#include "shell/main/shell_views.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/log_capture.h"

#include <fstream>
#include <memory>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using mirx::commandfiles::AnswerGuard;
using mirx::commandfiles::CCommandFiles;
using mirx::shell::CCommandFilesDlg;
using mirx::shell::CommandFilesModel;
using mirx::shell::CSystemAdministrationDlg;
using mirx::shell::ViewKey;

namespace {

constexpr int kLoginTimeoutMs = 10000;

const char* const kTwoCommands = "DESCRIPTION: Rehearsal listens\r\n"
                                 "TIME_ABSOLUTE: 08:00:00 01-02-2020\r\n"
                                 "BLOCKED_LISTEN: SET _client.8_ from _client.9_\r\n"
                                 "FORCED_LISTEN: SET _client.12_ to _client.13_\r\n";

QString cell(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

} // namespace

class CommandFilesViewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<mirx::test::ShellFixture> fixture_;
    std::unique_ptr<QTemporaryDir> program_;
    std::unique_ptr<AnswerGuard> guard_;
    std::unique_ptr<CCommandFiles> files_;

    QString folder() const { return program_->filePath(QStringLiteral("Command Files")); }

    void writeFile(const QString& name, const char* text) {
        std::ofstream((folder() + "/" + name).toStdString(), std::ios::binary) << text;
    }

    bool login() { return fixture_->link().Connect("admin", "admin"); }

private slots:
    void init() {
        fixture_ = std::make_unique<mirx::test::ShellFixture>();
        program_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(program_->path()).mkdir(QStringLiteral("Command Files")));
        auto& context = fixture_->context();
        context.programDirectory = program_->path().toStdString();
        guard_ = std::make_unique<AnswerGuard>(fixture_->mirror.membershipFlags());
        files_ = std::make_unique<CCommandFiles>(
            mirx::commandfiles::commandFilesFolder(context.programDirectory),
            mirx::commandfiles::CommandEnvironment{fixture_->mirror,
                                                   &fixture_->link().requestQueue()},
            *guard_, mirx::commandfiles::probeLink(fixture_->link()));
        context.answerGuard = guard_.get();
        context.commandFiles = files_.get();
    }

    void cleanup() {
        fixture_->link().StopLink();
        files_.reset();
        guard_.reset();
        fixture_.reset();
        program_.reset();
    }

    void aWaitingFileShowsAsProcessing() {
        mirx::sim::FaultSwitches deaf;
        deaf.ignoreMessageIds = {mirx::msg::ADMIN_BLOCKED_LISTEN_REQUEST};
        fixture_->startServer(deaf);
        writeFile("rehearsal.txt", kTwoCommands);
        QVERIFY(login());
        QVERIFY(files_->SecondTick());
        QVERIFY(files_->waiting());

        CCommandFilesDlg view(fixture_->context(), *files_);
        QVERIFY2(mirx::test::windowFitProblem(view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(view)));
        QAbstractItemModelTester tester(view.list()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.show();
        QCOMPARE(view.windowTitle(), QString("MIRX Command Files"));
        const QAbstractItemModel& shown = *view.list()->model();
        QCOMPARE(shown.rowCount(), 1);
        QCOMPARE(cell(shown, 0, CommandFilesModel::kFileColumn), QString("rehearsal.txt"));
        QCOMPARE(cell(shown, 0, CommandFilesModel::kDescriptionColumn),
                 QString("Rehearsal listens"));
        QCOMPARE(cell(shown, 0, CommandFilesModel::kTimeColumn), QString("2020-01-02 08:00:00"));
        QCOMPARE(cell(shown, 0, CommandFilesModel::kStatusColumn), QString("Processing"));

        const QStringList titles{"Command File", "Command File Description", "Processing Time",
                                 "File Status"};
        const QList<int> widths{200, 400, 140, 180};
        for (int column = 0; column < CommandFilesModel::kColumnCount; ++column) {
            QCOMPARE(shown.headerData(column, Qt::Horizontal).toString(), titles[column]);
            QCOMPARE(view.list()->horizontalHeader()->sectionSize(column), widths[column]);
        }
        QCOMPARE(view.list()->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(view.list()->showGrid());
    }

    void aFolderHeldByAnotherRunnerIsNamedUntilItIsTakenOver() {
        writeFile("rehearsal.txt", kTwoCommands);
        AnswerGuard otherGuard(fixture_->mirror.membershipFlags());
        auto other = std::make_unique<CCommandFiles>(
            files_->folder(), mirx::commandfiles::CommandEnvironment{fixture_->mirror, nullptr},
            otherGuard, [] { return mirx::commandfiles::LinkView{}; });
        other->CheckFileUpdates();
        QVERIFY(!files_->SecondTick());

        CCommandFilesDlg view(fixture_->context(), *files_);
        view.show();
        QVERIFY(view.notice()->isVisible());
        QVERIFY2(
            view.notice()->text().contains(
                QStringLiteral("in use by process %1").arg(QCoreApplication::applicationPid())),
            qPrintable(view.notice()->text()));
        QCOMPARE(view.list()->model()->rowCount(), 0);

        other.reset();
        QVERIFY(!files_->SecondTick());
        QTRY_VERIFY(!view.notice()->isVisible());
        QCOMPARE(view.list()->model()->rowCount(), 1);
    }

    void theMainWindowRunsADueFileToTheEndAndTheOpenViewFollows() {
        fixture_->startServer();
        writeFile("rehearsal.txt", kTwoCommands);
        writeFile("show.txt", "TIME_ABSOLUTE: 08:00:00 01-02-2099\r\n");
        QVERIFY(login());
        mirx::test::LogCapture log;
        mirx::shell::ViewRegistry views;
        mirx::shell::registerShellViews(views);
        CSystemAdministrationDlg main(fixture_->context(), views,
                                      CSystemAdministrationDlg::Layout::Standard);
        main.show();
        QVERIFY(main.commandFileTimers() != nullptr);
        QPushButton* button = main.button(ViewKey::CommandFiles);
        QVERIFY(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        auto* view = qobject_cast<CCommandFilesDlg*>(main.openView(ViewKey::CommandFiles));
        QVERIFY(view != nullptr);
        // Nothing is listed before the first one-second tick.
        QCOMPARE(view->list()->model()->rowCount(), 0);

        const QString path = folder() + "/rehearsal.txt";
        QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(path); }, kLoginTimeoutMs));
        const QAbstractItemModel& shown = *view->list()->model();
        QVERIFY(QTest::qWaitFor([&] { return shown.rowCount() == 1; }, 5000));
        QCOMPARE(cell(shown, 0, CommandFilesModel::kFileColumn), QString("show.txt"));
        QCOMPARE(cell(shown, 0, CommandFilesModel::kStatusColumn), QString("Pending"));
        QCOMPARE(log.count("Start TIMER_DOWNLOAD_REQUEST_HANDLE"), std::size_t{1});
        QCOMPARE(log.count("CSystemAdministrationDlg::OnTimer: TIMER_DOWNLOAD_REQUEST_HANDLE "
                           "complete"),
                 std::size_t{2});
        QVERIFY(!main.commandFileTimers()->responseTickRunning());
        main.reject();

        fixture_->stopServer();
        QVERIFY(fixture_->site.blockedListens[8].test(9));
        QVERIFY(fixture_->site.forcedListens[12].test(13));
    }
};

QTEST_MAIN(CommandFilesViewTest)
#include "command_files_view_test.moc"
