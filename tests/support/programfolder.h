#pragma once

#include "catalogue/settings.h"
#include "widgets/fonts.h"

#include <QString>

// Makes `folder` the program folder of the window tests, with the settings start-up fixes, and
// maps the layouts' font names as the program does.
inline void useProgramFolder(const QString &folder)
{
    installFontSubstitutions();
    gs_pgm_dir = folder;
    gs_data_dir = "/data";
    gs_list_file = "cdinfo.dat";
    gs_file_header = "cd_";
}
