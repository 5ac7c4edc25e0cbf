// Property: the results search lists exactly the rows a plain scan with the same rules gives,
// for any file (which the search index finds and, its time being old, lets the search read in
// parts) and any query: each line read by TextFileReader up to the first empty one that the tree
// takes (its number fields hold numbers), numbered by its line in the file, cut at its tabs, its
// folder path taken below the first line's (the disc's root), path and name composed and, unless
// exact case is asked for, case folded, and the query's words and excluded words
// matched against them by the same patterns. So the anchors looked for in the bytes, the table
// that converts CP949, the blocks the index leaves and the line numbers never change an answer.
// A word with U+FFFD finds the broken bytes of a CP949 file that decode to it, as the reader
// decodes them.
//
// Input: one byte of flags (bit 0 exact case, bit 1 the last syllable being composed), the
// query in UTF-8 up to the first NUL, then the file.

#include "catalogue/layouts.h"
#include "files/textfile.h"
#include "fuzz_support.h"
#include "records/recordset.h"
#include "search/querymatch.h"
#include "search/resultsearch.h"

namespace {

using fuzz::fail;
using fuzz::shown;

QString belowRoot(const QString &path, const QString &root)
{
    if (root.isEmpty() || !path.startsWith(root))
        return path;
    const bool separator = root.endsWith(u'/') || root.endsWith(u'\\');
    return path.mid(root.size() - (separator ? 1 : 0));
}

QStringList expected(const QString &path, const ResultQuery &query)
{
    QStringList rows;
    TextFileReader reader;
    QString line;
    // The file has no side file: no row has a size, a date or the facts of a picture or a song,
    // and none passes a filter of them.
    if (!query.asksForAnything() || !query.sizes.empty() || !query.dates.empty() || query.hasMediaFilters() ||
        !reader.open(path))
        return rows;
    const QueryMatcher matcher(query);
    QString root;
    RecordSet tree(d_dir_tree());
    while (reader.readLine(line) >= 1) {
        const QStringList fields = line.split(u'\t');
        if (reader.lineNumber() == 1)
            root = fields[0];
        if (!tree.appendLine(line))
            continue; // no row of the tree
        const QString name = fields.value(1);
        const bool folder = fields.value(2) == u"folder.bmp";
        const CaseRule rule = query.caseRule;
        const std::u32string folded = codePoints(comparedForm(name, CaseRule::Any));
        if (!matcher.holds(matcher.wordsIn(codePoints(comparedForm(belowRoot(fields[0], root), rule))),
                           codePoints(comparedForm(name, rule))) ||
            !matcher.kindPasses(folded, folder) || !matcher.discPasses(QString(), QStringLiteral("01")))
            continue;
        rows << QStringLiteral("%1|%2|%3|%4")
                    .arg(QString::number(reader.lineNumber()), composed(belowRoot(fields[0], root)),
                         composed(name), folder ? QStringLiteral("d") : QStringLiteral("f"));
    }
    return rows;
}

QStringList found(const QString &folder, const ResultQuery &query)
{
    ResultStore store;
    store.reset({{QStringLiteral("cd_f.dat"), {}, {}, QStringLiteral("01")}});
    HookContext hooks;
    searchResults(hooks, store, folder, query);
    QStringList rows;
    for (qsizetype row = 0; row < store.rowCount(); ++row)
        rows << QStringLiteral("%1|%2|%3|%4")
                    .arg(QString::number(store.lineOf(row)), store.pathOf(row), store.nameOf(row),
                         store.isFolder(row) ? QStringLiteral("d") : QStringLiteral("f"));
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    const int bits = size > 0 ? data[0] : 0;
    fuzz::Input input(size > 0 ? data + 1 : data, size > 0 ? size - 1 : 0);
    const QString text = QString::fromUtf8(input.until('\0'));
    ResultQuery query = parseQuery(text, bits & 2);
    query.caseRule = bits & 1 ? CaseRule::Exact : CaseRule::Any;
    query.discs.clear(); // the one disc has no label
    const QString path = fuzz::scratchFile("cd_f.dat");
    const QByteArray file = input.rest();
    fuzz::writeOldFile(path, file);
    const QStringList want = expected(path, query);
    const QStringList got =
        query.hasFactFilters() ? want : found(QString::fromStdString(fuzz::scratchDir()), query);
    if (got != want)
        fail("the results search lists the rows a plain scan with the same rules gives",
             QStringLiteral("query '%1' (flags %2): expected [%3], found [%4]")
                 .arg(shown(text), QString::number(bits), shown(want.join(u';')), shown(got.join(u';'))));
    return 0;
}
