#include "widgets/keyfilter.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

KeyFilter::KeyFilter(QWidget *control, Handler handler) : QObject(control), m_handler(std::move(handler))
{
    control->installEventFilter(this);
}

bool KeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        return m_handler(key->key(), key->modifiers());
    }
    return QObject::eventFilter(watched, event);
}

void clickOnEnter(QAbstractButton *button)
{
    new KeyFilter(button, [button](int key, Qt::KeyboardModifiers) {
        if (!isEnterKey(key) || !button->isEnabled())
            return false;
        button->click();
        return true;
    });
}
