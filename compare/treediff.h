#pragma once

#include "records/recordset.h"

#include <QString>
#include <vector>

class TreeFacts;

// Two trees side by side, by path below their roots: the rows only in the first, only in the
// second, and the files in both that differ. A rescan compares the saved tree (first) with the
// new scan (second); the compare of two discs, or of a disc and a folder, the same way.
//
// A row's path below the root is the names of the folders holding it and its own, a folder's
// marked as one: a file and a folder of the same name are two paths, and the roots always
// match, whatever their names (the drive a disc was scanned from). Names are matched composed
// (compare/namekey.h), case exact. A renamed or moved file is one row only in the first and one
// only in the second. Folders are only ever in one tree or both; a file in both differs when
// both trees know its size and they differ, or its date and they differ by more than the two
// seconds a FAT stick can keep apart, or its content hash and they differ.

struct TreeSide {
    const RecordSet *tree = nullptr;
    const TreeFacts *facts = nullptr; // its sizes and dates; none when null or not for this tree
};

enum class DiffKind : quint8 { OnlyFirst, OnlySecond, Changed };

namespace DiffChange {
enum : quint8 { Size = 1, Date = 2, Content = 4 };
}

struct DiffRow {
    DiffKind kind = DiffKind::OnlyFirst;
    quint8 changes = 0; // DiffChange bits, for Changed
    qint64 first = 0;   // the row in the first tree; 0 when only in the second
    qint64 second = 0;  // the row in the second tree; 0 when only in the first
};

struct TreeDiff {
    std::vector<DiffRow> rows;  // ordered by path below the root
    std::vector<QString> paths; // beside `rows`: each row's path below the root
    qint64 onlyFirst = 0;
    qint64 onlySecond = 0;
    qint64 changed = 0;
    bool factsCompared = false;   // both trees knew their sizes and dates
    bool contentCompared = false; // both trees knew the content hashes of some files
};

[[nodiscard]] TreeDiff diffTrees(const TreeSide &first, const TreeSide &second);

// The paths of rows `rows` (ascending) below their tree's root, names composed, folders ending
// in "/" ("" for the root): what the comparison matches and shows. One pass over the tree.
[[nodiscard]] std::vector<QString> pathsBelowRoot(const RecordSet &tree, const std::vector<qint64> &rows);
// Whether a row of a tree is a folder's.
[[nodiscard]] bool isFolderRow(const RecordSet &tree, qint64 row);

// A saved disc's tree and its sizes and dates as the comparisons read them: the catalogue file at
// `cataloguePath`, and its side file when it describes that tree. False when the catalogue file
// cannot be read.
bool loadDiscTree(const QString &cataloguePath, RecordSet &tree, TreeFacts &facts);
