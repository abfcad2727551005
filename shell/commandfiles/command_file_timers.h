#pragma once

#include <QObject>
#include <QTimer>

namespace mirx::commandfiles {
class CCommandFiles;
}

namespace mirx::shell {

// The command file scheduler's two timers while a main window is open: the
// one-second tick, and TIMER_DOWNLOAD_REQUEST_HANDLE, which runs only while a
// command waits for its answer. The latter fires at once right after a
// request and every 10 ms after that (CCommandFiles::responsePollMs), so a
// quick answer is used without waiting for a full tick; the scheduler still
// has only one request in flight.
class CommandFileTimers final : public QObject {
    Q_OBJECT
public:
    // Starts the one-second tick at once.
    explicit CommandFileTimers(commandfiles::CCommandFiles& files, QObject* parent = nullptr);

    // For good: the window is closing.
    void stop();
    bool responseTickRunning() const { return responseRunning_; }

private:
    void secondTick();
    void responseTick();

    commandfiles::CCommandFiles& files_;
    QTimer second_;
    QTimer response_;
    bool responseRunning_ = false;
    bool stopped_ = false;
};

} // namespace mirx::shell
