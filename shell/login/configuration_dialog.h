#pragma once

#include "shell/common/view_dialog.h"

#include <cstdint>
#include <string>

#include <QTimer>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace mirx::shell {

struct ShellContext;

// The connection settings: which local address to use, the server's address
// and port, and domain authentication. Every field is stored as soon as it
// is edited; "Apply" only closes the view, "Cancel" puts back what the view
// found when it opened.
class CConfigurationDlg final : public ViewDialog {
    Q_OBJECT
public:
    explicit CConfigurationDlg(ShellContext& context, QWidget* parent = nullptr);

    QComboBox* localAddressList() const { return localAddresses_; }
    QLineEdit* serverAddressEdit() const { return serverAddress_; }
    QLineEdit* portEdit() const { return port_; }
    QCheckBox* domainAuthenticationBox() const { return domainAuthentication_; }
    QPushButton* applyButton() const { return apply_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closing(int result) override;

private:
    void storeServerAddress();
    void resolveServerAddress();
    void storePort();
    void cancel();

    ShellContext& context_;
    QComboBox* localAddresses_ = nullptr;
    QLineEdit* serverAddress_ = nullptr;
    QLineEdit* port_ = nullptr;
    QCheckBox* domainAuthentication_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer resolveLater_;
    bool cancelled_ = false;
    // What the view found, put back by "Cancel".
    std::string openedClientAddress_;
    std::string openedServerAddress_;
    std::uint16_t openedPort_ = 0;
    bool openedDomainAuthentication_ = false;
};

// The port field's text as stored: automatic base ("0x" hexadecimal, a
// leading "0" octal, else decimal), cut to 16 bits; 0 when it is no number.
// The field itself takes only decimal ports from 1 to 65535.
std::uint16_t parsePortText(const QString& text);

} // namespace mirx::shell
