#pragma once

#include "files/textfile.h"
#include "records/recordset.h"

#include <QString>

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
// catalogue file, kept in step. Each change either happens whole or leaves the record sets as
// the files on disc are; it returns what went wrong, in words for the user, and shows nothing.
class CatalogueEntries {
  public:
    CatalogueEntries(RecordSet &dw_cdinfo, RecordSet &dw_list, QString dataFolder, QString indexName);

    // "cd_" + label + ".dat".
    [[nodiscard]] static QString fileForLabel(const QString &label);
    // Why a label (as typed) or a description cannot be saved, in words for the user; empty when
    // they can. A label must give a catalogue file name the file-name check accepts and that
    // fits the index's 100 characters; a description fits its 255.
    [[nodiscard]] static QString labelProblem(const QString &label, const QString &desc);
    // The first row holding this label, or this file; 0 when none.
    [[nodiscard]] static qint64 findLabel(const RecordSet &rows, const QString &label);
    [[nodiscard]] static qint64 findFile(const RecordSet &rows, const QString &file);

    // The index row of the disc a new save under `label` would replace: the entry with that
    // label, or else the one naming the same catalogue file; 0 when the label is free.
    [[nodiscard]] qint64 discUsingLabel(const QString &label) const;

    // A new disc: writes `tree` to the label's catalogue file, then adds the entry at the end
    // of both record sets and rewrites the index.
    // The tree's sizes and dates, when `facts` describe it, go to its side file.
    FileResult add(const RecordSet &tree, const CatalogueEntry &entry, const TreeFacts *facts = nullptr);
    // A disc saved again under a label already in the index (row `indexRow`): writes `tree`
    // over its catalogue file and changes its entry in place in both record sets.
    FileResult replace(const RecordSet &tree, const CatalogueEntry &entry, qint64 indexRow,
                       const TreeFacts *facts = nullptr);
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

    [[nodiscard]] QString dataFolder() const { return m_dataFolder; }
    [[nodiscard]] QString indexPath() const;
    [[nodiscard]] QString filePath(const QString &bareName) const;

  private:
    FileResult ensureDataFolder() const;
    FileResult writeTree(const RecordSet &tree, const QString &file) const;

    RecordSet &m_index;
    RecordSet &m_list;
    QString m_dataFolder;
    QString m_indexName;
};
