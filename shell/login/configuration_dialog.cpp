#include "shell/login/configuration_dialog.h"

#include "core/local_addresses.h"
#include "link/settings_store.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"

#include <cstdint>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace mirx::shell {

namespace {

// The list shows at most this much of the stored local address.
constexpr std::size_t kClientAddressViewChars = 40;
constexpr int kPortMaxChars = 5;

int digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return 99;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::uint16_t parsePortText(const QString& text) {
    // Read as a 32-bit unsigned long always was: leading blanks and one sign
    // allowed, digits up to the first that does not fit the base, out of
    // range gives all ones, a minus sign negates.
    const std::string s = text.toStdString();
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i])) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < s.size() && s[i] == '0') {
        base = 8;
        // "0x" only counts when a hex digit follows; otherwise the 0 stands alone.
        if (i + 2 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X') && digitValue(s[i + 2]) < 16) {
            base = 16;
            i += 2;
        }
    }
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < s.size(); ++i) {
        const int digit = digitValue(s[i]);
        if (digit >= base) {
            break;
        }
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;
        }
    }
    std::uint32_t result = overflow ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
    if (negative && !overflow) {
        result = 0u - result;
    }
    return static_cast<std::uint16_t>(result);
}

CConfigurationDlg::CConfigurationDlg(ShellContext& context, QWidget* parent)
    : ViewDialog(context, ViewKey::ConnectionSettings, parent)
    , context_(context) {

    localAddresses_ = new QComboBox(this);
    serverAddress_ = new QLineEdit(this);
    serverAddress_->setMaxLength(static_cast<int>(link::kServerIPAddress.maxChars));
    port_ = new QLineEdit(this);
    port_->setMaxLength(kPortMaxChars);
    // Decimal digits only, no leading zero; the range is checked on storing.
    port_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[1-9][0-9]{0,4}")), port_));
    port_->setAccessibleName(QStringLiteral("Ondrel Port"));
    domainAuthentication_ = new QCheckBox(QStringLiteral("Use &Domain Authentication"), this);
    apply_ = new QPushButton(QStringLiteral("&Apply"), this);
    apply_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);

    auto* group = new QGroupBox(QStringLiteral("Network Settings"), this);
    auto* grid = new QGridLayout(group);
    auto* localLabel = new QLabel(QStringLiteral("&System Configuration IP Address"), group);
    localLabel->setBuddy(localAddresses_);
    auto* serverLabel = new QLabel(QStringLiteral("&Ondrel IP Address"), group);
    serverLabel->setBuddy(serverAddress_);
    grid->addWidget(localLabel, 0, 0, 1, 3);
    grid->addWidget(localAddresses_, 1, 0, 1, 3);
    grid->addWidget(serverLabel, 2, 0, 1, 3);
    grid->addWidget(serverAddress_, 3, 0);
    grid->addWidget(new QLabel(QStringLiteral(":"), group), 3, 1);
    grid->addWidget(port_, 3, 2);
    grid->setColumnStretch(0, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(domainAuthentication_);
    layout->addLayout(buttons);

    if (context_.locks.connectionFieldsLocked) {
        serverAddress_->setEnabled(false);
        port_->setEnabled(false);
    }

    link::SettingsStore& store = context_.settings;
    QueryNetworkCardIpAddresses();
    const std::vector<std::string> addresses = NetworkAddresses();
    if (addresses.empty()) {
        context_.prompter.tell(this, QStringLiteral("Talbrook Control Panel ERROR"),
                               QStringLiteral("No Network Interfaces were detected!"),
                               PromptIcon::Error);
        localAddresses_->setEnabled(false);
    } else {
        for (const std::string& address : addresses) {
            localAddresses_->addItem(QString::fromStdString(address));
        }
        const std::string stored =
            store.readString(link::kClientIPAddress.name, kClientAddressViewChars).value_or("");
        const int match = localAddresses_->findText(QString::fromStdString(stored),
                                                    Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (match >= 0) {
            localAddresses_->setCurrentIndex(match);
        } else {
            localAddresses_->setCurrentIndex(0);
            store.writeString(link::kClientIPAddress.name, addresses.front());
        }
    }
    // Connected only now, so filling the list writes nothing by itself.
    connect(localAddresses_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            context_.settings.writeString(link::kClientIPAddress.name,
                                          localAddresses_->itemText(index).toStdString());
        }
    });

    serverAddress_->setText(
        QString::fromStdString(link::readString(store, link::kServerIPAddress).value_or("")));
    port_->setText(QString::number(link::readPort(store)));
    domainAuthentication_->setChecked(link::readDomainAuthentication(store));
    openedClientAddress_ = link::readString(store, link::kClientIPAddress).value_or("");
    openedServerAddress_ = serverAddress_->text().toStdString();
    openedPort_ = link::readPort(store);
    openedDomainAuthentication_ = domainAuthentication_->isChecked();

    connect(domainAuthentication_, &QCheckBox::clicked, this, [this](bool checked) {
        context_.settings.writeNumber(link::kUseDomainAuthentication.name, checked ? 1u : 0u);
    });
    connect(apply_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &CConfigurationDlg::cancel);

    serverAddress_->installEventFilter(this);
    port_->installEventFilter(this);

    // The warning comes once the focus has settled, not from inside the
    // focus change, where a modal box would swallow the click that moved it.
    resolveLater_.setSingleShot(true);
    resolveLater_.setInterval(0);
    connect(&resolveLater_, &QTimer::timeout, this, &CConfigurationDlg::resolveServerAddress);
}

bool CConfigurationDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !closed()) {
        // Switching to another window or opening the field's own menu does
        // not leave the field; the text is stored when it really is left, or
        // when the view closes.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == serverAddress_) {
                storeServerAddress();
                resolveLater_.start();
            } else if (watched == port_) {
                storePort();
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CConfigurationDlg::storeServerAddress() {
    serverAddress_->setModified(false);
    const QString text =
        serverAddress_->text().left(static_cast<qsizetype>(link::kServerIPAddress.maxChars));
    context_.settings.writeString(link::kServerIPAddress.name, text.toStdString());
}

void CConfigurationDlg::resolveServerAddress() {
    // The stored text stays as typed: a name that does not resolve here may
    // still resolve where and when the link connects.
    std::string resolved;
    if (ResolveHost(serverAddress_->text().toStdString(), resolved) != 0) {
        context_.prompter.tell(this, QStringLiteral("Control Panel ERROR"),
                               QStringLiteral("Host Name could not be resolved!"),
                               PromptIcon::Warning);
    }
}

void CConfigurationDlg::storePort() {
    port_->setModified(false);
    bool number = false;
    const uint port = port_->text().toUInt(&number);
    if (!number || port == 0 || port > 0xFFFFu) {
        // Left empty or beyond the last port: the stored port stands.
        port_->setText(QString::number(link::readPort(context_.settings)));
        port_->setModified(false);
        return;
    }
    context_.settings.writeNumber(link::kDataIpPort.name, parsePortText(port_->text()));
}

void CConfigurationDlg::cancel() {
    cancelled_ = true;
    resolveLater_.stop();
    // Only what differs is written back, so a profile the view did not
    // change stays as it was.
    link::SettingsStore& store = context_.settings;
    if (link::readString(store, link::kClientIPAddress).value_or("") != openedClientAddress_) {
        store.writeString(link::kClientIPAddress.name, openedClientAddress_);
    }
    if (link::readString(store, link::kServerIPAddress).value_or("") != openedServerAddress_) {
        store.writeString(link::kServerIPAddress.name, openedServerAddress_);
    }
    if (link::readPort(store) != openedPort_) {
        store.writeNumber(link::kDataIpPort.name, openedPort_);
    }
    if (link::readDomainAuthentication(store) != openedDomainAuthentication_) {
        store.writeNumber(link::kUseDomainAuthentication.name,
                          openedDomainAuthentication_ ? 1u : 0u);
    }
    reject();
}

void CConfigurationDlg::closing(int) {
    // Closing with Enter, Escape or the window's close button leaves a field
    // without taking the focus from it; what was typed there must not be
    // lost, so it is stored (and the address resolved) as if it were left.
    // A resolution still queued from leaving the field is done now too.
    if (cancelled_) {
        return;
    }
    bool resolve = resolveLater_.isActive();
    resolveLater_.stop();
    if (serverAddress_->isModified()) {
        storeServerAddress();
        resolve = true;
    }
    if (port_->isModified()) {
        storePort();
    }
    if (resolve) {
        resolveServerAddress();
    }

    link::SettingsStore& store = context_.settings;
    const std::string client = link::readString(store, link::kClientIPAddress).value_or("");
    const std::string server = link::readString(store, link::kServerIPAddress).value_or("");
    if (client.empty() || server.empty()) {
        context_.prompter.tell(this, QStringLiteral("Device Interface ERROR"),
                               QStringLiteral("IP address not assigned!"), PromptIcon::Warning);
    }
}

} // namespace mirx::shell
