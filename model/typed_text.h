#pragma once

#include <string>
#include <string_view>

// What the console stores of a text an administrator typed. Server records
// and command files quote names with double quotes, so a typed double quote
// becomes a single quote; login names cannot hold blanks, which become
// underscores. Texts are UTF-8.

namespace mirx::model {

// Names and descriptions.
std::string typedName(std::string_view typed);
// Login names.
std::string typedLoginName(std::string_view typed);

// Negative, zero or positive: `left` before, equal to or after `right`,
// ignoring the case of ASCII letters (lists sort text columns this way).
int compareCaseBlind(std::string_view left, std::string_view right);

} // namespace mirx::model
