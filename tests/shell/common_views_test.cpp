// The helpers every view shares: titles, remembered window positions, status
// colours, and the About view. Runs on the offscreen platform.
#include "link/console_version.h"
#include "link/settings_store.h"
#include "reports/status_text.h"
#include "shell/common/status_palette.h"
#include "shell/common/window_position.h"
#include "shell/common/window_title.h"
#include "shell/main/about_dialog.h"
#include "tests/shell/shell_fixture.h"

#include <cstdint>
#include <optional>
#include <string>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>

using mirx::link::MemorySettingsStore;
using mirx::reports::StatusColour;

Q_DECLARE_METATYPE(StatusColour)

namespace {

constexpr int kUnset = 0x7fffffff;

// A stored coordinate; kUnset leaves the value absent.
void storeCoordinate(MemorySettingsStore& store, const QString& name, int value) {
    if (value != kUnset) {
        store.set(name.toStdString(), static_cast<std::uint32_t>(value));
    }
}

// A stored coordinate read back as a signed number; kUnset when absent.
int storedCoordinate(const MemorySettingsStore& store, const QString& name) {
    const auto value = store.get(name.toStdString());
    if (!value) {
        return kUnset;
    }
    return static_cast<int>(std::get<std::uint32_t>(*value));
}

QString positionName(const QString& prefix, const char* edge) {
    return prefix + QStringLiteral("WindowPosition") + QLatin1String(edge);
}

QRect primaryScreen() {
    return QGuiApplication::primaryScreen()->geometry();
}

QPoint centredOnPrimary(QSize size) {
    const QRect screen = primaryScreen();
    return {screen.x() + screen.width() / 2 - size.width() / 2,
            screen.y() + screen.height() / 2 - size.height() / 2};
}

} // namespace

class CommonViewsTest : public QObject {
    Q_OBJECT

private slots:
    void windowTitle_data();
    void windowTitle();

    void restorePosition_data();
    void restorePosition();
    void restoreCentresNeverSizedWindowOnItsLaidOutSize();

    void savePosition_data();
    void savePosition();
    void saveMaximisedWindowKeepsNormalRectangle();
    void viewReopensWhereItClosed_data();
    void viewReopensWhereItClosed();

    void statusColours_data();
    void statusColours();
    void defaultColourGivesFieldBackToPalette();

    void aboutView();
};

void CommonViewsTest::windowTitle_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no profile") << "System Administration" << QByteArray()
                                << "MIRX System Administration";
    QTest::newRow("profile") << "System Administration" << QByteArray("Plant B")
                             << "MIRX System Administration - Plant B";
    QTest::newRow("other caption") << "System Administration Configuration" << QByteArray("Site 2")
                                   << "MIRX System Administration Configuration - Site 2";
    QTest::newRow("UTF-8 profile") << "Client Configuration" << QByteArray("B\xc3\xbcro")
                                   << QString::fromUtf8("MIRX Client Configuration - B\xc3\xbcro");
    QTest::newRow("placeholders taken literally")
        << "Caption %2" << QByteArray("50%1") << "MIRX Caption %2 - 50%1";
}

void CommonViewsTest::windowTitle() {
    QFETCH(QString, caption);
    QFETCH(QByteArray, profile);
    QFETCH(QString, expected);
    QCOMPARE(
        mirx::shell::windowTitle(caption, std::string_view(profile.constData(), profile.size())),
        expected);
}

// Offsets from the primary screen's far corner stand for "beyond the
// virtual desktop"; the offscreen platform has a single screen.
void CommonViewsTest::restorePosition_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QRect>("stored"); // left, top, right, bottom as stored
    QTest::addColumn<bool>("storeRightBottom");
    QTest::addColumn<QPoint>("expectedPos");
    QTest::addColumn<QSize>("expectedSize");

    const QPoint initialPos(7, 9);
    const QSize initialSize(300, 200);
    const int far = 5000;
    auto rect = [](int l, int t, int r, int b) {
        return QRect(QPoint(l, t), QPoint(r, b));
    };

    QTest::newRow("move-only, corner inside")
        << "Login" << rect(100, 50, 0, 0) << false << QPoint(100, 50) << initialSize;
    QTest::newRow("move-only ignores a stored size")
        << "Login" << rect(100, 50, 900, 950) << true << QPoint(100, 50) << initialSize;
    QTest::newRow("resizable, corner inside takes stored size")
        << "ClientConfiguration" << rect(100, 50, 500, 350) << true << QPoint(100, 50)
        << QSize(400, 300);
    QTest::newRow("resizable, screen left of the primary one")
        << "DebugLogDlg" << rect(-900, 20, -500, 320) << true << QPoint(-900, 20)
        << QSize(400, 300);
    QTest::newRow("move-only, far off: centred keeping current size")
        << "Login" << rect(far, far, 0, 0) << false << centredOnPrimary(initialSize) << initialSize;
    QTest::newRow("resizable, far off: centred with stored size")
        << "GroupConfiguration" << rect(far, far, far + 400, far + 300) << true
        << centredOnPrimary(QSize(400, 300)) << QSize(400, 300);
    QTest::newRow("only top beyond the desktop: centred")
        << "Login" << rect(100, far, 0, 0) << false << centredOnPrimary(initialSize) << initialSize;
    QTest::newRow("only left beyond the desktop: centred")
        << "Login" << rect(far, 100, 0, 0) << false << centredOnPrimary(initialSize) << initialSize;
    QTest::newRow("left and top 0: default placement")
        << "ClientConfiguration" << rect(0, 0, 500, 400) << true << initialPos << initialSize;
    QTest::newRow("nothing stored: default placement")
        << "Login" << rect(kUnset, kUnset, 0, 0) << false << initialPos << initialSize;
    QTest::newRow("resizable without right/bottom keeps its size")
        << "ClientStatistics" << rect(100, 50, 0, 0) << false << QPoint(100, 50) << initialSize;
}

void CommonViewsTest::restorePosition() {
    QFETCH(QString, prefix);
    QFETCH(QRect, stored);
    QFETCH(bool, storeRightBottom);
    QFETCH(QPoint, expectedPos);
    QFETCH(QSize, expectedSize);

    MemorySettingsStore store;
    storeCoordinate(store, positionName(prefix, "Left"), stored.left());
    storeCoordinate(store, positionName(prefix, "Top"), stored.top());
    if (storeRightBottom) {
        storeCoordinate(store, positionName(prefix, "Right"), stored.right());
        storeCoordinate(store, positionName(prefix, "Bottom"), stored.bottom());
    }

    QWidget window;
    window.move(7, 9);
    window.resize(300, 200);
    mirx::shell::restoreWindowPosition(window, store, prefix.toStdString());

    QCOMPARE(window.pos(), expectedPos);
    QCOMPARE(window.size(), expectedSize);
}

// A dialog takes its laid-out size only when first shown; centring must use
// that size, not the placeholder a never-shown window reports.
void CommonViewsTest::restoreCentresNeverSizedWindowOnItsLaidOutSize() {
    MemorySettingsStore store;
    store.set("LoginWindowPositionLeft", std::uint32_t{20000});
    store.set("LoginWindowPositionTop", std::uint32_t{20000});

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* content = new QWidget(&window);
    content->setFixedSize(240, 130);
    layout->addWidget(content);

    mirx::shell::restoreWindowPosition(window, store, "Login");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.pos(), centredOnPrimary(window.size()));
}

void CommonViewsTest::savePosition_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QRect>("expected"); // left, top, right, bottom; kUnset = not written

    auto rect = [](int l, int t, int r, int b) {
        return QRect(QPoint(l, t), QPoint(r, b));
    };

    QTest::newRow("move-only writes the corner only")
        << "Login" << QRect(120, 80, 300, 200) << rect(120, 80, kUnset, kUnset);
    QTest::newRow("resizable writes the rectangle")
        << "SipRegistrations" << QRect(120, 80, 300, 200) << rect(120, 80, 420, 280);
    QTest::newRow("resizable right edge at 0 is not written")
        << "CommandFilesDialog" << QRect(-300, 20, 300, 200) << rect(-300, 20, kUnset, 220);
    QTest::newRow("window at the corner writes 0, 0")
        << "Login" << QRect(0, 0, 300, 200) << rect(0, 0, kUnset, kUnset);
}

void CommonViewsTest::savePosition() {
    QFETCH(QString, prefix);
    QFETCH(QRect, geometry);
    QFETCH(QRect, expected);

    QWidget window;
    window.move(geometry.topLeft());
    window.resize(geometry.size());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    MemorySettingsStore store;
    mirx::shell::saveWindowPosition(window, store, prefix.toStdString());

    QCOMPARE(storedCoordinate(store, positionName(prefix, "Left")), expected.left());
    QCOMPARE(storedCoordinate(store, positionName(prefix, "Top")), expected.top());
    QCOMPARE(storedCoordinate(store, positionName(prefix, "Right")), expected.right());
    QCOMPARE(storedCoordinate(store, positionName(prefix, "Bottom")), expected.bottom());
}

void CommonViewsTest::saveMaximisedWindowKeepsNormalRectangle() {
    QWidget window;
    window.move(120, 80);
    window.resize(300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.showMaximized();
    QTRY_VERIFY(window.isMaximized() && window.size() != QSize(300, 200));

    MemorySettingsStore store;
    mirx::shell::saveWindowPosition(window, store, "ClientConfiguration");

    QCOMPARE(storedCoordinate(store, "ClientConfigurationWindowPositionLeft"), 120);
    QCOMPARE(storedCoordinate(store, "ClientConfigurationWindowPositionTop"), 80);
    QCOMPARE(storedCoordinate(store, "ClientConfigurationWindowPositionRight"), 420);
    QCOMPARE(storedCoordinate(store, "ClientConfigurationWindowPositionBottom"), 280);
}

void CommonViewsTest::viewReopensWhereItClosed_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QSize>("reopenedSize");

    QTest::newRow("move-only") << "Main" << QSize(250, 150);
    QTest::newRow("resizable") << "ReportConnectionStatusDlg" << QSize(330, 210);
}

void CommonViewsTest::viewReopensWhereItClosed() {
    QFETCH(QString, prefix);
    QFETCH(QSize, reopenedSize);
    const std::string key = prefix.toStdString();
    const bool resizable = mirx::link::findWindowPositionKey(key)->resizable;

    MemorySettingsStore store;
    {
        QWidget first;
        first.move(150, 90);
        first.resize(330, 210);
        first.show();
        QVERIFY(QTest::qWaitForWindowExposed(&first));
        mirx::shell::saveWindowPosition(first, store, key);
    }

    QWidget second;
    second.resize(250, 150);
    mirx::shell::restoreWindowPosition(second, store, key);
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));

    QCOMPARE(second.pos(), QPoint(150, 90));
    QCOMPARE(second.size(), resizable ? QSize(330, 210) : reopenedSize);
}

void CommonViewsTest::statusColours_data() {
    QTest::addColumn<StatusColour>("colour");
    QTest::addColumn<QColor>("expected");

    QTest::newRow("green") << StatusColour::Green << QColor(128, 255, 0);
    QTest::newRow("yellow") << StatusColour::Yellow << QColor(255, 255, 128);
    QTest::newRow("red") << StatusColour::Red << QColor(255, 32, 32);
    QTest::newRow("cyan") << StatusColour::Cyan << QColor(0, 255, 255);
}

void CommonViewsTest::statusColours() {
    QFETCH(StatusColour, colour);
    QFETCH(QColor, expected);

    QLabel label;
    mirx::shell::paintStatusField(label, {"  0d,  1h,  5m", colour});

    QCOMPARE(label.text(), QStringLiteral("  0d,  1h,  5m"));
    QVERIFY(label.autoFillBackground());
    QCOMPARE(label.palette().color(QPalette::Window), expected);
    // Light backgrounds: dark text even under a dark theme.
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(mirx::shell::shownStatusColour(label), colour);
}

// A field that was coloured and turns Default must look like an untouched one.
void CommonViewsTest::defaultColourGivesFieldBackToPalette() {
    QLabel untouched;
    QCOMPARE(mirx::shell::shownStatusColour(untouched), StatusColour::Default);

    QLabel label;
    mirx::shell::paintStatusField(label, {"1 of 10", StatusColour::Red});
    mirx::shell::paintStatusField(label, {"?", StatusColour::Default});

    QCOMPARE(label.text(), QStringLiteral("?"));
    QVERIFY(!label.autoFillBackground());
    QCOMPARE(mirx::shell::shownStatusColour(label), StatusColour::Default);
    QCOMPARE(label.palette().color(QPalette::Window), untouched.palette().color(QPalette::Window));
    QCOMPARE(label.palette().color(QPalette::WindowText),
             untouched.palette().color(QPalette::WindowText));
}

void CommonViewsTest::aboutView() {
    const mirx::link::AppVersion version = mirx::link::consoleVersion();
    const QString versionText = QStringLiteral("%1.%2.%3-%4 (Linux)")
                                    .arg(MIRX_VERSION_MAJOR)
                                    .arg(MIRX_VERSION_MINOR)
                                    .arg(version.build)
                                    .arg(version.revision);
    QCOMPARE(mirx::shell::programVersionText(), versionText);

    mirx::test::ShellFixture fixture;
    mirx::shell::CAboutDlg dialog(fixture.context());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About MIRX System Administration"));

    QStringList lines;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        lines << label->text();
    }
    QVERIFY2(lines.contains(QStringLiteral("MIRX System Administration ") + versionText),
             qPrintable(lines.join(QLatin1Char('|'))));

    QPushButton* ok = nullptr;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("OK")) {
            ok = button;
        }
    }
    QVERIFY(ok != nullptr);
    dialog.open();
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(CommonViewsTest)
#include "common_views_test.moc"
