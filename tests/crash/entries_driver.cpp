// A small program of the core that changes one data folder, for the tests that run two copies
// at once and that kill it at every system call of a change.
//
//   entries_driver setup DIR           discs A, B and C with the old tree
//   entries_driver save DIR PREFIX N   saves N discs PREFIX0 .. PREFIX<N-1>, one change each
//   entries_driver OP DIR              OP is save (disc N), replace (A), rescan (A's tree scanned
//                                      again), modify (B to B2), delete (C); prints "done" when the
//                                      change reports success
//   entries_driver check DIR OP        every entry's file holds a whole old or new tree, its side
//                                      file, its thumbnail store and its table of file keys are
//                                      ignored or give that tree's sizes and thumbnails, and the
//                                      labels are those before or after OP; exit 1 otherwise

#include "catalogue/datafiles.h"
#include "catalogue/entries.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefile.h"
#include "catalogue/thumbnails.h"
#include "compare/filekeys.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A disc of four rows whose names tell the old tree from the new.
const RecordSet &treeOf(const QString &kind)
{
    static RecordSet oldTree(d_dir_tree()), newTree(d_dir_tree());
    RecordSet &tree = kind == u"old" ? oldTree : newTree;
    if (tree.RowCount() > 0)
        return tree;
    tree.ImportString(u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1");
    for (int i = 0; i < 3; ++i)
        tree.ImportString(
            QStringLiteral("E:/\t%1 %2.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2").arg(kind).arg(i));
    return tree;
}

// Sizes that tell the old tree's side file from the new one's: 100 + row, or 200 + row.
const TreeFacts &factsOf(const QString &kind)
{
    static TreeFacts oldFacts, newFacts;
    TreeFacts &facts = kind == u"old" ? oldFacts : newFacts;
    for (qint64 row = facts.rows() + 1; row <= treeOf(kind).RowCount(); ++row) {
        facts.append({(kind == u"old" ? 100 : 200) + row, 1700000000});
        if (row > 1)
            facts.thumbnails.add(row, (kind + QString::number(row)).toUtf8());
    }
    return facts;
}

QString sizes(const TreeFacts &facts)
{
    QStringList out;
    for (qint64 row = 1; row <= facts.rows(); ++row)
        out << QString::number(facts.at(row).size);
    return out.join(u',');
}

QString contents(const RecordSet &tree)
{
    QStringList rows;
    for (qint64 row = 1; row <= tree.RowCount(); ++row)
        rows << tree.GetItemString(row, TreeColumn::name);
    return rows.join(u'|');
}

CatalogueEntry entry(const QString &label)
{
    return {CatalogueEntries::fileForLabel(label), QStringLiteral("설명"), label, QStringLiteral("02")};
}

int check(const QString &dir, const QString &op)
{
    RecordSet index(d_cdinfo());
    loadDataFile(index, dir + u"/cdinfo.dat"_s);
    QStringList labels;
    const QString whole[] = {contents(treeOf(u"old"_s)), contents(treeOf(u"new"_s))};
    for (qint64 row = 1; row <= index.RowCount(); ++row) {
        labels << index.GetItemString(row, IndexColumn::name);
        RecordSet tree(d_dir_tree());
        loadDataFile(tree, dir + u"/"_s + index.GetItemString(row, IndexColumn::file));
        const QString file = index.GetItemString(row, IndexColumn::file);
        if (contents(tree) != whole[0] && contents(tree) != whole[1]) {
            std::printf("lost: %s\n", qPrintable(file));
            return 1;
        }
        // The side file as the window reads it: ignored, or the sizes of the tree just loaded.
        TreeFacts facts;
        const QString kind = contents(tree) == whole[0] ? u"old"_s : u"new"_s;
        if (SideFiles::read(SideFiles::pathFor(dir + u"/"_s + file), tree, facts) &&
            sizes(facts) != sizes(factsOf(kind))) {
            std::printf("sizes of another tree: %s %s\n", qPrintable(file), qPrintable(sizes(facts)));
            return 1;
        }
        // The thumbnail store likewise, opened for the tree or for the catalogue file's bytes.
        const QString path = dir + u"/"_s + file;
        for (const Thumbnails &store :
             {Thumbnails::open(path, SideFiles::fingerprint(tree)), Thumbnails::openUnchanged(path)}) {
            const Thumbnails &own = factsOf(kind).thumbnails;
            for (qint64 row = 1; !store.isEmpty() && row <= tree.RowCount(); ++row) {
                if (store.jpegOf(row) != own.jpegOf(row)) {
                    std::printf("thumbnails of another tree: %s row %lld\n", qPrintable(file), row);
                    return 1;
                }
            }
        }
        // The table of file keys as the duplicate search reads it: ignored, or that tree's sizes.
        FileKeyTables::TableReader keys;
        if (keys.openFile(FileKeyTables::pathFor(path)) && keys.describesNow(path)) {
            for (; const FileKey *key = keys.peek(); keys.pop()) {
                if (qint64(key->size) != factsOf(kind).at(key->row).size) {
                    std::printf("keys of another tree: %s row %u\n", qPrintable(file), key->row);
                    return 1;
                }
            }
        }
    }
    const QString before = u"A,B,C"_s;
    const QString after = op == u"save"     ? u"A,B,C,N"_s
                          : op == u"modify" ? u"A,B2,C"_s
                          : op == u"delete" ? u"A,B"_s
                                            : before;
    if (labels.join(u',') != before && labels.join(u',') != after) {
        std::printf("entries: %s\n", qPrintable(labels.join(u',')));
        return 1;
    }
    return 0;
}

bool change(CatalogueEntries &entries, const RecordSet &list, const QString &op)
{
    if (op == u"save")
        return entries.add(treeOf(u"new"_s), entry(u"N"_s), &factsOf(u"new"_s)).ok;
    if (op == u"replace")
        return entries
            .replace(treeOf(u"new"_s), entry(u"A"_s), entries.discUsingLabel(u"A"_s), &factsOf(u"new"_s))
            .ok;
    if (op == u"rescan") {
        CatalogueEntry kept;
        return entries.replaceTree(u"cd_A.dat"_s, treeOf(u"new"_s), &factsOf(u"new"_s), &kept).ok &&
               kept.desc == u"설명" && kept.gubn == u"02";
    }
    if (op == u"modify")
        return entries.change(u"B"_s, entry(u"B2"_s)).ok;
    if (op == u"delete")
        return entries.remove(CatalogueEntries::findLabel(list, u"C"_s)).index.ok;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    const QString op = args.at(1), dir = args.at(2);
    if (op == u"check")
        return args.size() > 3 ? check(dir, args.at(3)) : 2;
    RecordSet index(d_cdinfo()), list(d_cdinfo());
    CatalogueEntries entries(index, list, dir, u"cdinfo.dat"_s);
    followFileKeys(entries);
    entries.loadIndex();
    if (op == u"setup") {
        for (const QString &label : {u"A"_s, u"B"_s, u"C"_s}) {
            if (!entries.add(treeOf(u"old"_s), entry(label), &factsOf(u"old"_s)).ok)
                return 1;
        }
        return 0;
    }
    if (op == u"save" && args.size() > 4) {
        for (int i = 0; i < args.at(4).toInt(); ++i) {
            const FileResult saved = entries.add(treeOf(u"new"_s), entry(args.at(3) + QString::number(i)));
            if (!saved.ok) {
                std::printf("%s\n", qPrintable(saved.error));
                return 1;
            }
        }
        return 0;
    }
    index.RowsCopy(1, index.RowCount(), list, 1);
    // Each disc's table of file keys, made for the files as they are here (a copy has other
    // inodes): the change must take the tables of the files it touches away with them.
    for (const QString &label : {u"A"_s, u"B"_s, u"C"_s}) {
        const QString catalogue = dir + u"/cd_"_s + label + u".dat"_s;
        if (!FileKeyTables::store(catalogue, FileKeyTables::build(catalogue)))
            return 1;
    }
    // The kill test counts the system calls of the change from here.
    ::access("entries-driver-change-begins", F_OK);
    if (!change(entries, list, op))
        return 1;
    std::printf("done\n");
    return 0;
}
