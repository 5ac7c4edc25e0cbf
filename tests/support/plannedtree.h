#pragma once

#include "catalogue/discfacts.h"
#include "catalogue/layouts.h"
#include "records/recordset.h"

#include <QString>
#include <QStringList>
#include <vector>

// A tree written as lines "level name size mtime" ("/" after a folder's name), for tests of the
// comparisons: "1 R/", "2 a/", "3 x.txt 10 100". Each row's path is its folders' names joined.
struct PlannedRow {
    int level;
    QString name; // a folder's ends in "/"
    qint64 size = FileStat::kUnknown;
    qint64 mtime = FileStat::kUnknown;
};

inline void buildTree(const std::vector<PlannedRow> &rows, RecordSet &tree, TreeFacts &facts)
{
    tree.Reset();
    facts.clear();
    QStringList folders; // [level - 1]: that folder's path
    for (const PlannedRow &planned : rows) {
        const bool folder = planned.name.endsWith(u'/');
        const QString name = folder ? planned.name.chopped(1) : planned.name;
        const QString parent =
            planned.level > 1 ? folders.value(planned.level - 2) : QStringLiteral("/media/");
        const QString path = folder ? parent + name + u'/' : parent;
        if (folder) {
            while (folders.size() >= planned.level)
                folders.removeLast();
            folders << path;
        }
        const qint64 row = tree.InsertRow(0);
        tree.SetItem(row, TreeColumn::fullname, path);
        tree.SetItem(row, TreeColumn::name, name);
        tree.SetItem(row, TreeColumn::bmpname,
                     folder ? QStringLiteral("folder.bmp") : QStringLiteral("line.bmp"));
        tree.SetItem(row, TreeColumn::selectedbmpname,
                     folder ? QStringLiteral("foldopen.bmp") : QStringLiteral("line.bmp"));
        for (int column :
             {TreeColumn::selected, TreeColumn::open, TreeColumn::children, TreeColumn::siblings})
            tree.SetItem(row, column, qint64(0));
        tree.SetItem(row, TreeColumn::level, qint64(planned.level));
        facts.append({planned.size, planned.mtime});
    }
}
