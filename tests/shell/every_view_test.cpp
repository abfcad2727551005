// Every view an administrator opens, against the demo site on the offscreen
// platform and with the /Debug controls shown: each control a screen reader
// lands on has a name, Tab and Shift+Tab reach every control that takes
// focus and move on from each (no list or text box keeps them), the window
// fits a small screen, Escape closes it without sending a record, and the
// view closes cleanly (or stays, as its table row says) when the server goes
// away under it.
#include "commandfiles/answer_guard.h"
#include "commandfiles/command_files.h"
#include "editors/audio/audio_settings_dialog.h"
#include "editors/clients/client_edit_dialog.h"
#include "editors/clients/template_query_dialog.h"
#include "editors/editor_views.h"
#include "editors/groups/group_edit_dialog.h"
#include "editors/groups/group_membership_dialog.h"
#include "editors/options/client_options_dialog.h"
#include "editors/options/options_differences_dialog.h"
#include "editors/remote/remote_edit_dialog.h"
#include "editors/selectors/hot_key_dialog.h"
#include "editors/selectors/selector_assignments_dialog.h"
#include "model/client_list.h"
#include "model/client_types.h"
#include "model/group_list.h"
#include "model/remote_list.h"
#include "monitor/debug_filter_dialog.h"
#include "monitor/monitor_views.h"
#include "monitor/report_dialogs.h"
#include "shell/common/record_sender.h"
#include "shell/login/configuration_dialog.h"
#include "shell/login/login_dialog.h"
#include "shell/main/about_dialog.h"
#include "shell/main/main_window.h"
#include "shell/main/shell_views.h"
#include "shell/main/view_registry.h"
#include "tests/shell/shell_fixture.h"

#include <fstream>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

namespace {

using mirx::shell::ShellContext;
using mirx::shell::ViewKey;

// Client indexes and labels of the demo site the sub-views are opened for.
struct Targets {
    int controlPanel = -1;
    int sipDevice = -1;
    int group = -1;
    int remote = -1;
};

struct ViewCase {
    const char* name;
    ViewKey key;
    std::function<QDialog*(ShellContext&, const Targets&)> open;
};

// Every view the console registers, as mirx-admin does.
void registerAllViews(mirx::shell::ViewRegistry& views) {
    mirx::shell::registerShellViews(views);
    mirx::editors::registerEditorViews(views);
    mirx::monitor::registerMonitorViews(views);
}

QDialog* fromRegistry(ShellContext& context, ViewKey key) {
    mirx::shell::ViewRegistry views;
    registerAllViews(views);
    return views.create(key, context, nullptr);
}

std::vector<ViewCase> viewCases(mirx::shell::RecordSender& sender) {
    using namespace mirx::editors;
    using namespace mirx::monitor;
    const auto registered = [](const char* name, ViewKey key) {
        return ViewCase{name, key, [key](ShellContext& c, const Targets&) {
                            return fromRegistry(c, key);
                        }};
    };
    return {
        registered("system settings", ViewKey::SystemSettings),
        registered("client statistics", ViewKey::ClientStatistics),
        registered("client list", ViewKey::ClientConfiguration),
        registered("group list", ViewKey::GroupConfiguration),
        registered("remote list", ViewKey::RemoteConfiguration),
        registered("activity log", ViewKey::ActivityLog),
        registered("debug log", ViewKey::DebugLog),
        registered("SIP registrations", ViewKey::SipRegistrations),
        registered("reports", ViewKey::Reports),
        registered("user interface settings", ViewKey::UserInterfaceSettings),
        registered("command files", ViewKey::CommandFiles),
        {"client add", ViewKey::ClientConfigurationEdit,
         [&sender](ShellContext& c, const Targets&) {
             return new CClientConfigurationEditDlg(c, -1, -1, sender);
         }},
        {"client edit", ViewKey::ClientConfigurationEdit,
         [&sender](ShellContext& c, const Targets& t) {
             return new CClientConfigurationEditDlg(c, t.controlPanel, -1, sender);
         }},
        {"template question", ViewKey::ClientConfigurationTemplateQuery,
         [](ShellContext& c, const Targets&) {
             return new CClientConfigurationTemplateQueryDlg(c, true, true);
         }},
        {"control panel options", ViewKey::ClientOptions,
         [](ShellContext& c, const Targets& t) {
             return new CClientConfigurationOptionsDlg(c, t.controlPanel);
         }},
        {"SIP options", ViewKey::ClientOptions,
         [](ShellContext& c, const Targets& t) {
             return new CClientConfigurationOptionsDlg(c, t.sipDevice);
         }},
        {"options differences", ViewKey::ClientOptionsDifferences,
         [](ShellContext& c, const Targets&) {
             return new COptionsDifferencesDlg(c, QStringLiteral("Studio"),
                                               QStringLiteral("Ring Tone Disable"));
         }},
        {"audio settings", ViewKey::ClientAudioSettings,
         [](ShellContext& c, const Targets& t) {
             return new CClientConfigurationAudioSettingsDlg(c, t.controlPanel);
         }},
        {"selector assignments", ViewKey::ClientSelectorAssignments,
         [](ShellContext& c, const Targets& t) {
             return new CClientConfigurationSelectorAssignmentsDlg(c, t.controlPanel);
         }},
        {"hot key", ViewKey::SelectorHotKey,
         [](ShellContext& c, const Targets&) {
             return new CHotKeySelectionDlg(c, mirx::model::HotKeyChoice{});
         }},
        {"group edit", ViewKey::GroupConfigurationEdit,
         [](ShellContext& c, const Targets& t) {
             return new CGroupConfigurationEditDlg(c, t.group);
         }},
        {"group membership", ViewKey::GroupMembership,
         [](ShellContext& c, const Targets& t) {
             return new CGroupConfigurationMembershipDlg(c, t.group);
         }},
        {"remote edit", ViewKey::RemoteConfigurationEdit,
         [](ShellContext& c, const Targets& t) {
             return new CRemoteConfigurationEditDlg(c, t.remote);
         }},
        {"debug filters", ViewKey::DebugFilter,
         [](ShellContext& c, const Targets&) {
             return new CDebugFilterDlg(c);
         }},
        {"debug filter edit", ViewKey::DebugFilterEdit,
         [](ShellContext& c, const Targets&) {
             return new CDebugFilterEditDlg(c, 0x80000000u);
         }},
        {"connection status report", ViewKey::ReportConnectionStatus,
         [](ShellContext& c, const Targets&) {
             return new CReportConnectionStatusDlg(c);
         }},
        {"party line membership report", ViewKey::ReportPartyLineMembership,
         [](ShellContext& c, const Targets&) {
             return new CReportPartyLineMembershipDlg(c);
         }},
        {"selector assignments report", ViewKey::ReportSelectorAssignments,
         [](ShellContext& c, const Targets&) {
             return new CReportSelectorAssignmentsDlg(c);
         }},
        {"connection settings", ViewKey::ConnectionSettings,
         [](ShellContext& c, const Targets&) {
             return new mirx::shell::CConfigurationDlg(c);
         }},
        {"about", ViewKey::About,
         [](ShellContext& c, const Targets&) {
             return new mirx::shell::CAboutDlg(c);
         }},
    };
}

// The controls a screen reader speaks as one control: not the parts a combo
// box, a spin box or a list is made of.
bool speaksAsControl(const QWidget& widget) {
    const QWidget* parent = widget.parentWidget();
    for (const QWidget* up = parent; up != nullptr; up = up->parentWidget()) {
        if (qobject_cast<const QComboBox*>(up) != nullptr ||
            qobject_cast<const QAbstractSpinBox*>(up) != nullptr ||
            qobject_cast<const QAbstractItemView*>(up) != nullptr) {
            return false;
        }
    }
    if (qobject_cast<const QHeaderView*>(&widget) != nullptr ||
        qobject_cast<const QScrollBar*>(&widget) != nullptr) {
        return false;
    }
    return qobject_cast<const QAbstractButton*>(&widget) != nullptr ||
           qobject_cast<const QLineEdit*>(&widget) != nullptr ||
           qobject_cast<const QComboBox*>(&widget) != nullptr ||
           qobject_cast<const QAbstractItemView*>(&widget) != nullptr ||
           qobject_cast<const QAbstractSlider*>(&widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(&widget) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(&widget) != nullptr ||
           qobject_cast<const QTextEdit*>(&widget) != nullptr;
}

QString describe(const QWidget& widget) {
    QString text = widget.metaObject()->className();
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        text += QStringLiteral(" \"%1\"").arg(button->text());
    }
    if (!widget.accessibleName().isEmpty()) {
        text += QStringLiteral(" (%1)").arg(widget.accessibleName());
    }
    return text;
}

QStringList unnamedControls(QDialog& view) {
    QStringList problems;
    for (QWidget* widget : view.findChildren<QWidget*>()) {
        if (widget->isVisibleTo(&view) && speaksAsControl(*widget) &&
            widget->accessibleName().isEmpty()) {
            problems << QStringLiteral("unnamed ") + describe(*widget);
        }
    }
    return problems;
}

// The widget that stands for `focused` in the tab order: the one it is the
// focus proxy of, if any, within the view.
QWidget* tabStop(QWidget* focused, const QList<QWidget*>& candidates) {
    for (QWidget* candidate : candidates) {
        if (candidate == focused || candidate->focusProxy() == focused) {
            return candidate;
        }
    }
    return focused;
}

// Walks the tab order by pressing Tab, then back by Shift+Tab: every enabled
// control that takes focus by Tab must be reached both ways, and each press
// must move the focus on.
QStringList keyboardProblems(QDialog& view) {
    // A list keeps Tab for moving between its cells only once a row is
    // current, as after the administrator picked one.
    for (QAbstractItemView* list : view.findChildren<QAbstractItemView*>()) {
        if (qobject_cast<QHeaderView*>(list) == nullptr && list->model() != nullptr &&
            list->model()->rowCount() > 0 && !list->currentIndex().isValid()) {
            list->setCurrentIndex(list->model()->index(0, 0));
        }
    }
    QList<QWidget*> stops;
    for (QWidget* widget : view.findChildren<QWidget*>()) {
        if (widget->isVisibleTo(&view) && widget->isEnabled() &&
            (widget->focusPolicy() & Qt::TabFocus) != 0 && widget->focusProxy() == nullptr) {
            stops << widget;
        }
    }
    QStringList problems;
    if (stops.isEmpty()) {
        return problems;
    }
    QApplication::setActiveWindow(&view);
    if (!QTest::qWaitForWindowActive(&view)) {
        return {QStringLiteral("the window never became active")};
    }
    if (QApplication::focusWidget() == nullptr) {
        stops.front()->setFocus(Qt::TabFocusReason);
    }
    for (const auto& [key, name] : {std::pair{Qt::Key_Tab, QStringLiteral("Tab")},
                                    std::pair{Qt::Key_Backtab, QStringLiteral("Shift+Tab")}}) {
        QSet<QWidget*> reached;
        for (int press = 0; press < 2 * stops.size() + 2; ++press) {
            QWidget* focused = QApplication::focusWidget();
            if (focused == nullptr) {
                problems << name + QStringLiteral(" left nothing focused");
                break;
            }
            reached.insert(tabStop(focused, stops));
            QTest::keyClick(focused, key);
            if (QApplication::focusWidget() == focused && stops.size() > 1) {
                problems << name + QStringLiteral(" does not leave ") + describe(*focused);
                break;
            }
        }
        for (QWidget* stop : stops) {
            // One that an earlier control's focus-out hid or disabled is no
            // longer a stop.
            if (!reached.contains(stop) && stop->isVisible() && stop->isEnabled()) {
                problems << name + QStringLiteral(" never reaches ") + describe(*stop);
            }
        }
    }
    return problems;
}

// Names and the tab order, and with `fits` the window's size too.
QStringList problemsOf(QDialog& window, bool fits) {
    QStringList problems = unnamedControls(window) + keyboardProblems(window);
    if (const QString fit = mirx::test::windowFitProblem(window); fits && !fit.isEmpty()) {
        problems << fit;
    }
    return problems;
}

} // namespace

class EveryViewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<mirx::test::ShellFixture> fixture_;
    std::unique_ptr<mirx::shell::RecordSender> sender_;
    QTemporaryDir program_;
    std::unique_ptr<mirx::commandfiles::AnswerGuard> guard_;
    std::unique_ptr<mirx::commandfiles::CCommandFiles> commandFiles_;
    Targets targets_;

    // A command file due long after the test, so the list has a row.
    void listCommandFile() {
        auto& context = fixture_->context();
        context.programDirectory = program_.path().toStdString();
        // Beside the program, so the folder in the home directory is not used.
        std::filesystem::create_directory(context.programDirectory / "Command Files");
        const auto folder = mirx::commandfiles::commandFilesFolder(context.programDirectory);
        std::ofstream(folder / "later.txt", std::ios::binary)
            << "TIME_ABSOLUTE: 08:00:00 01-02-2099\r\n"
               "BLOCKED_LISTEN: SET _client.8_ from _client.9_\r\n";
        guard_ =
            std::make_unique<mirx::commandfiles::AnswerGuard>(fixture_->mirror.membershipFlags());
        commandFiles_ = std::make_unique<mirx::commandfiles::CCommandFiles>(
            folder,
            mirx::commandfiles::CommandEnvironment{fixture_->mirror,
                                                   &fixture_->link().requestQueue()},
            *guard_, mirx::commandfiles::probeLink(fixture_->link()));
        context.answerGuard = guard_.get();
        context.commandFiles = commandFiles_.get();
        commandFiles_->SecondTick();
    }

    Targets findTargets() {
        return fixture_->mirror.read([](const mirx::model::MirrorData& d) {
            Targets t;
            for (const int index : mirx::model::clientIndexesInOrder(d.labels)) {
                const auto* label = d.labels.Find(d.labels.ClientLabelNumber(index));
                const int type =
                    label != nullptr ? label->get(mirx::model::LabelInfo::kClientType) : 0;
                if (t.controlPanel < 0 && mirx::model::isControlPanel(type)) {
                    t.controlPanel = index;
                }
                if (t.sipDevice < 0 && mirx::model::isSipDevice(type)) {
                    t.sipDevice = index;
                }
            }
            const auto groups = mirx::model::buildGroupRows(d.labels);
            t.group = groups.empty() ? -1 : groups.front().labelNumber;
            const auto remotes = mirx::model::buildRemoteRows(d.labels);
            t.remote = remotes.empty() ? -1 : remotes.front().labelNumber;
            return t;
        });
    }

    void eachView() {
        QTest::addColumn<int>("which");
        const auto cases = viewCases(*sender_);
        for (std::size_t i = 0; i < cases.size(); ++i) {
            QTest::newRow(cases[i].name) << static_cast<int>(i);
        }
    }

    // The view of row `which`, shown and filled.
    std::unique_ptr<QDialog> openView(int which, ViewKey& key) {
        const ViewCase opened = viewCases(*sender_)[static_cast<std::size_t>(which)];
        key = opened.key;
        std::unique_ptr<QDialog> view(opened.open(fixture_->context(), targets_));
        if (view != nullptr) {
            view->show();
            // Long enough for the view's records to come and fill it.
            QTest::qWait(400);
        }
        return view;
    }

private slots:
    void initTestCase() {
        fixture_ = std::make_unique<mirx::test::ShellFixture>();
        fixture_->context().debugControls = true;
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        sender_ = std::make_unique<mirx::shell::RecordSender>(fixture_->link().requestQueue());
        QVERIFY(program_.isValid());
        listCommandFile();
        targets_ = findTargets();
        QVERIFY(targets_.controlPanel >= 0 && targets_.sipDevice >= 0 && targets_.group >= 0 &&
                targets_.remote >= 0);
    }

    void cleanupTestCase() {
        fixture_->link().StopLink();
        sender_.reset();
        commandFiles_.reset();
        guard_.reset();
        fixture_.reset();
    }

    void isNamedReachedByTabAndFits_data() { eachView(); }

    void isNamedReachedByTabAndFits() {
        QFETCH(int, which);
        ViewKey key{};
        const std::unique_ptr<QDialog> view = openView(which, key);
        QVERIFY(view != nullptr);
        QVERIFY2(view->isVisible(), "the view closed itself");
        const QStringList problems = problemsOf(*view, true);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
        view->reject();
    }

    // The two windows around the views: the login and the main window.
    void loginAndMainWindowAreNamedAndReachedByTab() {
        mirx::shell::ViewRegistry views;
        registerAllViews(views);
        for (const auto layout : {mirx::shell::CSystemAdministrationDlg::Layout::Standard,
                                  mirx::shell::CSystemAdministrationDlg::Layout::Trunking}) {
            mirx::shell::CSystemAdministrationDlg main(fixture_->context(), views, layout);
            main.show();
            QTest::qWait(200);
            const QStringList problems = problemsOf(main, false);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
            main.hide();
        }
        mirx::shell::CLoginDlg login(fixture_->context(),
                                     mirx::shell::CLoginDlg::Opening::AfterLogout);
        login.show();
        QTest::qWait(100);
        const QStringList problems = problemsOf(login, true);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
        login.reject();
    }

    void escapeClosesAndSendsNothing_data() { eachView(); }

    // Escape is Cancel: the view closes and no record goes to the server.
    void escapeClosesAndSendsNothing() {
        QFETCH(int, which);
        ViewKey key{};
        const std::unique_ptr<QDialog> view = openView(which, key);
        QVERIFY(view != nullptr);
        QVERIFY2(view->isVisible(), "the view closed itself");
        const std::size_t before = fixture_->served.frameLog().size();
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused != nullptr && focused->window() == view.get() ? focused
                                                                              : view.get(),
                        Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!view->isVisible(), 2000);
        QCOMPARE(view->result(), int(QDialog::Rejected));
        QTest::qWait(100);
        const auto log = fixture_->served.frameLog();
        for (std::size_t i = before; i < log.size(); ++i) {
            QVERIFY2(!(log[i].starts_with("sim <-") &&
                       log[i].find(" CONFIGURATION_DATA") != std::string::npos),
                     log[i].c_str());
        }
    }

    void closesCleanlyWhenTheServerGoes_data() { eachView(); }

    // The server stops while the view is open: a view that needs the login
    // closes on its own and sends nothing; the others stay usable.
    void closesCleanlyWhenTheServerGoes() {
        QFETCH(int, which);
        if (!fixture_->link().loggedIn()) {
            fixture_->startServer({}, fixture_->port());
            QVERIFY(fixture_->logIn());
        }
        ViewKey key{};
        const std::unique_ptr<QDialog> view = openView(which, key);
        QVERIFY(view != nullptr);
        QVERIFY2(view->isVisible(), "the view closed itself");
        fixture_->stopServer();
        QTRY_VERIFY_WITH_TIMEOUT(!fixture_->link().loggedIn(), 5000);
        if (mirx::shell::viewEntry(key).closesWhenLoggedOut) {
            QTRY_VERIFY_WITH_TIMEOUT(!view->isVisible(), 5000);
            QCOMPARE(view->result(), int(QDialog::Rejected));
        } else {
            QTest::qWait(300);
            QVERIFY(view->isVisible());
            view->reject();
        }
    }
};

QTEST_MAIN(EveryViewTest)
#include "every_view_test.moc"
