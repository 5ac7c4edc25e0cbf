#include "catalogue/sidefacts.h"

#include "catalogue/archivenote.h"
#include "catalogue/datafiles.h"
#include "catalogue/discfacts.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefile.h"
#include "files/paths.h"
#include "files/textfile.h"

#include <algorithm>
#include <vector>

struct SideFacts::Kept {
    bool discRead = false;
    bool rowsRead = false;
    DiscSummary disc;
    TreeFacts rows;
    ArchiveRows archives; // of `rows`' notes

    // The lines of the catalogue file that are no row of its tree (too long, or rejected by the
    // tree), in rising order: the facts are kept by row, and a line after them is an earlier row.
    std::vector<qint64> passedOver;

    // The tree row of catalogue line `line`; 0 when it is none.
    [[nodiscard]] qint64 rowOf(qint64 line) const
    {
        const auto after = std::lower_bound(passedOver.begin(), passedOver.end(), line);
        if (after != passedOver.end() && *after == line)
            return 0;
        return line - qint64(after - passedOver.begin());
    }
    // The catalogue line of tree row `row`: rowOf the other way round.
    [[nodiscard]] qint64 lineOf(qint64 row) const
    {
        qint64 line = row;
        for (const qint64 passed : passedOver) {
            if (passed > line)
                break;
            ++line;
        }
        return line;
    }
};

namespace {

// Loads the tree of the catalogue file at `path` as the loader does, noting the lines that give
// no row.
void loadRows(const QString &path, RecordSet &tree, std::vector<qint64> &passedOver)
{
    TextFileReader reader;
    if (!reader.open(path))
        return;
    QString line;
    while (reader.readLine(line) >= 1) {
        for (qint64 skipped = tree.RowCount() + qint64(passedOver.size()) + 1; skipped < reader.lineNumber();
             ++skipped)
            passedOver.push_back(skipped);
        if (!tree.appendLine(line))
            passedOver.push_back(reader.lineNumber());
    }
}

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
        loadRows(m_path, tree, kept.passedOver);
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

std::optional<MediaFacts> SideFacts::media(qint64 line) const
{
    const Kept *facts = kept(true);
    const RowNotes *notes = facts ? facts->rows.notes.find(kMediaNotes) : nullptr;
    if (!notes)
        return std::nullopt;
    const qint64 row = facts->rowOf(line);
    return row > 0 ? decodeMediaFacts(notes->at(row)) : std::nullopt;
}

std::vector<std::pair<qint64, QByteArrayView>> SideFacts::mediaLines() const
{
    std::vector<std::pair<qint64, QByteArrayView>> lines;
    const Kept *facts = kept(true);
    if (const RowNotes *notes = facts ? facts->rows.notes.find(kMediaNotes) : nullptr) {
        lines.reserve(notes->all().size());
        for (const auto &[row, text] : notes->all())
            lines.emplace_back(facts->lineOf(row), QByteArrayView(text));
    }
    return lines;
}

qint64 SideFacts::treeRow(qint64 line) const
{
    const Kept *facts = kept(true);
    if (!facts || !facts->rows.describes(facts->rows.rows()))
        return 0;
    const qint64 row = facts->rowOf(line);
    return row <= facts->rows.rows() ? row : 0;
}

RowFacts SideFacts::row(qint64 line) const
{
    const Kept *facts = kept(true);
    if (!facts)
        return {};
    const qint64 row = facts->rowOf(line);
    RowFacts found = rowFactsOf(facts->rows, row);
    found.inArchive = row > 0 && facts->archives.isInside(row);
    return found;
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
