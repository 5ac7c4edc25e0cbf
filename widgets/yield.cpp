#include "widgets/yield.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

#include <ctime>

namespace {
// Milliseconds from the coarse clock: a few nanoseconds to read, and precise to a few
// milliseconds, which is all the 10 ms rule needs. A load calls this once per line.
qint64 coarseMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
} // namespace

bool Yield()
{
    static qint64 lastPump = -1;
    const qint64 now = coarseMilliseconds();
    if (lastPump >= 0 && now - lastPump < 10)
        return false;
    lastPump = now;
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher || !QCoreApplication::instance())
        return false;
    return dispatcher->processEvents(QEventLoop::AllEvents);
}
