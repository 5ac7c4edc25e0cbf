#include "scanner/folderlisting.h"

#include "files/listbox.h"
#include "files/paths.h"
#include "records/recordset.h"
#include "scanner/archivescan.h"
#include "scanner/mediascan.h"

#include <QFile>
#include <algorithm>

FolderPath rootFolder(const QString &path)
{
    const QString text = path.endsWith(kPathSeparator) ? path : path + kPathSeparator;
    return {text, QFile::encodeName(text)};
}

FolderPath childFolder(const FolderPath &parent, const DirEntry &entry)
{
    return {parent.text + entry.name + kPathSeparator, parent.bytes + entry.bytes + '/'};
}

QByteArray ListedFolder::bytesOfFile(qsizetype index, size_t &next) const
{
    if (fileBytes.size() == size_t(files.size()))
        return fileBytes[size_t(index)];
    while (next < otherBytes.size() && otherBytes[next].first < index)
        ++next;
    if (next < otherBytes.size() && otherBytes[next].first == index)
        return otherBytes[next].second;
    return files[index].toUtf8();
}

ListedFolder listFolder(ScanContext &context, const FolderPath &folder)
{
    std::vector<DirEntry> entries;
    if (context.walk)
        context.walk->listFolder(folder.bytes, entries);
    if (context.hooks.showItem)
        context.hooks.showItem(folder.text);
    // A listing sorts a subfolder by its bracketed text, so "[a b]" comes before "[a]" while the
    // file "a" comes before "a b".
    struct Keyed {
        QString key;
        DirEntry *entry;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    for (DirEntry &entry : entries) {
        // A name holds what the catalogue file will hold (a tab or a line break becomes a space),
        // so that the tree scanned and the same tree saved and loaded again are alike.
        RecordSet::makeWritable(entry.name);
        const bool folder = entry.kind == DirEntry::Kind::Folder;
        keyed.push_back({folder ? u'[' + entry.name + u']' : entry.name, &entry});
    }
    // Names that show alike (bad bytes all show as U+FFFD) keep a fixed order by their bytes.
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        if (a.key != b.key)
            return listsBefore(a.key, b.key);
        return a.entry->bytes < b.entry->bytes;
    });
    ListedFolder listed;
    for (Keyed &item : keyed) {
        if (item.entry->kind == DirEntry::Kind::Folder)
            listed.folders.push_back(std::move(*item.entry));
        else {
            if (context.hashing)
                listed.fileBytes.push_back(std::move(item.entry->bytes));
            else if (MediaScan::mayRead(item.entry->name) && item.entry->name.toUtf8() != item.entry->bytes)
                listed.otherBytes.emplace_back(listed.files.size(), std::move(item.entry->bytes));
            listed.files.append(std::move(item.entry->name));
            listed.fileStats.push_back(item.entry->stat);
        }
    }
    if (context.archives)
        context.archives->listed(folder.bytes, listed);
    return listed;
}
