#include "apps/ctl/check_command_files.h"

#include "commandfiles/calendar.h"
#include "commandfiles/command_file.h"
#include "commandfiles/file_access.h"
#include "core/utf16.h"
#include "model/mirror.h"
#include "site/scenario.h"

#include <filesystem>
#include <ostream>

namespace mirx::ctl {
namespace {

bool isDue(const commandfiles::CCommandFile& file) {
    const auto now = commandfiles::calendarToFileTime(commandfiles::localTimeNow());
    return now && file.processingFileTime() && *file.processingFileTime() <= *now;
}

// True when the file is valid.
// What comes from a file, or names it, may hold control characters that a
// terminal would act on: they are shown as escapes.
bool checkOne(const std::string& rawName, model::Mirror& mirror, std::ostream& out) {
    const std::string name = text::visibleText(rawName);
    commandfiles::CommandFileBytes bytes =
        commandfiles::readCommandFileBytes(rawName, commandfiles::CCommandFile::kMaxFileBytes);
    if (!bytes.problem.empty()) {
        out << name << ": " << bytes.problem << "\n";
        return false;
    }
    commandfiles::CCommandFile file(std::filesystem::path(rawName).filename().string(),
                                    std::move(bytes.head));
    commandfiles::CommandEnvironment environment{mirror, nullptr};
    bool finished = false;
    file.ParseCommandFile(environment, false, finished);

    for (const commandfiles::Problem& problem : file.problems()) {
        out << name;
        if (problem.line > 0) {
            out << ":" << problem.line;
        }
        out << ": " << text::visibleText(problem.message) << "\n";
    }
    if (file.truncated()) {
        out << name << ": note: longer than the console reads ("
            << commandfiles::CCommandFile::kMaxFileBytes << " bytes, "
            << commandfiles::CCommandFile::kTextUnits
            << " characters); the lines after the last complete one are not used\n";
    }
    if (!file.valid()) {
        out << name << ": Format or ID error\n";
        return false;
    }
    out << name << ": valid\n"
        << "  description:     " << text::visibleText(file.description()) << "\n"
        << "  processing time: " << commandfiles::formatCalendarTime(file.processingTime())
        << (isDue(file) ? " (due now)" : "") << "\n";
    for (const commandfiles::PlannedCommand& command : file.plan()) {
        out << "  line " << command.line << ": " << text::visibleText(command.text) << "\n";
    }
    return true;
}

} // namespace

void loadSiteIntoMirror(const site::Site& site, model::Mirror& mirror) {
    mirror.edit([&](model::MirrorData& d) {
        for (const auto& [number, label] : site.labels) {
            d.labels.Store(static_cast<std::uint16_t>(number), label.view());
        }
        for (const auto& [index, credentials] : site.credentials) {
            d.clients.ReceiveCredentials(static_cast<std::uint16_t>(index), credentials.view());
        }
    });
}

int checkCommandFiles(const CheckOptions& options, CtlStreams streams) {
    model::Mirror mirror;
    if (options.config) {
        site::ScenarioError error;
        const auto site = site::loadScenario(*options.config, error);
        if (!site) {
            streams.err << "mirx-ctl: " << error.message << "\n";
            return kExitUsage;
        }
        loadSiteIntoMirror(*site, mirror);
    } else {
        streams.err << "mirx-ctl: no --config given: login names cannot be resolved, so the "
                       "lines that use them fail; client and party line index tokens are "
                       "checked\n";
    }
    bool allValid = true;
    for (const std::string& name : options.files) {
        allValid = checkOne(name, mirror, streams.out) && allValid;
    }
    streams.out.flush();
    return allValid ? kExitOk : kExitCommandFileInvalid;
}

} // namespace mirx::ctl
