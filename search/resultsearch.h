#pragma once

#include "files/hookcontext.h"
#include "search/resultstore.h"

#include <QString>
#include <functional>

struct ResultsOutcome {
    bool cancelled = false;
};

// Called with the first new row and how many came, each time rows have been added.
using RowsFound = std::function<void(qsizetype first, qsizetype count)>;

// The results search: every folder and file row of the store's discs, in their order and then in
// tree order, whose folder path or name holds `text`, upper and lower case apart. Each catalogue
// file is read once, up to its first empty line, in its encoding as the loader takes it (CP949,
// or UTF-8 after a byte-order mark); only lines holding the text's bytes are decoded, so a
// search costs about what the disc search costs. A disc whose file name is not a bare name or
// whose file cannot be read gives no rows. An empty text finds nothing.
//
// Tests for a cancel before each disc and between blocks of a large file, letting input run; the
// progress follows the discs. `found` runs after every block that added rows.
ResultsOutcome searchResults(HookContext &hooks, ResultStore &store, const QString &dataFolder,
                             const QString &text, const RowsFound &found = {});
