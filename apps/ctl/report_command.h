#pragma once

#include "apps/ctl/ctl_command_table.h"
#include "apps/ctl/monitor_commands.h"
#include "reports/report_texts.h"

#include <atomic>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// mirx-ctl report: the three report texts of the report views, gathered the
// same way (one request at a time, each answer awaited) and made by the same
// functions, for scheduled reporting.

namespace mirx::ctl {

enum class ReportKind { ConnectionStatus, PartyLines, Selectors };

// "connection-status", "party-lines" or "selectors"; nothing for another word.
std::optional<ReportKind> reportKindNamed(std::string_view name);

struct GatheredReport {
    std::string text;
    // Clients asked for a selector record, and those whose record never came.
    std::size_t asked = 0;
    std::size_t missing = 0;
};

// Asks the server for what the report needs and makes its text, stamped
// `localTime`. A client whose selector record does not come within
// `answerTimeoutMs` is listed as missing and the next one is asked. Nothing
// when the statistics answer did not come, the link ended or `stop` was set.
std::optional<GatheredReport> gatherReport(link::ServerLink& link, model::Mirror& mirror,
                                           ReportKind kind, const std::tm& localTime,
                                           const std::atomic<bool>& stop,
                                           int answerTimeoutMs = kMonitorAnswerTimeoutMs);

int reportCommand(CtlSession& session);

} // namespace mirx::ctl
