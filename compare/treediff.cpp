#include "compare/treediff.h"

#include "catalogue/contenthash.h"
#include "catalogue/datafiles.h"
#include "catalogue/discfacts.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefile.h"
#include "compare/namekey.h"

#include <algorithm>

namespace {

// Dates this close are one date: FAT keeps them to two seconds.
constexpr qint64 kDateSlack = 2;

// Each row's key: a hash of its path below the root, chained through its folders' keys.
struct KeyedRow {
    quint64 key;
    qint64 row;
};

std::vector<KeyedRow> keyRows(const RecordSet &tree)
{
    std::vector<KeyedRow> keyed;
    keyed.reserve(size_t(tree.RowCount()));
    std::vector<quint64> folderKeys; // [level - 1]: the key of the last folder met at that level
    const QStringView folderPicture(kFolderPicture);
    for (qint64 row = 1; row <= tree.RowCount(); ++row) {
        const qint64 level = std::max<qint64>(tree.numberAt(row, TreeColumn::level - 1), 1);
        const bool folder = tree.textAt(row, TreeColumn::bmpname - 1) == folderPicture;
        quint64 key = 0; // the roots match whatever their names
        if (level > 1) {
            const size_t parent = std::min<size_t>(size_t(level - 2), folderKeys.size() - 1);
            const QString name = composedName(tree.textAt(row, TreeColumn::name - 1));
            key = chainedKey(folderKeys.empty() ? 0 : folderKeys[parent], name, folder ? 1 : 2);
        }
        if (folder) {
            folderKeys.resize(std::min<size_t>(size_t(level), folderKeys.size() + 1));
            folderKeys.back() = key;
        }
        keyed.push_back({key, row});
    }
    return keyed;
}

bool describes(const TreeSide &side)
{
    return side.facts && side.facts->describes(side.tree->RowCount());
}

quint8 changesOf(const TreeSide &first, qint64 a, const TreeSide &second, qint64 b)
{
    if (!describes(first) || !describes(second) || isFolderRow(*first.tree, a))
        return 0;
    quint8 changes = 0;
    const FileStat x = first.facts->at(a), y = second.facts->at(b);
    if (x.size != FileStat::kUnknown && y.size != FileStat::kUnknown && x.size != y.size)
        changes |= DiffChange::Size;
    if (x.mtime != FileStat::kUnknown && y.mtime != FileStat::kUnknown &&
        std::abs(x.mtime - y.mtime) > kDateSlack)
        changes |= DiffChange::Date;
    const auto hashA = contentHashOf(*first.facts, a), hashB = contentHashOf(*second.facts, b);
    if (hashA && hashB && *hashA != *hashB)
        changes |= DiffChange::Content;
    return changes;
}

bool hasHashes(const TreeSide &side)
{
    return describes(side) && side.facts->notes.find(kHashNotes);
}

} // namespace

bool isFolderRow(const RecordSet &tree, qint64 row)
{
    return tree.textAt(row, TreeColumn::bmpname - 1) == QStringView(kFolderPicture);
}

std::vector<QString> pathsBelowRoot(const RecordSet &tree, const std::vector<qint64> &rows)
{
    std::vector<QString> paths;
    paths.reserve(rows.size());
    std::vector<QString> folders; // [level - 1]: the path of the last folder met at that level
    auto wanted = rows.begin();
    for (qint64 row = 1; row <= tree.RowCount() && wanted != rows.end(); ++row) {
        const qint64 level = std::max<qint64>(tree.numberAt(row, TreeColumn::level - 1), 1);
        const bool folder = isFolderRow(tree, row);
        QString path;
        if (level > 1) {
            const size_t parent = std::min<size_t>(size_t(level - 2), folders.size() - 1);
            if (!folders.empty())
                path = folders[parent];
            path += composedName(tree.textAt(row, TreeColumn::name - 1));
            if (folder)
                path += u'/';
        }
        if (folder) {
            folders.resize(std::min<size_t>(size_t(level), folders.size() + 1));
            folders.back() = path;
        }
        for (; wanted != rows.end() && *wanted == row; ++wanted)
            paths.push_back(path);
    }
    paths.resize(rows.size());
    return paths;
}

TreeDiff diffTrees(const TreeSide &first, const TreeSide &second)
{
    TreeDiff diff;
    diff.factsCompared = describes(first) && describes(second);
    diff.contentCompared = hasHashes(first) && hasHashes(second);
    std::vector<KeyedRow> theirs = keyRows(*second.tree);
    std::sort(theirs.begin(), theirs.end(), [](const KeyedRow &a, const KeyedRow &b) {
        return a.key != b.key ? a.key < b.key : a.row < b.row;
    });
    std::vector<bool> matched(size_t(second.tree->RowCount()) + 1);
    for (const KeyedRow &mine : keyRows(*first.tree)) {
        // Rows of one tree with one path (names that compose alike) pair off in tree order.
        auto at = std::lower_bound(theirs.begin(), theirs.end(), mine.key,
                                   [](const KeyedRow &a, quint64 key) { return a.key < key; });
        while (at != theirs.end() && at->key == mine.key && matched[size_t(at->row)])
            ++at;
        if (at == theirs.end() || at->key != mine.key) {
            diff.rows.push_back({DiffKind::OnlyFirst, 0, mine.row, 0});
            continue;
        }
        matched[size_t(at->row)] = true;
        if (const quint8 changes = changesOf(first, mine.row, second, at->row))
            diff.rows.push_back({DiffKind::Changed, changes, mine.row, at->row});
    }
    for (qint64 row = 1; row <= second.tree->RowCount(); ++row) {
        if (!matched[size_t(row)])
            diff.rows.push_back({DiffKind::OnlySecond, 0, 0, row});
    }
    for (const DiffRow &row : diff.rows) {
        diff.onlyFirst += row.kind == DiffKind::OnlyFirst;
        diff.onlySecond += row.kind == DiffKind::OnlySecond;
        diff.changed += row.kind == DiffKind::Changed;
    }
    // By path, each made once, in one pass over each tree.
    std::vector<qint64> firstRows, secondRows;
    for (const DiffRow &row : diff.rows)
        (row.first > 0 ? firstRows : secondRows).push_back(row.first > 0 ? row.first : row.second);
    std::sort(firstRows.begin(), firstRows.end());
    std::sort(secondRows.begin(), secondRows.end());
    const std::vector<QString> firstPaths = pathsBelowRoot(*first.tree, firstRows);
    const std::vector<QString> secondPaths = pathsBelowRoot(*second.tree, secondRows);
    const auto pathOf = [&](const DiffRow &row) -> const QString & {
        const std::vector<qint64> &rows = row.first > 0 ? firstRows : secondRows;
        const qint64 r = row.first > 0 ? row.first : row.second;
        const size_t at = size_t(std::lower_bound(rows.begin(), rows.end(), r) - rows.begin());
        return (row.first > 0 ? firstPaths : secondPaths)[at];
    };
    std::vector<size_t> order(diff.rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::vector<const QString *> paths(diff.rows.size());
    for (size_t i = 0; i < diff.rows.size(); ++i)
        paths[i] = &pathOf(diff.rows[i]);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return *paths[a] < *paths[b]; });
    std::vector<DiffRow> sorted;
    sorted.reserve(order.size());
    diff.paths.reserve(order.size());
    for (size_t i : order) {
        sorted.push_back(diff.rows[i]);
        diff.paths.push_back(*paths[i]);
    }
    diff.rows = std::move(sorted);
    return diff;
}

bool loadDiscTree(const QString &cataloguePath, RecordSet &tree, TreeFacts &facts)
{
    tree.Reset();
    facts.clear();
    bool opened = false;
    loadDataFile(tree, cataloguePath, &opened);
    SideFiles::read(SideFiles::pathFor(cataloguePath), tree, facts);
    return opened;
}
