#pragma once

#include <cstdint>
#include <optional>

#include <QLineEdit>

// An IPv4 address field of a server record: shown as "%d.%d.%d.%d", empty
// for 0 where the record means "not set", and read back strictly: text that
// is not an address is reported, never taken as 0.

namespace mirx::shell {

class AddressEdit final : public QLineEdit {
    Q_OBJECT
public:
    explicit AddressEdit(QWidget* parent = nullptr);

    void setAddress(std::uint32_t address, bool emptyWhenZero = true);
    // 0 for an empty field; nothing when the text is not an address.
    std::optional<std::uint32_t> address() const;
};

// A port field: at most 9 characters, read with model::parsePortText.
class PortEdit final : public QLineEdit {
    Q_OBJECT
public:
    explicit PortEdit(QWidget* parent = nullptr);
};

} // namespace mirx::shell
