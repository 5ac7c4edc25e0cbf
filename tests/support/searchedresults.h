#pragma once

#include "search/resultsearch.h"

#include <QStringList>

// The results search for `text` over the discs of `folder` whose catalogue files are `files`, in
// that order, each disc labelled with its file's name.
inline ResultStore searchedResults(const QString &folder, const QStringList &files, const QString &text)
{
    std::vector<ResultDisc> discs;
    for (const QString &file : files)
        discs.push_back({file, file, {}, QStringLiteral("01")});
    ResultStore store;
    store.reset(discs);
    HookContext hooks;
    searchResults(hooks, store, folder, text);
    return store;
}
