#pragma once

#include "core/debug_log.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The server's debug filters as the filter editor lists and edits them. The
// word's bit layout is the console's own filter word (log::decodeFilter,
// log::encodeFilter); here are the names of its values.

namespace mirx::model {

class ClientStore;
class LabelTable;

using DebugFilter = log::DecodedFilter;

// Field values that stand for "every".
inline constexpr std::uint32_t kAnyTarget = 7;
inline constexpr std::uint32_t kAnyCategory = 1023;
inline constexpr std::uint32_t kAnySubcategory = 63;
inline constexpr std::uint32_t kAnyIdentifier = 1023;
inline constexpr std::uint32_t kHighestSubcategory = 62;

// "Add" starts from DETAIL with every other field a wildcard.
inline constexpr DebugFilter kNewDebugFilter{3, kAnyTarget, kAnyCategory, kAnySubcategory,
                                             kAnyIdentifier};

// Indexed by the field's value.
inline constexpr std::array<std::string_view, 4> kDebugFilterTypeNames{"ERROR", "WARNING", "INFO",
                                                                       "DETAIL"};
inline constexpr std::array<std::string_view, 5> kDebugFilterTargetNames{
    "MOS", "MCP4Windows", "MDV", "MSA", "Application Update"};
inline constexpr std::array<std::string_view, 25> kDebugFilterCategoryNames{
    "Application Update",
    "Telex Trunking Thread",
    "Telex Trunking Connection Handler",
    "Audio Receive Buffering Thread",
    "Audio Receive Processing Thread",
    "Audio Transmit Processing Thread",
    "System Admin Connection Handler",
    "Client Connection Handler",
    "Audio Mixer Thread",
    "Data Processing Thread",
    "Delec Trunking Thread",
    "Delec Connection Handler",
    "Performance Monitoring",
    "Connection Handler",
    "Client State Handler",
    "RTSP Client Handler",
    "SIP Client Thread",
    "Resiprocate",
    "GeoMapping Thread",
    "Pacific Interactive Connection Handler",
    "Telex Telephone Interface Thread",
    "Telex Telephone Interface Connection Handler",
    "Web Server Thread",
    "Web Socket Thread",
    "WebRTC Peer Thread",
};

enum class DebugFilterColumn { Type, Target, Category, Subcategory, Identifier, Count };
inline constexpr std::size_t kDebugFilterColumnCount =
    static_cast<std::size_t>(DebugFilterColumn::Count);

// One cell of the filter list. A value without a name (a word from the
// server may hold one) shows as its number rather than a wrong name.
std::string debugFilterCell(const DebugFilter& filter, DebugFilterColumn column,
                            const ClientStore& clients);

struct DebugFilterRow {
    std::uint32_t word = 0;
    std::array<std::string, kDebugFilterColumnCount> cells;
};
DebugFilterRow buildDebugFilterRow(std::uint32_t word, const ClientStore& clients);

// One entry of an add/edit drop-down list.
struct DebugFilterChoice {
    std::uint32_t value = 0;
    std::string text;
    friend bool operator==(const DebugFilterChoice&, const DebugFilterChoice&) = default;
};

// The entries of each drop-down list, in order: every named value, then
// "All" where the field has a wildcard.
std::vector<DebugFilterChoice> debugFilterTypeChoices();
std::vector<DebugFilterChoice> debugFilterTargetChoices();
std::vector<DebugFilterChoice> debugFilterCategoryChoices();
// Every client of local system 0 in label order by its display name, then
// "All".
std::vector<DebugFilterChoice> debugFilterIdentifierChoices(const LabelTable& labels);
// Appends `value` as its number when no entry holds it, so editing a word
// keeps a value the lists have no name for. Returns its position.
std::size_t ensureDebugFilterChoice(std::vector<DebugFilterChoice>& choices, std::uint32_t value);

// The Subcategory edit: "All" (in any case) is the wildcard, else a number
// 0..62; anything else is refused (the field has 6 bits, and 63 means all).
std::optional<std::uint32_t> parseDebugFilterSubcategory(std::string_view text);
// What the edit shows for a value.
std::string debugFilterSubcategoryText(std::uint32_t subcategory);

} // namespace mirx::model
