#include "apps/ctl/export_memberships.h"

#include "apps/ctl/wait_for_answer.h"
#include "commandfiles/answer_guard.h"
#include "core/message_ids.h"
#include "model/membership_store.h"

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

namespace mirx::ctl {
namespace {

using commandfiles::AwaitedAnswer;
using model::MembershipSet;

struct Group {
    int labelNumber;
    int index;
};

std::vector<Group> localGroups(const model::MirrorData& d, model::LabelKind kind) {
    std::vector<Group> groups;
    const std::size_t bound = kind == model::LabelKind::PartyLine ? model::kPartyLinesPerSystem
                                                                  : model::kFixedGroupsPerSystem;
    int reference = model::kNoLabel;
    for (std::size_t visited = 0;
         visited < bound && d.labels.Next(reference, static_cast<int>(kind), false) != -1;
         ++visited) {
        if (const model::LabelInfo* label = d.labels.Find(reference)) {
            const int index = label->get(model::LabelInfo::kIndex);
            if (index >= 0 && static_cast<std::size_t>(index) < bound) {
                groups.push_back({reference, index});
            }
        }
    }
    return groups;
}

class Fetcher {
public:
    Fetcher(link::ServerLink& link, model::Mirror& mirror, commandfiles::AnswerGuard& guard,
            const ExportOptions& options, const std::atomic<bool>& stop, std::string& error)
        : link_(link)
        , mirror_(mirror)
        , guard_(guard)
        , options_(options)
        , stop_(stop)
        , error_(error) {}

    ~Fetcher() { guard_.release(this); }

    using Use = std::function<std::string(const model::MembershipStore&)>;

    struct Request {
        AwaitedAnswer kind;
        std::uint16_t id;
        std::uint16_t second;
        std::string what;
        // Reads the store; returns why it could not, if it could not.
        Use use;
    };

    // Posts the requests back to back and reads their answers in turn. Each
    // kind has its own buffer and flag, so requests of different kinds (a
    // client's blocked and forced listens) may be out together; party lines
    // and fixed groups share a flag and go one at a time.
    // `requests` is not empty and names each kind at most once.
    bool exchange(const std::vector<Request>& requests) {
        if (!acquire(requests.front().kind)) {
            error_ = "the answer guard stayed taken before " + requests.front().what;
            return false;
        }
        guard_.dropStaleAnswers(this);
        for (const Request& r : requests) {
            if (!link_.requestQueue().PostCopy(r.id, r.second, nullptr, 0)) {
                error_ = "the request for " + r.what + " could not be sent";
                return false;
            }
        }
        for (const Request& r : requests) {
            // The same holder names the kind it reads next; an answer that
            // already arrived stays raised.
            guard_.tryAcquire(r.kind, this);
            if (!wait([this] { return guard_.takeAnswer(this); })) {
                error_ = "no answer arrived for " + r.what;
                return false;
            }
            const std::string problem =
                mirror_.read([&](const model::MirrorData& d) { return r.use(d.membership); });
            if (!problem.empty()) {
                error_ = r.what + " could not be read whole: " + problem;
                return false;
            }
        }
        return true;
    }

private:
    bool acquire(AwaitedAnswer kind) {
        return wait([&] { return guard_.tryAcquire(kind, this); });
    }

    bool wait(const std::function<bool()>& take) {
        return waitForAnswer(take, link_, options_.answerTimeoutMs, stop_);
    }

    link::ServerLink& link_;
    model::Mirror& mirror_;
    commandfiles::AnswerGuard& guard_;
    const ExportOptions& options_;
    const std::atomic<bool>& stop_;
    std::string& error_;
};

bool anySet(const model::ClientBitSet& set) {
    for (const std::uint8_t byte : set.bytes()) {
        if (byte != 0) {
            return true;
        }
    }
    return false;
}

} // namespace

bool fetchMemberships(link::ServerLink& link, model::Mirror& mirror,
                      commandfiles::AnswerGuard& guard, const std::vector<ClientRef>& clients,
                      const ExportOptions& options, const std::atomic<bool>& stop, site::Site& site,
                      std::string& error) {
    const auto [partyLines, fixedGroups] = mirror.read([](const model::MirrorData& d) {
        return std::pair{localGroups(d, model::LabelKind::PartyLine),
                         localGroups(d, model::LabelKind::FixedGroup)};
    });
    Fetcher fetcher(link, mirror, guard, options, stop, error);

    // Party lines, then fixed groups: one flag for both, so one at a time.
    std::vector<Fetcher::Request> groupRequests;
    for (const Group& group : partyLines) {
        const auto label = static_cast<std::uint16_t>(group.labelNumber);
        groupRequests.push_back(
            {AwaitedAnswer::Membership, msg::ADMIN_PARTY_LINE_MEMBERSHIP_REQUEST, label,
             "the membership of party line " + std::to_string(group.labelNumber),
             [&site, label](const model::MembershipStore& store) {
                 // Entries are written as the server holds them, odd ones
                 // included: the document is its copy, not the view's reading.
                 std::string problem = store.partyLineAnswerProblem(label);
                 if (problem.empty() && store.partyLine().entryCount() > 0) {
                     // Only the counted entries: the rest of the buffer is not the record.
                     model::PartyLineMembership record;
                     record.assignPrefix(store.partyLine().wire());
                     site.partyLines[label] = record;
                 }
                 return problem;
             }});
    }
    const auto setRequest = [](AwaitedAnswer kind, std::uint16_t id, MembershipSet which, int key,
                               std::string what, std::map<int, model::ClientBitSet>& into) {
        return Fetcher::Request{kind, id, static_cast<std::uint16_t>(key), std::move(what),
                                [&into, which, key](const model::MembershipStore& store) {
                                    std::string problem = store.setRefusal(which);
                                    if (problem.empty() && anySet(store.bits(which))) {
                                        model::ClientBitSet copy;
                                        copy.assignPrefix(store.bits(which).bytes());
                                        into[key] = copy;
                                    }
                                    return problem;
                                }};
    };
    for (const Group& group : fixedGroups) {
        groupRequests.push_back(setRequest(
            AwaitedAnswer::Membership, msg::ADMIN_FIXED_GROUP_MEMBERSHIP_REQUEST,
            MembershipSet::FixedGroup, group.index,
            "the membership of fixed group " + std::to_string(group.index + 1), site.fixedGroups));
    }

    // Each exchange carries at most one request of each kind: a group's
    // membership beside a client's blocked and forced listens.
    const std::size_t rounds = std::max(groupRequests.size(), clients.size());
    for (std::size_t i = 0; i < rounds; ++i) {
        std::vector<Fetcher::Request> requests;
        if (i < groupRequests.size()) {
            requests.push_back(std::move(groupRequests[i]));
        }
        if (i < clients.size()) {
            const int index = clients[i].index;
            requests.push_back(setRequest(
                AwaitedAnswer::BlockedListen, msg::ADMIN_BLOCKED_LISTEN_REQUEST,
                MembershipSet::BlockedListen, index,
                "the blocked listens of client " + std::to_string(index), site.blockedListens));
            requests.push_back(setRequest(
                AwaitedAnswer::ForcedListen, msg::ADMIN_FORCED_LISTEN_REQUEST,
                MembershipSet::ForcedListen, index,
                "the forced listens of client " + std::to_string(index), site.forcedListens));
        }
        if (!fetcher.exchange(requests)) {
            return false;
        }
    }
    return true;
}

} // namespace mirx::ctl
