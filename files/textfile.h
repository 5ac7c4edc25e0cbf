#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <functional>

// Reading and writing the program's tab-separated data files.
//
// Files are read as CP949 unless they begin with a UTF-8 byte-order mark.
// Lines end in CR LF or a bare LF; the line ending is not part of the line.
// Files are written as CP949 when every character fits and as UTF-8 with a
// byte-order mark otherwise, each line ending in CR LF, and replace the old
// file atomically (temporary file in the same folder, flushed, renamed).

// The longest line a data file may hold: a line of this many bytes or more before its line feed
// (far more than any path) is skipped whole, and reading goes on after it, so that memory stays
// bounded whatever a file holds. The loader and the search apply the same rule.
inline constexpr qint64 kMaxLineBytes = qint64(1) << 20;

// Opens a file of the data folder or of Tarvek's own folder for reading, without blocking on a
// pipe or a device: -1 (errno set) unless it is a regular file; its size goes to `size`, and
// nothing past it is read. Every file the program reads there is opened through this.
int openRegularFile(const QString &path, qint64 &size);
// The first `limit` bytes of the regular file at `path` (all of it when it is shorter), read
// through openRegularFile; empty when it cannot be read.
[[nodiscard]] QByteArray readRegularFile(const QString &path, qint64 limit);

struct FileResult {
    bool ok = false;
    QString error; // for a person: what failed and on which path; empty when ok
    // Not a failure of the files: the change was not allowed (a label another disc uses), so
    // trying again after the same change cannot help.
    bool refused = false;
    bool cancelled = false; // the user stopped it (waiting for another copy of the program)
};

// Sequential line reader over one data file.
class TextFileReader {
  public:
    TextFileReader();
    ~TextFileReader();
    TextFileReader(const TextFileReader &) = delete;
    TextFileReader &operator=(const TextFileReader &) = delete;

    // False when the file cannot be opened or is not a regular file.
    bool open(const QString &path);
    [[nodiscard]] bool isOpen() const;
    // Puts the next line into `line` (reusing its storage) and returns its length:
    // 0 for an empty line, -1 at end of file or on a read error. Lines of kMaxLineBytes or more
    // are passed over.
    qint64 readLine(QString &line);
    // Moves past the next line without decoding it; returns its length in bytes without the
    // line ending (0 for an empty line), -1 at end of file or on a read error.
    qint64 skipLine();
    // Where in the file the line read or skipped last begins (its first byte); -1 before any.
    [[nodiscard]] qint64 lineOffset() const;
    // True when the file open is read as UTF-8 (it began with a byte-order mark), not CP949.
    [[nodiscard]] bool isUtf8() const;
    // The line of the file (1-based, lines passed over counted) that readLine() or skipLine()
    // handed out last.
    [[nodiscard]] qint64 lineNumber() const;
    void close();

  private:
    struct Private;
    Private *d;
};

// One line of a data file as its bytes lie in the file (without the line ending), decoded as a
// reader of that file decodes it: UTF-8, or CP949.
[[nodiscard]] QString decodeDataLine(QByteArrayView bytes, bool utf8);

// Receives the lines of a file being written; returns false to stop the producer.
class LineSink {
  public:
    virtual ~LineSink() = default;
    virtual bool writeLine(QStringView line) = 0;
};

// Writes the lines `produce` hands to its sink to `path`, replacing the file atomically.
// `produce` may be called twice: once for CP949 and, when a character does not fit, again
// for UTF-8; it must hand over the same lines each time. Nothing is replaced on failure.
FileResult writeTextFileAtomically(const QString &path, const std::function<void(LineSink &)> &produce);
// The same for a file of the program's own: always UTF-8, without a byte-order mark.
FileResult writeUtf8FileAtomically(const QString &path, const std::function<void(LineSink &)> &produce);
// The same, always in UTF-8 with a byte-order mark: for files made for other programs.
FileResult writeUtf8TextFileAtomically(const QString &path, const std::function<void(LineSink &)> &produce);

// The file services of the scripts, on numbered handles.
int FileOpen(const QString &path);       // a handle >= 1, or -1
int FileRead(int handle, QString &line); // line length, 0 for an empty line, -1 at end or on error
int FileClose(int handle);               // 1, or -1 for an unknown handle
bool FileDelete(const QString &path);    // true when the file was deleted
bool DirectoryExists(const QString &path);
int CreateDirectory(const QString &path); // 1 created, -1 failed (one level only)
// Makes the folder `path` (one level) unless one is there already, as another copy of the program
// may make it at the same moment: true when a folder is there afterwards, whoever made it; false
// with errno set otherwise (EEXIST when something else has the name).
bool ensureFolder(const QString &path);
QString GetCurrentDirectory();            // absolute, no trailing separator ("/" for the root)
int ChangeDirectory(const QString &path); // 1, or -1

// Writes `bytes` to `path` the same way: a temporary file beside it, flushed, then renamed over it.
FileResult writeFileAtomically(const QString &path, QByteArrayView bytes);
