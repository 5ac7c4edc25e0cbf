#pragma once

#include "catalogue/resultstore.h"
#include "files/textfile.h"
#include "records/recordset.h"

#include <QString>
#include <vector>

// The CSV exports of the results, of an open disc's tree and of the disc list (catalogue/csv.h).
// Sizes and dates come from the side facts (catalogue/sidefacts.h); unknown ones are empty cells.

// The results in the order of `order` (rows of the store), or in the store's order when empty:
// label, description, category, folder path, name, kind, size, date.
[[nodiscard]] FileResult exportResults(const QString &path, const ResultStore &store,
                                       const std::vector<quint32> &order, const QString &dataFolder);
class TreeFacts;

// Every row of a tree (hidden ones too): folder path, name, kind, and the size and date its
// `facts` hold for the row (empty cells where they hold none).
[[nodiscard]] FileResult exportTree(const QString &path, const RecordSet &tree, const TreeFacts &facts);
// Every entry of a list of the index layout: label, description, category, file count, total
// size, scan date.
[[nodiscard]] FileResult exportDiscList(const QString &path, const RecordSet &list,
                                        const QString &dataFolder);
