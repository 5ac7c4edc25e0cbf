#include "files/paths.h"

QString withoutTrailingSeparator(const QString &path)
{
    if (path.endsWith(kPathSeparator))
        return path.left(path.size() - 1);
    return path;
}
