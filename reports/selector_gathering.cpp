#include "reports/selector_gathering.h"

#include "model/client_types.h"
#include "model/label_info.h"

#include <algorithm>
#include <utility>

namespace mirx::reports {

std::vector<int> selectorReportClients(const model::LabelTable& labels) {
    std::vector<int> clients;
    int reference = model::kNoLabel;
    while (labels.Next(reference, static_cast<int>(model::LabelKind::Client), false) !=
           model::kNoLabel) {
        const model::LabelInfo* label = labels.Find(reference);
        if (label == nullptr) {
            continue;
        }
        const int type = label->get(model::LabelInfo::kClientType);
        const int index = label->get(model::LabelInfo::kIndex);
        if ((model::isControlPanel(type) || model::isDeviceInterface(type) ||
             model::isSipDevice(type)) &&
            index >= 0 && static_cast<std::size_t>(index) < model::kClientsPerSystem) {
            clients.push_back(index);
        }
    }
    return clients;
}

SelectorGathering::SelectorGathering(std::vector<int> clients, bool keepRecords)
    : clients_(std::move(clients))
    , keepRecords_(keepRecords)
    , last_(std::make_unique<model::SelectorAssignments>()) {}

std::optional<int> SelectorGathering::awaited() const {
    if (done()) {
        return std::nullopt;
    }
    return clients_[next_];
}

bool SelectorGathering::take(int clientIndex, const model::SelectorAssignments& record,
                             std::size_t length) {
    if (done() || clientIndex != clients_[next_]) {
        return false;
    }
    model::SelectorAssignments* kept = last_.get();
    if (keepRecords_) {
        // Made in place: the record is large.
        kept = &gathered_.records.try_emplace(clientIndex).first->second;
    }
    // Only what arrived: a short record must not lend entries from the one
    // the buffer held before it.
    *kept = {};
    const std::size_t received = std::min(length, model::SelectorAssignments::kSize);
    kept->assignPrefix(record.view().first(received));
    const std::size_t carried = received < model::SelectorAssignments::kHeadSize
                                    ? 0
                                    : (received - model::SelectorAssignments::kHeadSize) /
                                          model::SelectorAssignments::kEntrySize;
    if (kept->entryCount() > carried) {
        kept->set(model::SelectorAssignments::kEntryCount, carried);
    }
    lastTaken_ = kept;
    silentRun_ = 0;
    ++next_;
    return true;
}

bool SelectorGathering::takeFrom(const model::ClientStore& store) {
    return take(store.selectorAssignmentsClient(), store.selectorAssignments(),
                store.selectorAssignmentsLength());
}

void SelectorGathering::giveUp() {
    if (done()) {
        return;
    }
    gathered_.missing.push_back(clients_[next_]);
    ++next_;
    if (++silentRun_ >= kSilentLimit) {
        gathered_.missing.insert(gathered_.missing.end(),
                                 clients_.begin() + static_cast<std::ptrdiff_t>(next_),
                                 clients_.end());
        next_ = clients_.size();
    }
}

} // namespace mirx::reports
