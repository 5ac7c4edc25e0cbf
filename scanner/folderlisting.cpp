#include "scanner/folderlisting.h"

#include "runtime/paths.h"

QString withTrailingSeparator(const QString &path)
{
    return path.endsWith(kPathSeparator) ? path : path + kPathSeparator;
}

ListedFolder listFolder(ScanContext &context, const QString &folderPath)
{
    ListBoxModel &lb = context.lb_file;
    lb.Reset();
    lb.DirList(folderPath + QStringLiteral("*.*"), DirListFolders);
    if (context.showFolder)
        context.showFolder(folderPath);
    ListedFolder listed;
    const int total = lb.TotalItems();
    for (int i = 1; i <= total; ++i) {
        // The listing says which entries are folders: a file whose own name begins
        // with a bracket must not be taken for a folder.
        if (lb.isFolderEntry(i))
            listed.folders.append(lb.Text(i));
        else if (!lb.Text(i).isEmpty())
            listed.files.append(lb.Text(i));
    }
    return listed;
}

QString childFolderPath(const QString &folderPath, const QString &entry)
{
    if (entry == u"[..]" || entry == u"[.]")
        return {};
    return folderPath + entry.mid(1, entry.size() - 2) + kPathSeparator;
}
