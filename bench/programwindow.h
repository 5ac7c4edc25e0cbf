#pragma once

#include "catalogue/settings.h"
#include "support/rootedfilesystem.h"
#include "ui/w_list.h"

#include <QTemporaryDir>

// The main window in a program folder of its own, with `drive` as the only drive.
struct ProgramWindow {
    explicit ProgramWindow(const QString &drive) : fs(drive), window(fs) { window.open(); }
    QTemporaryDir home;
    // The window reads the program folder when it is made, so it is set before.
    bool placed = (initGlobals(), gs_pgm_dir = home.path(), true);
    RootedFileSystem fs;
    w_list window;
};
