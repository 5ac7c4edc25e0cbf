#include "files/archivetree.h"

#include <QMultiHash>

#include <cstring>

#define XXH_INLINE_ALL
#include <xxhash.h>

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

bool isHidden(QByteArrayView name)
{
    return name.startsWith('.');
}

} // namespace

ArchiveTree::ArchiveTree() : m_slots(1024)
{
    Node root;
    root.kind = DirEntry::Kind::Folder;
    m_nodes.push_back(root);
}

quint64 ArchiveTree::hashOf(Id parent, QByteArrayView name, DirEntry::Kind kind)
{
    const quint64 seed = quint64(quint32(parent)) << 1 | (kind == DirEntry::Kind::Folder ? 1 : 0);
    return XXH3_64bits_withSeed(name.data(), size_t(name.size()), seed);
}

size_t ArchiveTree::slotOf(Id parent, QByteArrayView name, DirEntry::Kind kind, quint64 hash) const
{
    const size_t mask = m_slots.size() - 1;
    for (size_t at = size_t(hash) & mask;; at = (at + 1) & mask) {
        const Slot &slot = m_slots[at];
        if (slot.id == kEmpty)
            return at;
        if (slot.id >= 0 && slot.hash == hash) {
            const Node &node = m_nodes[size_t(slot.id)];
            if (node.parent == parent && node.kind == kind && nameOf(slot.id) == name)
                return at;
        }
    }
}

void ArchiveTree::grow()
{
    std::vector<Slot> old(m_slots.size() * 2);
    old.swap(m_slots);
    m_filled = 0;
    const size_t mask = m_slots.size() - 1;
    for (const Slot &slot : old) {
        if (slot.id < 0)
            continue;
        size_t at = size_t(slot.hash) & mask;
        while (m_slots[at].id != kEmpty)
            at = (at + 1) & mask;
        m_slots[at] = slot;
        ++m_filled;
    }
}

void ArchiveTree::index(Id id)
{
    if ((m_filled + 1) * 2 > m_slots.size())
        grow();
    const Node &node = m_nodes[size_t(id)];
    const quint64 hash = hashOf(node.parent, nameOf(id), node.kind);
    Slot &slot = m_slots[slotOf(node.parent, nameOf(id), node.kind, hash)];
    if (slot.id == kEmpty)
        ++m_filled;
    slot = {hash, id};
}

void ArchiveTree::unindex(Id id)
{
    const Node &node = m_nodes[size_t(id)];
    const quint64 hash = hashOf(node.parent, nameOf(id), node.kind);
    Slot &slot = m_slots[slotOf(node.parent, nameOf(id), node.kind, hash)];
    if (slot.id == id)
        slot.id = kGone;
}

ArchiveTree::Id ArchiveTree::child(Id parent, QByteArrayView name, DirEntry::Kind kind) const
{
    return m_slots[slotOf(parent, name, kind, hashOf(parent, name, kind))].id;
}

void ArchiveTree::link(Id parent, Id id)
{
    Node &node = m_nodes[size_t(id)];
    node.parent = parent;
    node.nextSibling = kNone;
    Node &folder = m_nodes[size_t(parent)];
    (folder.lastChild == kNone ? folder.firstChild : m_nodes[size_t(folder.lastChild)].nextSibling) = id;
    folder.lastChild = id;
}

void ArchiveTree::adopt(Id parent, Id id)
{
    link(parent, id);
    index(id);
}

void ArchiveTree::unlink(Id id)
{
    Node &node = m_nodes[size_t(id)];
    unindex(id);
    Node &folder = m_nodes[size_t(node.parent)];
    Id before = kNone;
    for (Id at = folder.firstChild; at != id; at = m_nodes[size_t(at)].nextSibling)
        before = at;
    (before == kNone ? folder.firstChild : m_nodes[size_t(before)].nextSibling) = node.nextSibling;
    if (folder.lastChild == id)
        folder.lastChild = before;
    node.parent = kNone;
    node.nextSibling = kNone;
}

ArchiveTree::Id ArchiveTree::newNode(QByteArrayView name, DirEntry::Kind kind, const FileStat &stat)
{
    Node node;
    node.nameAt = qint64(m_names.size());
    node.nameSize = qint32(name.size());
    node.kind = kind;
    node.stat = stat;
    m_names.insert(m_names.end(), name.begin(), name.end());
    m_nodes.push_back(node);
    return Id(m_nodes.size() - 1);
}

ArchiveTree::Id ArchiveTree::makeChild(Id parent, QByteArrayView name, DirEntry::Kind kind,
                                       const FileStat &stat)
{
    const Id id = newNode(name, kind, stat);
    adopt(parent, id);
    return id;
}

ArchiveTree::Id ArchiveTree::add(QByteArrayView path, DirEntry::Kind kind, const FileStat &stat, qint64 room)
{
    // The folder of a member as the archive spells it is looked up once, not name by name.
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArrayView given = path.first(slash + 1);
    const QByteArrayView last = path.sliced(slash + 1);
    const bool plain = !last.isEmpty() && last != "." && last != "..";
    const std::string_view spelt(given.data(), size_t(given.size()));
    Id folder = kNone;
    if (plain && m_lastFolder != kNone && spelt == m_lastFolderPath) {
        folder = m_lastFolder;
    } else if (plain) {
        const auto known = m_folderByPath.find(spelt);
        folder = known == m_folderByPath.end() ? kNone : known->second;
    }
    QByteArrayView name = last;
    if (folder == kNone) {
        const std::vector<QByteArrayView> parts = componentsOf(path);
        if (parts.empty()) {
            if (kind != DirEntry::Kind::Folder)
                return kNone; // a file without a name
            node(kRoot).stat = stat;
            return kRoot;
        }
        // The folders there already, then those to make, if there is room for them and the member.
        folder = kRoot;
        size_t made = 0;
        while (made + 1 < parts.size()) {
            const Id next = child(folder, parts[made], DirEntry::Kind::Folder);
            if (next == kNone)
                break;
            folder = next;
            ++made;
        }
        if (qint64(parts.size() - made) > room)
            return kRefused;
        for (; made + 1 < parts.size(); ++made)
            folder = makeChild(folder, parts[made], DirEntry::Kind::Folder, {});
        name = parts.back();
        // Only a path whose last component is a plain name names its folder by what precedes it.
        if (plain)
            m_folderByPath.emplace(spelt, folder);
    }
    if (plain) {
        m_lastFolder = folder;
        m_lastFolderPath.assign(spelt);
    }
    // One look into the index finds the member or the slot where it goes.
    if ((m_filled + 1) * 2 > m_slots.size())
        grow();
    const quint64 hash = hashOf(folder, name, kind);
    Slot &slot = m_slots[slotOf(folder, name, kind, hash)];
    if (slot.id >= 0) {
        node(slot.id).stat = stat;
        return slot.id;
    }
    if (room < 1)
        return kRefused;
    const Id id = newNode(name, kind, stat);
    link(folder, id);
    ++m_filled;
    slot = {hash, id};
    return id;
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
    if (folder < 0 || size_t(folder) >= m_nodes.size() ||
        m_nodes[size_t(folder)].kind != DirEntry::Kind::Folder)
        return false;
    for (Id at = m_nodes[size_t(folder)].firstChild; at != kNone; at = m_nodes[size_t(at)].nextSibling) {
        const Node &node = m_nodes[size_t(at)];
        const QByteArrayView name = nameOf(at);
        if (isHidden(name))
            continue;
        out.push_back({fileNameForDisplay(name), node.kind, name.toByteArray(), node.stat});
        if (ids)
            ids->push_back(at);
    }
    return true;
}

QByteArray ArchiveTree::pathOf(Id id) const
{
    std::vector<Id> chain;
    for (Id at = id; at != kRoot && at != kNone; at = m_nodes[size_t(at)].parent)
        chain.push_back(at);
    QByteArray path;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at)
        path.append(nameOf(*at)).append('/');
    return path;
}

ArchiveTree::Id ArchiveTree::copyBelow(Id parent, const ArchiveTree &from, Id fromId)
{
    const Node &source = from.node(fromId);
    const Id existing = child(parent, from.nameOf(fromId), source.kind);
    const Id id =
        existing != kNone ? existing : makeChild(parent, from.nameOf(fromId), source.kind, source.stat);
    if (source.archive >= 0) {
        m_nested.push_back(from.m_nested[size_t(source.archive)]);
        m_nodes[size_t(id)].archive = qint32(m_nested.size() - 1);
    }
    return id;
}

void ArchiveTree::graft(Id at, const ArchiveTree &inner)
{
    Node &target = m_nodes[size_t(at)];
    if (target.kind != DirEntry::Kind::Folder) {
        // The member becomes a folder of its members; one of that name already there takes them.
        const Id parent = target.parent;
        const Id folder = child(parent, nameOf(at), DirEntry::Kind::Folder);
        if (folder != kNone) {
            unlink(at);
            m_nodes[size_t(folder)].stat = m_nodes[size_t(at)].stat;
            at = folder;
        } else {
            unindex(at);
            target.kind = DirEntry::Kind::Folder;
            index(at);
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
    m_folderByPath.clear();
    m_lastFolder = kNone;
}

void ArchiveTree::setNested(Id at, Nested nested)
{
    m_nested.push_back(std::move(nested));
    m_nodes[size_t(at)].archive = qint32(m_nested.size() - 1);
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
    std::vector<int> depth(m_nodes.size(), 0);
    std::vector<bool> inMoved(m_nodes.size(), false);
    QMultiHash<QByteArray, Id> deepFolders;
    for (size_t id = 1; id < m_nodes.size(); ++id) {
        const Node &node = m_nodes[id];
        if (node.parent == kNone)
            continue; // no longer in the tree
        depth[id] = depth[size_t(node.parent)] + 1;
        inMoved[id] = Id(id) == moved || inMoved[size_t(node.parent)];
        if (node.kind == DirEntry::Kind::Folder && !inMoved[id] && depth[id] >= kRelocatedDepth)
            deepFolders.insert(nameOf(Id(id)).toByteArray(), Id(id));
    }
    // Folder `from` fits folder `to` when none of its files is there already, nor in the folders
    // below that both have.
    const auto fits = [this](Id from, Id to) {
        std::vector<std::pair<Id, Id>> pending{{from, to}};
        while (!pending.empty()) {
            const auto [here, there] = pending.back();
            pending.pop_back();
            for (Id at = node(here).firstChild; at != kNone; at = node(at).nextSibling) {
                const Id same = child(there, nameOf(at), node(at).kind);
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
        for (const Id candidate : deepFolders.values(nameOf(folder).toByteArray())) {
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
                const Id same = child(there, nameOf(member), node(member).kind);
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
    m_folderByPath.clear();
    m_lastFolder = kNone;
    return count;
}
