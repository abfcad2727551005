#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// A fixed set of N bits, bit b in byte b / 8 under mask 1 << (b % 8); on the
// wire a set is just its bytes. Besides the bytes the set remembers whether
// it is known to be empty, so that "is anything set?" usually needs no scan.

namespace mirx::model {

enum class BitSetState {
    Empty,        // every bit known to be clear
    NonEmpty,     // at least one bit known to be set
    Undetermined, // the bytes changed in a way that was not followed
};

template <std::size_t N>
class BitSet {
public:
    static constexpr std::size_t kBits = N;
    static constexpr std::size_t kBytes = (N + 7) / 8;

    static constexpr std::size_t byteSize() { return kBytes; }
    BitSetState state() const { return state_; }

    void clearAll() {
        bytes_.fill(0);
        state_ = BitSetState::Empty;
    }

    // Only the N bits; padding bits of the last byte stay clear.
    void setAll() {
        bytes_.fill(0xFF);
        if constexpr (N % 8 != 0) {
            bytes_[kBytes - 1] = static_cast<std::uint8_t>((1u << (N % 8)) - 1);
        }
        state_ = BitSetState::NonEmpty;
    }

    // Bit numbers outside 0..N-1 are ignored.
    void setBit(int bit) {
        if (!inRange(bit)) {
            return;
        }
        byteOf(bit) |= maskOf(bit);
        state_ = BitSetState::NonEmpty;
    }

    // Whether the set is now empty is left open until the next full search.
    void clearBit(int bit) {
        if (!inRange(bit)) {
            return;
        }
        byteOf(bit) &= static_cast<std::uint8_t>(~maskOf(bit));
        state_ = BitSetState::Undetermined;
    }

    bool test(int bit) const { return inRange(bit) && (byteOf(bit) & maskOf(bit)) != 0; }

    // The lowest set bit above `after` (-1 starts at bit 0), or -1. A search
    // from -1 settles an undetermined state either way.
    int nextSetBit(int after) {
        if (state_ == BitSetState::Empty) {
            return -1;
        }
        const bool full = after < 0;
        for (std::size_t bit = full ? 0 : static_cast<std::size_t>(after) + 1; bit < N; ++bit) {
            if ((bytes_[bit / 8] & (1u << (bit % 8))) != 0) {
                if (full) {
                    state_ = BitSetState::NonEmpty;
                }
                return static_cast<int>(bit);
            }
        }
        if (full && state_ == BitSetState::Undetermined) {
            state_ = BitSetState::Empty;
        }
        return -1;
    }

    // For sending.
    std::span<const std::uint8_t> bytes() const { return bytes_; }

    // For receiving: the caller writes the bytes, so the state is no longer known.
    std::span<std::uint8_t> receiveBytes() {
        state_ = BitSetState::Undetermined;
        return bytes_;
    }

    // Copies at most byteSize() bytes of a payload over the start of the set.
    std::size_t assignPrefix(std::span<const std::uint8_t> payload) {
        const std::size_t n = std::min(payload.size(), kBytes);
        std::copy_n(payload.begin(), n, receiveBytes().begin());
        return n;
    }

private:
    static constexpr bool inRange(int bit) { return bit >= 0 && static_cast<std::size_t>(bit) < N; }
    static constexpr std::uint8_t maskOf(int bit) {
        return static_cast<std::uint8_t>(1u << (static_cast<unsigned>(bit) % 8));
    }
    std::uint8_t& byteOf(int bit) { return bytes_[static_cast<std::size_t>(bit) / 8]; }
    const std::uint8_t& byteOf(int bit) const { return bytes_[static_cast<std::size_t>(bit) / 8]; }

    std::array<std::uint8_t, kBytes> bytes_{};
    BitSetState state_ = BitSetState::Empty;
};

// The console's sets: one bit per client index.
inline constexpr std::size_t kClientSetBits = 1000;
using ClientBitSet = BitSet<kClientSetBits>;
static_assert(ClientBitSet::byteSize() == 125);

extern template class BitSet<kClientSetBits>;

} // namespace mirx::model
