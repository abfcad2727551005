#pragma once

#include "model/label_table.h"
#include "model/selector_assignments.h"
#include "model/statistics.h"

#include <cstddef>
#include <ctime>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The three plain-text reports (connection status, party line membership,
// selector assignments) as pure functions of what the console gathered. The
// report views and `mirx-ctl report` show the same texts. Texts are UTF-8
// with "\n" line ends; the column widths count UTF-16 code units (as the
// text box shows them), not bytes, and a cut never splits a character.

namespace mirx::reports {

// "%02d/%02d/%02d %02d:%02d:%02d" of month, day, four-digit year, hour,
// minute and second of a local time.
std::string reportTimeStamp(const std::tm& localTime);
// The local time of `when`, for reportTimeStamp.
std::tm reportLocalTime(std::time_t when);

// --- connection status ---

struct ConnectionStatusRow {
    int clientIndex = -1;
    // 10, 50, 100 or 150, the first sort key.
    int typeClass = 0;
    // The second sort key, compared without regard to case.
    std::string displayName;
    // The cells, untrimmed; the line cuts them to their columns.
    std::string type;
    std::string client;
    std::string description;
    std::string state;
    std::string duration;
    std::string address;
    std::string version;
};

// One row per client of local system 0 with its entry of the statistics
// answer, sorted by type class, then display name (ties by client index).
std::vector<ConnectionStatusRow> connectionStatusRows(const model::LabelTable& labels,
                                                      const model::StatisticsTable& statistics);
// "%-5.5s  %-20.20s  %-50.50s  %8.8s  %13.13s  %-15.15s  %-30.30s\n".
std::string connectionStatusLine(const ConnectionStatusRow& row);
// Title line with the time stamp, the column line, one line per row.
std::string connectionStatusReport(const model::LabelTable& labels,
                                   const model::StatisticsTable& statistics,
                                   const std::tm& localTime);

// --- party line membership and selector assignments ---

// The selector records the console gathered, one request per client.
struct GatheredSelectors {
    // Client index -> the record as received.
    std::map<int, model::SelectorAssignments> records;
    // Clients whose record never arrived, in the order they were asked for.
    std::vector<int> missing;
};

// "(TALK only)", "(LISTEN only)", "" for split talk/listen; "(function %d)"
// for a code the console does not know.
std::string selectorFunctionText(int function);

// Per party line of local system 0 with members, in party line order, its
// header and one line per member entry (function listen only or split
// talk/listen) in client order; then the missing clients.
std::string partyLineMembershipReport(const model::LabelTable& labels,
                                      const GatheredSelectors& gathered, const std::tm& localTime);

// Per client with at least one entry, in client index order, its header
// (the count includes layout entries) and one line per label entry; then
// the missing clients.
std::string selectorAssignmentsReport(const model::LabelTable& labels,
                                      const GatheredSelectors& gathered, const std::tm& localTime);

enum class SelectorReport { PartyLineMembership, SelectorAssignments };

// The two reports above written client by client as the records come, so a
// gatherer can write one client's part while it waits for the next answer.
// The whole-text functions are this writer over the gathered records.
class SelectorReportWriter {
public:
    SelectorReportWriter(SelectorReport kind, const std::tm& localTime);
    // One client's record; clients in client index order.
    void add(const model::LabelTable& labels, int client, const model::SelectorAssignments& record);
    // The whole text, the missing clients after the rest. Call once.
    std::string finish(const model::LabelTable& labels, const std::vector<int>& missing);

private:
    struct Members {
        // One line per member entry, in the order found.
        std::string lines;
        int count = 0;
    };

    void addMemberships(const model::LabelTable& labels, int client,
                        const model::SelectorAssignments& record);
    void addSelectors(const model::LabelTable& labels, int client,
                      const model::SelectorAssignments& record);

    SelectorReport kind_;
    std::string text_;
    // Party line membership: per party line index of local system 0.
    std::vector<Members> members_;
};

} // namespace mirx::reports
