#include "shell/commandfiles/command_file_timers.h"

#include "commandfiles/command_files.h"

namespace mirx::shell {

using commandfiles::CCommandFiles;

CommandFileTimers::CommandFileTimers(CCommandFiles& files, QObject* parent)
    : QObject(parent)
    , files_(files) {
    second_.setInterval(static_cast<int>(CCommandFiles::kSecondTickMs));
    response_.setSingleShot(true);
    response_.setTimerType(Qt::PreciseTimer);
    connect(&second_, &QTimer::timeout, this, &CommandFileTimers::secondTick);
    connect(&response_, &QTimer::timeout, this, &CommandFileTimers::responseTick);
    second_.start();
}

void CommandFileTimers::stop() {
    stopped_ = true;
    second_.stop();
    response_.stop();
    responseRunning_ = false;
}

void CommandFileTimers::secondTick() {
    if (files_.SecondTick() && !responseRunning_ && !stopped_) {
        responseRunning_ = true;
        response_.start(static_cast<int>(files_.responsePollMs()));
    }
}

void CommandFileTimers::responseTick() {
    if (stopped_) {
        return;
    }
    responseRunning_ = files_.ResponseTick();
    if (responseRunning_) {
        response_.start(static_cast<int>(files_.responsePollMs()));
    }
}

} // namespace mirx::shell
