#include "model/log_pull.h"

#include "core/utf16.h"

namespace mirx::model {

void LogPull::reset() {
    state_ = State::Ask;
    order_.reset();
    caughtUp_ = false;
}

bool LogPull::askTick() {
    if (state_ != State::Ask) {
        return false;
    }
    state_ = State::Waiting;
    return true;
}

void LogPull::pauseTick() {
    if (state_ == State::Paused) {
        state_ = State::Ask;
    }
}

LogPull::Placement LogPull::take(std::int64_t timeStamp, std::size_t textBytes) {
    Placement placement;
    if (state_ != State::Waiting) {
        return placement;
    }
    if (textBytes > kShownAboveBytes) {
        placement.show = true;
        placement.newer = order_.place(timeStamp);
    }
    if (textBytes > kMoreAboveBytes) {
        state_ = State::Ask;
    } else {
        state_ = State::Paused;
        caughtUp_ = true;
    }
    return placement;
}

std::string readableLogText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t begin = 0;
    // Pieces between line ends and tabs go through visibleText.
    for (std::size_t i = 0; i <= utf8.size(); ++i) {
        const bool end = i == utf8.size();
        const char c = end ? '\0' : utf8[i];
        if (!end && c != '\n' && c != '\r' && c != '\t') {
            continue;
        }
        out += text::visibleText(utf8.substr(begin, i - begin));
        if (end) {
            break;
        }
        if (c == '\t') {
            out += '\t';
        } else {
            out += '\n';
            if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
                ++i;
            }
        }
        begin = i + 1;
    }
    return out;
}

} // namespace mirx::model
