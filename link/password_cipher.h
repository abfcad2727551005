#pragma once

#include "link/login_records.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The password field of the login request under domain authentication:
// AES-128 in counter mode with a key made from a base value the console and
// the server share (profile value DomainAuthenticationKey, never compiled in)
// and the connection's local TCP port, so every connection encrypts the same
// password differently.

namespace mirx::link {

using KeyBase = std::array<std::uint8_t, 16>;
using AesKey = std::array<std::uint8_t, 16>;
using CounterBlock = std::array<std::uint8_t, 16>;

// Exactly 32 hex digits (either case, nothing around them); anything else
// gives nullopt.
std::optional<KeyBase> parseKeyBase(std::string_view hex32);

// Bytes at even positions are XORed with the port's low byte, bytes at odd
// positions with its high byte. `localPort` is the port number itself, not
// its network-order bytes.
AesKey deriveKey(const KeyBase& base, std::uint16_t localPort);

// AES-128-CTR from `initialCounter`, the counter incremented as one 128-bit
// big-endian number per block; no padding. Encrypting and decrypting are the
// same operation.
std::vector<std::uint8_t> cryptCtr(const AesKey& key, const CounterBlock& initialCounter,
                                   std::span<const std::uint8_t> in);
// The login's form: the counter starts at 16 zero bytes.
std::vector<std::uint8_t> cryptCtr(const AesKey& key, std::span<const std::uint8_t> in);

// The handler's password buffer: 21 UTF-16LE units, i.e. at most 20
// characters (cut without splitting a character), a terminator and zero
// padding.
inline constexpr std::size_t kPasswordBufferSize = 2 * (kLoginTextMaxChars + 1);
using PasswordBuffer = std::array<std::uint8_t, kPasswordBufferSize>;
PasswordBuffer passwordBuffer(std::string_view password);

// ADMIN_LOGIN_REQUEST. With `domainKey` the whole 42-byte password buffer is
// encrypted and written from offset 44; the time at offset 84 then
// overwrites its last 2 bytes. Without it the password goes in clear.
// Name and password are cut to 20 characters.
LoginRequest buildLoginRequest(std::string_view loginName, std::string_view password,
                               const std::optional<AesKey>& domainKey, std::int64_t nowSeconds);

// The server's side: the password a request carries, with the key the
// server derives for that connection, or in clear without one. Only the
// first 40 ciphertext bytes survive in the request, i.e. 20 UTF-16 units;
// as passwords hold at most 20 characters, that is the whole password (the
// lost bytes were its terminator).
std::string readLoginPassword(const LoginRequest& request, const std::optional<AesKey>& domainKey);

} // namespace mirx::link
