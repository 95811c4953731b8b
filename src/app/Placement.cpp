#include "app/Placement.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace quorvane::app {

namespace {

QMargins frameOf(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

} // namespace

QMargins expectedFrame(const QWidget* window) {
    // The frame is known only once the window manager has put one around a shown window.
    if (window && window->isVisible() && !frameOf(window).isNull())
        return frameOf(window);
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget* other : windows) {
        if (other != window && other->isVisible() && other->isWindow() && !frameOf(other).isNull())
            return frameOf(other);
    }
    return {4, 30, 4, 4};
}

QPoint keptInside(const QRect& available, QPoint at, QSize clientSize, QMargins frame) {
    const QSize outer = clientSize.grownBy(frame);
    // Right and bottom first, then left and top: where both cannot hold, the top-left wins.
    const int x = std::max(std::min(at.x(), available.x() + available.width() - outer.width()), available.x());
    const int y = std::max(std::min(at.y(), available.y() + available.height() - outer.height()), available.y());
    return {x, y};
}

QPoint centredOn(const QRect& available, QSize clientSize, QMargins frame) {
    const QSize outer = clientSize.grownBy(frame);
    const QPoint at(available.x() + (available.width() - outer.width()) / 2,
                    available.y() + (available.height() - outer.height()) / 2);
    return keptInside(available, at, clientSize, frame);
}

QSize fittedSize(const QRect& available, QSize wanted, QMargins frame) {
    return wanted.boundedTo(available.size().shrunkBy(frame)).expandedTo(QSize(1, 1));
}

QScreen* currentScreen() {
    if (const QWidget* active = QApplication::activeWindow())
        return active->screen();
    return QGuiApplication::primaryScreen();
}

} // namespace quorvane::app
