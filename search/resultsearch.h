#pragma once

#include "files/hookcontext.h"
#include "search/query.h"
#include "search/resultstore.h"

#include <QString>
#include <functional>

struct ResultsOutcome {
    bool cancelled = false;
    // Rows that held the words but were left out because a size or date filter met a size or
    // date that is not known.
    qint64 unknownFacts = 0;
};

// Called with the first new row and how many came, each time rows have been added.
using RowsFound = std::function<void(qsizetype first, qsizetype count)>;

// The results search: every folder and file row of the store's discs, in their order and then in
// tree order, that the query (search/query.h) finds: each word in the row's folder path below
// its disc's root (the disc's own mount path is no part of it) or in its name, canonically
// equivalent text being equal and, unless the query asks for exact case, any case; then its
// filters. Each catalogue file is read once, up to its first empty line, in its encoding as the
// loader takes it (CP949, or UTF-8 after a byte-order mark); the search index leaves out the
// files and blocks of lines that cannot hold the words, and only lines holding the bytes of a
// word's plain characters are decoded, so a search costs about what the disc search costs. A
// disc whose file name is not a bare name or whose file cannot be read gives no rows; a query
// that asks for nothing finds nothing.
//
// Tests for a cancel before each disc and between blocks of a large file; the progress follows
// the discs. `found` runs after every block that added rows.
ResultsOutcome searchResults(HookContext &hooks, ResultStore &store, const QString &dataFolder,
                             const ResultQuery &query, const RowsFound &found = {});
// The same for a query as typed.
ResultsOutcome searchResults(HookContext &hooks, ResultStore &store, const QString &dataFolder,
                             const QString &text, const RowsFound &found = {});
