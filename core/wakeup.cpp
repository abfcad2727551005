#include "core/wakeup.h"

#include "core/debug_log.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace mirx {

CWakeup::CWakeup()
    : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0) {
        // Without it waiters fall back on their poll time-outs.
        log::print("ERROR: eventfd() failed (%d)", errno);
    }
}

CWakeup::~CWakeup() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void CWakeup::signal() {
    if (fd_ >= 0) {
        const std::uint64_t one = 1;
        const ssize_t ignored = ::write(fd_, &one, sizeof one);
        (void)ignored; // a full counter already wakes the waiter
    }
}

void CWakeup::drain() {
    if (fd_ >= 0) {
        std::uint64_t count = 0;
        const ssize_t ignored = ::read(fd_, &count, sizeof count);
        (void)ignored;
    }
}

} // namespace mirx
