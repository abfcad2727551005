#pragma once

#include "model/record.h"

#include <cstddef>
#include <cstdint>

// Names of the systems the server knows, shown next to labels. The server
// sends the whole list as consecutive 100-byte entries.

namespace mirx::model {

struct SystemListEntry : rec::Record<100> {
    static constexpr rec::Scalar<std::uint8_t> kSystemClass{0};
    static constexpr rec::Scalar<std::uint8_t> kSystemNumber{1};
    static constexpr rec::Utf16Text kName{2, 49};

    // Class and number of an entry that names no system.
    static constexpr std::uint8_t kNoSystem = 255;
};

static_assert(rec::fits(SystemListEntry::kSystemClass, SystemListEntry::kSize));
static_assert(rec::fits(SystemListEntry::kSystemNumber, SystemListEntry::kSize));
static_assert(rec::endOf(SystemListEntry::kName) == SystemListEntry::kSize);

inline constexpr std::size_t kSystemListEntries = 96;
inline constexpr std::size_t kSystemListBytes = kSystemListEntries * SystemListEntry::kSize;
static_assert(kSystemListBytes == 9600);

// Lookup of a list position by system class x 255 + system number; valid for
// classes 0..2 and numbers 0..254 (255 names no system).
inline constexpr std::size_t kSystemLookupSize = std::size_t{3} * 255;

constexpr std::size_t systemLookupPosition(std::uint8_t systemClass, std::uint8_t systemNumber) {
    return std::size_t{systemClass} * 255 + systemNumber;
}

// An entry as it stands before the server's list arrives.
inline SystemListEntry emptySystemListEntry() {
    SystemListEntry entry;
    entry.set(SystemListEntry::kSystemClass, SystemListEntry::kNoSystem);
    entry.set(SystemListEntry::kSystemNumber, SystemListEntry::kNoSystem);
    return entry;
}

} // namespace mirx::model
