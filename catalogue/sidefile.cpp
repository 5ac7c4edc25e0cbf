#include "catalogue/sidefile.h"

#include "catalogue/layouts.h"
#include "catalogue/settings.h"
#include "files/fileops.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <unistd.h>

namespace {

constexpr QByteArrayView kFormatLine = "tarvek-facts\t1";

QByteArray number(qint64 value)
{
    return value == FileStat::kUnknown ? QByteArray("-") : QByteArray::number(value);
}

// A number of a row line or of the head; "-" or anything that is not a number is unknown.
qint64 parseNumber(const char *&at, const char *end)
{
    qint64 value = FileStat::kUnknown;
    const auto [next, error] = std::from_chars(at, end, value);
    if (error != std::errc())
        value = FileStat::kUnknown;
    at = next;
    while (at < end && *at != '\t' && *at != '\n')
        ++at;
    return value;
}

// Tabs and line breaks of a volume label would break the line it is kept on.
QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    }
    return text;
}

void writeHead(LineSink &sink, const RecordSet &tree, const DiscFacts &disc)
{
    const auto line = [&sink](const char *key, const QString &value) {
        sink.writeLine(QString::fromLatin1(key) + u'\t' + value);
    };
    const auto count = [&line](const char *key, qint64 value) {
        line(key, QString::fromLatin1(number(value)));
    };
    sink.writeLine(QString::fromLatin1(kFormatLine));
    line("rows", QString::fromLatin1(SideFiles::fingerprint(tree)));
    line("label", oneLine(disc.volumeLabel));
    line("type", oneLine(disc.fileSystemType));
    count("capacity", disc.capacity);
    count("free", disc.freeSpace);
    count("folders", disc.folders);
    count("files", disc.files);
    count("total", disc.totalSize);
    line("scanned", disc.scanned.isValid() ? disc.scanned.toUTC().toString(Qt::ISODate) : QString());
    sink.writeLine(u"");
}

// Reads the head of a side file into `disc`; `at` ends past the empty line. Returns the
// fingerprint it names, empty when the file is not a side file of this format.
QByteArray readHead(const char *&at, const char *end, DiscFacts &disc)
{
    const auto nextLine = [&at, end]() -> QByteArrayView {
        const char *start = at;
        while (at < end && *at != '\n')
            ++at;
        QByteArrayView line(start, at - start);
        if (at < end)
            ++at;
        return line.endsWith('\r') ? line.chopped(1) : line;
    };
    if (nextLine() != kFormatLine)
        return {};
    QByteArray rows;
    for (QByteArrayView line = nextLine(); !line.isEmpty(); line = nextLine()) {
        const qsizetype tab = line.indexOf('\t');
        const QByteArrayView key = line.first(std::max<qsizetype>(tab, 0));
        const QByteArrayView value = tab < 0 ? QByteArrayView() : line.sliced(tab + 1);
        const char *from = value.data();
        const qint64 n = value.isEmpty() ? FileStat::kUnknown : parseNumber(from, value.end());
        if (key == "rows")
            rows = value.toByteArray();
        else if (key == "label")
            disc.volumeLabel = QString::fromUtf8(value);
        else if (key == "type")
            disc.fileSystemType = QString::fromUtf8(value);
        else if (key == "capacity")
            disc.capacity = n;
        else if (key == "free")
            disc.freeSpace = n;
        else if (key == "folders")
            disc.folders = std::max<qint64>(n, 0);
        else if (key == "files")
            disc.files = std::max<qint64>(n, 0);
        else if (key == "total")
            disc.totalSize = std::max<qint64>(n, 0);
        else if (key == "scanned")
            disc.scanned = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODate);
    }
    return rows;
}

QByteArray readAll(const QString &path, qint64 limit = -1)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return limit < 0 ? file.readAll() : file.read(limit);
}

} // namespace

namespace SideFiles {

QString pathFor(const QString &cataloguePath)
{
    const QFileInfo info(cataloguePath);
    return ownFolderPath(info.path()) + u'/' + info.fileName() + QStringLiteral(".facts");
}

QByteArray fingerprint(const RecordSet &tree)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    const qint64 rows = tree.RowCount();
    const auto addText = [&hash](QStringView text) {
        hash.addData(QByteArrayView(reinterpret_cast<const char *>(text.utf16()), text.size() * 2));
    };
    QStringView previousPath;
    for (qint64 row = 1; row <= rows; ++row) {
        // Views into the record set: a million rows are hashed without copying a string.
        const QStringView path = tree.textAt(row, TreeColumn::fullname - 1);
        const QStringView name = tree.textAt(row, TreeColumn::name - 1);
        // The files of a folder share its path: a path like the row before's is hashed as a
        // length of -1 only, which says the same without hashing the text again.
        const bool samePath = row > 1 && path == previousPath;
        // Each value with its length before it, so that no two rows hash alike by shifting text.
        const qint64 fields[3] = {samePath ? -1 : path.size(), name.size(),
                                  tree.numberAt(row, TreeColumn::level - 1)};
        hash.addData(QByteArrayView(reinterpret_cast<const char *>(fields), sizeof fields));
        if (!samePath)
            addText(path);
        addText(name);
        previousPath = path;
    }
    return QByteArray::number(rows) + '\t' + hash.result().toHex();
}

FileResult write(const QString &path, const RecordSet &tree, const TreeFacts &facts)
{
    QDir().mkpath(QFileInfo(path).path());
    return writeUtf8FileAtomically(path, [&](LineSink &sink) {
        writeHead(sink, tree, facts.disc);
        QString line;
        for (qint64 row = 1; row <= facts.rows(); ++row) {
            const FileStat stat = facts.at(row);
            line = QString::fromLatin1(number(stat.size) + '\t' + number(stat.mtime));
            if (!sink.writeLine(line))
                return;
        }
    });
}

bool readDisc(const QString &path, DiscFacts &disc)
{
    // The head is a few hundred bytes; the rows that follow are not read.
    const QByteArray bytes = readAll(path, 4096);
    const char *at = bytes.constData();
    disc = {};
    return !readHead(at, bytes.constEnd(), disc).isEmpty();
}

Contents readContents(const QString &path)
{
    Contents contents;
    const QByteArray bytes = readAll(path);
    const char *at = bytes.constData();
    const char *end = bytes.constEnd();
    contents.fingerprint = readHead(at, end, contents.facts.disc);
    if (contents.fingerprint.isEmpty())
        return contents;
    const qsizetype tab = contents.fingerprint.indexOf('\t');
    // Room for the rows the head names, but never more than the bytes left could hold.
    const qint64 rows = contents.fingerprint.first(std::max<qsizetype>(tab, 0)).toLongLong();
    contents.facts.reserve(std::clamp<qint64>(rows, 0, (end - at) / 4));
    while (at < end) {
        FileStat stat;
        stat.size = parseNumber(at, end);
        if (at < end && *at == '\t')
            stat.mtime = parseNumber(++at, end);
        while (at < end && *at++ != '\n') {
        }
        contents.facts.append(stat);
    }
    return contents;
}

bool accept(Contents &&contents, const RecordSet &tree, TreeFacts &facts)
{
    facts.clear();
    if (contents.fingerprint.isEmpty() || !contents.facts.describes(tree.RowCount()) ||
        contents.fingerprint != fingerprint(tree))
        return false;
    facts = std::move(contents.facts);
    return true;
}

bool read(const QString &path, const RecordSet &tree, TreeFacts &facts)
{
    return accept(readContents(path), tree, facts);
}

void saveFor(const QString &cataloguePath, const RecordSet &tree, const TreeFacts *facts)
{
    const QString path = pathFor(cataloguePath);
    if (!facts || !facts->describes(tree.RowCount()) || !write(path, tree, *facts).ok)
        removeFor(cataloguePath);
}

void renameFor(const QString &fromCataloguePath, const QString &toCataloguePath)
{
    const QByteArray from = QFile::encodeName(pathFor(fromCataloguePath));
    const QByteArray to = QFile::encodeName(pathFor(toCataloguePath));
    if (fileOps().rename(from.constData(), to.constData()) != 0)
        removeFor(toCataloguePath); // whatever held the new name before belongs to no tree now
}

void removeFor(const QString &cataloguePath)
{
    ::unlink(QFile::encodeName(pathFor(cataloguePath)).constData());
}

} // namespace SideFiles
