#include "cli/rowsearch.h"

#include "catalogue/layouts.h"
#include "cli/session.h"
#include "files/filesystem.h"
#include "files/listbox.h"
#include "search/search.h"

std::vector<ResultDisc> everyListedDisc(Session &session)
{
    LocalFileSystem fs;
    ListBoxModel lb_file(fs);
    HookContext hooks;
    const SearchOutcome listed = searchCatalogues(hooks, lb_file, session.index(), session.dataFolder(), {});
    std::vector<ResultDisc> discs;
    for (const qint64 row : listed.indexRows) {
        const CatalogueEntry entry = session.entryAt(row);
        discs.push_back({entry.file, entry.name, entry.desc, entry.gubn});
    }
    return discs;
}

bool searchRows(Session &session, const QString &text, ResultStore &store, const RowsFound &found)
{
    store.reset(everyListedDisc(session));
    HookContext hooks;
    searchResults(hooks, store, session.dataFolder(), text, found);
    return store.rowCount() > 0;
}
