#include "widgets/placement.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

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
