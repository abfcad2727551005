#pragma once

#include "link/console_link.h"
#include "link/settings_store.h"
#include "model/mirror.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"
#include "sim/fault_switches.h"
#include "sim/protocol.h"
#include "site/site.h"
#include "tests/support/served_site.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QString>
#include <QStringList>

class QWidget;

namespace mirx::test {

// Answers questions from a script (No when it runs out) and keeps every
// text shown.
class ScriptedPrompter final : public shell::Prompter {
public:
    struct Shown {
        QString caption;
        QString text;
    };

    bool ask(QWidget*, const QString& caption, const QString& text) override {
        asked.push_back({caption, text});
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void tell(QWidget*, const QString& caption, const QString& text, shell::PromptIcon) override {
        told.push_back({caption, text});
    }

    std::deque<bool> answers;
    std::vector<Shown> asked;
    std::vector<Shown> told;
};

// Why `window`, shrunk as far as its layout lets it, would not fit a
// 1600x1000 screen at 200 % scale (800x500 logical pixels, less a title bar
// and a panel); empty when it fits.
QString windowFitProblem(QWidget& window);

// The messages of `names` the simulator received from frame log line
// `from` on, in order, each as "NAME second=N", with " len=L" when
// `withLength`.
QStringList receivedMessages(const ServedSite& served, std::size_t from, const QStringList& names,
                             bool withLength);

// The demo site served on a loopback port and a console context pointed at
// it: what every view test starts from.
class ShellFixture {
public:
    ShellFixture();
    ~ShellFixture();

    // Serves `site` (adjust it first); port 0 picks a free one, a given port
    // brings a stopped server back where it was.
    void startServer(sim::FaultSwitches faults = {}, std::uint16_t port = 0,
                     sim::ProtocolOptions options = {});
    void stopServer() { served.stop(); }
    std::uint16_t port() const { return served.port(); }
    // Frame log lines naming `text`, e.g. a message name the server received.
    std::size_t frameLogCount(const std::string& text) const { return served.frameLogCount(text); }

    ServedSite served;
    site::Site& site = served.site;
    link::MemorySettingsStore store;
    ScriptedPrompter prompter;
    // What the directory check finds for a domain login; nothing = it fails
    // with kDomainRefusal.
    std::optional<std::string> domainAccount;
    static constexpr const char* kDomainRefusal = "The directory check was refused";

private:
    // Before the references into it.
    std::unique_ptr<link::ConsoleLink> console_;

public:
    model::Mirror& mirror;
    link::ServerLink& link() { return console_->link(); }
    shell::ShellContext& context() { return *context_; }

    // Logs in as admin and waits for the configuration download.
    bool logIn();

private:
    std::unique_ptr<shell::ShellContext> context_;
};

} // namespace mirx::test
