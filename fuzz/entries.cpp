// Property: entry changes never lose a disc. Random saves, replaces, changes and deletes run over
// a data folder, each with a write fault injected at a chosen system call (or none). After every
// step each index entry's file exists and loads with the rows last saved for it; a step that
// fails leaves the index, every file of the folder and both record sets exactly as before.
//
// Input: four bytes a step: the operation, the label, the second label (a change's new one) or
// the tree, and the system call that fails (0: none; n: the n-th write, flush, rename, link or
// removal of the step).

#include "catalogue/entries.h"
#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "files/fileops.h"
#include "fuzz_support.h"

#include <QDir>

#include <cerrno>
#include <map>

using namespace Qt::StringLiterals;

namespace {

using fuzz::check;
using fuzz::fail;

const QString kLabels[] = {u"A"_s, u"a"_s, u"B"_s, u"\uAC00"_s, u"v1..2"_s, u"C\tD"_s};

// Counts the file calls of a step and fails the chosen one.
void injectFault(int failAt)
{
    resetFileOps();
    static int count;
    count = 0;
    const auto failNow = [failAt] { return ++count == failAt; };
    FileOps &ops = fileOps();
    const FileOps real = ops;
    ops.write = [real, failNow](int fd, const void *data, size_t size) -> ssize_t {
        return failNow() ? (errno = ENOSPC, -1) : real.write(fd, data, size);
    };
    ops.sync = [real, failNow](int fd) { return failNow() ? (errno = EIO, -1) : real.sync(fd); };
    for (auto call : {&FileOps::rename, &FileOps::renameNoReplace, &FileOps::link}) {
        ops.*call = [failNow, real = real.*call](const char *from, const char *to) {
            return failNow() ? (errno = EIO, -1) : real(from, to);
        };
    }
    ops.unlink = [real, failNow](const char *path) {
        return failNow() ? (errno = EIO, -1) : real.unlink(path);
    };
}

QString rowsOf(const RecordSet &rows)
{
    QStringList out;
    for (qint64 row = 1; row <= rows.RowCount(); ++row) {
        QStringList fields;
        for (int column = 1; column <= rows.layout().columnCount(); ++column)
            fields << rows.GetItemString(row, column);
        out << fields.join(u'\t');
    }
    return out.join(u'\n');
}

QString folderOf(const QString &dir)
{
    QStringList out;
    for (const QString &name : QDir(dir).entryList(QDir::Files | QDir::Hidden)) {
        if (name != u".tarvek.lock")
            out << name + u'=' + QString::fromLatin1(fuzz::readFile(dir + u'/' + name).toHex());
    }
    return out.join(u',');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    const QString dir = fuzz::scratchFile("data");
    QDir(dir).removeRecursively();
    RecordSet index(d_cdinfo()), list(d_cdinfo());
    CatalogueEntries entries(index, list, dir, u"cdinfo.dat"_s);
    std::map<QString, QString> saved; // file name -> the tree rows last saved in it
    fuzz::Input input(data, size);
    for (size_t step = 0; step < size / 4 && step < 12; ++step) {
        const int op = input.byte() % 4;
        const QString label = kLabels[input.byte() % std::size(kLabels)];
        const uint8_t other = input.byte();
        const int failAt = input.byte() % 12;
        RecordSet tree(d_dir_tree());
        tree.ImportString(
            QStringLiteral("E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\nE:/\tt%1\t\t\t0\t0\t0\t0\t2")
                .arg(other));
        const CatalogueEntry entry{CatalogueEntries::fileForLabel(label), u"d"_s, label, u"01"_s};
        // Modify and delete act on a disc the list shows, as in the window.
        const qint64 row = CatalogueEntries::findLabel(index, label);
        const QString name = row > 0 ? index.GetItemString(row, IndexColumn::name) : QString();
        if (op >= 2 && row > 0 && CatalogueEntries::findLabel(list, name) == 0)
            index.RowsCopy(row, row, list, list.RowCount() + 1);
        const QString before = folderOf(dir) + rowsOf(index) + rowsOf(list);
        injectFault(failAt);
        bool ok = false;
        if (op == 0 || op == 1) {
            ok = op == 0 ? entries.add(tree, entry).ok
                         : entries.replace(tree, entry, entries.discUsingLabel(label)).ok;
        } else if (op == 2 && row > 0) {
            const QString to = kLabels[other % std::size(kLabels)];
            const QString from = index.GetItemString(row, IndexColumn::file);
            ok = entries.change(name, {CatalogueEntries::fileForLabel(to), u"e"_s, to, u"02"_s}).ok;
            const qint64 now = CatalogueEntries::findLabel(index, RecordSet::asWritten(to));
            if (ok && now > 0 && saved.count(from))
                saved[index.GetItemString(now, IndexColumn::file)] = saved[from];
        } else if (op == 3 && row > 0) {
            ok = entries.remove(CatalogueEntries::findLabel(list, name)).index.ok;
        }
        resetFileOps();
        if (ok && op < 2)
            saved[index.GetItemString(entries.discUsingLabel(RecordSet::asWritten(label)),
                                      IndexColumn::file)] = rowsOf(tree);
        if (!ok && folderOf(dir) + rowsOf(index) + rowsOf(list) != before)
            fail("a failed step leaves the folder and the record sets as they were", QString::number(step));
        RecordSet onDisc(d_cdinfo());
        loadDataFile(onDisc, dir + u"/cdinfo.dat"_s);
        check(rowsOf(onDisc) == rowsOf(index), "the index file holds the index record set");
        for (qint64 r = 1; r <= index.RowCount(); ++r) {
            const QString file = index.GetItemString(r, IndexColumn::file);
            RecordSet rows(d_dir_tree());
            loadDataFile(rows, dir + u'/' + file);
            if (!saved.count(file) || rowsOf(rows) != saved[file])
                fail("each entry's file holds the tree last saved for it",
                     QStringLiteral("step %1, %2: '%3', saved '%4'")
                         .arg(step)
                         .arg(fuzz::shown(file), fuzz::shown(rowsOf(rows)), fuzz::shown(saved[file])));
        }
    }
    return 0;
}
