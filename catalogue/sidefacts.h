#pragma once

#include <QDateTime>
#include <QString>

// Sizes and dates: what a scan can keep beside a disc's catalogue file, in Tarvek's own folder,
// for each row (a file's size and date) and for the disc (its file count, total size and scan
// date). The catalogue files themselves never hold them.
//
// Nothing keeps those side files yet, so readSideFacts() answers "unknown" for every disc: the
// results window, the exports and the tooltips show empty cells until it reads them.
struct RowFacts {
    qint64 size = -1;   // bytes; -1 unknown
    QDateTime modified; // null when unknown
};

struct DiscFacts {
    qint64 files = -1; // -1 unknown
    qint64 bytes = -1; // -1 unknown
    QDateTime scanned; // null when unknown
};

class SideFacts {
  public:
    // The facts of catalogue line `line` (1-based), unknown when none are kept for it.
    [[nodiscard]] RowFacts row(qint64 line) const;
    [[nodiscard]] const DiscFacts &disc() const { return m_disc; }

  private:
    DiscFacts m_disc;
};

// The side facts kept for the disc whose catalogue file is `file` in `dataFolder`.
[[nodiscard]] SideFacts readSideFacts(const QString &dataFolder, const QString &file);
