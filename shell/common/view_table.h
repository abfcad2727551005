#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include <QString>
#include <QtGlobal>

// Every view of the console in one table: what it is called, how it opens,
// where it remembers its place and who may open it. Views, the main window
// and the registry read it; nothing else types a caption or position name.

namespace mirx::link {
class ServerLink;
}

namespace mirx::shell {

enum class ViewKey {
    // Around the login.
    Login,
    ConnectionSettings,
    Update,
    About,
    // Opened from the main window.
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
    // Opened from the client list.
    ClientConfigurationEdit,
    ClientConfigurationTemplateQuery,
    ClientOptions,
    ClientAudioSettings,
    // Opened from the client options view.
    ClientOptionsDifferences,
    ClientSelectorAssignments,
    // Opened from the selector assignments view.
    SelectorHotKey,
    // Opened from the group and remote lists.
    GroupConfigurationEdit,
    GroupMembership,
    RemoteConfigurationEdit,
    // Opened from the debug log view.
    DebugFilter,
    DebugFilterEdit,
    // Opened from the reports chooser.
    ReportConnectionStatus,
    ReportPartyLineMembership,
    ReportSelectorAssignments,
};

enum class ViewMode : std::uint8_t {
    Modal,
    // Stays open beside the main window, at most once.
    Modeless,
};

enum class ViewTitle : std::uint8_t {
    // "MIRX <caption> - <profile>".
    ProductAndProfile,
    // "MIRX <caption>": the view is shown before a profile matters.
    Product,
    // The caption as it stands.
    Caption,
};

enum class ViewPrivilege : std::uint8_t {
    Any,
    // Privilege level 1 only.
    FullAdministrator,
};

struct ViewEntry {
    ViewKey key;
    // Untranslated; viewCaption() translates it.
    const char* caption;
    ViewMode mode;
    ViewTitle title;
    // A prefix of link::kWindowPositionKeys; empty: the view is placed afresh
    // each time.
    std::string_view positionName;
    ViewPrivilege privilege;
    // Closed by the view itself within 100 ms of the console no longer being
    // logged in.
    bool closesWhenLoggedOut;
};

// Captions are marked for translation in the "Views" context.
#define MIRX_VIEW_CAPTION(text) QT_TRANSLATE_NOOP("Views", text)

inline constexpr std::array kViewEntries{
    ViewEntry{ViewKey::Login, MIRX_VIEW_CAPTION("System Administration Login"), ViewMode::Modal,
              ViewTitle::ProductAndProfile, "Login", ViewPrivilege::Any, false},
    ViewEntry{ViewKey::ConnectionSettings,
              MIRX_VIEW_CAPTION("System Administration Configuration"),
              ViewMode::Modal,
              ViewTitle::ProductAndProfile,
              {},
              ViewPrivilege::Any,
              false},
    ViewEntry{ViewKey::Update,
              MIRX_VIEW_CAPTION("System Administration Update"),
              ViewMode::Modal,
              ViewTitle::Product,
              {},
              ViewPrivilege::Any,
              false},
    ViewEntry{ViewKey::About,
              MIRX_VIEW_CAPTION("About MIRX System Administration"),
              ViewMode::Modal,
              ViewTitle::Caption,
              {},
              ViewPrivilege::Any,
              false},
    ViewEntry{ViewKey::SystemSettings, MIRX_VIEW_CAPTION("System Settings"), ViewMode::Modal,
              ViewTitle::ProductAndProfile, "SystemSettings", ViewPrivilege::FullAdministrator,
              true},
    ViewEntry{ViewKey::ClientStatistics, MIRX_VIEW_CAPTION("Client Statistics"), ViewMode::Modeless,
              ViewTitle::ProductAndProfile, "ClientStatistics", ViewPrivilege::Any, true},
    ViewEntry{ViewKey::ClientConfiguration, MIRX_VIEW_CAPTION("Client Configuration"),
              ViewMode::Modal, ViewTitle::ProductAndProfile, "ClientConfiguration",
              ViewPrivilege::Any, true},
    ViewEntry{ViewKey::GroupConfiguration, MIRX_VIEW_CAPTION("Group Configuration"),
              ViewMode::Modal, ViewTitle::ProductAndProfile, "GroupConfiguration",
              ViewPrivilege::Any, true},
    ViewEntry{ViewKey::RemoteConfiguration, MIRX_VIEW_CAPTION("Remote Configuration"),
              ViewMode::Modal, ViewTitle::ProductAndProfile, "RemoteConfiguration",
              ViewPrivilege::Any, true},
    ViewEntry{ViewKey::ActivityLog, MIRX_VIEW_CAPTION("Activity Log"), ViewMode::Modeless,
              ViewTitle::Caption, "ActivityLogDlg", ViewPrivilege::Any, true},
    ViewEntry{ViewKey::DebugLog, MIRX_VIEW_CAPTION("Debug Log"), ViewMode::Modeless,
              ViewTitle::Caption, "DebugLogDlg", ViewPrivilege::Any, true},
    ViewEntry{ViewKey::SipRegistrations, MIRX_VIEW_CAPTION("SIP Registrations"), ViewMode::Modeless,
              ViewTitle::ProductAndProfile, "SipRegistrations", ViewPrivilege::Any, true},
    ViewEntry{ViewKey::CommandFiles, MIRX_VIEW_CAPTION("Command Files"), ViewMode::Modeless,
              ViewTitle::ProductAndProfile, "CommandFilesDialog", ViewPrivilege::Any, false},
    ViewEntry{ViewKey::Reports,
              MIRX_VIEW_CAPTION("Reports"),
              ViewMode::Modal,
              ViewTitle::ProductAndProfile,
              {},
              ViewPrivilege::Any,
              true},
    ViewEntry{ViewKey::UserInterfaceSettings, MIRX_VIEW_CAPTION("User Interface Settings"),
              ViewMode::Modal, ViewTitle::ProductAndProfile, "UserInterfaceSettings",
              ViewPrivilege::Any, true},
    ViewEntry{ViewKey::ClientConfigurationEdit,
              MIRX_VIEW_CAPTION("Client Configuration Add/Edit"),
              ViewMode::Modal,
              ViewTitle::ProductAndProfile,
              {},
              ViewPrivilege::FullAdministrator,
              true},
    ViewEntry{ViewKey::ClientConfigurationTemplateQuery,
              MIRX_VIEW_CAPTION("Edit Confirmation"),
              ViewMode::Modal,
              ViewTitle::ProductAndProfile,
              {},
              ViewPrivilege::Any,
              true},
    ViewEntry{ViewKey::ClientOptions,
              MIRX_VIEW_CAPTION("Client Configuration Options"),
              ViewMode::Modal,
              ViewTitle::ProductAndProfile,
              {},
              ViewPrivilege::Any,
              true},
    ViewEntry{ViewKey::ClientOptionsDifferences,
              MIRX_VIEW_CAPTION("Client Options Compared with Default"),
              ViewMode::Modal,
              ViewTitle::ProductAndProfile,
              {},
              ViewPrivilege::Any,
              true},
    ViewEntry{ViewKey::ClientAudioSettings,
              MIRX_VIEW_CAPTION("Client Configuration Audio Settings"),
              ViewMode::Modal,
              ViewTitle::ProductAndProfile,
              {},
              ViewPrivilege::Any,
              true},
    ViewEntry{ViewKey::ClientSelectorAssignments,
              MIRX_VIEW_CAPTION("Client Configuration Selector Assignments"), ViewMode::Modal,
              ViewTitle::ProductAndProfile, "SelectorAssignments", ViewPrivilege::Any, true},
    ViewEntry{ViewKey::SelectorHotKey,
              MIRX_VIEW_CAPTION("Selector Hot Key"),
              ViewMode::Modal,
              ViewTitle::ProductAndProfile,
              {},
              ViewPrivilege::Any,
              true},
    ViewEntry{ViewKey::GroupConfigurationEdit,
              MIRX_VIEW_CAPTION("Group Configuration Add/Edit"),
              ViewMode::Modal,
              ViewTitle::ProductAndProfile,
              {},
              ViewPrivilege::Any,
              true},
    ViewEntry{ViewKey::GroupMembership, MIRX_VIEW_CAPTION("Group Configuration Membership"),
              ViewMode::Modal, ViewTitle::ProductAndProfile, "GroupMembership", ViewPrivilege::Any,
              true},
    ViewEntry{ViewKey::RemoteConfigurationEdit,
              MIRX_VIEW_CAPTION("Remote Configuration Edit"),
              ViewMode::Modal,
              ViewTitle::ProductAndProfile,
              {},
              ViewPrivilege::Any,
              true},
    ViewEntry{ViewKey::DebugFilter, MIRX_VIEW_CAPTION("Debug Filter Configuration"),
              ViewMode::Modal, ViewTitle::ProductAndProfile, "DebugLogFilterList",
              ViewPrivilege::Any, true},
    ViewEntry{ViewKey::DebugFilterEdit,
              MIRX_VIEW_CAPTION("Debug Filter Configuraton Add/Edit"),
              ViewMode::Modal,
              ViewTitle::ProductAndProfile,
              {},
              ViewPrivilege::Any,
              true},
    ViewEntry{ViewKey::ReportConnectionStatus, MIRX_VIEW_CAPTION("Connection Status"),
              ViewMode::Modal, ViewTitle::ProductAndProfile, "ReportConnectionStatusDlg",
              ViewPrivilege::Any, true},
    ViewEntry{ViewKey::ReportPartyLineMembership, MIRX_VIEW_CAPTION("Party Line Membership Report"),
              ViewMode::Modal, ViewTitle::ProductAndProfile, "ReportPartyLineMembershipDlg",
              ViewPrivilege::Any, true},
    ViewEntry{ViewKey::ReportSelectorAssignments, MIRX_VIEW_CAPTION("Selector Assignments Report"),
              ViewMode::Modal, ViewTitle::ProductAndProfile, "ReportSelectorAssignmentsDlg",
              ViewPrivilege::Any, true},
};

const ViewEntry& viewEntry(ViewKey key);
// The entry's caption, translated.
QString viewCaption(ViewKey key);
// The window title the entry asks for.
QString viewTitle(ViewKey key, std::string_view profile);
// Whether the logged-in administrator may open the view.
bool mayOpen(ViewKey key, const link::ServerLink& link);
// Why a control is disabled for the logged-in administrator, for its tooltip;
// empty when `privilege` is met.
QString privilegeNote(ViewPrivilege privilege, const link::ServerLink& link);

} // namespace mirx::shell
