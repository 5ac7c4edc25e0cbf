#include "cli/datafolderchoice.h"

#include "catalogue/settings.h"
#include "files/paths.h"

#include <QDir>
#include <QFileInfo>

bool isInstalledProgram(const QString &executablePath)
{
#ifdef TARVEK_WINDOW_FROM_BINDIR
    const QString folder = QFileInfo(executablePath).absolutePath();
    return QFileInfo::exists(folder + QStringLiteral("/" TARVEK_WINDOW_FROM_BINDIR));
#else
    (void)executablePath;
    return false;
#endif
}

DataFolderChoice chooseDataFolder(const QString &given, const QString &executablePath)
{
    if (!given.isEmpty())
        return {withoutTrailingSeparator(QDir::cleanPath(QDir::current().absoluteFilePath(given))), false};
    if (isInstalledProgram(executablePath))
        return {perUserProgramFolder() + QStringLiteral("/data"), true};
    return {withoutTrailingSeparator(QDir::currentPath()) + QStringLiteral("/data"), false};
}
