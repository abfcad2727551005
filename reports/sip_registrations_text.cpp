#include "reports/sip_registrations_text.h"

#include "model/system_status.h"
#include "model/typed_text.h"

#include <cstdio>

namespace mirx::reports {
namespace {

using R = model::SipRegistration;

std::string latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool isDigitOrDot(char c) {
    return (c >= '0' && c <= '9') || c == '.';
}

} // namespace

std::string serverContactText(const model::SystemSettings& settings, std::uint8_t failoverState) {
    using model::SystemSettings;
    const std::uint32_t a = model::secondaryActive(failoverState)
                                ? settings.get(SystemSettings::kSecondaryServerAddress)
                                : settings.get(SystemSettings::kServerAddress);
    char text[24];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u:", a & 0xFFu, (a >> 8) & 0xFFu, (a >> 16) & 0xFFu,
                  (a >> 24) & 0xFFu);
    return text;
}

bool contactIsServer(std::string_view contact, std::string_view serverText) {
    if (serverText.empty()) {
        return false;
    }
    for (std::size_t at = contact.find(serverText); at != std::string_view::npos;
         at = contact.find(serverText, at + 1)) {
        if (at == 0 || !isDigitOrDot(contact[at - 1])) {
            return true;
        }
    }
    return false;
}

std::vector<SipRow> sipRegistrationRows(const model::SipRegistrationList& list, bool externalOnly,
                                        std::string_view serverText) {
    std::vector<SipRow> rows;
    rows.reserve(list.entries.size());
    for (const R& entry : list.entries) {
        const std::string contact = entry.get(R::kContactDetail);
        if (externalOnly && contactIsServer(contact, serverText)) {
            continue;
        }
        SipRow row;
        row.expirationSeconds = entry.get(R::kExpirationSeconds);
        row.cells = {latin1ToUtf8(entry.get(R::kUserName)),
                     latin1ToUtf8(entry.get(R::kAddressOfRecord)), latin1ToUtf8(contact),
                     std::to_string(row.expirationSeconds) + "s"};
        rows.push_back(std::move(row));
    }
    return rows;
}

int compareSipRows(const SipRow& a, const SipRow& b, int column) {
    if (column == static_cast<int>(SipColumn::Expiration)) {
        return a.expirationSeconds < b.expirationSeconds   ? -1
               : a.expirationSeconds > b.expirationSeconds ? 1
                                                           : 0;
    }
    if (column < 0 || column >= static_cast<int>(kSipColumnCount)) {
        return 0;
    }
    const auto c = static_cast<std::size_t>(column);
    return model::compareCaseBlind(a.cells[c], b.cells[c]);
}

TextTable sipTextTable(const std::vector<SipRow>& rows) {
    TextTable table;
    for (const SipColumnSpec& spec : kSipColumns) {
        table.headers.emplace_back(spec.title);
    }
    for (const SipRow& row : rows) {
        table.rows.emplace_back(row.cells.begin(), row.cells.end());
    }
    return table;
}

} // namespace mirx::reports
