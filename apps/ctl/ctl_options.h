#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Arguments of mirx-ctl. Passwords never come from an argument: a file, or
// standard input, or the profile's stored password.

namespace mirx::ctl {

struct CtlOptions {
    std::optional<std::string> profile;
    std::optional<std::string> serverHost;
    std::optional<std::uint16_t> serverPort;
    std::optional<std::string> user;
    std::optional<std::string> passwordFile;
    bool passwordStdin = false;
    // Store a password from a file or stdin in the profile after the login.
    bool savePassword = false;
    bool acceptUpdate = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    std::string command; // one of the command table
    bool watch = false;
    bool includePasswords = false;       // export
    bool memberships = false;            // export
    std::string format;                  // export, statistics, sip-registrations
    bool unused = false;                 // statistics
    bool all = false;                    // sip-registrations
    std::optional<std::string> folder;   // run-command-files
    bool once = false;                   // run-command-files
    std::vector<std::string> files;      // check: files; log: which log
    std::optional<std::string> config;   // check: the site document
    bool follow = false;                 // log
    std::optional<std::string> textFile; // report
    std::optional<std::string> pdfFile;  // report
    // Prints a report text to a PDF file: empty, or why not. Set by a
    // program that can print; no argument sets it.
    std::function<std::string(const std::string& path, const std::string& text)> pdfPrinter;
};

// Empty on success, else what is wrong.
std::string parseCtlOptions(std::span<const std::string> args, CtlOptions& options);
std::string ctlUsage();

// "HOST" or "HOST:PORT"; nothing for a bad port.
std::optional<std::pair<std::string, std::optional<std::uint16_t>>>
splitServer(std::string_view text);

} // namespace mirx::ctl
