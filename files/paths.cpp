#include "files/paths.h"

#include <QDir>
#include <QStandardPaths>

QString withoutTrailingSeparator(const QString &path)
{
    if (path.endsWith(kPathSeparator))
        return path.left(path.size() - 1);
    return path;
}

QString documentsFilePath(const QString &name)
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QDir().mkpath(documents);
    return QDir(documents).filePath(name);
}
