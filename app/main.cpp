#include "ui/application.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// Without a display Qt would abort with a long message; say it in one line instead.
bool displayAvailable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return true;
    return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty();
}

// The window takes no options; these two answer a person who asks from a shell.
bool answeredFromShell(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("tarvek " TARVEK_VERSION "\n", stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs("Usage: tarvek [--help] [--version]\n"
                       "Tarvek 디스크 목록의 창을 엽니다 (opens the window of the Tarvek disc catalogue).\n"
                       "명령줄에서 쓰려면: tarvek-cli --help, man tarvek-cli\n",
                       stdout);
            return true;
        }
    }
    return false;
}
} // namespace

int main(int argc, char **argv)
{
    if (answeredFromShell(argc, argv))
        return EXIT_SUCCESS;
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
