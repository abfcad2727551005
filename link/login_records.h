#pragma once

#include "model/record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Payloads of the login exchange: ADMIN_LOGIN_REQUEST (console -> server),
// ADMIN_LOGIN_ACCEPTED and CLIENT_LOGIN_RESPONSE (server -> console).
// Each fromPayload() is a bounded decoder: it copies at most the record's
// size, and bytes a short payload does not carry read as 0.

namespace mirx::link {

// Login name and password hold at most 20 characters (UTF-16 code units).
inline constexpr std::size_t kLoginTextMaxChars = 20;

struct LoginRequest : rec::Record<108> {
    static constexpr rec::Scalar<std::uint8_t> kLeadingZero{0};
    static constexpr rec::Bytes kReservedHead{1, 3};
    // A 20-character name fills the field without a terminator.
    static constexpr rec::Utf16Text kLoginName{4, 20, kLoginTextMaxChars};
    // The clear password (same rules as the name) or, with domain
    // authentication, the first 40 bytes of its ciphertext.
    static constexpr rec::Bytes kPasswordField{44, 40};
    static constexpr rec::Utf16Text kClearPassword{44, 20, kLoginTextMaxChars};
    // Seconds since 1970-01-01 00:00 UTC.
    static constexpr rec::Scalar<std::int64_t> kCurrentTime{84};
    static constexpr rec::Bytes kReservedTail{92, 16};

    static LoginRequest fromPayload(std::span<const std::uint8_t> payload) {
        LoginRequest r;
        r.assignPrefix(payload);
        return r;
    }
};
static_assert(rec::fits(LoginRequest::kLoginName, 44));
static_assert(rec::endOf(LoginRequest::kClearPassword) == LoginRequest::kCurrentTime.offset);
static_assert(rec::endOf(LoginRequest::kPasswordField) == LoginRequest::kCurrentTime.offset);
static_assert(rec::endOf(LoginRequest::kCurrentTime) == LoginRequest::kReservedTail.offset);
static_assert(rec::endOf(LoginRequest::kReservedTail) == LoginRequest::kSize);

// Privilege level of the full administrator: only it may change system
// settings, restart the server or force a failover.
inline constexpr std::uint8_t kFullAdministratorLevel = 1;

struct LoginAccepted : rec::Record<3> {
    static constexpr rec::Scalar<std::int16_t> kPrivilegeWord{0};
    static constexpr rec::Scalar<std::uint8_t> kPrivilegeLevel{2};

    static LoginAccepted fromPayload(std::span<const std::uint8_t> payload) {
        LoginAccepted r;
        r.assignPrefix(payload);
        return r;
    }
    static LoginAccepted make(std::int16_t privilegeWord, std::uint8_t privilegeLevel) {
        LoginAccepted r;
        r.set(kPrivilegeWord, privilegeWord);
        r.set(kPrivilegeLevel, privilegeLevel);
        return r;
    }
    bool isFullAdministrator() const { return get(kPrivilegeLevel) == kFullAdministratorLevel; }
};
static_assert(rec::endOf(LoginAccepted::kPrivilegeLevel) == LoginAccepted::kSize);

// CLIENT_LOGIN_RESPONSE: the server refused the login.
struct LoginRejection : rec::Record<1> {
    static constexpr rec::Scalar<std::uint8_t> kReason{0};

    static LoginRejection fromPayload(std::span<const std::uint8_t> payload) {
        LoginRejection r;
        r.assignPrefix(payload);
        return r;
    }
    static LoginRejection make(std::uint8_t reason) {
        LoginRejection r;
        r.set(kReason, reason);
        return r;
    }
};
static_assert(rec::endOf(LoginRejection::kReason) == LoginRejection::kSize);

struct RejectionReason {
    std::uint8_t reason;
    std::string_view text;
};

inline constexpr std::array<RejectionReason, 6> kRejectionReasons{{
    {1, "Provided user name and/or password is invalid!"},
    {2, "User is already logged on to the system!"},
    {3, "Software version is not compatible with Server!"},
    {4, "Login privelege has been disabled!"},
    {5, "User name can only be used with a Control Panel!"},
    {6, "No administative priveleges assigned!"},
}};

inline constexpr std::string_view kLoginRejectedText = "Login rejected!";

// The text shown for a rejection; reasons outside the table get the
// general one.
constexpr std::string_view rejectionText(std::uint8_t reason) {
    for (const RejectionReason& r : kRejectionReasons) {
        if (r.reason == reason) {
            return r.text;
        }
    }
    return kLoginRejectedText;
}

} // namespace mirx::link
