#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

namespace mirx::shell {

// Fetch before edit: posts each request in turn and waits on its arrival
// flag before the next, so the view fills its controls only from records
// that really came. A server that never answers ends in failed() after a
// time-out instead of leaving a dead view.
class RecordFetch final : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 10;
    static constexpr int kTimeoutMs = 30000;

    struct Step {
        // What the step waits for, named in the failure text.
        QString what;
        // Posts the request; false when it could not be queued.
        std::function<bool()> request;
        // Takes the arrival flag; true once the answer is stored.
        std::function<bool()> arrived;
    };

    explicit RecordFetch(QObject* parent = nullptr);

    // Takes the steps for the next start(). Clears earlier ones.
    void setSteps(std::vector<Step> steps);
    // Restarts from the first step; a fetch under way is given up.
    void start();
    void cancel();
    bool running() const { return poll_.isActive(); }
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    // Looks for the awaited answer now, between polls (connect a
    // LinkWaker's changed() here).
    void checkNow();
    // For a view that asks many times in a row: after looking, the fetch
    // waits on this thread for the next change (`wait` returns true when one
    // came, false after a moment without) and looks again, rather than
    // going back to the event loop and being woken, for up to kBurst before
    // it lets the event loop run. Waking a sleeping thread costs several
    // times a loopback answer on a machine whose idle cores halt.
    void setQuickWait(std::function<bool()> wait) { quickWait_ = std::move(wait); }
    static constexpr std::chrono::milliseconds kBurst{8};

    // The text failed() carries for a step.
    static QString timeoutText(const QString& what, int timeoutMs = kTimeoutMs);
    static QString queueFullText(const QString& what);

signals:
    void ready();
    void failed(const QString& text);

private:
    void beginStep();
    void tick();
    void fail(const QString& text);

    std::vector<Step> steps_;
    std::size_t current_ = 0;
    QTimer poll_;
    QTimer deadline_;
    int timeoutMs_ = kTimeoutMs;
    std::function<bool()> quickWait_;
    // A look asked for while one is under way (a ready() handler running a
    // nested event loop) is made by that one when the handler returns, so
    // looks never nest and none is lost.
    bool looking_ = false;
    bool lookAgain_ = false;
};

} // namespace mirx::shell
