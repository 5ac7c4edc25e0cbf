#include "catalogue/treeloader.h"

#include "catalogue/sidefile.h"
#include "files/readahead.h"
#include "files/textfile.h"

namespace {

qint64 countLines(const QString &path, bool &opened)
{
    TextFileReader reader;
    opened = !path.isEmpty() && reader.open(path);
    qint64 lines = 0;
    while (opened && reader.skipLine() >= 1)
        ++lines;
    return lines;
}

void showStatus(HookContext &hooks, const QString &text)
{
    if (hooks.showStatus)
        hooks.showStatus(text);
}

} // namespace

TreeLoad loadTree(HookContext &hooks, RecordSet &tree, const QString &path,
                  SideFiles::Fingerprint *fingerprint)
{
    TreeLoad load;
    tree.Reset();
    showStatus(hooks, QStringLiteral("준비중"));
    if (hooks.progress)
        hooks.progress->setPosition(0);
    load.lines = countLines(path, load.opened);
    hooks.setMaximum(load.lines);
    tree.reserve(load.lines);

    // The lines are decoded a batch ahead on a second thread while this one adds them.
    ReadAheadLineReader reader;
    QStringView line;
    if (load.opened && reader.open(path)) {
        while (reader.readLine(line) >= 1) {
            if (hooks.cancelled()) {
                load.cancelled = true;
                return load;
            }
            if (tree.appendLine(line) && fingerprint)
                fingerprint->addRow(tree, tree.RowCount());
            hooks.advance();
        }
    }
    if (hooks.progress)
        hooks.progress->setPosition(0);
    showStatus(hooks, QString());
    return load;
}
