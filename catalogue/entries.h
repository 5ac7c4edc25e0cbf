#pragma once

#include "catalogue/datafolder.h"
#include "files/textfile.h"
#include "records/recordset.h"

#include <QString>
#include <QStringList>
#include <functional>

class RowChanges;
class TreeFacts;

// One entry of the catalogue index.
struct CatalogueEntry {
    QString file; // bare name of the disc's catalogue file
    QString desc;
    QString name; // the disc's label
    QString gubn; // category code, "01" to "04" or empty
};

// The catalogue as the commands change it: every entry in the index record set (the only one
// written to the index file), the entries the user sees in the list record set, and each disc's
// catalogue file, kept in step. Each change either happens whole or leaves the record sets and
// the data folder as they were; it returns what went wrong, in words for the user, and shows
// nothing.
//
// Other copies of the program may share the data folder. Each change holds the folder's lock
// from reading the index to its last write, and first reads the index again when it changed since
// it was last read or written here, so that no copy writes back an index that lacks another's
// change. The files are changed in an order that keeps every index entry naming a file that
// holds a whole tree of its disc at every instant, so that a crash anywhere loses no disc.
//
// Labels and file names are compared without case (simple case folding), as a FAT, exFAT or
// NTFS stick or an SMB share compares them.
class CatalogueEntries {
  public:
    CatalogueEntries(RecordSet &dw_cdinfo, RecordSet &dw_list, QString dataFolder, QString indexName);

    // "cd_" + label + ".dat".
    [[nodiscard]] static QString fileForLabel(const QString &label);
    // Why a label (as typed) or a description cannot be saved, in words for the user; empty when
    // they can. A label must give a catalogue file name the file-name check accepts, without the
    // characters a Windows file system cannot hold, that fits the index's 100 characters and a
    // file name's 255 bytes; a description fits its 255.
    [[nodiscard]] static QString labelProblem(const QString &label, const QString &desc);
    [[nodiscard]] static QString descriptionProblem(const QString &desc);
    // Why the save dialog's fields cannot be saved, checked as it checks them: a label (trimmed)
    // must be given, then the label and the description must pass the checks above. For a change
    // of the entry `before`, only what differs from it is checked, so that an entry the earlier
    // version wrote stays editable. Empty when they can be saved.
    [[nodiscard]] static QString fieldsProblem(const QString &label, const QString &desc,
                                               const CatalogueEntry *before = nullptr);
    // The label as it is saved: leading and trailing spaces off.
    [[nodiscard]] static QString trimmedLabel(const QString &label);
    // The first row holding this label, or this file: the same text if one has it, else the first
    // that differs only in case; 0 when none.
    [[nodiscard]] static qint64 findLabel(const RecordSet &rows, const QString &label);
    [[nodiscard]] static qint64 findFile(const RecordSet &rows, const QString &file);

    // The index row of the disc a new save under `label` would replace: the entry with that
    // label, or else the one naming the same catalogue file; 0 when the label is free.
    [[nodiscard]] qint64 discUsingLabel(const QString &label) const;
    // True when the data folder holds the label's catalogue file but no index entry names it, as a
    // crash or a hand-edited index can leave it: a save then replaces that file.
    [[nodiscard]] bool fileWithoutEntry(const QString &label) const;

    // Reads the index file into the index record set and notes which version of it was read.
    qint64 loadIndex();
    // Why the index file cannot be read, in words for the user: it is there, but is no regular
    // file or does not open. Empty when it reads, or when there is none (an empty catalogue).
    // No change is made while it cannot be read: writing the index then would drop every entry
    // it holds.
    [[nodiscard]] QString indexProblem() const;
    // When the index file changed since it was last read or written here, reads it again and
    // brings the list's rows in step: rows whose disc is gone leave, the others take their entry's
    // values, highlights stay. An index that cannot be read leaves the rows alone. True when read.
    bool catchUp();
    // At start-up: removes under the lock the temporary files a crash left in the data folder.
    // It never waits: while another copy holds the lock, they stay for a later start.
    void removeStaleFiles();

    // A new disc: writes `tree` to the label's catalogue file, then adds the entry at the end
    // of both record sets and rewrites the index. A label the index holds already is refused.
    // The tree's sizes and dates, when `facts` describe it, go to its side file.
    FileResult add(const RecordSet &tree, const CatalogueEntry &entry, const TreeFacts *facts = nullptr);
    // A disc saved again under a label already in the index (row `indexRow`, found again by the
    // label when the index was read anew): writes `tree` over the catalogue file its entry names
    // and changes the entry in place in both record sets.
    FileResult replace(const RecordSet &tree, const CatalogueEntry &entry, qint64 indexRow,
                       const TreeFacts *facts = nullptr);
    // A disc scanned again: `tree` replaces the tree of the disc whose entry names the catalogue
    // file `file`, by the same replace as above, and the entry keeps its label, description and
    // category as the index holds them when the lock is taken. `kept`, when given, receives them.
    // Refused when no entry names the file any more.
    FileResult replaceTree(const QString &file, const RecordSet &tree, const TreeFacts *facts = nullptr,
                           CatalogueEntry *kept = nullptr);
    // Label, description and category of the disc saved as `originalLabel`: its first row in
    // each record set changes (in the index one is added when it has none), and when the label
    // changes its catalogue file is renamed to match. A label another disc uses is refused.
    FileResult change(const QString &originalLabel, const CatalogueEntry &entry);

    struct Removal {
        FileResult index;              // the index rewrite; when it failed nothing was removed
        bool fileDeleteFailed = false; // the catalogue file was to go but could not be deleted
    };
    // The entry shown in list row `listRow` leaves both record sets and the index file; then its
    // catalogue file is deleted, unless its `file` value is not a bare name or another entry of
    // the index still names it.
    Removal remove(qint64 listRow);

    // Told after each change the bare names of the catalogue files it wrote, renamed or removed,
    // so that what is kept of those discs elsewhere is read again.
    std::function<void(const QStringList &names)> onFilesChanged;
    // Told the same names just before, while the data folder's lock is still held, so that files
    // kept of the discs in the data folder's own folder (the search index) follow under that lock.
    std::function<void(const QStringList &names)> whileLocked;

    // What a change tells the window while it waits for another copy of the program to let go of
    // the data folder; a change whose wait the user cancels returns a result marked cancelled.
    LockWait lockWait;

    [[nodiscard]] QString dataFolder() const { return m_dataFolder; }
    [[nodiscard]] QString indexPath() const;
    [[nodiscard]] QString filePath(const QString &bareName) const;

  private:
    struct FileSteps;
    FileResult ensureDataFolder() const;
    // Takes the lock and reads the index again when it changed; `reread` tells whether it did.
    FileResult begin(DataFolderLock &lock, bool *reread = nullptr);
    FileResult saveTree(const RecordSet &tree, CatalogueEntry entry, qint64 indexRow, const TreeFacts *facts);
    // Gives the tree in `from` the name `to` too (a link, or a copy where the file system has
    // none), never over a file that is there already.
    FileResult linkTree(const QString &from, const QString &to, FileSteps &steps) const;
    // Another index row than `except` whose label or (when `file` is not empty) file is these.
    [[nodiscard]] qint64 otherRowUsing(qint64 except, const QString &label, const QString &file) const;
    // Writes the index and carries out the file steps around it; on failure undoes both.
    FileResult commit(FileSteps &steps, RowChanges &changes);

    RecordSet &m_index;
    RecordSet &m_list;
    QString m_dataFolder;
    QString m_indexName;
    FileVersion m_indexStamp; // the index file as last read or written here
    quint64 m_reads = 0;      // how often the index was read: the window may catch up during a wait
};
