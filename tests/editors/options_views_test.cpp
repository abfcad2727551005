// The client options views against the simulator, on the offscreen platform:
// the view each client type gets, the records and sound files the simulator
// received, the defaults with their "apply to all" answer, and the marks.
#include "editors/clients/client_list_dialog.h"
#include "editors/options/client_options_dialog.h"
#include "editors/options/options_differences_dialog.h"
#include "model/client_options_form.h"
#include "model/sound_files.h"
#include "model/system_settings.h"
#include "tests/shell/scripted_chooser.h"
#include "tests/shell/shell_fixture.h"

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using mirx::editors::CClientConfigurationDlg;
using mirx::editors::CClientConfigurationOptionsDlg;
using mirx::editors::COptionsDifferencesDlg;
using mirx::model::OptionsView;
using F = mirx::model::OptionsField;
using O = mirx::model::ClientOptions;

namespace {

constexpr int kDirector = 0;    // control panel, type 10
constexpr int kReplay = 8;      // control panel, type 10
constexpr int kCamera1 = 15;    // device interface, type 50
constexpr int kGallery = 26;    // SIP desk phone, type 103
constexpr int kPbxTrunk = 30;   // SIP direct IP trunk, type 104
constexpr int kRemote = 31;     // SIP registered trunk, type 105
constexpr int kStageVideo = 32; // video source, type 150

constexpr std::uint32_t ip(unsigned a, unsigned b, unsigned c, unsigned d) {
    return a | (b << 8) | (c << 16) | (d << 24);
}

// The simulator's site as of its last change, copied on its own thread.
struct SiteWatch {
    std::mutex lock;
    mirx::site::Site site;
};

// Bytes no control shows and values the views show rounded or as unknown:
// they must come back as they went out.
O withOddBytes(O record) {
    for (const std::size_t i : {16u, 17u, 18u, 19u, 20u, 21u, 141u, 199u, 446u, 500u, 549u}) {
        record.bytes[i] = static_cast<std::uint8_t>(0xA0 + i % 50);
    }
    record.set(O::kGeoLatitude, 51.50735123456);
    record.set(O::kGeoLongitude, -0.12775829);
    return record;
}

std::vector<std::uint8_t> prefix(const O& record, std::size_t length) {
    return {record.bytes.begin(), record.bytes.begin() + static_cast<std::ptrdiff_t>(length)};
}

// Controls a screen reader could not name.
QStringList unnamedControls(QWidget& view) {
    QStringList problems;
    for (QWidget* control : view.findChildren<QWidget*>()) {
        const bool input = qobject_cast<QLineEdit*>(control) != nullptr ||
                           qobject_cast<QComboBox*>(control) != nullptr ||
                           qobject_cast<QAbstractButton*>(control) != nullptr;
        if (!input || qobject_cast<QLineEdit*>(control->parentWidget()) != nullptr ||
            qobject_cast<QComboBox*>(control->parentWidget()) != nullptr) {
            continue;
        }
        if (control->accessibleName().isEmpty()) {
            problems << QString("unnamed %1").arg(control->metaObject()->className());
        }
    }
    return problems;
}

void writeFile(const std::filesystem::path& path, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < size; ++i) {
        out.put(static_cast<char>(i * 7));
    }
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

class OptionsViewsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<mirx::test::ShellFixture> fixture_;
    std::unique_ptr<QTemporaryDir> folder_;
    std::shared_ptr<SiteWatch> watch_;
    mirx::test::ScriptedChooser chooser_;
    std::size_t framesBefore_ = 0;

    mirx::site::Site& site() { return fixture_->site; }
    mirx::test::ScriptedPrompter& prompter() { return fixture_->prompter; }
    std::filesystem::path folder() const { return folder_->path().toStdString(); }

    bool serve(const char* user = "admin") {
        watch_ = std::make_shared<SiteWatch>();
        watch_->site = site();
        mirx::sim::ProtocolOptions options;
        options.uploadFolder = folder() / "uploads";
        options.onSiteChanged = [watch = watch_](const mirx::site::Site& changed) {
            std::lock_guard lock(watch->lock);
            watch->site = changed;
        };
        fixture_->startServer({}, 0, options);
        const bool in = fixture_->link().Connect(user, user);
        framesBefore_ = fixture_->served.frameLog().size();
        return in;
    }

    mirx::site::Site snapshot() {
        std::lock_guard lock(watch_->lock);
        return watch_->site;
    }

    // What the simulator received since the login with that message name,
    // as "second=N len=L".
    QStringList received(const QString& name) const {
        QStringList lines;
        const auto log = fixture_->served.frameLog();
        for (std::size_t i = framesBefore_; i < log.size(); ++i) {
            const QString line = QString::fromStdString(log[i]);
            if (line.startsWith(QLatin1String("sim <-")) &&
                line.contains(QLatin1Char(' ') + name + QLatin1String(" ("))) {
                lines << line.mid(line.indexOf(QLatin1String("second="))).section(' ', 0, 1);
            }
        }
        return lines;
    }
    // Everything the views post, in the order received.
    QStringList posted() const {
        QStringList lines;
        const auto log = fixture_->served.frameLog();
        for (std::size_t i = framesBefore_; i < log.size(); ++i) {
            const QString line = QString::fromStdString(log[i]);
            for (const char* name :
                 {"CONFIGURATION_DATA_CLIENT_OPTIONS", "CONFIGURATION_DATA_DEFAULT_CLIENT_OPTIONS",
                  "ADMIN_CLIENT_OPTIONS_FILE_UPLOAD"}) {
                if (line.startsWith(QLatin1String("sim <-")) &&
                    line.contains(QLatin1Char(' ') + QLatin1String(name) + QLatin1String(" ("))) {
                    lines << QLatin1String(name);
                }
            }
        }
        return lines;
    }

    std::unique_ptr<CClientConfigurationOptionsDlg> open(int client) {
        auto view = std::make_unique<CClientConfigurationOptionsDlg>(fixture_->context(), client);
        view->show();
        [&] {
            QTRY_VERIFY(view->filled());
        }();
        return view;
    }

    static void finishEdit(QLineEdit* line, const QString& text) {
        line->setText(text);
        emit line->editingFinished();
    }

private slots:
    void init() {
        fixture_ = std::make_unique<mirx::test::ShellFixture>();
        folder_ = std::make_unique<QTemporaryDir>();
        chooser_ = mirx::test::ScriptedChooser{};
        fixture_->context().chooser = &chooser_;
    }

    void cleanup() {
        fixture_->link().StopLink();
        fixture_.reset();
        folder_.reset();
    }

    // One client of each view: the view its type asks for, one edit, and
    // the record the simulator stored, byte for byte over what was sent.
    void okPostsTheClientsRecordInItsView() {
        struct Case {
            const char* name;
            int client;
            OptionsView view;
            std::size_t length;
            std::function<void(O&)> odd;
            std::function<void(CClientConfigurationOptionsDlg&)> edit;
            std::function<void(O&)> expect;
        };
        const std::vector<Case> cases{
            {"panel", kDirector, OptionsView::Panel, 250, [](O&) {},
             [](CClientConfigurationOptionsDlg& v) {
                 v.check(F::OperateAsBeltpack)->click();
                 finishEdit(v.edit(F::ConnectionTimeout), "4321");
             },
             [](O& r) {
                 r.setBit(O::kPanelOperationFlags, O::kOperateAsBeltpackBit,
                          !r.testBit(O::kPanelOperationFlags, O::kOperateAsBeltpackBit));
                 r.set(O::kPanelConnectionTimeoutMs, std::uint16_t{4321});
             }},
            {"sip", kGallery, OptionsView::Sip, 550,
             [](O& r) {
                 // An activation the list lacks and an 8-bit character.
                 r.set(O::kSipInboundCallHandling, std::uint8_t{0x25});
                 r.set(O::kSipUserNamePrefix, "cafe");
                 r.bytes[O::kSipUserNamePrefix.offset + 3] = 0xE9;
             },
             [](CClientConfigurationOptionsDlg& v) {
                 v.combo(F::OutboundActivation)->setCurrentIndex(2);
                 finishEdit(v.edit(F::SessionExpiry), "1800");
             },
             [](O& r) {
                 const std::uint8_t old = r.get(O::kSipOutboundCallHandling);
                 r.set(O::kSipOutboundCallHandling,
                       static_cast<std::uint8_t>((old & 0xF0) | O::kOutboundActivateOnTalk));
                 r.set(O::kSipSessionExpirySeconds, std::uint16_t{1800});
             }},
            {"registered trunk", kRemote, OptionsView::Sip, 550, [](O&) {},
             [](CClientConfigurationOptionsDlg& v) {
                 finishEdit(v.edit(F::ProxyAddress), "192.168.1.20:5070");
                 finishEdit(v.edit(F::StunAddress), "");
             },
             [](O& r) {
                 r.set(O::kSipProxyAddress, ip(192, 168, 1, 20));
                 r.set(O::kSipProxyPort, std::uint16_t{5070});
                 r.set(O::kSipStunAddress, 0u);
                 r.set(O::kSipStunPort, std::uint16_t{0});
             }},
            {"video", kStageVideo, OptionsView::Video, 250, [](O&) {},
             [](CClientConfigurationOptionsDlg& v) {
                 v.combo(F::RtspMethod)->setCurrentIndex(O::kRtspAndRtpOverHttp);
                 finishEdit(v.edit(F::RtspHttpPort), "8554");
             },
             [](O& r) {
                 r.set(O::kVideoRtspMethod, O::kRtspAndRtpOverHttp);
                 r.set(O::kVideoHttpPort, std::uint16_t{8554});
             }},
        };
        for (const Case& c : cases) {
            O record = withOddBytes(site().options.at(c.client));
            c.odd(record);
            site().options[c.client] = record;
        }
        QVERIFY(serve());
        for (const Case& c : cases) {
            const O before = site().options.at(c.client);
            auto view = open(c.client);
            QVERIFY2(view->optionsView() == c.view, c.name);
            QVERIFY(!view->editsDefaults());
            const QString fit = mirx::test::windowFitProblem(*view);
            QVERIFY2(fit.isEmpty(), qPrintable(fit));
            const QStringList problems = unnamedControls(*view);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join("; ")));
            c.edit(*view);
            view->okButton()->click();
            QVERIFY2(view->closed(), c.name);
            const QString frame = QString("second=%1 len=%2").arg(c.client).arg(c.length);
            QTRY_VERIFY2(received("CONFIGURATION_DATA_CLIENT_OPTIONS").contains(frame), c.name);
            O expected = before;
            c.expect(expected);
            QTRY_VERIFY2(prefix(snapshot().options.at(c.client), c.length) ==
                             prefix(expected, c.length),
                         c.name);
        }
        QVERIFY(prompter().told.empty());
        QVERIFY(prompter().asked.empty());
    }

    void cancelPostsNothing() {
        QVERIFY(serve());
        auto view = open(kDirector);
        view->check(F::OperateAsBeltpack)->click();
        view->reject();
        QTest::qWait(100);
        QVERIFY(posted().isEmpty());
        QCOMPARE(received("ADMIN_CLIENT_OPTIONS_REQUEST"),
                 QStringList({"second=65535 len=0", "second=0 len=0"}));
    }

    // The defaults open from the client list; the answer to the question
    // goes as the second value, and the simulator moves the clients that
    // were on the prior defaults only for Yes.
    void theDefaultsAndTheApplyAnswer_data() {
        QTest::addColumn<bool>("apply");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void theDefaultsAndTheApplyAnswer() {
        QFETCH(bool, apply);
        const O prior = site().defaultOptions;
        site().options[kReplay] = prior;
        QVERIFY(serve());
        auto list = std::make_unique<CClientConfigurationDlg>(fixture_->context());
        list->show();
        QPushButton* button = list->defaultsButton(mirx::model::TemplateKind::Options);
        QVERIFY(button != nullptr);
        QVERIFY(button->isEnabled());
        button->click();
        CClientConfigurationOptionsDlg* view = nullptr;
        QTRY_VERIFY((view = qobject_cast<CClientConfigurationOptionsDlg*>(list->openChild())));
        QTRY_VERIFY(view->filled());
        QVERIFY(view->editsDefaults());
        QVERIFY(view->optionsView() == OptionsView::Panel);
        QCOMPARE(view->clientLine()->text(), QString("DEFAULT SETTINGS FOR ALL CLIENTS"));
        QVERIFY(!view->compareButton()->isVisible());
        for (const F f : mirx::model::optionsFields(OptionsView::Panel)) {
            QVERIFY(view->defaultMark(f) == nullptr);
            // Every field of the defaults is open to change, whatever the
            // client type rules say.
            if (f != F::GeoMappingDisable && f != F::GeoLatitude && f != F::GeoLongitude) {
                QVERIFY2(view->control(f)->isEnabled(),
                         mirx::model::optionsFieldInfo(f).caption.data());
            }
        }
        QCOMPARE(received("ADMIN_CLIENT_OPTIONS_REQUEST"), QStringList({"second=65535 len=0"}));

        finishEdit(view->edit(F::VadTime), "300");
        prompter().answers = {apply};
        view->okButton()->click();
        QTRY_VERIFY(list->openChild() == nullptr);
        QCOMPARE(prompter().asked.size(), std::size_t{1});
        QCOMPARE(prompter().asked[0].text,
                 QString("Should the new default settings be applied to all Clients set to the "
                         "prior default settings?"));
        QTRY_COMPARE(received("CONFIGURATION_DATA_DEFAULT_CLIENT_OPTIONS"),
                     QStringList({QString("second=%1 len=250").arg(apply ? 1 : 0)}));
        O next = prior;
        next.set(O::kPanelVadTimeMs, std::uint16_t{300});
        next.set(O::kPanelVadTimeByte, std::uint8_t{255});
        QTRY_VERIFY(prefix(snapshot().defaultOptions, 250) == prefix(next, 250));
        QCOMPARE(prefix(snapshot().options.at(kReplay), 250), prefix(apply ? next : prior, 250));

        // The 8-bit copy is what the defaults view shows.
        button->click();
        QTRY_VERIFY((view = qobject_cast<CClientConfigurationOptionsDlg*>(list->openChild())));
        QTRY_VERIFY(view->filled());
        QCOMPARE(view->edit(F::VadTime)->text(), QString("255"));
        view->reject();
    }

    // The server's sound files are offered; a picked file that cannot go is
    // refused with its reason and nothing changes; a good one goes up before
    // the record that names it.
    void soundFilesAreListedCheckedAndUploaded() {
        QVERIFY(serve());
        auto view = open(kGallery);
        QTRY_VERIFY(view->soundFilesListed());
        // The defaults, the SIP defaults the marks compare with, the record.
        QCOMPARE(received("ADMIN_CLIENT_OPTIONS_REQUEST"),
                 QStringList({"second=65535 len=0", "second=65534 len=0",
                              QString("second=%1 len=0").arg(kGallery)}));
        QCOMPARE(received("ADMIN_CLIENT_OPTIONS_INFO_REQUEST"),
                 QStringList({"second=65535 len=0"}));
        QComboBox* ring = view->combo(F::RingTone);
        const O record = site().options.at(kGallery);
        QCOMPARE(ring->currentText().toLower(),
                 QString::fromStdString(record.get(O::kSipRingTone)).toLower());
        for (const std::string& name : site().soundFiles) {
            QVERIFY2(ring->findText(QString::fromStdString(name)) >= 0, name.c_str());
            QVERIFY(view->combo(F::AutoAnswerMessage)->findText(QString::fromStdString(name)) >= 0);
        }

        writeFile(folder() / "a-very-long-ring-tone.wav", 100);
        writeFile(folder() / "big.wav", mirx::model::kMaxSoundFileBytes + 1);
        std::filesystem::create_directory(folder() / "folder.wav");
        const struct {
            const char* file;
            QString told;
        } refusals[] = {
            {"a-very-long-ring-tone.wav", "Sound File Name cannot be greater than 20 characters!"},
            {"missing.wav", "Unable to open selected file!"},
            {"folder.wav", "Unable to open selected file!"},
            {"big.wav", "Sound file big.wav is larger than 480000 bytes."},
        };
        const QString shown = ring->currentText();
        for (const auto& refusal : refusals) {
            chooser_.files = {QString::fromStdString((folder() / refusal.file).string())};
            view->soundButton(F::RingTone)->click();
            QVERIFY(!prompter().told.empty());
            QCOMPARE(prompter().told.back().caption, QString("MIRX System Administration"));
            QCOMPARE(prompter().told.back().text, refusal.told);
            QCOMPARE(ring->currentText(), shown);
            QVERIFY(ring->findText(refusal.file) < 0);
        }
        QCOMPARE(chooser_.filters.back(), QString("Sound Files (*.WAV)"));

        writeFile(folder() / "new_ring.wav", 1000);
        chooser_.files = {QString::fromStdString((folder() / "new_ring.wav").string())};
        prompter().told.clear();
        view->soundButton(F::RingTone)->click();
        QVERIFY(prompter().told.empty());
        QCOMPARE(ring->currentIndex(), 0);
        QCOMPARE(ring->currentText(), QString("new_ring.wav"));
        view->okButton()->click();
        QVERIFY(view->closed());
        QTRY_COMPARE(posted(), QStringList({"ADMIN_CLIENT_OPTIONS_FILE_UPLOAD",
                                            "CONFIGURATION_DATA_CLIENT_OPTIONS"}));
        QTRY_COMPARE(snapshot().options.at(kGallery).get(O::kSipRingTone),
                     std::string("new_ring.wav"));
        const mirx::site::Site after = snapshot();
        QVERIFY(std::find(after.soundFiles.begin(), after.soundFiles.end(), "new_ring.wav") !=
                after.soundFiles.end());
        const std::vector<std::uint8_t> kept = readFile(folder() / "uploads" / "new_ring.wav");
        QCOMPARE(kept, readFile(folder() / "new_ring.wav"));
        O expected = record;
        expected.set(O::kSipRingTone, "new_ring.wav");
        QVERIFY(prefix(after.options.at(kGallery), 550) == prefix(expected, 550));
    }

    void aSoundFileGoneByOkSendsNothing() {
        QVERIFY(serve());
        auto view = open(kGallery);
        const std::filesystem::path file = folder() / "answer.wav";
        writeFile(file, 200);
        chooser_.files = {QString::fromStdString(file.string())};
        view->soundButton(F::AutoAnswerMessage)->click();
        QCOMPARE(view->combo(F::AutoAnswerMessage)->currentText(), QString("answer.wav"));
        std::filesystem::remove(file);
        view->okButton()->click();
        QVERIFY(!view->closed());
        QCOMPARE(prompter().told.size(), std::size_t{1});
        QCOMPARE(prompter().told[0].text, QString("Unable to open selected file!"));
        QTest::qWait(100);
        QVERIFY(posted().isEmpty());
    }

    // A mark shows while the field equals the defaults the view compares
    // with, and follows the control as it changes.
    void defaultMarksFollowTheControls() {
        O director = site().options.at(kDirector);
        director.setBit(O::kPanelFlags, O::kRingToneDisableBit,
                        site().defaultOptions.testBit(O::kPanelFlags, O::kRingToneDisableBit));
        director.set(O::kPanelVadTimeMs,
                     std::uint16_t{site().defaultOptions.get(O::kPanelVadTimeByte)});
        site().options[kDirector] = director;
        O phone = site().options.at(kGallery);
        phone.set(O::kSipInboundCallHandling,
                  site().sipDefaultOptions.get(O::kSipInboundCallHandling));
        site().options[kGallery] = phone;
        QVERIFY(serve());

        auto panel = open(kDirector);
        QVERIFY(panel->defaultMark(F::OperateAsBeltpack) == nullptr);
        QLabel* ringMark = panel->defaultMark(F::RingToneDisable);
        QVERIFY(ringMark != nullptr);
        QVERIFY(ringMark->isVisible());
        panel->check(F::RingToneDisable)->click();
        QVERIFY(!ringMark->isVisible());
        panel->check(F::RingToneDisable)->click();
        QVERIFY(ringMark->isVisible());
        QLabel* vadMark = panel->defaultMark(F::VadTime);
        QVERIFY(vadMark->isVisible());
        finishEdit(panel->edit(F::VadTime), "301");
        QVERIFY(!vadMark->isVisible());
        panel->reject();

        auto sip = open(kGallery);
        QLabel* inbound = sip->defaultMark(F::InboundActivation);
        QVERIFY(inbound != nullptr);
        QVERIFY(inbound->isVisible());
        QComboBox* combo = sip->combo(F::InboundActivation);
        combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
        QVERIFY(!inbound->isVisible());
        sip->reject();

        // The video view has no marks.
        auto video = open(kStageVideo);
        for (const F f : mirx::model::optionsFields(OptionsView::Video)) {
            QVERIFY(video->defaultMark(f) == nullptr);
        }
    }

    // The enabling rules reach the controls: trunk fields by SIP type, the
    // keep-alive type by method, geo mapping by the server's settings.
    void enablingFollowsTypeAndChoices() {
        site().systemSettings.set(mirx::model::SystemSettings::kGeoMappingAddress,
                                  ip(192, 168, 10, 90));
        QVERIFY(serve());
        const struct {
            int client;
            bool proxy;
            bool target;
        } sipTypes[] = {{kGallery, false, false}, {kPbxTrunk, false, true}, {kRemote, true, true}};
        for (const auto& row : sipTypes) {
            auto view = open(row.client);
            QCOMPARE(view->edit(F::ProxyAddress)->isEnabled(), row.proxy);
            QCOMPARE(view->edit(F::TargetUserName)->isEnabled(), row.target);
            QCOMPARE(view->edit(F::StunAddress)->isEnabled(), row.target);
            QVERIFY(view->edit(F::SessionExpiry)->isEnabled());
            view->combo(F::KeepAliveMethod)->setCurrentIndex(O::kKeepAliveNone);
            QVERIFY(!view->edit(F::KeepAliveType)->isEnabled());
            view->combo(F::KeepAliveMethod)->setCurrentIndex(O::kKeepAliveUnknownPayloadType);
            QVERIFY(view->edit(F::KeepAliveType)->isEnabled());
            view->reject();
        }

        auto camera = open(kCamera1);
        QVERIFY(camera->optionsView() == OptionsView::Panel);
        QVERIFY(!camera->check(F::HideDisabledSelectors)->isEnabled());
        QVERIFY(!camera->check(F::RestartInBackground)->isEnabled());
        QVERIFY(camera->check(F::OperateAsBeltpack)->isEnabled());
        QCheckBox* geo = camera->check(F::GeoMappingDisable);
        QVERIFY(geo->isEnabled());
        geo->setChecked(false);
        QVERIFY(camera->edit(F::GeoLatitude)->isEnabled());
        geo->click();
        QVERIFY(!camera->edit(F::GeoLatitude)->isEnabled());
        QVERIFY(!camera->edit(F::GeoLongitude)->isEnabled());
    }

    void withoutAGeoMappingServerGeoFieldsAreOff() {
        site().systemSettings.set(mirx::model::SystemSettings::kGeoMappingAddress, 0u);
        QVERIFY(serve());
        auto view = open(kStageVideo);
        for (const F f : {F::GeoMappingDisable, F::GeoLatitude, F::GeoLongitude}) {
            QVERIFY(!view->control(f)->isEnabled());
        }
    }

    // "Compare with Default" lists what differs as the view shows it now,
    // as text to copy, and sends nothing.
    void compareListsTheDifferences() {
        O director = site().options.at(kDirector);
        director.setBit(O::kPanelOperationFlags, O::kOperateAsBeltpackBit, true);
        site().defaultOptions.setBit(O::kPanelOperationFlags, O::kOperateAsBeltpackBit, false);
        site().options[kDirector] = director;
        QVERIFY(serve());
        auto view = open(kDirector);
        view->edit(F::ConnectionTimeout)->setText("4000");
        QVERIFY(view->compareButton()->isEnabled());
        view->compareButton()->click();
        COptionsDifferencesDlg* compare = nullptr;
        QTRY_VERIFY((compare = view->findChild<COptionsDifferencesDlg*>()) != nullptr);
        const QString text = compare->text()->toPlainText();
        QVERIFY2(text.contains("Operate as a Beltpack: on (default: off)\n"), qPrintable(text));
        QVERIFY2(
            text.contains("Connection Timeout In Ms: \"4000\" (default: \"" +
                          QString::number(site().defaultOptions.get(O::kPanelConnectionTimeoutMs)) +
                          "\")"),
            qPrintable(text));
        QVERIFY(!text.contains("Ring Tone Disable"));
        QVERIFY(compare->text()->isReadOnly());
        QVERIFY(compare->text()->textInteractionFlags() & Qt::TextSelectableByKeyboard);
        compare->reject();
        view->reject();
        QTest::qWait(100);
        QVERIFY(posted().isEmpty());
    }

    void aReadOnlyAdministratorOnlyLooks() {
        QVERIFY(serve("operator"));
        auto view = open(kDirector);
        QVERIFY(!view->okButton()->isEnabled());
        QVERIFY(view->okButton()->toolTip().contains("privilege level 1"));
        QVERIFY(view->compareButton()->isEnabled());
    }
};

QTEST_MAIN(OptionsViewsTest)
#include "options_views_test.moc"
