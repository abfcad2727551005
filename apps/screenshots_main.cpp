// mirx-screenshots: the README's pictures of the console, taken against the
// simulator's demo site. Run it under Xvfb (scripts/screenshots.sh).
#include "editors/editor_views.h"
#include "link/console_link.h"
#include "link/server_link.h"
#include "link/settings_store.h"
#include "model/mirror.h"
#include "monitor/monitor_views.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"
#include "shell/login/login_dialog.h"
#include "shell/main/application.h"
#include "shell/main/main_window.h"
#include "shell/main/shell_views.h"
#include "sim/demo_site.h"
#include "sim/protocol.h"
#include "sim/sim_server.h"

#include <iostream>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

namespace {

using namespace mirx;

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

bool save(QWidget& window, const QDir& folder, const QString& name) {
    QTest::qWait(300); // let the last paint settle
    const QString path = folder.filePath(name);
    if (!window.grab().save(path)) {
        std::cerr << "mirx-screenshots: cannot write " << path.toStdString() << "\n";
        return false;
    }
    std::cout << path.toStdString() << "\n";
    return true;
}

// Logs in to a demo site with the given trunking flags; takes the login view
// first when `loginName` is given.
bool shoot(std::uint8_t trunkingFlags, const QDir& folder, const QString& loginName,
           const QString& mainName) {
    site::Site site = sim::demoSite();
    site.trunkingFlags = trunkingFlags;
    sim::SiteProtocol protocol(site, {});
    sim::SimServer server(protocol);
    server.frameLog().setWriter({});
    if (!server.listen("127.0.0.1", 0)) {
        std::cerr << "mirx-screenshots: the simulator cannot listen\n";
        return false;
    }
    server.runInBackground();

    link::MemorySettingsStore store;
    store.set(link::kServerIPAddress.name, std::string("127.0.0.1"));
    store.set(link::kDataIpPort.name, std::uint32_t{server.port()});
    store.set(link::kUserName.name, std::string("admin"));
    store.set(link::kPassword.name, std::string("admin"));
    link::LinkServices services;
    services.settings = &store;
    link::ConsoleLink console(std::move(services));
    model::Mirror& mirror = console.mirror();
    link::ServerLink& serverLink = console.link();
    shell::MessageBoxPrompter prompter;
    shell::ShellContext context{store, serverLink, mirror, prompter, {},
                                false, {},         {},     nullptr,  nullptr};

    bool ok = true;
    {
        shell::ViewRegistry views;
        shell::registerShellViews(views);
        editors::registerEditorViews(views);
        monitor::registerMonitorViews(views);
        shell::CSystemAdministrationApp app(context, std::move(views));
        app.start();
        ok = waitFor([&] { return app.loginView() != nullptr && app.loginView()->isVisible(); });
        if (ok && !loginName.isEmpty()) {
            ok = save(*app.loginView(), folder, loginName);
        }
        if (ok) {
            app.loginView()->loginButton()->click();
            ok = waitFor([&] {
                auto* main = app.mainWindow();
                return main != nullptr && !main->upTimeField()->text().isEmpty();
            });
        }
        if (ok) {
            ok = save(*app.mainWindow(), folder, mainName);
        } else {
            std::cerr << "mirx-screenshots: no main window: " << serverLink.errorText() << "\n";
        }
    }
    serverLink.StopLink();
    server.stop();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    if (!folder.exists() && !QDir().mkpath(folder.path())) {
        std::cerr << "mirx-screenshots: cannot create " << folder.path().toStdString() << "\n";
        return 1;
    }
    const bool ok =
        shoot(0x1, folder, QStringLiteral("login.png"), QStringLiteral("main-trunking.png")) &&
        shoot(0x0, folder, {}, QStringLiteral("main-standard.png"));
    return ok ? 0 : 1;
}
