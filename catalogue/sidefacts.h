#pragma once

#include "catalogue/mediafacts.h"

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class TreeFacts;

// Sizes and dates of one disc for the results window and the CSV exports, from the side file
// kept beside its catalogue file (catalogue/sidefile.h). The catalogue files never hold them.
struct RowFacts {
    qint64 size = -1;       // bytes; -1 unknown
    QDateTime modified;     // null when unknown
    bool inArchive = false; // a member of an archive listed on the disc
};

// Row `row` of a tree's facts as the exports show it.
[[nodiscard]] RowFacts rowFactsOf(const TreeFacts &facts, qint64 row);

struct DiscSummary {
    qint64 files = -1; // -1 unknown
    qint64 bytes = -1; // -1 unknown
    QDateTime scanned; // null when unknown
};

// The facts are read when first asked for, so a results search over a thousand discs reads
// only the side files of the rows a person looks at or exports. Copies share what was read.
class SideFacts {
  public:
    SideFacts() = default;
    explicit SideFacts(QString cataloguePath);

    // The facts of the tree row that catalogue line `line` (1-based) gives as the loader reads
    // it: after a line the loader passes over, line and row differ. Unknown for a line that is
    // no row, or when the side file does not describe the catalogue file as it is now.
    [[nodiscard]] RowFacts row(qint64 line) const;
    // What the scan learnt of the picture, song or video at catalogue line `line`; none for a row
    // it learnt nothing of, as for every row of a disc saved before such facts were kept.
    [[nodiscard]] std::optional<MediaFacts> media(qint64 line) const;
    // The catalogue lines of the rows that have such facts, with their notes' text, in line order.
    [[nodiscard]] std::vector<std::pair<qint64, QByteArrayView>> mediaLines() const;
    // The tree row of catalogue line `line`; 0 when it is none or the side file does not
    // describe the catalogue file.
    [[nodiscard]] qint64 treeRow(qint64 line) const;
    [[nodiscard]] DiscSummary disc() const;

  private:
    struct Kept;
    const Kept *kept(bool withRows) const;

    QString m_path;
    std::shared_ptr<Kept> m_kept;
};

// The side facts kept for the disc whose catalogue file is `file` in `dataFolder`; unknown for
// a value that is not a bare file name.
[[nodiscard]] SideFacts readSideFacts(const QString &dataFolder, const QString &file);
