#pragma once

#include "files/filehash.h"
#include "files/hookcontext.h"

#include <QString>
#include <vector>

// Files that stand on two or more discs: the same name (composed, case exact) and the same size
// above zero, at least a minimum size. When both files of a pair have content hashes, equal
// hashes confirm them and different ones keep them apart: a group whose files have two or more
// hashes is split by hash, the files without one going with each part. Groups come largest
// first; each says the bytes its copies take beyond one of them.
//
// The discs are read through their tables of file keys (compare/filekeys.h); only the lines
// of the files found are read from the catalogue files, for their folders and names.

struct DuplicateDisc {
    QString file;  // bare name of its catalogue file
    QString label; // as the index names it
};

struct DuplicateQuery {
    std::vector<DuplicateDisc> discs;
    qint64 minimumSize = qint64(1) << 20;
    // When not negative, the disc (in `discs`) whose files are looked for on the others: only
    // groups that hold one of its files and a file of another disc.
    int against = -1;
};

struct DuplicateFile {
    int disc = 0;   // in the query's discs
    qint64 row = 0; // the file's row of the disc's tree
    QString folder; // its folder's path as the tree holds it
    QString name;
    bool hashed = false; // its content hash is known
};

struct DuplicateGroup {
    QString name; // composed
    qint64 size = 0;
    std::vector<DuplicateFile> files; // by disc, then by row
    int discs = 0;                    // how many discs they stand on
    bool confirmed = false;           // every file has the same content hash
    [[nodiscard]] qint64 copyBytes() const { return size * qint64(files.size() - 1); }
};

struct Duplicates {
    std::vector<DuplicateGroup> groups;
    bool cancelled = false;
    [[nodiscard]] qint64 copyBytes() const;
};

// Looks through the query's discs in `dataFolder`, with progress by disc and a cancel.
[[nodiscard]] Duplicates findDuplicates(HookContext &hooks, const QString &dataFolder,
                                        const DuplicateQuery &query);
