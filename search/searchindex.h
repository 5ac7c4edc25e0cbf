#pragma once

#include "catalogue/entries.h"
#include "files/hookcontext.h"
#include "search/searchranges.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// The search index of a data folder: which catalogue files hold which trigrams, so that a search
// reads only the files that may hold its text. It never changes an answer: a file is ruled out
// only when the index covers it as it is now (same size, times and inode) and lacks one of the
// text's trigrams; every other file is read as before. Files changed, added or removed since the
// index was written are brought up to date before it is used. Within a file, the index also
// knows which blocks of lines hold each trigram, so that only the blocks holding all of a text's
// trigrams need reading.

struct SearchCandidates {
    bool cancelled = false;           // the user stopped the first reading of the files
    QSet<QString> ruledOut;           // files that cannot hold the text
    QHash<QString, FileRanges> parts; // files of which only these lines can hold it
    [[nodiscard]] bool mayHold(const QString &name) const { return !ruledOut.contains(name); }
    // The lines of a file to read; null when it is to be read whole.
    [[nodiscard]] const FileRanges *partsOf(const QString &name) const
    {
        const auto found = parts.constFind(name);
        return found == parts.cend() ? nullptr : &*found;
    }
};

namespace SearchIndex {

// The catalogue files ("cd_*.dat") of `dataFolder` that cannot hold `text`. For a text of fewer
// than three UTF-8 bytes none are ruled out. Files not yet covered are read first and the index
// rewritten, with progress and a cancel through `hooks`. The index is written under the data
// folder's lock; when another copy of the program holds it for long, it is not written.
[[nodiscard]] SearchCandidates candidateFiles(const QString &dataFolder, const QString &text,
                                              HookContext &hooks);
// The same for the keys (trigrams and initials keys, search/searchtrigrams.h) that every line
// holding what is looked for holds; none rule nothing out.
[[nodiscard]] SearchCandidates candidateFiles(const QString &dataFolder, const std::vector<uint32_t> &keys,
                                              HookContext &hooks);

// Whether the caller already holds the data folder's lock (which cannot be taken twice).
enum class FolderLock { Take, Held };

// Brings the index up to date for these catalogue files after they were written, renamed or
// deleted. Nothing is done while there is no index yet: the first search builds it.
void refreshFiles(const QString &dataFolder, const QStringList &names, FolderLock lock = FolderLock::Take);

// Makes every change of `entries` bring the index up to date for the files it touched, under
// the change's own lock.
void follow(CatalogueEntries &entries);

// For measurements: with the index off, every search reads every file.
void setEnabled(bool enabled);

} // namespace SearchIndex
