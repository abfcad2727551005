#pragma once

#include "site/site.h"

#include <cstddef>
#include <string>
#include <vector>

// How the simulated server writes its log lines into the chunks it sends:
// local time, two blanks, the text, a line end.

namespace mirx::sim {

std::string logLinesText(const std::vector<site::LogLine>& lines, std::size_t begin,
                         std::size_t end);

} // namespace mirx::sim
