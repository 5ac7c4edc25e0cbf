#pragma once

#include <QString>

// The figures of tarvek-cli: a disc search over `dataFolder` as a whole process, against
// `plocate -c` over a database of the same rows' paths (`plocateDb`), and the process's start-up.
int cliFigures(const QString &cli, const QString &dataFolder, const QString &hitWord,
               const QString &plocateDb);
