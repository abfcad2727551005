// The connection settings view: what it shows from the store, the local
// address it settles on, each field stored as it is left (or when the view
// closes from inside it), the resolution and closing warnings.
#include "core/local_addresses.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/mirror.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"
#include "shell/login/configuration_dialog.h"
#include "tests/support/log_capture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace mirx::shell {
namespace {

// Keeps every text it is given as "caption|text|icon"; questions are not
// expected here.
class RecordingPrompter final : public Prompter {
public:
    QStringList told;

    bool ask(QWidget*, const QString& caption, const QString& text) override {
        told << caption + QLatin1Char('|') + text + QStringLiteral("|question");
        return false;
    }
    void tell(QWidget*, const QString& caption, const QString& text, PromptIcon icon) override {
        static const char* const kIcons[] = {"information", "warning", "error", "question"};
        told << caption + QLatin1Char('|') + text + QLatin1Char('|') +
                    QLatin1String(kIcons[static_cast<int>(icon)]);
    }
};

const QString kNoInterfaces =
    QStringLiteral("Talbrook Control Panel ERROR|No Network Interfaces were detected!|error");
const QString kNotResolved =
    QStringLiteral("Control Panel ERROR|Host Name could not be resolved!|warning");
const QString kNotAssigned =
    QStringLiteral("Device Interface ERROR|IP address not assigned!|warning");

std::uint32_t hostOrder(const QString& dotted) {
    std::uint32_t value = 0;
    for (const QString& part : dotted.split(QLatin1Char('.'))) {
        value = (value << 8) | part.toUInt();
    }
    return value;
}

QPushButton* applyButton(CConfigurationDlg& dialog) {
    return dialog.applyButton();
}

class ConfigurationDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void parsePortText_data();
    void parsePortText();
    void showsStoredSettings_data();
    void showsStoredSettings();
    void localAddressChoice_data();
    void localAddressChoice();
    void selectionChangeStoresLocalAddress();
    void leftFieldsAreStored_data();
    void leftFieldsAreStored();
    void closingFromAFieldKeepsWhatWasTyped_data();
    void closingFromAFieldKeepsWhatWasTyped();
    void closingChecksBothAddresses_data();
    void closingChecksBothAddresses();
    void domainCheckBoxStoresEachClick();
    void cancelPutsBackWhatTheViewFound();
    void controlsHaveMnemonicsAndNamedFields();

private:
    std::unique_ptr<CConfigurationDlg> openDialog(std::string profile = {}, Locks locks = {});
    // Shown and active, so focus moves as it would for a user.
    void showActive(CConfigurationDlg& dialog);
    // The stored value as the test compares it: text, number, or invalid.
    QVariant stored(std::string_view name) const;
    void setStored(std::string_view name, const QVariant& value);

    std::unique_ptr<test::LogCapture> log_;
    std::vector<std::uint32_t> interfaces_;
    std::unique_ptr<link::MemorySettingsStore> store_;
    std::unique_ptr<link::ServerLink> link_;
    std::unique_ptr<model::Mirror> mirror_;
    std::unique_ptr<RecordingPrompter> prompter_;
    std::unique_ptr<ShellContext> context_;
};

void ConfigurationDialogTest::init() {
    log_ = std::make_unique<test::LogCapture>();
    interfaces_ = {hostOrder(QStringLiteral("10.0.0.5")),
                   hostOrder(QStringLiteral("192.168.1.20"))};
    setAddressSourceForTesting([this] { return interfaces_; });
    store_ = std::make_unique<link::MemorySettingsStore>();
    link::LinkServices services;
    services.settings = store_.get();
    link_ = std::make_unique<link::ServerLink>(services);
    mirror_ = std::make_unique<model::Mirror>();
    prompter_ = std::make_unique<RecordingPrompter>();
}

void ConfigurationDialogTest::cleanup() {
    context_.reset();
    link_.reset();
    mirror_.reset();
    store_.reset();
    prompter_.reset();
    setAddressSourceForTesting({});
    log_.reset();
}

std::unique_ptr<CConfigurationDlg> ConfigurationDialogTest::openDialog(std::string profile,
                                                                       Locks locks) {
    context_.reset(new ShellContext{
        *store_, *link_, *mirror_, *prompter_, std::move(profile), false, locks, {}});
    return std::make_unique<CConfigurationDlg>(*context_);
}

void ConfigurationDialogTest::showActive(CConfigurationDlg& dialog) {
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

QVariant ConfigurationDialogTest::stored(std::string_view name) const {
    const auto value = store_->get(name);
    if (!value) {
        return {};
    }
    if (const auto* text = std::get_if<std::string>(&*value)) {
        return QString::fromStdString(*text);
    }
    if (const auto* number = std::get_if<std::uint32_t>(&*value)) {
        return QVariant::fromValue(*number);
    }
    return QStringLiteral("<other>");
}

void ConfigurationDialogTest::setStored(std::string_view name, const QVariant& value) {
    if (!value.isValid()) {
        store_->erase(name);
    } else if (value.typeId() == QMetaType::QString) {
        store_->set(name, value.toString().toStdString());
    } else {
        store_->set(name, std::uint32_t{value.toUInt()});
    }
}

void ConfigurationDialogTest::parsePortText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("decimal") << "1000" << 1000;
    QTest::newRow("hexadecimal") << "0x3E8" << 1000;
    QTest::newRow("upper-case X") << "0X3e8" << 1000;
    QTest::newRow("octal") << "01750" << 1000;
    QTest::newRow("above 16 bits, cut") << "70000" << 4464;
    QTest::newRow("not a number") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("leading blanks") << "  42" << 42;
    QTest::newRow("digits, then junk") << "12ab" << 12;
    QTest::newRow("octal stops at 8") << "018" << 1;
    QTest::newRow("0x without hex digits") << "0xg" << 0;
    QTest::newRow("minus negates") << "-1" << 65535;
    QTest::newRow("above 32 bits, all ones") << "99999999999" << 65535;
}

void ConfigurationDialogTest::parsePortText() {
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(int(shell::parsePortText(text)), port);
}

void ConfigurationDialogTest::showsStoredSettings_data() {
    QTest::addColumn<QString>("profile");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QVariant>("domain");
    QTest::addColumn<QString>("title");
    QTest::newRow("default profile, fields free")
        << "" << false << QVariant() << "MIRX System Administration Configuration";
    QTest::newRow("named profile, fields locked")
        << "Venue" << true << QVariant(1u) << "MIRX System Administration Configuration - Venue";
}

void ConfigurationDialogTest::showsStoredSettings() {
    QFETCH(QString, profile);
    QFETCH(bool, locked);
    QFETCH(QVariant, domain);
    QFETCH(QString, title);
    setStored(link::kServerIPAddress.name, QStringLiteral("ondrel.example"));
    setStored(link::kDataIpPort.name, 2001u);
    setStored(link::kUseDomainAuthentication.name, domain);

    const auto dialog = openDialog(profile.toStdString(), Locks{locked, false});
    QCOMPARE(dialog->windowTitle(), title);
    QCOMPARE(dialog->serverAddressEdit()->text(), QStringLiteral("ondrel.example"));
    QCOMPARE(dialog->serverAddressEdit()->maxLength(), 50);
    QCOMPARE(dialog->portEdit()->text(), QStringLiteral("2001"));
    QCOMPARE(dialog->portEdit()->maxLength(), 5);
    QCOMPARE(dialog->domainAuthenticationBox()->isChecked(), domain.isValid());
    QCOMPARE(dialog->serverAddressEdit()->isEnabled(), !locked);
    QCOMPARE(dialog->portEdit()->isEnabled(), !locked);
    QVERIFY(dialog->localAddressList()->isEnabled());
    QVERIFY(dialog->domainAuthenticationBox()->isEnabled());
    QVERIFY(prompter_->told.isEmpty());
}

void ConfigurationDialogTest::localAddressChoice_data() {
    QTest::addColumn<QStringList>("interfaces");
    QTest::addColumn<QVariant>("before");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QVariant>("after");

    const QStringList two{"10.0.0.5", "192.168.1.20"};
    QTest::newRow("stored address is local, listed in address order")
        << QStringList{"192.168.1.20", "10.0.0.5"} << QVariant("192.168.1.20") << two
        << "192.168.1.20" << QVariant("192.168.1.20");
    QTest::newRow("stored address not local: first one chosen and stored")
        << two << QVariant("172.16.0.9") << two << "10.0.0.5" << QVariant("10.0.0.5");
    QTest::newRow("nothing stored: first one chosen and stored")
        << two << QVariant() << two << "10.0.0.5" << QVariant("10.0.0.5");
    QTest::newRow("a longer address starting alike is no match")
        << QStringList{"10.0.0.1", "10.0.0.50"} << QVariant("10.0.0.5")
        << QStringList{"10.0.0.1", "10.0.0.50"} << "10.0.0.1" << QVariant("10.0.0.1");
    QTest::newRow("no interfaces: nothing listed, nothing stored")
        << QStringList{"127.0.0.1"} << QVariant("10.0.0.5") << QStringList{} << ""
        << QVariant("10.0.0.5");
}

void ConfigurationDialogTest::localAddressChoice() {
    QFETCH(QStringList, interfaces);
    QFETCH(QVariant, before);
    QFETCH(QStringList, items);
    QFETCH(QString, selected);
    QFETCH(QVariant, after);
    interfaces_.clear();
    for (const QString& address : interfaces) {
        interfaces_.push_back(hostOrder(address));
    }
    setStored(link::kClientIPAddress.name, before);

    const auto dialog = openDialog();
    QComboBox* list = dialog->localAddressList();
    QStringList shown;
    for (int i = 0; i < list->count(); ++i) {
        shown << list->itemText(i);
    }
    QCOMPARE(shown, items);
    QCOMPARE(list->currentText(), selected);
    QCOMPARE(stored(link::kClientIPAddress.name), after);
    QCOMPARE(list->isEnabled(), !items.isEmpty());
    QCOMPARE(prompter_->told, items.isEmpty() ? QStringList{kNoInterfaces} : QStringList{});
}

void ConfigurationDialogTest::selectionChangeStoresLocalAddress() {
    const auto dialog = openDialog();
    QTest::keyClick(dialog->localAddressList(), Qt::Key_Down);
    QCOMPARE(dialog->localAddressList()->currentText(), QStringLiteral("192.168.1.20"));
    QCOMPARE(stored(link::kClientIPAddress.name), QVariant("192.168.1.20"));
    QTest::keyClick(dialog->localAddressList(), Qt::Key_Up);
    QCOMPARE(stored(link::kClientIPAddress.name), QVariant("10.0.0.5"));
}

void ConfigurationDialogTest::leftFieldsAreStored_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QVariant>("storedPort");
    QTest::addColumn<QStringList>("warnings");
    QTest::newRow("dotted address, decimal port") << "10.20.30.40"
                                                  << "2001" << QVariant(2001u) << QStringList{};
    // The field takes digits only, and no leading zero.
    QTest::newRow("name that resolves, letters and zeros refused")
        << "localhost"
        << "0x7D1" << QVariant(71u) << QStringList{};
    QTest::newRow("last port") << "localhost"
                               << "65535" << QVariant(65535u) << QStringList{};
    // Beyond the last port the stored port stands.
    QTest::newRow("beyond the last port") << "localhost"
                                          << "65536" << QVariant(1000u) << QStringList{};
    QTest::newRow("name that does not resolve is kept")
        << "no-such-host.invalid"
        << "2001" << QVariant(2001u) << QStringList{kNotResolved};
}

void ConfigurationDialogTest::leftFieldsAreStored() {
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(QVariant, storedPort);
    QFETCH(QStringList, warnings);
    setStored(link::kServerIPAddress.name, QStringLiteral("10.1.1.1"));
    const auto dialog = openDialog();
    showActive(*dialog);

    QLineEdit* addressEdit = dialog->serverAddressEdit();
    addressEdit->setFocus();
    addressEdit->selectAll();
    QTest::keyClicks(addressEdit, address);
    QCOMPARE(stored(link::kServerIPAddress.name), QVariant("10.1.1.1")); // not while typing
    QTest::keyClick(addressEdit, Qt::Key_Tab);
    QCOMPARE(stored(link::kServerIPAddress.name), QVariant(address));
    QTRY_COMPARE(prompter_->told, warnings);

    QLineEdit* portEdit = dialog->portEdit();
    QVERIFY(portEdit->hasFocus());
    portEdit->selectAll();
    QTest::keyClicks(portEdit, port);
    // Leaving by mouse this time.
    QTest::mouseClick(dialog->domainAuthenticationBox(), Qt::LeftButton);
    QCOMPARE(stored(link::kDataIpPort.name), storedPort);
    QCOMPARE(portEdit->text(), QString::number(storedPort.toUInt()));

    // Fields already stored are not stored or resolved again on closing.
    dialog->accept();
    QCOMPARE(prompter_->told, warnings);
}

void ConfigurationDialogTest::closingFromAFieldKeepsWhatWasTyped_data() {
    QTest::addColumn<bool>("portField");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key"); // 0: click "Apply"
    QTest::addColumn<QVariant>("address");
    QTest::addColumn<QVariant>("port");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("told");
    QTest::newRow("address field, Enter")
        << false << "10.9.8.7" << int(Qt::Key_Return) << QVariant("10.9.8.7") << QVariant(1000u)
        << int(QDialog::Accepted) << QStringList{};
    // No address stored at all is what the closing check is for.
    QTest::newRow("port field, Escape")
        << true << "2001" << int(Qt::Key_Escape) << QVariant() << QVariant(2001u)
        << int(QDialog::Rejected) << QStringList{kNotAssigned};
    // The click leaves the field and closes the view before the event loop
    // runs again: the resolution is not lost.
    QTest::newRow("unresolvable address, Apply clicked")
        << false << "no-such-host.invalid" << 0 << QVariant("no-such-host.invalid")
        << QVariant(1000u) << int(QDialog::Accepted) << QStringList{kNotResolved};
}

void ConfigurationDialogTest::closingFromAFieldKeepsWhatWasTyped() {
    QFETCH(bool, portField);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QVariant, address);
    QFETCH(QVariant, port);
    QFETCH(int, result);
    QFETCH(QStringList, told);
    const auto dialog = openDialog();
    showActive(*dialog);

    QLineEdit* edit = portField ? dialog->portEdit() : dialog->serverAddressEdit();
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    if (key == 0) {
        QPushButton* apply = applyButton(*dialog);
        QVERIFY(apply);
        QTest::mouseClick(apply, Qt::LeftButton);
    } else {
        QTest::keyClick(edit, Qt::Key(key));
    }

    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), result);
    QCOMPARE(stored(link::kServerIPAddress.name), address);
    QCOMPARE(stored(link::kDataIpPort.name), port);
    QCOMPARE(prompter_->told, told);
}

void ConfigurationDialogTest::closingChecksBothAddresses_data() {
    QTest::addColumn<bool>("interfaces");
    QTest::addColumn<QVariant>("server");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("told");
    QTest::newRow("Apply, both set") << true << QVariant("10.1.1.1") << "apply" << QStringList{};
    QTest::newRow("Apply, no server") << true << QVariant() << "apply" << QStringList{kNotAssigned};
    QTest::newRow("Escape, empty server")
        << true << QVariant("") << "escape" << QStringList{kNotAssigned};
    QTest::newRow("window closed, no local address")
        << false << QVariant("10.1.1.1") << "close" << QStringList{kNoInterfaces, kNotAssigned};
}

void ConfigurationDialogTest::closingChecksBothAddresses() {
    QFETCH(bool, interfaces);
    QFETCH(QVariant, server);
    QFETCH(QString, how);
    QFETCH(QStringList, told);
    if (!interfaces) {
        interfaces_.clear();
    }
    setStored(link::kServerIPAddress.name, server);
    const auto dialog = openDialog();
    showActive(*dialog);

    if (how == QLatin1String("apply")) {
        QPushButton* apply = applyButton(*dialog);
        QVERIFY(apply);
        QTest::mouseClick(apply, Qt::LeftButton);
    } else if (how == QLatin1String("escape")) {
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    } else {
        dialog->close();
    }
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(),
             how == QLatin1String("apply") ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(prompter_->told, told);
}

void ConfigurationDialogTest::domainCheckBoxStoresEachClick() {
    const auto dialog = openDialog();
    showActive(*dialog);
    QCheckBox* box = dialog->domainAuthenticationBox();
    QVERIFY(!box->isChecked());
    QVERIFY(!stored(link::kUseDomainAuthentication.name).isValid());
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(stored(link::kUseDomainAuthentication.name), QVariant(1u));
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(stored(link::kUseDomainAuthentication.name), QVariant(0u));
}

void ConfigurationDialogTest::cancelPutsBackWhatTheViewFound() {
    setStored(link::kServerIPAddress.name, QStringLiteral("10.1.1.1"));
    setStored(link::kDataIpPort.name, 2001u);
    setStored(link::kClientIPAddress.name, QStringLiteral("10.0.0.5"));
    const auto dialog = openDialog();
    showActive(*dialog);
    const auto before = store_->values();

    // Every field changed and stored on leaving it, the last one still typed.
    dialog->localAddressList()->setCurrentIndex(1);
    QTest::mouseClick(dialog->domainAuthenticationBox(), Qt::LeftButton);
    QLineEdit* address = dialog->serverAddressEdit();
    address->setFocus();
    address->selectAll();
    QTest::keyClicks(address, QStringLiteral("10.9.9.9"));
    QTest::keyClick(address, Qt::Key_Tab);
    QCOMPARE(stored(link::kServerIPAddress.name), QVariant("10.9.9.9"));
    QLineEdit* port = dialog->portEdit();
    QVERIFY(port->hasFocus());
    port->selectAll();
    QTest::keyClicks(port, QStringLiteral("3000"));
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);

    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(stored(link::kServerIPAddress.name), QVariant("10.1.1.1"));
    QCOMPARE(stored(link::kDataIpPort.name), QVariant(2001u));
    QCOMPARE(stored(link::kClientIPAddress.name), QVariant("10.0.0.5"));
    QCOMPARE(stored(link::kUseDomainAuthentication.name), QVariant(0u));
    QCOMPARE(prompter_->told, QStringList{});
    for (const auto& [name, value] : before) {
        QVERIFY2(store_->get(name) == value, name.c_str());
    }
}

void ConfigurationDialogTest::controlsHaveMnemonicsAndNamedFields() {
    const auto dialog = openDialog();
    showActive(*dialog);
    QSet<QChar> seen;
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        const qsizetype at = button->text().indexOf(QLatin1Char('&'));
        QVERIFY2(at >= 0, qPrintable(button->text()));
        QVERIFY2(!seen.contains(button->text()[at + 1].toLower()), qPrintable(button->text()));
        seen.insert(button->text()[at + 1].toLower());
    }
    QCOMPARE(dialog->serverAddressEdit()->accessibleName(), QStringLiteral("Ondrel IP Address"));
    QCOMPARE(dialog->localAddressList()->accessibleName(),
             QStringLiteral("System Configuration IP Address"));
    // Alt and the label's letter reach the field it names.
    QTest::keyClick(dialog.get(), Qt::Key_O, Qt::AltModifier);
    QVERIFY(dialog->serverAddressEdit()->hasFocus());
}

} // namespace
} // namespace mirx::shell

QTEST_MAIN(mirx::shell::ConfigurationDialogTest)
#include "configuration_dialog_test.moc"
