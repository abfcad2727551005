#include "tests/shell/shell_fixture.h"

#include <QWidget>

namespace mirx::test {
namespace {

std::unique_ptr<link::ConsoleLink> makeConsole(link::SettingsStore& store,
                                               const std::optional<std::string>& account) {
    link::LinkServices services;
    services.settings = &store;
    services.domainAccount = [&account] {
        return link::DomainCheck{account, account ? "" : ShellFixture::kDomainRefusal};
    };
    // The simulator answers in milliseconds; a test that withholds an answer
    // need not wait the full time-out.
    services.answerTimeoutMs = 2000;
    return std::make_unique<link::ConsoleLink>(std::move(services));
}

} // namespace

ShellFixture::ShellFixture()
    : console_(makeConsole(store, domainAccount))
    , mirror(console_->mirror()) {
    context_ = std::make_unique<shell::ShellContext>(shell::ShellContext{
        store, console_->link(), mirror, prompter, {}, false, {}, {}, nullptr, nullptr});
    store.set(link::kServerIPAddress.name, std::string("127.0.0.1"));
    store.set(link::kUserName.name, std::string("admin"));
    store.set(link::kPassword.name, std::string("admin"));
}

ShellFixture::~ShellFixture() {
    context_.reset();
    console_.reset();
    served.stop();
}

void ShellFixture::startServer(sim::FaultSwitches faults, std::uint16_t port,
                               sim::ProtocolOptions options) {
    served.start(std::move(faults), port, std::move(options));
    store.set(link::kDataIpPort.name, std::uint32_t{served.port()});
}

bool ShellFixture::logIn() {
    return link().Connect("admin", "admin");
}

QStringList receivedMessages(const ServedSite& served, std::size_t from, const QStringList& names,
                             bool withLength) {
    QStringList lines;
    const auto log = served.frameLog();
    for (std::size_t i = from; i < log.size(); ++i) {
        const QString line = QString::fromStdString(log[i]);
        if (!line.startsWith(QLatin1String("sim <-"))) {
            continue;
        }
        for (const QString& name : names) {
            if (line.contains(QLatin1Char(' ') + name + QLatin1String(" ("))) {
                const auto second = line.indexOf(QLatin1String("second="));
                lines << name + QLatin1Char(' ') +
                             line.mid(second).section(QLatin1Char(' '), 0, withLength ? 1 : 0);
            }
        }
    }
    return lines;
}

QString windowFitProblem(QWidget& window) {
    // 800x500 logical pixels, less a title bar and a desktop panel.
    const QSize room(800 - 16, 500 - 72);
    window.ensurePolished();
    const QSize smallest = window.minimumSizeHint().expandedTo(window.minimumSize());
    QString problem;
    if (smallest.width() > room.width() || smallest.height() > room.height()) {
        problem +=
            QStringLiteral("needs at least %1x%2; ").arg(smallest.width()).arg(smallest.height());
    }
    return problem;
}

} // namespace mirx::test
