#pragma once

// Archives and disc images for tests, made the way other programs make them: bsdtar, genisoimage,
// and tests/data/make_archives.py (Python's zipfile, and the RAR, cabinet and LHA layouts).

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <utime.h>

#ifndef TARVEK_TEST_DATA_DIR
#error "TARVEK_TEST_DATA_DIR must name tests/data"
#endif

namespace archives {

// Every member make_archives.py writes is dated so (local time, as DOS dates are).
inline qint64 dosDate()
{
    return QDateTime(QDate(2004, 5, 6), QTime(7, 8, 10)).toSecsSinceEpoch();
}

[[nodiscard]] inline bool have(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

// Runs `program`; true when it ran and exited with 0.
inline bool run(const QString &program, const QStringList &arguments, const QString &folder = {})
{
    QProcess process;
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// make_archives.py KIND OUT MEMBER...
inline bool make(const QString &kind, const QString &out, const QStringList &members)
{
    QDir().mkpath(QFileInfo(out).path());
    return run(QStringLiteral("python3"),
               QStringList{QStringLiteral(TARVEK_TEST_DATA_DIR "/make_archives.py"), kind, out} + members);
}

// Writes `bytes` to `path`, its folders made, dated `mtime` (seconds since 1970) when given.
inline bool write(const QString &path, const QByteArray &bytes, qint64 mtime = -1)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    if (mtime < 0)
        return true;
    const struct utimbuf times = {time_t(mtime), time_t(mtime)};
    return ::utime(QFile::encodeName(path).constData(), &times) == 0;
}

// bsdtar -c in `folder` of `members` into `out`, with `options` before them ("--format", "7zip").
inline bool bsdtar(const QString &out, const QString &folder, const QStringList &members,
                   const QStringList &options = {})
{
    QDir().mkpath(QFileInfo(out).path());
    return run(QStringLiteral("bsdtar"), QStringList{QStringLiteral("-cf"), out} + options + members, folder);
}

} // namespace archives
