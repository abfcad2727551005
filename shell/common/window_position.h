#pragma once

#include <string_view>

class QWidget;

namespace mirx::link {
class SettingsStore;
}

// Views remember where they were under their own prefix. Coordinates are
// those of Qt's virtual desktop (all screens it reports).

namespace mirx::shell {

// Moves (and for resizable views sizes) the window from the stored values;
// a corner outside the virtual desktop centres it on the primary screen,
// Left and Top both 0 keep the default placement. Call before show().
void restoreWindowPosition(QWidget& window, link::SettingsStore& store, std::string_view prefix);

// Stores the window's normal (not maximised) place: the frame's corner and,
// for resizable views, the client size added to it.
void saveWindowPosition(const QWidget& window, link::SettingsStore& store, std::string_view prefix);

} // namespace mirx::shell
