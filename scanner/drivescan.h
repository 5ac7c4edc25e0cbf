#pragma once

#include "files/filesystem.h"
#include "files/hookcontext.h"
#include "records/recordset.h"

#include <QString>

class TreeFacts;

// A whole scan of a drive: the count walk, which keeps every listing and sets the progress
// maximum, then the build walk, which takes the listings back and appends the tree's rows to
// `tree` with their sizes and dates in `facts`, so that each folder is listed once. `tree` and
// `facts` are appended to (empty them first). A cancel stops both walks where the hooks report
// it, leaving the rows built so far (scanner/treebuilder.h says which). Returns the number of
// rows the count found.
//
// With `hashContents`, every file is then read once more, whole, for the hash of its content
// (scanner/contenthashing.h): slow, since it reads every byte of the disc. A cancel stops it too.
qint64 scanDrive(HookContext &hooks, FolderWalk *walk, const QString &root, RecordSet &tree, TreeFacts &facts,
                 bool hashContents = false);
