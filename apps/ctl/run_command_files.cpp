#include "apps/ctl/run_command_files.h"

#include "commandfiles/calendar.h"
#include "core/clock.h"
#include "link/server_link.h"
#include "model/mirror.h"

#include <chrono>
#include <map>
#include <ostream>
#include <thread>

namespace mirx::ctl {
namespace {

using namespace std::chrono_literals;
using commandfiles::CCommandFile;
using commandfiles::CommandKind;
using SteadyClock = std::chrono::steady_clock;

// One line per step, stamped with the local time.
class Reporter final : public commandfiles::SchedulerObserver {
public:
    explicit Reporter(std::ostream& out)
        : out_(out) {}

    void fileFound(const CCommandFile& file) override { describe("found", file); }
    void fileRescanned(const CCommandFile& file) override { describe("re-read", file); }
    void fileStarted(const CCommandFile& file) override {
        commands_[file.fileName()] = 0;
        line() << "start '" << file.fileName() << "'\n";
        out_.flush();
    }
    void requestSent(const CCommandFile& file, CommandKind kind) override {
        const int number = ++commands_[file.fileName()];
        command(file, number, kind) << "asked\n";
        out_.flush();
    }
    void requestSentAgain(const CCommandFile& file, CommandKind kind, int try_,
                          bool newConnection) override {
        std::ostream& out = command(file, commands_[file.fileName()], kind);
        if (newConnection) {
            out << "asked again after a new login\n";
        } else {
            out << "no answer; asked again (try " << try_ << ")\n";
        }
        out_.flush();
    }
    void answerReceived(const CCommandFile& file, CommandKind kind) override {
        command(file, commands_[file.fileName()], kind) << "done\n";
        out_.flush();
    }
    void fileFinished(const CCommandFile& file, Finish how) override {
        commands_.erase(file.fileName());
        const char* outcome = "deleted";
        if (how == Finish::NotDeleted) {
            outcome = "could not be deleted; it will not run again while it stays unchanged";
        } else if (how == Finish::ChangedOnDisk) {
            outcome = "changed on disk while it ran; kept, to run again as a new file";
        }
        line() << "finished '" << file.fileName() << "': " << outcome << "\n";
        out_.flush();
    }
    void fileFailed(const CCommandFile& file) override {
        failed_ = true;
        line() << "failed '" << file.fileName() << "': " << CCommandFiles::kFailedText << "\n";
        out_.flush();
    }

    bool anyFailed() const { return failed_; }

private:
    using CCommandFiles = commandfiles::CCommandFiles;

    std::ostream& line() {
        const LocalTime t = clock().localTime();
        commandfiles::CalendarTime now;
        now.year = static_cast<std::int16_t>(t.year);
        now.month = static_cast<std::int16_t>(t.month);
        now.day = static_cast<std::int16_t>(t.day);
        now.hour = static_cast<std::int16_t>(t.hour);
        now.minute = static_cast<std::int16_t>(t.minute);
        now.second = static_cast<std::int16_t>(t.second);
        return out_ << commandfiles::formatCalendarTime(now) << " ";
    }

    std::ostream& command(const CCommandFile& file, int number, CommandKind kind) {
        return line() << "'" << file.fileName() << "' command " << number << ": "
                      << commandfiles::commandKindWords(kind) << ": ";
    }

    void describe(const char* what, const CCommandFile& file) {
        std::ostream& out = line() << what << " '" << file.fileName() << "'";
        if (!file.description().empty()) {
            out << " \"" << file.description() << "\"";
        }
        if (!file.valid() || !file.processingFileTime()) {
            out << ": Format or ID error\n";
            for (const commandfiles::Problem& problem : file.problems()) {
                out_ << "    line " << problem.line << ": " << problem.message << "\n";
            }
        } else {
            out << ": due " << commandfiles::formatCalendarTime(file.processingTime()) << "\n";
        }
        out_.flush();
    }

    std::ostream& out_;
    std::map<std::string, int> commands_;
    bool failed_ = false;
};

// Sleeps `span` in slices short enough to notice `stop`.
void pause(std::chrono::milliseconds span, const std::atomic<bool>& stop) {
    const auto end = SteadyClock::now() + span;
    while (!stop.load() && SteadyClock::now() < end) {
        std::this_thread::sleep_for(
            std::min<SteadyClock::duration>(50ms, end - SteadyClock::now()));
    }
}

} // namespace

std::filesystem::path defaultCommandFilesFolder(const std::vector<std::string>& ownCommandLine) {
    std::filesystem::path program = ownCommandLine.empty() ? std::string() : ownCommandLine[0];
    return commandfiles::commandFilesFolder(program.parent_path());
}

int runCommandFiles(link::ServerLink& link, model::Mirror& mirror,
                    const RunCommandFilesOptions& options, CtlStreams streams,
                    const std::atomic<bool>& stop, const std::function<bool()>& relogin) {
    std::error_code error;
    if (!std::filesystem::is_directory(options.folder, error)) {
        streams.err << "mirx-ctl: no command files folder " << options.folder << "\n";
        return kExitUsage;
    }
    commandfiles::AnswerGuard guard(mirror.membershipFlags());
    commandfiles::CCommandFiles files(options.folder, {mirror, &link.requestQueue()}, guard,
                                      commandfiles::probeLink(link), options.timing);
    Reporter reporter(streams.out);
    files.setObserver(&reporter);
    const auto outcome = [&reporter] {
        return reporter.anyFailed() ? kExitCommandFileFailed : kExitOk;
    };

    auto nextSecond = SteadyClock::now();
    bool responding = false;
    while (!stop.load()) {
        if (!link.loggedIn()) {
            streams.err << "mirx-ctl: the connection to the server was lost\n";
            if (options.once) {
                link.StopLink();
                return kExitConnectionLost;
            }
            // The waiting command, if any, is asked again once logged in.
            link.StopLink();
            responding = false;
            while (!stop.load() && !relogin() && !stop.load()) {
                streams.err << "mirx-ctl: " << link.errorText() << "; trying again\n";
                pause(options.reloginDelay, stop);
            }
            nextSecond = SteadyClock::now();
            continue;
        }
        if (SteadyClock::now() >= nextSecond) {
            nextSecond = SteadyClock::now() +
                         std::chrono::milliseconds(commandfiles::CCommandFiles::kSecondTickMs);
            if (files.SecondTick()) {
                responding = true;
            } else if (options.once && !responding) {
                return outcome();
            }
        }
        if (responding) {
            responding = files.ResponseTick();
            if (!responding && options.once && link.loggedIn() && !files.waiting()) {
                return outcome();
            }
            const std::uint32_t poll = files.responsePollMs();
            if (poll == 0) {
                std::this_thread::yield();
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(poll));
            }
            continue;
        }
        pause(
            std::chrono::duration_cast<std::chrono::milliseconds>(nextSecond - SteadyClock::now()),
            stop);
    }
    link.StopLink();
    return options.once ? outcome() : kExitOk;
}

} // namespace mirx::ctl
