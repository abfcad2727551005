#pragma once

#include "model/sip_registrations.h"
#include "model/system_settings.h"
#include "reports/text_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The SIP registrations list as plain data: which registrations count as
// external, one row of texts per registration, the columns and the compare
// function. The view and `mirx-ctl sip-registrations` share them.

namespace mirx::reports {

enum class SipColumn : int { UserName = 0, AddressOfRecord, ContactDetail, Expiration };
inline constexpr std::size_t kSipColumnCount = 4;

struct SipColumnSpec {
    // Untranslated.
    const char* title;
    int width;
};
inline constexpr std::array<SipColumnSpec, kSipColumnCount> kSipColumns{{
    {"User Name", 100},
    {"Address of Record", 200},
    {"Contact Detail", 350},
    {"Expiration Time", 90},
}};

// "%d.%d.%d.%d:" of the server's own address: the primary server, or the
// secondary while it is the active one (failover state 4 or 5).
std::string serverContactText(const model::SystemSettings& settings, std::uint8_t failoverState);

// Whether `contact` names the server itself: it holds `serverText` where no
// digit or dot comes just before it, so the server 10.0.0.1 does not claim a
// contact at 110.0.0.1.
bool contactIsServer(std::string_view contact, std::string_view serverText);

struct SipRow {
    std::array<std::string, kSipColumnCount> cells;
    std::uint32_t expirationSeconds = 0;

    const std::string& cell(SipColumn column) const {
        return cells[static_cast<std::size_t>(column)];
    }
};

// The rows in the server's order; with `externalOnly` those whose contact is
// the server are left out. Texts are 8-bit characters, turned into UTF-8.
std::vector<SipRow> sipRegistrationRows(const model::SipRegistrationList& list, bool externalOnly,
                                        std::string_view serverText);

// Text columns compare case-blind, the expiration time by its seconds.
int compareSipRows(const SipRow& a, const SipRow& b, int column);

TextTable sipTextTable(const std::vector<SipRow>& rows);

} // namespace mirx::reports
