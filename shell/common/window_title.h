#pragma once

#include <string_view>

#include <QString>

namespace mirx::shell {

// Every view's title: the product word and its caption, with " - <profile>"
// when a profile name is set.
QString windowTitle(const QString& caption, std::string_view profile);

inline constexpr const char* kProductWord = "MIRX";
inline constexpr const char* kMainCaption = "System Administration";

} // namespace mirx::shell
