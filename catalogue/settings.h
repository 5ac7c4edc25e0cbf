#pragma once

#include <QString>

// The five settings every window reads. Set once at start-up; only gs_sort_str changes later.
extern QString gs_pgm_dir;     // working directory at start, absolute, no trailing separator
extern QString gs_data_dir;    // data folder below gs_pgm_dir, starting with the separator
extern QString gs_file_header; // name prefix of catalogue files
extern QString gs_list_file;   // file name of the catalogue index
extern QString gs_sort_str;    // the list pane's last sort order

// Fixes the four start-up settings from the process's current directory.
void initGlobals();

// Paths built from the settings.
[[nodiscard]] QString dataFolderPath();                          // gs_pgm_dir + gs_data_dir
[[nodiscard]] QString indexFilePath();                           // ... + "/" + gs_list_file
[[nodiscard]] QString dataFilePath(const QString &bareFileName); // ... + "/" + bare name
// Tarvek's own folder below a data folder, for what the earlier Windows version does not
// keep (sizes and dates, the search index): hidden, so the cd_*.dat listing never shows it.
[[nodiscard]] QString ownFolderPath(const QString &dataFolder); // dataFolder + "/.tarvek"
// The program folder an installed Tarvek works in, made on first start: its launcher starts the
// window there and the command line finds the same catalogue in its data/. It is the folder
// "tarvek" in ${XDG_DATA_HOME:-~/.local/share}, the per-user data folder of the freedesktop rules.
[[nodiscard]] QString perUserProgramFolder();
// gs_pgm_dir + "/tarvek.hlp"; when that is missing, the installed help beside the executable or
// in the installed data folder, if there is one.
[[nodiscard]] QString helpFilePath();
