#include "search/searchindex.h"

#include "catalogue/datafiles.h"
#include "catalogue/datafolder.h"
#include "catalogue/settings.h"
#include "files/paths.h"
#include "files/textfile.h"
#include "search/searchindexfile.h"
#include "search/searchindexread.h"
#include "search/searchtrigrams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using SearchIndex::FolderLock;

bool g_enabled = true;
// A few files are read without stopping for input: that takes milliseconds.
constexpr qsizetype kFilesReadWithoutProgress = 64;
// A search waits this long for another copy of the program to let go of the data folder before
// it gives up writing the index (it answers all the same).
constexpr int kSearchLockWaitMs = 200;

QString pathIn(const QString &dataFolder, const QString &name)
{
    return dataFolder + kPathSeparator + name;
}

// Whether an entry still describes its file. A file read while its times were too recent to be
// trusted was stored with size -1, so that it is read again once they can be.
bool isFresh(int folderFd, const IndexedFile &file)
{
    FileStamp now;
    return file.stamp.size >= 0 && isBareFileName(file.name) && stampOf(file.name, now, folderFd) &&
           now == file.stamp;
}

// The catalogue files ("cd_*.dat", without case, as the search lists them) of an open folder, in
// the order the folder gives them. A plain listing: Qt's looks each entry up, which cost as much
// as the rest of a search that the index answers.
QStringList catalogueFiles(int folderFd)
{
    QStringList names;
    const int fd = ::dup(folderFd);
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    ::rewinddir(dir);
    while (const struct dirent *entry = ::readdir(dir)) {
        const size_t size = std::strlen(entry->d_name);
        struct stat st;
        if (size >= 7 && qstrnicmp(entry->d_name, "cd_", 3) == 0 &&
            qstrnicmp(entry->d_name + size - 4, ".dat", 4) == 0 &&
            (entry->d_type == DT_REG ||
             ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
              ::fstatat(folderFd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))))
            names.append(QFile::decodeName(entry->d_name));
    }
    ::closedir(dir); // closes fd
    return names;
}

// One bringing up to date of the index: which entries stay, which files are read, and the new
// index they make, written back when that helps later searches.
class IndexUpdate {
  public:
    explicit IndexUpdate(const QString &dataFolder) : m_folder(dataFolder)
    {
        m_hasOld = m_old.open(searchIndexPath(dataFolder));
    }
    [[nodiscard]] bool hasOld() const { return m_hasOld; }
    void planAll();
    void planFiles(const QStringList &names);
    // Reads what the plan names; false when cancelled (what was read is kept all the same).
    bool run(HookContext &hooks);
    // Writes the new index under the folder's lock; a wait for the lock lets input run through
    // `hooks`, and a cancel there gives up writing.
    void store(FolderLock lock, HookContext &hooks);
    // The index as it now is: the old one when nothing changed.
    [[nodiscard]] const SearchIndexFile &current() const { return m_changed ? m_new : m_old; }
    void forgetOld()
    {
        m_hasOld = false;
        m_keep.clear();
    }

  private:
    bool copyKept(SearchIndexBuilder &builder);

    QString m_folder;
    SearchIndexFile m_old;
    bool m_hasOld = false;
    std::vector<char> m_keep; // per old entry
    QStringList m_read;
    bool m_changed = false;
    bool m_worthWriting = false;
    QByteArray m_bytes;
    SearchIndexFile m_new;
};

void IndexUpdate::planAll()
{
    QSet<QString> covered;
    m_keep.assign(m_hasOld ? m_old.files().size() : 0, 0);
    const int folderFd = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (size_t i = 0; i < m_keep.size(); ++i) {
        const IndexedFile &file = m_old.files()[i];
        m_keep[i] = folderFd >= 0 && isFresh(folderFd, file);
        m_changed = m_changed || !m_keep[i];
        m_worthWriting = m_worthWriting || (!m_keep[i] && file.stamp.size >= 0);
        if (m_keep[i])
            covered.insert(file.name);
    }
    const QStringList listed = folderFd >= 0 ? catalogueFiles(folderFd) : QStringList();
    if (folderFd >= 0)
        ::close(folderFd);
    for (const QString &name : listed) {
        if (!covered.contains(name))
            m_read.append(name);
    }
    m_changed = m_changed || !m_read.isEmpty() || !m_hasOld;
    m_worthWriting = m_worthWriting || !m_hasOld;
}

void IndexUpdate::planFiles(const QStringList &names)
{
    m_keep.assign(m_old.files().size(), 1);
    for (size_t i = 0; i < m_keep.size(); ++i)
        m_keep[i] = !names.contains(m_old.files()[i].name);
    FileStamp stamp;
    for (const QString &name : names) {
        if (stampOf(pathIn(m_folder, name), stamp))
            m_read.append(name);
    }
    m_changed = m_worthWriting = true;
}

bool IndexUpdate::copyKept(SearchIndexBuilder &builder)
{
    std::vector<uint32_t> renumbered(m_keep.size(), UINT32_MAX);
    for (size_t i = 0; i < m_keep.size(); ++i) {
        if (m_keep[i])
            renumbered[i] = builder.addFile({m_old.files()[i].name, m_old.files()[i].stamp, m_old.layout(i)});
    }
    return m_old.forEachList([&](uint32_t trigram, const std::vector<Posting> &postings) {
        for (const Posting &posting : postings) {
            if (renumbered[posting.file] != UINT32_MAX)
                builder.add(trigram, renumbered[posting.file], posting.blocks);
        }
    });
}

bool IndexUpdate::run(HookContext &hooks)
{
    if (!m_changed)
        return true;
    auto builder = std::make_unique<SearchIndexBuilder>();
    if (m_hasOld && !copyKept(*builder)) {
        builder = std::make_unique<SearchIndexBuilder>(); // a damaged list: start from nothing
        forgetOld();
        m_read.clear();
        planAll();
    }
    HookContext quiet;
    HookContext &shown = m_read.size() > kFilesReadWithoutProgress ? hooks : quiet;
    shown.setMaximum(m_read.size());
    QStringList paths;
    for (const QString &name : std::as_const(m_read))
        paths.append(pathIn(m_folder, name));
    const auto take = [&](qsizetype i, ReadFile &read) {
        if (read.ok) {
            IndexedFile file{m_read[i], read.stamp, read.found.layout};
            if (isRecentStamp(file.stamp))
                file.stamp.size = -1;
            else
                m_worthWriting = true;
            builder->addAll(read.found, builder->addFile(file));
        }
        shown.advance();
    };
    const bool cancelled = !readFilesForIndex(paths, take, [&shown] { return shown.cancelled(); });
    m_bytes = builder->bytes();
    m_new.openBytes(m_bytes.constData(), m_bytes.size());
    return !cancelled;
}

void IndexUpdate::store(FolderLock lock, HookContext &hooks)
{
    if (!m_changed || !m_worthWriting || !g_enabled)
        return;
    DataFolderLock folderLock(m_folder);
    const LockWait wait{[&hooks](const QString &, qint64) { return hooks.cancelled(); }, {}};
    if (lock == FolderLock::Take && !folderLock.lock(kSearchLockWaitMs, &wait))
        return;
    // The own folder is made inside the data folder, never the data folder itself.
    if (!DirectoryExists(m_folder) || !ensureFolder(ownFolderPath(m_folder)))
        return;
    // A failed write leaves the old index, which the check of each file's stamp keeps honest.
    (void)writeFileAtomically(searchIndexPath(m_folder), m_bytes);
}

// Narrows the candidates by the index: files lacking one of the trigrams are ruled out, files
// holding them all in some blocks only are read there alone. False when a list is
// damaged.
bool narrow(const SearchIndexFile &index, const std::vector<uint32_t> &trigrams, SearchCandidates &candidates)
{
    const std::vector<IndexedFile> &files = index.files();
    std::vector<uint64_t> blocks(files.size());
    for (size_t i = 0; i < files.size(); ++i)
        blocks[i] = index.allBlocks(i);
    for (uint32_t trigram : trigrams) {
        if (!index.keepHolders(trigram, blocks))
            return false;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        const IndexedFile &file = files[i];
        if (blocks[i] == 0)
            candidates.ruledOut.insert(file.name);
        else if (blocks[i] != index.allBlocks(i) && file.stamp.size >= 0) {
            const FileLayout layout = index.layout(i);
            candidates.parts.insert(file.name, {file.stamp, layout.utf8, rangesOf(layout, blocks[i])});
        }
    }
    return true;
}

} // namespace

namespace SearchIndex {

SearchCandidates candidateFiles(const QString &dataFolder, const QString &text, HookContext &hooks)
{
    return candidateFiles(dataFolder, textTrigrams(text), hooks);
}

SearchCandidates candidateFiles(const QString &dataFolder, const std::vector<uint32_t> &trigrams,
                                HookContext &hooks)
{
    SearchCandidates candidates;
    if (trigrams.empty() || !g_enabled)
        return candidates;
    for (int attempt = 0; attempt < 2; ++attempt) {
        IndexUpdate update(dataFolder);
        if (attempt > 0)
            update.forgetOld();
        update.planAll();
        candidates.cancelled = !update.run(hooks);
        update.store(FolderLock::Take, hooks);
        candidates.ruledOut.clear();
        candidates.parts.clear();
        if (candidates.cancelled || narrow(update.current(), trigrams, candidates))
            return candidates;
    }
    // Damaged twice over: read every file.
    candidates.ruledOut.clear();
    candidates.parts.clear();
    return candidates;
}

void refreshFiles(const QString &dataFolder, const QStringList &names, FolderLock lock)
{
    if (!g_enabled)
        return;
    IndexUpdate update(dataFolder);
    if (!update.hasOld())
        return;
    update.planFiles(names);
    HookContext none;
    if (update.run(none))
        update.store(lock, none);
}

void follow(CatalogueEntries &entries)
{
    entries.whileLocked = [dataFolder = entries.dataFolder()](const QStringList &names) {
        refreshFiles(dataFolder, names, FolderLock::Held);
    };
}

void setEnabled(bool enabled)
{
    g_enabled = enabled;
}

} // namespace SearchIndex
