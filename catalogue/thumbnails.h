#pragma once

#include "files/textfile.h"
#include "records/recordset.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

// The thumbnails of a disc's pictures: JPEG bytes by tree row, 160 pixels on the long side.
//
// A scan makes them (add), and they are kept until the tree is saved; a saved tree's are kept in
// the thumbnail store beside its side file, "data/.tarvek/cd_<label>.dat.thumbs", and read from
// there (open). The store is binary, numbers little-endian: the magic "TVKTHUMB", a 32-bit
// version, the number of thumbnails (32 bits), the tree's fingerprint as the side file keeps it
// (a 16-bit length and its bytes), the catalogue file's size (64 bits) and a hash of its bytes
// (a 16-bit length and its hexadecimal); then one entry per thumbnail sorted by row (row 64
// bits, offset 64 bits, length 32 bits); then the JPEGs. Opening reads the head and the entries
// only; a thumbnail is read when asked for.
//
// A store no longer written for its catalogue (a tree with other rows, or a catalogue file whose
// bytes changed behind Tarvek's back) opens empty: it never shows another tree's pictures.
// Copies share what they hold.
class Thumbnails {
  public:
    Thumbnails();

    // The store of the catalogue file at `cataloguePath` when it was written for the tree whose
    // fingerprint (SideFiles::fingerprint, or the one taken while the tree loaded) is `fingerprint`.
    [[nodiscard]] static Thumbnails open(const QString &cataloguePath, QByteArrayView fingerprint);
    // The same without the tree: when the catalogue file holds the bytes it held when the store
    // was written (its whole file is hashed once, here).
    [[nodiscard]] static Thumbnails openUnchanged(const QString &cataloguePath);

    // A scan's thumbnail of row `row`; rows come in ascending order.
    void add(qint64 row, QByteArray jpeg);
    [[nodiscard]] bool isEmpty() const;
    [[nodiscard]] qint64 count() const;
    [[nodiscard]] bool has(qint64 row) const;
    // The JPEG of `row`; empty when it has none, or when the store can no longer be read.
    [[nodiscard]] QByteArray jpegOf(qint64 row) const;
    [[nodiscard]] QImage imageOf(qint64 row) const;
    // Every row that has one, ascending.
    [[nodiscard]] std::vector<qint64> rows() const;

    struct Data; // what copies share, known to thumbnails.cpp only

  private:
    std::shared_ptr<Data> m_data;
};

namespace ThumbnailStores {

[[nodiscard]] QString pathFor(const QString &cataloguePath);
// Writes `thumbnails` of `tree` as the store of the catalogue file at `cataloguePath`, which
// holds the tree already, replacing the store atomically.
FileResult write(const QString &cataloguePath, const RecordSet &tree, const Thumbnails &thumbnails);

// The store's share of the entry changes, done where the side file's is. Saving writes the
// thumbnails when they are for `tree` (`describes`) and there are any, and otherwise removes an
// older store. A store that cannot be written costs the thumbnails only: these report nothing.
void saveFor(const QString &cataloguePath, const RecordSet &tree, const Thumbnails *thumbnails,
             bool describes);
void renameFor(const QString &fromCataloguePath, const QString &toCataloguePath);
void removeFor(const QString &cataloguePath);

} // namespace ThumbnailStores
