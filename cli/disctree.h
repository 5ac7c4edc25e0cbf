#pragma once

#include "catalogue/discfacts.h"
#include "catalogue/entries.h"
#include "records/recordset.h"

// A saved disc's tree read as the window opens it: its catalogue file through the tree loader,
// its sizes and dates from its side file when that describes the tree. False, having told the
// user why, when the file cannot be read (or its name is no bare file name, so that it is never
// opened).
bool loadDiscTree(const QString &dataFolder, const CatalogueEntry &entry, RecordSet &tree, TreeFacts &facts);
