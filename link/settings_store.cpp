#include "link/settings_store.h"

#include "core/debug_log.h"
#include "core/utf16.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace mirx::link {

bool SettingsStore::ensureOpen() {
    if (!open_) {
        open_ = openProfile();
    }
    if (!open_) {
        // The log ends the line.
        log::print("ERROR: Failed to opened registry key %s", profileKeyPath().c_str());
    }
    return open_;
}

std::optional<std::string> SettingsStore::readString(std::string_view name, std::size_t maxChars) {
    std::lock_guard guard(lock_);
    if (!ensureOpen()) {
        return std::nullopt;
    }
    const std::optional<StoredValue> value = load(name);
    if (!value) {
        return std::nullopt;
    }
    const auto* text = std::get_if<std::string>(&*value);
    if (text == nullptr) {
        return std::nullopt;
    }
    return std::string(text::prefixWithinUtf16Units(*text, maxChars));
}

std::optional<std::uint32_t> SettingsStore::readNumber(std::string_view name) {
    std::lock_guard guard(lock_);
    if (!ensureOpen()) {
        return std::nullopt;
    }
    const std::optional<StoredValue> value = load(name);
    if (!value) {
        return std::nullopt;
    }
    const auto* number = std::get_if<std::uint32_t>(&*value);
    if (number == nullptr) {
        return std::nullopt;
    }
    return *number;
}

bool SettingsStore::writeString(std::string_view name, std::string_view text) {
    std::lock_guard guard(lock_);
    return ensureOpen() && save(name, StoredValue{std::string(text)});
}

bool SettingsStore::writeNumber(std::string_view name, std::uint32_t value) {
    std::lock_guard guard(lock_);
    return ensureOpen() && save(name, StoredValue{value});
}

MemorySettingsStore::MemorySettingsStore(std::string keyPath)
    : keyPath_(std::move(keyPath)) {}

void MemorySettingsStore::set(std::string_view name, StoredValue value) {
    std::lock_guard guard(valuesLock_);
    values_.insert_or_assign(std::string(name), std::move(value));
}

std::optional<StoredValue> MemorySettingsStore::get(std::string_view name) const {
    std::lock_guard guard(valuesLock_);
    const auto it = values_.find(name);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void MemorySettingsStore::erase(std::string_view name) {
    std::lock_guard guard(valuesLock_);
    const auto it = values_.find(name);
    if (it != values_.end()) {
        values_.erase(it);
    }
}

MemorySettingsStore::Values MemorySettingsStore::values() const {
    std::lock_guard guard(valuesLock_);
    return values_;
}

bool MemorySettingsStore::save(std::string_view name, const StoredValue& value) {
    set(name, value);
    return true;
}

std::optional<std::string> readString(SettingsStore& store, const SettingValue& value) {
    return store.readString(value.name, value.maxChars);
}

std::uint16_t readPort(SettingsStore& store) {
    if (const auto port = store.readNumber(kDataIpPort.name)) {
        return static_cast<std::uint16_t>(*port & 0xFFFF);
    }
    store.writeNumber(kDataIpPort.name, kDefaultPort);
    return kDefaultPort;
}

std::uint16_t readSecondaryPort(SettingsStore& store) {
    const auto port = store.readNumber(kSecondaryServerIpPort.name);
    return port ? static_cast<std::uint16_t>(*port & 0xFFFF) : kDefaultPort;
}

bool readFlag(SettingsStore& store, const SettingValue& value) {
    const auto number = store.readNumber(value.name);
    return number && *number != 0;
}

bool readDomainAuthentication(SettingsStore& store) {
    return readFlag(store, kUseDomainAuthentication);
}

std::string readUserName(SettingsStore& store) {
    return readString(store, kUserName).value_or(std::string(kDefaultUserName));
}

std::string readPassword(SettingsStore& store) {
    return readString(store, kPassword).value_or(std::string());
}

std::string readDomainSaslMechanism(SettingsStore& store) {
    const auto mechanism = readString(store, kDomainSaslMechanism);
    return mechanism && !mechanism->empty() ? *mechanism : std::string(kDefaultSaslMechanism);
}

std::optional<WindowPositionKey> findWindowPositionKey(std::string_view prefix) {
    const auto it =
        std::find_if(kWindowPositionKeys.begin(), kWindowPositionKeys.end(),
                     [&](const WindowPositionKey& key) { return key.prefix == prefix; });
    if (it == kWindowPositionKeys.end()) {
        return std::nullopt;
    }
    return *it;
}

std::string windowPositionName(std::string_view prefix, WindowEdge edge) {
    std::string_view suffix;
    switch (edge) {
    case WindowEdge::Left:
        suffix = "WindowPositionLeft";
        break;
    case WindowEdge::Top:
        suffix = "WindowPositionTop";
        break;
    case WindowEdge::Right:
        suffix = "WindowPositionRight";
        break;
    case WindowEdge::Bottom:
        suffix = "WindowPositionBottom";
        break;
    }
    std::string name(prefix);
    name += suffix;
    return name;
}

namespace {

int readCoordinate(SettingsStore& store, std::string_view prefix, WindowEdge edge) {
    const auto number = store.readNumber(windowPositionName(prefix, edge));
    return number ? static_cast<std::int32_t>(*number) : 0;
}

bool writeCoordinate(SettingsStore& store, std::string_view prefix, WindowEdge edge, int value) {
    return store.writeNumber(windowPositionName(prefix, edge), static_cast<std::uint32_t>(value));
}

// Stored rectangles come from a file anyone can edit: do the arithmetic wide
// and clamp, rather than overflow.
int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

Rect rectAt(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height) {
    return Rect{clampToInt(x), clampToInt(y), clampToInt(x + width), clampToInt(y + height)};
}

} // namespace

Rect readWindowPosition(SettingsStore& store, std::string_view prefix, bool resizable) {
    Rect rect;
    rect.left = readCoordinate(store, prefix, WindowEdge::Left);
    rect.top = readCoordinate(store, prefix, WindowEdge::Top);
    if (resizable) {
        rect.right = readCoordinate(store, prefix, WindowEdge::Right);
        rect.bottom = readCoordinate(store, prefix, WindowEdge::Bottom);
    }
    return rect;
}

bool writeWindowPosition(SettingsStore& store, std::string_view prefix, bool resizable,
                         const Rect& rect) {
    bool ok = writeCoordinate(store, prefix, WindowEdge::Left, rect.left);
    ok = writeCoordinate(store, prefix, WindowEdge::Top, rect.top) && ok;
    if (resizable) {
        if (rect.right != 0) {
            ok = writeCoordinate(store, prefix, WindowEdge::Right, rect.right) && ok;
        }
        if (rect.bottom != 0) {
            ok = writeCoordinate(store, prefix, WindowEdge::Bottom, rect.bottom) && ok;
        }
    }
    return ok;
}

std::optional<Rect> placeWindow(const Rect& stored, int virtualScreenWidth, int virtualScreenHeight,
                                int primaryWidth, int primaryHeight, Size currentSize,
                                bool resizable) {
    if (stored.left == 0 && stored.top == 0) {
        return std::nullopt;
    }
    const std::int64_t width =
        resizable ? std::int64_t{stored.right} - stored.left : std::int64_t{currentSize.width};
    const std::int64_t height =
        resizable ? std::int64_t{stored.bottom} - stored.top : std::int64_t{currentSize.height};
    if (stored.left < virtualScreenWidth && stored.top < virtualScreenHeight) {
        return rectAt(stored.left, stored.top, width, height);
    }
    // Integer halves, truncated toward zero.
    const std::int64_t x = primaryWidth / 2 - width / 2;
    const std::int64_t y = primaryHeight / 2 - height / 2;
    return rectAt(x, y, width, height);
}

} // namespace mirx::link
