#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

namespace quorvane::app {

// The window manager's frame around a window's client area: the window's own once it has been shown,
// else that of another window already shown, else a common title bar and border.
QMargins expectedFrame(const QWidget* window);

// The top-left of a frame around a client area of clientSize, moved the least from at so that the
// whole frame lies on available. Where it is too large for that, its top and left edges stay on
// available, so the title bar can always be reached.
QPoint keptInside(const QRect& available, QPoint at, QSize clientSize, QMargins frame);

// The top-left of that frame centred on available, kept inside as above.
QPoint centredOn(const QRect& available, QSize clientSize, QMargins frame);

// wanted, made smaller where needed so that the client area with its frame fits available.
QSize fittedSize(const QRect& available, QSize wanted, QMargins frame);

// The screen a new window belongs to: that of the active window, else the primary screen.
QScreen* currentScreen();

} // namespace quorvane::app
