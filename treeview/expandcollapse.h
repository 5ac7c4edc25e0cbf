#pragma once

#include "catalogue/layouts.h"
#include "records/recordset.h"

// Opening and closing branches of a folder tree held in a record set of the tree layout.
// A branch of row r is the rows after r with a greater level. A closed branch's rows are
// hidden with a height of 0; shown rows have the layout's height. Row numbers outside the
// tree (an empty tree, a stale row number) are ignored: nothing is read or written.

// Closes the branch of `startRow`: it and every row below it get open = 0, and the
// branch's rows are hidden with one height call. Returns 0.
int collapseRows(RecordSet &tree, qint64 startRow);
// Opens one level of the branch of `startRow`: open = 1 and its direct children shown,
// found by jumping from child to child with Find. Deeper rows are left as they are. Returns 0.
int expandRow(RecordSet &tree, qint64 startRow);
// Every row open and shown.
void expandAll(RecordSet &tree);
// The tree as it is shown after a scan or a load: collapse the first row, then open it.
void foldToRoot(RecordSet &tree);
// True when the row has a box: children = 1, or the next row lies deeper.
[[nodiscard]] bool hasBox(const RecordSet &tree, qint64 row);
