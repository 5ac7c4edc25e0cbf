#pragma once

// The pieces every entry change is built from: row changes that are taken back unless the index
// is written, and the file steps around the index write.

#include "catalogue/entries.h"
#include "catalogue/layouts.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <functional>
#include <vector>

inline QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

inline void setEntry(RecordSet &rows, qint64 row, const CatalogueEntry &entry)
{
    rows.SetItem(row, IndexColumn::file, entry.file);
    rows.SetItem(row, IndexColumn::desc, entry.desc);
    rows.SetItem(row, IndexColumn::name, entry.name);
    rows.SetItem(row, IndexColumn::gubn, entry.gubn);
}

inline CatalogueEntry entryAt(const RecordSet &rows, qint64 row)
{
    return {rows.GetItemString(row, IndexColumn::file), rows.GetItemString(row, IndexColumn::desc),
            rows.GetItemString(row, IndexColumn::name), rows.GetItemString(row, IndexColumn::gubn)};
}

// Row changes that are taken back, newest first, unless the index file is written.
class RowChanges {
  public:
    ~RowChanges() { undo(); }
    qint64 append(RecordSet &rows, const CatalogueEntry &entry)
    {
        const qint64 row = rows.InsertRow(0);
        setEntry(rows, row, entry);
        m_undo.push_back([&rows, row] { rows.DeleteRow(row); });
        return row;
    }
    void change(RecordSet &rows, qint64 row, const CatalogueEntry &entry)
    {
        if (row < 1)
            return;
        m_undo.push_back([&rows, row, before = entryAt(rows, row)] { setEntry(rows, row, before); });
        setEntry(rows, row, entry);
    }
    void remove(RecordSet &rows, qint64 row)
    {
        if (row < 1)
            return;
        m_undo.push_back([&rows, row, before = entryAt(rows, row), selected = rows.IsSelected(row)] {
            rows.InsertRow(row);
            setEntry(rows, row, before);
            rows.SelectRow(row, selected);
        });
        rows.DeleteRow(row);
    }
    void undo()
    {
        for (auto step = m_undo.rbegin(); step != m_undo.rend(); ++step)
            (*step)();
        m_undo.clear();
    }
    void keep() { m_undo.clear(); }

  private:
    std::vector<std::function<void()>> m_undo;
};

// The file work of one change around its index write. Before the index is written every name a
// new entry uses holds a whole tree already (`created`, removed again if the change fails); after
// it, a tree written under a temporary name goes over the file its entry names (`staged` onto
// `target`), and a name no entry uses any more goes (`obsolete`). A kill between any two steps
// leaves each entry naming a whole tree, old or new, and at worst a file no entry names.
struct CatalogueEntries::FileSteps {
    QByteArray created;
    QByteArray staged;
    QByteArray target;
    QByteArray obsolete;
    bool obsoleteRemoved = true;

    // The bare names of the catalogue files this change wrote, renamed or removed.
    [[nodiscard]] QStringList touchedNames() const;
    // Takes back what was done before the index write.
    void undo() const;
};
