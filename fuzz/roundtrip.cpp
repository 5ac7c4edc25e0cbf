// Property: a data file loaded, written and loaded again gives the same rows, and writing those
// rows again gives the same bytes. Any bytes are loaded as an index (storeIndex) or a folder tree
// (writeCatalogue). Writing turns tabs and control characters (U+0000-U+001F, U+007F,
// U+0080-U+009F) into spaces, so the second load must equal the first with those replaced, and
// nothing else may change: no row lost or added, every text and number field equal.
//
// Input: a flag byte (bit 0: the tree layout instead of the index), then the file.

#include "catalogue/datafiles.h"
#include "catalogue/layouts.h"
#include "fuzz_support.h"

namespace {

using fuzz::check;
using fuzz::fail;
using fuzz::shown;

QString written(QStringView text)
{
    QString out = text.toString();
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            c = u' ';
    }
    return out;
}

void store(const RecordSet &rows, const QString &path, bool tree)
{
    const FileResult result = tree ? writeCatalogue(rows, path) : storeIndex(rows, path);
    if (!result.ok)
        fail("a data file can be written to the scratch folder", result.error);
}

void compareRows(const RecordSet &loaded, const RecordSet &reloaded)
{
    if (loaded.RowCount() != reloaded.RowCount())
        fail("the written file loads the same number of rows",
             QStringLiteral("%1 rows, then %2").arg(loaded.RowCount()).arg(reloaded.RowCount()));
    const Layout &layout = loaded.layout();
    for (qint64 row = 1; row <= loaded.RowCount(); ++row) {
        for (int c = 0; c < layout.columnCount(); ++c) {
            if (layout.column(c).type == ColumnType::Number) {
                check(loaded.numberAt(row, c) == reloaded.numberAt(row, c),
                      "a number field survives the round trip");
                continue;
            }
            const QString expected = written(loaded.textAt(row, c));
            if (reloaded.textAt(row, c) != expected)
                fail("a text field survives the round trip",
                     QStringLiteral("row %1 column %2: '%3', expected '%4'")
                         .arg(row)
                         .arg(c + 1)
                         .arg(shown(reloaded.textAt(row, c)), shown(expected)));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input input(data, size);
    const bool tree = input.byte() & 1;
    const Layout &layout = tree ? d_dir_tree() : d_cdinfo();
    static const QString original = fuzz::scratchFile("original.dat");
    static const QString first = fuzz::scratchFile("first.dat");
    static const QString second = fuzz::scratchFile("second.dat");
    fuzz::writeFile(original, input.rest());

    RecordSet loaded(layout);
    const qint64 lines = loadDataFile(loaded, original);
    check(loaded.RowCount() <= lines, "a load adds at most one row per line");
    store(loaded, first, tree);

    RecordSet reloaded(layout);
    const qint64 reloadedLines = loadDataFile(reloaded, first);
    compareRows(loaded, reloaded);
    check(reloadedLines == reloaded.RowCount(), "every written line loads as a row");

    store(reloaded, second, tree);
    const QByteArray firstBytes = fuzz::readFile(first);
    const QByteArray secondBytes = fuzz::readFile(second);
    if (firstBytes != secondBytes)
        fail("writing the reloaded rows gives the same bytes",
             QStringLiteral("%1 bytes, then %2: %3 / %4")
                 .arg(firstBytes.size())
                 .arg(secondBytes.size())
                 .arg(QString::fromLatin1(firstBytes.left(64).toHex(' ')),
                      QString::fromLatin1(secondBytes.left(64).toHex(' '))));
    return 0;
}
