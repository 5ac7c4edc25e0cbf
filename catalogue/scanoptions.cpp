#include "catalogue/scanoptions.h"

#include "catalogue/settings.h"

#include <QDir>

#include <unistd.h>

namespace {

constexpr QByteArrayView kFormatLine = "tarvek-options\t1";
// The file holds a few short lines: more than this is none of ours.
constexpr qint64 kMostBytes = 4096;

} // namespace

QString scanOptionsPath(const QString &dataFolder)
{
    return ownFolderPath(dataFolder) + QStringLiteral("/options");
}

ScanOptions readScanOptions(const QString &dataFolder)
{
    ScanOptions options;
    qint64 size = 0;
    const int fd = openRegularFile(scanOptionsPath(dataFolder), size);
    if (fd < 0)
        return options;
    QByteArray bytes(qsizetype(std::min(size, kMostBytes)), Qt::Uninitialized);
    const ssize_t got = ::read(fd, bytes.data(), size_t(bytes.size()));
    ::close(fd);
    bytes.resize(got > 0 ? qsizetype(got) : 0);
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.isEmpty() || lines.front().trimmed() != kFormatLine)
        return options;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.trimmed().split('\t');
        if (fields.size() != 2)
            continue;
        if (fields[0] == "streamed-archives")
            options.streamedArchives = fields[1] == "1";
        else if (fields[0] == "media-facts")
            options.mediaFacts = fields[1] != "0";
        else if (fields[0] == "content-hashes")
            options.contentHashes = fields[1] == "1";
    }
    return options;
}

FileResult writeScanOptions(const QString &dataFolder, const ScanOptions &options)
{
    QDir().mkpath(ownFolderPath(dataFolder));
    return writeUtf8FileAtomically(scanOptionsPath(dataFolder), [&](LineSink &sink) {
        sink.writeLine(QString::fromLatin1(kFormatLine));
        sink.writeLine(QStringLiteral("streamed-archives\t") + (options.streamedArchives ? u'1' : u'0'));
        sink.writeLine(QStringLiteral("media-facts\t") + (options.mediaFacts ? u'1' : u'0'));
        sink.writeLine(QStringLiteral("content-hashes\t") + (options.contentHashes ? u'1' : u'0'));
    });
}
