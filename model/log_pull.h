#pragma once

#include "model/log_records.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// One pull of a server log (debug or activity), shared by the log views and
// mirx-ctl: ask for a chunk, wait for it, ask again at once while text
// comes, and pause a second after an empty answer.

namespace mirx::model {

class LogPull {
public:
    // Period of the tick that asks and takes answers, and of the one that
    // ends a pause.
    static constexpr int kAskTickMs = 50;
    static constexpr int kPauseTickMs = 1000;
    // A chunk of this many text bytes or fewer is not shown.
    static constexpr std::size_t kShownAboveBytes = 10;
    // An answer of this many text bytes or fewer means "nothing new".
    static constexpr std::size_t kMoreAboveBytes = 2;

    enum class State { Ask, Waiting, Paused };

    struct Placement {
        bool show = false;
        // After the text shown so far; else before it.
        bool newer = false;
    };

    // The view opened: nothing asked yet, the first chunk counts as older.
    void reset();
    State state() const { return state_; }

    // The fast tick: true when a request for the next chunk is to be sent
    // now (the pull then waits for its answer).
    bool askTick();
    // The request could not be sent: the next fast tick asks again.
    void requestRefused() {
        if (state_ == State::Waiting) {
            state_ = State::Ask;
        }
    }
    // The slow tick: a pause ends.
    void pauseTick();
    // The answer came (only taken while waiting); where its text goes.
    Placement take(std::int64_t timeStamp, std::size_t textBytes);
    // A first empty answer ended the catch-up with what the server held.
    bool caughtUp() const { return caughtUp_; }

private:
    State state_ = State::Ask;
    LogChunkOrder order_;
    bool caughtUp_ = false;
};

// Log text as it is shown: line ends "\r\n" and "\r" become "\n"; tabs stay;
// other control characters (and invalid UTF-8) are shown as escapes, so a
// hostile log can neither steer a terminal nor hide text.
std::string readableLogText(std::string_view utf8);

} // namespace mirx::model
