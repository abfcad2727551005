// The client list and the add/edit view through the real link against the
// simulator, on the offscreen platform: what the simulator received, byte
// for byte, after each change.
#include "apps/ctl/ctl_commands.h"
#include "apps/ctl/ctl_options.h"
#include "editors/clients/client_edit_dialog.h"
#include "editors/clients/client_list_dialog.h"
#include "editors/clients/client_list_model.h"
#include "editors/clients/template_query_dialog.h"
#include "editors/editor_views.h"
#include "editors/groups/group_configuration_dialog.h"
#include "editors/options/client_options_dialog.h"
#include "model/client_list.h"
#include "model/label_info.h"
#include "model/mirror.h"
#include "shell/common/record_list.h"
#include "shell/common/record_sender.h"
#include "shell/main/view_registry.h"
#include "site/site_builder.h"
#include "tests/shell/shell_fixture.h"

#include <memory>
#include <mutex>
#include <sstream>

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using mirx::editors::CClientConfigurationDlg;
using mirx::editors::CClientConfigurationEditDlg;
using mirx::editors::CClientConfigurationOptionsDlg;
using mirx::editors::CClientConfigurationTemplateQueryDlg;
using mirx::model::ClientColumn;
using mirx::model::ClientListButton;
using L = mirx::model::LabelInfo;
using E = CClientConfigurationEditDlg::Edit;
using C = CClientConfigurationEditDlg::Check;
using B = ClientListButton;

namespace {

constexpr int kDirector = 0;
constexpr int kProducer = 1;
constexpr int kAsstDirector = 2;
constexpr int kCamera1 = 15;
constexpr int kCamera2 = 16;
constexpr int kCamera6 = 20;
// The demo site's clients are 0..41 with label numbers 10000 + index.
constexpr int kDemoClients = 42;
constexpr int kClientBase = 10000;

int labelOf(int client) {
    return kClientBase + client;
}

// The simulator's site as of its last change, copied on its own thread.
struct SiteWatch {
    std::mutex lock;
    mirx::site::Site site;
};

QString cell(const QAbstractItemModel& model, int row, ClientColumn column) {
    return model.data(model.index(row, static_cast<int>(column))).toString();
}

} // namespace

class ClientViewsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<mirx::test::ShellFixture> fixture_;
    std::shared_ptr<SiteWatch> watch_;
    std::size_t framesBefore_ = 0;

    mirx::site::Site& site() { return fixture_->site; }
    // The site as served: the simulator's thread writes the live one.
    const mirx::site::Site& original() const { return original_; }
    mirx::site::Site original_;

    void serve() {
        watch_ = std::make_shared<SiteWatch>();
        watch_->site = fixture_->site;
        original_ = fixture_->site;
        mirx::sim::ProtocolOptions options;
        options.onSiteChanged = [watch = watch_](const mirx::site::Site& changed) {
            std::lock_guard lock(watch->lock);
            watch->site = changed;
        };
        fixture_->startServer({}, 0, options);
    }

    mirx::site::Site snapshot() {
        std::lock_guard lock(watch_->lock);
        return watch_->site;
    }

    bool logIn(const char* name = "admin") {
        const bool in = fixture_->link().Connect(name, name);
        framesBefore_ = fixture_->served.frameLog().size();
        return in;
    }

    // What the simulator received since the login, as "NAME second=N len=L",
    // only for the messages the client views send.
    QStringList sent() const {
        static const QStringList kNames{"ADMIN_LABEL_UPDATE",
                                        "ADMIN_DELETE_ENTRY",
                                        "ADMIN_CLIENT_CREDENTIALS_UPDATE",
                                        "CONFIGURATION_DATA_CLIENT_OPTIONS",
                                        "CONFIGURATION_DATA_AUDIO_SETTINGS",
                                        "CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS",
                                        "ADMIN_SELECTOR_ASSIGNMENTS_REQUEST",
                                        "ADMIN_CLIENT_OPTIONS_REQUEST",
                                        "ADMIN_AUDIO_SETTINGS_REQUEST"};
        return mirx::test::receivedMessages(fixture_->served, framesBefore_, kNames, true);
    }

    bool waitSent(int count) {
        return QTest::qWaitFor([&] { return sent().size() >= count; }, 10000);
    }

    std::unique_ptr<CClientConfigurationDlg> openList() {
        auto view = std::make_unique<CClientConfigurationDlg>(fixture_->context());
        view->show();
        // Keys reach shortcuts only in the active window.
        view->activateWindow();
        [&] {
            QVERIFY(QTest::qWaitForWindowActive(view.get()));
        }();
        return view;
    }

    static QModelIndex rowIndex(CClientConfigurationDlg& view, int client) {
        const QAbstractItemModel* shown = view.table()->model();
        for (int row = 0; row < shown->rowCount(); ++row) {
            const QModelIndex index = shown->index(row, 0);
            if (index.data(mirx::shell::RecordListModel::kKeyRole).toInt() == client) {
                return index;
            }
        }
        return {};
    }

    // The first client alone (the link source), then the others added.
    static void select(CClientConfigurationDlg& view, std::initializer_list<int> clients) {
        bool first = true;
        for (const int client : clients) {
            if (first) {
                QVERIFY(view.list()->selectKey(client));
                first = false;
                continue;
            }
            view.table()->selectionModel()->select(
                rowIndex(view, client), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    template <typename View>
    static View* child(CClientConfigurationDlg& view) {
        View* open = nullptr;
        [&] {
            QTRY_VERIFY((open = qobject_cast<View*>(view.openChild())) != nullptr);
        }();
        return open;
    }

    static CClientConfigurationEditDlg* editView(CClientConfigurationDlg& view) {
        auto* edit = child<CClientConfigurationEditDlg>(view);
        if (edit != nullptr) {
            [&] {
                QTRY_VERIFY(edit->filled());
            }();
        }
        return edit;
    }

    static void type(CClientConfigurationEditDlg& edit, E which, const QString& text) {
        edit.edit(which)->setText(text);
    }

    // Expected bytes of a client label that the console creates.
    static L newClientLabel(int number, int index, int clientType) {
        L label;
        label.set(L::kLabelNumber, static_cast<std::int16_t>(number));
        label.set(L::kLabelKind, std::uint8_t{0});
        label.set(L::kClientType, static_cast<std::uint8_t>(clientType));
        label.set(L::kIndex, static_cast<std::int16_t>(index));
        for (const auto field : {L::kSelectorAssignmentsTemplate, L::kAudioSettingsTemplate,
                                 L::kOptionsTemplate, L::kFourthLink, L::kRtsFunctionNumber}) {
            label.set(field, std::int16_t{-1});
        }
        label.set(L::kRtsFunctionType, std::uint8_t{255});
        return label;
    }

    int nextLabelNumber() {
        const mirx::site::Site& known = watch_ ? original_ : fixture_->site;
        return known.labels.rbegin()->first + 1;
    }

private slots:
    void init() { fixture_ = std::make_unique<mirx::test::ShellFixture>(); }

    void cleanup() {
        fixture_->link().StopLink();
        fixture_.reset();
        watch_.reset();
    }

    void theListShowsEveryClientWithItsColumns() {
        serve();
        QVERIFY(logIn());
        mirx::shell::ViewRegistry views;
        mirx::editors::registerEditorViews(views);
        std::unique_ptr<QDialog> registered(
            views.create(mirx::shell::ViewKey::ClientConfiguration, fixture_->context(), nullptr));
        QVERIFY(qobject_cast<CClientConfigurationDlg*>(registered.get()) != nullptr);
        registered.reset();

        auto view = openList();
        QVERIFY2(mirx::test::windowFitProblem(*view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(*view)));
        QAbstractItemModelTester tester(view->table()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(view->windowTitle(), QString("MIRX Client Configuration"));
        const QAbstractItemModel& shown = *view->table()->model();
        QCOMPARE(shown.rowCount(), kDemoClients);
        // RTS trunking: the external name columns are shown.
        QCOMPARE(shown.headerData(11, Qt::Horizontal).toString(), QString("Ext Alpha (8U)"));
        const QHeaderView* header = view->table()->horizontalHeader();
        QCOMPARE(header->sectionSize(static_cast<int>(ClientColumn::Port)), 35);
        QCOMPARE(header->sectionSize(static_cast<int>(ClientColumn::ListenOnlyName)), 0);
        // Graphics is a selector assignments template; cameras follow Camera 1.
        QCOMPARE(header->sectionSize(static_cast<int>(ClientColumn::SelectorAssignmentsTemplate)),
                 98);
        QCOMPARE(header->sectionSize(static_cast<int>(ClientColumn::OptionsTemplate)), 98);
        QCOMPARE(view->table()->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(view->table()->showGrid());

        // Sorted by type class then name: control panels first.
        QCOMPARE(cell(shown, 0, ClientColumn::TypeClass), QString("MCP"));
        const int director = rowIndex(*view, kDirector).row();
        QCOMPARE(cell(shown, director, ClientColumn::LoginPassword), QString("Dir#2741"));
        QCOMPARE(cell(shown, director, ClientColumn::PartyLine), QString("-"));

        // Two clicks on "Login Name" reverse the order; the selection stays.
        QVERIFY(view->list()->selectKey(kCamera2));
        const int login = static_cast<int>(ClientColumn::LoginName);
        view->table()->sortByColumn(login, Qt::AscendingOrder);
        const QString firstAscending = cell(shown, 0, ClientColumn::LoginName);
        view->table()->sortByColumn(login, Qt::DescendingOrder);
        QCOMPARE(cell(shown, shown.rowCount() - 1, ClientColumn::LoginName), firstAscending);
        QCOMPARE(view->list()->selectedKey(), qint64{kCamera2});
        QCOMPARE(view->selection().selectedClient, kCamera2);

        // The filter narrows by name, login, type and description.
        view->list()->filterBox()->setText("camera control");
        QCOMPARE(shown.rowCount(), 6);
        view->list()->filterBox()->setText("MDV");
        QVERIFY(shown.rowCount() > 6);
        view->list()->filterBox()->clear();
        QVERIFY(sent().isEmpty());
    }

    // The client and group lists open side by side: one label change from
    // the server redraws both, not only the one that looks first.
    void listsOpenTogetherEachFollowTheServersLabels() {
        serve();
        QVERIFY(logIn());
        auto clients = openList();
        mirx::editors::CGroupConfigurationDlg groups(fixture_->context());
        groups.show();
        using mirx::model::LabelKind;
        const int partyLine = fixture_->mirror.read([](const mirx::model::MirrorData& d) {
            int reference = mirx::model::kNoLabel;
            return d.labels.Next(reference, static_cast<int>(LabelKind::PartyLine), false);
        });
        QVERIFY(partyLine != mirx::model::kNoLabel);

        // What the link does with two labels that came in one read.
        fixture_->context().mirror.edit([&](mirx::model::MirrorData& mirror) {
            mirror.labels.Find(labelOf(kCamera2))->set(L::kTalkListenName, "Jib Cam");
            mirror.labels.Find(partyLine)->set(L::kTalkListenName, "Grips");
        });
        fixture_->context().mirror.flags().labels.raise();

        const QAbstractItemModel& shown = *clients->table()->model();
        QTRY_COMPARE(cell(shown, rowIndex(*clients, kCamera2).row(), ClientColumn::TalkListenName),
                     QString("Jib Cam"));
        const auto groupName = [&] {
            for (const mirx::model::GroupRow& row : groups.model()->rows()) {
                if (row.labelNumber == partyLine) {
                    return row.cell(mirx::model::GroupColumn::TalkListenName);
                }
            }
            return std::string();
        };
        QTRY_COMPARE(groupName(), std::string("Grips"));
    }

    void theListFollowsLabelsTheServerChanges() {
        serve();
        QVERIFY(logIn());
        auto view = openList();
        QVERIFY(view->list()->selectKey(kCamera2));
        const int nameColumn = static_cast<int>(ClientColumn::TalkListenName);
        QHeaderView* header = view->table()->horizontalHeader();
        header->resizeSection(nameColumn, 140);

        // What the link does when the server sends a changed label.
        fixture_->context().mirror.edit([](mirx::model::MirrorData& mirror) {
            mirx::model::LabelInfo* label = mirror.labels.Find(labelOf(kCamera2));
            QVERIFY(label != nullptr);
            label->set(mirx::model::LabelInfo::kTalkListenName, "Jib Cam");
        });
        fixture_->context().mirror.flags().labels.raise();

        const QAbstractItemModel& shown = *view->table()->model();
        QTRY_COMPARE(cell(shown, rowIndex(*view, kCamera2).row(), ClientColumn::TalkListenName),
                     QString("Jib Cam"));
        QCOMPARE(view->list()->selectedKey(), qint64{kCamera2});
        QCOMPARE(view->selection().selectedClient, kCamera2);
        QCOMPARE(header->sectionSize(nameColumn), 140);
        QVERIFY(sent().isEmpty());
    }

    void trunkingShapesTheColumnsAndTheForm_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("column11");
        QTest::addColumn<int>("column12Width");
        QTest::addColumn<QString>("longCaption");
        QTest::addColumn<bool>("longShown");
        QTest::addColumn<bool>("shortShown");
        QTest::addColumn<bool>("remoteShown");
        QTest::newRow("none") << 0 << "RTS Alpha" << 0 << "External Name (Long):" << false << false
                              << false;
        QTest::newRow("RTS") << 1 << "Ext Alpha (8U)" << 98 << "External Alpha (8U characters)"
                             << true << true << true;
        QTest::newRow("Delec") << 2 << "RTS Alpha" << 0 << "External Name" << true << false
                               << false;
    }

    void trunkingShapesTheColumnsAndTheForm() {
        QFETCH(int, flags);
        QFETCH(QString, column11);
        QFETCH(int, column12Width);
        QFETCH(QString, longCaption);
        QFETCH(bool, longShown);
        QFETCH(bool, shortShown);
        QFETCH(bool, remoteShown);
        site().trunkingFlags = static_cast<std::uint8_t>(flags);
        serve();
        QVERIFY(logIn());
        auto view = openList();
        const QAbstractItemModel& shown = *view->table()->model();
        QCOMPARE(shown.headerData(11, Qt::Horizontal).toString(), column11);
        QCOMPARE(view->table()->horizontalHeader()->sectionSize(12), column12Width);
        view->button(B::Add)->click();
        CClientConfigurationEditDlg* edit = editView(*view);
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->externalLongLabel()->text().remove('&'), longCaption);
        QCOMPARE(edit->edit(E::ExternalLong)->isVisibleTo(edit), longShown);
        QCOMPARE(edit->edit(E::ExternalShort)->isVisibleTo(edit), shortShown);
        QCOMPARE(edit->check(C::NoRemoteAssignmentByUser)->isVisibleTo(edit), remoteShown);
        QCOMPARE(edit->check(C::NoLocalAssignmentByUser)->isVisibleTo(edit), true);
        // The trunk types are offered only with their trunking.
        QCOMPARE(edit->clientType()->findData(53) >= 0, flags == 1);
        QCOMPARE(edit->clientType()->findData(54) >= 0, flags == 2);
        edit->reject();
    }

    void addPostsTheCredentialsThenTheLabel() {
        serve();
        const int number = nextLabelNumber();
        QVERIFY(logIn());
        auto view = openList();
        view->button(B::Add)->click();
        CClientConfigurationEditDlg* edit = editView(*view);
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->windowTitle(), QString("MIRX Client Configuration Add/Edit"));
        QVERIFY2(mirx::test::windowFitProblem(*edit).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(*edit)));
        QCOMPARE(edit->clientType()->currentData().toInt(), 10);
        edit->clientType()->setCurrentIndex(edit->clientType()->findData(50));
        QVERIFY(edit->edit(E::ListenOnlyName)->isEnabled());
        type(*edit, E::LoginName, "front desk");
        type(*edit, E::Password, "pw-1");
        type(*edit, E::TalkListenName, "Front Desk");
        type(*edit, E::ListenOnlyName, "Desk Listen");
        type(*edit, E::Description, "The \"main\" desk");
        type(*edit, E::ExternalLong, "FRONTDSK");
        type(*edit, E::ExternalShort, "FD");
        edit->check(C::IfbDestination)->setChecked(true);
        edit->check(C::NoLocalAssignmentByUser)->setChecked(true);
        edit->check(C::StandardPrivileges)->setChecked(true);
        edit->okButton()->click();
        QVERIFY(waitSent(2));
        QCOMPARE(sent(),
                 QStringList({"ADMIN_CLIENT_CREDENTIALS_UPDATE second=0 len=146",
                              QString("ADMIN_LABEL_UPDATE second=%1 len=300").arg(number)}));
        QVERIFY(fixture_->prompter.told.empty());

        L expected = newClientLabel(number, kDemoClients, 50);
        expected.set(L::kTalkListenName, "Front Desk");
        expected.set(L::kListenOnlyName, "Desk Listen");
        expected.set(L::kDescription, "The 'main' desk");
        expected.set(L::kExternalLongName, "FRONTDSK");
        expected.set(L::kExternalShortName, "FD");
        expected.setBit(L::kClientFlags, L::kIfbDestinationBit, true);
        expected.setBit(L::kAssignmentRestrictions, L::kNoLocalAssignmentByUserBit, true);
        expected.setPrivilegeLevel(L::kPrivilegeStandard);
        const mirx::site::Site after = snapshot();
        QVERIFY(after.labels.at(number) == expected);
        QVERIFY(after.credentials.at(kDemoClients) ==
                mirx::site::makeCredentials(kDemoClients, "front_desk", "pw-1"));

        // The new row is there, selected.
        const QAbstractItemModel& shown = *view->table()->model();
        QTRY_COMPARE(view->list()->selectedKey(), qint64{kDemoClients});
        QCOMPARE(cell(shown, rowIndex(*view, kDemoClients).row(), ClientColumn::Description),
                 QString("The 'main' desk"));
        QCOMPARE(shown.rowCount(), kDemoClients + 1);
        QCOMPARE(view->table()->horizontalHeader()->sectionSize(
                     static_cast<int>(ClientColumn::ListenOnlyName)),
                 98);

        // It survives a reconnect and shows in mirx-ctl export.
        view->reject();
        fixture_->link().StopLink();
        QVERIFY(logIn());
        auto again = openList();
        const QModelIndex row = rowIndex(*again, kDemoClients);
        QVERIFY(row.isValid());
        QCOMPARE(cell(*again->table()->model(), row.row(), ClientColumn::TalkListenName),
                 QString("Front Desk"));
        again->reject();
        fixture_->link().StopLink();

        mirx::ctl::CtlOptions options;
        const std::vector<std::string> args{
            "--server",         "127.0.0.1:" + std::to_string(fixture_->port()),
            "--user",           "admin",
            "--password-stdin", "export"};
        QCOMPARE(mirx::ctl::parseCtlOptions(args, options), std::string());
        std::istringstream in("admin\n");
        std::ostringstream out;
        std::ostringstream err;
        mirx::link::MemorySettingsStore store;
        std::atomic<bool> stop{false};
        QCOMPARE(mirx::ctl::runCtl(options, store, {out, err, in}, stop), mirx::ctl::kExitOk);
        QVERIFY2(out.str().find("Front Desk") != std::string::npos, err.str().c_str());
        QVERIFY(out.str().find("front_desk") != std::string::npos);
    }

    void editChangesOnlyWhatWasTyped() {
        serve();
        QVERIFY(logIn());
        auto view = openList();
        QVERIFY(view->list()->selectKey(kDirector));
        view->button(B::Edit)->click();
        CClientConfigurationEditDlg* edit = editView(*view);
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->edit(E::TalkListenName)->text(), QString("Director"));
        QCOMPARE(edit->edit(E::LoginName)->text(), QString("director"));
        QCOMPARE(edit->edit(E::Password)->echoMode(), QLineEdit::Normal);
        QVERIFY(edit->check(C::PartyLineOperation)->isChecked());
        // A control panel: no party line operation to choose.
        QVERIFY(!edit->check(C::PartyLineOperation)->isEnabled());
        QVERIFY(edit->check(C::MasterPrivileges)->isEnabled());
        QCOMPARE(edit->externalLongLabel()->text().remove('&'),
                 QString("External Alpha (8U characters)"));
        QCOMPARE(edit->edit(E::ExternalLong)->maxLength(), 8);
        QVERIFY(!edit->rtsFunctionType()->isVisibleTo(edit));
        // Its own names are not duplicates.
        type(*edit, E::Description, "Director, gallery 2");
        edit->okButton()->click();
        QVERIFY(waitSent(2));
        QCOMPARE(sent(), QStringList({"ADMIN_CLIENT_CREDENTIALS_UPDATE second=0 len=146",
                                      "ADMIN_LABEL_UPDATE second=10000 len=300"}));
        L expected = original().labels.at(labelOf(kDirector));
        expected.set(L::kDescription, "Director, gallery 2");
        // The external long name is cut to what the RTS trunk takes.
        expected.set(L::kExternalLongName, "Show Dir");
        QTRY_VERIFY(snapshot().labels.at(labelOf(kDirector)) == expected);
        QVERIFY(snapshot().credentials.at(kDirector) == original().credentials.at(kDirector));
        QCOMPARE(view->selection().selectedClient, kDirector);
    }

    void aSipDeviceEditsItsRtsFunction() {
        serve();
        QVERIFY(logIn());
        auto view = openList();
        constexpr int kGalleryPhone = 26;
        QVERIFY(view->list()->selectKey(kGalleryPhone));
        view->button(B::Edit)->click();
        CClientConfigurationEditDlg* edit = editView(*view);
        QVERIFY(edit != nullptr);
        QVERIFY(edit->rtsFunctionType()->isVisibleTo(edit));
        QCOMPARE(edit->externalLongLabel()->text().remove('&'), QString("External Alpha"));
        QVERIFY(!edit->edit(E::ExternalLong)->isEnabled());
        QCOMPARE(edit->rtsFunctionType()->currentText(), QString("(None)"));
        edit->rtsFunctionType()->setCurrentIndex(edit->rtsFunctionType()->findData(2));
        type(*edit, E::RtsFunctionNumber, "12");
        edit->okButton()->click();
        QVERIFY(waitSent(2));
        L expected = original().labels.at(labelOf(kGalleryPhone));
        expected.set(L::kRtsFunctionType, std::uint8_t{2});
        expected.set(L::kRtsFunctionNumber, std::int16_t{11});
        // The external short name is cut to what the RTS trunk takes.
        const std::string shortName = expected.get(L::kExternalShortName);
        QVERIFY(shortName.size() > 4);
        expected.set(L::kExternalShortName, shortName.substr(0, 4));
        QTRY_VERIFY(snapshot().labels.at(labelOf(kGalleryPhone)) == expected);
    }

    void validationStopsAtTheFirstFailure_data() {
        QTest::addColumn<int>("clientType");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("talk");
        QTest::addColumn<QString>("listen");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("field");
        QTest::newRow("no login") << 10 << ""
                                  << "Desk"
                                  << ""
                                  << "Login Name required. " << static_cast<int>(E::LoginName);
        QTest::newRow("no name") << 10 << "desk"
                                 << ""
                                 << ""
                                 << "Selector Talk/Listen Name required. "
                                 << static_cast<int>(E::TalkListenName);
        QTest::newRow("split port, same names")
            << 50 << "desk"
            << "Desk"
            << "Desk"
            << "Selector Listen Only Name must be different from the Talk Name for a split "
               "function port."
            << static_cast<int>(E::ListenOnlyName);
        QTest::newRow("login taken")
            << 10 << "director"
            << "Desk"
            << ""
            << "Client Login Name already exists" << static_cast<int>(E::LoginName);
        QTest::newRow("a party line's name")
            << 10 << "desk"
            << "Production"
            << ""
            << "Selector Talk/Listen Name already exists" << static_cast<int>(E::TalkListenName);
        QTest::newRow("a party line's listen-only name")
            << 50 << "desk"
            << "Desk"
            << "Prod Listen"
            << "Selector Listen Only Name already exists" << static_cast<int>(E::ListenOnlyName);
    }

    void validationStopsAtTheFirstFailure() {
        QFETCH(int, clientType);
        QFETCH(QString, login);
        QFETCH(QString, talk);
        QFETCH(QString, listen);
        QFETCH(QString, message);
        QFETCH(int, field);
        serve();
        QVERIFY(logIn());
        auto view = openList();
        QTest::keyClick(view->table(), Qt::Key_Insert);
        CClientConfigurationEditDlg* edit = editView(*view);
        QVERIFY(edit != nullptr);
        edit->clientType()->setCurrentIndex(edit->clientType()->findData(clientType));
        type(*edit, E::LoginName, login);
        type(*edit, E::TalkListenName, talk);
        type(*edit, E::ListenOnlyName, listen);
        edit->okButton()->click();
        QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.told[0].caption, QString("Error"));
        QCOMPARE(fixture_->prompter.told[0].text, message);
        QVERIFY(!edit->closed());
        QCOMPARE(edit->focusWidget(), edit->edit(static_cast<E>(field)));
        QTest::qWait(50);
        QVERIFY(sent().isEmpty());
    }

    void aRemoteSystemsNameOnlyWarnsOnce() {
        serve();
        QVERIFY(logIn());
        auto view = openList();
        view->button(B::Add)->click();
        CClientConfigurationEditDlg* edit = editView(*view);
        QVERIFY(edit != nullptr);
        type(*edit, E::LoginName, "bdir");
        // A client of the second local system.
        type(*edit, E::TalkListenName, "B Director");
        edit->check(C::AllowAnonymousLogin)->setChecked(true);
        QCOMPARE(edit->edit(E::LoginName)->text(), QString());
        QVERIFY(!edit->edit(E::LoginName)->isEnabled());
        edit->okButton()->click();
        QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.told[0].caption, QString("Warning"));
        QCOMPARE(fixture_->prompter.told[0].text,
                 QString("Selector Talk/Listen Name already exists in a remote system"));
        QVERIFY(waitSent(2));
        QTRY_VERIFY(view->openChild() == nullptr);
    }

    void duplicateFetchesTheSourceAndSendsItsRecordsForTheNewClient() {
        serve();
        const int number = nextLabelNumber();
        QVERIFY(logIn());
        auto view = openList();
        QVERIFY(view->list()->selectKey(kCamera2));
        view->button(B::Duplicate)->click();
        CClientConfigurationEditDlg* edit = editView(*view);
        QVERIFY(edit != nullptr);
        QCOMPARE(sent(), QStringList({"ADMIN_SELECTOR_ASSIGNMENTS_REQUEST second=16 len=0",
                                      "ADMIN_CLIENT_OPTIONS_REQUEST second=16 len=0",
                                      "ADMIN_AUDIO_SETTINGS_REQUEST second=16 len=0"}));
        QCOMPARE(edit->edit(E::TalkListenName)->text(), QString("Camera 2"));
        edit->okButton()->click();
        QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.told[0].text, QString("Client Login Name already exists"));
        type(*edit, E::LoginName, "camera7");
        edit->okButton()->click();
        QCOMPARE(fixture_->prompter.told.back().text,
                 QString("Selector Talk/Listen Name already exists"));
        type(*edit, E::TalkListenName, "Camera 7");
        edit->okButton()->click();
        QVERIFY(waitSent(8));
        const QString at = QString::number(kDemoClients);
        const auto fetched = fixture_->mirror.read([](const mirx::model::MirrorData& data) {
            return std::make_tuple(*data.clients.options(kCamera2), *data.clients.audio(kCamera2),
                                   data.clients.selectorAssignments());
        });
        const auto& selectors = std::get<2>(fetched);
        QCOMPARE(sent().mid(3),
                 QStringList({"ADMIN_CLIENT_CREDENTIALS_UPDATE second=0 len=146",
                              QString("ADMIN_LABEL_UPDATE second=%1 len=300").arg(number),
                              "CONFIGURATION_DATA_CLIENT_OPTIONS second=" + at + " len=250",
                              "CONFIGURATION_DATA_AUDIO_SETTINGS second=" + at + " len=50",
                              QString("CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS second=%1 len=%2")
                                  .arg(at)
                                  .arg(selectors.wire().size())}));
        const mirx::site::Site after = snapshot();
        // The duplicate follows the source's templates and has its settings.
        L source = original().labels.at(labelOf(kCamera2));
        const L& copy = after.labels.at(number);
        for (const auto field :
             {L::kSelectorAssignmentsTemplate, L::kAudioSettingsTemplate, L::kOptionsTemplate}) {
            QCOMPARE(copy.get(field), source.get(field));
        }
        QCOMPARE(copy.get(L::kTalkListenName), std::string("Camera 7"));
        QVERIFY(std::equal(std::get<0>(fetched).bytes.begin(),
                           std::get<0>(fetched).bytes.begin() + 250,
                           after.options.at(kDemoClients).bytes.begin()));
        QVERIFY(after.audio.at(kDemoClients) == std::get<1>(fetched));
        QVERIFY(after.selectors.at(kDemoClients).wire().size() == selectors.wire().size());
        QVERIFY(std::equal(selectors.wire().begin(), selectors.wire().end(),
                           after.selectors.at(kDemoClients).wire().begin()));
        QVERIFY(after.selectors.at(kDemoClients).wire().size() > 28);
    }

    void deleteAsksThenUnlinksTheFollowers() {
        serve();
        QVERIFY(logIn());
        auto view = openList();
        QVERIFY(view->list()->selectKey(kCamera1));
        view->button(B::Delete)->click();
        QCOMPARE(fixture_->prompter.asked.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.asked[0].caption, QString("MIRX Client Configuration Delete"));
        QCOMPARE(fixture_->prompter.asked[0].text,
                 QString("WARNING: Are you sure you wish to delete this client?"));
        QTest::qWait(50);
        QVERIFY(sent().isEmpty());

        fixture_->prompter.answers = {true};
        view->button(B::Delete)->click();
        QVERIFY(waitSent(6));
        QStringList expected;
        for (int camera = kCamera2; camera <= kCamera6; ++camera) {
            expected << QString("ADMIN_LABEL_UPDATE second=%1 len=300").arg(labelOf(camera));
        }
        expected << QString("ADMIN_DELETE_ENTRY second=%1 len=0").arg(labelOf(kCamera1));
        QCOMPARE(sent(), expected);
        QTRY_VERIFY(!snapshot().labels.contains(labelOf(kCamera1)));
        const mirx::site::Site after = snapshot();
        for (int camera = kCamera2; camera <= kCamera6; ++camera) {
            L unlinked = original().labels.at(labelOf(camera));
            unlinked.set(L::kOptionsTemplate, std::int16_t{-1});
            unlinked.set(L::kAudioSettingsTemplate, std::int16_t{-1});
            QVERIFY(after.labels.at(labelOf(camera)) == unlinked);
        }
        // The row that moved into its place is selected.
        QCOMPARE(view->selection().selectedClient, kCamera2);
        QCOMPARE(view->list()->selectedKey(), qint64{kCamera2});
        QVERIFY(!rowIndex(*view, kCamera1).isValid());
    }

    void deletingTheLastRowLeavesNothingSelected() {
        serve();
        QVERIFY(logIn());
        auto view = openList();
        const QList<qint64> keys = view->list()->shownKeys();
        QVERIFY(view->list()->selectKey(keys.back()));
        fixture_->prompter.answers = {true};
        QTest::keyClick(view->table(), Qt::Key_Delete);
        QCOMPARE(fixture_->prompter.asked.size(), std::size_t{1});
        QVERIFY(waitSent(1));
        QCOMPARE(view->selection().selectedClient, -1);
        QCOMPARE(view->list()->selectedKey(), mirx::shell::RecordListModel::kNoKey);
        QVERIFY(view->button(B::Add)->isEnabled());
        QVERIFY(!view->button(B::Edit)->isEnabled());
    }

    void linkAndUnlinkMoveTheFollowers() {
        serve();
        QVERIFY(logIn());
        auto view = openList();
        // Clicking the only selected row away keeps it for the buttons.
        QVERIFY(view->list()->selectKey(kProducer));
        view->table()->selectionModel()->select(
            rowIndex(*view, kProducer), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        QCOMPARE(view->list()->selectedKey(), mirx::shell::RecordListModel::kNoKey);
        QCOMPARE(view->selection().selectedClient, kProducer);
        QVERIFY(view->button(B::Edit)->isEnabled());
        // Director first (the link source); list order is by name.
        select(*view, {kDirector, kAsstDirector, kProducer});
        QCOMPARE(view->selection().selectedClient, -1);
        QCOMPARE(view->selection().currentClientLabel, labelOf(kDirector));
        QVERIFY(!view->button(B::Edit)->isEnabled());
        QVERIFY(view->button(B::LinkAudioSettings)->isEnabled());
        view->button(B::LinkAudioSettings)->click();
        QVERIFY(waitSent(3));
        QCOMPARE(sent(), QStringList({"ADMIN_LABEL_UPDATE second=10002 len=300",
                                      "ADMIN_LABEL_UPDATE second=10000 len=300",
                                      "ADMIN_LABEL_UPDATE second=10001 len=300"}));
        const auto linked = [this](const mirx::site::Site& s, int client, std::int16_t value) {
            L label = original().labels.at(labelOf(client));
            label.set(L::kAudioSettingsTemplate, value);
            return s.labels.at(labelOf(client)) == label;
        };
        QTRY_VERIFY(linked(snapshot(), kProducer, labelOf(kDirector)));
        for (const int client : {kDirector, kAsstDirector, kProducer}) {
            QVERIFY(linked(snapshot(), client, labelOf(kDirector)));
        }
        const QAbstractItemModel& shown = *view->table()->model();
        QCOMPARE(cell(shown, rowIndex(*view, kDirector).row(), ClientColumn::AudioSettingsTemplate),
                 QString("Director"));

        // Unlinking the template alone takes its followers along.
        QVERIFY(view->list()->selectKey(kDirector));
        QVERIFY(view->button(B::UnlinkAudioSettings)->isEnabled());
        view->button(B::UnlinkAudioSettings)->click();
        QVERIFY(waitSent(6));
        QCOMPARE(sent().mid(3), QStringList({"ADMIN_LABEL_UPDATE second=2 len=300",
                                             "ADMIN_LABEL_UPDATE second=1 len=300",
                                             "ADMIN_LABEL_UPDATE second=10000 len=300"}));
        QTRY_VERIFY(linked(snapshot(), kDirector, -1));
        for (const int client : {kAsstDirector, kProducer}) {
            QVERIFY(linked(snapshot(), client, -1));
        }
        QVERIFY(!view->button(B::UnlinkAudioSettings)->isEnabled());
    }

    void unlinkingATemplateWithMoreFollowersThanQueueSlotsLosesNothing() {
        // Clients 100..499 follow the Director's selector assignments.
        constexpr int kFollowers = 400;
        int number = nextLabelNumber();
        site()
            .labels.at(labelOf(kDirector))
            .set(L::kSelectorAssignmentsTemplate, static_cast<std::int16_t>(labelOf(kDirector)));
        for (int i = 0; i < kFollowers; ++i) {
            const std::string name = "Follower " + std::to_string(i);
            mirx::site::addClient(site(), number + i, 100 + i, 10, name, "", name, "pw");
            site()
                .labels.at(number + i)
                .set(L::kSelectorAssignmentsTemplate,
                     static_cast<std::int16_t>(labelOf(kDirector)));
        }
        static_assert(kFollowers + 1 > 300);
        serve();
        QVERIFY(logIn());
        auto view = openList();
        QVERIFY(view->list()->selectKey(kDirector));
        view->button(B::UnlinkSelectorAssignments)->click();
        QVERIFY(QTest::qWaitFor([&] { return sent().size() >= kFollowers + 1; }, 20000));
        QCOMPARE(sent().size(), kFollowers + 1);
        QCOMPARE(sent().back(), QString("ADMIN_LABEL_UPDATE second=10000 len=300"));
        QCOMPARE(view->recordsWaiting(), std::size_t{0});
        QTRY_COMPARE(snapshot().labels.at(labelOf(kDirector)).get(L::kSelectorAssignmentsTemplate),
                     std::int16_t{-1});
        const mirx::site::Site after = snapshot();
        for (int i = 0; i < kFollowers; ++i) {
            QCOMPARE(after.labels.at(number + i).get(L::kSelectorAssignmentsTemplate),
                     std::int16_t{-1});
        }
    }

    void aSettingsEditorOfAFollowerAsksFirst() {
        serve();
        QVERIFY(logIn());
        auto view = openList();
        QVERIFY(view->list()->selectKey(kCamera1));
        // The template itself opens its editor at once; it fetches the
        // defaults, then the client's record, and cancelling posts no record.
        view->button(B::Options)->click();
        auto* options = child<CClientConfigurationOptionsDlg>(*view);
        QVERIFY(options != nullptr);
        QCOMPARE(options->windowTitle(), QString("MIRX Client Configuration Options"));
        QTRY_VERIFY(options->filled());
        options->reject();
        QTRY_VERIFY(view->openChild() == nullptr);
        QCOMPARE(sent(), QStringList({"ADMIN_CLIENT_OPTIONS_REQUEST second=65535 len=0",
                                      "ADMIN_CLIENT_OPTIONS_REQUEST second=15 len=0"}));
        framesBefore_ = fixture_->served.frameLog().size();

        QVERIFY(view->list()->selectKey(kCamera2));
        view->button(B::AudioSettings)->click();
        auto* query = child<CClientConfigurationTemplateQueryDlg>(*view);
        QVERIFY(query != nullptr);
        QCOMPARE(query->windowTitle(), QString("MIRX Edit Confirmation"));
        query->cancelButton()->click();
        QTRY_VERIFY(view->openChild() == nullptr);
        QTest::qWait(50);
        QVERIFY(sent().isEmpty());

        view->button(B::AudioSettings)->click();
        query = child<CClientConfigurationTemplateQueryDlg>(*view);
        QVERIFY(query != nullptr);
        query->templateButton()->click();
        // The template's record is fetched; nothing is posted.
        auto* audio = child<QDialog>(*view);
        QVERIFY(audio != nullptr);
        QCOMPARE(audio->windowTitle(), QString("MIRX Client Configuration Audio Settings"));
        QVERIFY(waitSent(2));
        audio->reject();
        QTRY_VERIFY(view->openChild() == nullptr);
        QCOMPARE(sent(), QStringList({"ADMIN_AUDIO_SETTINGS_REQUEST second=65535 len=0",
                                      "ADMIN_AUDIO_SETTINGS_REQUEST second=15 len=0"}));
        framesBefore_ = fixture_->served.frameLog().size();

        // "Unlink" posts the unlink; cancelling the editor posts it back.
        view->button(B::AudioSettings)->click();
        query = child<CClientConfigurationTemplateQueryDlg>(*view);
        QVERIFY(query != nullptr);
        query->unlinkButton()->click();
        audio = child<QDialog>(*view);
        QVERIFY(audio != nullptr);
        QVERIFY(waitSent(3));
        audio->reject();
        QVERIFY(waitSent(4));
        QCOMPARE(sent(), QStringList({"ADMIN_LABEL_UPDATE second=10016 len=300",
                                      "ADMIN_AUDIO_SETTINGS_REQUEST second=65535 len=0",
                                      "ADMIN_AUDIO_SETTINGS_REQUEST second=16 len=0",
                                      "ADMIN_LABEL_UPDATE second=10016 len=300"}));
        QTRY_VERIFY(snapshot().labels.at(labelOf(kCamera2)) ==
                    original().labels.at(labelOf(kCamera2)));
    }

    void badRecordsShowFallbacksAndPostNothing() {
        // An unknown client type, templates pointing at a deleted client and
        // at a client index with no label.
        const int number = nextLabelNumber();
        mirx::site::addClient(site(), number, 60, 99, "Odd", "Odd one", "odd", "odd");
        L& odd = site().labels.at(number);
        odd.set(L::kOptionsTemplate, static_cast<std::int16_t>(number + 50));
        odd.set(L::kAudioSettingsTemplate, std::int16_t{900});
        serve();
        QVERIFY(logIn());
        auto view = openList();
        const QAbstractItemModel& shown = *view->table()->model();
        const int row = rowIndex(*view, 60).row();
        QVERIFY(row >= 0);
        QCOMPARE(cell(shown, row, ClientColumn::TypeClass), QString());
        QCOMPARE(cell(shown, row, ClientColumn::Type), QString());
        QCOMPARE(cell(shown, row, ClientColumn::OptionsTemplate), QString("NO LABEL"));
        QCOMPARE(cell(shown, row, ClientColumn::AudioSettingsTemplate), QString("NO LABEL"));

        QVERIFY(view->list()->selectKey(60));
        view->button(B::Options)->click();
        auto* query = child<CClientConfigurationTemplateQueryDlg>(*view);
        QVERIFY(query != nullptr);
        QVERIFY(!query->templateButton()->isEnabled());
        query->templateButton()->click();
        query->cancelButton()->click();
        QTRY_VERIFY(view->openChild() == nullptr);

        view->button(B::Edit)->click();
        CClientConfigurationEditDlg* edit = editView(*view);
        QVERIFY(edit != nullptr);
        // A type the view does not offer shows the first entry.
        QCOMPARE(edit->clientType()->currentIndex(), 0);
        edit->reject();
        QTest::qWait(50);
        QVERIFY(sent().isEmpty());
    }

    void aReadOnlyAdministratorChangesNothing() {
        serve();
        QVERIFY(logIn("operator"));
        auto view = openList();
        const QAbstractItemModel& shown = *view->table()->model();
        QCOMPARE(cell(shown, rowIndex(*view, kDirector).row(), ClientColumn::LoginPassword),
                 QString("********"));
        QVERIFY(view->list()->selectKey(kCamera2));
        for (const B which : {B::Add, B::Edit, B::Delete, B::Duplicate, B::UnlinkOptions}) {
            QVERIFY(!view->button(which)->isEnabled());
            QVERIFY(view->button(which)->toolTip().contains("privilege level 1"));
        }
        QVERIFY(view->button(B::Options)->isEnabled());
        view->table()->setFocus();
        QTest::keyClick(view->table(), Qt::Key_Insert);
        QTest::keyClick(view->table(), Qt::Key_Return);
        QTest::keyClick(view->table(), Qt::Key_Delete);
        QVERIFY(view->openChild() == nullptr);
        QVERIFY(fixture_->prompter.asked.empty());

        view->button(B::Options)->click();
        auto* query = child<CClientConfigurationTemplateQueryDlg>(*view);
        QVERIFY(query != nullptr);
        QVERIFY(!query->unlinkButton()->isEnabled());
        QVERIFY(query->templateButton()->isEnabled());
        query->reject();
        QTest::qWait(50);
        QVERIFY(sent().isEmpty());
    }

    void keysEditAddDeleteAndFollowTheLayout() {
        serve();
        QVERIFY(logIn());
        auto view = openList();
        QVERIFY(view->list()->selectKey(kProducer));
        view->table()->setFocus();
        QTest::keyClick(view->table(), Qt::Key_Return);
        CClientConfigurationEditDlg* edit = editView(*view);
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->edit(E::TalkListenName)->text(), QString("Producer"));
        edit->reject();
        QTRY_VERIFY(view->openChild() == nullptr);

        // A double click edits the row clicked.
        const QModelIndex director = rowIndex(*view, kDirector);
        view->table()->selectionModel()->select(director, QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
        emit view->table()->doubleClicked(director);
        edit = editView(*view);
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->edit(E::TalkListenName)->text(), QString("Director"));
        edit->reject();
        QTRY_VERIFY(view->openChild() == nullptr);
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));

        // Delete in the filter box edits the text.
        view->list()->filterBox()->setText("x");
        view->list()->filterBox()->setFocus();
        QTest::keyClick(view->list()->filterBox(), Qt::Key_Home);
        QTest::keyClick(view->list()->filterBox(), Qt::Key_Delete);
        QVERIFY(fixture_->prompter.asked.empty());
        QCOMPARE(view->list()->filterBox()->text(), QString());
        QVERIFY(view->list()->selectKey(kProducer));
        view->table()->setFocus();
        QTest::keyClick(view->table(), Qt::Key_Delete);
        QCOMPARE(fixture_->prompter.asked.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.asked[0].text,
                 QString("WARNING: Are you sure you wish to delete this client?"));

        // Tab order: filter, list, then the buttons as laid out.
        QStringList order;
        QWidget* next = view->list()->filterBox();
        for (int step = 0; step < 64; ++step) {
            next = next->nextInFocusChain();
            if (next == view->list()->filterBox()) {
                break;
            }
            if (auto* button = qobject_cast<QPushButton*>(next)) {
                order << button->text().remove(QLatin1Char('&'));
            }
        }
        QCOMPARE(order,
                 QStringList({"Add", "Edit", "Delete", "Duplicate", "Options ...",
                              "Audio Settings ...", "Selector Assignments ...",
                              "Link Selector Assignments", "Link Audio Settings", "Link Options",
                              "Unlink Selector Assignments", "Unlink Audio Settings",
                              "Unlink Options", "Default Options ...", "Default Audio Settings ...",
                              "Default Selector Assignments ...", "Close"}));
        QVERIFY(view->defaultsButton(mirx::model::TemplateKind::AudioSettings)
                    ->text()
                    .contains(QLatin1Char('&')));
        for (int which = 0; which < static_cast<int>(mirx::model::kClientListButtonCount);
             ++which) {
            QVERIFY(view->button(static_cast<B>(which))->text().contains(QLatin1Char('&')));
        }
    }

    void theViewClosesWhenLoggedOutAndKeepsItsPlace() {
        serve();
        QVERIFY(logIn());
        auto view = openList();
        view->move(120, 90);
        view->button(B::Add)->click();
        CClientConfigurationEditDlg* edit = editView(*view);
        QVERIFY(edit != nullptr);
        fixture_->stopServer();
        QTRY_VERIFY(view->closed());
        QVERIFY(fixture_->store.get("ClientConfigurationWindowPositionLeft").has_value());
        QVERIFY(fixture_->store.get("ClientConfigurationWindowPositionRight").has_value());
    }
};

QTEST_MAIN(ClientViewsTest)
#include "client_views_test.moc"
