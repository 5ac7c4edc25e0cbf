#include "ui/application.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace {
// Without a display Qt would abort with a long message; say it in one line instead.
bool displayAvailable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return true;
    return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty();
}
} // namespace

int main(int argc, char **argv)
{
    if (!displayAvailable()) {
        std::fputs("tarvek: no display found (DISPLAY and WAYLAND_DISPLAY are not set); "
                   "start it from a desktop session or under Xvfb.\n",
                   stderr);
        return EXIT_FAILURE;
    }
    QApplication application(argc, argv);
    tarvek app;
    app.create();
    app.open(QString());
    const int status = QApplication::exec();
    app.destroy();
    return status;
}
