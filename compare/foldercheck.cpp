#include "compare/foldercheck.h"

#include "catalogue/contenthash.h"
#include "catalogue/datafiles.h"
#include "catalogue/discfacts.h"
#include "catalogue/layouts.h"
#include "compare/disckeys.h"
#include "compare/namekey.h"
#include "compare/treediff.h"

#include <unordered_map>

namespace {

struct KeyHash {
    size_t operator()(const std::pair<quint64, quint64> &key) const
    {
        return size_t(key.first * 0x9E3779B97F4A7C15ull ^ key.second);
    }
};

struct Looked {
    int discs = 0;
    int lastDisc = -1;
    int firstDisc = -1;
    qint64 discRow = 0;
    bool confirmed = false;
};

} // namespace

FolderCheck checkFolder(HookContext &hooks, const QString &dataFolder,
                        const std::vector<DuplicateDisc> &discs, const RecordSet &folder,
                        const TreeFacts &facts)
{
    FolderCheck check;
    std::vector<qint64> fileRows;
    for (qint64 row = 1; row <= folder.RowCount(); ++row) {
        if (!isFolderRow(folder, row))
            fileRows.push_back(row);
    }
    std::vector<Looked> looked(fileRows.size());
    check.unknownSizes = !facts.describes(folder.RowCount());
    // The folder's files by size and name key; the smallest size bounds what is read of the discs.
    std::unordered_map<std::pair<quint64, quint64>, std::vector<size_t>, KeyHash> wanted;
    quint64 smallest = ~quint64(0);
    for (size_t i = 0; i < fileRows.size() && !check.unknownSizes; ++i) {
        const qint64 size = facts.at(fileRows[i]).size;
        if (size < 0)
            continue;
        wanted[{quint64(size), nameKey(folder.textAt(fileRows[i], TreeColumn::name - 1))}].push_back(i);
        smallest = std::min(smallest, quint64(size));
    }
    hooks.setMaximum(qint64(discs.size()));
    for (size_t d = 0; d < discs.size() && !wanted.empty(); ++d) {
        if (hooks.cancelled()) {
            check.cancelled = true;
            break;
        }
        hooks.advance();
        if (!isBareFileName(discs[d].file))
            continue;
        DiscKeys keys(dataFolder + u'/' + discs[d].file, smallest);
        for (; const FileKey *key = keys.peek(); keys.pop()) {
            const auto hit = wanted.find({key->size, key->name});
            if (hit == wanted.end())
                continue;
            const std::optional<ContentHash> theirs = keys.hashOf(*key);
            for (size_t i : hit->second) {
                const std::optional<ContentHash> mine = contentHashOf(facts, fileRows[i]);
                if (mine && theirs && *mine != *theirs)
                    continue; // another content under the same name and size
                Looked &l = looked[i];
                if (l.lastDisc != int(d)) {
                    ++l.discs;
                    l.lastDisc = int(d);
                }
                if (l.firstDisc < 0) {
                    l.firstDisc = int(d);
                    l.discRow = key->row;
                }
                l.confirmed = l.confirmed || (mine && theirs);
            }
        }
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < fileRows.size(); ++i) {
            const Looked &l = looked[i];
            if ((l.discs == 0) != (pass == 0))
                continue;
            check.files.push_back({fileRows[i], l.discs, l.firstDisc, l.discRow, l.confirmed});
            (l.discs == 0 ? check.missing : check.found) += 1;
        }
    }
    return check;
}
