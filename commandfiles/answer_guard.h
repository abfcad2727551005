#pragma once

#include "commandfiles/command_file.h"

namespace mirx::model {
class MembershipStore;
}

// Membership and listen answers land in one buffer per kind with one arrival
// flag per kind, and party line and fixed group answers even share their
// flag. So that a waiting request completes only with its own answer, the
// console lets one such request be outstanding at a time. Whoever sends one
// (the command file scheduler, the group membership view) holds this guard
// from before the request until its answer was used, and only the holder
// reads the answer flags:
//
//   if (!guard.tryAcquire(AwaitedAnswer::Membership, this)) -> try later
//   post the request
//   ... poll: if (guard.takeAnswer(this)) -> check the store's refusal
//       (setRefusal / partyLineAnswerProblem), use the buffer, post the update
//   guard.release(this)
//
// Taking a free guard drops every raised flag: with nothing outstanding they
// can only be stale (an answer to a request whose sender gave up). A holder
// that sends several requests in a row calls dropStaleAnswers() before each.
//
// User-interface thread only; the flags themselves are atomics that the
// connection thread raises.

namespace mirx::commandfiles {

class AnswerGuard {
public:
    explicit AnswerGuard(model::MembershipStore& flags)
        : flags_(flags) {}
    AnswerGuard(const AnswerGuard&) = delete;
    AnswerGuard& operator=(const AnswerGuard&) = delete;

    // True when the guard was free or is already `owner`'s; it then awaits
    // `kind`. None reserves the guard before the kind is known (the request
    // is sent by code that decides the kind itself); call again with the
    // kind once the request is out, which keeps an answer already arrived.
    bool tryAcquire(AwaitedAnswer kind, const void* owner);
    // Ends `owner`'s hold; anything else is ignored.
    void release(const void* owner);

    // The holder's answer: takes the flag of the awaited kind only, so an
    // answer of another kind is left alone. False for anyone else.
    bool takeAnswer(const void* owner);
    // The holder drops every raised flag before its next request.
    void dropStaleAnswers(const void* owner);

    bool heldBy(const void* owner) const { return owner != nullptr && holder_ == owner; }
    bool isFree() const { return holder_ == nullptr; }
    AwaitedAnswer awaited() const { return awaited_; }

private:
    void dropAll();

    model::MembershipStore& flags_;
    const void* holder_ = nullptr;
    AwaitedAnswer awaited_ = AwaitedAnswer::None;
};

} // namespace mirx::commandfiles
