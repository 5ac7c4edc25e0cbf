#include "runtime/yield.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>

bool Yield()
{
    static QElapsedTimer sinceLastPump;
    if (sinceLastPump.isValid() && sinceLastPump.elapsed() < 10)
        return false;
    sinceLastPump.start();
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher || !QCoreApplication::instance())
        return false;
    return dispatcher->processEvents(QEventLoop::AllEvents);
}
