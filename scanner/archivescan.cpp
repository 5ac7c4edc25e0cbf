#include "scanner/archivescan.h"

#include "catalogue/archivenote.h"
#include "catalogue/discfacts.h"
#include "files/archivesource.h"
#include "scanner/folderlisting.h"

#include <algorithm>

#include <sys/mman.h>
#include <unistd.h>

// Lists the drive through its own walk, and the archive whose folder is being walked from its
// members in memory. The walk goes depth first, so once it lists a folder outside the archive
// it is done with the archive.
class ArchiveScan::Walk final : public FolderWalk {
  public:
    Walk(ArchiveScan &scan, std::unique_ptr<FolderWalk> drive, HookContext *hooks)
        : m_scan(scan), m_drive(std::move(drive)), m_hooks(hooks)
    {
    }
    // The members of an image, held for the whole walk.
    void holdImage(const QByteArray &root, ArchiveTree members, FileStat rootStat)
    {
        m_openRoot = root;
        m_open = std::move(members);
        m_keepOpen = true;
        m_rootStat = rootStat;
    }

    bool listFolder(const QByteArray &path, std::vector<DirEntry> &out) override;
    [[nodiscard]] FileStat rootStat() const override { return m_drive ? m_drive->rootStat() : m_rootStat; }
    int openFile(const QByteArray &path, const QByteArray &name) override
    {
        return m_drive && !isHeld(path) ? m_drive->openFile(path, name) : -1;
    }
    int openFileHead(const QByteArray &path, const QByteArray &name, qint64 &heldBytes) override
    {
        heldBytes = -1;
        const int fd = m_scan.m_heads.isEmpty() ? -1 : m_scan.takeHead(path + name, heldBytes);
        return fd >= 0 ? fd : openFile(path, name);
    }

  private:
    [[nodiscard]] bool isHeld(const QByteArray &path) const
    {
        return !m_openRoot.isEmpty() && path.startsWith(m_openRoot);
    }
    bool listMembers(const QByteArray &path, std::vector<DirEntry> &out);
    void markArchives(const QByteArray &path, std::vector<DirEntry> &out);
    void read(const QByteArray &path, Found &found);

    ArchiveScan &m_scan;
    std::unique_ptr<FolderWalk> m_drive; // none for an image
    HookContext *m_hooks;
    QByteArray m_openRoot; // the folder of the archive whose members are held; empty: none
    ArchiveTree m_open;
    bool m_keepOpen = false;
    FileStat m_rootStat;
};

bool ArchiveScan::Walk::listFolder(const QByteArray &path, std::vector<DirEntry> &out)
{
    out.clear();
    if (isHeld(path))
        return listMembers(path, out);
    if (!m_keepOpen && !m_openRoot.isEmpty()) {
        m_openRoot.clear();
        m_open = ArchiveTree();
    }
    if (!m_drive)
        return false;
    // Most discs hold no archive at all: then no folder is looked up.
    const auto found = m_scan.m_found.isEmpty() ? m_scan.m_found.end() : m_scan.m_found.find(path);
    if (found != m_scan.m_found.end() && !found->disc) {
        read(path, *found);
        return listMembers(path, out);
    }
    const bool listed = m_drive->listFolder(path, out);
    markArchives(path, out);
    return listed;
}

bool ArchiveScan::Walk::listMembers(const QByteArray &path, std::vector<DirEntry> &out)
{
    std::vector<ArchiveTree::Id> ids;
    if (!m_open.list(m_open.folderAt(QByteArrayView(path).sliced(m_openRoot.size())), out, &ids))
        return false;
    // Archives inside the archive were read with it: what they gave is known already.
    for (size_t i = 0; i < out.size(); ++i) {
        const ArchiveTree::Node &node = m_open.node(ids[i]);
        if (node.archive < 0)
            continue;
        const ArchiveTree::Nested &nested = m_open.nested()[size_t(node.archive)];
        Found found{node.stat, true, {}};
        found.result.outcome = ArchiveOutcome(nested.outcome);
        found.result.format = nested.format;
        found.result.reason = nested.reason;
        found.result.members = nested.members;
        m_scan.m_found.insert(path + out[i].bytes + '/', found);
    }
    return true;
}

void ArchiveScan::Walk::markArchives(const QByteArray &path, std::vector<DirEntry> &out)
{
    const ArchiveLimits &limits = m_scan.m_limits;
    for (DirEntry &entry : out) {
        if (entry.kind != DirEntry::Kind::File ||
            (entry.stat.size != FileStat::kUnknown && entry.stat.size < kSmallestArchiveBytes) ||
            !mayBeArchiveName(entry.bytes) || (isStreamedName(entry.bytes) && !limits.streamed))
            continue;
        const int fd = m_drive->openFile(path, entry.bytes);
        if (fd < 0)
            continue;
        const ArchiveProbe probe = probeArchive(fd);
        if (!probe.recognised || (probe.streamed && !limits.streamed))
            continue;
        entry.kind = DirEntry::Kind::Folder;
        m_scan.m_found.insert(path + entry.bytes + '/', Found{entry.stat, false, {}});
    }
}

void ArchiveScan::Walk::read(const QByteArray &path, Found &found)
{
    // The archive's own file is its folder's path without the closing separator.
    const QByteArray file = path.chopped(1);
    const qsizetype slash = file.lastIndexOf('/');
    const int fd = m_drive->openFile(file.first(slash + 1), file.sliced(slash + 1));
    m_openRoot = path;
    m_open = ArchiveTree();
    found.read = true;
    if (fd < 0) {
        found.result = {};
        found.result.outcome = ArchiveOutcome::Damaged;
        found.result.reason = QStringLiteral("cannot be opened");
        return;
    }
    HookContext *hooks = m_hooks;
    found.result = readArchive(
        fd, m_scan.m_limits, [hooks] { return hooks && hooks->cancelled(); }, m_open);
    m_scan.keepHeads(path, m_open);
}

void ArchiveScan::keepHeads(const QByteArray &root, ArchiveTree &members)
{
    for (const auto &[id, bytes] : members.heads()) {
        if (m_headBytes + bytes.size() > m_limits.headBudget)
            continue;
        const qint64 size = members.node(id).stat.size;
        m_heads.insert(root + members.pathOf(id).chopped(1), {bytes, std::max(size, qint64(bytes.size()))});
        m_headBytes += bytes.size();
    }
    members.dropHeads(); // one copy, let go as readers take them
}

// A file in memory that holds the kept bytes and is as long as the member, the rest a hole.
int ArchiveScan::takeHead(const QByteArray &path, qint64 &heldBytes)
{
    const auto found = m_heads.constFind(path);
    if (found == m_heads.constEnd())
        return -1;
    const Head head = *found;
    m_heads.erase(found);
    m_headBytes -= head.bytes.size();
    const int fd = ::memfd_create("tarvek-member", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::ftruncate(fd, head.size) != 0 ||
        ::pwrite(fd, head.bytes.constData(), size_t(head.bytes.size()), 0) != head.bytes.size()) {
        ::close(fd);
        return -1;
    }
    heldBytes = head.bytes.size();
    return fd;
}

ArchiveScan::ArchiveScan(ArchiveLimits limits) : m_limits(std::move(limits))
{
}

ArchiveScan::~ArchiveScan() = default;

std::unique_ptr<FolderWalk> ArchiveScan::wrap(std::unique_ptr<FolderWalk> drive, HookContext *hooks)
{
    return std::make_unique<Walk>(*this, std::move(drive), hooks);
}

std::unique_ptr<FolderWalk> ArchiveScan::walkImage(const QByteArray &root, ArchiveTree members,
                                                   FileStat rootStat)
{
    auto walk = std::make_unique<Walk>(*this, nullptr, nullptr);
    keepHeads(root, members);
    walk->holdImage(root, std::move(members), rootStat);
    return walk;
}

void ArchiveScan::noteImage(const QByteArray &root, const ArchiveRead &result)
{
    Found found;
    found.read = true;
    found.disc = true;
    found.result = result;
    m_found.insert(root, found);
}

void ArchiveScan::listed(const QByteArray &folder, ListedFolder &listing) const
{
    if (m_found.isEmpty())
        return;
    const auto found = m_found.constFind(folder);
    if (found == m_found.constEnd() || !found->read || !isCutShort(found->result.outcome))
        return;
    listing.files.append(cutShortRowName(found->result.outcome, m_limits));
    listing.fileStats.push_back({});
}

void ArchiveScan::folderFinished(const QByteArray &folder, qint64 row, qint64 branchRows, qint64 &total,
                                 TreeFacts *facts) const
{
    if (m_found.isEmpty())
        return;
    const auto found = m_found.constFind(folder);
    if (found == m_found.constEnd() || found->disc)
        return;
    if (facts) {
        ArchiveNote note;
        note.size = found->own.size;
        note.mtime = found->own.mtime;
        note.unpacked = total;
        note.rows = branchRows;
        note.format = found->result.format;
        note.outcome = found->result.outcome;
        note.encryptedMembers = found->result.encryptedMembers;
        note.reason = found->result.reason;
        facts->notes.of(kArchiveNotes).set(row, encodeArchiveNote(note));
    }
    if (found->own.size != FileStat::kUnknown)
        total = found->own.size;
}
