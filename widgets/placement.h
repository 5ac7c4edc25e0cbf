#pragma once

class QWidget;

// The window a dialog belongs over: the active window, or else the first visible top-level
// window (with no window manager, or while a long operation yields, none may be active).
[[nodiscard]] QWidget *dialogOwner();

// Moves a top-level window so that it is centred on `owner`, kept on the owner's screen; on a
// screen of its own the window would open at that screen's top-left corner.
void centreOver(QWidget *window, const QWidget *owner);
