// Property: the results search lists exactly the rows the loader gives whose folder path (first
// field) or name (second field) holds the text, with their line numbers and kinds, for any file
// (which the search index finds and, its time being old, lets the search read in parts): each line
// read by TextFileReader up to the first empty one that the tree takes (its number fields hold
// numbers), cut at its tabs, numbered by its line in the file (lines passed over counted). A text the file's
// encoding cannot hold (U+FFFD among them, which only a broken byte decodes to) finds nothing.
//
// Input: the text in UTF-8 up to the first NUL, then the file.

#include "catalogue/layouts.h"
#include "files/textfile.h"
#include "fuzz_support.h"
#include "records/recordset.h"
#include "search/resultsearch.h"

namespace {

using fuzz::fail;
using fuzz::shown;

QStringList expected(const QString &path, const QString &text)
{
    QStringList rows;
    TextFileReader reader;
    QString line;
    if (text.isEmpty() || text.contains(QChar::ReplacementCharacter) || !reader.open(path))
        return rows;
    RecordSet tree(d_dir_tree());
    while (reader.readLine(line) >= 1) {
        const QStringList fields = line.split(u'\t');
        if (!tree.appendLine(line))
            continue; // no row of the tree
        if (fields[0].contains(text) || fields.value(1).contains(text))
            rows << QStringLiteral("%1|%2|%3|%4")
                        .arg(QString::number(reader.lineNumber()), fields[0], fields.value(1),
                             fields.value(2) == u"folder.bmp" ? QStringLiteral("d") : QStringLiteral("f"));
    }
    return rows;
}

QStringList found(const QString &folder, const QString &text)
{
    ResultStore store;
    store.reset({{QStringLiteral("cd_f.dat"), {}, {}, {}}});
    HookContext hooks;
    searchResults(hooks, store, folder, text);
    QStringList rows;
    for (qsizetype row = 0; row < store.rowCount(); ++row)
        rows << QStringLiteral("%1|%2|%3|%4")
                    .arg(QString::number(store.lineOf(row)), store.pathOf(row), store.nameOf(row).toString(),
                         store.isFolder(row) ? QStringLiteral("d") : QStringLiteral("f"));
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input input(data, size);
    const QString text = QString::fromUtf8(input.until('\0'));
    const QString path = fuzz::scratchFile("cd_f.dat");
    fuzz::writeOldFile(path, input.rest());
    const QStringList want = expected(path, text);
    const QStringList got = found(QString::fromStdString(fuzz::scratchDir()), text);
    if (got != want)
        fail("the results search lists the rows the reader gives",
             QStringLiteral("text '%1': expected [%2], found [%3]")
                 .arg(shown(text), shown(want.join(u';')), shown(got.join(u';'))));
    return 0;
}
