#pragma once

#include <QByteArray>

// The bytes of one file for the media readers: an open file read with pread, or bytes in memory.
// Every read counts against a budget; once it is spent reads give nothing, so that no reader
// takes more of a file than it was allowed, whatever the file claims of itself.
class MediaSource {
  public:
    // A file; `fd` stays open and is not the source's to close.
    static MediaSource ofFile(int fd);
    static MediaSource ofBytes(QByteArrayView bytes);

    [[nodiscard]] qint64 size() const { return m_size; }
    // Up to `length` bytes from `offset`; fewer at the end, the budget's end or on an error.
    [[nodiscard]] QByteArray read(qint64 offset, qint64 length);
    void setBudget(qint64 bytes) { m_budget = bytes; }
    [[nodiscard]] qint64 budget() const { return m_budget; }

  private:
    MediaSource() = default;
    int m_fd = -1;
    QByteArrayView m_bytes;
    qint64 m_size = 0;
    qint64 m_budget = 0;
};
