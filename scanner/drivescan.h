#pragma once

#include "files/filesystem.h"
#include "files/hookcontext.h"
#include "records/recordset.h"

#include <QString>
#include <functional>

class ArchiveScan;
class MediaScan;
class TreeFacts;

// What a scan tells as it goes, beside its hooks.
struct ScanReports {
    // After each folder the count lists: the folders found so far (listed or still to be listed)
    // and the files.
    std::function<void(qint64 folders, qint64 files)> found;
    // Once the count is over, before the build begins.
    std::function<void()> counted;
};

// A whole scan of a drive: the count walk, which does the reading, keeps every listing and moves
// the progress by the share of the tree walked, then the build walk, which takes the listings back
// and appends the tree's rows to `tree` with their sizes and dates in `facts`, so that each folder
// is listed once; the progress then follows the rows against the count. `tree` and `facts` are
// appended to (empty them first). A cancel during the count stops it where the hooks report it,
// and the build then makes a tree of the folders it listed, with their files, without that
// cancel stopping it again; a cancel during the build leaves the rows built so far
// (scanner/treebuilder.h says which). Returns the number of rows the count found: the rows built,
// but for a cancel during the build. With `archives`, whose walk `walk` is, the archives the walk
// lists as folders get their notes (scanner/archivescan.h).
// With `media`, the pictures, songs and videos are read as their rows are added
// (scanner/mediascan.h).
//
// With `hashContents`, every file is then read once more, whole, for the hash of its content
// (scanner/contenthashing.h): slow, since it reads every byte of the disc. A cancel stops it too.
// An archive's members are not files of the drive and get none.
qint64 scanDrive(HookContext &hooks, FolderWalk *walk, const QString &root, RecordSet &tree, TreeFacts &facts,
                 const ScanReports &reports = {}, ArchiveScan *archives = nullptr, MediaScan *media = nullptr,
                 bool hashContents = false);
