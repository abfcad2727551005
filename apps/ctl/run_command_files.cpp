#include "apps/ctl/run_command_files.h"

#include "commandfiles/calendar.h"
#include "core/clock.h"
#include "core/utf16.h"
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

// What came from a file or names one goes out with its control
// characters escaped.
std::string shown(const std::string& text) {
    return text::visibleText(text);
}

// One line per step, stamped with the local time.
class Reporter final : public commandfiles::SchedulerObserver {
public:
    Reporter(std::ostream& out, const commandfiles::CCommandFiles& files)
        : out_(out)
        , files_(files) {}

    void fileFound(const CCommandFile& file) override { describe("found", file); }
    void fileRescanned(const CCommandFile& file) override { describe("re-read", file); }
    void fileStarted(const CCommandFile& file) override {
        commands_[file.fileName()] = 0;
        line() << "start '" << shown(file.fileName()) << "'\n";
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
        std::string outcome = "deleted";
        if (how == Finish::NotDeleted) {
            outcome = "could not be deleted; it does not run again while it stays unchanged "
                      "(remembered " +
                      files_.ranFiles().where() + ")";
        } else if (how == Finish::ChangedOnDisk) {
            outcome = "changed on disk while it ran; kept, to run again as a new file";
        }
        line() << "finished '" << shown(file.fileName()) << "': " << outcome << "\n";
        out_.flush();
    }
    void fileFailed(const CCommandFile& file) override {
        failed_ = true;
        line() << "failed '" << shown(file.fileName())
               << "': " << shown(file.failure().value_or(CCommandFiles::kFailedText)) << "\n";
        out_.flush();
    }
    void folderBusy(const std::string& notice) override {
        busy_ = true;
        line() << shown(notice) << "\n";
        out_.flush();
    }
    void folderTaken() override {
        busy_ = false;
        line() << "the other runner ended; this one runs the folder now\n";
        out_.flush();
    }
    void filePassedOver(const std::string& name, const std::string& why) override {
        line() << "passed over '" << shown(name) << "': " << why << "\n";
        out_.flush();
    }
    void fileWithdrawn(const std::string& name) override {
        line() << "withdrawn '" << shown(name) << "': removed from the folder before it ran\n";
        out_.flush();
    }
    void fileRanBefore(const std::string& name, const std::string& where) override {
        line() << "not run '" << shown(name)
               << "': it ran before and could not be deleted (remembered " << where << ")\n";
        out_.flush();
    }

    bool anyFailed() const { return failed_; }
    bool folderBusy() const { return busy_; }

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
        return line() << "'" << shown(file.fileName()) << "' command " << number << ": "
                      << commandfiles::commandKindWords(kind) << ": ";
    }

    void describe(const char* what, const CCommandFile& file) {
        std::ostream& out = line() << what << " '" << shown(file.fileName()) << "'";
        if (!file.description().empty()) {
            out << " \"" << shown(file.description()) << "\"";
        }
        if (!file.valid() || !file.processingFileTime()) {
            out << ": Format or ID error\n";
            for (const commandfiles::Problem& problem : file.problems()) {
                out_ << "    line " << problem.line << ": " << shown(problem.message) << "\n";
            }
        } else {
            out << ": due " << commandfiles::formatCalendarTime(file.processingTime()) << "\n";
        }
        out_.flush();
    }

    std::ostream& out_;
    const commandfiles::CCommandFiles& files_;
    std::map<std::string, int> commands_;
    bool failed_ = false;
    bool busy_ = false;
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
                                      commandfiles::probeLink(link), options.timing,
                                      commandfiles::RanFiles::forCurrentUser());
    Reporter reporter(streams.out, files);
    files.setObserver(&reporter);
    const auto outcome = [&reporter] {
        if (reporter.folderBusy()) {
            return kExitFolderInUse;
        }
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
