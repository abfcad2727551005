#include "shell/settings/qsettings_store.h"

#include "core/debug_log.h"
#include "core/hex.h"
#include "core/utf16.h"
#include "shell/settings/secret_store.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <QIODevice>
#include <QSettings>
#include <QString>
#include <QVariant>

namespace mirx::shell {

namespace {

constexpr std::string_view kHeader =
    "# MIRX System Administration settings, one [section] per profile.\n"
    "# Values: s:\"text\" is a string, n:123 an unsigned 32-bit number.\n";

char hexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xF];
}

void appendHexEscape(std::string& out, unsigned char c) {
    out += "\\x";
    out += hexDigit(c >> 4);
    out += hexDigit(c);
}

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

std::string escapeString(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (isControl(c)) {
                appendHexEscape(out, c);
            } else {
                out += ch;
            }
        }
    }
    return out;
}

// Section and value names: besides the string escapes, whatever would end
// the name or make its line look like something else, and blanks at either
// end (the reader trims them).
std::string escapeName(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char ch = name[i];
        const auto c = static_cast<unsigned char>(ch);
        const bool edgeBlank = (ch == ' ' || ch == '\t') && (i == 0 || i + 1 == name.size());
        if (ch == '\\') {
            out += "\\\\";
        } else if (isControl(c) || edgeBlank || ch == '=' || ch == '[' || ch == ']' || ch == '#' ||
                   ch == ';' || ch == '"') {
            appendHexEscape(out, c);
        } else {
            out += ch;
        }
    }
    return out;
}

// Undoes both escapings; nullopt for an unknown escape or a bare quote.
std::optional<std::string> unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '"') {
            return std::nullopt;
        }
        if (ch != '\\') {
            out += ch;
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case '"':
            out += '"';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'x': {
            if (i + 2 >= text.size()) {
                return std::nullopt;
            }
            const int high = hex::digitValue(text[i + 1]);
            const int low = hex::digitValue(text[i + 2]);
            if (high < 0 || low < 0) {
                return std::nullopt;
            }
            out += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r';
    };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::uint32_t> parseNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// A value the format does not know stays in the file as written, so another
// program's entries survive our writes; it is held as a byte array.
QVariant parseValue(std::string_view text) {
    if (text.size() >= 4 && text.starts_with("s:\"") && text.ends_with('"')) {
        if (const auto s = unescape(text.substr(3, text.size() - 4))) {
            return QVariant(QString::fromStdString(*s));
        }
    } else if (text.starts_with("n:")) {
        if (const auto n = parseNumber(text.substr(2))) {
            return QVariant(static_cast<uint>(*n));
        }
    }
    return QVariant(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

std::string valueText(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::UInt:
        return "n:" + std::to_string(value.toUInt());
    case QMetaType::QByteArray: {
        // Kept from the file; a line break would split it into two lines.
        std::string raw = value.toByteArray().toStdString();
        std::erase_if(raw, [](char c) { return c == '\n' || c == '\r'; });
        return raw;
    }
    default:
        return "s:\"" + escapeString(value.toString().toStdString()) + "\"";
    }
}

bool readTyped(QIODevice& device, QSettings::SettingsMap& map) {
    const QByteArray data = device.readAll();
    std::string_view rest(data.constData(), static_cast<std::size_t>(data.size()));
    if (rest.starts_with("\xEF\xBB\xBF")) {
        rest.remove_prefix(3);
    }
    std::string section;
    bool sectionUsable = true;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);

        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            const auto name = line.back() == ']' && line.size() >= 2
                                  ? unescape(line.substr(1, line.size() - 2))
                                  : std::nullopt;
            sectionUsable = name.has_value();
            section = name.value_or(std::string());
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!sectionUsable || eq == std::string_view::npos) {
            continue;
        }
        const auto name = unescape(trim(line.substr(0, eq)));
        if (!name || name->empty()) {
            continue;
        }
        const std::string key = section.empty() ? *name : section + "/" + *name;
        map.insert(QString::fromStdString(key), parseValue(trim(line.substr(eq + 1))));
    }
    return true;
}

bool writeTyped(QIODevice& device, const QSettings::SettingsMap& map) {
    // Base-level values first, then one section per profile.
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> sections;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const std::string key = it.key().toStdString();
        const std::size_t slash = key.rfind('/');
        const std::string section =
            slash == std::string::npos ? std::string() : key.substr(0, slash);
        const std::string name = slash == std::string::npos ? key : key.substr(slash + 1);
        sections[section].emplace_back(name, valueText(it.value()));
    }
    std::string out(kHeader);
    for (const auto& [section, values] : sections) {
        if (!section.empty()) {
            out += "\n[" + escapeName(section) + "]\n";
        }
        for (const auto& [name, value] : values) {
            out += escapeName(name) + "=" + value + "\n";
        }
    }
    return device.write(out.data(), static_cast<qint64>(out.size())) ==
           static_cast<qint64>(out.size());
}

QSettings::Format typedFormat() {
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("conf"), readTyped, writeTyped);
    return format;
}

// Creates the missing folders of `dir`, each 0700 (the XDG rule for
// configuration folders). `dir` itself, should it exist with a wider mode,
// is tightened to 0700: it holds a password. The folders above it are the
// user's own business.
bool makeFolders(const std::filesystem::path& dir) {
    if (dir.empty()) {
        return false;
    }
    std::filesystem::path partial;
    for (const auto& part : dir) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    if (ok && (info.st_mode & 07077) != 0) {
        ok = ::fchmod(fd, 0700) == 0;
    }
    ::close(fd);
    return ok;
}

// Creates the file 0600 if it is missing, so that no write ever makes it with
// the umask's mode; an existing file readable by others is tightened. A link
// or a file of another user is refused: it could hand our passwords to
// whoever controls it. Returns why the file was refused, empty when taken.
std::string prepareFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        const int error = errno;
        struct stat info {};
        if (error == ELOOP || (::lstat(file.c_str(), &info) == 0 && S_ISLNK(info.st_mode))) {
            return "The settings file " + file.native() +
                   " is a symbolic link; it was not used. Replace it with a plain file.";
        }
        return "The settings file " + file.native() + " could not be opened (" +
               std::strerror(error) + ").";
    }
    struct stat info {};
    std::string refusal;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        refusal = "The settings file " + file.native() + " is not a plain file; it was not used.";
    } else if (info.st_uid != ::geteuid()) {
        refusal = "The settings file " + file.native() + " belongs to user " +
                  std::to_string(info.st_uid) + ", not to you; it was not used.";
    } else if ((info.st_mode & 077) != 0 && ::fchmod(fd, 0600) != 0) {
        refusal = "The settings file " + file.native() + " could not be made private (" +
                  std::strerror(errno) + "); it was not used.";
    }
    ::close(fd);
    return refusal;
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<link::StoredValue> storedValue(const QVariant& value) {
    switch (value.metaType().id()) {
    case QMetaType::UnknownType:
        return std::nullopt;
    case QMetaType::QString:
        return link::StoredValue{value.toString().toStdString()};
    case QMetaType::UInt:
        return link::StoredValue{static_cast<std::uint32_t>(value.toUInt())};
    default:
        return link::StoredValue{link::OtherValue{value.toByteArray().toStdString()}};
    }
}

QVariant variantOf(const link::StoredValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return toQString(*text);
    }
    if (const auto* number = std::get_if<std::uint32_t>(&value)) {
        return static_cast<uint>(*number);
    }
    const std::string& raw = std::get<link::OtherValue>(value).raw;
    return QByteArray(raw.data(), static_cast<qsizetype>(raw.size()));
}

QString qualified(const std::string& group, std::string_view name) {
    return group.empty() ? toQString(name) : toQString(group + "/" + std::string(name));
}

} // namespace

QSettingsStore::QSettingsStore(const std::optional<std::string>& commandLineProfile,
                               std::filesystem::path file)
    : file_(std::move(file)) {
    const bool baseOpen = openFile();
    if (commandLineProfile && !commandLineProfile->empty()) {
        currentProfile_ = *commandLineProfile;
        group_ = currentProfile_;
        if (baseOpen) {
            put(toQString(link::kProfileValueName), toQString(currentProfile_));
        }
    } else if (const auto stored = baseOpen ? readStoredProfile() : std::nullopt) {
        currentProfile_ = *stored;
        group_ = *stored;
    } else {
        group_ = std::string(link::kDefaultProfileKey);
    }
}

QSettingsStore::~QSettingsStore() = default;

std::filesystem::path QSettingsStore::defaultFilePath() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        base = std::filesystem::path(home) / ".config";
    } else {
        return {};
    }
    return base / "Talbrook" / "SystemAdministration.conf";
}

std::string QSettingsStore::profileKeyPath() const {
    return file_.string() + "[" + group_ + "]";
}

bool QSettingsStore::openFile() {
    if (!makeFolders(file_.parent_path())) {
        refusal_ = "The settings folder " + file_.parent_path().native() +
                   " could not be created (" + std::strerror(errno) + ").";
        return false;
    }
    refusal_ = prepareFile(file_);
    if (!refusal_.empty()) {
        return false;
    }
    auto settings =
        std::make_unique<QSettings>(QString::fromStdString(file_.string()), typedFormat());
    if (settings->status() != QSettings::NoError || !settings->isWritable()) {
        refusal_ = "The settings file " + file_.native() + " could not be read or written.";
        return false;
    }
    settings_ = std::move(settings);
    return true;
}

// When the file could not be opened at start-up, nothing is ever read or
// written during this run, as the profile could not be chosen from it.
bool QSettingsStore::openProfile() {
    return settings_ != nullptr;
}

std::optional<std::string> QSettingsStore::readStoredProfile() {
    const QVariant value = settings_->value(toQString(link::kProfileValueName));
    if (value.metaType().id() != QMetaType::QString) {
        return std::nullopt;
    }
    // Read with the same limit as /Profile accepts, so a name stored from the
    // command line always reads back whole.
    return std::string(
        text::prefixWithinUtf16Units(value.toString().toStdString(), link::kProfileNameMaxChars));
}

std::optional<link::StoredValue> QSettingsStore::load(std::string_view name) {
    if (settings_ == nullptr) {
        return std::nullopt;
    }
    if (name == link::kPassword.name) {
        return loadPassword();
    }
    return storedValue(settings_->value(qualified(group_, name)));
}

bool QSettingsStore::save(std::string_view name, const link::StoredValue& value) {
    if (name == link::kPassword.name && settings_ != nullptr) {
        if (const auto* password = std::get_if<std::string>(&value)) {
            return savePassword(*password);
        }
    }
    return put(qualified(group_, name), variantOf(value));
}

void QSettingsStore::useSecretStore(SecretStore* secrets,
                                    std::function<void(const std::string&)> notice) {
    secrets_ = secrets;
    notice_ = std::move(notice);
}

std::string QSettingsStore::passwordProblem() const {
    const std::lock_guard hold(problemLock_);
    return passwordProblem_;
}

void QSettingsStore::setPasswordProblem(std::string problem) {
    const std::lock_guard hold(problemLock_);
    passwordProblem_ = std::move(problem);
}

std::string QSettingsStore::keyringKey() const {
    if (runServer_) {
        return secretKey(group_, *runServer_);
    }
    const QVariant server = settings_->value(qualified(group_, link::kServerIPAddress.name));
    const std::string address =
        server.metaType().id() == QMetaType::QString
            ? std::string(text::prefixWithinUtf16Units(server.toString().toStdString(),
                                                       link::kServerIPAddress.maxChars))
            : std::string();
    return secretKey(group_, address);
}

bool QSettingsStore::keyringHolds(const std::string& key, const std::string& secret) const {
    const std::lock_guard hold(knownLock_);
    return keyringKnown_ && keyringKnown_->key == key && keyringKnown_->secret == secret;
}

void QSettingsStore::setKeyringHolds(std::optional<KnownSecret> known) {
    const std::lock_guard hold(knownLock_);
    keyringKnown_ = std::move(known);
}

std::optional<link::StoredValue> QSettingsStore::loadPassword() {
    setPasswordProblem({});
    if (const QVariant inFile = settings_->value(qualified(group_, link::kPassword.name));
        inFile.isValid()) {
        return storedValue(inFile);
    }
    const QVariant marker = settings_->value(qualified(group_, link::kPasswordInKeyring.name));
    if (marker.metaType().id() != QMetaType::UInt || marker.toUInt() == 0) {
        return std::nullopt;
    }
    const std::string key = secrets_ != nullptr ? keyringKey() : std::string();
    const SecretResult found =
        secrets_ != nullptr
            ? secrets_->read(key)
            : SecretResult{SecretStatus::Unreachable, {}, "this program does not use the keyring"};
    switch (found.status) {
    case SecretStatus::Ok:
        setKeyringHolds(KnownSecret{key, found.secret});
        return link::StoredValue{found.secret};
    case SecretStatus::Absent:
        // Removed by hand, or stored for another server address.
        return std::nullopt;
    case SecretStatus::Unreachable:
    case SecretStatus::Failed:
        break;
    }
    std::string problem = "the password of " + profileKeyPath() +
                          " is kept in the desktop keyring, which could not be read (" +
                          found.detail + ")";
    log::print("WARNING: %s", problem.c_str());
    setPasswordProblem(std::move(problem));
    return std::nullopt;
}

bool QSettingsStore::savePassword(const std::string& password) {
    const QString fileKey = qualified(group_, link::kPassword.name);
    const QString markerKey = qualified(group_, link::kPasswordInKeyring.name);
    const QString noticeKey = toQString(link::kPasswordFileNoticeValueName);
    const auto eraseIfThere = [this](const QString& key) {
        return !settings_->contains(key) || erase(key);
    };
    std::string why = "this program does not use the keyring";
    if (secrets_ != nullptr) {
        const std::string key = keyringKey();
        if (!password.empty() && keyringHolds(key, password) && !settings_->contains(fileKey) &&
            settings_->value(markerKey).toUInt() != 0) {
            return true;
        }
        const SecretResult result =
            password.empty() ? secrets_->erase(key) : secrets_->write(key, password);
        setKeyringHolds(result.status == SecretStatus::Ok && !password.empty()
                            ? std::optional<KnownSecret>{KnownSecret{key, password}}
                            : std::nullopt);
        if (result.status == SecretStatus::Ok) {
            // Never two copies: a file copy would also win over the keyring's.
            bool ok = eraseIfThere(fileKey);
            ok = (password.empty() ? eraseIfThere(markerKey) : put(markerKey, QVariant(1u))) && ok;
            eraseIfThere(noticeKey);
            return ok;
        }
        why = result.detail;
        // Having no keyring is a setup, said once by the notice; a keyring
        // that refuses is worth a warning each time.
        if (result.status == SecretStatus::Failed) {
            log::print("WARNING: the desktop keyring refused the password (%s); it is kept in %s",
                       why.c_str(), file_.c_str());
        } else {
            log::print("No desktop keyring for the password (%s); it is kept in %s", why.c_str(),
                       file_.c_str());
        }
    }
    if (!put(fileKey, toQString(password))) {
        return false;
    }
    eraseIfThere(markerKey);
    if (!password.empty() && notice_ && !settings_->contains(noticeKey) &&
        put(noticeKey, QVariant(1u))) {
        notice_("No desktop keyring took the password (" + why + "), so it is kept in " +
                file_.string() + ", which only you can read.");
    }
    return true;
}

bool QSettingsStore::put(const QString& key, const QVariant& value) {
    return change(key, value);
}

bool QSettingsStore::erase(const QString& key) {
    return change(key, std::nullopt);
}

bool QSettingsStore::change(const QString& key, const std::optional<QVariant>& value) {
    if (settings_ == nullptr) {
        return false;
    }
    // QSettings keeps the first error for the object's lifetime; a fresh
    // object tells this write's outcome.
    if (settings_->status() != QSettings::NoError) {
        settings_ = std::make_unique<QSettings>(settings_->fileName(), typedFormat());
    }
    // Should the file have gone, QSettings would create it readable by all.
    if (std::string refusal = prepareFile(file_); !refusal.empty()) {
        refusal_ = std::move(refusal);
        return false;
    }
    const QVariant previous = settings_->value(key);
    if (value) {
        settings_->setValue(key, *value);
    } else {
        settings_->remove(key);
    }
    settings_->sync();
    if (settings_->status() == QSettings::NoError) {
        return true;
    }
    // The failed change would otherwise read back, and go to the file with
    // the next write that succeeds.
    if (previous.isValid()) {
        settings_->setValue(key, previous);
    } else {
        settings_->remove(key);
    }
    return false;
}

} // namespace mirx::shell
