#include "shell/common/window_position.h"

#include "link/settings_store.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace mirx::shell {
namespace {

bool isResizable(std::string_view prefix) {
    const auto key = link::findWindowPositionKey(prefix);
    return key && key->resizable;
}

} // namespace

void restoreWindowPosition(QWidget& window, link::SettingsStore& store, std::string_view prefix) {
    const bool resizable = isResizable(prefix);
    const link::Rect stored = link::readWindowPosition(store, prefix, resizable);
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) {
        return;
    }
    // The virtual desktop's extent measured from its origin, as the stored
    // corner is compared with a width and height.
    const QRect desktop = primary->virtualGeometry();
    const QRect primaryRect = primary->geometry();
    // A window that was never sized still has Qt's placeholder size until
    // show() lays it out; centring needs the real one.
    if (!resizable && !window.testAttribute(Qt::WA_Resized)) {
        window.adjustSize();
    }
    const QSize current = window.frameGeometry().size();
    const auto placed = link::placeWindow(
        stored, desktop.x() + desktop.width(), desktop.y() + desktop.height(), primaryRect.width(),
        primaryRect.height(), {current.width(), current.height()}, resizable);
    if (!placed) {
        return;
    }
    // A centred window is placed relative to the primary screen's origin.
    const bool asStored = placed->left == stored.left && placed->top == stored.top;
    const int left = placed->left + (asStored ? 0 : primaryRect.x());
    const int top = placed->top + (asStored ? 0 : primaryRect.y());
    if (resizable && placed->right > placed->left && placed->bottom > placed->top) {
        // A size stored on a larger screen, or at a smaller scale, is cut to
        // the screen the window opens on.
        QScreen* screen = QGuiApplication::screenAt(QPoint(left, top));
        const QSize room = (screen != nullptr ? screen : primary)->availableGeometry().size();
        window.resize(QSize(placed->right - placed->left, placed->bottom - placed->top)
                          .boundedTo(room)
                          .expandedTo(window.minimumSizeHint()));
    }
    window.move(left, top);
}

void saveWindowPosition(const QWidget& window, link::SettingsStore& store,
                        std::string_view prefix) {
    const bool resizable = isResizable(prefix);
    // Left and Top are the frame's corner, which move() takes back; Right and
    // Bottom add the client size, which resize() takes back. The frame's
    // margins are not known before a window is shown, so storing the frame's
    // size would grow the view by them at every opening.
    const QPoint margin = window.geometry().topLeft() - window.frameGeometry().topLeft();
    const QRect client =
        window.isMaximized() || window.isMinimized() ? window.normalGeometry() : window.geometry();
    const QPoint corner = client.topLeft() - margin;
    link::writeWindowPosition(
        store, prefix, resizable,
        {corner.x(), corner.y(), corner.x() + client.width(), corner.y() + client.height()});
}

} // namespace mirx::shell
