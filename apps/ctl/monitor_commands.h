#pragma once

#include "apps/ctl/ctl_command_table.h"
#include "reports/client_statistics.h"
#include "reports/sip_registrations_text.h"
#include "reports/text_table.h"

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// mirx-ctl statistics and sip-registrations: the lists of the statistics and
// SIP registrations views, built by the same code, printed as a table, CSV
// or JSON.

namespace mirx::ctl {

inline constexpr int kMonitorAnswerTimeoutMs = 5000;

// "table", "csv" or "json"; nothing for another word.
std::optional<std::string> formatTextTable(const reports::TextTableView& table,
                                           std::string_view format);

// Asks for the statistics table once and waits for the answer; false when
// none came in time.
bool requestStatistics(link::ServerLink& link, model::Mirror& mirror, const std::atomic<bool>& stop,
                       int timeoutMs = kMonitorAnswerTimeoutMs);

// Asks for the statistics table once and takes the answer into `history`;
// the rows the filter shows, or nothing when no answer came in time.
std::optional<std::vector<reports::StatisticsRow>>
fetchStatisticsRows(link::ServerLink& link, model::Mirror& mirror,
                    reports::StatisticsHistory& history, const reports::StatisticsFilter& filter,
                    const std::atomic<bool>& stop, int timeoutMs = kMonitorAnswerTimeoutMs);

// Asks for the registrations once; nothing when no answer came in time.
std::optional<std::vector<reports::SipRow>> fetchSipRows(link::ServerLink& link,
                                                         model::Mirror& mirror, bool externalOnly,
                                                         const std::atomic<bool>& stop,
                                                         int timeoutMs = kMonitorAnswerTimeoutMs);

// In the order the view opens with: by the first column.
std::vector<reports::StatisticsRow> sortedByFirstColumn(std::vector<reports::StatisticsRow> rows);

// What `mirx-ctl statistics` prints of the rows: in that order, the columns
// without /Debug, in `format` as formatTextTable; nothing for another word.
std::optional<std::string> statisticsText(std::vector<reports::StatisticsRow> rows,
                                          std::string_view format);

int statisticsCommand(CtlSession& session);
int sipRegistrationsCommand(CtlSession& session);

} // namespace mirx::ctl
