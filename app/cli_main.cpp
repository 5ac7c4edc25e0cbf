// tarvek-cli: the catalogue from a shell. No window and no display: the core library alone.

#include "cli/cli.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvek-cli"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return runCommandLine(arguments, QCoreApplication::applicationFilePath());
}
