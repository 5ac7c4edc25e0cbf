#pragma once

#include <QString>
#include <QStringView>
#include <memory>

// Reads a data file's lines on a second thread, some thousands of lines ahead of the caller, so
// that decoding CP949 overlaps with whatever the caller does with each line. The lines, their
// order and the return values are those of TextFileReader::readLine, up to the first empty line,
// which ends every data file: nothing after it is read. Everything else, and every handler of the
// program, stays on the caller's thread.
class ReadAheadLineReader {
  public:
    ReadAheadLineReader();
    ~ReadAheadLineReader(); // stops the reading thread and waits for it
    ReadAheadLineReader(const ReadAheadLineReader &) = delete;
    ReadAheadLineReader &operator=(const ReadAheadLineReader &) = delete;

    bool open(const QString &path);
    // Points `line` at the next line and returns its length: 0 for the empty line that ends the
    // file, -1 at the end or on a read error. The view stays valid until the next call.
    qint64 readLine(QStringView &line);

  private:
    struct Shared;
    std::unique_ptr<Shared> d;
};
