#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace mirx {

// One operating-system thread running the virtual Run().
//
// Lifetime rules:
// - Without auto-delete the owner keeps the object alive until Run() has
//   returned; call Wait() first (a derived class whose Run() uses its own
//   members must do so in its destructor, because the base destructor runs
//   after the derived parts are gone). The base destructor still joins a
//   thread that is left, so a thread is never abandoned.
// - With auto-delete the object deletes itself once Run() returned; its
//   creator must not touch it after Start() returned true.
class CThread {
public:
    // Longest description in characters; longer ones are cut.
    static constexpr std::size_t kDescriptionCapacity = 100;

    explicit CThread(std::string_view description = {});
    virtual ~CThread();

    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // False, with a message, when the thread is running already or cannot be
    // created. A thread that has finished may be started again.
    bool Start();
    void SetAutoDelete(bool autoDelete);

    // Blocks until Run() has returned. Does nothing when the thread never
    // started, was waited for already, or when called from the thread itself.
    // Not for auto-delete threads: the object may be gone.
    void Wait();

    bool IsRunning() const;
    const std::string& Description() const { return description_; }
    // Small number naming this object in messages.
    std::uint32_t Id() const { return id_; }

protected:
    virtual void Run() = 0;

private:
    static void Entry(CThread* self);

    const std::string description_;
    const std::uint32_t id_;

    mutable std::mutex lock_;
    std::thread thread_;   // guarded by lock_
    bool running_ = false; // guarded by lock_
    bool autoDelete_ = false;
};

} // namespace mirx
