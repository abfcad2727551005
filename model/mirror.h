#pragma once

#include "model/client_store.h"
#include "model/label_table.h"
#include "model/log_records.h"
#include "model/membership_store.h"
#include "model/sip_registrations.h"
#include "model/sound_files.h"
#include "model/statistics.h"
#include "model/system_settings.h"
#include "model/ui_settings.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

// The console's copy of the server's configuration and of the answers views
// wait for. The connection thread stores each message under one lock; a view
// reads or edits under the same lock, one operation at a time. Arrival flags
// are atomics inside the stores, so views can poll them without the lock.

namespace mirx::model {

struct MirrorData {
    LabelTable labels;
    ClientStore clients;
    MembershipStore membership;
    SystemSettings systemSettings;
    UserInterfaceSettings userInterfaceSettings;
    // Latest answers of the monitoring views.
    LogChunk debugLogChunk;
    LogChunk activityLogChunk;
    StatisticsTable statistics;
    SipRegistrationList sipRegistrations;
    std::vector<std::uint32_t> debugFilters;
    FileNameList graphicFiles;
    // Graphic file lists received in this run: a view that asked twice
    // knows when the second answer is in, even if one flag covered both.
    std::uint32_t graphicFileLists = 0;
};

// Set by the link after storing an answer, taken by the view that waits.
class ArrivalFlag {
public:
    void raise() { flag_.store(true, std::memory_order_release); }
    bool take() { return flag_.exchange(false, std::memory_order_acq_rel); }
    bool peek() const { return flag_.load(std::memory_order_acquire); }

private:
    std::atomic<bool> flag_{false};
};

// Raised by the link after storing, for news that several views follow at
// once. A flag taken by one view is gone for the others; here each reader
// keeps its own place (ChangeCursor).
class ChangeCount {
public:
    void raise() { count_.fetch_add(1, std::memory_order_acq_rel); }
    std::uint64_t count() const { return count_.load(std::memory_order_acquire); }

private:
    std::atomic<std::uint64_t> count_{0};
};

// One reader's place in a ChangeCount; starts at the changes so far.
class ChangeCursor {
public:
    explicit ChangeCursor(const ChangeCount& changes)
        : changes_(&changes)
        , seen_(changes.count()) {}
    // True once for any number of changes since the last look.
    bool take() {
        const std::uint64_t now = changes_->count();
        const bool changed = now != seen_;
        seen_ = now;
        return changed;
    }
    // Passes over the changes so far: a waiter calls it before its request,
    // so only what comes after counts.
    void catchUp() { seen_ = changes_->count(); }

private:
    const ChangeCount* changes_;
    std::uint64_t seen_;
};

struct MirrorFlags {
    ArrivalFlag systemSettings;
    ArrivalFlag userInterfaceSettings;
    ArrivalFlag debugLog;
    ArrivalFlag activityLog;
    // The statistics view and the connection status report may wait at once.
    ChangeCount statistics;
    ArrivalFlag sipRegistrations;
    ArrivalFlag debugFilters;
    ArrivalFlag graphicFiles;
    // Any label or the system list changed: the client, group and remote
    // lists, open side by side, each redraw on it.
    ChangeCount labels;
};

class Mirror {
public:
    Mirror();
    ~Mirror();
    Mirror(const Mirror&) = delete;
    Mirror& operator=(const Mirror&) = delete;

    // Runs `f` with the lock held; keep it short.
    template <typename F>
    decltype(auto) read(F&& f) const {
        std::lock_guard lock(lock_);
        return f(static_cast<const MirrorData&>(*data_));
    }
    template <typename F>
    decltype(auto) edit(F&& f) {
        std::lock_guard lock(lock_);
        return f(*data_);
    }

    // Arrival flags of the answers kept here; the client and membership
    // stores keep theirs beside their records.
    MirrorFlags& flags() { return flags_; }
    // The stores' own flags are atomics: polled without the lock.
    ClientStore& clientFlags() { return data_->clients; }
    MembershipStore& membershipFlags() { return data_->membership; }

private:
    mutable std::mutex lock_;
    std::unique_ptr<MirrorData> data_;
    MirrorFlags flags_;
};

} // namespace mirx::model
