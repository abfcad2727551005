// The console's run against the simulator: login view, main window, and the
// way back, on the offscreen platform.
#include "core/message_ids.h"
#include "link/password_cipher.h"
#include "link/server_connection_handler.h"
#include "model/label_table.h"
#include "shell/common/status_palette.h"
#include "shell/login/configuration_dialog.h"
#include "shell/login/login_dialog.h"
#include "shell/main/about_dialog.h"
#include "shell/main/application.h"
#include "shell/main/main_window.h"
#include "tests/shell/shell_fixture.h"

#include <memory>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using mirx::reports::StatusColour;
using mirx::shell::CLoginDlg;
using mirx::shell::CSystemAdministrationApp;
using mirx::shell::CSystemAdministrationDlg;
using mirx::shell::ViewKey;

Q_DECLARE_METATYPE(StatusColour)
Q_DECLARE_METATYPE(CSystemAdministrationDlg::Layout)

namespace {

constexpr int kLoginTimeoutMs = 10000;
// A lost server is retried after the link's 5 s delay.
constexpr int kReconnectTimeoutMs = 20000;

int configuredClients(const mirx::site::Site& site) {
    mirx::model::LabelTable table;
    for (const auto& [number, label] : site.labels) {
        table.Store(static_cast<std::uint16_t>(number), label.view());
    }
    return table.ClientCount();
}

} // namespace

class ApplicationTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<mirx::test::ShellFixture> fixture_;
    std::unique_ptr<CSystemAdministrationApp> app_;

    CSystemAdministrationApp& app() {
        if (!app_) {
            app_ = std::make_unique<CSystemAdministrationApp>(fixture_->context(),
                                                              mirx::shell::ViewRegistry{});
        }
        return *app_;
    }

    // Starts the run and presses LOGIN with the stored name and password.
    bool startAndLogin() {
        app().start();
        if (!QTest::qWaitFor([this] { return app().loginView() != nullptr; })) {
            return false;
        }
        QTest::mouseClick(app().loginView()->loginButton(), Qt::LeftButton);
        return QTest::qWaitFor([this] { return app().mainWindow() != nullptr; }, kLoginTimeoutMs);
    }

    // Waits for a status refresh and returns the main window.
    CSystemAdministrationDlg* mainWithStatus() {
        CSystemAdministrationDlg* main = app().mainWindow();
        if (main == nullptr ||
            !QTest::qWaitFor([main] { return !main->upTimeField()->text().isEmpty(); }, 5000)) {
            return nullptr;
        }
        return main;
    }

private slots:
    void init() { fixture_ = std::make_unique<mirx::test::ShellFixture>(); }

    void cleanup() {
        app_.reset();
        fixture_.reset();
    }

    void loginOpensTheLayoutOfTheTrunkingMode_data() {
        QTest::addColumn<int>("trunkingFlags");
        QTest::addColumn<CSystemAdministrationDlg::Layout>("layout");
        QTest::addColumn<QString>("trunkingStatus");
        QTest::newRow("none") << 0 << CSystemAdministrationDlg::Layout::Standard << QString();
        QTest::newRow("rts") << 1 << CSystemAdministrationDlg::Layout::Trunking
                             << "Trunk Master On-Line";
        QTest::newRow("delec") << 2 << CSystemAdministrationDlg::Layout::Trunking
                               << "Not Configured";
    }
    void loginOpensTheLayoutOfTheTrunkingMode() {
        QFETCH(int, trunkingFlags);
        QFETCH(CSystemAdministrationDlg::Layout, layout);
        QFETCH(QString, trunkingStatus);
        fixture_->site.trunkingFlags = static_cast<std::uint8_t>(trunkingFlags);
        fixture_->startServer();
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = mainWithStatus();
        QVERIFY(main != nullptr);
        QCOMPARE(main->layout(), layout);
        QCOMPARE(main->windowTitle(), QString("MIRX System Administration"));
        const bool trunking = layout == CSystemAdministrationDlg::Layout::Trunking;
        QCOMPARE(main->button(ViewKey::RemoteConfiguration) != nullptr, trunking);
        QCOMPARE(main->trunkingField() != nullptr, trunking);
        if (trunking) {
            QCOMPARE(main->trunkingField()->text(), trunkingStatus);
        }
        QVERIFY(app().loginView() == nullptr);
    }

    void rejectionTextIsShown_data() {
        QTest::addColumn<int>("reason");
        QTest::addColumn<bool>("incompatible");
        QTest::addColumn<QString>("text");
        QTest::newRow("bad password")
            << 1 << false << "Provided user name and/or password is invalid!";
        QTest::newRow("unknown reason") << 9 << false << "Login rejected!";
        QTest::newRow("old server")
            << 0 << true << "Software version is not compatible with Server!";
    }
    void rejectionTextIsShown() {
        QFETCH(int, reason);
        QFETCH(bool, incompatible);
        QFETCH(QString, text);
        mirx::sim::FaultSwitches faults;
        faults.rejectLoginReason = static_cast<std::uint8_t>(reason);
        faults.incompatibleVersion = incompatible;
        fixture_->startServer(faults);
        QVERIFY(!startAndLogin());
        CLoginDlg* login = app().loginView();
        QVERIFY(login != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(login->statusText()->text(), text, kLoginTimeoutMs);
        QVERIFY(login->loginButton()->isEnabled());
        QVERIFY(app().mainWindow() == nullptr);
    }

    void emptyNameNeverConnects() {
        fixture_->startServer();
        app().start();
        QTRY_VERIFY(app().loginView() != nullptr);
        CLoginDlg* login = app().loginView();
        login->nameEdit()->clear();
        QTest::mouseClick(login->loginButton(), Qt::LeftButton);
        QTRY_COMPARE(login->statusText()->text(), QString("Login Name required."));
        QTest::qWait(300);
        QCOMPARE(fixture_->link().handler().ConnectionCount(), 0u);
        QCOMPARE(fixture_->link().linkState(), int(mirx::link::kLinkIdle));
    }

    void domainLogin_data() {
        QTest::addColumn<bool>("accountFound");
        QTest::addColumn<bool>("loggedIn");
        QTest::newRow("account found") << true << true;
        QTest::newRow("directory check fails") << false << false;
    }
    void domainLogin() {
        QFETCH(bool, accountFound);
        QFETCH(bool, loggedIn);
        const std::string key = "00112233445566778899aabbccddeeff";
        fixture_->store.set(mirx::link::kUseDomainAuthentication.name, std::uint32_t{1});
        fixture_->store.set(mirx::link::kDomainAuthenticationKey.name, key);
        if (accountFound) {
            fixture_->domainAccount = "admin";
        }
        mirx::sim::ProtocolOptions options;
        options.domainKey = mirx::link::parseKeyBase(key);
        fixture_->startServer({}, 0, options);
        app().start();
        QTRY_VERIFY(app().loginView() != nullptr);
        CLoginDlg* login = app().loginView();
        QVERIFY(!login->nameEdit()->isEnabled());
        QVERIFY(!login->passwordEdit()->isEnabled());
        QTest::mouseClick(login->loginButton(), Qt::LeftButton);
        if (loggedIn) {
            QTRY_VERIFY_WITH_TIMEOUT(app().mainWindow() != nullptr, kLoginTimeoutMs);
        } else {
            QTRY_COMPARE(login->statusText()->text(),
                         QString("Failed to validate the login using Domain Authentication!\n") +
                             mirx::test::ShellFixture::kDomainRefusal);
            QCOMPARE(fixture_->link().handler().ConnectionCount(), 0u);
        }
    }

    void tickingAutomaticLoginStartsAnAttempt() {
        fixture_->startServer();
        app().start();
        QTRY_VERIFY(app().loginView() != nullptr);
        QTest::qWait(300);
        QVERIFY(app().mainWindow() == nullptr); // not ticked: nothing happens on its own
        app().loginView()->automaticBox()->click();
        QCOMPARE(fixture_->store.get(mirx::link::kAutomaticLogin.name),
                 std::optional<mirx::link::StoredValue>(std::uint32_t{1}));
        QTRY_VERIFY_WITH_TIMEOUT(app().mainWindow() != nullptr, kLoginTimeoutMs);
    }

    void unansweredLoginShowsWhyAndIsTriedAgain() {
        mirx::sim::FaultSwitches faults;
        faults.ignoreMessageIds = {mirx::msg::ADMIN_LOGIN_REQUEST};
        fixture_->store.set(mirx::link::kAutomaticLogin.name, std::uint32_t{1});
        fixture_->startServer(faults);
        app().start();
        QTRY_VERIFY(app().loginView() != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(app().loginView()->statusText()->text(),
                                  QString(mirx::link::kNoLoginAnswerText), kLoginTimeoutMs);
        QVERIFY(app().loginView()->loginButton()->isEnabled());
        QCOMPARE(fixture_->link().linkState(), int(mirx::link::kAttemptFailed));
        // Automatic login: the next tick starts another attempt.
        QTRY_VERIFY_WITH_TIMEOUT(fixture_->frameLogCount("ADMIN_LOGIN_REQUEST") >= 2,
                                 kReconnectTimeoutMs);
        QVERIFY(app().mainWindow() == nullptr);
    }

    void lostConnectionLogsInAgainWhenTheServerIsBack() {
        fixture_->store.set(mirx::link::kAutomaticLogin.name, std::uint32_t{1});
        fixture_->startServer();
        app().start();
        QTRY_VERIFY_WITH_TIMEOUT(app().mainWindow() != nullptr, kLoginTimeoutMs);
        const std::uint16_t port = fixture_->port();

        fixture_->stopServer();
        QTRY_VERIFY_WITH_TIMEOUT(app().loginView() != nullptr, kLoginTimeoutMs);
        QVERIFY(app().mainWindow() == nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(app().loginView()->statusText()->text(),
                                  QString("Unable to connect to Ondrel!"), kLoginTimeoutMs);

        fixture_->startServer({}, port);
        QTRY_VERIFY_WITH_TIMEOUT(app().mainWindow() != nullptr, kReconnectTimeoutMs);
    }

    void statusFieldsColourByThreshold_data() {
        QTest::addColumn<qint64>("upTime");
        QTest::addColumn<int>("activeShare"); // 0 none, 1 below a quarter, 2 a quarter
        QTest::addColumn<StatusColour>("upTimeColour");
        QTest::addColumn<StatusColour>("connectionsColour");
        QTest::newRow("59 s, none active")
            << qint64(59) << 0 << StatusColour::Red << StatusColour::Red;
        QTest::newRow("9 min, below a quarter")
            << qint64(540) << 1 << StatusColour::Yellow << StatusColour::Yellow;
        QTest::newRow("1 h, a quarter")
            << qint64(3600) << 2 << StatusColour::Green << StatusColour::Green;
    }
    void statusFieldsColourByThreshold() {
        QFETCH(qint64, upTime);
        QFETCH(int, activeShare);
        QFETCH(StatusColour, upTimeColour);
        QFETCH(StatusColour, connectionsColour);
        const int configured = configuredClients(fixture_->site);
        QVERIFY(configured >= 8);
        const int quarter = configured >> 2;
        const int active = activeShare == 0 ? 0 : activeShare == 1 ? quarter - 1 : quarter;
        fixture_->site.status.upTimeSeconds = upTime;
        fixture_->site.status.activeConnections = static_cast<std::uint16_t>(active);
        fixture_->startServer();
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = mainWithStatus();
        QVERIFY(main != nullptr);
        QCOMPARE(mirx::shell::shownStatusColour(*main->upTimeField()), upTimeColour);
        QTRY_COMPARE(main->connectionsField()->text(),
                     QString("%1 of %2").arg(active).arg(configured));
        QCOMPARE(mirx::shell::shownStatusColour(*main->connectionsField()), connectionsColour);
        QCOMPARE(mirx::shell::shownStatusColour(*main->audioInputsField()), StatusColour::Cyan);
    }

    void failoverButtonFollowsStateOnlyForFullAdministrators_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("full administrator") << "admin" << true;
        QTest::newRow("operator") << "operator" << false;
    }
    void failoverButtonFollowsStateOnlyForFullAdministrators() {
        QFETCH(QString, user);
        QFETCH(bool, enabled);
        fixture_->site.status.failoverState = 3;
        fixture_->store.set(mirx::link::kUserName.name, user.toStdString());
        fixture_->store.set(mirx::link::kPassword.name, user.toStdString());
        fixture_->startServer();
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = mainWithStatus();
        QVERIFY(main != nullptr);
        QCOMPARE(main->failoverField()->text(), QString("PRIMARY ACTIVE\nSecondary Standby"));
        QCOMPARE(mirx::shell::shownStatusColour(*main->failoverField()), StatusColour::Green);
        QCOMPARE(main->failoverButton()->text().remove('&'), QString("Force Failover"));
        QCOMPARE(main->failoverButton()->isEnabled(), enabled);
        QCOMPARE(main->restartButton()->isEnabled(), enabled);
        QCOMPARE(main->button(ViewKey::SystemSettings)->isEnabled(), enabled);
        // A grey control says why; an enabled one has nothing to explain.
        for (QPushButton* button : {main->restartButton(), main->failoverButton(),
                                    main->button(ViewKey::SystemSettings)}) {
            QCOMPARE(button->toolTip().contains("full administrator rights"), !enabled);
        }
        QVERIFY(main->button(ViewKey::ClientStatistics)->toolTip().isEmpty());
        const QString level = enabled ? "level 1, full administrator" : "level ";
        QVERIFY2(main->userText()->text().startsWith(user + " (" + level),
                 qPrintable(main->userText()->text()));
    }

    void statusBarShowsWhereAndSinceWhen() {
        fixture_->startServer();
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = app().mainWindow();
        QCOMPARE(main->serverText()->text(), QString("Server 127.0.0.1:%1").arg(fixture_->port()));
        QVERIFY(main->connectionText()->text().startsWith("Connected since "));
        QVERIFY(mainWithStatus() != nullptr);
        QTRY_VERIFY(main->lastStatusText()->text().startsWith("Last status at "));
        QVERIFY(QRegularExpression("^Last status at \\d\\d:\\d\\d:\\d\\d$")
                    .match(main->lastStatusText()->text())
                    .hasMatch());
    }

    void lostConnectionSaysWhyAndWhen_data() {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("why");
        QTest::newRow("server stopped") << false << "Ondrel closed the connection.";
        QTest::newRow("server went silent") << true << "Ondrel sent nothing for 2000 ms.";
    }
    void lostConnectionSaysWhyAndWhen() {
        QFETCH(bool, silent);
        QFETCH(QString, why);
        mirx::sim::FaultSwitches faults;
        if (silent) {
            // The announced check time must reach the console before the
            // silence, however slow the build: keep-alives go out early and
            // often, and the silence starts well after the login.
            faults.keepAliveIntervalMs = 200;
            faults.silentAfterMs = 6000;
            faults.announcedCheckTimeMs = 2000;
        }
        fixture_->startServer(faults);
        QVERIFY(startAndLogin());
        if (!silent) {
            fixture_->stopServer();
        }
        QTRY_VERIFY_WITH_TIMEOUT(app().loginView() != nullptr, kLoginTimeoutMs);
        const QString note = app().loginView()->connectionNote()->text();
        QVERIFY2(QRegularExpression("^Connection lost at \\d\\d:\\d\\d:\\d\\d: " +
                                    QRegularExpression::escape(why) + "$")
                     .match(note)
                     .hasMatch(),
                 qPrintable(note));
        if (!silent) {
            // The retry that follows at once finds nothing listening.
            QTRY_VERIFY_WITH_TIMEOUT(
                app().loginView()->connectionNote()->text().contains(
                    "Ondrel refused the connection: nothing listens on its port."),
                kLoginTimeoutMs);
            QVERIFY(app().loginView()->connectionNote()->text().startsWith("Last attempt at "));
        }
    }

    void automaticRetriesCountDownAndCanBeCancelled() {
        fixture_->store.set(mirx::link::kAutomaticLogin.name, std::uint32_t{1});
        fixture_->startServer();
        app().start();
        QTRY_VERIFY_WITH_TIMEOUT(app().mainWindow() != nullptr, kLoginTimeoutMs);
        fixture_->stopServer();
        QTRY_VERIFY_WITH_TIMEOUT(app().loginView() != nullptr, kLoginTimeoutMs);
        CLoginDlg* login = app().loginView();
        QTRY_VERIFY_WITH_TIMEOUT(login->countdownText()->text().startsWith("Next attempt in "),
                                 kLoginTimeoutMs);
        QVERIFY(login->cancelButton()->isVisible());
        QTest::mouseClick(login->cancelButton(), Qt::LeftButton);
        QVERIFY(login->countdownText()->text().isEmpty());
        QVERIFY(!login->cancelButton()->isVisible());
        QCOMPARE(fixture_->link().linkState(), int(mirx::link::kLinkIdle));
        // The server is back, but nothing tries until asked.
        fixture_->startServer();
        const std::size_t requests = fixture_->frameLogCount("ADMIN_LOGIN_REQUEST");
        QTest::qWait(CLoginDlg::kAutomaticRetryMs + 1000);
        QVERIFY(app().mainWindow() == nullptr);
        QCOMPARE(fixture_->frameLogCount("ADMIN_LOGIN_REQUEST"), requests);
    }

    void attemptInProgressCanBeCancelled_data() {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("Escape") << true;
    }
    void attemptInProgressCanBeCancelled() {
        QFETCH(bool, byEscape);
        mirx::sim::FaultSwitches faults;
        faults.ignoreMessageIds = {mirx::msg::ADMIN_LOGIN_REQUEST};
        fixture_->startServer(faults);
        app().start();
        QTRY_VERIFY(app().loginView() != nullptr);
        CLoginDlg* login = app().loginView();
        QVERIFY(!login->busyIndicator()->isVisible());
        QVERIFY(!login->cancelButton()->isVisible());
        QTest::mouseClick(login->loginButton(), Qt::LeftButton);
        QTRY_VERIFY(login->attemptRunning());
        QTRY_VERIFY(login->busyIndicator()->isVisible());
        QVERIFY(login->cancelButton()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(fixture_->frameLogCount("ADMIN_LOGIN_REQUEST") == 1,
                                 kLoginTimeoutMs);
        if (byEscape) {
            login->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(login));
            QTest::keyClick(login, Qt::Key_Escape);
        } else {
            QTest::mouseClick(login->cancelButton(), Qt::LeftButton);
        }
        QVERIFY(!login->attemptRunning());
        QCOMPARE(app().loginView(), login);
        QVERIFY(login->isVisible());
        QCOMPARE(login->statusText()->text(), QString("Login cancelled."));
        QVERIFY(login->loginButton()->isEnabled());
        QVERIFY(!login->busyIndicator()->isVisible());
        QVERIFY(!fixture_->link().connected());
        QCOMPARE(fixture_->link().linkState(), int(mirx::link::kLinkIdle));
    }

    void failoverIsRequestedOnlyOnYes() {
        fixture_->site.status.failoverState = 3;
        fixture_->startServer();
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = mainWithStatus();
        QVERIFY(main != nullptr);
        QTRY_VERIFY(main->failoverButton()->isEnabled());

        fixture_->prompter.answers = {false};
        main->failoverButton()->click();
        QCOMPARE(fixture_->prompter.asked.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.asked[0].caption, QString("Force Failover Confirmation"));
        QTest::qWait(1500);
        QCOMPARE(main->failoverField()->text(), QString("PRIMARY ACTIVE\nSecondary Standby"));
        QCOMPARE(fixture_->frameLogCount("ADMIN_FORCE_FAILOVER_REQUEST"), std::size_t{0});

        fixture_->prompter.answers = {true};
        main->failoverButton()->click();
        QTRY_COMPARE(fixture_->frameLogCount("ADMIN_FORCE_FAILOVER_REQUEST"), std::size_t{1});
        QTRY_COMPARE_WITH_TIMEOUT(main->failoverField()->text(),
                                  QString("Primary Standby\n SECONDARY ACTIVE"), 5000);
        QCOMPARE(main->failoverButton()->text().remove('&'), QString("Force Failback"));
        QVERIFY(main->failoverButton()->text().contains('&'));
        // The one request it sent is the failover, never a restart.
        QCOMPARE(fixture_->frameLogCount("ADMIN_SYSTEM_RESTART_REQUEST"), std::size_t{0});
    }

    void restartIsRequestedOnlyOnYes() {
        fixture_->startServer();
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = app().mainWindow();

        fixture_->prompter.answers = {false};
        main->restartButton()->click();
        QCOMPARE(fixture_->prompter.asked.back().caption, QString("System Restart Confirmation"));
        QTest::qWait(500);
        QCOMPARE(fixture_->frameLogCount("ADMIN_SYSTEM_RESTART_REQUEST"), std::size_t{0});

        fixture_->prompter.answers = {true};
        main->restartButton()->click();
        QTRY_COMPARE(fixture_->frameLogCount("ADMIN_SYSTEM_RESTART_REQUEST"), std::size_t{1});
        QCOMPARE(fixture_->frameLogCount("ADMIN_FORCE_FAILOVER_REQUEST"), std::size_t{0});
    }

    void titlesCarryTheProfile() {
        fixture_->context().profile = "Site A";
        fixture_->startServer();
        app().start();
        QTRY_VERIFY(app().loginView() != nullptr);
        QCOMPARE(app().loginView()->windowTitle(),
                 QString("MIRX System Administration Login - Site A"));
        QTest::mouseClick(app().loginView()->loginButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(app().mainWindow() != nullptr, kLoginTimeoutMs);
        QCOMPARE(app().mainWindow()->windowTitle(), QString("MIRX System Administration - Site A"));
    }

    void modelessViewOpensOnce() {
        fixture_->startServer();
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = app().mainWindow();
        QPushButton* statistics = main->button(ViewKey::ClientStatistics);
        statistics->click();
        QDialog* view = main->openView(ViewKey::ClientStatistics);
        QVERIFY(view != nullptr);
        QVERIFY(!statistics->isEnabled());
        statistics->click();
        QCOMPARE(main->openView(ViewKey::ClientStatistics), view);
        view->close();
        QTRY_VERIFY(statistics->isEnabled());
        QVERIFY(main->openView(ViewKey::ClientStatistics) == nullptr);
    }

    void commandFilesAndDebugButtonsFollowTheirConditions_data() {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("debug");
        QTest::newRow("neither") << false << false;
        QTest::newRow("folder and /Debug") << true << true;
    }
    void commandFilesAndDebugButtonsFollowTheirConditions() {
        QFETCH(bool, folder);
        QFETCH(bool, debug);
        QTemporaryDir programDirectory;
        if (folder) {
            QVERIFY(QDir(programDirectory.path()).mkdir("Command Files"));
        }
        fixture_->context().programDirectory = programDirectory.path().toStdString();
        fixture_->context().debugControls = debug;
        fixture_->startServer();
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = app().mainWindow();
        QCOMPARE(main->button(ViewKey::CommandFiles)->isVisibleTo(main), folder);
        QCOMPARE(main->button(ViewKey::DebugLog)->isVisibleTo(main), debug);
        // Looking never creates the folder.
        QCOMPARE(QDir(programDirectory.path()).exists("Command Files"), folder);
    }

    void logoutReturnsToLoginAndExitEnds() {
        fixture_->startServer();
        QSignalSpy finished(&app(), &CSystemAdministrationApp::finished);
        QVERIFY(startAndLogin());
        app().mainWindow()->logoutButton()->click();
        QTRY_VERIFY(app().loginView() != nullptr);
        QVERIFY(app().mainWindow() == nullptr);
        QCOMPARE(fixture_->link().linkState(), int(mirx::link::kLinkIdle));
        QCOMPARE(finished.count(), 0);

        QTest::mouseClick(app().loginView()->loginButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(app().mainWindow() != nullptr, kLoginTimeoutMs);
        app().mainWindow()->exitButton()->click();
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).value<CSystemAdministrationApp::Outcome>(),
                 CSystemAdministrationApp::Outcome::Exited);
        QVERIFY(!fixture_->link().connected());
    }

    void escapeAndEnterLeaveTheMainWindowOpen_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }
    void escapeAndEnterLeaveTheMainWindowOpen() {
        QFETCH(int, key);
        fixture_->startServer();
        QSignalSpy finished(&app(), &CSystemAdministrationApp::finished);
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = app().mainWindow();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        // Wherever the focus is: on the window, and on the Logout button.
        QTest::keyClick(main, Qt::Key(key));
        main->logoutButton()->setFocus();
        QTest::keyClick(main->logoutButton(), Qt::Key(key));
        QTest::qWait(200);
        QCOMPARE(app().mainWindow(), main);
        QVERIFY(main->isVisible());
        QVERIFY(app().loginView() == nullptr);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(fixture_->link().linkState(), int(mirx::link::kLoggedIn));
        for (QPushButton* button : main->findChildren<QPushButton*>()) {
            QVERIFY2(!button->isDefault() && !button->autoDefault(), qPrintable(button->text()));
        }
    }

    void ctrlQEndsTheProgramFromTheMainWindow() {
        fixture_->startServer();
        QSignalSpy finished(&app(), &CSystemAdministrationApp::finished);
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = app().mainWindow();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        QTest::keyClick(main, Qt::Key_Q, Qt::ControlModifier);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).value<CSystemAdministrationApp::Outcome>(),
                 CSystemAdministrationApp::Outcome::Exited);
    }

    void mainWindowButtonsHaveTheirOwnMnemonics() {
        fixture_->startServer();
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = app().mainWindow();
        QSet<QChar> seen;
        for (QPushButton* button : main->findChildren<QPushButton*>()) {
            const QString text = button->text();
            const qsizetype at = text.indexOf(QLatin1Char('&'));
            QVERIFY2(at >= 0 && at + 1 < text.size(), qPrintable(text));
            QVERIFY2(!seen.contains(text[at + 1].toLower()), qPrintable(text));
            seen.insert(text[at + 1].toLower());
            QVERIFY2(!button->accessibleName().contains(QLatin1Char('&')), qPrintable(text));
        }
        QCOMPARE(main->logoutButton()->accessibleName(), QString("Logout"));
    }

    void logoutPausesAutomaticLoginUntilTheNextManualOne() {
        fixture_->store.set(mirx::link::kAutomaticLogin.name, std::uint32_t{1});
        fixture_->startServer();
        app().start();
        QTRY_VERIFY_WITH_TIMEOUT(app().mainWindow() != nullptr, kLoginTimeoutMs);
        app().mainWindow()->logoutButton()->click();
        QTRY_VERIFY(app().loginView() != nullptr);
        CLoginDlg* login = app().loginView();
        QVERIFY(login->automaticBox()->isChecked());
        QVERIFY(login->automaticRetriesPaused());
        // Past the automatic retry tick: still at the login view.
        QTest::qWait(CLoginDlg::kAutomaticRetryMs + 1000);
        QVERIFY(app().mainWindow() == nullptr);
        QCOMPARE(fixture_->frameLogCount("ADMIN_LOGIN_REQUEST"), 1u);

        // A manual login re-arms it: a lost connection is retried again.
        QTest::mouseClick(login->loginButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(app().mainWindow() != nullptr, kLoginTimeoutMs);
        const std::uint16_t port = fixture_->port();
        fixture_->stopServer();
        QTRY_VERIFY_WITH_TIMEOUT(app().loginView() != nullptr, kLoginTimeoutMs);
        QVERIFY(!app().loginView()->automaticRetriesPaused());
        fixture_->startServer({}, port);
        QTRY_VERIFY_WITH_TIMEOUT(app().mainWindow() != nullptr, kReconnectTimeoutMs);
    }

    void loginViewTabOrderFollowsTheLayout() {
        fixture_->startServer();
        app().start();
        QTRY_VERIFY(app().loginView() != nullptr);
        CLoginDlg* login = app().loginView();
        const QList<QWidget*> expected{login->nameEdit(), login->passwordEdit(),
                                       login->automaticBox(), login->configureButton(),
                                       login->loginButton()};
        QWidget* at = login->nameEdit();
        for (qsizetype i = 1; i < expected.size(); ++i) {
            do {
                at = at->nextInFocusChain();
            } while (at->focusPolicy() == Qt::NoFocus || !expected.contains(at));
            QCOMPARE(at, expected[i]);
        }
        // The labels' mnemonics reach their fields.
        login->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(login));
        QTest::keyClick(login, Qt::Key_P, Qt::AltModifier);
        QVERIFY(login->passwordEdit()->hasFocus());
        QCOMPARE(login->passwordEdit()->accessibleName(), QString("Login Password"));
    }

    void everyWindowFitsAtDoubleScale_data() {
        QTest::addColumn<int>("trunkingFlags");
        QTest::newRow("standard") << 0;
        QTest::newRow("trunking") << 1;
    }
    void everyWindowFitsAtDoubleScale() {
        QFETCH(int, trunkingFlags);
        fixture_->site.trunkingFlags = static_cast<std::uint8_t>(trunkingFlags);
        fixture_->startServer();
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = app().mainWindow();
        auto& context = fixture_->context();
        CLoginDlg login(context, CLoginDlg::Opening::AfterLogout);
        mirx::shell::CConfigurationDlg configuration(context);
        mirx::shell::CAboutDlg about(context);
        for (QWidget* window :
             std::initializer_list<QWidget*>{main, &login, &configuration, &about}) {
            const QString problem = mirx::test::windowFitProblem(*window);
            QVERIFY2(problem.isEmpty(), qPrintable(window->windowTitle() + ": " + problem));
        }
    }

    void mainWindowKeepsItsSizeAndItsFieldsTheirShape() {
        fixture_->startServer();
        QVERIFY(startAndLogin());
        CSystemAdministrationDlg* main = mainWithStatus();
        QVERIFY(main != nullptr);
        const int fieldHeight = main->upTimeField()->height();
        const QSize larger = main->size() + QSize(20, 40);
        QVERIFY(main->screen()->availableGeometry().size().expandedTo(larger) ==
                main->screen()->availableGeometry().size());
        main->resize(larger);
        QTRY_COMPARE(main->size(), larger);
        QCOMPARE(main->upTimeField()->height(), fieldHeight);
        main->logoutButton()->click();
        QTRY_VERIFY(app().loginView() != nullptr);
        QTest::mouseClick(app().loginView()->loginButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(app().mainWindow() != nullptr, kLoginTimeoutMs);
        QTRY_COMPARE(app().mainWindow()->size(), larger);
    }

    void closingTheLoginViewEnds() {
        fixture_->startServer();
        QSignalSpy finished(&app(), &CSystemAdministrationApp::finished);
        app().start();
        QTRY_VERIFY(app().loginView() != nullptr);
        app().loginView()->reject();
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).value<CSystemAdministrationApp::Outcome>(),
                 CSystemAdministrationApp::Outcome::LoginCancelled);
    }
};

QTEST_MAIN(ApplicationTest)
#include "application_test.moc"
