#pragma once

#include "files/filesystem.h"
#include "files/hookcontext.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class ArchiveScan;
class ContentHashing;
class KeptListings;
class MediaScan;
class TreeFacts;

// What both walks of a scan share: the hooks of the window that runs the scan, the walk that
// lists the drive's folders, and the listings the count walk keeps for the build walk.
struct ScanContext {
    HookContext &hooks;
    FolderWalk *walk = nullptr; // none: every folder lists as empty
    // When set, the count walk keeps every listing here and the build walk takes them back
    // instead of listing the folders again.
    KeptListings *kept = nullptr;
    // When set, the build walk records every row's size and date here, and the disc's counts.
    TreeFacts *facts = nullptr;
    // When set, the archives the walk lists as folders (scanner/archivescan.h): their rows get
    // their notes, and an archive cut short a row that says so.
    ArchiveScan *archives = nullptr;
    // When set, the build walk reads what the pictures, songs and videos it adds are.
    MediaScan *media = nullptr;
    // When set, the listings keep each file's name bytes and the build walk hands every file
    // row to it, for the hash of its content (scanner/contenthashing.h).
    ContentHashing *hashing = nullptr;
    // When set, the count walk tells after each folder it lists how many folders it has found
    // (listed or still to be listed) and how many files.
    std::function<void(qint64 folders, qint64 files)> showFound = {};
};

// A folder of the walk: its path as shown and stored in the tree, and as the file system
// holds it. The walk opens folders by their bytes only, never by the shown text, since two
// names that are not valid text may show alike.
struct FolderPath {
    QString text;     // ends in the separator
    QByteArray bytes; // ends in '/'
};

// One folder's listing, in listing order: sorted as a list box sorts its items, a subfolder
// as "[name]" and a file as its name.
struct ListedFolder {
    std::vector<DirEntry> folders;
    QStringList files;
    std::vector<FileStat> fileStats; // beside `files`, one for one
    // Beside `files` when the scan hashes contents, else empty.
    std::vector<QByteArray> fileBytes;
    // Without `fileBytes`, the name bytes of the media files whose names are not those bytes as
    // UTF-8 (bytes that are not UTF-8, a tab made a space), by their place in `files`, ascending:
    // the others are opened by their names' UTF-8, and a listing keeps no second copy of every name.
    std::vector<std::pair<qsizetype, QByteArray>> otherBytes;

    // The bytes the walk opens the file `files[index]` by; `next` goes through otherBytes.
    [[nodiscard]] QByteArray bytesOfFile(qsizetype index, size_t &next) const;
};

// The root of a scan from the drive path, with the separator appended when it has none.
[[nodiscard]] FolderPath rootFolder(const QString &path);
// The path of a subfolder listed in `parent`.
[[nodiscard]] FolderPath childFolder(const FolderPath &parent, const DirEntry &entry);
// Lists `folder`, shows its path as the item being worked on, and sorts its entries. A folder
// that cannot be read lists nothing.
[[nodiscard]] ListedFolder listFolder(ScanContext &context, const FolderPath &folder);
