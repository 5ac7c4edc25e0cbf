#include "catalogue/sidefacts.h"

#include "catalogue/archivenote.h"
#include "catalogue/datafiles.h"
#include "catalogue/discfacts.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefile.h"
#include "files/paths.h"

struct SideFacts::Kept {
    bool discRead = false;
    bool rowsRead = false;
    DiscSummary disc;
    TreeFacts rows;
    ArchiveRows archives; // of `rows`' notes
};

namespace {

QDateTime fromSeconds(qint64 seconds)
{
    return seconds == FileStat::kUnknown ? QDateTime() : QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

} // namespace

SideFacts::SideFacts(QString cataloguePath)
    : m_path(std::move(cataloguePath)), m_kept(std::make_shared<Kept>())
{
}

const SideFacts::Kept *SideFacts::kept(bool withRows) const
{
    if (!m_kept)
        return nullptr;
    Kept &kept = *m_kept;
    if (!kept.discRead) {
        kept.discRead = true;
        DiscFacts disc;
        if (SideFiles::readDisc(SideFiles::pathFor(m_path), disc))
            kept.disc = {disc.files, disc.totalSize, disc.scanned};
    }
    if (withRows && !kept.rowsRead) {
        kept.rowsRead = true;
        // The side file counts only for the tree the catalogue file holds now: its fingerprint
        // is checked against the rows the loader reads.
        RecordSet tree(d_dir_tree());
        loadDataFile(tree, m_path);
        SideFiles::read(SideFiles::pathFor(m_path), tree, kept.rows);
        kept.archives = ArchiveRows(kept.rows.notes);
    }
    return &kept;
}

RowFacts rowFactsOf(const TreeFacts &facts, qint64 row)
{
    if (row < 1 || row > facts.rows())
        return {};
    const FileStat stat = facts.at(row);
    return {stat.size == FileStat::kUnknown ? -1 : stat.size, fromSeconds(stat.mtime)};
}

RowFacts SideFacts::row(qint64 line) const
{
    const Kept *facts = kept(true);
    if (!facts)
        return {};
    RowFacts row = rowFactsOf(facts->rows, line);
    row.inArchive = facts->archives.isInside(line);
    return row;
}

DiscSummary SideFacts::disc() const
{
    const Kept *facts = kept(false);
    return facts ? facts->disc : DiscSummary{};
}

SideFacts readSideFacts(const QString &dataFolder, const QString &file)
{
    if (!isBareFileName(file))
        return {};
    return SideFacts(dataFolder + kPathSeparator + file);
}
