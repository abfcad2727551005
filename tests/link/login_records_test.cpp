#include "link/login_records.h"
#include "link/password_cipher.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const LoginRequest& r) {
    return {r.bytes.begin(), r.bytes.end()};
}

void putUtf16(Bytes& out, std::size_t offset, std::string_view ascii) {
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        out[offset + 2 * i] = static_cast<std::uint8_t>(ascii[i]);
    }
}

void putLittleEndian(Bytes& out, std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

constexpr std::int64_t kNow = 0x0000000067A1B2C3; // early 2025

TEST(LoginRequest, ClearPasswordLayout) {
    Bytes expected(108, 0);
    putUtf16(expected, 4, "admin");
    putUtf16(expected, 44, "pw");
    putLittleEndian(expected, 84, static_cast<std::uint64_t>(kNow), 8);

    EXPECT_EQ(bytesOf(buildLoginRequest("admin", "pw", std::nullopt, kNow)), expected);
}

TEST(LoginRequest, TwentyCharacterNameFillsItsFieldWithoutTerminator) {
    const std::string name = "ABCDEFGHIJKLMNOPQRST";
    Bytes expected(108, 0);
    putUtf16(expected, 4, name);
    putUtf16(expected, 44, "x");
    putLittleEndian(expected, 84, static_cast<std::uint64_t>(kNow), 8);

    const LoginRequest request = buildLoginRequest(name, "x", std::nullopt, kNow);
    EXPECT_EQ(bytesOf(request), expected);
    EXPECT_EQ(request.get(LoginRequest::kLoginName), name);
    // A longer name is cut to the same 20 characters.
    EXPECT_EQ(bytesOf(buildLoginRequest(name + "UV", "x", std::nullopt, kNow)), expected);
}

TEST(LoginRequest, NegativeTimeIsSigned) {
    const LoginRequest request = buildLoginRequest("a", "", std::nullopt, -2);
    const Bytes bytes = bytesOf(request);
    EXPECT_EQ(Bytes(bytes.begin() + 84, bytes.begin() + 92),
              (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(request.get(LoginRequest::kCurrentTime), -2);
}

TEST(LoginRequest, DomainPasswordFieldIsCiphertext) {
    // Under the zero key the stream is AES-128 of the counters 0, 1, 2.
    const Bytes stream = {
        0x66, 0xe9, 0x4b, 0xd4, 0xef, 0x8a, 0x2c, 0x3b, 0x88, 0x4c, 0xfa, 0x59, 0xca, 0x34,
        0x2b, 0x2e, 0x58, 0xe2, 0xfc, 0xce, 0xfa, 0x7e, 0x30, 0x61, 0x36, 0x7f, 0x1d, 0x57,
        0xa4, 0xe7, 0x45, 0x5a, 0x03, 0x88, 0xda, 0xce, 0x60, 0xb6, 0xa3, 0x92,
    };
    const std::string password = "operator";
    Bytes expected(108, 0);
    putUtf16(expected, 4, "operator");
    Bytes clear(40, 0);
    putUtf16(clear, 0, password);
    for (std::size_t i = 0; i < 40; ++i) {
        expected[44 + i] = clear[i] ^ stream[i];
    }
    putLittleEndian(expected, 84, static_cast<std::uint64_t>(kNow), 8);

    const LoginRequest request = buildLoginRequest("operator", password, AesKey{}, kNow);
    EXPECT_EQ(bytesOf(request), expected);
}

struct PasswordCase {
    const char* what;
    std::string password;
};

TEST(LoginRequest, ServerRecoversThePassword) {
    const AesKey key = deriveKey(*parseKeyBase("00112233445566778899aabbccddeeff"), 49152);
    const PasswordCase cases[] = {
        {"empty", ""},
        {"short", "secret"},
        {"20 characters", "ABCDEFGHIJKLMNOPQRST"},
        {"non-ASCII", "p\xC3\xA4ss"},
    };
    for (const PasswordCase& c : cases) {
        SCOPED_TRACE(c.what);
        const LoginRequest clear = buildLoginRequest("admin", c.password, std::nullopt, kNow);
        EXPECT_EQ(readLoginPassword(LoginRequest::fromPayload(clear.view()), std::nullopt),
                  c.password);
        const LoginRequest domain = buildLoginRequest("admin", c.password, key, kNow);
        EXPECT_EQ(readLoginPassword(LoginRequest::fromPayload(domain.view()), key), c.password);
    }
    // The wrong port's key does not give the password back.
    const LoginRequest domain = buildLoginRequest("admin", "secret", key, kNow);
    const AesKey otherPort = deriveKey(*parseKeyBase("00112233445566778899aabbccddeeff"), 49153);
    EXPECT_NE(readLoginPassword(domain, otherPort), "secret");
}

TEST(LoginAnswers, AcceptedCarriesPrivileges) {
    const auto full = LoginAccepted::fromPayload(Bytes{0x34, 0x12, 0x01});
    EXPECT_EQ(full.get(LoginAccepted::kPrivilegeWord), 0x1234);
    EXPECT_EQ(full.get(LoginAccepted::kPrivilegeLevel), 1);
    EXPECT_TRUE(full.isFullAdministrator());

    const auto limited = LoginAccepted::fromPayload(Bytes{0xFF, 0xFF, 0x02});
    EXPECT_EQ(limited.get(LoginAccepted::kPrivilegeWord), -1);
    EXPECT_FALSE(limited.isFullAdministrator());

    // A short payload leaves the level at 0, never reading past its end.
    const auto cut = LoginAccepted::fromPayload(Bytes{0x34, 0x12});
    EXPECT_EQ(cut.get(LoginAccepted::kPrivilegeLevel), 0);

    EXPECT_EQ(LoginAccepted::make(0x1234, 1).bytes, full.bytes);
    EXPECT_EQ(LoginRejection::make(4).bytes[0], 4);
    EXPECT_EQ(LoginRejection::fromPayload(Bytes{6, 9}).get(LoginRejection::kReason), 6);
}

struct ReasonCase {
    std::uint8_t reason;
    std::string_view text;
};

TEST(LoginAnswers, RejectionTexts) {
    const ReasonCase cases[] = {
        {1, "Provided user name and/or password is invalid!"},
        {2, "User is already logged on to the system!"},
        {3, "Software version is not compatible with Server!"},
        {4, "Login privelege has been disabled!"},
        {5, "User name can only be used with a Control Panel!"},
        {6, "No administative priveleges assigned!"},
        {0, "Login rejected!"},
        {7, "Login rejected!"},
        {9, "Login rejected!"},
        {255, "Login rejected!"},
    };
    for (const ReasonCase& c : cases) {
        SCOPED_TRACE(int{c.reason});
        EXPECT_EQ(rejectionText(c.reason), c.text);
    }
}

} // namespace
} // namespace mirx::link
