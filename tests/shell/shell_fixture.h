#pragma once

#include "link/mirror_dispatch.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/mirror.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"
#include "sim/fault_switches.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"
#include "sim/site.h"

#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <QString>

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
    void stopServer();
    std::uint16_t port() const { return port_; }
    // Frame log lines naming `text`, e.g. a message name the server received.
    std::size_t frameLogCount(const std::string& text) const;

    sim::Site site;
    link::MemorySettingsStore store;
    model::Mirror mirror;
    link::MirrorDispatch dispatch{mirror};
    ScriptedPrompter prompter;
    // What the directory check finds for a domain login; nothing = it fails
    // with kDomainRefusal.
    std::optional<std::string> domainAccount;
    static constexpr const char* kDomainRefusal = "The directory check was refused";
    link::ServerLink& link() { return *link_; }
    shell::ShellContext& context() { return *context_; }

private:
    std::unique_ptr<link::ServerLink> link_;
    std::unique_ptr<shell::ShellContext> context_;
    std::unique_ptr<sim::SiteProtocol> protocol_;
    std::unique_ptr<sim::SimServer> server_;
    std::uint16_t port_ = 0;
    mutable std::mutex logLock_;
    std::vector<std::string> frameLog_;
};

} // namespace mirx::test
