// Properties of the side file that keeps a tree's sizes and dates:
// - any bytes read as a side file of a small fixed tree are rejected, or give facts with exactly
//   one row per tree row; nothing is read past the file;
// - the same for a side file written for that tree with the input's bytes put into it, so that
//   the rows past a head whose fingerprint matches are searched too;
// - a side file written for a tree made from the input reads back equal: every row's size and
//   date and every fact of the disc;
// - when the catalogue file it was written with changes after (lines left out, doubled, or a
//   level broken so that the loader passes the line over), its facts are taken only for the
//   tree it was written for, the disc's facts no less strictly than the rows', and the facts of
//   each catalogue line are those of the tree row it gives.
//
// Input: a mode byte (0: the input is the file; 1: the input spliced into a written file at the
// offset of the next two bytes, replacing as many bytes as the third says; 2: a tree and its
// facts made from the rest, a row per line "level<TAB>name<TAB>size<TAB>mtime"; 3: such a tree
// saved as a catalogue file with its side file, then the catalogue changed as the last line
// says, a letter and a row number for each change: "s" leaves the row out, "d" doubles it, "l"
// breaks its level).

#include "catalogue/sidefile.h"
#include "catalogue/datafiles.h"
#include "catalogue/discfacts.h"
#include "catalogue/layouts.h"
#include "catalogue/sidefacts.h"
#include "files/textfile.h"
#include "fuzz_support.h"

#include <QDateTime>

namespace {

using fuzz::check;

const RecordSet &fixedTree()
{
    static RecordSet *tree = [] {
        auto *rows = new RecordSet(d_dir_tree());
        rows->ImportString(u"E:/\tE:\tfolder.bmp\tfoldopen.bmp\t0\t1\t0\t0\t1\n"
                           u"E:/사진/\t사진\tfolder.bmp\tfoldopen.bmp\t0\t0\t0\t0\t2\n"
                           u"E:/사진/\t바다.jpg\tline.bmp\tline.bmp\t0\t0\t0\t0\t3\n"
                           u"E:/\ta.txt\tline.bmp\tline.bmp\t0\t0\t0\t0\t2");
        return rows;
    }();
    return *tree;
}

TreeFacts fixedFacts()
{
    TreeFacts facts;
    for (const FileStat &stat : {FileStat{12, 1000}, FileStat{10, FileStat::kUnknown}, FileStat{10, -5},
                                 FileStat{FileStat::kUnknown, 7}})
        facts.append(stat);
    facts.disc.volumeLabel = QStringLiteral("여행");
    facts.disc.files = 2;
    facts.notes.of("kind").set(2, "a\tb");
    facts.notes.of("other").set(3, "가");
    return facts;
}

// Reads `path` as the window and the exports do; accepted facts describe the tree.
void readAsTheProgramDoes(const QString &path, const RecordSet &tree)
{
    TreeFacts facts;
    if (SideFiles::read(path, tree, facts))
        check(facts.rows() == tree.RowCount(), "accepted facts have one row per tree row");
    else
        check(facts.rows() == 0 && facts.notes.kinds().empty(), "rejected facts hold no rows or notes");
    for (const auto &[kind, notes] : facts.notes.kinds()) {
        check(TreeNotes::isKindName(kind), "a kind of notes has a kind's name");
        qint64 previous = 0;
        for (const auto &[row, text] : notes.all()) {
            check(row > previous && row <= tree.RowCount(), "notes are of the tree's rows, in order");
            check(!text.isEmpty() && !text.contains('\n'), "a note is one line of text");
            previous = row;
        }
    }
    DiscFacts disc;
    (void)SideFiles::readDisc(path, disc);
}

qint64 numberOf(const QByteArray &field)
{
    bool ok = false;
    const qint64 value = field.toLongLong(&ok);
    return ok ? value : FileStat::kUnknown;
}

// A tree of the input's lines, with their facts, and the disc's facts from the first line.
void makeTree(fuzz::Input &input, RecordSet &tree, TreeFacts &facts)
{
    facts.disc.volumeLabel = QString::fromUtf8(input.until('\n'));
    facts.disc.capacity = qint64(input.byte()) << 30;
    facts.disc.freeSpace = input.byte() & 1 ? FileStat::kUnknown : input.byte();
    facts.disc.folders = input.byte();
    facts.disc.totalSize = qint64(input.byte()) << 40;
    facts.disc.scanned = QDateTime::fromSecsSinceEpoch(qint64(input.byte()) << 24, Qt::UTC);
    for (QByteArray line = input.until('\n'); !line.isEmpty(); line = input.until('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        const qint64 row = tree.InsertRow(0);
        tree.SetItem(row, TreeColumn::fullname, QString::fromUtf8(fields.value(1)) + u'/');
        tree.SetItem(row, TreeColumn::name, QString::fromUtf8(fields.value(1)));
        tree.SetItem(row, TreeColumn::level, numberOf(fields.value(0)) & 0xFF);
        facts.append({numberOf(fields.value(2)), numberOf(fields.value(3))});
    }
    // Then notes, a line each: "kind<TAB>row<TAB>text".
    while (!input.atEnd()) {
        const QList<QByteArray> fields = input.until('\n').split('\t');
        const qint64 row = numberOf(fields.value(1));
        const QByteArray text = fields.mid(2).join('\t');
        if (TreeNotes::isKindName(fields.value(0)) && row >= 1 && row <= tree.RowCount() &&
            !text.contains('\r') && QString::fromUtf8(text).toUtf8() == text)
            facts.notes.of(fields.value(0)).set(row, text);
    }
}

void checkRoundTrip(const RecordSet &tree, const TreeFacts &written, const QString &path)
{
    check(SideFiles::write(path, tree, written).ok, "a side file can be written to the scratch folder");
    TreeFacts read;
    check(SideFiles::read(path, tree, read), "a written side file reads back for its tree");
    for (qint64 row = 1; row <= tree.RowCount(); ++row) {
        check(read.at(row).size == written.at(row).size, "a row's size reads back");
        check(read.at(row).mtime == written.at(row).mtime, "a row's date reads back");
    }
    for (const auto &[kind, notes] : written.notes.kinds()) {
        for (const auto &[row, text] : notes.all())
            check(read.notes.of(kind).at(row) == text, "a note reads back");
    }
    QString label = written.disc.volumeLabel;
    label.replace(u'\t', u' ').replace(u'\r', u' ').replace(u'\n', u' ');
    const DiscFacts &disc = read.disc;
    if (disc.volumeLabel != label)
        fuzz::fail("the volume label reads back",
                   fuzz::shown(disc.volumeLabel) + QStringLiteral(" / ") + fuzz::shown(label));
    check(disc.capacity == written.disc.capacity && disc.freeSpace == written.disc.freeSpace &&
              disc.folders == written.disc.folders && disc.totalSize == written.disc.totalSize,
          "the disc's numbers read back");
    check(disc.scanned == written.disc.scanned, "the scan's date reads back");
}

// The catalogue's lines after the changes `changes` asks for.
QList<QByteArray> changedLines(QList<QByteArray> lines, const QByteArray &changes)
{
    for (qsizetype i = 0; i + 1 < changes.size() && !lines.isEmpty(); i += 2) {
        const qsizetype at = uchar(changes[i + 1]) % lines.size();
        switch (changes[i]) {
        case 's':
            lines.removeAt(at);
            break;
        case 'd':
            lines.insert(at, lines[at]);
            break;
        case 'l':
            lines[at] = lines[at].left(lines[at].lastIndexOf('\t') + 1) + "x";
            break;
        default:
            break;
        }
    }
    return lines;
}

void checkChangedCatalogue(const RecordSet &written, const TreeFacts &facts, const QByteArray &changes)
{
    static const QString catalogue = fuzz::scratchFile("cd_c.dat");
    const QString side = SideFiles::pathFor(catalogue);
    check(writeCatalogue(written, catalogue).ok, "the catalogue file is written");
    check(SideFiles::write(side, written, facts).ok, "its side file is written");
    fuzz::writeFile(catalogue, changedLines(fuzz::readFile(catalogue).split('\n'), changes).join('\n'));
    RecordSet loaded(d_dir_tree());
    loadDataFile(loaded, catalogue);
    const bool sameTree = SideFiles::fingerprint(loaded) == SideFiles::fingerprint(written);
    TreeFacts read;
    if (SideFiles::read(side, loaded, read))
        check(sameTree, "the rows' facts are taken only for the tree they were written for");
    DiscFacts disc;
    if (SideFiles::readDisc(side, disc))
        check(sameTree, "the disc's facts are taken only for the tree they were written for");
    // Line by line as the results window asks: the facts of the row the line gives, if any.
    const SideFacts byLine(catalogue);
    TextFileReader reader;
    check(reader.open(catalogue), "the changed catalogue file can be read");
    RecordSet rows(d_dir_tree());
    QString line;
    while (reader.readLine(line) >= 1) {
        if (!rows.appendLine(line)) {
            check(byLine.row(reader.lineNumber()).size == -1, "a line that gives no row shows no facts");
            continue;
        }
        const RowFacts shown = byLine.row(reader.lineNumber());
        const RowFacts expected = sameTree ? rowFactsOf(facts, rows.RowCount()) : RowFacts();
        check(shown.size == expected.size && shown.modified == expected.modified,
              "a catalogue line shows the facts of the tree row it gives");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input input(data, size);
    static const QString path = fuzz::scratchFile("cd_x.dat.facts");
    const uint8_t mode = input.byte() % 4;
    if (mode == 0) {
        fuzz::writeFile(path, input.rest());
        readAsTheProgramDoes(path, fixedTree());
    } else if (mode == 1) {
        check(SideFiles::write(path, fixedTree(), fixedFacts()).ok, "the fixed tree's side file is written");
        QByteArray file = fuzz::readFile(path);
        const qsizetype at = (qsizetype(input.byte()) << 8 | input.byte()) % (file.size() + 1);
        const qsizetype replaced = std::min<qsizetype>(input.byte(), file.size() - at);
        file.replace(at, replaced, input.rest());
        fuzz::writeFile(path, file);
        readAsTheProgramDoes(path, fixedTree());
    } else if (mode == 2) {
        RecordSet tree(d_dir_tree());
        TreeFacts facts;
        makeTree(input, tree, facts);
        if (tree.RowCount() > 0)
            checkRoundTrip(tree, facts, path);
    } else {
        RecordSet tree(d_dir_tree());
        TreeFacts facts;
        makeTree(input, tree, facts);
        if (tree.RowCount() > 0)
            checkChangedCatalogue(tree, facts, input.rest());
    }
    return 0;
}
