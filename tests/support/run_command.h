#pragma once

#include <string>
#include <utility>

namespace mirx::test {

// `text` in single quotes for /bin/sh.
std::string shellQuote(const std::string& text);

// Runs a shell command; its wait status and standard output.
std::pair<int, std::string> runCommand(const std::string& command);

} // namespace mirx::test
