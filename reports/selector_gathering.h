#pragma once

#include "model/client_store.h"
#include "model/label_table.h"
#include "reports/report_texts.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

// Gathering the selector records of the party line membership and selector
// assignments reports: one request at a time, each answer awaited. The
// caller owns the waiting (a view's timer or signal, mirx-ctl's wait on the
// link) and the time-out; this only keeps whose answer is awaited and what
// came, so a client that never answers is listed, not waited for forever.
//
//   SelectorGathering g(selectorReportClients(labels));
//   while (auto client = g.awaited()) {
//       post ADMIN_SELECTOR_ASSIGNMENTS_REQUEST for *client
//       on each arrival: g.takeFrom(store) (true: its answer, go on)
//       on time-out: g.giveUp()
//   }
//   text = selectorAssignmentsReport(labels, g.gathered(), now)

namespace mirx::reports {

// Every client of local system 0 whose type is below 150 (control panels,
// device interfaces, SIP devices), in label order.
std::vector<int> selectorReportClients(const model::LabelTable& labels);

class SelectorGathering {
public:
    // With `keepRecords` cleared, gathered() holds no records, only the
    // missing clients, and lastTaken() the last record taken: for a caller
    // that writes each record as it comes (SelectorReportWriter) and would
    // otherwise hold 11 KB per client for nothing.
    explicit SelectorGathering(std::vector<int> clients, bool keepRecords = true);

    // The client whose record is awaited; nothing once every client is done.
    std::optional<int> awaited() const;
    bool done() const { return next_ >= clients_.size(); }
    // Clients done (answered or given up) and in all, for progress.
    std::size_t doneCount() const { return next_; }
    std::size_t clientCount() const { return clients_.size(); }

    // A record of `length` bytes arrived answering `clientIndex`. True when
    // it answers the awaited client: it is kept (only the entries it
    // carried) and the next client is awaited. An answer for another client
    // (a late one after a give-up) is dropped.
    bool take(int clientIndex, const model::SelectorAssignments& record, std::size_t length);
    // The store's last client record, as take().
    bool takeFrom(const model::ClientStore& store);
    // The awaited client's answer did not come in time: it is listed as
    // missing and the next client is awaited. After kSilentLimit give-ups
    // in a row the server is taken to have stopped answering: every client
    // left is listed as missing at once, so a report of a thousand clients
    // does not wait out a time-out for each.
    void giveUp();
    static constexpr int kSilentLimit = 3;

    // The record the last successful take() kept, cut as it keeps them;
    // valid until the next take().
    const model::SelectorAssignments& lastTaken() const { return *lastTaken_; }

    const GatheredSelectors& gathered() const { return gathered_; }
    GatheredSelectors takeGathered() { return std::move(gathered_); }

private:
    std::vector<int> clients_;
    std::size_t next_ = 0;
    int silentRun_ = 0;
    bool keepRecords_;
    GatheredSelectors gathered_;
    // The buffer records go to when they are not kept.
    std::unique_ptr<model::SelectorAssignments> last_;
    const model::SelectorAssignments* lastTaken_ = last_.get();
};

} // namespace mirx::reports
