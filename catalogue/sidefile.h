#pragma once

#include "catalogue/discfacts.h"
#include "files/textfile.h"
#include "records/recordset.h"

#include <QString>
#include <memory>
#include <string>

// The file of Tarvek's own that keeps a disc's sizes and dates beside its catalogue file, in
// the data folder's own folder (catalogue/settings.h), named after the catalogue file with
// ".facts" appended. The catalogue file itself stays as the earlier Windows version writes it.
//
// Plain UTF-8 text, lines ending in CR LF: the line "tarvek-facts<TAB>3" (format and version);
// "key<TAB>value" lines, the first "rows<TAB>count<TAB>fingerprint", then "catalogue<TAB>bytes"
// (the catalogue file's size when the side file was written), then the disc's facts;
// an empty line; then one line per tree row in row order, "size<TAB>mtime" ("-" for unknown; a
// folder's size is the total of the files below it; times in seconds since 1970 UTC). When some
// rows have notes (catalogue/rownotes.h), an empty line follows the rows, then for each kind of
// note a line "[kind]" and one line "row<TAB>text" per row that has one, in row order.
//
// The fingerprint is a hash of every row's path, name and level, as the catalogue file holds them
// (a control character as a space): a catalogue file changed by another program no longer
// matches, and its side file is ignored as a missing one is. Versions 2 and 3 hash with XXH3 (128
// bits), fast enough to hash a tree while it loads; version 1, hashed with MD5, is still read, as
// is version 2, which has no notes.
namespace SideFiles {

constexpr int kVersion = 3;

// The fingerprint of rows added one after the other, so that a tree is hashed as it loads.
class Fingerprint {
  public:
    explicit Fingerprint(int version = kVersion);
    ~Fingerprint();
    Fingerprint(const Fingerprint &) = delete;
    Fingerprint &operator=(const Fingerprint &) = delete;

    // Row `row` of `tree`, the row after the one added last.
    void addRow(const RecordSet &tree, qint64 row);
    // Their count, a tab and the hash in hexadecimal.
    [[nodiscard]] QByteArray result();
    [[nodiscard]] int version() const { return m_version; }

  private:
    struct Hash;
    void add(const void *data, size_t size);
    // A text as the catalogue file holds it (a control character there is a space), so that a
    // tree hashes alike before it is saved and once it is loaded again.
    static QStringView asWritten(QStringView text, QString &scratch);

    int m_version;
    qint64 m_rows = 0;
    std::unique_ptr<Hash> m_hash;
    std::u16string m_previousPath;
    QString m_pathWritten, m_nameWritten;
};

// The side file of the catalogue file at `cataloguePath`.
[[nodiscard]] QString pathFor(const QString &cataloguePath);
// The fingerprint of a tree's rows: their count, a tab and a hash of their path, name and level.
[[nodiscard]] QByteArray fingerprint(const RecordSet &tree, int version = kVersion);

// Writes `facts` for `tree` to `path`, replacing it atomically, creating the own folder.
FileResult write(const QString &path, const RecordSet &tree, const TreeFacts &facts);
// Fills `facts` from `path` when it describes `tree`; otherwise clears them and returns false.
bool read(const QString &path, const RecordSet &tree, TreeFacts &facts);
// The same in two steps, so that a side file can be read on another thread while its tree loads:
// what the file holds, whatever tree it was written for (empty when it is none of this format),
// then those facts taken into `facts` when they describe `tree`.
// `loaded`, when given, is the fingerprint of `tree` as Fingerprint gave it while the tree loaded.
struct Contents {
    int version = 0;
    QByteArray fingerprint;
    TreeFacts facts;
};
[[nodiscard]] Contents readContents(const QString &path);
bool accept(Contents &&contents, const RecordSet &tree, TreeFacts &facts, Fingerprint *loaded = nullptr);
// Only the disc's facts from the head of the file; false when there is no readable side file, or
// when its catalogue file is no longer the size it was written with.
bool readDisc(const QString &path, DiscFacts &disc);

// The side file's share of the entry changes, each named by the catalogue file's path. Saving
// writes `facts` when they describe `tree`, and otherwise removes an older side file, so that
// no other tree's sizes are ever kept under the name. A side file that cannot be written,
// renamed or removed costs the sizes only, never the catalogue: these report nothing.
void saveFor(const QString &cataloguePath, const RecordSet &tree, const TreeFacts *facts);
void renameFor(const QString &fromCataloguePath, const QString &toCataloguePath);
void removeFor(const QString &cataloguePath);

} // namespace SideFiles
