#include "widgets/placement.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QWidget *dialogOwner()
{
    QWidget *active = QApplication::activeWindow();
    if (active && !(active->windowType() == Qt::Popup || active->windowType() == Qt::ToolTip))
        return active;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowType() == Qt::Window)
            return window;
    }
    return nullptr;
}

void centreOver(QWidget *window, const QWidget *owner)
{
    if (!owner || owner == window)
        return;
    const QRect over = owner->frameGeometry();
    QRect placed(QPoint(), window->frameGeometry().size());
    placed.moveCenter(over.center());
    if (const QScreen *screen = owner->screen()) {
        const QRect room = screen->availableGeometry();
        placed.moveLeft(
            std::clamp(placed.left(), room.left(), std::max(room.left(), room.right() - placed.width())));
        placed.moveTop(
            std::clamp(placed.top(), room.top(), std::max(room.top(), room.bottom() - placed.height())));
    }
    window->move(placed.topLeft());
}

QRect besideRect(const QRect &owner, const QSize &size, const QRect &room)
{
    const int height = std::min(size.height(), room.height());
    const int top = std::clamp(owner.top(), room.top(), room.bottom() + 1 - height);
    if (owner.right() + 1 + size.width() <= room.right() + 1)
        return {owner.right() + 1, top, size.width(), height};
    if (owner.left() - size.width() >= room.left())
        return {owner.left() - size.width(), top, size.width(), height};
    const int left = std::max(room.right() + 1 - size.width(), owner.left() + owner.width() / 3);
    return {left, top, std::min(size.width(), room.right() + 1 - left), height};
}

void placeBeside(QWidget *window, const QWidget *owner)
{
    if (!owner || !owner->screen())
        return;
    // A window that has not shown yet knows no frame: it will get one like the owner's.
    const QRect ownFrame = owner->frameGeometry();
    const QRect own = owner->geometry();
    const QMargins frame(own.left() - ownFrame.left(), own.top() - ownFrame.top(),
                         ownFrame.right() - own.right(), ownFrame.bottom() - own.bottom());
    const QRect placed =
        besideRect(ownFrame, window->size().grownBy(frame), owner->screen()->availableGeometry());
    window->setGeometry(placed - frame);
}
