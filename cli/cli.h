#pragma once

#include <QStringList>

// tarvek-cli: `arguments` without the program's name, `executablePath` the running program (for
// the data folder's rules). Returns the exit status.
int runCommandLine(const QStringList &arguments, const QString &executablePath);
