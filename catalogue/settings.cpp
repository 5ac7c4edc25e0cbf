#include "catalogue/settings.h"

#include "catalogue/datafiles.h"
#include "files/paths.h"
#include "files/textfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

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

QString ownFolderPath(const QString &dataFolder)
{
    return dataFolder + kPathSeparator + QStringLiteral(".tarvek");
}

QString perUserProgramFolder()
{
    // As the launcher's shell does it: an unset or empty XDG_DATA_HOME means the default.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return withoutTrailingSeparator(base) + QStringLiteral("/tarvek");
}

QString helpFilePath()
{
    const QString inProgramFolder = gs_pgm_dir + kPathSeparator + QStringLiteral("tarvek.hlp");
    if (QFile::exists(inProgramFolder) || !QCoreApplication::instance())
        return inProgramFolder;
    // Installed, the program folder is the user's own and holds no help: it lies beside the
    // executable or in the installed data folder.
    const QString executableFolder = QCoreApplication::applicationDirPath();
    QStringList installed = {executableFolder + QStringLiteral("/tarvek.hlp")};
#ifdef TARVEK_HELP_FROM_PROGRAM
    installed << QDir::cleanPath(executableFolder +
                                 QStringLiteral("/" TARVEK_HELP_FROM_PROGRAM "/tarvek.hlp"));
#endif
    for (const QString &candidate : installed) {
        if (QFile::exists(candidate))
            return candidate;
    }
    return inProgramFolder;
}
