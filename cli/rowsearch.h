#pragma once

#include "search/resultsearch.h"
#include "search/resultstore.h"

#include <QString>
#include <vector>

class Session;

// The saved discs as the window's disc list shows them after an empty search: every disc whose
// entry and catalogue file are both there, in the listing order of their files.
[[nodiscard]] std::vector<ResultDisc> everyListedDisc(Session &session);

// Every folder and file row of those discs that the results window's search finds for `text`, its
// query language included; `found` is told of rows as they come. False when none came.
bool searchRows(Session &session, const QString &text, ResultStore &store, const RowsFound &found = {});
