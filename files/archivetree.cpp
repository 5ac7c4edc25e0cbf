#include "files/archivetree.h"

#include <QMultiHash>

#include <cstring>

namespace {

// The components of `path` with "." and empty ones left out and ".." taking back the one before
// it, never more than there are: whatever the path, it stays below the root.
std::vector<QByteArrayView> componentsOf(QByteArrayView path)
{
    std::vector<QByteArrayView> parts;
    qsizetype start = 0;
    for (qsizetype at = 0; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/')
            continue;
        const QByteArrayView part = path.sliced(start, at - start);
        start = at + 1;
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    return parts;
}

bool isHidden(const QByteArray &name)
{
    return name.startsWith('.');
}

std::string_view view(QByteArrayView bytes)
{
    return {bytes.data(), size_t(bytes.size())};
}

} // namespace

size_t ArchiveTree::ChildHash::operator()(const Probe &probe) const
{
    return std::hash<std::string_view>()(probe.name) ^
           (size_t(probe.parent) * 0x9E3779B97F4A7C15ull + probe.folder);
}

size_t ArchiveTree::ChildHash::operator()(Id id) const
{
    return (*this)(ChildEqual{nodes}.probeOf(id));
}

ArchiveTree::Probe ArchiveTree::ChildEqual::probeOf(Id id) const
{
    const Node &node = (*nodes)[size_t(id)];
    return {node.parent, view(node.name), node.kind == DirEntry::Kind::Folder};
}

bool ArchiveTree::ChildEqual::operator()(const Probe &a, Id b) const
{
    const Probe other = probeOf(b);
    return a.parent == other.parent && a.folder == other.folder && a.name == other.name;
}

ArchiveTree::ArchiveTree()
    : m_nodes(std::make_unique<std::vector<Node>>()),
      m_children(0, ChildHash{m_nodes.get()}, ChildEqual{m_nodes.get()})
{
    Node root;
    root.kind = DirEntry::Kind::Folder;
    m_nodes->push_back(std::move(root));
}

ArchiveTree::Id ArchiveTree::child(Id parent, QByteArrayView name, DirEntry::Kind kind) const
{
    const auto found = m_children.find(Probe{parent, view(name), kind == DirEntry::Kind::Folder});
    return found == m_children.end() ? kNone : *found;
}

void ArchiveTree::adopt(Id parent, Id id)
{
    Node &node = (*m_nodes)[size_t(id)];
    node.parent = parent;
    node.nextSibling = kNone;
    Node &folder = (*m_nodes)[size_t(parent)];
    if (folder.lastChild == kNone)
        folder.firstChild = id;
    else
        (*m_nodes)[size_t(folder.lastChild)].nextSibling = id;
    folder.lastChild = id;
    m_children.insert(id);
}

void ArchiveTree::unlink(Id id)
{
    Node &node = (*m_nodes)[size_t(id)];
    Node &folder = (*m_nodes)[size_t(node.parent)];
    m_children.erase(id);
    Id before = kNone;
    for (Id at = folder.firstChild; at != id; at = (*m_nodes)[size_t(at)].nextSibling)
        before = at;
    (before == kNone ? folder.firstChild : (*m_nodes)[size_t(before)].nextSibling) = node.nextSibling;
    if (folder.lastChild == id)
        folder.lastChild = before;
    node.parent = kNone;
    node.nextSibling = kNone;
}

ArchiveTree::Id ArchiveTree::makeChild(Id parent, QByteArray name, DirEntry::Kind kind, const FileStat &stat)
{
    const Id id = Id(m_nodes->size());
    Node node;
    node.name = std::move(name);
    node.kind = kind;
    node.stat = stat;
    m_nodes->push_back(std::move(node));
    adopt(parent, id);
    return id;
}

ArchiveTree::Id ArchiveTree::add(QByteArrayView path, DirEntry::Kind kind, const FileStat &stat)
{
    // Members mostly come folder by folder: a member of the same folder as the one before, as the
    // archive spells it, is added without going down the path again.
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArrayView given = path.first(slash + 1);
    const QByteArrayView last = path.sliced(slash + 1);
    Id folder = kNone;
    QByteArrayView name;
    if (!m_lastFolderPath.isNull() && given == m_lastFolderPath && !last.isEmpty() && last != "." &&
        last != "..") {
        folder = m_lastFolder;
        name = last;
    }
    std::vector<QByteArrayView> parts;
    if (folder == kNone) {
        parts = componentsOf(path);
        if (parts.empty()) {
            if (kind != DirEntry::Kind::Folder)
                return kNone; // a file without a name
            node(kRoot).stat = stat;
            return kRoot;
        }
        folder = kRoot;
        for (size_t i = 0; i + 1 < parts.size(); ++i) {
            const Id next = child(folder, parts[i], DirEntry::Kind::Folder);
            folder =
                next != kNone ? next : makeChild(folder, parts[i].toByteArray(), DirEntry::Kind::Folder, {});
        }
        name = parts.back();
        // Only a path whose last component is a plain name names its folder by what precedes it.
        if (!last.isEmpty() && last != "." && last != "..") {
            m_lastFolder = folder;
            m_lastFolderPath = given.toByteArray();
            if (m_lastFolderPath.isNull())
                m_lastFolderPath = QByteArray(""); // the root, spelt as nothing
        }
    }
    const Id existing = child(folder, name, kind);
    if (existing != kNone) {
        node(existing).stat = stat;
        return existing;
    }
    return makeChild(folder, name.toByteArray(), kind, stat);
}

ArchiveTree::Id ArchiveTree::folderAt(QByteArrayView relative) const
{
    Id folder = kRoot;
    for (const QByteArrayView part : componentsOf(relative)) {
        folder = child(folder, part, DirEntry::Kind::Folder);
        if (folder == kNone)
            return kNone;
    }
    return folder;
}

ArchiveTree::Id ArchiveTree::find(QByteArrayView path, DirEntry::Kind kind) const
{
    const std::vector<QByteArrayView> parts = componentsOf(path);
    if (parts.empty())
        return kind == DirEntry::Kind::Folder ? kRoot : kNone;
    Id folder = kRoot;
    for (size_t i = 0; i + 1 < parts.size() && folder != kNone; ++i)
        folder = child(folder, parts[i], DirEntry::Kind::Folder);
    return folder == kNone ? kNone : child(folder, parts.back(), kind);
}

bool ArchiveTree::list(Id folder, std::vector<DirEntry> &out, std::vector<Id> *ids) const
{
    out.clear();
    if (ids)
        ids->clear();
    if (folder < 0 || size_t(folder) >= m_nodes->size() ||
        (*m_nodes)[size_t(folder)].kind != DirEntry::Kind::Folder)
        return false;
    for (Id at = (*m_nodes)[size_t(folder)].firstChild; at != kNone;
         at = (*m_nodes)[size_t(at)].nextSibling) {
        const Node &node = (*m_nodes)[size_t(at)];
        if (isHidden(node.name))
            continue;
        out.push_back({fileNameForDisplay(node.name), node.kind, node.name, node.stat});
        if (ids)
            ids->push_back(at);
    }
    return true;
}

QByteArray ArchiveTree::pathOf(Id id) const
{
    std::vector<Id> chain;
    for (Id at = id; at != kRoot && at != kNone; at = (*m_nodes)[size_t(at)].parent)
        chain.push_back(at);
    QByteArray path;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at)
        path.append((*m_nodes)[size_t(*at)].name).append('/');
    return path;
}

ArchiveTree::Id ArchiveTree::copyBelow(Id parent, const ArchiveTree &from, Id fromId)
{
    const Node &source = from.node(fromId);
    const Id existing = child(parent, source.name, source.kind);
    const Id id = existing != kNone ? existing : makeChild(parent, source.name, source.kind, source.stat);
    if (source.archive >= 0) {
        m_nested.push_back(from.m_nested[size_t(source.archive)]);
        (*m_nodes)[size_t(id)].archive = qint32(m_nested.size() - 1);
    }
    return id;
}

void ArchiveTree::graft(Id at, const ArchiveTree &inner)
{
    Node &target = (*m_nodes)[size_t(at)];
    if (target.kind != DirEntry::Kind::Folder) {
        // The member becomes a folder of its members; one of that name already there takes them.
        const Id parent = target.parent;
        const Id folder = child(parent, target.name, DirEntry::Kind::Folder);
        if (folder != kNone) {
            unlink(at);
            (*m_nodes)[size_t(folder)].stat = (*m_nodes)[size_t(at)].stat;
            at = folder;
        } else {
            m_children.erase(at);
            target.kind = DirEntry::Kind::Folder;
            m_children.insert(at);
        }
    }
    // An explicit stack: an archive's paths may be nested deeper than the call stack would bear.
    std::vector<std::pair<Id, Id>> pending{{at, kRoot}}; // (here, there)
    while (!pending.empty()) {
        const auto [here, there] = pending.back();
        pending.pop_back();
        for (Id from = inner.node(there).firstChild; from != kNone; from = inner.node(from).nextSibling) {
            const Id copied = copyBelow(here, inner, from);
            if (inner.node(from).kind == DirEntry::Kind::Folder)
                pending.emplace_back(copied, from);
        }
    }
    m_lastFolder = kRoot;
    m_lastFolderPath = QByteArray();
}

void ArchiveTree::setNested(Id at, Nested nested)
{
    m_nested.push_back(std::move(nested));
    (*m_nodes)[size_t(at)].archive = qint32(m_nested.size() - 1);
}

namespace {
// A folder that a disc image's reader put under the relocation folder is one that lay deeper than
// ISO 9660's eight levels: its place is at least this many folders below the root.
constexpr int kRelocatedDepth = 8;
} // namespace

qint64 ArchiveTree::rehomeRelocated(QByteArrayView relocation)
{
    const Id moved = child(kRoot, relocation, DirEntry::Kind::Folder);
    if (moved == kNone)
        return 0;
    // Parents are made before their members, so one pass in order gives every node's depth.
    std::vector<int> depth(m_nodes->size(), 0);
    std::vector<bool> inMoved(m_nodes->size(), false);
    QMultiHash<QByteArray, Id> deepFolders;
    for (size_t id = 1; id < m_nodes->size(); ++id) {
        const Node &node = (*m_nodes)[id];
        if (node.parent == kNone)
            continue; // no longer in the tree
        depth[id] = depth[size_t(node.parent)] + 1;
        inMoved[id] = Id(id) == moved || inMoved[size_t(node.parent)];
        if (node.kind == DirEntry::Kind::Folder && !inMoved[id] && depth[id] >= kRelocatedDepth)
            deepFolders.insert(node.name, Id(id));
    }
    // Folder `from` fits folder `to` when none of its files is there already, nor in the folders
    // below that both have.
    const auto fits = [this](Id from, Id to) {
        std::vector<std::pair<Id, Id>> pending{{from, to}};
        while (!pending.empty()) {
            const auto [here, there] = pending.back();
            pending.pop_back();
            for (Id at = node(here).firstChild; at != kNone; at = node(at).nextSibling) {
                const Id same = child(there, node(at).name, node(at).kind);
                if (same != kNone && node(at).kind == DirEntry::Kind::File)
                    return false;
                if (same != kNone)
                    pending.emplace_back(at, same);
            }
        }
        return true;
    };
    qint64 count = 0;
    std::vector<Id> folders;
    for (Id at = node(moved).firstChild; at != kNone; at = node(at).nextSibling)
        folders.push_back(at);
    for (const Id folder : folders) {
        // Only folders the reader implied: one it named itself is a folder of that name on the disc.
        if (node(folder).kind != DirEntry::Kind::Folder || node(folder).stat.mtime != FileStat::kUnknown)
            continue;
        std::vector<Id> fitting;
        for (const Id candidate : deepFolders.values(node(folder).name)) {
            if (fits(folder, candidate))
                fitting.push_back(candidate);
        }
        if (fitting.size() != 1)
            continue;
        std::vector<std::pair<Id, Id>> pending{{folder, fitting.front()}};
        while (!pending.empty()) {
            const auto [here, there] = pending.back();
            pending.pop_back();
            std::vector<Id> members;
            for (Id at = node(here).firstChild; at != kNone; at = node(at).nextSibling)
                members.push_back(at);
            for (const Id member : members) {
                const Id same = child(there, node(member).name, node(member).kind);
                unlink(member);
                if (same != kNone) {
                    pending.emplace_back(member, same);
                } else {
                    adopt(there, member);
                }
            }
        }
        unlink(folder);
        ++count;
    }
    if (node(moved).firstChild == kNone && node(moved).stat.mtime == FileStat::kUnknown)
        unlink(moved);
    m_lastFolder = kRoot;
    m_lastFolderPath = QByteArray();
    return count;
}
