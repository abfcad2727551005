#include "shell/common/address_edit.h"

#include "model/system_settings.h"
#include "model/system_settings_form.h"

namespace mirx::shell {

AddressEdit::AddressEdit(QWidget* parent)
    : QLineEdit(parent) {
    setMaxLength(static_cast<int>(model::kAddressTextLimit));
}

void AddressEdit::setAddress(std::uint32_t address, bool emptyWhenZero) {
    setText(address == 0 && emptyWhenZero ? QString()
                                          : QString::fromStdString(model::formatIpv4(address)));
}

std::optional<std::uint32_t> AddressEdit::address() const {
    return model::parseAddressText(text().toStdString());
}

PortEdit::PortEdit(QWidget* parent)
    : QLineEdit(parent) {
    setMaxLength(static_cast<int>(model::kPortTextLimit));
}

} // namespace mirx::shell
