// tarvek-cli search TEXT [--files] [--type T] [--size S] [--date D] [--category C]: the window's
// disc search, or with --files every row the results window finds.

#include "cli/commands.h"

#include "catalogue/sidefacts.h"
#include "cli/arguments.h"
#include "cli/exitstatus.h"
#include "cli/records.h"
#include "cli/rowsearch.h"
#include "cli/session.h"
#include "cli/terminal.h"
#include "files/filesystem.h"
#include "files/listbox.h"
#include "search/search.h"

namespace {

// The filter options as the results window's query words: "--type 사진" adds "종류:사진". A value
// holding a space is quoted.
struct Filter {
    const char *option;
    const char16_t *keyword;
};
constexpr Filter kFilters[] = {
    {"type", u"종류:"}, {"size", u"크기:"}, {"date", u"날짜:"}, {"category", u"구분:"}};

bool printRows(Session &session, const QString &text)
{
    ResultStore store;
    std::vector<SideFacts> facts;
    const auto print = [&](qsizetype first, qsizetype count) {
        // Each disc's side file is read when its first row is printed.
        for (size_t disc = facts.size(); disc < store.discs().size(); ++disc)
            facts.push_back(readSideFacts(session.dataFolder(), store.discs()[disc].file));
        for (qsizetype row = first; row < first + count; ++row) {
            const size_t disc = size_t(store.discOf(row));
            // As the tree holds them, as `show --tree` prints them.
            const TreeRow treeRow{store.storedPathOf(row), store.storedNameOf(row), store.isFolder(row),
                                  store.lineOf(row)};
            session.out.write(rowRecord(store.discs()[disc].label, treeRow, facts[disc].row(treeRow.line)));
        }
    };
    return searchRows(session, text, store, print);
}

} // namespace

QString searchText(const Arguments &args)
{
    QString text = args.operands.value(0);
    for (const Filter &filter : kFilters) {
        const QString option = QString::fromLatin1(filter.option);
        if (!args.hasValue(option))
            continue;
        QString value = args.value(option);
        if (value.contains(u' '))
            value = u'"' + value + u'"';
        text +=
            (text.isEmpty() ? QString() : QStringLiteral(" ")) + QString::fromUtf16(filter.keyword) + value;
    }
    return text;
}

int runSearch(Session &session)
{
    const Arguments &args = session.args;
    const QString text = searchText(args);
    const bool files = args.has(QStringLiteral("files"));
    if (!files && text != args.operands.value(0)) {
        tellUser(QStringLiteral("--type, --size, --date, --category는 --files와 함께 씁니다."));
        return kExitUsage;
    }
    if (!session.readIndex())
        return kExitDataProblem;
    if (files)
        return printRows(session, text) ? kExitOk : kExitNothingFound;
    LocalFileSystem fs;
    ListBoxModel lb_file(fs);
    HookContext hooks;
    const SearchOutcome found = searchCatalogues(hooks, lb_file, session.index(), session.dataFolder(), text);
    for (const qint64 row : found.indexRows)
        session.out.write(discRecord(session.entryAt(row)));
    return found.indexRows.empty() ? kExitNothingFound : kExitOk;
}
