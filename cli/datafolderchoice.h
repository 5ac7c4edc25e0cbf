#pragma once

#include <QString>

// The data folder a command works on, by the window's rules:
// 1. `--data DIR` names it;
// 2. otherwise, installed (the executable lies beside the window's launcher, which starts the
//    window in the per-user program folder), it is data/ in that folder
//    (${XDG_DATA_HOME:-~/.local/share}/tarvek/data);
// 3. otherwise, as for the window started by hand, data/ below the current directory.
struct DataFolderChoice {
    QString folder;       // absolute, no trailing separator
    bool perUser = false; // rule 2: its program folder is made on the first change, as the launcher makes it
};

// `given` is the value of --data (empty when absent), `executablePath` the running program.
[[nodiscard]] DataFolderChoice chooseDataFolder(const QString &given, const QString &executablePath);

// True when the program at `executablePath` is an installed one: the window's program lies where
// the installed tree puts it, relative to the folder of the executable.
[[nodiscard]] bool isInstalledProgram(const QString &executablePath);
