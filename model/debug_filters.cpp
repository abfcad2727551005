#include "model/debug_filters.h"

#include "model/client_list.h"
#include "model/client_store.h"
#include "model/label_table.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace mirx::model {
namespace {

template <std::size_t N>
std::string nameOrNumber(const std::array<std::string_view, N>& names, std::uint32_t value) {
    return value < N ? std::string(names[value]) : std::to_string(value);
}

template <std::size_t N>
std::vector<DebugFilterChoice> namedChoices(const std::array<std::string_view, N>& names) {
    std::vector<DebugFilterChoice> choices;
    choices.reserve(N + 1);
    for (std::size_t i = 0; i < N; ++i) {
        choices.push_back({static_cast<std::uint32_t>(i), std::string(names[i])});
    }
    return choices;
}

std::string clientIndexText(int index) {
    char text[16];
    std::snprintf(text, sizeof text, "N%03d", index + 1);
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::string debugFilterCell(const DebugFilter& filter, DebugFilterColumn column,
                            const ClientStore& clients) {
    switch (column) {
    case DebugFilterColumn::Type:
        return nameOrNumber(kDebugFilterTypeNames, filter.level);
    case DebugFilterColumn::Target:
        return filter.cls == kAnyTarget ? "All" : nameOrNumber(kDebugFilterTargetNames, filter.cls);
    case DebugFilterColumn::Category:
        return filter.group == kAnyCategory ? "All"
                                            : nameOrNumber(kDebugFilterCategoryNames, filter.group);
    case DebugFilterColumn::Subcategory:
        return filter.subgroup == kAnySubcategory ? "ALL" : std::to_string(filter.subgroup);
    case DebugFilterColumn::Identifier: {
        if (filter.item == kAnyIdentifier) {
            return "ALL";
        }
        const int index = static_cast<int>(filter.item);
        if (std::string name = clients.loginName(index); !name.empty()) {
            return name;
        }
        // A client the console holds no credentials for: its index as shown
        // everywhere else; beyond the clients, the number.
        return index < static_cast<int>(kClientsPerSystem) ? clientIndexText(index)
                                                           : std::to_string(index);
    }
    case DebugFilterColumn::Count:
        break;
    }
    return {};
}

DebugFilterRow buildDebugFilterRow(std::uint32_t word, const ClientStore& clients) {
    DebugFilterRow row;
    row.word = word;
    const DebugFilter filter = log::decodeFilter(word);
    for (std::size_t c = 0; c < kDebugFilterColumnCount; ++c) {
        row.cells[c] = debugFilterCell(filter, static_cast<DebugFilterColumn>(c), clients);
    }
    return row;
}

std::vector<DebugFilterChoice> debugFilterTypeChoices() {
    return namedChoices(kDebugFilterTypeNames);
}

std::vector<DebugFilterChoice> debugFilterTargetChoices() {
    auto choices = namedChoices(kDebugFilterTargetNames);
    choices.push_back({kAnyTarget, "All"});
    return choices;
}

std::vector<DebugFilterChoice> debugFilterCategoryChoices() {
    auto choices = namedChoices(kDebugFilterCategoryNames);
    choices.push_back({kAnyCategory, "All"});
    return choices;
}

std::vector<DebugFilterChoice> debugFilterIdentifierChoices(const LabelTable& labels) {
    std::vector<DebugFilterChoice> choices;
    for (const int index : clientIndexesInOrder(labels)) {
        std::string name = labels.DisplayName(index);
        if (name.empty()) {
            // An entry without text could not be told apart or picked.
            name = clientIndexText(index);
        }
        choices.push_back({static_cast<std::uint32_t>(index), std::move(name)});
    }
    choices.push_back({kAnyIdentifier, "All"});
    return choices;
}

std::size_t ensureDebugFilterChoice(std::vector<DebugFilterChoice>& choices, std::uint32_t value) {
    const auto found =
        std::find_if(choices.begin(), choices.end(),
                     [value](const DebugFilterChoice& c) { return c.value == value; });
    if (found != choices.end()) {
        return static_cast<std::size_t>(found - choices.begin());
    }
    choices.push_back({value, std::to_string(value)});
    return choices.size() - 1;
}

std::optional<std::uint32_t> parseDebugFilterSubcategory(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    // The list shows the wildcard as "ALL" and the edit as "All": both read back.
    if (text.size() == 3 && (text[0] == 'A' || text[0] == 'a') &&
        (text[1] == 'L' || text[1] == 'l') && (text[2] == 'L' || text[2] == 'l')) {
        return kAnySubcategory;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value > kHighestSubcategory) {
        return std::nullopt;
    }
    return value;
}

std::string debugFilterSubcategoryText(std::uint32_t subcategory) {
    return subcategory == kAnySubcategory ? "All" : std::to_string(subcategory);
}

} // namespace mirx::model
