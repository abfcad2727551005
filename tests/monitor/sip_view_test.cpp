// The SIP registrations view against the simulator, on the offscreen
// platform.
#include "core/message_ids.h"
#include "model/sip_registrations.h"
#include "model/system_status.h"
#include "monitor/list_export.h"
#include "monitor/sip_registrations_dialog.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/log_capture.h"
#include "tests/support/scripted_server.h"

#include <memory>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

using mirx::monitor::CSipRegistrationsDlg;
using R = mirx::model::SipRegistration;

namespace {

constexpr int kWaitMs = 10000;

constexpr std::uint32_t address(unsigned a, unsigned b, unsigned c, unsigned d) {
    return a | b << 8 | c << 16 | d << 24;
}

R registration(const std::string& user, const std::string& contact) {
    R r;
    r.set(R::kUserName, user);
    r.set(R::kAddressOfRecord, "sip:" + user + "@venue.local");
    r.set(R::kContactDetail, contact);
    r.set(R::kExpirationSeconds, 0u); // no countdown: texts stay put
    return r;
}

QStringList column(const QAbstractItemModel& model, int c) {
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row) {
        out << model.index(row, c).data().toString();
    }
    return out;
}

} // namespace

class SipViewTest : public QObject {
    Q_OBJECT

private:
    mirx::test::LogCapture log_;
    std::unique_ptr<mirx::test::ShellFixture> fixture_;

    static bool refreshed(const CSipRegistrationsDlg& view, std::size_t count = 1) {
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

    void externalOnlyHidesTheServersOwn() {
        auto& site = fixture_->site;
        site.systemSettings.set(mirx::model::SystemSettings::kServerAddress, address(10, 0, 0, 1));
        site.systemSettings.set(mirx::model::SystemSettings::kSecondaryServerAddress,
                                address(10, 0, 0, 2));
        site.sipRegistrations = {registration("phone", "sip:phone@10.0.0.40:5060"),
                                 registration("gw", "sip:gw@10.0.0.1:5062"),
                                 registration("far", "sip:far@110.0.0.1:5060"),
                                 registration("standby", "sip:standby@10.0.0.2:5062")};
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        CSipRegistrationsDlg view(fixture_->context());
        QAbstractItemModelTester tester(view.list()->proxy(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.show();
        QCOMPARE(view.windowTitle(), QString("MIRX SIP Registrations"));
        QVERIFY2(mirx::test::windowFitProblem(view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(view)));
        const QStringList titles{"User Name", "Address of Record", "Contact Detail",
                                 "Expiration Time"};
        const QList<int> widths{100, 200, 350, 90};
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(view.model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
            QCOMPARE(view.list()->table()->horizontalHeader()->sectionSize(c), widths[c]);
        }
        QVERIFY(view.externalOnlyBox()->isChecked());
        QVERIFY(refreshed(view));
        QCOMPARE(column(*view.model(), 0), (QStringList{"phone", "far", "standby"}));
        QCOMPARE(column(*view.model(), 1).front(), QString("sip:phone@venue.local"));
        QCOMPARE(column(*view.model(), 3).front(), QString("0s"));

        view.externalOnlyBox()->setChecked(false);
        QVERIFY(refreshed(view));
        QCOMPARE(column(*view.model(), 0), (QStringList{"phone", "gw", "far", "standby"}));
    }

    void afterFailoverTheSecondaryIsTheServer() {
        auto& site = fixture_->site;
        site.systemSettings.set(mirx::model::SystemSettings::kServerAddress, address(10, 0, 0, 1));
        site.systemSettings.set(mirx::model::SystemSettings::kSecondaryServerAddress,
                                address(10, 0, 0, 2));
        site.status.failoverState =
            static_cast<std::uint8_t>(mirx::model::FailoverState::PrimaryOfflineSecondaryActive);
        site.sipRegistrations = {registration("gw", "sip:gw@10.0.0.1:5062"),
                                 registration("standby", "sip:standby@10.0.0.2:5062")};
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        CSipRegistrationsDlg view(fixture_->context());
        view.show();
        // The status record (with the failover state) comes each second.
        QTRY_VERIFY_WITH_TIMEOUT(mirx::model::secondaryActive(fixture_->link().status().get(
                                     mirx::model::SystemStatus::kFailoverState)),
                                 kWaitMs);
        QVERIFY(refreshed(view));
        QCOMPARE(column(*view.model(), 0), QStringList{"gw"});
    }

    void fewerRegistrationsRewriteRowsInPlace() {
        // Five registrations, then three: the count the server sends decides.
        std::vector<R> five;
        for (int i = 0; i < 5; ++i) {
            five.push_back(registration("user" + std::to_string(i),
                                        "sip:u@192.168.1." + std::to_string(i + 1) + ":5060"));
        }
        const std::vector<R> three{registration("a", "sip:a@192.168.2.1:5060"),
                                   registration("b", "sip:b@192.168.2.2:5060"),
                                   registration("c", "sip:c@192.168.2.3:5060")};
        mirx::test::Script script;
        auto& answers = script.answersInTurn[mirx::msg::ADMIN_SIP_REGISTRATIONS_REQUEST];
        answers.push_back({mirx::msg::ADMIN_SIP_REGISTRATIONS_RESPONSE, 0,
                           mirx::model::encodeSipRegistrations(five)});
        answers.push_back({mirx::msg::ADMIN_SIP_REGISTRATIONS_RESPONSE, 0,
                           mirx::model::encodeSipRegistrations(three)});
        mirx::test::ScriptedServer server(fixture_->site, std::move(script));
        QVERIFY(server.start());
        fixture_->store.set(mirx::link::kDataIpPort.name, std::uint32_t{server.port()});
        QVERIFY(fixture_->logIn());

        CSipRegistrationsDlg view(fixture_->context());
        view.show();
        QTRY_COMPARE_WITH_TIMEOUT(view.model()->rowCount(), 5, kWaitMs);
        QSignalSpy reset(view.model(), &QAbstractItemModel::modelReset);
        QSignalSpy removed(view.model(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(view.model(), &QAbstractItemModel::dataChanged);
        QTRY_COMPARE_WITH_TIMEOUT(view.model()->rowCount(), 3, kWaitMs);
        QCOMPARE(column(*view.model(), 0), (QStringList{"a", "b", "c"}));
        QCOMPARE(reset.count(), 0);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed[0][1].toInt(), 3);
        QCOMPARE(removed[0][2].toInt(), 4);
        QVERIFY(changed.count() >= 1);
        fixture_->link().StopLink();
    }

    void countAboveThePayloadShowsWhatArrived() {
        std::vector<std::uint8_t> payload = mirx::model::encodeSipRegistrations(
            std::vector<R>{registration("only", "x@1.2.3.4:1")});
        payload[0] = 0xFF; // 32767 claimed
        payload[1] = 0x7F;
        payload.resize(payload.size() + 50, 0x41); // and part of a second entry
        mirx::test::Script script;
        script.answers[mirx::msg::ADMIN_SIP_REGISTRATIONS_REQUEST] = {
            {mirx::msg::ADMIN_SIP_REGISTRATIONS_RESPONSE, 0, payload}};
        mirx::test::ScriptedServer server(fixture_->site, std::move(script));
        QVERIFY(server.start());
        fixture_->store.set(mirx::link::kDataIpPort.name, std::uint32_t{server.port()});
        QVERIFY(fixture_->logIn());
        CSipRegistrationsDlg view(fixture_->context());
        view.show();
        QVERIFY(refreshed(view));
        QCOMPARE(column(*view.model(), 0), QStringList{"only"});
        fixture_->link().StopLink();
    }

    void copyTakesTheList() {
        fixture_->startServer();
        QVERIFY(fixture_->logIn());
        CSipRegistrationsDlg view(fixture_->context());
        view.show();
        QVERIFY(refreshed(view));
        QVERIFY(view.model()->rowCount() > 0);
        view.exporter()->copyButton()->click();
        const QStringList lines =
            QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), view.model()->rowCount() + 1);
        QCOMPARE(lines[0],
                 QString("User Name\tAddress of Record\tContact Detail\tExpiration Time"));
    }
};

QTEST_MAIN(SipViewTest)
#include "sip_view_test.moc"
