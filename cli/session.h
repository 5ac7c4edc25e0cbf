#pragma once

#include "catalogue/entries.h"
#include "cli/output.h"
#include "records/recordset.h"

#include <QString>
#include <QStringList>

struct Arguments;

// What every subcommand works with: its arguments, its output, the data folder the window's rules
// choose, and the catalogue of that folder as the window holds it: the index record set, a list
// record set, and the window's entry changes over them (the same lock, order and checks), with the
// search index following every change as it follows the window's.
class Session {
  public:
    Session(const Arguments &args, Output &out, QString dataFolder, bool perUserFolder);
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Reads the index as the window does at start-up. False, having told the user why, when the
    // index is there but cannot be read.
    bool readIndex();
    // Before a change: the data folder made when it is the per-user one (the launcher makes it so),
    // the temporary files a crash left removed, and the index read again.
    bool prepareChange();
    // The list record set holding every index entry, in index order, as the list would after the
    // window's empty search; the entry commands act on its rows.
    void listEverything();
    // The index row of the disc with this label (the same text, else differing in case); 0 when
    // there is none, having told the user so.
    [[nodiscard]] qint64 discRow(const QString &label) const;

    const Arguments &args;
    Output &out;
    [[nodiscard]] bool interactive() const;
    [[nodiscard]] const QString &dataFolder() const { return m_dataFolder; }
    [[nodiscard]] RecordSet &index() { return m_index; }
    [[nodiscard]] RecordSet &list() { return m_list; }
    [[nodiscard]] CatalogueEntries &entries() { return m_entries; }
    // The entry at an index row.
    [[nodiscard]] CatalogueEntry entryAt(qint64 indexRow) const;

  private:
    QString m_dataFolder;
    bool m_perUserFolder;
    RecordSet m_index;
    RecordSet m_list;
    CatalogueEntries m_entries;
};

// The exit status of a change that did not go through: refused, or a data problem.
[[nodiscard]] int failedChange(const FileResult &result);
// A path from the command line made absolute against the current directory, before anything
// (a search lists the data folder) changes that directory.
[[nodiscard]] QString absolutePath(const QString &path);
