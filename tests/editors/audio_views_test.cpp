// The audio settings view through the real link against the simulator, on
// the offscreen platform: what it offers each kind of client, and the
// records the simulator stored after OK, byte for byte.
#include "editors/audio/audio_settings_dialog.h"
#include "editors/clients/client_list_dialog.h"
#include "model/client_records.h"
#include "shell/common/record_list.h"
#include "site/site_builder.h"
#include "tests/shell/shell_fixture.h"

#include <functional>
#include <memory>
#include <mutex>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

using mirx::editors::CClientConfigurationAudioSettingsDlg;
using mirx::editors::CClientConfigurationDlg;
using mirx::model::AudioSlider;
using A = mirx::model::AudioSettings;
using View = CClientConfigurationAudioSettingsDlg;

namespace {

constexpr int kWaitMs = 10000;
// Clients added to the demo site, one per kind the view tells apart.
constexpr int kPanel = 60;      // MCP: Windows Desktop
constexpr int kOdd = 61;        // MCP: Windows Desktop, with values no table holds
constexpr int kCompared = 62;   // MCP: Windows Desktop, differs from the defaults
constexpr int kPhonePanel = 63; // MCP: Apple iOS
constexpr int kSipPhone = 64;   // a SIP device
constexpr int kDefaults = -1;

struct Stored {
    std::mutex lock;
    int changes = 0;
    mirx::site::Site site;
};

// What the simulator answers for a client's audio settings.
A servedAudio(const mirx::site::Site& site, int client) {
    const auto held = site.audio.find(client);
    return held == site.audio.end() ? site.defaultAudio : held->second;
}

QList<int> comboValues(const QComboBox& combo) {
    QList<int> values;
    for (int i = 0; i < combo.count(); ++i) {
        values << combo.itemData(i).toInt();
    }
    return values;
}

void choose(QComboBox& combo, int value) {
    const int at = combo.findData(value);
    QVERIFY2(at >= 0, qPrintable(QString::number(value)));
    combo.setCurrentIndex(at);
}

} // namespace

class AudioViewsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<mirx::test::ShellFixture> fixture_;
    std::shared_ptr<Stored> stored_;
    std::size_t framesBefore_ = 0;

    mirx::site::Site& site() { return fixture_->site; }

    bool serveAndLogIn(const char* user = "admin") {
        mirx::sim::ProtocolOptions options;
        stored_->site = site();
        options.onSiteChanged = [stored = stored_](const mirx::site::Site& changed) {
            std::lock_guard lock(stored->lock);
            ++stored->changes;
            stored->site = changed;
        };
        fixture_->startServer({}, 0, std::move(options));
        const bool in = fixture_->link().Connect(user, user);
        framesBefore_ = fixture_->served.frameLog().size();
        return in;
    }

    mirx::site::Site snapshot() {
        std::lock_guard lock(stored_->lock);
        return stored_->site;
    }
    int changes() {
        std::lock_guard lock(stored_->lock);
        return stored_->changes;
    }

    // Audio messages the simulator received since the login, as
    // "NAME second=N len=L".
    QStringList received() const {
        QStringList lines;
        const auto log = fixture_->served.frameLog();
        for (std::size_t i = framesBefore_; i < log.size(); ++i) {
            const QString line = QString::fromStdString(log[i]);
            if (!line.startsWith(QLatin1String("sim <-")) ||
                !line.contains(QLatin1String("AUDIO"))) {
                continue;
            }
            const QString name = line.section(QLatin1Char(' '), 3, 3);
            lines << name + QLatin1Char(' ') +
                         line.mid(line.indexOf(QLatin1String("second="))).section(' ', 0, 1);
        }
        return lines;
    }

    std::unique_ptr<View> openView(int client) {
        auto view = std::make_unique<View>(fixture_->context(), client);
        view->show();
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(view->filled(), kWaitMs);
        }();
        return view;
    }

    // Presses OK and waits until the simulator stored what it received.
    void okAndWaitStored(View& view) {
        const int before = changes();
        auto result = std::make_shared<int>(-1);
        // The client list's editors delete themselves as they close.
        connect(&view, &QDialog::finished, this, [result](int r) { *result = r; });
        view.okButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(changes() > before, kWaitMs);
        QCOMPARE(*result, int{QDialog::Accepted});
    }

private slots:
    void init() {
        fixture_ = std::make_unique<mirx::test::ShellFixture>();
        stored_ = std::make_shared<Stored>();
        const int base = site().labels.rbegin()->first + 1;
        using mirx::site::addClient;
        addClient(site(), base, kPanel, 10, "Audio Desk", "Desk for audio", "adesk", "adesk");
        addClient(site(), base + 1, kOdd, 10, "Odd Desk", "Newer firmware", "odd", "odd");
        addClient(site(), base + 2, kCompared, 10, "Tuned Desk", "Tuned by hand", "tuned", "tuned");
        addClient(site(), base + 3, kPhonePanel, 16, "Pocket", "Phone app", "pocket", "pocket");
        addClient(site(), base + 4, kSipPhone, 100, "Desk Phone", "SIP phone", "phone", "phone");

        // Bytes no control shows, to see them come back.
        A panel = site().defaultAudio;
        panel.set(A::kValue10, 777);
        panel.set(A::kValue22, 4242);
        for (std::size_t at = 40; at < A::kSize; ++at) {
            panel.data()[at] = static_cast<std::uint8_t>(0xA0 + at);
        }
        site().audio[kPanel] = panel;

        A odd = site().defaultAudio;
        odd.set(A::kCodec, 42);
        odd.set(A::kSampleRate, 12345);
        odd.set(A::kEncryption, 7);
        odd.set(A::kSilenceSuppressionTime, 150);
        site().audio[kOdd] = odd;

        A compared = site().defaultAudio;
        compared.set(A::kOutputGain, 2);
        compared.set(A::kAgcLevel, 2);
        compared.set(A::kEchoCancellation, 1);
        site().audio[kCompared] = compared;
    }

    void cleanup() {
        fixture_->link().StopLink();
        fixture_.reset();
    }

    void offersWhatTheClientMayUse_data() {
        QTest::addColumn<int>("client");
        QTest::addColumn<bool>("debug");
        QTest::addColumn<QList<int>>("codecs");
        QTest::addColumn<QString>("firstCodecText");
        QTest::addColumn<bool>("debugSliders");
        QTest::addColumn<bool>("echo");
        QTest::addColumn<bool>("encryption");
        QTest::addColumn<QString>("caption");
        const QString panel("MCP: Windows Desktop / Audio Desk / Desk for audio");
        const QString defaults("DEFAULT SETTINGS FOR ALL CLIENTS");
        QTest::newRow("panel") << kPanel << false << QList<int>{1, 2, 9}
                               << "High Compression Codec / Low Bitrate (Default)" << false << true
                               << true << panel;
        QTest::newRow("panel /Debug")
            << kPanel << true << QList<int>{0, 1, 10, 11, 2, 3, 4, 5, 6, 7, 8, 9}
            << "PCM (Pulse Code Modulation) @ 20ms " << true << true << true << panel;
        QTest::newRow("phone app") << kPhonePanel << false << QList<int>{1, 9}
                                   << "High Compression Codec / Low Bitrate (Default)" << false
                                   << false << true << "MCP: Apple iOS / Pocket / Phone app";
        QTest::newRow("phone app /Debug")
            << kPhonePanel << true << QList<int>{0, 1, 9} << "PCM (Pulse Code Modulation) @ 20ms "
            << true << false << true << "MCP: Apple iOS / Pocket / Phone app";
        QTest::newRow("SIP device")
            << kSipPhone << false << QList<int>{1, 10, 11, 2, 3, 4, 5, 6, 8}
            << "Speex (Code Excited Linear Prediction)" << false << false << false << QString();
        QTest::newRow("defaults") << kDefaults << false << QList<int>{1, 2, 3, 4, 5, 6, 8}
                                  << "High Compression Codec / Low Bitrate (Default)" << false
                                  << true << true << defaults;
    }

    void offersWhatTheClientMayUse() {
        QFETCH(int, client);
        QFETCH(bool, debug);
        QFETCH(QList<int>, codecs);
        QFETCH(QString, firstCodecText);
        QFETCH(bool, debugSliders);
        QFETCH(bool, echo);
        QFETCH(bool, encryption);
        QFETCH(QString, caption);
        fixture_->context().debugControls = debug;
        QVERIFY(serveAndLogIn());
        auto view = openView(client);
        QCOMPARE(view->windowTitle(), QString("MIRX Client Configuration Audio Settings"));
        QVERIFY2(mirx::test::windowFitProblem(*view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(*view)));
        if (!caption.isEmpty()) {
            QCOMPARE(view->caption()->text(), caption);
        }
        QCOMPARE(comboValues(*view->codec()), codecs);
        QCOMPARE(view->codec()->itemText(0), firstCodecText);
        QCOMPARE(view->codec()->currentData().toInt(), 1);
        QVERIFY(view->codec()->isEnabled());
        // Mix rate 32000: nothing above it.
        QCOMPARE(comboValues(*view->sampleRate()), QList<int>({8000, 16000, 32000}));
        QCOMPARE(view->sampleRate()->currentData().toInt(), 32000);
        QCOMPARE(view->slider(AudioSlider::CaptureBuffer)->isVisible(), debugSliders);
        QCOMPARE(view->slider(AudioSlider::TimeSlice)->isVisible(), debugSliders);
        // Speex: quality, complexity and variable bit rate apply.
        QVERIFY(view->slider(AudioSlider::EncodeQuality)->isVisible());
        QVERIFY(view->variableBitRate()->isVisible());
        QCOMPARE(view->echoCancellation()->isEnabled(), echo);
        QCOMPARE(view->slider(AudioSlider::EchoTail)->isEnabled(), echo);
        QCOMPARE(view->sliderValue(AudioSlider::EchoTail)->text(),
                 echo ? QString("100 ms") : QString());
        QCOMPARE(view->encryption()->isEnabled(), encryption);
        QCOMPARE(view->compareButton()->isVisible(), client != kDefaults);
        // Marks only beside a client's values; the defaults are all default.
        QCOMPARE(view->codecMark()->isVisible(), client != kDefaults);
        QCOMPARE(view->sliderMark(AudioSlider::CaptureBuffer)->isVisible(),
                 debugSliders && client != kDefaults);
        // Found by what they show, and reachable by key.
        QCOMPARE(view->slider(AudioSlider::InputGain)->accessibleName(),
                 QString("Audio Input Level Gain (Pre-Mix)"));
        QCOMPARE(view->codec()->accessibleName(), QString("Audio Encoder/Decoder"));
        QVERIFY(view->echoCancellation()->text().contains(QLatin1Char('&')));

        // Cancel sends nothing but the two requests, defaults first.
        view->reject();
        QTest::qWait(50);
        const QStringList expected =
            client == kDefaults
                ? QStringList{"ADMIN_AUDIO_SETTINGS_REQUEST second=65535 len=0"}
                : QStringList{"ADMIN_AUDIO_SETTINGS_REQUEST second=65535 len=0",
                              QString("ADMIN_AUDIO_SETTINGS_REQUEST second=%1 len=0").arg(client)};
        QCOMPARE(received(), expected);
    }

    // Each case edits the record the previous one left, as an administrator
    // going back to the same client would.
    void okPostsTheEditedRecord() {
        struct Case {
            const char* name;
            std::function<void(View&)> act;
            std::function<void(A&)> expect;
            // Value labels to check after acting.
            std::vector<std::pair<AudioSlider, QString>> labels;
        };
        const std::vector<Case> cases{
            {"sample rate",
             [](View& v) { choose(*v.sampleRate(), 8000); },
             [](A& r) { r.set(A::kSampleRate, 8000); },
             {}},
            {"input gain at the top",
             [](View& v) { v.slider(AudioSlider::InputGain)->setValue(6); },
             [](A& r) { r.set(A::kInputGain, 3); },
             {{AudioSlider::InputGain, "+18 dB"}}},
            {"input gain in the middle",
             [](View& v) { v.slider(AudioSlider::InputGain)->setValue(3); },
             [](A& r) { r.set(A::kInputGain, 0); },
             {{AudioSlider::InputGain, "0 dB"}}},
            {"echo on, shortest tail",
             [](View& v) {
                 v.echoCancellation()->setChecked(true);
                 v.slider(AudioSlider::EchoTail)->setValue(0);
             },
             [](A& r) {
                 r.set(A::kEchoCancellation, 1);
                 r.set(A::kEchoTailLength, 50);
             },
             {{AudioSlider::EchoTail, "50 ms"}}},
            {"longest tail, speaker muted",
             [](View& v) {
                 v.slider(AudioSlider::EchoTail)->setValue(5);
                 v.slider(AudioSlider::SpeakerDim)->setValue(7);
             },
             [](A& r) {
                 r.set(A::kEchoTailLength, 300);
                 r.set(A::kSpeakerDimReduction, 7);
             },
             {{AudioSlider::EchoTail, "300 ms"}, {AudioSlider::SpeakerDim, "Mute"}}},
            // 8 kHz is not offered for G.722: the last listed rate is taken.
            {"codec G.722",
             [](View& v) {
                 choose(*v.codec(), 2);
                 QCOMPARE(comboValues(*v.sampleRate()), QList<int>{16000});
                 // Speex-only controls go with the codec.
                 QVERIFY(!v.slider(AudioSlider::EncodeQuality)->isVisible());
                 QVERIFY(!v.variableBitRate()->isVisible());
             },
             [](A& r) {
                 r.set(A::kCodec, 2);
                 r.set(A::kSampleRate, 16000);
                 r.set(A::kCaptureBufferSize, 20);
                 r.set(A::kTimeSlicePerPacket, 1);
                 r.set(A::kJitterBufferSize, 20);
                 r.setBit(A::kAudioFlags, A::kAutomaticJitterBufferBit, true);
             },
             {{AudioSlider::JitterBuffer, "Automatic"}}},
            {"5 ms codec, jitter three packets",
             [](View& v) {
                 choose(*v.codec(), 9);
                 v.slider(AudioSlider::JitterBuffer)->setValue(3);
             },
             [](A& r) {
                 r.set(A::kCodec, 9);
                 r.set(A::kCaptureBufferSize, 5);
                 r.set(A::kTimeSlicePerPacket, 1);
                 r.set(A::kJitterBufferSize, 15);
                 r.setBit(A::kAudioFlags, A::kAutomaticJitterBufferBit, false);
             },
             {{AudioSlider::JitterBuffer, "15 ms"}}},
            {"jitter automatic keeps its size",
             [](View& v) { v.slider(AudioSlider::JitterBuffer)->setValue(0); },
             [](A& r) { r.setBit(A::kAudioFlags, A::kAutomaticJitterBufferBit, true); },
             {{AudioSlider::JitterBuffer, "Automatic"}}},
            {"gain control off, 256-bit encryption",
             [](View& v) {
                 // By keyboard, as without a mouse.
                 QTest::keyClick(v.automaticGainControl(), Qt::Key_Space);
                 v.encryption()->setCurrentIndex(2);
                 QTest::keyClick(v.slider(AudioSlider::SilenceSuppression), Qt::Key_Home);
             },
             [](A& r) {
                 r.set(A::kAutomaticGainControl, 0);
                 r.set(A::kEncryption, 2);
                 r.set(A::kSilenceSuppressionTime, 0);
             },
             {{AudioSlider::SilenceSuppression, "Off"}}},
        };
        QVERIFY(serveAndLogIn());
        for (const Case& c : cases) {
            A expected = servedAudio(snapshot(), kPanel);
            c.expect(expected);
            auto view = openView(kPanel);
            QVERIFY2(view->filled(), c.name);
            c.act(*view);
            if (QTest::currentTestFailed()) {
                qWarning("in case %s", c.name);
                return;
            }
            for (const auto& [slider, text] : c.labels) {
                QVERIFY2(
                    view->sliderValue(slider)->text() == text,
                    qPrintable(QString("%1: %2").arg(c.name, view->sliderValue(slider)->text())));
            }
            okAndWaitStored(*view);
            QVERIFY2(received().constLast() ==
                         QString("CONFIGURATION_DATA_AUDIO_SETTINGS second=%1 len=50").arg(kPanel),
                     c.name);
            const A stored = servedAudio(snapshot(), kPanel);
            QVERIFY2(stored == expected, c.name);
            // The console's copy is what it sent.
            QVERIFY2(fixture_->mirror.read([](const auto& d) { return d.clients.audio(kPanel); }) ==
                         expected,
                     c.name);
        }
        // Untouched bytes stayed through every save.
        const A last = servedAudio(snapshot(), kPanel);
        QCOMPARE(last.get(A::kValue10), std::uint16_t{777});
        QCOMPARE(last.get(A::kValue22), std::uint16_t{4242});
        QCOMPARE(last.data()[49], std::uint8_t{0xA0 + 49});
    }

    void theDefaultRecordAsksWhetherToApplyIt_data() {
        QTest::addColumn<bool>("apply");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }

    void theDefaultRecordAsksWhetherToApplyIt() {
        QFETCH(bool, apply);
        QVERIFY(serveAndLogIn());
        const A prior = site().defaultAudio;
        const A panel = servedAudio(site(), kPanel);
        // Reached from the client list, with no row selected.
        CClientConfigurationDlg list(fixture_->context());
        list.show();
        list.defaultsButton(mirx::model::TemplateKind::AudioSettings)->click();
        View* view = nullptr;
        QTRY_VERIFY((view = qobject_cast<View*>(list.openChild())) != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(view->filled(), kWaitMs);
        QVERIFY(view->editsDefaults());
        choose(*view->sampleRate(), 16000);
        fixture_->prompter.answers = {apply};
        okAndWaitStored(*view);
        QCOMPARE(fixture_->prompter.asked.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.asked.front().text,
                 QString("Should the new default settings be applied to all Clients set to the "
                         "prior default settings?"));
        QCOMPARE(received().constLast(),
                 QString("CONFIGURATION_DATA_DEFAULT_AUDIO_SETTINGS second=%1 len=50")
                     .arg(apply ? 1 : 0));
        A next = prior;
        next.set(A::kSampleRate, 16000);
        const mirx::site::Site after = snapshot();
        QVERIFY(after.defaultAudio == next);
        // A client on the prior defaults follows only on Yes; one with its
        // own values never does.
        QVERIFY(servedAudio(after, kPhonePanel) == (apply ? next : prior));
        QVERIFY(servedAudio(after, kPanel) == panel);
        QTRY_VERIFY(list.openChild() == nullptr);
    }

    void unknownValuesGoBackUnchanged() {
        QVERIFY(serveAndLogIn());
        const A original = servedAudio(site(), kOdd);
        {
            auto view = openView(kOdd);
            QCOMPARE(view->codec()->currentText(), QString("unknown (42)"));
            QCOMPARE(view->sampleRate()->currentText(), QString("unknown (12345)"));
            QCOMPARE(view->encryption()->currentText(), QString("unknown (7)"));
            // A value between the steps shows as it is until moved, and
            // again when moved back.
            QSlider* silence = view->slider(AudioSlider::SilenceSuppression);
            QCOMPARE(view->sliderValue(AudioSlider::SilenceSuppression)->text(), QString("150 ms"));
            const int at = silence->value();
            silence->setValue(at + 2);
            QCOMPARE(view->sliderValue(AudioSlider::SilenceSuppression)->text(),
                     QString("%1 ms").arg((at + 2) * 100));
            silence->setValue(at);
            QCOMPARE(view->sliderValue(AudioSlider::SilenceSuppression)->text(), QString("150 ms"));
            view->slider(AudioSlider::OutputGain)->setValue(5);
            okAndWaitStored(*view);
        }
        A expected = original;
        expected.set(A::kOutputGain, 2);
        QVERIFY(servedAudio(snapshot(), kOdd) == expected);

        // A known codec chosen: the rate the table lacks still stays.
        auto view = openView(kOdd);
        choose(*view->codec(), 1);
        QCOMPARE(view->sampleRate()->currentText(), QString("unknown (12345)"));
        okAndWaitStored(*view);
        expected.set(A::kCodec, 1);
        expected.set(A::kCaptureBufferSize, 20);
        expected.set(A::kTimeSlicePerPacket, 1);
        expected.set(A::kJitterBufferSize, 20);
        expected.setBit(A::kAudioFlags, A::kAutomaticJitterBufferBit, true);
        QVERIFY(servedAudio(snapshot(), kOdd) == expected);
    }

    void compareWithDefaultListsTheDifferences() {
        QVERIFY(serveAndLogIn());
        auto view = openView(kCompared);
        QVERIFY(view->codecMark()->isVisible());
        QVERIFY(view->sliderMark(AudioSlider::InputGain)->isVisible());
        QVERIFY(!view->sliderMark(AudioSlider::OutputGain)->isVisible());
        QCOMPARE(view->slider(AudioSlider::OutputGain)->accessibleDescription(), QString());
        QVERIFY(view->automaticGainControlMark()->isVisible());
        QVERIFY(!view->echoCancellationMark()->isVisible());

        view->compareButton()->click();
        QTRY_VERIFY(view->comparison() != nullptr);
        auto* text = view->comparison()->findChild<QPlainTextEdit*>();
        QVERIFY(text != nullptr);
        QVERIFY(text->isReadOnly());
        const QString expected("MCP: Windows Desktop / Tuned Desk / Tuned by hand\n"
                               "Audio Output Level Gain (Post-Mix): +12 dB (default: 0 dB)\n"
                               "Automatic Gain Control Level: +2 (default: Standard)\n"
                               "Echo Cancellation: on (default: off)\n");
        QCOMPARE(text->toPlainText(), expected);
        QPushButton* copy = nullptr;
        for (QPushButton* button : view->comparison()->findChildren<QPushButton*>()) {
            if (button->text().remove(QLatin1Char('&')) == QLatin1String("Copy")) {
                copy = button;
            }
        }
        QVERIFY(copy != nullptr);
        copy->click();
        QCOMPARE(QApplication::clipboard()->text(), expected);
        view->comparison()->close();

        // Back at the default, the line and the mark follow at once.
        view->slider(AudioSlider::OutputGain)->setValue(3);
        QVERIFY(view->sliderMark(AudioSlider::OutputGain)->isVisible());
        QCOMPARE(view->slider(AudioSlider::OutputGain)->accessibleDescription(),
                 QString("(DEFAULT)"));
        view->slider(AudioSlider::AgcLevel)->setValue(8);
        view->echoCancellation()->setChecked(false);
        QVERIFY(view->echoCancellationMark()->isVisible());
        QCOMPARE(view->comparisonText(),
                 QString("Every audio setting of this client equals the default."));
    }

    void aRecordTheQueueRefusesLeavesTheConsolesCopy() {
        QVERIFY(serveAndLogIn());
        auto view = openView(kPanel);
        const auto held = [this] {
            return fixture_->mirror.read([](const auto& d) { return d.clients.audio(kPanel); });
        };
        const auto before = held();
        view->slider(AudioSlider::InputGain)->setValue(6);
        // Nothing drains a stopped link's queue; fill it to the brim.
        fixture_->link().StopLink();
        while (fixture_->link().requestQueue().PostCopy(0, 0, nullptr, 0)) {
        }
        view->okButton()->click();
        QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
        QVERIFY(fixture_->prompter.told.front().text.contains(QLatin1String("not sent")));
        QVERIFY(held() == before);
        QVERIFY(view->result() != int{QDialog::Accepted});
    }

    void aClosedViewFetchesNoMore() {
        QVERIFY(serveAndLogIn());
        {
            View view(fixture_->context(), kPanel);
            view.show();
            view.reject();
            QTest::qWait(300);
        }
        QCOMPARE(received(), QStringList{"ADMIN_AUDIO_SETTINGS_REQUEST second=65535 len=0"});
        // The answer's flag is left for whoever asks next.
        QVERIFY(fixture_->mirror.clientFlags().TakeAudioReceived());
    }

    void anOperatorSeesButSendsNothing() {
        QVERIFY(serveAndLogIn("operator"));
        auto view = openView(kPanel);
        QVERIFY(!view->okButton()->isEnabled());
        QVERIFY(!view->okButton()->toolTip().isEmpty());
        QVERIFY(view->compareButton()->isEnabled());
        view->slider(AudioSlider::InputGain)->setValue(6);
        view->accept();
        QTest::qWait(50);
        QVERIFY(!received().join(' ').contains(QLatin1String("CONFIGURATION_DATA")));
    }
};

QTEST_MAIN(AudioViewsTest)
#include "audio_views_test.moc"
