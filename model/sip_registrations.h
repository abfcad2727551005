#pragma once

#include "model/record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The registrations the server holds as SIP registrar: request 6035 and its
// answer 6036 (i16 count, 2 bytes not used, count 188-byte entries).

namespace mirx::model {

// 6035 ADMIN_SIP_REGISTRATIONS_REQUEST: the 16-bit value 0.
std::array<std::uint8_t, 2> encodeSipRegistrationsRequest();

struct SipRegistration : rec::Record<188> {
    static constexpr rec::AsciiText kUserName{0, 21};
    static constexpr rec::AsciiText kAddressOfRecord{21, 51};
    static constexpr rec::AsciiText kContactDetail{72, 112};
    static constexpr rec::Scalar<std::uint32_t> kExpirationSeconds{184};
};

static_assert(rec::fits(SipRegistration::kUserName, SipRegistration::kSize));
static_assert(rec::fits(SipRegistration::kAddressOfRecord, SipRegistration::kSize));
static_assert(rec::fits(SipRegistration::kContactDetail, SipRegistration::kSize));
static_assert(rec::fits(SipRegistration::kExpirationSeconds, SipRegistration::kSize));

inline constexpr std::size_t kSipRegistrationsHeadBytes = 4;
// The sender does not bound its list and no size is fixed for the console's
// copy; we keep one registration per client index.
inline constexpr std::size_t kSipRegistrationCapacity = 1000;

struct SipRegistrationList {
    std::vector<SipRegistration> entries;
    // As sent; a negative count reads as none.
    std::int16_t claimedCount = 0;
};

// Takes only whole entries that the payload holds, at most the claimed count
// and at most kSipRegistrationCapacity: a count that does not fit the length
// shows the entries that did arrive.
SipRegistrationList decodeSipRegistrations(std::span<const std::uint8_t> payload);
// More than 32767 entries are not sent.
std::vector<std::uint8_t> encodeSipRegistrations(std::span<const SipRegistration> entries);

} // namespace mirx::model
