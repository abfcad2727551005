#include "link/password_cipher.h"

#include "core/hex.h"

#include <cryptopp/aes.h>
#include <cryptopp/filters.h>
#include <cryptopp/modes.h>
#include <cstring>

namespace mirx::link {

namespace {

// The password buffer seen as a text field of its own.
constexpr rec::Utf16Text kPasswordText{0, kLoginTextMaxChars + 1};
static_assert(rec::endOf(kPasswordText) == kPasswordBufferSize);

} // namespace

std::optional<KeyBase> parseKeyBase(std::string_view hex32) {
    KeyBase base{};
    if (hex32.size() != 2 * base.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < base.size(); ++i) {
        const int hi = hex::digitValue(hex32[2 * i]);
        const int lo = hex::digitValue(hex32[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return std::nullopt;
        }
        base[i] = static_cast<std::uint8_t>((hi << 4) | lo);
    }
    return base;
}

AesKey deriveKey(const KeyBase& base, std::uint16_t localPort) {
    const auto low = static_cast<std::uint8_t>(localPort & 0xFFu);
    const auto high = static_cast<std::uint8_t>(localPort >> 8);
    AesKey key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        key[i] = static_cast<std::uint8_t>(base[i] ^ ((i % 2 == 0) ? low : high));
    }
    return key;
}

std::vector<std::uint8_t> cryptCtr(const AesKey& key, const CounterBlock& initialCounter,
                                   std::span<const std::uint8_t> in) {
    CryptoPP::CTR_Mode<CryptoPP::AES>::Encryption mode;
    mode.SetKeyWithIV(key.data(), key.size(), initialCounter.data(), initialCounter.size());
    std::string out;
    // The source owns and deletes the filter chain.
    CryptoPP::StringSource source(
        in.data(), in.size(), true,
        new CryptoPP::StreamTransformationFilter(mode, new CryptoPP::StringSink(out),
                                                 CryptoPP::StreamTransformationFilter::NO_PADDING));
    return {out.begin(), out.end()};
}

std::vector<std::uint8_t> cryptCtr(const AesKey& key, std::span<const std::uint8_t> in) {
    return cryptCtr(key, CounterBlock{}, in);
}

PasswordBuffer passwordBuffer(std::string_view password) {
    PasswordBuffer buffer{};
    rec::set(buffer, kPasswordText, password);
    return buffer;
}

LoginRequest buildLoginRequest(std::string_view loginName, std::string_view password,
                               const std::optional<AesKey>& domainKey, std::int64_t nowSeconds) {
    LoginRequest request;
    request.set(LoginRequest::kLoginName, loginName);
    if (domainKey) {
        const PasswordBuffer clear = passwordBuffer(password);
        const std::vector<std::uint8_t> cipher = cryptCtr(*domainKey, clear);
        std::memcpy(request.data() + LoginRequest::kPasswordField.offset, cipher.data(),
                    cipher.size());
    } else {
        request.set(LoginRequest::kClearPassword, password);
    }
    // Written last: it overwrites the ciphertext's final 2 bytes.
    request.set(LoginRequest::kCurrentTime, nowSeconds);
    return request;
}

std::string readLoginPassword(const LoginRequest& request, const std::optional<AesKey>& domainKey) {
    if (!domainKey) {
        return request.get(LoginRequest::kClearPassword);
    }
    const std::vector<std::uint8_t> clear =
        cryptCtr(*domainKey, request.get(LoginRequest::kPasswordField));
    return rec::get(clear, rec::Utf16Text{0, kLoginTextMaxChars, kLoginTextMaxChars});
}

} // namespace mirx::link
