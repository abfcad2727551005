// The system settings and user interface settings views against the
// simulator, on the offscreen platform: what they show, what they refuse,
// and the records and files the simulator received.
#include "core/message_ids.h"
#include "editors/editor_views.h"
#include "editors/settings/system_settings_dialog.h"
#include "editors/settings/ui_settings_dialog.h"
#include "link/settings_store.h"
#include "model/system_settings_form.h"
#include "model/ui_settings_form.h"
#include "shell/common/colour_sample.h"
#include "shell/main/view_registry.h"
#include "tests/shell/scripted_chooser.h"
#include "tests/shell/shell_fixture.h"

#include <deque>
#include <fstream>
#include <memory>
#include <mutex>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

using mirx::editors::CSystemSettingsDlg;
using mirx::editors::CUserInterfaceSettingsDlg;
using mirx::model::GraphicSlot;
using mirx::model::SettingsField;
using S = mirx::model::SystemSettings;
using U = mirx::model::UserInterfaceSettings;
using F = mirx::model::SettingsField;

namespace {

constexpr int kWaitMs = 5000;

// What the simulator stored, copied on its own thread after each change.
struct Stored {
    mutable std::mutex lock;
    int changes = 0;
    S systemSettings;
    U userInterfaceSettings;
    mirx::model::ClientCredentials master;
};

QStringList groupTitles(QWidget& view) {
    QStringList titles;
    for (const QGroupBox* box : view.findChildren<QGroupBox*>()) {
        titles << box->title();
    }
    return titles;
}

// Index of the first frame log line the simulator received with `name`.
int receivedAt(const std::vector<std::string>& log, const std::string& name) {
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].starts_with("sim <-") && log[i].find(" " + name + " (") != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void writeBytes(const QString& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

class SettingsViewsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<mirx::test::ShellFixture> fixture_;
    std::unique_ptr<QTemporaryDir> folder_;
    mirx::test::ScriptedChooser chooser_;
    std::shared_ptr<Stored> stored_;

    mirx::test::ScriptedPrompter& prompter() { return fixture_->prompter; }
    std::filesystem::path uploads() const {
        return std::filesystem::path(folder_->path().toStdString()) / "uploads";
    }

    // Serves the site (adjust fixture_->site first) and logs in.
    bool serveAndLogIn(mirx::sim::FaultSwitches faults = {}, const char* user = "admin") {
        mirx::sim::ProtocolOptions options;
        options.uploadFolder = uploads();
        options.onSiteChanged = [stored = stored_](const mirx::site::Site& site) {
            std::lock_guard lock(stored->lock);
            ++stored->changes;
            stored->systemSettings = site.systemSettings;
            stored->userInterfaceSettings = site.userInterfaceSettings;
            stored->master = site.masterAdministrator;
        };
        fixture_->startServer(std::move(faults), 0, std::move(options));
        return fixture_->link().Connect(user, user);
    }

    int changes() const {
        std::lock_guard lock(stored_->lock);
        return stored_->changes;
    }
    template <typename T>
    T storedCopy(T Stored::*member) const {
        std::lock_guard lock(stored_->lock);
        return (*stored_).*member;
    }

    QString writePng(const QString& name, int width = 40, int height = 20) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(10, 20, 200));
        const QString path = folder_->filePath(name);
        if (!image.save(path, "PNG")) {
            return {};
        }
        return path;
    }

private slots:
    void init() {
        fixture_ = std::make_unique<mirx::test::ShellFixture>();
        folder_ = std::make_unique<QTemporaryDir>();
        stored_ = std::make_shared<Stored>();
        chooser_ = mirx::test::ScriptedChooser{};
        fixture_->context().chooser = &chooser_;
    }

    void cleanup() {
        fixture_->link().StopLink();
        fixture_.reset();
        folder_.reset();
    }

    // --- system settings ---

    void layoutFollowsTheTrunkingMode_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<QList<int>>("present");
        QTest::addColumn<QList<int>>("absent");
        QTest::addColumn<bool>("battery");
        QTest::addColumn<bool>("alphas");
        QTest::addColumn<bool>("self");
        const QStringList common{"Primary Server Network Settings",
                                 "Secondary (Failover) Server Network Settings",
                                 "Audio Settings",
                                 "Voice Activity Indication",
                                 "Failover Settings",
                                 "Master System Administrator Login"};
        const auto f = [](F field) {
            return static_cast<int>(field);
        };
        QTest::newRow("rts")
            << 1
            << (common + QStringList{"Trunking Network Settings",
                                     "Telephone Interface Network Settings", "General Settings"})
            << QList<int>{f(F::RtsTrunkingLocalAddress), f(F::RtsTrunkMasterBackupPort),
                          f(F::TelephoneLocalAddress), f(F::MasterControllerBackupPort)}
            << QList<int>{f(F::DelecTrunkingLocalAddress), f(mirx::model::oratisPortField(5)),
                          f(F::GeoMappingAddress)}
            << true << true << true;
        QTest::newRow("delec") << 2 << (common + QStringList{"Trunking Network Settings"})
                               << QList<int>{f(F::DelecTrunkingLocalAddress),
                                             f(mirx::model::oratisAddressField(0)),
                                             f(mirx::model::oratisPortField(5))}
                               << QList<int>{f(F::RtsTrunkingLocalAddress),
                                             f(F::TelephoneLocalAddress), f(F::GeoMappingPort)}
                               << false << false << false;
        QTest::newRow("none")
            << 0
            << (common + QStringList{"RTS Telephone Interface Network Settings",
                                     "Geo Mapping Server Network Settings", "Battery Level Alerts"})
            << QList<int>{f(F::TelephoneLocalAddress), f(F::MasterControllerMainAddress),
                          f(F::GeoMappingAddress), f(F::GeoMappingPort)}
            << QList<int>{f(F::RtsTrunkingLocalAddress), f(F::DelecTrunkingLocalAddress),
                          f(mirx::model::oratisAddressField(0))}
            << true << true << false;
    }

    void layoutFollowsTheTrunkingMode() {
        QFETCH(int, flags);
        QFETCH(QStringList, groups);
        QFETCH(QList<int>, present);
        QFETCH(QList<int>, absent);
        QFETCH(bool, battery);
        QFETCH(bool, alphas);
        QFETCH(bool, self);
        fixture_->site.trunkingFlags = static_cast<std::uint8_t>(flags);
        QVERIFY(serveAndLogIn());

        CSystemSettingsDlg view(fixture_->context());
        view.show();
        QCOMPARE(view.windowTitle(), QString("MIRX System Settings"));
        QVERIFY2(mirx::test::windowFitProblem(view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(view)));
        QStringList shown = groupTitles(view);
        shown.sort();
        groups.sort();
        QCOMPARE(shown, groups);
        for (const int field : present) {
            QVERIFY2(view.edit(static_cast<F>(field)) != nullptr,
                     qPrintable(QString::number(field)));
        }
        for (const int field : absent) {
            QVERIFY2(view.edit(static_cast<F>(field)) == nullptr,
                     qPrintable(QString::number(field)));
        }
        QCOMPARE(view.battery(0) != nullptr, battery);
        QCOMPARE(view.fourCharacterAlphas() != nullptr, alphas);
        QCOMPARE(view.selectorForSelf() != nullptr, self);
        // The edits take no more than their fields hold.
        QCOMPARE(view.loginName()->maxLength(), 20);
        QCOMPARE(view.password()->maxLength(), 20);
        QCOMPARE(view.edit(F::SipDomainName)->maxLength(), 50);
        QCOMPARE(view.edit(F::ClientDataPort)->maxLength(), 9);
        QCOMPARE(view.edit(F::ServerAddress)->maxLength(), 40);
    }

    void showsTheRecordAsReceived() {
        S& s = fixture_->site.systemSettings;
        s.set(S::kOutputGainStep, 1);
        s.set(S::kSecondaryClientAudioPort, 0);
        s.set(S::kFailbackMode, 2);
        s.set(S::kFailbackHours, 7);
        s.set(S::kFailbackMinutes, 5);
        s.set(S::kOptionBits, 0x00);
        QVERIFY(serveAndLogIn());

        CSystemSettingsDlg view(fixture_->context());
        view.show();
        QCOMPARE(view.edit(F::ServerAddress)->text(), QString("127.0.0.1"));
        QCOMPARE(view.edit(F::ClientDataPort)->text(), QString::number(fixture_->port()));
        QCOMPARE(view.edit(F::PrimaryNatAddress)->text(), QString());
        QCOMPARE(view.edit(F::SecondaryClientAudioPort)->text(), QString());
        QCOMPARE(view.edit(F::RtsTrunkingLocalAddress)->text(), QString("127.0.0.1"));
        QCOMPARE(view.edit(F::RtsTrunkMasterMainAddress)->text(), QString("192.168.10.50"));
        QCOMPARE(view.edit(F::SipDomainName)->text(), QString("venue.local"));
        QCOMPARE(view.sampleRate()->currentText(), QString("Ultra Wideband( 32 KHz )"));
        // Full band only with /Debug.
        QCOMPARE(view.sampleRate()->count(), 3);
        QCOMPARE(view.gainLabel()->text(), QString("+6 dB"));
        QCOMPARE(view.failback()->currentText(), QString("At the following time of day ..."));
        QCOMPARE(view.failbackTime()->text(), QString("07:05"));
        QVERIFY(view.disableDomainAuthentication()->isChecked());
        QVERIFY(view.battery(0)->isChecked() && view.battery(1)->isChecked());
        QVERIFY(!view.battery(2)->isChecked());
        QCOMPARE(view.loginName()->text(), QString("admin"));
        QVERIFY(view.sample()->isVisible());
        QCOMPARE(view.sample()->background(), std::optional<QColor>(QColor(0, 255, 0)));

        for (const auto& [step, label] :
             {std::pair{3, "+18 dB"}, std::pair{0, "0 dB"}, std::pair{2, "+12 dB"}}) {
            view.gain()->setValue(step);
            QCOMPARE(view.gainLabel()->text(), QString(label));
        }
        // Manual failback takes no time.
        view.failback()->setCurrentIndex(0);
        QVERIFY(!view.failbackTime()->isEnabled());

        // With both colours 0 there is nothing to show.
        chooser_.colours = {QColor(0, 0, 0), QColor(9, 8, 7)};
        view.backgroundColourButton()->click();
        QCOMPARE(chooser_.presets.back(), QColor(0, 255, 0));
        QVERIFY(!view.sample()->isVisible());
        view.textColourButton()->click();
        QVERIFY(view.sample()->isVisible());
        QCOMPARE(view.sample()->text(), QColor(9, 8, 7));
        QCOMPARE(view.sample()->background(), std::optional<QColor>(QColor(0, 0, 0)));
    }

    void okSendsCredentialsFirstThenTheWholeRecord() {
        // Bytes the view has no field for must come back as they went out.
        S& s = fixture_->site.systemSettings;
        for (std::size_t i = 236; i < S::kSize; ++i) {
            s.bytes[i] = static_cast<std::uint8_t>(i * 13);
        }
        for (std::size_t i = 106; i < 118; ++i) {
            s.bytes[i] = 0xEE;
        }
        QVERIFY(serveAndLogIn());
        S expected = fixture_->mirror.read([](const auto& d) { return d.systemSettings; });

        CSystemSettingsDlg view(fixture_->context());
        view.show();
        view.edit(F::FailoverDelay)->setText(QStringLiteral("0x1E"));
        view.loginName()->setText(QStringLiteral("chief \"ops\""));
        view.password()->setText(QStringLiteral("s3cret"));
        chooser_.colours = {QColor(1, 2, 3)};
        view.textColourButton()->click();
        QCOMPARE(chooser_.presets.front(), QColor(0, 0, 0));
        view.okButton()->click();

        // The failover delay alone restarts nothing: no question.
        QVERIFY(prompter().asked.empty());
        QVERIFY(prompter().told.empty());
        QTRY_VERIFY_WITH_TIMEOUT(view.closed(), kWaitMs);
        QCOMPARE(view.result(), int(QDialog::Accepted));
        QTRY_VERIFY_WITH_TIMEOUT(changes() >= 2, kWaitMs);
        expected.set(S::kFailoverDelaySeconds, 30);
        expected.set(S::kVoiceActivityTextColour, mirx::model::rgb(1, 2, 3));
        const S got = storedCopy(&Stored::systemSettings);
        for (std::size_t i = 0; i < S::kSize; ++i) {
            QVERIFY2(got.bytes[i] == expected.bytes[i], qPrintable(QString("byte %1").arg(i)));
        }
        const auto master = storedCopy(&Stored::master);
        QCOMPARE(master.get(mirx::model::ClientCredentials::kClientIndex), std::int16_t(-1));
        QCOMPARE(master.get(mirx::model::ClientCredentials::kLoginName),
                 std::string("chief_'ops'"));
        QCOMPARE(master.get(mirx::model::ClientCredentials::kPassword), std::string("s3cret"));
        const auto log = fixture_->served.frameLog();
        const int credentials = receivedAt(log, "ADMIN_CLIENT_CREDENTIALS_UPDATE");
        const int settings = receivedAt(log, "CONFIGURATION_DATA_SYSTEM_SETTINGS");
        QVERIFY(credentials >= 0 && settings > credentials);
        // The console keeps what it sent.
        const auto kept =
            fixture_->mirror.read([](const auto& d) { return d.clients.credentials(-1).value(); });
        QCOMPARE(kept.get(mirx::model::ClientCredentials::kLoginName), std::string("chief_'ops'"));
    }

    void restartAsksWithTheChangesAndNoKeepsTheEdits() {
        QVERIFY(serveAndLogIn());
        CSystemSettingsDlg view(fixture_->context());
        view.show();
        view.edit(F::SipDomainName)->setText(QStringLiteral("studio b"));
        view.sampleRate()->setCurrentIndex(view.sampleRate()->findData(16000));
        prompter().answers = {false};
        view.okButton()->click();
        QCOMPARE(prompter().asked.size(), std::size_t{1});
        QCOMPARE(prompter().asked[0].caption, QString("System Restart Confirmation"));
        QCOMPARE(prompter().asked[0].text,
                 QString("WARNING: These changes will result in a server restart and may render "
                         "the system inoperable. Do you wish to proceed?\n\nChanges:\n"
                         "Server SIP Domain Name: \"venue.local\" \u2192 \"studio_b\"\n"
                         "Audio Mix Sample Rate: 32000 Hz \u2192 16000 Hz"));
        QVERIFY(!view.closed());
        QCOMPARE(view.edit(F::SipDomainName)->text(), QString("studio b"));

        prompter().answers = {true};
        view.okButton()->click();
        QVERIFY(view.closed());
        QTRY_VERIFY_WITH_TIMEOUT(changes() >= 2, kWaitMs);
        const S got = storedCopy(&Stored::systemSettings);
        QCOMPARE(got.get(S::kSipDomainName), std::string("studio_b"));
        QCOMPARE(got.get(S::kSampleRate), std::uint16_t(16000));
        QCOMPARE(fixture_->served.received("CONFIGURATION_DATA_SYSTEM_SETTINGS"), std::size_t{1});
    }

    void typedValuesThatDoNotParseAreRefused_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("address") << int(F::PrimaryNatAddress) << "10.0.0.300"
                                 << "Server NAT IP Address: \"10.0.0.300\" is not an IP address. "
                                    "Type four numbers from 0 to 255 separated by dots, such as "
                                    "192.168.1.10.";
        QTest::newRow("all ones") << int(F::RtsTrunkMasterMainAddress) << "255.255.255.255"
                                  << "RTS Trunk Master Main IP Address: \"255.255.255.255\" is not "
                                     "an IP address. Type four numbers from 0 to 255 separated "
                                     "by dots, such as 192.168.1.10.";
        QTest::newRow("port") << int(F::ClientAudioPort) << "99999"
                              << "Server IP Port for Client Audio: \"99999\" is not a number from "
                                 "0 to 65535 (0x before a hexadecimal number, 0 before an octal "
                                 "one).";
        QTest::newRow("server") << int(F::ServerAddress) << ""
                                << "Server IP Address (Local Network Interface) required.";
        QTest::newRow("login") << -1 << ""
                               << "Login Name required. ";
    }

    void typedValuesThatDoNotParseAreRefused() {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QVERIFY(serveAndLogIn());
        CSystemSettingsDlg view(fixture_->context());
        view.show();
        QApplication::setActiveWindow(&view);
        QLineEdit* edit = field < 0 ? view.loginName() : view.edit(static_cast<F>(field));
        edit->setText(typed);
        view.okButton()->click();
        QCOMPARE(prompter().told.size(), std::size_t{1});
        QCOMPARE(prompter().told[0].caption, QString("Error"));
        QCOMPARE(prompter().told[0].text, message);
        QVERIFY(prompter().asked.empty());
        QVERIFY(!view.closed());
        QTRY_VERIFY(edit->hasFocus());
        // Nothing went: a status answer proves the link drained its queue.
        QTest::qWait(300);
        QCOMPARE(fixture_->served.received("CONFIGURATION_DATA_SYSTEM_SETTINGS"), std::size_t{0});
        QCOMPARE(fixture_->served.received("ADMIN_CLIENT_CREDENTIALS_UPDATE"), std::size_t{0});
    }

    void edgeRulesSurviveTheRoundTrip() {
        QVERIFY(serveAndLogIn());
        {
            CSystemSettingsDlg view(fixture_->context());
            view.show();
            view.edit(F::RtsTrunkingLocalAddress)->setText(QStringLiteral("127.0.0.1"));
            view.edit(F::RtsTrunkMasterBackupAddress)->clear();
            view.failback()->setCurrentIndex(2);
            view.failbackTime()->setText(QStringLiteral("7:5"));
            view.okButton()->click();
            QVERIFY(view.closed());
        }
        QTRY_VERIFY_WITH_TIMEOUT(changes() >= 2, kWaitMs);
        const S got = storedCopy(&Stored::systemSettings);
        QCOMPARE(got.get(S::kRtsTrunkingLocalAddress), 0u);
        QCOMPARE(got.get(S::kRtsTrunkMasterBackupAddress), 0u);
        QCOMPARE(got.get(S::kFailbackHours), std::uint16_t(7));
        QCOMPARE(got.get(S::kFailbackMinutes), std::uint16_t(5));

        CSystemSettingsDlg again(fixture_->context());
        QCOMPARE(again.failbackTime()->text(), QString("07:05"));
        QCOMPARE(again.edit(F::RtsTrunkingLocalAddress)->text(), QString("127.0.0.1"));
        QCOMPARE(again.edit(F::RtsTrunkMasterBackupAddress)->text(), QString());
    }

    void aMoveMadeHereReachesTheLink() {
        QVERIFY(serveAndLogIn());
        const auto oldPort = fixture_->port();
        CSystemSettingsDlg view(fixture_->context());
        view.show();
        view.edit(F::ServerAddress)->setText(QStringLiteral("127.0.0.2"));
        view.edit(F::ClientDataPort)->setText(QString::number(oldPort + 1));
        prompter().answers = {true};
        view.okButton()->click();
        QVERIFY(view.closed());
        QVERIFY(prompter().asked[0].text.contains(
            QString("Server IP Port for Client Data: %1 \u2192 %2").arg(oldPort).arg(oldPort + 1)));
        QVERIFY(prompter().asked[0].text.contains(
            "Server IP Address (Local Network Interface): 127.0.0.1 \u2192 127.0.0.2"));

        // The server sends the record back; the link stores the new place
        // and ends the connection so the next login goes there.
        QTRY_VERIFY_WITH_TIMEOUT(!fixture_->link().connected(), kWaitMs);
        QCOMPARE(fixture_->store.get(mirx::link::kServerIPAddress.name),
                 std::optional<mirx::link::StoredValue>(std::string("127.0.0.2")));
        QCOMPARE(fixture_->store.get(mirx::link::kDataIpPort.name),
                 std::optional<mirx::link::StoredValue>(std::uint32_t(oldPort + 1)));
    }

    void onlyAFullAdministratorCanSend() {
        QVERIFY(serveAndLogIn({}, "operator"));
        QVERIFY(!fixture_->link().fullAdministrator());
        CSystemSettingsDlg view(fixture_->context());
        view.show();
        view.okButton()->click();
        QCOMPARE(prompter().told.size(), std::size_t{1});
        QVERIFY(prompter().told[0].text.contains("full administrator"));
        QTest::qWait(300);
        QCOMPARE(fixture_->served.received("CONFIGURATION_DATA_SYSTEM_SETTINGS"), std::size_t{0});
    }

    // --- both views ---

    void viewsCloseWhenLoggedOutAndRememberTheirPlace() {
        QVERIFY(serveAndLogIn());
        mirx::shell::ViewRegistry views;
        mirx::editors::registerEditorViews(views);
        for (const auto key :
             {mirx::shell::ViewKey::SystemSettings, mirx::shell::ViewKey::UserInterfaceSettings}) {
            std::unique_ptr<QDialog> view(views.create(key, fixture_->context(), nullptr));
            QVERIFY(dynamic_cast<mirx::shell::ViewDialog*>(view.get()) != nullptr);
            view->show();
            view->move(130, 140);
            view->reject();
        }
        for (const char* prefix : {"SystemSettings", "UserInterfaceSettings"}) {
            QVERIFY2(fixture_->store
                         .get(mirx::link::windowPositionName(prefix, mirx::link::WindowEdge::Left))
                         .has_value(),
                     prefix);
        }
        CSystemSettingsDlg system(fixture_->context());
        CUserInterfaceSettingsDlg ui(fixture_->context());
        system.show();
        ui.show();
        fixture_->stopServer();
        QTRY_VERIFY_WITH_TIMEOUT(system.closed() && ui.closed(), kWaitMs);
        QCOMPARE(system.result(), int(QDialog::Rejected));
        QVERIFY(prompter().told.empty());
    }

    // --- user interface settings ---

    void showsColoursListsAndTheirEnabling() {
        QVERIFY(serveAndLogIn());
        CUserInterfaceSettingsDlg view(fixture_->context());
        view.show();
        QCOMPARE(view.windowTitle(), QString("MIRX User Interface Settings"));
        QVERIFY2(mirx::test::windowFitProblem(view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(view)));
        QCOMPARE(view.schemes()->currentText(), QString("Choose one ..."));
        QCOMPARE(view.schemes()->count(), 4);
        QCOMPARE(view.colourRow(3).sample->word(), QString("Normal"));
        QCOMPARE(view.colourRow(4).sample->word(), QString("Illuminated"));
        QCOMPARE(view.colourRow(5).sample->word(), QString("Disabled"));
        QVERIFY(view.colourRow(0).text == nullptr && view.colourRow(0).transparent == nullptr);
        // The demo site uses the blue scheme: window and normal selector
        // show graphics.
        QVERIFY(view.graphics(GraphicSlot::SelectorWindow)->isEnabled());
        QVERIFY(view.browse(GraphicSlot::NormalSelector)->isEnabled());
        QVERIFY(!view.colourRow(2).transparent->isEnabled());
        QVERIFY(!view.colourRow(3).transparent->isEnabled());
        QVERIFY(!view.colourRow(5).transparent->isEnabled());
        QCOMPARE(view.colourRow(2).sample->background(), std::optional<QColor>());
        QCOMPARE(view.colourRow(4).sample->background(), std::optional<QColor>(Qt::white));

        // Every list gets the server's names; each selects the record's.
        QTRY_COMPARE_WITH_TIMEOUT(view.graphics(GraphicSlot::Logo)->count(), 3, kWaitMs);
        QCOMPARE(view.graphics(GraphicSlot::Logo)->currentText(), QString("venue_logo.bmp"));
        QCOMPARE(view.graphics(GraphicSlot::SelectorWindow)->currentIndex(), -1);
        QCOMPARE(view.graphics(GraphicSlot::NormalSelector)->itemText(2),
                 QString("selector_blue.bmp"));
        QCOMPARE(fixture_->served.received("ADMIN_USER_INTERFACE_INFO_REQUEST"), std::size_t{1});
    }

    void schemesColoursAndTransparency() {
        QVERIFY(serveAndLogIn());
        CUserInterfaceSettingsDlg view(fixture_->context());
        view.show();
        view.schemes()->setCurrentIndex(2); // Gray
        QCOMPARE(view.colours(), mirx::model::kColourSchemes[1].colours);
        QCOMPARE(view.verticalSpacing()->text(), QString("4"));
        QVERIFY(!view.graphics(GraphicSlot::SelectorWindow)->isEnabled());
        QVERIFY(!view.browse(GraphicSlot::NormalSelector)->isEnabled());
        QVERIFY(view.colourRow(2).transparent->isEnabled());
        QVERIFY(view.colourRow(5).transparent->isEnabled());

        chooser_.colours = {QColor(0x11, 0x22, 0x33)};
        view.colourRow(3).text->click();
        QCOMPARE(chooser_.presets.back(), QColor(0, 0, 0));
        QCOMPARE(view.colours()[3], 0xFF332211u);
        QCOMPARE(view.colourRow(3).sample->text(), QColor(0x11, 0x22, 0x33));
        QCOMPARE(view.schemes()->currentText(), QString("Choose one ..."));

        // A cancelled chooser changes nothing.
        view.schemes()->setCurrentIndex(1);
        view.colourRow(0).background->click();
        QCOMPARE(view.schemes()->currentIndex(), 1);

        view.schemes()->setCurrentIndex(2);
        view.colourRow(2).transparent->click();
        QCOMPARE(view.colours()[2], 0u);
        QVERIFY(view.graphics(GraphicSlot::SelectorWindow)->isEnabled());
        QVERIFY(!view.colourRow(2).transparent->isEnabled());
        QCOMPARE(view.schemes()->currentIndex(), 0);

        view.schemes()->setCurrentIndex(3);
        QTest::keyClicks(view.horizontalSpacing(), "2");
        QCOMPARE(view.schemes()->currentIndex(), 0);
        QCOMPARE(view.horizontalSpacing()->text(), QString("42"));
    }

    void okSendsTheRecordWithNamesAndValues() {
        U& ui = fixture_->site.userInterfaceSettings;
        ui.set(U::kNormalSelectorGraphic, "panel_back.bmp");
        ui.set(U::kNormalSelectorGraphicValue, 77);
        ui.set(U::kLogoGraphicValue, 88);
        for (std::size_t i = 172; i < U::kSize; ++i) {
            ui.bytes[i] = static_cast<std::uint8_t>(i);
        }
        QVERIFY(serveAndLogIn());
        CUserInterfaceSettingsDlg view(fixture_->context());
        view.show();
        QTRY_COMPARE_WITH_TIMEOUT(view.graphics(GraphicSlot::NormalSelector)->count(), 3, kWaitMs);
        view.graphics(GraphicSlot::NormalSelector)
            ->setCurrentText(QStringLiteral("selector_blue.bmp"));
        view.schemes()->setCurrentIndex(3); // Dark blue
        view.verticalSpacing()->setText(QStringLiteral("-2"));
        view.okButton()->click();
        QVERIFY(view.closed());

        QTRY_VERIFY_WITH_TIMEOUT(changes() >= 1, kWaitMs);
        U expected = ui;
        const auto& scheme = mirx::model::kColourSchemes[2];
        for (std::size_t i = 0; i < U::kColours.size(); ++i) {
            expected.set(U::kColours[i], scheme.colours[i]);
        }
        expected.set(U::kVerticalSpacing, -2);
        expected.set(U::kHorizontalSpacing, 4);
        expected.set(U::kNormalSelectorGraphic, "selector_blue.bmp");
        expected.set(U::kNormalSelectorGraphicValue, 0);
        const U got = storedCopy(&Stored::userInterfaceSettings);
        for (std::size_t i = 0; i < U::kSize; ++i) {
            QVERIFY2(got.bytes[i] == expected.bytes[i], qPrintable(QString("byte %1").arg(i)));
        }
        QCOMPARE(fixture_->served.received("ADMIN_USER_INTERFACE_FILE_UPLOAD"), std::size_t{0});
    }

    void aPickedPngIsUploadedBeforeTheRecord() {
        QVERIFY(serveAndLogIn());
        const QString path = writePng(QStringLiteral("new_logo.png"));
        QVERIFY(!path.isEmpty());
        CUserInterfaceSettingsDlg view(fixture_->context());
        view.show();
        QTRY_COMPARE_WITH_TIMEOUT(view.graphics(GraphicSlot::Logo)->count(), 3, kWaitMs);
        chooser_.files = {path};
        view.browse(GraphicSlot::Logo)->click();
        QVERIFY(chooser_.filters.back().contains("*.PNG"));
        QCOMPARE(view.graphics(GraphicSlot::Logo)->itemText(0), QString("new_logo.png"));
        QCOMPARE(view.graphics(GraphicSlot::Logo)->currentIndex(), 0);
        QVERIFY(!view.preview(GraphicSlot::Logo)->pixmap().isNull());
        view.okButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(view.closed(), kWaitMs);
        QCOMPARE(view.result(), int(QDialog::Accepted));
        QVERIFY(prompter().told.empty());

        QTRY_VERIFY_WITH_TIMEOUT(
            fixture_->served.received("CONFIGURATION_DATA_USER_INTERFACE_SETTINGS") == 1, kWaitMs);
        const auto log = fixture_->served.frameLog();
        QVERIFY(receivedAt(log, "ADMIN_USER_INTERFACE_FILE_UPLOAD") <
                receivedAt(log, "CONFIGURATION_DATA_USER_INTERFACE_SETTINGS"));
        QCOMPARE(readBytes(uploads() / "new_logo.png"), readBytes(path.toStdString()));
        QTRY_VERIFY_WITH_TIMEOUT(changes() >= 2, kWaitMs);
        const U got = storedCopy(&Stored::userInterfaceSettings);
        QCOMPARE(got.get(U::kLogoGraphic), std::string("new_logo.png"));
        QCOMPARE(got.get(U::kLogoGraphicValue), std::uint16_t(0));
    }

    void unusableFilesAreRefusedAndNothingIsSent_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray signature("\x89PNG\r\n\x1A\n", 8);
        QTest::newRow("long name") << "twenty_one_character.png" << signature
                                   << "Graphic File Name cannot be greater than 20 characters!";
        QTest::newRow("missing") << "" << QByteArray() << "Unable to open selected file!";
        QTest::newRow("not png") << "logo.png" << QByteArray("GIF89a....")
                                 << "The file \"logo.png\" is not a PNG graphic file!";
        QTest::newRow("broken png") << "broken.png" << signature + QByteArray(100, 'x')
                                    << "The file \"broken.png\" is not a PNG graphic file!";
        QTest::newRow("too big") << "big.png" << signature + QByteArray(80000, 'x')
                                 << "The graphic file \"big.png\" is larger than 80000 bytes and "
                                    "cannot be uploaded!";
    }

    void unusableFilesAreRefusedAndNothingIsSent() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QVERIFY(serveAndLogIn());
        QString path = folder_->filePath(name.isEmpty() ? QStringLiteral("gone.png") : name);
        if (!name.isEmpty()) {
            writeBytes(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        }
        CUserInterfaceSettingsDlg view(fixture_->context());
        view.show();
        QTRY_COMPARE_WITH_TIMEOUT(view.graphics(GraphicSlot::Logo)->count(), 3, kWaitMs);
        chooser_.files = {path};
        view.browse(GraphicSlot::Logo)->click();
        QCOMPARE(prompter().told.size(), std::size_t{1});
        QCOMPARE(prompter().told[0].caption, QString("MIRX System Administration"));
        QCOMPARE(prompter().told[0].text, message);
        QCOMPARE(view.graphics(GraphicSlot::Logo)->count(), 3);
        QCOMPARE(view.graphics(GraphicSlot::Logo)->currentText(), QString("venue_logo.bmp"));
        QVERIFY(view.preview(GraphicSlot::Logo)->pixmap().isNull());
        view.okButton()->click();
        QVERIFY(view.closed());
        QTRY_VERIFY_WITH_TIMEOUT(
            fixture_->served.received("CONFIGURATION_DATA_USER_INTERFACE_SETTINGS") == 1, kWaitMs);
        QCOMPARE(fixture_->served.received("ADMIN_USER_INTERFACE_FILE_UPLOAD"), std::size_t{0});
    }

    void aFileGoneBeforeOkStopsTheWholeOk() {
        QVERIFY(serveAndLogIn());
        const QString path = writePng(QStringLiteral("brief.png"));
        CUserInterfaceSettingsDlg view(fixture_->context());
        view.show();
        chooser_.files = {path};
        view.browse(GraphicSlot::Logo)->click();
        QVERIFY(QFile::remove(path));
        view.okButton()->click();
        QCOMPARE(prompter().told.size(), std::size_t{1});
        QCOMPARE(prompter().told[0].text, QString("Unable to open selected file!"));
        QVERIFY(!view.closed());
        QTest::qWait(300);
        QCOMPARE(fixture_->served.received("ADMIN_USER_INTERFACE_FILE_UPLOAD"), std::size_t{0});
        QCOMPARE(fixture_->served.received("CONFIGURATION_DATA_USER_INTERFACE_SETTINGS"),
                 std::size_t{0});
    }

    void anUploadTheServerDidNotKeepIsNotDone() {
        QVERIFY(serveAndLogIn());
        // The simulator refuses names with "..".
        const QString path = writePng(QStringLiteral("a..png"));
        CUserInterfaceSettingsDlg view(fixture_->context());
        view.show();
        chooser_.files = {path};
        view.browse(GraphicSlot::Logo)->click();
        view.okButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(prompter().told.size(), std::size_t{1}, kWaitMs);
        QCOMPARE(prompter().told[0].text,
                 QString("The upload of a..png was not done: the server did not keep a..png. The "
                         "user interface settings were not sent."));
        QVERIFY(!view.closed());
        QVERIFY(view.okButton()->isEnabled());
        QCOMPARE(fixture_->served.received("CONFIGURATION_DATA_USER_INTERFACE_SETTINGS"),
                 std::size_t{0});
    }

    void anUploadCutOffByALostConnectionIsNotDone() {
        mirx::sim::FaultSwitches deaf;
        deaf.ignoreMessageIds = {mirx::msg::ADMIN_USER_INTERFACE_INFO_REQUEST};
        QVERIFY(serveAndLogIn(deaf));
        const QString path = writePng(QStringLiteral("cut.png"));
        CUserInterfaceSettingsDlg view(fixture_->context());
        view.show();
        chooser_.files = {path};
        view.browse(GraphicSlot::SelectorWindow)->click();
        view.okButton()->click();
        QVERIFY(view.confirmingUploads());
        QVERIFY(!view.okButton()->isEnabled());
        fixture_->stopServer();
        QTRY_VERIFY_WITH_TIMEOUT(view.closed(), kWaitMs);
        QCOMPARE(prompter().told.size(), std::size_t{1});
        QCOMPARE(prompter().told[0].text,
                 QString("The upload of cut.png was not done: the connection to the server was "
                         "lost. The user interface settings were not sent."));
        QCOMPARE(fixture_->served.received("CONFIGURATION_DATA_USER_INTERFACE_SETTINGS"),
                 std::size_t{0});
    }

    void anUnconfirmedUploadTimesOut() {
        mirx::sim::FaultSwitches deaf;
        deaf.ignoreMessageIds = {mirx::msg::ADMIN_USER_INTERFACE_INFO_REQUEST};
        QVERIFY(serveAndLogIn(deaf));
        const QString path = writePng(QStringLiteral("slow.png"));
        CUserInterfaceSettingsDlg view(fixture_->context());
        view.setUploadTimeoutMs(1000);
        view.show();
        // Without the server's list the record's own names stay selectable.
        QCOMPARE(view.graphics(GraphicSlot::Logo)->currentText(), QString("venue_logo.bmp"));
        chooser_.files = {path};
        view.browse(GraphicSlot::NormalSelector)->click();
        view.okButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(prompter().told.size(), std::size_t{1}, kWaitMs);
        QCOMPARE(prompter().told[0].text,
                 QString("The upload of slow.png was not done: the server did not confirm it "
                         "within 1 seconds. The user interface settings were not sent."));
        QVERIFY(!view.closed());
        QVERIFY(!view.confirmingUploads());
        QCOMPARE(fixture_->served.received("CONFIGURATION_DATA_USER_INTERFACE_SETTINGS"),
                 std::size_t{0});
    }
};

QTEST_MAIN(SettingsViewsTest)
#include "settings_views_test.moc"
