#include "link/password_cipher.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace mirx::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(std::string_view digits) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(digits.substr(i, 2)), nullptr, 16)));
    }
    return out;
}

template <std::size_t N>
std::array<std::uint8_t, N> hexArray(std::string_view digits) {
    const Bytes b = hex(digits);
    std::array<std::uint8_t, N> out{};
    std::copy(b.begin(), b.end(), out.begin());
    return out;
}

// NIST SP 800-38A, F.5.1 CTR-AES128.Encrypt.
const AesKey kNistKey = hexArray<16>("2b7e151628aed2a6abf7158809cf4f3c");
const CounterBlock kNistCounter = hexArray<16>("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
const Bytes kNistPlain = hex("6bc1bee22e409f96e93d7e117393172a"
                             "ae2d8a571e03ac9c9eb76fac45af8e51"
                             "30c81c46a35ce411e5fbc1191a0a52ef"
                             "f69f2445df4f9b17ad2b417be66c3710");
const Bytes kNistCipher = hex("874d6191b620e3261bef6864990db6ce"
                              "9806f66b7970fdff8617187bb9fffdff"
                              "5ae4df3edbd5d35e5b4f09020db03eab"
                              "1e031dda2fbe03d1792170a0f3009cee");

TEST(PasswordCipher, MatchesNistCtrVector) {
    EXPECT_EQ(cryptCtr(kNistKey, kNistCounter, kNistPlain), kNistCipher);
    EXPECT_EQ(cryptCtr(kNistKey, kNistCounter, kNistCipher), kNistPlain);
}

TEST(PasswordCipher, CiphertextHasThePlaintextLength) {
    const Bytes plain42(kNistPlain.begin(), kNistPlain.begin() + 42);
    const Bytes cipher42(kNistCipher.begin(), kNistCipher.begin() + 42);
    EXPECT_EQ(cryptCtr(kNistKey, kNistCounter, plain42), cipher42);
    EXPECT_TRUE(cryptCtr(kNistKey, Bytes{}).empty());
}

TEST(PasswordCipher, LoginCounterStartsAtZero) {
    // Zero plaintext under the zero key shows the key stream itself:
    // AES-128 of the counter blocks 0, 1 and 2.
    const Bytes stream = hex("66e94bd4ef8a2c3b884cfa59ca342b2e"
                             "58e2fccefa7e3061367f1d57a4e7455a"
                             "0388dace60b6a392f328c2b971b2fe78");
    EXPECT_EQ(cryptCtr(AesKey{}, Bytes(48, 0)), stream);

    const AesKey key = deriveKey(hexArray<16>("00112233445566778899aabbccddeeff"), 50123);
    const PasswordBuffer clear = passwordBuffer("correct horse");
    const Bytes cipher = cryptCtr(key, clear);
    EXPECT_NE(cipher, Bytes(clear.begin(), clear.end()));
    EXPECT_EQ(cryptCtr(key, cipher), Bytes(clear.begin(), clear.end()));
}

TEST(PasswordCipher, KeyDerivationMixesInThePort) {
    const KeyBase base = hexArray<16>("000102030405060708090a0b0c0d0e0f");
    EXPECT_EQ(deriveKey(base, 0), base);
    // Even positions take 0x34 (low byte), odd positions 0x12 (high byte).
    EXPECT_EQ(deriveKey(base, 0x1234), hexArray<16>("34133611301732153c1b3e19381f3a1d"));
}

TEST(PasswordCipher, TwoPortsGiveDifferentCiphertexts) {
    const KeyBase base = hexArray<16>("00112233445566778899aabbccddeeff");
    const PasswordBuffer clear = passwordBuffer("secret");
    EXPECT_NE(cryptCtr(deriveKey(base, 50000), clear), cryptCtr(deriveKey(base, 50001), clear));
    EXPECT_NE(cryptCtr(deriveKey(base, 0x0100), clear), cryptCtr(deriveKey(base, 0x0001), clear));
}

TEST(PasswordCipher, ParsesOnlyThirtyTwoHexDigits) {
    EXPECT_EQ(parseKeyBase("000102030405060708090a0b0c0d0e0f"),
              hexArray<16>("000102030405060708090a0b0c0d0e0f"));
    EXPECT_EQ(parseKeyBase("2B7E151628AED2A6ABF7158809CF4F3C"), kNistKey);

    const char* const refused[] = {
        "000102030405060708090a0b0c0d0e0",   // 31 digits
        "000102030405060708090a0b0c0d0e0f0", // 33 digits
        "000102030405060708090a0b0c0d0e0g",  // not hex
        "0x0102030405060708090a0b0c0d0e0f",  // prefix
        " 00102030405060708090a0b0c0d0e0f",  // white space
        "",
    };
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseKeyBase(text), std::nullopt);
    }
}

struct BufferCase {
    const char* what;
    std::string password;
    Bytes expectedStart; // the rest of the 42 bytes is zero
};

TEST(PasswordCipher, PasswordBufferHoldsTwentyUnitsAndATerminator) {
    Bytes twenty;
    for (char c = 'A'; c < 'A' + 20; ++c) {
        twenty.insert(twenty.end(), {static_cast<std::uint8_t>(c), 0});
    }
    Bytes eighteenA;
    for (int i = 0; i < 18; ++i) {
        eighteenA.insert(eighteenA.end(), {'a', 0});
    }
    Bytes withSmiley = eighteenA;
    withSmiley.insert(withSmiley.end(), {0x3D, 0xD8, 0x00, 0xDE}); // U+1F600
    Bytes nineteenA = eighteenA;
    nineteenA.insert(nineteenA.end(), {'a', 0});

    const BufferCase cases[] = {
        {"short", "ab", {'a', 0, 'b', 0}},
        {"empty", "", {}},
        {"non-ASCII", "\xC3\xA9", {0xE9, 0x00}},
        {"20 characters", "ABCDEFGHIJKLMNOPQRST", twenty},
        {"21 characters are cut", "ABCDEFGHIJKLMNOPQRSTU", twenty},
        {"surrogate pair fits", std::string(18, 'a') + "\xF0\x9F\x98\x80", withSmiley},
        {"surrogate pair not split", std::string(19, 'a') + "\xF0\x9F\x98\x80", nineteenA},
    };
    for (const BufferCase& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes expected = c.expectedStart;
        expected.resize(42, 0);
        const PasswordBuffer buffer = passwordBuffer(c.password);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.end()), expected);
    }
}

} // namespace
} // namespace mirx::link
