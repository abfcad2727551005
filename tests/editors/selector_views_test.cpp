// The selector assignments view and the hot key view through the real link
// against the simulator, on the offscreen platform: the record the
// simulator received after each edit, byte for byte.
#include "editors/clients/client_list_dialog.h"
#include "editors/editor_views.h"
#include "editors/selectors/hot_key_dialog.h"
#include "editors/selectors/selector_assignments_dialog.h"
#include "model/client_list_buttons.h"
#include "model/hot_keys.h"
#include "model/system_settings.h"
#include "shell/common/record_list.h"
#include "shell/main/view_registry.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/scripted_server.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using mirx::editors::AssignedListModel;
using mirx::editors::CClientConfigurationSelectorAssignmentsDlg;
using mirx::editors::CHotKeySelectionDlg;
using mirx::model::HotKeyChoice;
using mirx::model::SelectorButton;
using A = mirx::model::SelectorAssignments;
using E = mirx::model::SelectorEntry;
using B = SelectorButton;
using View = CClientConfigurationSelectorAssignmentsDlg;

namespace {

// Demo site clients: label number 10000 + index.
constexpr int kDirector = 0;     // control panel, type 10
constexpr int kAsstDirector = 2; // control panel, type 10
constexpr int kAudioA1 = 4;      // type 20: the split screen
constexpr int kPhoneLine1 = 23;  // device interface, no panel
constexpr int kGraphics2 = 34;   // follows the Graphics template
constexpr int kRadioLink = 40;   // device interface, no panel
constexpr int kClientBase = 10000;
constexpr int kSecurityPartyLine = 10108;
constexpr int kDeletedLabel = 10999;
constexpr std::uint8_t kF5 = 0x74;

// The simulator's site as of its last change, copied on its own thread.
struct SiteWatch {
    std::mutex lock;
    mirx::site::Site site;
    int changes = 0;
};

std::vector<E> entriesOf(const A& record) {
    std::vector<E> out;
    for (std::size_t k = 0; k < record.entryCount(); ++k) {
        out.push_back(record.entry(k));
    }
    return out;
}

A withEntries(A record, const std::vector<E>& entries) {
    record.assignEntries(entries);
    return record;
}

E newEntry(int label, std::uint8_t code, std::uint8_t flags = 0) {
    E e;
    e.set(E::kLabel, static_cast<std::int16_t>(label));
    e.set(E::kCode, code);
    e.set(E::kFlags, flags);
    return e;
}

// Bytes no control edits, set on every entry and in the head, so a view
// that rebuilds instead of carrying them is caught.
A carrying(A record) {
    record.data()[1] = 0x5A;
    record.set(A::kOptionBits, std::uint8_t{0xA8});
    for (std::size_t k = 0; k < 17; ++k) {
        record.data()[5 + k] = static_cast<std::uint8_t>(0x30 + k);
    }
    for (std::size_t k = 0; k < record.entryCount(); ++k) {
        E e = record.entry(k);
        e.set(E::kFlags, static_cast<std::uint8_t>(e.get(E::kFlags) | 0xC0));
        e.set(E::kHotKeyModifiers, static_cast<std::uint8_t>(e.get(E::kHotKeyModifiers) | 0x68));
        e.set(E::kByte6, std::uint8_t{0xB3});
        e.data()[7] = 0x11;
        e.data()[8] = static_cast<std::uint8_t>(k);
        e.data()[9] = 0xEE;
        record.setEntry(k, e);
    }
    return record;
}

QString cell(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

} // namespace

class SelectorViewsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<mirx::test::ShellFixture> fixture_;
    std::shared_ptr<SiteWatch> watch_;
    std::size_t framesBefore_ = 0;

    mirx::site::Site& site() { return fixture_->site; }

    void serve() {
        watch_ = std::make_shared<SiteWatch>();
        watch_->site = fixture_->site;
        mirx::sim::ProtocolOptions options;
        options.onSiteChanged = [watch = watch_](const mirx::site::Site& changed) {
            std::lock_guard lock(watch->lock);
            watch->site = changed;
            ++watch->changes;
        };
        fixture_->startServer({}, 0, options);
        QVERIFY(fixture_->logIn());
        framesBefore_ = fixture_->served.frameLog().size();
    }

    int changes() {
        std::lock_guard lock(watch_->lock);
        return watch_->changes;
    }

    mirx::site::Site snapshot() {
        std::lock_guard lock(watch_->lock);
        return watch_->site;
    }

    // The selector messages the simulator received since the login.
    QStringList sent() const {
        return mirx::test::receivedMessages(fixture_->served, framesBefore_,
                                            {"ADMIN_SELECTOR_ASSIGNMENTS_REQUEST",
                                             "CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS",
                                             "CONFIGURATION_DATA_DEFAULT_SELECTOR_ASSIGNMENTS"},
                                            false);
    }

    std::unique_ptr<View> openView(int client) {
        auto view = std::make_unique<View>(fixture_->context(), client);
        view->show();
        view->activateWindow();
        [&] {
            QVERIFY(QTest::qWaitForWindowActive(view.get()));
            QTRY_VERIFY(view->loaded());
        }();
        return view;
    }

    // OK, then the record the simulator stored from what it received.
    A saveAndReceive(View& view, int client) {
        const int before = changes();
        view.okButton()->click();
        [&] {
            QVERIFY(view.closed());
            QTRY_VERIFY_WITH_TIMEOUT(changes() > before, 10000);
        }();
        const mirx::site::Site now = snapshot();
        return client < 0 ? now.defaultSelectors : now.selectors.at(client);
    }

    static void selectAssigned(View& view, int row) {
        view.assignedTable()->selectRow(row);
        QCOMPARE(view.editor().selectedRow(), row);
    }

    static void selectAvailable(View& view, int label) {
        QVERIFY(view.available()->selectKey(label));
    }

    static void press(View& view, B which) {
        QVERIFY2(view.button(which)->isEnabled(), "button disabled");
        view.button(which)->click();
    }

    static void chooseHotKey(View& view, const HotKeyChoice& choice) {
        press(view, B::HotKey);
        CHotKeySelectionDlg* keys = view.hotKeyView();
        QVERIFY(keys != nullptr);
        keys->keyBox()->setCurrentIndex(keys->keyBox()->findData(int{choice.code}));
        keys->altBox()->setChecked(choice.alt);
        keys->ctrlBox()->setChecked(choice.ctrl);
        keys->shiftBox()->setChecked(choice.shift);
        keys->accept();
    }

    static QMimeData* dragOut(QAbstractItemModel& model, int row) {
        return model.mimeData({model.index(row, 0)});
    }

    static int availableRowOf(View& view, int label) {
        const auto& rows = view.availableModel()->rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].labelNumber == label) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

private slots:
    void init() {
        fixture_ = std::make_unique<mirx::test::ShellFixture>();
        for (const int client : {kDirector, kAudioA1, kPhoneLine1}) {
            site().selectors[client] = carrying(site().selectors[client]);
        }
        site().selectors[kPhoneLine1].set(A::kActivationDetail, std::int16_t{7});
        // A method the drop-down does not list.
        site().selectors[kRadioLink].set(A::kActivationMethod, std::uint8_t{9});
    }

    void cleanup() {
        fixture_->link().StopLink();
        fixture_.reset();
        watch_.reset();
    }

    void editsReachTheSimulatorByteForByte_data() {
        using Edit = std::function<void(View&)>;
        using Expect = std::function<A(const A&)>;
        QTest::addColumn<int>("client");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<Expect>("expect");

        const auto entries = [](const A& r) {
            return entriesOf(r);
        };
        QTest::newRow("nothing changed")
            << kDirector << Edit([](View&) {}) << Expect([](const A& r) { return r; });
        QTest::newRow("talk only before the selected row") << kDirector << Edit([](View& v) {
            selectAvailable(v, kSecurityPartyLine);
            selectAssigned(v, 1);
            press(v, B::TalkOnly);
        }) << Expect([=](const A& r) {
            auto e = entries(r);
            e.insert(e.begin() + 1, newEntry(kSecurityPartyLine, E::kTalkOnly));
            return withEntries(r, e);
        });
        QTest::newRow("split talk/listen at the end, non-latchable by default")
            << kDirector << Edit([](View& v) {
                   v.defaultNonLatchable()->setChecked(true);
                   selectAvailable(v, kSecurityPartyLine);
                   press(v, B::SplitTalkListen);
               })
            << Expect([=](const A& r) {
                   auto e = entries(r);
                   e.push_back(newEntry(kSecurityPartyLine, E::kSplitTalkListen, 0x01));
                   A out = withEntries(r, e);
                   out.setBit(A::kOptionBits, A::kDefaultNonLatchableBit, true);
                   return out;
               });
        QTest::newRow("dropped on a row: as the add button") << kDirector << Edit([](View& v) {
            auto* model = v.available()->table()->model();
            // The drag starts on the row it picks up.
            selectAvailable(v, kSecurityPartyLine);
            std::unique_ptr<QMimeData> dragged(
                dragOut(*v.availableModel(), availableRowOf(v, kSecurityPartyLine)));
            QVERIFY(dragged != nullptr);
            Q_UNUSED(model)
            auto* assigned = v.assignedTable()->model();
            QVERIFY(assigned->canDropMimeData(dragged.get(), Qt::CopyAction, -1, -1,
                                              assigned->index(2, 0)));
            assigned->dropMimeData(dragged.get(), Qt::CopyAction, -1, -1, assigned->index(2, 0));
            QTRY_COMPARE(v.editor().rows().size(), std::size_t{18});
        }) << Expect([=](const A& r) {
            auto e = entries(r);
            e.insert(e.begin() + 2, newEntry(kSecurityPartyLine, E::kSplitTalkListen));
            return withEntries(r, e);
        });
        QTest::newRow("remove") << kDirector << Edit([](View& v) {
            selectAssigned(v, 0);
            press(v, B::Remove);
            // The row that took its place is selected.
            QCOMPARE(v.editor().selectedRow(), 0);
        }) << Expect([=](const A& r) {
            auto e = entries(r);
            e.erase(e.begin());
            return withEntries(r, e);
        });
        QTest::newRow("clear") << kDirector << Edit([](View& v) { press(v, B::Clear); })
                               << Expect([](const A& r) { return withEntries(r, {}); });
        QTest::newRow("Ctrl+Down moves a row") << kDirector << Edit([](View& v) {
            selectAssigned(v, 0);
            QTest::keyClick(v.assignedTable(), Qt::Key_Down, Qt::ControlModifier);
            QCOMPARE(v.editor().selectedRow(), 1);
        }) << Expect([=](const A& r) {
            auto e = entries(r);
            std::swap(e[0], e[1]);
            return withEntries(r, e);
        });
        QTest::newRow("a row dragged further down") << kDirector << Edit([](View& v) {
            auto* assigned = v.assignedTable()->model();
            std::unique_ptr<QMimeData> dragged(dragOut(*assigned, 0));
            // Dropped between rows 3 and 4.
            assigned->dropMimeData(dragged.get(), Qt::CopyAction, 4, 0, {});
            QTRY_COMPARE(v.editor().selectedRow(), 3);
        }) << Expect([=](const A& r) {
            auto e = entries(r);
            std::rotate(e.begin(), e.begin() + 1, e.begin() + 4);
            return withEntries(r, e);
        });
        QTest::newRow("latchable and IFB toggled") << kDirector << Edit([](View& v) {
            selectAssigned(v, 1);
            press(v, B::Latchable);
            press(v, B::Ifb);
            press(v, B::SpeakerDim);
            press(v, B::SpeakerDim);
        }) << Expect([=](const A& r) {
            auto e = entries(r);
            e[1].setBit(E::kFlags, E::kNotLatchableBit, false);
            e[1].setBit(E::kFlags, E::kIfbBit, true);
            return withEntries(r, e);
        });
        QTest::newRow("always on cycled twice") << kDirector << Edit([](View& v) {
            selectAssigned(v, 2);
            press(v, B::AlwaysOn);
            press(v, B::AlwaysOn);
        }) << Expect([=](const A& r) {
            auto e = entries(r);
            e[2].setBit(E::kFlags, E::kAlwaysOnInvisibleBit, true);
            return withEntries(r, e);
        });
        QTest::newRow("hot key chosen") << kDirector << Edit([](View& v) {
            selectAssigned(v, 2);
            chooseHotKey(v, {kF5, false, false, true});
            QTRY_COMPARE(cell(*v.assignedTable()->model(), 2,
                              static_cast<int>(mirx::model::AssignedColumn::HotKey)),
                         QString("Shift+F5"));
        }) << Expect([=](const A& r) {
            auto e = entries(r);
            e[2].set(E::kHotKey, kF5);
            e[2].setBit(E::kHotKeyModifiers, E::kShiftBit, true);
            return withEntries(r, e);
        });
        QTest::newRow("hot key cleared") << kDirector << Edit([](View& v) {
            selectAssigned(v, 0);
            press(v, B::HotKey);
            CHotKeySelectionDlg* keys = v.hotKeyView();
            QVERIFY(keys != nullptr);
            QCOMPARE(keys->keyBox()->currentText(), QString("F1"));
            QVERIFY(keys->ctrlBox()->isChecked());
            keys->clearButton()->click();
            keys->accept();
            QTRY_VERIFY(v.hotKeyView() == nullptr);
        }) << Expect([=](const A& r) {
            auto e = entries(r);
            e[0].set(E::kHotKey, std::uint8_t{0});
            e[0].setBit(E::kHotKeyModifiers, E::kCtrlBit, false);
            return withEntries(r, e);
        });
        QTest::newRow("hot key view cancelled") << kDirector << Edit([](View& v) {
            selectAssigned(v, 0);
            press(v, B::HotKey);
            v.hotKeyView()->clearButton()->click();
            v.hotKeyView()->reject();
        }) << Expect([](const A& r) { return r; });
        QTest::newRow("selectors per row") << kDirector << Edit([](View& v) {
            QCOMPARE(v.selectorsPerRow()->text(), QString("8"));
            QVERIFY(!v.activationMethod()->isVisibleTo(&v));
            v.selectorsPerRow()->setText("12");
        }) << Expect([](const A& r) {
            A out = r;
            out.set(A::kSelectorsPerRow, std::int16_t{12});
            return out;
        });
        QTest::newRow("split screen marker") << kAudioA1 << Edit([](View& v) {
            QVERIFY(v.button(B::SplitScreen)->isVisibleTo(&v));
            selectAssigned(v, 3);
            press(v, B::SplitScreen);
            QCOMPARE(cell(*v.assignedTable()->model(), 3, 1), QString("SPLIT SCREEN"));
        }) << Expect([](const A& r) {
            A out = r;
            out.set(A::kSplitScreenPosition, std::int16_t{3});
            return out;
        });
        QTest::newRow("activation method") << kPhoneLine1 << Edit([](View& v) {
            QVERIFY(v.activationMethod()->isVisibleTo(&v));
            QVERIFY(!v.selectorsPerRow()->isVisibleTo(&v));
            QCOMPARE(v.activationMethod()->currentText(), QString("On DTMF Tone Detection"));
            v.activationMethod()->setCurrentIndex(2);
        }) << Expect([](const A& r) {
            A out = r;
            out.set(A::kActivationMethod, std::uint8_t{2});
            out.set(A::kActivationDetail, std::int16_t{-1});
            return out;
        });
        QTest::newRow("unknown activation method kept") << kRadioLink << Edit([](View& v) {
            QCOMPARE(v.activationMethod()->currentIndex(), -1);
        }) << Expect([](const A& r) {
            A out = r;
            out.set(A::kActivationDetail, std::int16_t{-1});
            return out;
        });
    }

    void editsReachTheSimulatorByteForByte() {
        using Edit = std::function<void(View&)>;
        using Expect = std::function<A(const A&)>;
        QFETCH(int, client);
        QFETCH(Edit, edit);
        QFETCH(Expect, expect);
        const A original = site().selectors.at(client);
        serve();
        auto view = openView(client);
        QVERIFY(view != nullptr);
        edit(*view);
        if (QTest::currentTestFailed()) {
            return;
        }
        const A received = saveAndReceive(*view, client);
        const A expected = expect(original);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(received.wire().data()),
                            static_cast<qsizetype>(received.wire().size()))
                     .toHex(' '),
                 QByteArray(reinterpret_cast<const char*>(expected.wire().data()),
                            static_cast<qsizetype>(expected.wire().size()))
                     .toHex(' '));
        QCOMPARE(sent(),
                 (QStringList{
                     "ADMIN_SELECTOR_ASSIGNMENTS_REQUEST second=65535",
                     QString("ADMIN_SELECTOR_ASSIGNMENTS_REQUEST second=%1").arg(client),
                     QString("CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS second=%1").arg(client)}));
    }

    void theClientListOpensItAndTheListsShowTheRecord() {
        serve();
        mirx::editors::CClientConfigurationDlg list(fixture_->context());
        list.show();
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        // The director works party lines only: no selector assignments.
        QVERIFY(list.list()->selectKey(kDirector));
        QVERIFY(!list.button(mirx::model::ClientListButton::SelectorAssignments)->isEnabled());
        QVERIFY(list.list()->selectKey(kAsstDirector));
        list.button(mirx::model::ClientListButton::SelectorAssignments)->click();
        View* view = nullptr;
        QTRY_VERIFY(list.openChild() != nullptr);
        view = qobject_cast<View*>(list.openChild());
        QVERIFY2(view != nullptr, list.openChild()->metaObject()->className());
        QTRY_VERIFY(view->loaded());
        QVERIFY2(mirx::test::windowFitProblem(*view).isEmpty(),
                 qPrintable(mirx::test::windowFitProblem(*view)));
        QVERIFY(view->selectedClient()->text().contains("Assistant director"));
        // Every control is named for screen readers; buttons have a mnemonic.
        for (QWidget* control : view->findChildren<QWidget*>()) {
            const bool named = qobject_cast<QAbstractButton*>(control) != nullptr ||
                               qobject_cast<QComboBox*>(control) != nullptr ||
                               qobject_cast<QLineEdit*>(control) != nullptr ||
                               qobject_cast<QTableView*>(control) != nullptr;
            if (named && control->isVisibleTo(view)) {
                QVERIFY2(!control->accessibleName().isEmpty(), control->metaObject()->className());
            }
        }
        // OK and Cancel answer Enter and Escape.
        for (QPushButton* button : view->findChildren<QPushButton*>()) {
            if (button->isVisibleTo(view) && button != view->okButton() &&
                qobject_cast<QDialogButtonBox*>(button->parent()) == nullptr) {
                QVERIFY2(button->text().contains('&'), qPrintable(button->text()));
            }
        }
        // The client itself is not offered.
        QCOMPARE(availableRowOf(*view, kClientBase + kAsstDirector), -1);
        QVERIFY(availableRowOf(*view, kClientBase + kDirector) >= 0);
        const QAbstractItemModel& assigned = *view->assignedTable()->model();
        QCOMPARE(assigned.rowCount(), 7);
        QCOMPARE(cell(assigned, 0, 1), QString("Split Talk/Listen"));
        QCOMPARE(cell(assigned, 1, 1), QString("Listen Only"));
        QCOMPARE(cell(assigned, 1, 3), QString("-"));
        QCOMPARE(cell(assigned, 3, 1), QString("ROW BREAK"));
        QCOMPARE(cell(assigned, 4, 0), QString("Director"));
        // No entry shows a hot key yet: the column is hidden.
        QVERIFY(view->assignedTable()->isColumnHidden(6));
        QVERIFY(!view->button(B::SplitScreen)->isVisibleTo(view));

        // The filter narrows the available list; the selection follows the key.
        auto* shown = view->available()->table()->model();
        const int all = shown->rowCount();
        view->available()->filterBox()->setText("security");
        QVERIFY(shown->rowCount() > 0 && shown->rowCount() < all);
        view->available()->filterBox()->clear();

        // After an add the available selection moves down one row.
        const QList<qint64> keys = view->available()->shownKeys();
        QVERIFY(view->available()->selectKey(keys[3]));
        press(*view, B::ListenOnly);
        QCOMPARE(view->available()->selectedKey(), keys[4]);
        // Enter on a label adds it as the first add button it allows.
        QTest::keyClick(view->available()->table(), Qt::Key_Return);
        QCOMPARE(assigned.rowCount(), 9);
        QCOMPARE(cell(assigned, 8, 1), QString("Split Talk/Listen"));
        QCOMPARE(view->available()->selectedKey(), keys[5]);

        // A click on the selected row clears the selection.
        const QRect rect = view->assignedTable()->visualRect(assigned.index(1, 0));
        QTest::mouseClick(view->assignedTable()->viewport(), Qt::LeftButton, {}, rect.center());
        QTRY_COMPARE(view->editor().selectedRow(), 1);
        QVERIFY(view->button(B::Remove)->isEnabled());
        QTest::mouseClick(view->assignedTable()->viewport(), Qt::LeftButton, {}, rect.center());
        QTRY_COMPARE(view->editor().selectedRow(), -1);
        QVERIFY(!view->button(B::Remove)->isEnabled());
        QVERIFY(view->assignedTable()->selectionModel()->selectedRows().isEmpty());

        view->reject();
        QCOMPARE(sent().size(), 2);
    }

    void theDefaultsAskWhetherToApplyThem_data() {
        QTest::addColumn<bool>("apply");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }

    void theDefaultsAskWhetherToApplyThem() {
        QFETCH(bool, apply);
        const A original = site().defaultSelectors;
        serve();
        // Reached from the client list, with no row selected.
        mirx::editors::CClientConfigurationDlg list(fixture_->context());
        list.show();
        list.defaultsButton(mirx::model::TemplateKind::SelectorAssignments)->click();
        View* view = nullptr;
        QTRY_VERIFY((view = qobject_cast<View*>(list.openChild())) != nullptr);
        QTRY_VERIFY(view->loaded());
        QCOMPARE(view->selectedClient()->text(), QString("DEFAULT SETTINGS FOR ALL CLIENTS"));
        // Every client may be assigned in the defaults.
        QVERIFY(availableRowOf(*view, kClientBase + kDirector) >= 0);
        QVERIFY(!view->button(B::Duplicate)->isEnabled());
        selectAssigned(*view, 0);
        press(*view, B::Row);
        fixture_->prompter.answers.push_back(apply);
        const A received = saveAndReceive(*view, -1);
        QCOMPARE(fixture_->prompter.asked.size(), std::size_t{1});
        QCOMPARE(fixture_->prompter.asked.front().text,
                 QString("Should the new default settings be applied to all Clients set to the "
                         "prior default settings?"));
        auto entries = entriesOf(original);
        E row;
        row.set(E::kLabel, E::kLayoutEntry);
        row.set(E::kCode, E::kRowBreak);
        entries.insert(entries.begin(), row);
        QVERIFY(received.sameWire(withEntries(original, entries)));
        QCOMPARE(sent(),
                 (QStringList{"ADMIN_SELECTOR_ASSIGNMENTS_REQUEST second=65535",
                              QString("CONFIGURATION_DATA_DEFAULT_SELECTOR_ASSIGNMENTS second=%1")
                                  .arg(apply ? 1 : 0)}));
    }

    void entriesOfDeletedLabelsShowNoLabelAndAreKept() {
        A record = site().selectors.at(kDirector);
        auto entries = entriesOf(record);
        entries.insert(entries.begin() + 1, newEntry(kDeletedLabel, E::kTalkOnly));
        site().selectors[kDirector] = withEntries(record, entries);
        const A original = site().selectors.at(kDirector);
        serve();
        auto view = openView(kDirector);
        QCOMPARE(cell(*view->assignedTable()->model(), 1, 0), QString("NO LABEL"));
        // Still an entry that may be edited like any other.
        selectAssigned(*view, 1);
        QVERIFY(view->button(B::Latchable)->isEnabled());
        const A received = saveAndReceive(*view, kDirector);
        QVERIFY(received.sameWire(original));
    }

    void theClientItselfIsOfferedOnlyWhereAllowed_data() {
        QTest::addColumn<int>("client");
        QTest::addColumn<bool>("setting");
        QTest::addColumn<bool>("offered");
        QTest::newRow("plain client") << kAsstDirector << false << false;
        QTest::newRow("the system setting") << kAsstDirector << true << true;
        QTest::newRow("a template follower") << kGraphics2 << false << true;
    }

    void theClientItselfIsOfferedOnlyWhereAllowed() {
        QFETCH(int, client);
        QFETCH(bool, setting);
        QFETCH(bool, offered);
        using S = mirx::model::SystemSettings;
        site().systemSettings.setBit(S::kOptionBits, S::kOptionSelectorForSelf, setting);
        serve();
        auto view = openView(client);
        QCOMPARE(availableRowOf(*view, kClientBase + client) >= 0, offered);
    }

    // A selector report gathering meanwhile: another client's answer lands
    // right behind this client's, in the one client record the console
    // holds, before the view has looked. The view asks again and shows its
    // own client's list, never the other's.
    void anotherClientsAnswerDoesNotPassForTheEditedClients() {
        const A own = site().selectors.at(kDirector);
        const A other = site().selectors.at(kAsstDirector);
        const auto labelsOf = [](const std::vector<E>& entries) {
            std::vector<int> labels;
            for (const E& e : entries) {
                labels.push_back(e.get(E::kLabel));
            }
            return labels;
        };
        QVERIFY(labelsOf(entriesOf(own)) != labelsOf(entriesOf(other)));
        const auto frame = [](std::uint16_t second, const A& record) {
            const auto wire = record.wire();
            return mirx::test::ScriptedFrame{mirx::msg::CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS,
                                             second,
                                             {wire.begin(), wire.end()}};
        };
        mirx::test::Script script;
        script.answersQueued[mirx::msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST] = {
            {frame(0xFFFF, site().defaultSelectors)},
            {frame(kDirector, own), frame(kAsstDirector, other)}};
        mirx::test::ScriptedServer server(site(), std::move(script));
        QVERIFY(server.start());
        fixture_->store.set(mirx::link::kDataIpPort.name, std::uint32_t{server.port()});
        QVERIFY(fixture_->logIn());

        auto view = openView(kDirector);
        std::vector<E> shown;
        for (const auto& row : view->editor().rows()) {
            if (!row.splitMarker) {
                shown.push_back(row.entry);
            }
        }
        QCOMPARE(labelsOf(shown), labelsOf(entriesOf(own)));
        const auto ids = server.received();
        QCOMPARE(std::count(ids.begin(), ids.end(), mirx::msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST),
                 3);
        fixture_->link().StopLink();
    }

    void duplicateTakesAnotherPanelsList() {
        const A source = site().selectors.at(kAsstDirector);
        serve();
        auto view = openView(kDirector);
        selectAvailable(*view, kClientBase + kAsstDirector);
        press(*view, B::Duplicate);
        // The source's selector for the edited client itself is left out.
        auto entries = entriesOf(source);
        std::erase_if(entries,
                      [](const E& e) { return e.get(E::kLabel) == kClientBase + kDirector; });
        QCOMPARE(entries.size(), source.entryCount() - 1);
        QVERIFY(!view->okButton()->isEnabled());
        QTRY_COMPARE(view->editor().rows().size(), entries.size());
        QVERIFY(view->okButton()->isEnabled());
        QVERIFY(view->button(B::Clear)->isEnabled());
        const A received = saveAndReceive(*view, kDirector);
        // The list and head come from the source; the head controls as shown.
        A expected = withEntries(source, entries);
        expected.set(A::kSelectorsPerRow, std::int16_t{8});
        expected.setBit(A::kOptionBits, A::kDefaultNonLatchableBit, false);
        QVERIFY(received.sameWire(expected));
        QCOMPARE(sent().mid(2),
                 (QStringList{
                     QString("ADMIN_SELECTOR_ASSIGNMENTS_REQUEST second=%1").arg(kAsstDirector),
                     QString("CONFIGURATION_DATA_SELECTOR_ASSIGNMENTS second=%1").arg(kDirector)}));
    }

    void aLostLoginClosesBothViewsAndSendsNothing() {
        serve();
        auto view = openView(kDirector);
        view->resize(900, 520);
        selectAssigned(*view, 0);
        press(*view, B::Remove);
        press(*view, B::HotKey);
        QPointer<CHotKeySelectionDlg> keys = view->hotKeyView();
        QVERIFY(!keys.isNull());
        fixture_->stopServer();
        QTRY_VERIFY(view->closed());
        QTRY_VERIFY(keys.isNull() || keys->closed());
        QCOMPARE(sent().size(), 2);
        QVERIFY(fixture_->store.get("SelectorAssignmentsWindowPositionLeft").has_value());
    }

    void theHotKeyViewShowsAndReturnsTheKey_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("alt");
        QTest::addColumn<bool>("clear");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("returned");
        QTest::newRow("A with Alt") << 0x41 << true << false << "A" << 0x41;
        QTest::newRow("#Separator") << 0x6C << false << false << "#Separator" << 0x6C;
        QTest::newRow("no key") << 0 << false << false << "" << 0;
        // Not in the table: nothing selected, and OK keeps the code.
        QTest::newRow("unlisted code kept") << 0x90 << true << false << "" << 0x90;
        QTest::newRow("cleared") << 0x70 << true << true << "F1" << 0;
    }

    void theHotKeyViewShowsAndReturnsTheKey() {
        QFETCH(int, code);
        QFETCH(bool, alt);
        QFETCH(bool, clear);
        QFETCH(QString, shown);
        QFETCH(int, returned);
        serve();
        CHotKeySelectionDlg keys(fixture_->context(),
                                 {static_cast<std::uint8_t>(code), alt, false, true});
        keys.show();
        QCOMPARE(keys.windowTitle(), QString("MIRX Selector Hot Key"));
        QCOMPARE(keys.keyBox()->count(), static_cast<int>(mirx::model::hotKeys().size()));
        QCOMPARE(keys.keyBox()->itemText(0), QString("Space"));
        QCOMPARE(keys.keyBox()->itemData(0).toInt(), 0x20);
        QCOMPARE(keys.keyBox()->currentText(), shown);
        QCOMPARE(keys.altBox()->isChecked(), alt);
        QVERIFY(keys.shiftBox()->isChecked());
        if (clear) {
            keys.clearButton()->click();
            QCOMPARE(keys.keyBox()->currentIndex(), -1);
        }
        const HotKeyChoice expected{static_cast<std::uint8_t>(returned), alt && !clear, false,
                                    !clear};
        QCOMPARE(keys.choice(), expected);
        // Every control is named for screen readers.
        for (QWidget* control : keys.findChildren<QWidget*>()) {
            if (qobject_cast<QAbstractButton*>(control) || qobject_cast<QComboBox*>(control)) {
                QVERIFY2(!control->accessibleName().isEmpty(),
                         qPrintable(control->metaObject()->className()));
            }
        }
    }
};

QTEST_MAIN(SelectorViewsTest)
#include "selector_views_test.moc"
