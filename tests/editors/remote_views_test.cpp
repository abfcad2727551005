// The remote configuration list and its edit view against the simulator,
// on the offscreen platform.
#include "editors/editor_views.h"
#include "editors/remote/remote_configuration_dialog.h"
#include "editors/remote/remote_edit_dialog.h"
#include "shell/main/view_registry.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/log_capture.h"

#include <memory>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using mirx::editors::CRemoteConfigurationDlg;
using mirx::editors::CRemoteConfigurationEditDlg;
using mirx::model::LabelInfo;
using L = LabelInfo;

namespace {

// Demo site: the party line of local system 1 and an RTS port.
constexpr int kStudioBPl = 10303;
constexpr int kRtsPort = 11000;

QString cell(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

std::vector<std::uint8_t> bytesOf(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

} // namespace

class RemoteViewsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<mirx::test::ShellFixture> fixture_;
    std::unique_ptr<mirx::test::LogCapture> log_;

    void serve(std::uint8_t trunkingFlags) {
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

    int rowOf(const CRemoteConfigurationDlg& view, qint64 key) {
        return static_cast<int>(view.list()->shownKeys().indexOf(key));
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

    void theListShowsEveryLabelOutsideLocalSystemZero() {
        fixture_->site.labels.at(kRtsPort).setBit(L::kSelectorFlags, L::kLatchDisableTalkBit, true);
        serve(1);
        mirx::shell::ViewRegistry views;
        mirx::editors::registerEditorViews(views);
        std::unique_ptr<QDialog> registered(
            views.create(mirx::shell::ViewKey::RemoteConfiguration, fixture_->context(), nullptr));
        QVERIFY(qobject_cast<CRemoteConfigurationDlg*>(registered.get()) != nullptr);

        CRemoteConfigurationDlg view(fixture_->context());
        QVERIFY2(mirx::test::windowFitProblem(view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(view)));
        QAbstractItemModelTester tester(view.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.show();
        QCOMPARE(view.windowTitle(), QString("MIRX Remote Configuration"));
        const QAbstractItemModel& shown = *view.list()->table()->model();
        const std::size_t remote = std::count_if(
            fixture_->site.labels.begin(), fixture_->site.labels.end(), [](const auto& entry) {
                return entry.second.get(L::kSystemClass) != 0 ||
                       entry.second.get(L::kSystemNumber) != 0;
            });
        QCOMPARE(static_cast<std::size_t>(shown.rowCount()), remote);
        const QStringList titles{"System Name", "#",         "Label Type",     "Talk/Listen Name",
                                 "Description", "Latchable", "Ext Alpha (8U)", "Ext Alpha (4)",
                                 "Restrict",    "Port"};
        for (int c = 0; c < titles.size(); ++c) {
            QCOMPARE(shown.headerData(c, Qt::Horizontal).toString(), titles[c]);
            // "Latchable" shows because the port reads "No".
            QVERIFY(!view.list()->table()->isColumnHidden(c));
        }
        const int pl = rowOf(view, kStudioBPl);
        QCOMPARE(cell(shown, pl, 0), QString("Studio B"));
        QCOMPARE(cell(shown, pl, 1), QString("2"));
        QCOMPARE(cell(shown, pl, 2), QString("Party Line"));
        QCOMPARE(cell(shown, rowOf(view, kRtsPort), 5), QString("No"));
        // Opened sorted by system name.
        QCOMPARE(cell(shown, 0, 0), QString("OB Truck RTS"));
        QVERIFY(!view.editButton()->isEnabled());
        QVERIFY(view.list()->selectKey(kStudioBPl));
        QVERIFY(view.editButton()->isEnabled());
        view.list()->filterBox()->setText(QStringLiteral("studio b production"));
        QCOMPARE(view.list()->shownKeys(), (QList<qint64>{kStudioBPl}));
    }

    void theListClosesWhenTheConsoleIsLoggedOut() {
        serve(1);
        CRemoteConfigurationDlg view(fixture_->context());
        view.show();
        fixture_->stopServer();
        QTRY_VERIFY_WITH_TIMEOUT(view.closed(), 10000);
        // Its place is remembered under its own name.
        QVERIFY(fixture_->store.get("RemoteConfigurationWindowPositionRight").has_value());
    }

    void withoutTrunkingOnlySixColumnsShow() {
        serve(0);
        CRemoteConfigurationDlg view(fixture_->context());
        for (int c = 5; c < 10; ++c) {
            QVERIFY(view.list()->table()->isColumnHidden(c));
        }
    }

    void editingChecksLocalClientsAndPostsTheLabel() {
        auto& port = fixture_->site.labels.at(kRtsPort);
        port.setBit(L::kClientFlags, L::kPartyLineOperationBit, true);
        port.set(L::kAssignmentRestrictions, 0x0D);
        serve(1);
        CRemoteConfigurationDlg view(fixture_->context());
        view.show();
        QVERIFY(view.list()->selectKey(kRtsPort));
        QTest::mouseClick(view.editButton(), Qt::LeftButton);
        auto* edit = qobject_cast<CRemoteConfigurationEditDlg*>(view.childView());
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->windowTitle(), QString("MIRX Remote Configuration Edit"));
        QCOMPARE(edit->typeBox()->count(), 1);
        QCOMPARE(edit->typeBox()->currentText(), QString("RTS Port"));
        QVERIFY(!edit->localAdminBox()->isEnabled());
        QVERIFY(edit->localAdminBox()->isChecked());
        QVERIFY(edit->externalShortEdit()->isVisible());
        QCOMPARE(edit->nameEdit()->maxLength(), 20);
        QCOMPARE(edit->externalShortEdit()->maxLength(), 8);

        for (const char* taken : {"Director", "Camera 1"}) {
            fixture_->prompter.told.clear();
            edit->nameEdit()->selectAll();
            QTest::keyClicks(edit->nameEdit(), taken);
            QTest::mouseClick(edit->okButton(), Qt::LeftButton);
            QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
            QCOMPARE(fixture_->prompter.told[0].caption, QString("Error"));
            QCOMPARE(fixture_->prompter.told[0].text,
                     QString("Selector Talk/Listen Name already exists"));
            QVERIFY(edit->isVisible());
        }
        // Another remote label's name is fine.
        fixture_->prompter.told.clear();
        edit->nameEdit()->selectAll();
        QTest::keyClicks(edit->nameEdit(), "Studio B PL");
        edit->descriptionEdit()->setText(QStringLiteral("Truck port \"one\""));
        edit->offlineBox()->setChecked(true);
        const LabelInfo before = mirrored(kRtsPort);
        QTest::mouseClick(edit->okButton(), Qt::LeftButton);
        QVERIFY(fixture_->prompter.told.empty());
        QTRY_COMPARE(fixture_->served.received("ADMIN_LABEL_UPDATE"), std::size_t{1});
        QCOMPARE(fixture_->frameLogCount("ADMIN_LABEL_UPDATE (6012) second=11000 len=300"),
                 std::size_t{1});

        LabelInfo expected = before;
        expected.set(L::kTalkListenName, "Studio B PL");
        expected.set(L::kDescription, "Truck port 'one'");
        expected.setBit(L::kClientFlags, L::kAlwaysShowSelectorOfflineBit, true);
        // The bits the view has no box for stay as the server sent them.
        QVERIFY(expected.testBit(L::kClientFlags, L::kPartyLineOperationBit));
        QCOMPARE(expected.get(L::kAssignmentRestrictions), std::uint8_t{0x0D});
        QCOMPARE(bytesOf(mirrored(kRtsPort).view()), bytesOf(expected.view()));
        QCOMPARE(cell(*view.list()->table()->model(), rowOf(view, kRtsPort), 3),
                 QString("Studio B PL"));
        fixture_->link().StopLink();
        fixture_->stopServer();
        QCOMPARE(bytesOf(fixture_->site.labels.at(kRtsPort).view()), bytesOf(expected.view()));
    }

    // The name field shows the external name when the selector name is
    // empty; saving other fields must not copy that into the selector name.
    void anUntouchedFallbackNameIsNotStored() {
        auto& port = fixture_->site.labels.at(kRtsPort);
        port.set(L::kTalkListenName, "");
        port.set(L::kExternalLongName, "PORTLONG");
        serve(2);
        CRemoteConfigurationDlg view(fixture_->context());
        view.show();
        QVERIFY(view.list()->selectKey(kRtsPort));
        QTest::mouseClick(view.editButton(), Qt::LeftButton);
        auto* edit = qobject_cast<CRemoteConfigurationEditDlg*>(view.childView());
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->nameEdit()->text(), QString("PORTLONG"));
        // Delec: one external name, captioned "External Name".
        QVERIFY(edit->externalLongEdit()->isVisible());
        QVERIFY(!edit->externalShortEdit()->isVisible());
        edit->latchBox()->setChecked(true);
        QTest::mouseClick(edit->okButton(), Qt::LeftButton);
        QTRY_COMPARE(fixture_->served.received("ADMIN_LABEL_UPDATE"), std::size_t{1});
        QCOMPARE(mirrored(kRtsPort).get(L::kTalkListenName), std::string());
        QVERIFY(mirrored(kRtsPort).testBit(L::kSelectorFlags, L::kLatchDisableTalkBit));
    }
};

QTEST_MAIN(RemoteViewsTest)
#include "remote_views_test.moc"
