#pragma once

// Lets any thread wake a thread that waits in poll(): the waiter polls fd()
// for reading beside its socket, and drain()s after waking.

namespace mirx {

class CWakeup {
public:
    CWakeup();
    ~CWakeup();
    CWakeup(const CWakeup&) = delete;
    CWakeup& operator=(const CWakeup&) = delete;

    void signal();
    void drain();
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

} // namespace mirx
