#pragma once

#include <array>
#include <functional>
#include <map>

#include <QDialog>

namespace mirx::shell {

struct ShellContext;

// The views the main window opens. Each later view registers its factory;
// until then the button opens a placeholder.
enum class ViewKey {
    SystemSettings,
    ClientStatistics,
    ClientConfiguration,
    GroupConfiguration,
    RemoteConfiguration,
    ActivityLog,
    DebugLog,
    SipRegistrations,
    CommandFiles,
    Reports,
    UserInterfaceSettings,
};

struct ViewEntry {
    ViewKey key;
    const char* caption;
    // Modeless views stay open beside the main window, at most once each.
    bool modeless;
};

inline constexpr std::array kViewEntries{
    ViewEntry{ViewKey::SystemSettings, "System Settings", false},
    ViewEntry{ViewKey::ClientStatistics, "Client Statistics", true},
    ViewEntry{ViewKey::ClientConfiguration, "Client Configuration", false},
    ViewEntry{ViewKey::GroupConfiguration, "Group Configuration", false},
    ViewEntry{ViewKey::RemoteConfiguration, "Remote Configuration", false},
    ViewEntry{ViewKey::ActivityLog, "Activity Log", true},
    ViewEntry{ViewKey::DebugLog, "Debug Log", true},
    ViewEntry{ViewKey::SipRegistrations, "SIP Registrations", true},
    ViewEntry{ViewKey::CommandFiles, "Command Files", true},
    ViewEntry{ViewKey::Reports, "Reports", false},
    ViewEntry{ViewKey::UserInterfaceSettings, "User Interface Settings", false},
};

const ViewEntry& viewEntry(ViewKey key);

class ViewRegistry {
public:
    using Factory = std::function<QDialog*(ShellContext&, QWidget* parent)>;

    void add(ViewKey key, Factory factory) { factories_[key] = std::move(factory); }
    bool has(ViewKey key) const { return factories_.contains(key); }
    // The registered view, or a placeholder with the view's caption.
    QDialog* create(ViewKey key, ShellContext& context, QWidget* parent) const;

private:
    std::map<ViewKey, Factory> factories_;
};

} // namespace mirx::shell
