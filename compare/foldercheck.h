#pragma once

#include "compare/duplicates.h"
#include "files/hookcontext.h"
#include "records/recordset.h"

#include <QString>
#include <vector>

class TreeFacts;

// A folder of this computer against the catalogue: each of its files looked up on every saved
// disc by name (composed, case exact) and size, and by content hash where both sides know it
// (a file whose hash differs from the disc's is not that file). The files on no disc come
// first, then the others, each in tree order: what a user checks before deleting a folder.

struct CheckedFile {
    qint64 row = 0;         // in the folder's tree
    int discs = 0;          // how many discs hold it
    int firstDisc = -1;     // the first of them, in the discs given
    qint64 discRow = 0;     // its row there
    bool confirmed = false; // a disc holding it has the same content hash
};

enum class FolderVerdict { All, Some, None };

struct FolderCheck {
    std::vector<CheckedFile> files; // on no disc first
    qint64 found = 0;
    qint64 missing = 0;
    bool cancelled = false;
    bool unknownSizes = false; // the folder's tree has no sizes: nothing could be looked up
    [[nodiscard]] FolderVerdict verdict() const
    {
        return missing == 0 ? FolderVerdict::All : found == 0 ? FolderVerdict::None : FolderVerdict::Some;
    }
};

[[nodiscard]] FolderCheck checkFolder(HookContext &hooks, const QString &dataFolder,
                                      const std::vector<DuplicateDisc> &discs, const RecordSet &folder,
                                      const TreeFacts &facts);
