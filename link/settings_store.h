#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

// The console's persistent settings, one profile at a time. The link and the
// views see them only through SettingsStore; the shell supplies the file-backed
// store and tests use MemorySettingsStore.
//
// Values are typed: a string never reads as a number or the other way round,
// and a value of the wrong type (or one the store cannot make sense of) reads
// as absent, so every reader falls back to its default.
//
// The connection thread reads while the views write: every access holds the
// store's lock.

namespace mirx::link {

// A stored value whose type is neither string nor number, or a broken one.
struct OtherValue {
    std::string raw;
    friend bool operator==(const OtherValue&, const OtherValue&) = default;
};

using StoredValue = std::variant<std::string, std::uint32_t, OtherValue>;

class SettingsStore {
public:
    SettingsStore() = default;
    virtual ~SettingsStore() = default;
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Absent unless the stored value is a string. Longer texts are cut to
    // `maxChars` UTF-16 code units (the limits are the sizes of the buffers
    // that hold them), never inside a character.
    std::optional<std::string> readString(std::string_view name, std::size_t maxChars);
    // Absent unless the stored value is a 32-bit number.
    std::optional<std::uint32_t> readNumber(std::string_view name);
    // False when the profile cannot be opened or the write fails.
    bool writeString(std::string_view name, std::string_view text);
    bool writeNumber(std::string_view name, std::uint32_t value);

    // Where the profile's values live, for the open failure message.
    virtual std::string profileKeyPath() const = 0;

protected:
    // Called on the first access; a failure is logged and retried on the next
    // access, and that access behaves as if the value were absent.
    virtual bool openProfile() = 0;
    virtual std::optional<StoredValue> load(std::string_view name) = 0;
    virtual bool save(std::string_view name, const StoredValue& value) = 0;

private:
    bool ensureOpen();

    std::mutex lock_;
    bool open_ = false;
};

// In-memory store: the link's tests, and a stand-in wherever nothing may be
// persisted.
class MemorySettingsStore final : public SettingsStore {
public:
    explicit MemorySettingsStore(std::string keyPath = "memory[Default]");

    // While set, opening fails; a store that is already open stays open, as
    // a kept handle would.
    void setFailOpen(bool fail) { failOpen_ = fail; }

    using Values = std::map<std::string, StoredValue, std::less<>>;

    void set(std::string_view name, StoredValue value);
    std::optional<StoredValue> get(std::string_view name) const;
    void erase(std::string_view name);
    Values values() const;

    std::string profileKeyPath() const override { return keyPath_; }

protected:
    bool openProfile() override { return !failOpen_.load(); }
    std::optional<StoredValue> load(std::string_view name) override { return get(name); }
    bool save(std::string_view name, const StoredValue& value) override;

private:
    std::string keyPath_;
    mutable std::mutex valuesLock_;
    Values values_;
    std::atomic<bool> failOpen_{false};
};

// ---- Stored values -------------------------------------------------------

enum class ValueType { String, Number };

struct SettingValue {
    std::string_view name;
    ValueType type;
    // Strings: longest text read back (UTF-16 code units). Numbers: 0.
    std::size_t maxChars;
};

// Every value of a profile, once: name, type, read limit, and what an absent
// value means.
//
// Absent: no server configured yet.
inline constexpr SettingValue kServerIPAddress{"ServerIPAddress", ValueType::String, 50};
// Absent: 1000, written back at once (readPort).
inline constexpr SettingValue kDataIpPort{"DataIpPort", ValueType::Number, 0};
// Absent: the first local IPv4 address, written back. The connection
// settings view shows at most 40 characters.
inline constexpr SettingValue kClientIPAddress{"ClientIPAddress", ValueType::String, 50};
// Absent or empty: no secondary server.
inline constexpr SettingValue kSecondaryServerIpAddress{"SecondaryServerIpAddress",
                                                        ValueType::String, 19};
// Absent: 1000, not written back (readSecondaryPort).
inline constexpr SettingValue kSecondaryServerIpPort{"SecondaryServerIpPort", ValueType::Number, 0};
// Absent: "admin" (readUserName).
inline constexpr SettingValue kUserName{"UserName", ValueType::String, 20};
// Absent: empty. Kept as the plain text of the password. The settings file
// holds it only where no desktop keyring takes it.
inline constexpr SettingValue kPassword{"Password", ValueType::String, 20};
// Non-zero while the profile's password lives in the desktop keyring instead
// of Password, so a run that cannot reach the keyring can say where it is.
inline constexpr SettingValue kPasswordInKeyring{"PasswordInKeyring", ValueType::Number, 0};
// Flags, 0 or non-zero. Absent: 0.
inline constexpr SettingValue kAutomaticLogin{"AutomaticLogin", ValueType::Number, 0};
inline constexpr SettingValue kAlwaysOnTop{"AlwaysOnTop", ValueType::Number, 0};
inline constexpr SettingValue kUseDomainAuthentication{"UseDomainAuthentication", ValueType::Number,
                                                       0};
// 32 hex digits shared with the server. Absent: domain login fails. The
// longer limit lets an over-long value fail its check instead of being cut
// into a valid-looking key.
inline constexpr SettingValue kDomainAuthenticationKey{"DomainAuthenticationKey", ValueType::String,
                                                       64};
// Absent or empty: the directory library's own default.
inline constexpr SettingValue kDomainDirectoryUri{"DomainDirectoryUri", ValueType::String, 255};
// Absent or empty: "GSSAPI". SASL mechanism names are at most 20 characters.
inline constexpr SettingValue kDomainSaslMechanism{"DomainSaslMechanism", ValueType::String, 20};

inline constexpr std::array kProfileValues{
    kServerIPAddress,
    kDataIpPort,
    kClientIPAddress,
    kSecondaryServerIpAddress,
    kSecondaryServerIpPort,
    kUserName,
    kPassword,
    kPasswordInKeyring,
    kAutomaticLogin,
    kAlwaysOnTop,
    kUseDomainAuthentication,
    kDomainAuthenticationKey,
    kDomainDirectoryUri,
    kDomainSaslMechanism,
};

// The profile used when none is given on the command line; it lives beside
// the profiles, not inside one.
inline constexpr std::string_view kProfileValueName = "Profile";
// Beside Profile: non-zero once the user was told that a password is kept in
// the settings file for want of a keyring; cleared when one reaches it.
inline constexpr std::string_view kPasswordFileNoticeValueName = "PasswordFileNoticeGiven";
// Longest profile name, given or stored: a stored Profile is read with this
// limit too, so a name given on the command line always reads back whole.
inline constexpr std::size_t kProfileNameMaxChars = 50;
// Profile key used when no valid Profile is stored.
inline constexpr std::string_view kDefaultProfileKey = "Default";

inline constexpr std::uint16_t kDefaultPort = 1000;
inline constexpr std::string_view kDefaultUserName = "admin";
inline constexpr std::string_view kDefaultSaslMechanism = "GSSAPI";

// ---- Readers with their defaults ---------------------------------------

// A string value cut to its limit; absent as readString says.
std::optional<std::string> readString(SettingsStore& store, const SettingValue& value);

// DataIpPort, low 16 bits. An absent value reads as 1000 and 1000 is written
// back at once.
std::uint16_t readPort(SettingsStore& store);
// SecondaryServerIpPort, low 16 bits; 1000 when absent, not written back.
std::uint16_t readSecondaryPort(SettingsStore& store);
// True only for a present, non-zero number.
bool readFlag(SettingsStore& store, const SettingValue& value);
bool readDomainAuthentication(SettingsStore& store);
// "admin" when absent or not a string; an empty stored name stays empty.
std::string readUserName(SettingsStore& store);
// Empty when absent.
std::string readPassword(SettingsStore& store);
// "GSSAPI" when absent or empty.
std::string readDomainSaslMechanism(SettingsStore& store);

// ---- Window positions ----------------------------------------------------

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

enum class WindowEdge { Left, Top, Right, Bottom };

// Views that can be resized keep their whole rectangle; the others only their
// top-left corner.
struct WindowPositionKey {
    std::string_view prefix;
    bool resizable;
};

inline constexpr std::array kWindowPositionKeys{
    WindowPositionKey{"Main", true},
    WindowPositionKey{"Login", false},
    WindowPositionKey{"ActivityLogDlg", true},
    WindowPositionKey{"ClientConfiguration", true},
    WindowPositionKey{"SelectorAssignments", true},
    WindowPositionKey{"RemoteConfiguration", true},
    WindowPositionKey{"ReportConnectionStatusDlg", true},
    WindowPositionKey{"ReportPartyLineMembershipDlg", true},
    WindowPositionKey{"ReportSelectorAssignmentsDlg", true},
    WindowPositionKey{"SipRegistrations", true},
    WindowPositionKey{"ClientStatistics", true},
    WindowPositionKey{"CommandFilesDialog", true},
    WindowPositionKey{"DebugLogFilterList", true},
    WindowPositionKey{"DebugLogDlg", true},
    WindowPositionKey{"GroupConfiguration", true},
    WindowPositionKey{"GroupMembership", true},
    WindowPositionKey{"SystemSettings", true},
    WindowPositionKey{"UserInterfaceSettings", true},
};

// The prefix's entry in kWindowPositionKeys; nullopt for an unknown prefix.
std::optional<WindowPositionKey> findWindowPositionKey(std::string_view prefix);

// "<prefix>WindowPositionLeft" and so on.
std::string windowPositionName(std::string_view prefix, WindowEdge edge);

// Coordinates are stored as 32-bit numbers in two's complement, so windows
// left of or above the primary screen keep their place. Absent values are 0;
// a move-only view reads Right and Bottom as 0.
Rect readWindowPosition(SettingsStore& store, std::string_view prefix, bool resizable);
// Left and Top always; Right and Bottom only for a resizable view, and each
// only when non-zero. False when any write failed.
bool writeWindowPosition(SettingsStore& store, std::string_view prefix, bool resizable,
                         const Rect& rect);

// Where a view opens, from its stored rectangle: nullopt keeps the default
// placement (Left and Top both 0); a corner inside the virtual screen's width
// and height is used as it stands; anything else is centred on the primary
// screen. A resizable view takes its stored size, a move-only one keeps
// `currentSize`.
std::optional<Rect> placeWindow(const Rect& stored, int virtualScreenWidth, int virtualScreenHeight,
                                int primaryWidth, int primaryHeight, Size currentSize,
                                bool resizable);

} // namespace mirx::link
