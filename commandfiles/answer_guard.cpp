#include "commandfiles/answer_guard.h"

#include "model/membership_store.h"

namespace mirx::commandfiles {

bool AnswerGuard::tryAcquire(AwaitedAnswer kind, const void* owner) {
    if (owner == nullptr || (holder_ != nullptr && holder_ != owner)) {
        return false;
    }
    if (holder_ == nullptr) {
        holder_ = owner;
        dropAll();
    }
    awaited_ = kind;
    return true;
}

void AnswerGuard::release(const void* owner) {
    if (heldBy(owner)) {
        holder_ = nullptr;
        awaited_ = AwaitedAnswer::None;
    }
}

bool AnswerGuard::takeAnswer(const void* owner) {
    if (!heldBy(owner)) {
        return false;
    }
    switch (awaited_) {
    case AwaitedAnswer::Membership:
        return flags_.TakeMembershipResponse();
    case AwaitedAnswer::BlockedListen:
        return flags_.TakeBlockedListenResponse();
    case AwaitedAnswer::ForcedListen:
        return flags_.TakeForcedListenResponse();
    case AwaitedAnswer::None:
        break;
    }
    return false;
}

void AnswerGuard::dropStaleAnswers(const void* owner) {
    if (heldBy(owner)) {
        dropAll();
    }
}

void AnswerGuard::dropAll() {
    flags_.TakeMembershipResponse();
    flags_.TakeBlockedListenResponse();
    flags_.TakeForcedListenResponse();
}

} // namespace mirx::commandfiles
