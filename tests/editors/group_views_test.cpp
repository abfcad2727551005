// The group list, group add/edit and group membership views against the
// simulator, on the offscreen platform: what they show, and the records the
// simulator received, byte for byte.
#include "commandfiles/answer_guard.h"
#include "core/message_ids.h"
#include "editors/editor_views.h"
#include "editors/groups/group_configuration_dialog.h"
#include "editors/groups/group_edit_dialog.h"
#include "editors/groups/group_membership_dialog.h"
#include "model/group_edit.h"
#include "shell/main/view_registry.h"
#include "sim/demo_site.h"
#include "site/site_builder.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_server.h"

#include <memory>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using mirx::commandfiles::AnswerGuard;
using mirx::editors::CGroupConfigurationDlg;
using mirx::editors::CGroupConfigurationEditDlg;
using mirx::editors::CGroupConfigurationMembershipDlg;
using mirx::model::LabelInfo;
using mirx::model::MembershipMode;
using L = LabelInfo;

namespace {

// Demo site label numbers.
constexpr int kCameraPl = 10101;
constexpr int kAllCamerasGroup = 10150;

QString cell(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

std::vector<std::uint8_t> bytesOf(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

} // namespace

class GroupViewsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<mirx::test::ShellFixture> fixture_;
    std::unique_ptr<mirx::test::LogCapture> log_;

    void serve(std::uint8_t trunkingFlags = 0) {
        fixture_->site.trunkingFlags = trunkingFlags;
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
    }

    LabelInfo mirrored(int number) {
        return fixture_->mirror.read([&](const mirx::model::MirrorData& d) {
            const LabelInfo* label = d.labels.Find(number);
            return label != nullptr ? *label : LabelInfo{};
        });
    }

    // Stops the simulator, so its site can be read without racing it.
    mirx::site::Site& stoppedSite() {
        fixture_->link().StopLink();
        fixture_->stopServer();
        return fixture_->site;
    }

private slots:
    void init() {
        log_ = std::make_unique<mirx::test::LogCapture>();
        fixture_ = std::make_unique<mirx::test::ShellFixture>();
    }

    void cleanup() {
        fixture_->link().StopLink();
        fixture_.reset();
        log_.reset();
    }

    void theListShowsPartyLinesThenFixedGroupsWithTheTrunkingColumns() {
        serve(1);
        mirx::shell::ViewRegistry views;
        mirx::editors::registerEditorViews(views);
        std::unique_ptr<QDialog> registered(
            views.create(mirx::shell::ViewKey::GroupConfiguration, fixture_->context(), nullptr));
        QVERIFY(qobject_cast<CGroupConfigurationDlg*>(registered.get()) != nullptr);

        CGroupConfigurationDlg view(fixture_->context());
        QVERIFY2(mirx::test::windowFitProblem(view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(view)));
        QAbstractItemModelTester tester(view.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.show();
        QCOMPARE(view.windowTitle(), QString("MIRX Group Configuration"));
        const QAbstractItemModel& shown = *view.list()->table()->model();
        QCOMPARE(shown.rowCount(), 12 + 6);
        const QStringList titles{"Group Type",     "Talk/Listen Name", "Description", "Latchable",
                                 "Ext Alpha (8U)", "Ext Alpha (4)",    "Restrict",    "Port"};
        for (int c = 0; c < titles.size(); ++c) {
            QCOMPARE(shown.headerData(c, Qt::Horizontal).toString(), titles[c]);
            QVERIFY(!view.list()->table()->isColumnHidden(c));
        }
        // Opened sorted by type: party lines first, by name within a type.
        QCOMPARE(cell(shown, 0, 0), QString("Party Line"));
        QCOMPARE(cell(shown, 0, 1), QString("Audio"));
        QCOMPARE(cell(shown, 12, 0), QString("Fixed Group"));
        QCOMPARE(cell(shown, 12, 1), QString("All Cameras"));
        QCOMPARE(cell(shown, 12, 7), QString("1"));

        QVERIFY(view.addButton()->isEnabled());
        QVERIFY(!view.editButton()->isEnabled());
        QVERIFY(!view.deleteButton()->isEnabled());
        QVERIFY(!view.membershipButton()->isEnabled());
        QVERIFY(view.list()->selectKey(kCameraPl));
        QVERIFY(view.editButton()->isEnabled());
        QVERIFY(view.membershipButton()->isEnabled());

        // The filter narrows the rows and keeps the selection.
        view.list()->filterBox()->setText(QStringLiteral("camera"));
        QCOMPARE(view.list()->shownKeys(), (QList<qint64>{kCameraPl, kAllCamerasGroup}));
        QCOMPARE(view.list()->selectedKey(), qint64{kCameraPl});

        // A second click on a header reverses the order.
        view.list()->filterBox()->clear();
        view.list()->table()->sortByColumn(1, Qt::DescendingOrder);
        QCOMPARE(cell(shown, 0, 1), QString("Stage Crew"));
    }

    void withoutTrunkingTheExternalColumnsAreHidden() {
        serve(0);
        CGroupConfigurationDlg view(fixture_->context());
        for (int c = 4; c < 8; ++c) {
            QVERIFY(view.list()->table()->isColumnHidden(c));
        }
        QVERIFY(!view.list()->table()->isColumnHidden(3));
    }

    void editingAGroupPostsItsWholeLabel() {
        serve(1);
        CGroupConfigurationDlg view(fixture_->context());
        view.show();
        QVERIFY(view.list()->selectKey(kCameraPl));
        QTest::mouseClick(view.editButton(), Qt::LeftButton);
        auto* edit = qobject_cast<CGroupConfigurationEditDlg*>(view.childView());
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->windowTitle(), QString("MIRX Group Configuration Add/Edit"));
        QVERIFY(!edit->typeBox()->isEnabled());
        QCOMPARE(edit->nameEdit()->text(), QString("Camera"));
        QCOMPARE(edit->externalLongEdit()->maxLength(), 8);
        QCOMPARE(edit->externalShortEdit()->maxLength(), 4);
        QVERIFY(edit->restrictionBox(3)->isVisible());
        // An existing party line shows its colours.
        QVERIFY(edit->sample()->isVisible());
        edit->setColours(0, 0);
        QVERIFY(!edit->sample()->isVisible());
        edit->setColours(mirx::model::rgb(10, 20, 30), mirx::model::rgb(200, 100, 50));
        QVERIFY(edit->sample()->isVisible());

        const LabelInfo before = mirrored(kCameraPl);
        edit->descriptionEdit()->setText(QStringLiteral("Cameras \"all\""));
        edit->latchBox()->setChecked(true);
        edit->restrictionBox(2)->setChecked(true);
        QTest::mouseClick(edit->okButton(), Qt::LeftButton);
        QTRY_COMPARE(fixture_->served.received("ADMIN_LABEL_UPDATE"), std::size_t{1});
        QCOMPARE(fixture_->frameLogCount("ADMIN_LABEL_UPDATE (6012) second=10101 len=300"),
                 std::size_t{1});
        QVERIFY(view.childView() == nullptr);

        LabelInfo expected = before;
        expected.set(L::kDescription, "Cameras 'all'");
        expected.setBit(L::kSelectorFlags, L::kLatchDisableTalkBit, true);
        expected.setBit(L::kAssignmentRestrictions, L::kNoRemoteAssignmentByAdminBit, true);
        expected.set(L::kTextColour, mirx::model::rgb(10, 20, 30));
        expected.set(L::kBackgroundColour, mirx::model::rgb(200, 100, 50));
        QCOMPARE(bytesOf(mirrored(kCameraPl).view()), bytesOf(expected.view()));
        const auto shownRow = view.list()->table()->currentIndex().row();
        QCOMPARE(cell(*view.list()->table()->model(), shownRow, 3), QString("No"));

        // The simulator kept it: a new login downloads the changed label.
        const std::uint16_t port = fixture_->port();
        QCOMPARE(bytesOf(stoppedSite().labels.at(kCameraPl).view()), bytesOf(expected.view()));
        fixture_->startServer({}, port);
        QVERIFY(fixture_->logIn());
        QCOMPARE(bytesOf(mirrored(kCameraPl).view()), bytesOf(expected.view()));
    }

    void addingChecksTheNameAndTakesTheFirstFreeIndex() {
        serve(0);
        CGroupConfigurationDlg view(fixture_->context());
        view.show();
        QTest::mouseClick(view.addButton(), Qt::LeftButton);
        auto* add = qobject_cast<CGroupConfigurationEditDlg*>(view.childView());
        QVERIFY(add != nullptr);
        QVERIFY(add->typeBox()->isEnabled());
        QCOMPARE(add->typeBox()->currentText(), QString("Party Line"));
        // Adding shows no colours, and without trunking no external names.
        QVERIFY(!add->textColourButton()->isVisible());
        QVERIFY(!add->externalLongEdit()->isVisible());
        QVERIFY(!add->restrictionBox(2)->isVisible());

        struct Refused {
            QString typed;
            QString text;
        };
        const Refused refused[] = {{"", "Selector Name required. "},
                                   {"Camera", "Selector Name already exists"},
                                   {"Director", "Selector Name already exists"}};
        for (const Refused& r : refused) {
            fixture_->prompter.told.clear();
            add->nameEdit()->setText(r.typed);
            QTest::mouseClick(add->okButton(), Qt::LeftButton);
            QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
            QCOMPARE(fixture_->prompter.told[0].caption, QString("Error"));
            QCOMPARE(fixture_->prompter.told[0].text, r.text);
            QVERIFY(add->isVisible());
        }
        // A remote system's name warns once and is saved.
        fixture_->prompter.told.clear();
        add->typeBox()->setCurrentIndex(1);
        add->nameEdit()->setText(QStringLiteral("Studio B PL"));
        add->descriptionEdit()->setText(QStringLiteral("Late crew"));
        QTest::mouseClick(add->okButton(), Qt::LeftButton);
        QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.told[0].caption, QString("Warning"));
        QCOMPARE(fixture_->prompter.told[0].text,
                 QString("Selector Talk/Listen Name already exists in a remote system"));
        QTRY_COMPARE(fixture_->served.received("ADMIN_LABEL_UPDATE"), std::size_t{1});
        const qint64 added = view.list()->selectedKey();
        QVERIFY(added >= mirx::model::kFirstLabelNumber);
        const LabelInfo label = mirrored(static_cast<int>(added));
        QCOMPARE(label.get(L::kLabelKind), std::uint8_t{2});
        QCOMPARE(label.get(L::kIndex), std::int16_t{6});
        QCOMPARE(label.get(L::kTalkListenName), std::string("Studio B PL"));
        QCOMPARE(bytesOf(stoppedSite().labels.at(static_cast<int>(added)).view()),
                 bytesOf(label.view()));
    }

    void thePartyLineBeyondTheLimitIsNotAdded() {
        for (int index = 12; index < 200; ++index) {
            mirx::site::addPartyLine(fixture_->site, 12000 + index, index,
                                     "PL " + std::to_string(index), "");
        }
        serve(0);
        CGroupConfigurationDlg view(fixture_->context());
        view.show();
        QTest::mouseClick(view.addButton(), Qt::LeftButton);
        auto* add = qobject_cast<CGroupConfigurationEditDlg*>(view.childView());
        QVERIFY(add != nullptr);
        add->nameEdit()->setText(QStringLiteral("One too many"));
        QTest::mouseClick(add->okButton(), Qt::LeftButton);
        QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.told[0].caption, QString("MIRX Group Configuration Add"));
        QCOMPARE(fixture_->prompter.told[0].text,
                 QString("ERROR: Unable to add group as the number of groups exceeds the system "
                         "limit."));
        QVERIFY(add->isVisible());
        QTest::qWait(100);
        QCOMPARE(fixture_->served.received("ADMIN_LABEL_UPDATE"), std::size_t{0});
    }

    void deleteAsksAndPostsTheDeleteEntry() {
        serve(0);
        CGroupConfigurationDlg view(fixture_->context());
        view.show();
        view.list()->table()->sortByColumn(1, Qt::AscendingOrder);
        const QList<qint64> keys = view.list()->shownKeys();
        const qint64 last = keys.back();
        QVERIFY(view.list()->selectKey(last));

        fixture_->prompter.answers = {false};
        QTest::mouseClick(view.deleteButton(), Qt::LeftButton);
        QCOMPARE(fixture_->prompter.asked.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.asked[0].caption, QString("MIRX Group Configuration Delete"));
        QCOMPARE(fixture_->prompter.asked[0].text,
                 QString("WARNING: Are you sure you wish to delete this group?"));
        QCOMPARE(view.list()->shownKeys().size(), keys.size());

        // The last row goes: nothing is selected after it.
        fixture_->prompter.answers = {true};
        QTest::mouseClick(view.deleteButton(), Qt::LeftButton);
        QTRY_COMPARE(fixture_->served.received("ADMIN_DELETE_ENTRY"), std::size_t{1});
        QCOMPARE(fixture_->frameLogCount(
                     "ADMIN_DELETE_ENTRY (6014) second=" + std::to_string(last) + " len=0"),
                 std::size_t{1});
        QCOMPARE(view.list()->shownKeys().size(), keys.size() - 1);
        QCOMPARE(view.list()->selectedKey(), mirx::shell::RecordListModel::kNoKey);
        QVERIFY(!view.editButton()->isEnabled());
        QVERIFY(!view.deleteButton()->isEnabled());
        QVERIFY(!view.membershipButton()->isEnabled());
        QVERIFY(mirrored(static_cast<int>(last)).get(L::kLabelNumber) != last);

        // A middle row: the row now at its place is selected.
        QVERIFY(view.list()->selectKey(keys[1]));
        fixture_->prompter.answers = {true};
        QTest::mouseClick(view.deleteButton(), Qt::LeftButton);
        QTRY_COMPARE(fixture_->served.received("ADMIN_DELETE_ENTRY"), std::size_t{2});
        QCOMPARE(view.list()->selectedKey(), keys[2]);
        QVERIFY(!stoppedSite().labels.contains(static_cast<int>(keys[1])));
    }

    void theListClosesWhenTheConsoleIsLoggedOut() {
        serve(0);
        CGroupConfigurationDlg view(fixture_->context());
        view.show();
        QVERIFY(view.list()->selectKey(kCameraPl));
        QTest::mouseClick(view.membershipButton(), Qt::LeftButton);
        QPointer<QDialog> child = view.childView();
        QVERIFY(child != nullptr);
        fixture_->stopServer();
        QTRY_VERIFY_WITH_TIMEOUT(view.closed(), 10000);
        QTRY_VERIFY(child.isNull() || !child->isVisible());
        // Its place is remembered under its own name.
        QVERIFY(fixture_->store.get("GroupConfigurationWindowPositionRight").has_value());
    }

    void partyLineMembershipIsEditedAndSentWhole() {
        serve(0);
        CGroupConfigurationMembershipDlg view(fixture_->context(), kCameraPl);
        QVERIFY2(mirx::test::windowFitProblem(view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(view)));
        view.show();
        QCOMPARE(view.windowTitle(), QString("MIRX Group Configuration Membership"));
        QCOMPARE(view.selectedGroup()->text(), QString("Director and camera operators"));
        QVERIFY(!view.okButton()->isEnabled());
        QTRY_VERIFY(view.loaded());
        QCOMPARE(fixture_->frameLogCount("ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST (6023) second=10101"),
                 std::size_t{1});
        QVERIFY(!view.notice()->isVisible());
        const QAbstractItemModel& members = *view.memberTable()->model();
        QCOMPARE(members.rowCount(), 9);
        QCOMPARE(members.headerData(1, Qt::Horizontal).toString(), QString("Mode"));
        // Sorted by name: "Camera 1" first; the director talks only and is
        // shown by his listen name, which he has none of: "Director".
        QCOMPARE(cell(members, 0, 0), QString("Camera 1"));
        QCOMPARE(cell(members, 0, 1), QString("Talk and Listen"));

        // Control panels and the RTS trunk are not offered on a party line.
        const QList<qint64> offered = view.candidates()->shownKeys();
        QVERIFY(!offered.contains(0));  // Director, a panel
        QVERIFY(!offered.contains(25)); // RTS Trunk
        QVERIFY(offered.contains(23));  // Phone Line 1
        QVERIFY(view.candidates()->selectKey(23));
        QVERIFY(view.addButton(MembershipMode::Talk)->isEnabled());
        QVERIFY(!view.removeButton()->isEnabled());

        // Talk only: inserted before the selected member and left in place.
        view.memberTable()->selectRow(1);
        QTest::mouseClick(view.addButton(MembershipMode::Talk), Qt::LeftButton);
        QCOMPARE(members.rowCount(), 10);
        QCOMPARE(cell(members, 1, 0), QString("Phone Line 1"));
        QCOMPARE(cell(members, 1, 1), QString("Talk Only"));
        QCOMPARE(view.candidates()->selectedKey(), offered[offered.indexOf(23) + 1]);
        // The same membership again is refused with a word.
        QVERIFY(view.candidates()->selectKey(23));
        QTest::mouseClick(view.addButton(MembershipMode::Talk), Qt::LeftButton);
        QCOMPARE(members.rowCount(), 10);
        QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.told[0].text,
                 QString("Phone Line 1 is already a member with that mode."));
        // Talk and listen sorts the list by name again.
        QVERIFY(view.candidates()->selectKey(24));
        QTest::mouseClick(view.addButton(MembershipMode::TalkAndListen), Qt::LeftButton);
        QCOMPARE(members.rowCount(), 11);
        // Remove the first row: the row after it is selected.
        view.memberTable()->selectRow(0);
        QVERIFY(view.removeButton()->isEnabled());
        QTest::mouseClick(view.removeButton(), Qt::LeftButton);
        QCOMPARE(members.rowCount(), 10);
        QCOMPARE(view.memberTable()->currentIndex().row(), 0);

        const auto expected = mirx::model::partyLineRecord(kCameraPl, view.members().rows());
        QCOMPARE(expected.entryCount(), std::size_t{10});
        QVERIFY(expected.findEntry({23, 1}));
        QVERIFY(expected.findEntry({24, 3}));
        QTest::mouseClick(view.okButton(), Qt::LeftButton);
        QTRY_COMPARE(fixture_->served.received("ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE"),
                     std::size_t{1});
        QCOMPARE(fixture_->frameLogCount(
                     "ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE (6025) second=10101 len=104"),
                 std::size_t{1});
        QVERIFY(fixture_->store.get("GroupMembershipWindowPositionLeft").has_value());
        QCOMPARE(bytesOf(stoppedSite().partyLines.at(kCameraPl).wire()), bytesOf(expected.wire()));
    }

    void fixedGroupMembershipIsASetByIndex() {
        serve(0);
        CGroupConfigurationMembershipDlg view(fixture_->context(), kAllCamerasGroup);
        view.show();
        QTRY_VERIFY(view.loaded());
        QCOMPARE(fixture_->frameLogCount("ADMIN_FIXED_GROUP_MEMBERSHIP_REQUEST (6026) second=0"),
                 std::size_t{1});
        QVERIFY(view.addButton(MembershipMode::TalkAndListen)
                    ->text()
                    .remove('&')
                    .contains(QStringLiteral("-----> Insert ----->")));
        QVERIFY(!view.addButton(MembershipMode::Talk)->isVisible());
        QVERIFY(!view.addButton(MembershipMode::Listen)->isVisible());
        QCOMPARE(view.memberTable()->model()->columnCount(), 1);
        const int before = view.memberTable()->model()->rowCount();
        QVERIFY(before > 0);
        // Panels may join a fixed group.
        QVERIFY(view.candidates()->selectKey(0));
        QTest::mouseClick(view.addButton(MembershipMode::TalkAndListen), Qt::LeftButton);
        QCOMPARE(view.memberTable()->model()->rowCount(), before + 1);
        QTest::mouseClick(view.clearButton(), Qt::LeftButton);
        QCOMPARE(view.memberTable()->model()->rowCount(), 0);
        QVERIFY(view.candidates()->selectKey(41));
        QTest::mouseClick(view.addButton(MembershipMode::TalkAndListen), Qt::LeftButton);
        QTest::mouseClick(view.okButton(), Qt::LeftButton);
        QTRY_COMPARE(fixture_->served.received("ADMIN_FIXED_GROUP_MEMBERSHIP_UPDATE"),
                     std::size_t{1});
        QCOMPARE(
            fixture_->frameLogCount("ADMIN_FIXED_GROUP_MEMBERSHIP_UPDATE (6028) second=0 len=125"),
            std::size_t{1});
        std::vector<std::uint8_t> expected(125, 0);
        expected[41 / 8] = 1u << (41 % 8);
        QCOMPARE(bytesOf(stoppedSite().fixedGroups.at(0).bytes()), expected);
    }

    // While a command file waits for its answer the view sends nothing; it
    // asks once the guard is free and frees it again once it has read.
    void theMembershipWaitsForTheAnswerGuard() {
        serve(0);
        AnswerGuard guard(fixture_->mirror.membershipFlags());
        fixture_->context().answerGuard = &guard;
        const int commandFile = 0;
        QVERIFY(guard.tryAcquire(mirx::commandfiles::AwaitedAnswer::Membership, &commandFile));
        CGroupConfigurationMembershipDlg view(fixture_->context(), kCameraPl);
        view.show();
        QTest::qWait(300);
        QCOMPARE(fixture_->served.received("ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST"), std::size_t{0});
        QVERIFY(!view.loaded());
        guard.release(&commandFile);
        QTRY_VERIFY(view.loaded());
        QCOMPARE(fixture_->served.received("ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST"), std::size_t{1});
        QVERIFY(guard.isFree());
        QCOMPARE(view.memberTable()->model()->rowCount(), 9);
        fixture_->context().answerGuard = nullptr;
    }

    void aRecordThatCannotBeReadWholeIsShownButNeverSaved() {
        using P = mirx::model::PartyLineMembership;
        P broken;
        broken.set(P::kPartyLine, kCameraPl);
        broken.setEntry(0, {15, 3});
        broken.setEntry(1, {1500, 3});
        broken.setEntry(2, {16, 9});
        broken.setEntry(3, {17, 1});
        broken.set(P::kEntryCount, 4);
        fixture_->site.partyLines[kCameraPl] = broken;
        serve(0);
        CGroupConfigurationMembershipDlg view(fixture_->context(), kCameraPl);
        view.show();
        QTRY_VERIFY(view.loaded());
        QCOMPARE(view.memberTable()->model()->rowCount(), 2);
        QVERIFY(view.notice()->isVisible());
        const QString notice = view.notice()->text();
        QVERIFY2(notice.contains("could not be read whole") &&
                     notice.contains("entry 2 names 1500") &&
                     notice.contains("entry 3 has the unknown mode 9") &&
                     notice.contains("cannot be saved"),
                 qPrintable(notice));
        QVERIFY(!view.okButton()->isEnabled());
        QVERIFY(!view.clearButton()->isEnabled());
        QVERIFY(view.candidates()->selectKey(23));
        QVERIFY(!view.addButton(MembershipMode::TalkAndListen)->isEnabled());
        view.reject();
        QTest::qWait(100);
        QCOMPARE(fixture_->served.received("ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE"), std::size_t{0});
        QCOMPARE(bytesOf(stoppedSite().partyLines.at(kCameraPl).wire()), bytesOf(broken.wire()));
    }

    // Answers a console cannot store whole: the view shows what was sound,
    // says why the rest is not, and sends nothing back.
    void aBrokenAnswerFromAHostileServerIsNeverSentBack() {
        struct Case {
            const char* what;
            std::vector<std::uint8_t> payload;
            int shown;
            const char* why;
        };
        // Party line 10101, count 5, two whole entries.
        const std::vector<std::uint8_t> twoOfFive{0x75, 0x27, 5,  0, 15, 0, 3, 0, 0, 0, 0, 0,
                                                  0,    0,    16, 0, 1,  0, 0, 0, 0, 0, 0, 0};
        std::vector<std::uint8_t> otherLine = twoOfFive;
        otherLine[0] = 0x76; // party line 10102
        otherLine[2] = 2;
        const Case cases[] = {
            {"count above the entries", twoOfFive, 2, "entries need"},
            {"another party line's record", otherLine, 0, "not the requested 10101"},
        };
        for (const Case& c : cases) {
            mirx::test::Script script;
            script.answers[mirx::msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST] = {
                {mirx::msg::ADMIN_PARTY_LINE_MEMBERSHIP_RESPONSE, kCameraPl, c.payload}};
            mirx::test::ScriptedServer server(mirx::sim::demoSite(), script);
            QVERIFY(server.start());
            fixture_->store.set(mirx::link::kDataIpPort.name, std::uint32_t{server.port()});
            QVERIFY(fixture_->logIn());
            {
                CGroupConfigurationMembershipDlg view(fixture_->context(), kCameraPl);
                view.show();
                QTRY_VERIFY(view.loaded());
                QCOMPARE(view.memberTable()->model()->rowCount(), c.shown);
                QVERIFY2(view.notice()->isVisible() && view.notice()->text().contains(c.why),
                         c.what);
                QVERIFY(!view.okButton()->isEnabled());
                QTest::mouseClick(view.okButton(), Qt::LeftButton);
                view.reject();
            }
            fixture_->link().StopLink();
            QVERIFY2(!server.receivedAny(mirx::msg::ADMIN_PARTY_LINE_MEMBERSHIP_UPDATE), c.what);
            server.stop();
        }
    }
};

QTEST_MAIN(GroupViewsTest)
#include "group_views_test.moc"
