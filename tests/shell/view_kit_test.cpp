// The view kit every view is built on: the view table, the dialog base, fetch
// before edit and the list base.
#include "core/message_ids.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/client_store.h"
#include "shell/common/link_waker.h"
#include "shell/common/mnemonics.h"
#include "shell/common/record_fetch.h"
#include "shell/common/record_list.h"
#include "shell/common/view_dialog.h"
#include "shell/common/view_table.h"
#include "shell/main/view_registry.h"
#include "tests/shell/shell_fixture.h"

#include <array>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include <QAbstractItemModelTester>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace mirx::shell {
namespace {

constexpr int kNetworkTimeoutMs = 20000;

// A view on the base with nothing of its own but a counting timer.
class ProbeView final : public ViewDialog {
public:
    ProbeView(ShellContext& context, ViewKey key)
        : ViewDialog(context, key) {
        resize(420, 260);
        ticker = viewTimer(5, [this] { ++ticks; });
        restorePosition();
    }
    using ViewDialog::giveUp;

    QTimer* ticker = nullptr;
    int ticks = 0;
    int closings = 0;
    int lastResult = -1;

protected:
    void closing(int result) override {
        ++closings;
        lastResult = result;
    }
};

struct Row {
    qint64 key;
    QString name;
    int number;
};

// Sorts names case-blind, then by number; numbers by value.
class RowsModel final : public RecordListModel {
public:
    static constexpr std::array<ListColumn, 2> kColumns{{{"Name", 120}, {"Number", 60}}};

    RowsModel()
        : RecordListModel(kColumns) {}

    void setRows(std::vector<Row> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    qint64 rowKey(int row) const override { return at(row).key; }
    QString text(int row, int column) const override {
        return column == 0 ? at(row).name : QString::number(at(row).number);
    }
    int compare(int left, int right, int column) const override {
        const Row& a = at(left);
        const Row& b = at(right);
        if (column == 0) {
            if (const int byName = a.name.compare(b.name, Qt::CaseInsensitive); byName != 0) {
                return byName;
            }
        }
        return a.number - b.number;
    }

private:
    const Row& at(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    std::vector<Row> rows_;
};

std::vector<Row> sampleRows() {
    return {{11, QStringLiteral("beta"), 3},
            {12, QStringLiteral("Alpha"), 2},
            {13, QStringLiteral("alpha"), 1},
            {14, QStringLiteral("Gamma stage"), 4}};
}

} // namespace

class ViewKitTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tableNamesKnownPositionsOnce();
    void titlesFollowTheTable_data();
    void titlesFollowTheTable();
    void privilegeDecidesWhoMayOpen();
    void placeholderTakesTheTableCaption();

    void positionIsRestoredAndSavedUnderTheTableName();
    void closesSoonAfterTheLoginEnds();
    void timersStopAndClosingRunsOnce();
    void givingUpTellsWhyAndSendsNothing();
    void controlsAreNamedForScreenReaders();
    void mnemonicPicksAFreeLetter_data();
    void mnemonicPicksAFreeLetter();
    void everyButtonAndNamingLabelGetsAMnemonic();

    void fetchRequestsDefaultThenRecord();
    void fetchTimesOutWhenNoAnswerComes();
    void fetchRefusedByFullQueueFails();
    void fetchIgnoresAnAnswerLeftFromBefore();
    void fetchTakesAnAnswerWhenWoken();
    void quickWaitTakesAnswersInARowInOneLook();
    void quickWaitGivesTheEventLoopItsTurn();
    void wakerTellsLinkChangesOnItsOwnThread();

    void headerClickSortsAndSecondClickReverses();
    void selectionFollowsTheKeyAcrossRefillsAndSorts();
    void filterNarrowsRowsByEveryWordCaseBlind();
    void enterAndDoubleClickActivateTheSelectedRow();

private:
    std::unique_ptr<test::ShellFixture> fixture_;
};

void ViewKitTest::init() {
    fixture_ = std::make_unique<test::ShellFixture>();
}

void ViewKitTest::cleanup() {
    fixture_.reset();
}

void ViewKitTest::tableNamesKnownPositionsOnce() {
    std::set<ViewKey> keys;
    std::set<std::string_view> positions;
    for (const ViewEntry& entry : kViewEntries) {
        QVERIFY2(keys.insert(entry.key).second, entry.caption);
        QVERIFY(entry.caption != nullptr && *entry.caption != '\0');
        if (!entry.positionName.empty()) {
            QVERIFY2(link::findWindowPositionKey(entry.positionName).has_value(), entry.caption);
            QVERIFY2(positions.insert(entry.positionName).second, entry.caption);
        }
    }
}

void ViewKitTest::titlesFollowTheTable_data() {
    QTest::addColumn<ViewKey>("key");
    QTest::addColumn<QString>("withProfile");
    QTest::addColumn<QString>("withoutProfile");
    QTest::newRow("login") << ViewKey::Login
                           << QStringLiteral("MIRX System Administration Login - Venue")
                           << QStringLiteral("MIRX System Administration Login");
    QTest::newRow("update opens before any profile")
        << ViewKey::Update << QStringLiteral("MIRX System Administration Update")
        << QStringLiteral("MIRX System Administration Update");
    QTest::newRow("about") << ViewKey::About << QStringLiteral("About MIRX System Administration")
                           << QStringLiteral("About MIRX System Administration");
    QTest::newRow("statistics") << ViewKey::ClientStatistics
                                << QStringLiteral("MIRX Client Statistics - Venue")
                                << QStringLiteral("MIRX Client Statistics");
    QTest::newRow("debug log has no product word")
        << ViewKey::DebugLog << QStringLiteral("Debug Log") << QStringLiteral("Debug Log");
    QTest::newRow("activity log has no product word")
        << ViewKey::ActivityLog << QStringLiteral("Activity Log") << QStringLiteral("Activity Log");
}

void ViewKitTest::titlesFollowTheTable() {
    QFETCH(ViewKey, key);
    QFETCH(QString, withProfile);
    QFETCH(QString, withoutProfile);
    QCOMPARE(viewTitle(key, "Venue"), withProfile);
    QCOMPARE(viewTitle(key, ""), withoutProfile);
}

void ViewKitTest::privilegeDecidesWhoMayOpen() {
    fixture_->site.admins = {{"admin", "admin", 0x11, 2}};
    fixture_->startServer();
    QVERIFY(fixture_->logIn());
    QVERIFY(!mayOpen(ViewKey::SystemSettings, fixture_->link()));
    QVERIFY(mayOpen(ViewKey::ClientConfiguration, fixture_->link()));
    fixture_->link().StopLink();

    fixture_->site.admins = {{"admin", "admin", 0x11, 1}};
    fixture_->startServer();
    QVERIFY(fixture_->logIn());
    QVERIFY(mayOpen(ViewKey::SystemSettings, fixture_->link()));
}

void ViewKitTest::placeholderTakesTheTableCaption() {
    ViewRegistry views;
    std::unique_ptr<QDialog> view(
        views.create(ViewKey::SipRegistrations, fixture_->context(), nullptr));
    QCOMPARE(view->windowTitle(), QStringLiteral("MIRX SIP Registrations"));
}

void ViewKitTest::positionIsRestoredAndSavedUnderTheTableName() {
    link::MemorySettingsStore& store = fixture_->store;
    QVERIFY(link::writeWindowPosition(store, "ClientConfiguration", true, {40, 50, 540, 450}));
    {
        ProbeView view(fixture_->context(), ViewKey::ClientConfiguration);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.frameGeometry().topLeft(), QPoint(40, 50));
        view.move(70, 80);
        view.reject();
    }
    const link::Rect saved = link::readWindowPosition(store, "ClientConfiguration", true);
    QCOMPARE(saved.left, 70);
    QCOMPARE(saved.top, 80);
    // A view without a remembered place stores nothing.
    ProbeView unplaced(fixture_->context(), ViewKey::Reports);
    unplaced.reject();
    QCOMPARE(link::readWindowPosition(store, "Reports", true).left, 0);
}

void ViewKitTest::closesSoonAfterTheLoginEnds() {
    fixture_->startServer();
    QVERIFY(fixture_->logIn());
    ProbeView view(fixture_->context(), ViewKey::ClientConfiguration);
    QSignalSpy finished(&view, &QDialog::finished);
    view.show();
    QTest::qWait(3 * ViewDialog::kLoggedOutCheckMs);
    QVERIFY(finished.isEmpty());

    fixture_->stopServer();
    QVERIFY(finished.wait(kNetworkTimeoutMs));
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    QCOMPARE(view.closings, 1);

    // Views around the login never close for that.
    ProbeView login(fixture_->context(), ViewKey::Login);
    QSignalSpy loginFinished(&login, &QDialog::finished);
    login.show();
    QTest::qWait(3 * ViewDialog::kLoggedOutCheckMs);
    QVERIFY(loginFinished.isEmpty());
}

void ViewKitTest::timersStopAndClosingRunsOnce() {
    ProbeView view(fixture_->context(), ViewKey::Login);
    view.show();
    QTRY_VERIFY(view.ticks > 2);
    view.accept();
    view.reject();
    QCOMPARE(view.closings, 1);
    QCOMPARE(view.lastResult, int(QDialog::Accepted));
    QVERIFY(!view.ticker->isActive());
    const int ticks = view.ticks;
    QTest::qWait(30);
    QCOMPARE(view.ticks, ticks);
    // Reopening the same object does not bring the timers back.
    view.show();
    QTest::qWait(30);
    QCOMPARE(view.ticks, ticks);
}

void ViewKitTest::givingUpTellsWhyAndSendsNothing() {
    ProbeView view(fixture_->context(), ViewKey::Login);
    view.show();
    view.giveUp(QStringLiteral("No record"));
    QCOMPARE(view.result(), int(QDialog::Rejected));
    QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
    QCOMPARE(fixture_->prompter.told[0].text, QStringLiteral("No record"));
    QCOMPARE(fixture_->prompter.told[0].caption, view.windowTitle());
    view.giveUp(QStringLiteral("again"));
    QCOMPARE(fixture_->prompter.told.size(), std::size_t{1});
}

void ViewKitTest::controlsAreNamedForScreenReaders() {
    ProbeView view(fixture_->context(), ViewKey::Login);
    auto* layout = new QVBoxLayout(&view);
    auto* field = new QLineEdit(&view);
    auto* label = new QLabel(QStringLiteral("&Login Name:"), &view);
    label->setBuddy(field);
    auto* button = new QPushButton(QStringLiteral("&Delete"), &view);
    auto* ampersand = new QPushButton(QStringLiteral("Talk && Listen"), &view);
    auto* named = new QPushButton(QStringLiteral("..."), &view);
    named->setAccessibleName(QStringLiteral("Choose a file"));
    auto* group = new QGroupBox(QStringLiteral("Network Settings"), &view);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{label, field, button, ampersand, named, group}) {
        layout->addWidget(widget);
    }
    view.show();
    QCOMPARE(field->accessibleName(), QStringLiteral("Login Name"));
    QCOMPARE(button->accessibleName(), QStringLiteral("Delete"));
    QCOMPARE(ampersand->accessibleName(), QStringLiteral("Talk & Listen"));
    QCOMPARE(named->accessibleName(), QStringLiteral("Choose a file"));
    QCOMPARE(group->accessibleName(), QStringLiteral("Network Settings"));
}

void ViewKitTest::mnemonicPicksAFreeLetter_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("taken");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("takenAfter");
    QTest::newRow("first letter") << "Reports"
                                  << ""
                                  << "&Reports"
                                  << "r";
    QTest::newRow("next word's first letter") << "Restart System"
                                              << "r"
                                              << "Restart &System"
                                              << "rs";
    QTest::newRow("any letter when no word start is free") << "Reports"
                                                           << "r"
                                                           << "R&eports"
                                                           << "er";
    QTest::newRow("case blind") << "Exit"
                                << "e"
                                << "E&xit"
                                << "ex";
    QTest::newRow("set by hand is kept and claimed") << "E&xit"
                                                     << ""
                                                     << "E&xit"
                                                     << "x";
    QTest::newRow("doubled ampersand is no mnemonic") << "Talk && Listen"
                                                      << "t"
                                                      << "Talk && &Listen"
                                                      << "lt";
    QTest::newRow("nothing free") << "ab"
                                  << "ab"
                                  << "ab"
                                  << "ab";
}

void ViewKitTest::mnemonicPicksAFreeLetter() {
    QFETCH(QString, text);
    QFETCH(QString, taken);
    QFETCH(QString, expected);
    QFETCH(QString, takenAfter);
    QSet<QChar> letters(taken.begin(), taken.end());
    QCOMPARE(withMnemonic(text, letters), expected);
    QCOMPARE(letters, QSet<QChar>(takenAfter.begin(), takenAfter.end()));
}

void ViewKitTest::everyButtonAndNamingLabelGetsAMnemonic() {
    ProbeView view(fixture_->context(), ViewKey::Login);
    auto* layout = new QVBoxLayout(&view);
    auto* field = new QLineEdit(&view);
    auto* label = new QLabel(QStringLiteral("Name:"), &view);
    label->setBuddy(field);
    auto* plain = new QLabel(QStringLiteral("Nothing to name"), &view);
    auto* byHand = new QPushButton(QStringLiteral("&Next"), &view);
    auto* other = new QPushButton(QStringLiteral("New"), &view);
    for (QWidget* widget : std::initializer_list<QWidget*>{label, field, plain, byHand, other}) {
        layout->addWidget(widget);
    }
    view.show();
    QCOMPARE(byHand->text(), QStringLiteral("&Next"));
    QCOMPARE(label->text(), QStringLiteral("N&ame:"));
    QCOMPARE(other->text(), QStringLiteral("N&ew"));
    QCOMPARE(plain->text(), QStringLiteral("Nothing to name"));
    QCOMPARE(field->accessibleName(), QStringLiteral("Name"));
}

namespace {

// Steps of an audio settings fetch: the default record, then client 0's.
std::vector<RecordFetch::Step> audioSteps(link::ServerLink& serverLink, model::Mirror& mirror) {
    auto request = [&serverLink](std::uint16_t second) {
        return [&serverLink, second] {
            return serverLink.requestQueue().PostCopy(msg::ADMIN_AUDIO_SETTINGS_REQUEST, second,
                                                      nullptr, 0);
        };
    };
    auto arrived = [&mirror] {
        return mirror.clientFlags().TakeAudioReceived();
    };
    return {{QStringLiteral("default audio settings"), request(0xFFFF), arrived},
            {QStringLiteral("audio settings"), request(0), arrived}};
}

} // namespace

void ViewKitTest::fetchRequestsDefaultThenRecord() {
    fixture_->startServer();
    QVERIFY(fixture_->logIn());
    RecordFetch fetch;
    fetch.setSteps(audioSteps(fixture_->link(), fixture_->mirror));
    QSignalSpy ready(&fetch, &RecordFetch::ready);
    QSignalSpy failed(&fetch, &RecordFetch::failed);
    fetch.start();
    QVERIFY(ready.wait(kNetworkTimeoutMs));
    QVERIFY(failed.isEmpty());
    QVERIFY(!fetch.running());

    std::vector<std::string> requests;
    for (const std::string& line : fixture_->served.frameLog()) {
        if (line.find("ADMIN_AUDIO_SETTINGS_REQUEST") != std::string::npos) {
            requests.push_back(line);
        }
    }
    QCOMPARE(requests.size(), std::size_t{2});
    QVERIFY2(requests[0].find("second=65535") != std::string::npos, requests[0].c_str());
    QVERIFY2(requests[1].find("second=0 ") != std::string::npos, requests[1].c_str());
}

void ViewKitTest::fetchTimesOutWhenNoAnswerComes() {
    int asked = 0;
    RecordFetch fetch;
    fetch.setTimeoutMs(150);
    fetch.setSteps({{QStringLiteral("client options"),
                     [&asked] {
                         ++asked;
                         return true;
                     },
                     [] {
                         return false;
                     }}});
    QSignalSpy failed(&fetch, &RecordFetch::failed);
    fetch.start();
    QVERIFY(failed.wait(5000));
    QCOMPARE(asked, 1);
    QCOMPARE(failed.first().first().toString(),
             RecordFetch::timeoutText(QStringLiteral("client options"), 150));
    QVERIFY(failed.first().first().toString().contains(QStringLiteral("client options")));
    QVERIFY(!fetch.running());
}

void ViewKitTest::fetchRefusedByFullQueueFails() {
    bool secondAsked = false;
    RecordFetch fetch;
    fetch.setSteps({{QStringLiteral("default options"), [] { return false; },
                     [] {
                         return true;
                     }},
                    {QStringLiteral("options"),
                     [&secondAsked] {
                         secondAsked = true;
                         return true;
                     },
                     [] {
                         return true;
                     }}});
    QSignalSpy failed(&fetch, &RecordFetch::failed);
    QSignalSpy ready(&fetch, &RecordFetch::ready);
    fetch.start();
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().first().toString(),
             RecordFetch::queueFullText(QStringLiteral("default options")));
    QVERIFY(!secondAsked);
    QTest::qWait(30);
    QVERIFY(ready.isEmpty());
}

void ViewKitTest::fetchTakesAnAnswerWhenWoken() {
    bool flag = false;
    RecordFetch fetch;
    fetch.setSteps({{QStringLiteral("options"), [] { return true; },
                     [&flag] {
                         return std::exchange(flag, false);
                     }}});
    QSignalSpy ready(&fetch, &RecordFetch::ready);
    fetch.checkNow(); // not started: nothing to look for
    QVERIFY(ready.isEmpty());
    fetch.start();
    fetch.checkNow();
    QVERIFY(ready.isEmpty());
    flag = true;
    // At once, not at the next poll.
    fetch.checkNow();
    QCOMPARE(ready.size(), 1);
    QVERIFY(!fetch.running());
}

// A view asking one record after another: each answer is there by the time
// the quick wait returns. One look takes them all, each fetch started from
// the last one's ready(), without nesting one look inside the next.
void ViewKitTest::quickWaitTakesAnswersInARowInOneLook() {
    constexpr int kAsks = 500;
    bool answered = false;
    int asked = 0;
    int waits = 0;
    RecordFetch fetch;
    fetch.setQuickWait([&waits] {
        ++waits;
        return true;
    });
    const auto ask = [&] {
        fetch.setSteps({{QStringLiteral("selector assignments"),
                         [&] {
                             ++asked;
                             answered = true;
                             return true;
                         },
                         [&answered] {
                             return std::exchange(answered, false);
                         }}});
        fetch.start();
    };
    QSignalSpy ready(&fetch, &RecordFetch::ready);
    connect(&fetch, &RecordFetch::ready, this, [&] {
        if (asked < kAsks) {
            ask();
        }
    });
    ask();
    // start() took the left-over flag; the first answer is told by the waker.
    fetch.checkNow();
    QCOMPARE(ready.size(), kAsks);
    QCOMPARE(asked, kAsks);
    QVERIFY(waits >= kAsks - 1);
    QVERIFY(!fetch.running());
}

// Changes that are never the awaited answer, or a quick wait that sees
// nothing, hand the thread back to its event loop; the answer is still taken
// there.
void ViewKitTest::quickWaitGivesTheEventLoopItsTurn() {
    for (const bool changes : {true, false}) {
        bool answered = false;
        int waits = 0;
        RecordFetch fetch;
        fetch.setQuickWait([&waits, changes] {
            ++waits;
            return changes;
        });
        fetch.setSteps({{QStringLiteral("options"), [] { return true; },
                         [&answered] {
                             return std::exchange(answered, false);
                         }}});
        QSignalSpy ready(&fetch, &RecordFetch::ready);
        fetch.start();
        fetch.checkNow();
        QVERIFY(fetch.running());
        QVERIFY(waits >= 1);
        if (!changes) {
            QCOMPARE(waits, 1);
        }
        answered = true;
        QVERIFY(ready.wait(5000));
    }
}

void ViewKitTest::wakerTellsLinkChangesOnItsOwnThread() {
    link::ServerLink& serverLink = fixture_->link();
    auto waker = std::make_unique<LinkWaker>(serverLink);
    QSignalSpy changed(waker.get(), &LinkWaker::changed);
    QThread* toldOn = nullptr;
    connect(waker.get(), &LinkWaker::changed, this,
            [&toldOn] { toldOn = QThread::currentThread(); });
    std::thread([&serverLink] { serverLink.NotifyChange(); }).join();
    QVERIFY(changed.wait(5000));
    QCOMPARE(toldOn, QThread::currentThread());
    // Changes that come while one is pending are told by that one.
    std::thread([&serverLink] {
        for (int i = 0; i < 1000; ++i) {
            serverLink.NotifyChange();
        }
    }).join();
    QVERIFY(changed.wait(5000));
    QVERIFY(changed.size() < 10);
    // Two wakers are both told; one gone is no longer signalled.
    auto second = std::make_unique<LinkWaker>(serverLink);
    QSignalSpy secondChanged(second.get(), &LinkWaker::changed);
    waker.reset();
    std::thread([&serverLink] { serverLink.NotifyChange(); }).join();
    QVERIFY(secondChanged.wait(5000));
    second.reset();
    serverLink.NotifyChange();
}

void ViewKitTest::fetchIgnoresAnAnswerLeftFromBefore() {
    // The flag is already up when the fetch starts: an answer to somebody
    // else's request, which must not count as this one's.
    bool flag = true;
    bool answered = false;
    RecordFetch fetch;
    fetch.setSteps({{QStringLiteral("selector assignments"), [] { return true; },
                     [&flag, &answered] {
                         const bool was = flag || answered;
                         flag = false;
                         answered = false;
                         return was;
                     }}});
    QSignalSpy ready(&fetch, &RecordFetch::ready);
    fetch.start();
    QTest::qWait(5 * RecordFetch::kPollMs);
    QVERIFY(ready.isEmpty());
    answered = true;
    QVERIFY(ready.wait(5000));
}

void ViewKitTest::headerClickSortsAndSecondClickReverses() {
    RowsModel model;
    QAbstractItemModelTester tester(&model);
    RecordListView list(&model);
    model.setRows(sampleRows());
    list.show();
    QCOMPARE(list.shownKeys(), (QList<qint64>{11, 12, 13, 14}));

    QHeaderView* header = list.table()->horizontalHeader();
    auto clickHeader = [header](int section) {
        const QPoint centre(header->sectionViewportPosition(section) +
                                header->sectionSize(section) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    };
    // Names case-blind; "alpha" and "Alpha" fall back to the number.
    clickHeader(0);
    QCOMPARE(list.shownKeys(), (QList<qint64>{13, 12, 11, 14}));
    clickHeader(0);
    QCOMPARE(list.shownKeys(), (QList<qint64>{14, 11, 12, 13}));
    clickHeader(1);
    QCOMPARE(list.shownKeys(), (QList<qint64>{13, 12, 11, 14}));
}

void ViewKitTest::selectionFollowsTheKeyAcrossRefillsAndSorts() {
    RowsModel model;
    RecordListView list(&model);
    model.setRows(sampleRows());
    list.show();
    QVERIFY(list.selectKey(12));
    QSignalSpy changed(&list, &RecordListView::selectionChanged);

    list.table()->sortByColumn(1, Qt::DescendingOrder);
    QCOMPARE(list.selectedKey(), qint64{12});

    // A refill that moves the row and renames another keeps the selection.
    std::vector<Row> refilled = sampleRows();
    std::swap(refilled[0], refilled[3]);
    refilled[2].name = QStringLiteral("omega");
    model.setRows(refilled);
    QCOMPARE(list.selectedKey(), qint64{12});

    // A refill without the row leaves nothing selected.
    refilled.erase(refilled.begin() + 1);
    model.setRows(refilled);
    QCOMPARE(list.selectedKey(), RecordListModel::kNoKey);
    QVERIFY(!changed.isEmpty());
}

void ViewKitTest::filterNarrowsRowsByEveryWordCaseBlind() {
    struct Case {
        const char* typed;
        QList<qint64> shown;
    };
    const Case cases[] = {
        {"", {11, 12, 13, 14}}, {"ALPHA", {12, 13}}, {"gamma STAGE", {14}},
        {"stage beta", {}},     {"  beta  ", {11}},  {"4", {14}},
    };
    RowsModel model;
    RecordListView list(&model);
    model.setRows(sampleRows());
    for (const Case& c : cases) {
        QTest::keyClick(list.filterBox(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(list.filterBox(), Qt::Key_Delete);
        QTest::keyClicks(list.filterBox(), QString::fromLatin1(c.typed));
        QVERIFY2(list.shownKeys() == c.shown, c.typed);
    }
    // The selection survives narrowing that keeps its row.
    list.filterBox()->clear();
    QVERIFY(list.selectKey(13));
    list.filterBox()->setText(QStringLiteral("alpha"));
    QCOMPARE(list.selectedKey(), qint64{13});
}

void ViewKitTest::enterAndDoubleClickActivateTheSelectedRow() {
    RowsModel model;
    RecordListView list(&model);
    model.setRows(sampleRows());
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy activated(&list, &RecordListView::activated);
    QVERIFY(list.selectKey(14));
    list.table()->setFocus();
    QTest::keyClick(list.table(), Qt::Key_Return);
    QCOMPARE(activated.size(), 1);
    QCOMPARE(activated.first().first().toLongLong(), qint64{14});

    const QRect cell = list.table()->visualRect(list.proxy()->index(1, 0));
    // The view takes a double click only on the row its press selected.
    QTest::mouseClick(list.table()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list.table()->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(activated.size(), 2);
    QCOMPARE(activated.last().first().toLongLong(), qint64{12});
}

} // namespace mirx::shell

QTEST_MAIN(mirx::shell::ViewKitTest)
#include "view_kit_test.moc"
