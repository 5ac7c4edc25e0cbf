#pragma once

#include "scanner/folderlisting.h"

#include <QtGlobal>
#include <deque>
#include <memory>

// The listings of a scan's count walk, kept for its build walk in the order the folders were
// listed, so that a scan lists each folder once. Both walks enter the folders in the same order,
// so the build walk takes them back one after the other. They are stored packed in blocks, names
// as UTF-16 with a short length before them, and a block is freed as soon as the build walk has
// read past it.
class KeptListings {
  public:
    KeptListings();
    ~KeptListings();

    void append(const ListedFolder &listed);
    // The next listing in the order they were kept; false, with `listed` empty, when none is left.
    bool takeNext(ListedFolder &listed);
    // Bytes held in blocks now.
    [[nodiscard]] qint64 bytesHeld() const;

    // The root folder's own size and date, as the count walk found them.
    FileStat rootStat;

  private:
    struct Block;
    void write(const void *data, size_t size);
    void writeCount(quint64 value);
    void writeText(QStringView text);
    void writeBytes(const QByteArray &bytes, QStringView name);
    QByteArray readBytes(const QString &name);
    void writeStat(const FileStat &stat);
    FileStat readStat();
    void read(void *data, size_t size);
    quint64 readCount();
    QString readText();

    std::deque<std::unique_ptr<Block>> m_blocks; // written at the back, read from the front
    size_t m_readAt = 0;                         // in the front block
    qint64 m_listings = 0;                       // kept and not yet taken
};
