#pragma once

#include "shell/settings/command_line.h"

#include <filesystem>
#include <string>

namespace mirx::link {
class SettingsStore;
class ServerLink;
} // namespace mirx::link
namespace mirx::model {
class Mirror;
}
namespace mirx::commandfiles {
class AnswerGuard;
class CCommandFiles;
} // namespace mirx::commandfiles

namespace mirx::shell {

class Prompter;
class Chooser;

// What every view of one run shares: the settings, the link and its mirror,
// the message boxes, and the facts the command line fixed. Owned by the
// application; views keep a reference.
struct ShellContext {
    link::SettingsStore& settings;
    link::ServerLink& link;
    model::Mirror& mirror;
    Prompter& prompter;
    // Shown in every title; empty for the default profile.
    std::string profile;
    // "/Debug": the debug-only controls are shown.
    bool debugControls = false;
    Locks locks;
    // The program's own folder; commandfiles::commandFilesFolder finds the
    // command files from it.
    std::filesystem::path programDirectory;
    // Every membership or listen request of the run takes this guard first
    // (commandfiles/answer_guard.h); null where no such view runs.
    commandfiles::AnswerGuard* answerGuard = nullptr;
    // The command file scheduler, alive for the whole run; the main window
    // drives it while logged in. Null: no command files in this run.
    commandfiles::CCommandFiles* commandFiles = nullptr;
    // Colour and file choosers; null: the platform's dialogs (chooser.h).
    Chooser* chooser = nullptr;
};

} // namespace mirx::shell
