#include "app/globals.h"

#include "catalogue/datafiles.h"
#include "runtime/paths.h"
#include "runtime/textfile.h"

QString gs_pgm_dir;
QString gs_data_dir;
QString gs_file_header;
QString gs_list_file;
QString gs_sort_str;

void initGlobals()
{
    gs_pgm_dir = withoutTrailingSeparator(GetCurrentDirectory());
    gs_data_dir = kPathSeparator + QStringLiteral("data");
    gs_file_header = QStringLiteral("cd_");
    gs_list_file = QString::fromUtf16(kIndexFileName);
}

QString dataFolderPath()
{
    return gs_pgm_dir + gs_data_dir;
}

QString indexFilePath()
{
    return dataFilePath(gs_list_file);
}

QString dataFilePath(const QString &bareFileName)
{
    return dataFolderPath() + kPathSeparator + bareFileName;
}

QString helpFilePath()
{
    return gs_pgm_dir + kPathSeparator + QStringLiteral("tarvek.hlp");
}
