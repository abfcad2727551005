#include "core/thread.h"

#include "core/debug_log.h"

#include <atomic>
#include <system_error>
#include <utility>

namespace mirx {
namespace {

// Cuts after `limit` UTF-8 characters, never inside one.
std::string cutCharacters(std::string_view text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        if (!continuation && characters++ == limit) {
            return std::string(text.substr(0, i));
        }
    }
    return std::string(text);
}

std::uint32_t nextThreadId() {
    static std::atomic<std::uint32_t> counter{0};
    return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

} // namespace

CThread::CThread(std::string_view description)
    : description_(cutCharacters(description, kDescriptionCapacity))
    , id_(nextThreadId()) {}

CThread::~CThread() {
    std::thread left;
    {
        std::lock_guard lock(lock_);
        left = std::move(thread_);
    }
    if (!left.joinable()) {
        return;
    }
    // Joining oneself would throw; the entry is past its last use of us then.
    if (left.get_id() == std::this_thread::get_id()) {
        left.detach();
    } else {
        left.join();
    }
}

bool CThread::Start() {
    // Held until thread_ is stored, so the entry never sees it half-assigned.
    std::lock_guard lock(lock_);
    if (running_) {
        log::print("***ERROR*** Attempt to start a thread that is already running ... Handle: "
                   "0x%04x",
                   id_);
        return false;
    }
    if (thread_.joinable()) {
        thread_.join(); // an earlier run that nobody waited for; it has finished
    }
    try {
        thread_ = std::thread(&CThread::Entry, this);
    } catch (const std::system_error& error) {
        if (description_.empty()) {
            log::print("***ERROR*** Failed to start thread ... Error Code: %d",
                       error.code().value());
        } else {
            log::print("***ERROR*** Failed to start thread ... Description: %s, Error Code: %d",
                       description_.c_str(), error.code().value());
        }
        return false;
    }
    running_ = true;
    return true;
}

void CThread::SetAutoDelete(bool autoDelete) {
    std::lock_guard lock(lock_);
    autoDelete_ = autoDelete;
}

void CThread::Wait() {
    std::thread running;
    {
        std::lock_guard lock(lock_);
        if (autoDelete_ || !thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) {
            return;
        }
        running = std::move(thread_);
    }
    running.join();
}

bool CThread::IsRunning() const {
    std::lock_guard lock(lock_);
    return running_;
}

void CThread::Entry(CThread* self) {
    self->Run();
    bool destroy = false;
    {
        // Also waits for Start() to finish storing thread_.
        std::lock_guard lock(self->lock_);
        self->running_ = false;
        destroy = self->autoDelete_;
        if (destroy) {
            self->thread_.detach(); // nobody may join an object that is about to vanish
        }
    }
    if (destroy) {
        delete self;
    }
}

} // namespace mirx
