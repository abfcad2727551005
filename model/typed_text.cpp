#include "model/typed_text.h"

#include <algorithm>

namespace mirx::model {
namespace {

char foldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string typedName(std::string_view typed) {
    std::string text(typed);
    std::replace(text.begin(), text.end(), '"', '\'');
    return text;
}

std::string typedLoginName(std::string_view typed) {
    std::string text = typedName(typed);
    std::replace(text.begin(), text.end(), ' ', '_');
    return text;
}

int compareCaseBlind(std::string_view left, std::string_view right) {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto a = static_cast<unsigned char>(foldCase(left[i]));
        const auto b = static_cast<unsigned char>(foldCase(right[i]));
        if (a != b) {
            return a < b ? -1 : 1;
        }
    }
    if (left.size() == right.size()) {
        return 0;
    }
    return left.size() < right.size() ? -1 : 1;
}

} // namespace mirx::model
