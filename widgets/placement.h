#pragma once

#include <QRect>

class QWidget;

// The window a dialog belongs over: the active window, or else the first visible top-level
// window (with no window manager, or while a long operation yields, none may be active).
[[nodiscard]] QWidget *dialogOwner();

// Moves a top-level window so that it is centred on `owner`, kept on the owner's screen; on a
// screen of its own the window would open at that screen's top-left corner.
void centreOver(QWidget *window, const QWidget *owner);

// Where a window `size` large goes beside the window at `owner` on a screen's free `room` (frames
// all): to the owner's right where the room holds it, else to its left; else over the owner's
// right part, against the room's right edge but never further left than the owner's first third,
// narrowed to fit, so that the owner is never covered whole. Top edges level, within the room.
[[nodiscard]] QRect besideRect(const QRect &owner, const QSize &size, const QRect &room);

// Moves and, when it must, narrows a top-level window to besideRect() of `owner` on the owner's
// screen.
void placeBeside(QWidget *window, const QWidget *owner);
