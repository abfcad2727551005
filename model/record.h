#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

// Fixed-size little-endian records, exactly as they travel on the wire.
// A record is a byte array; each field is a constexpr descriptor naming its
// offset and width, so every layout is written down once and shared by the
// console, the simulator and the tests:
//
//   struct AudioSettings : rec::Record<50> {
//       static constexpr rec::Scalar<std::uint16_t> kSampleRate{2};
//   };
//   audio.get(AudioSettings::kSampleRate);

namespace mirx::rec {

// A little-endian integer or IEEE double at `offset`.
template <typename T>
struct Scalar {
    static_assert(std::is_arithmetic_v<T>);
    std::size_t offset;
};

// UTF-16LE text in `units` code units. At most `maxChars` characters
// (0: units - 1, always leaving room for the terminator); shorter texts are
// terminated and zero-padded.
struct Utf16Text {
    std::size_t offset;
    std::size_t units;
    std::size_t maxChars = 0;
    constexpr std::size_t limit() const { return maxChars != 0 ? maxChars : units - 1; }
};

// 8-bit text in `bytes` bytes, same rules as Utf16Text.
struct AsciiText {
    std::size_t offset;
    std::size_t bytes;
    std::size_t maxChars = 0;
    constexpr std::size_t limit() const { return maxChars != 0 ? maxChars : bytes - 1; }
};

// Raw bytes carried unchanged.
struct Bytes {
    std::size_t offset;
    std::size_t size;
};

template <typename T>
constexpr std::size_t endOf(Scalar<T> f) {
    return f.offset + sizeof(T);
}
constexpr std::size_t endOf(Utf16Text f) {
    return f.offset + 2 * f.units;
}
constexpr std::size_t endOf(AsciiText f) {
    return f.offset + f.bytes;
}
constexpr std::size_t endOf(Bytes f) {
    return f.offset + f.size;
}

// For static_asserts next to each layout.
template <typename F>
constexpr bool fits(F field, std::size_t recordSize) {
    return endOf(field) <= recordSize;
}

// --- access on any byte span; the caller guarantees the field fits ---

template <typename T>
T get(std::span<const std::uint8_t> bytes, Scalar<T> f) {
    using U = std::conditional_t<
        sizeof(T) == 1, std::uint8_t,
        std::conditional_t<sizeof(T) == 2, std::uint16_t,
                           std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;
    U raw = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        raw |= static_cast<U>(static_cast<U>(bytes[f.offset + i]) << (8 * i));
    }
    return std::bit_cast<T>(raw);
}

template <typename T>
void set(std::span<std::uint8_t> bytes, Scalar<T> f, T value) {
    using U = std::conditional_t<
        sizeof(T) == 1, std::uint8_t,
        std::conditional_t<sizeof(T) == 2, std::uint16_t,
                           std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;
    const U raw = std::bit_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes[f.offset + i] = static_cast<std::uint8_t>(raw >> (8 * i));
    }
}

std::string get(std::span<const std::uint8_t> bytes, Utf16Text f);
// The same text appended to `out`: lists of a thousand names build their
// rows without a string per name.
void appendTo(std::string& out, std::span<const std::uint8_t> bytes, Utf16Text f);
// Cuts to the field's limit without splitting a character; returns false
// when the text had to be cut.
bool set(std::span<std::uint8_t> bytes, Utf16Text f, std::string_view utf8);

std::string get(std::span<const std::uint8_t> bytes, AsciiText f);
// Characters outside 8-bit ASCII become '?'.
bool set(std::span<std::uint8_t> bytes, AsciiText f, std::string_view text);

inline std::span<const std::uint8_t> get(std::span<const std::uint8_t> bytes, Bytes f) {
    return bytes.subspan(f.offset, f.size);
}

// Bit `bit` of the unsigned field.
template <typename T>
bool testBit(std::span<const std::uint8_t> bytes, Scalar<T> f, unsigned bit) {
    return ((static_cast<std::uint64_t>(get(bytes, f)) >> bit) & 1u) != 0;
}

template <typename T>
void setBit(std::span<std::uint8_t> bytes, Scalar<T> f, unsigned bit, bool on) {
    auto v = static_cast<std::uint64_t>(get(bytes, f));
    v = on ? (v | (std::uint64_t{1} << bit)) : (v & ~(std::uint64_t{1} << bit));
    set(bytes, f, static_cast<T>(v));
}

// A record of N bytes. Derived types add their field descriptors.
template <std::size_t N>
struct Record {
    static constexpr std::size_t kSize = N;
    std::array<std::uint8_t, N> bytes{};

    std::span<const std::uint8_t> view() const { return bytes; }
    std::span<std::uint8_t> view() { return bytes; }
    const std::uint8_t* data() const { return bytes.data(); }
    std::uint8_t* data() { return bytes.data(); }

    template <typename T>
    T get(Scalar<T> f) const {
        return rec::get(view(), f);
    }
    template <typename T, typename V>
    void set(Scalar<T> f, V value) {
        rec::set(view(), f, static_cast<T>(value));
    }
    std::string get(Utf16Text f) const { return rec::get(view(), f); }
    void appendTo(std::string& out, Utf16Text f) const { rec::appendTo(out, view(), f); }
    // The text field holds no character.
    bool empty(Utf16Text f) const { return bytes[f.offset] == 0 && bytes[f.offset + 1] == 0; }
    bool set(Utf16Text f, std::string_view text) { return rec::set(view(), f, text); }
    std::string get(AsciiText f) const { return rec::get(view(), f); }
    bool set(AsciiText f, std::string_view text) { return rec::set(view(), f, text); }
    std::span<const std::uint8_t> get(Bytes f) const { return rec::get(view(), f); }
    template <typename T>
    bool testBit(Scalar<T> f, unsigned bit) const {
        return rec::testBit(view(), f, bit);
    }
    template <typename T>
    void setBit(Scalar<T> f, unsigned bit, bool on) {
        rec::setBit(view(), f, bit, on);
    }

    // Copies at most N bytes of a received payload over the start of the
    // record; the rest stays as it was. Returns the bytes copied.
    std::size_t assignPrefix(std::span<const std::uint8_t> payload) {
        const std::size_t n = payload.size() < N ? payload.size() : N;
        if (n != 0) {
            std::memcpy(bytes.data(), payload.data(), n);
        }
        return n;
    }

    friend bool operator==(const Record&, const Record&) = default;
};

} // namespace mirx::rec
