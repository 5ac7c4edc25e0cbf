#pragma once

#include "files/filesystem.h"

#include <QByteArray>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The members of an archive or a disc image, held in memory as a tree of folders and files
// built from the paths the archive gives them, so that a walk lists it folder by folder as it
// lists a drive. Paths never leave the tree: "." and empty components are dropped, ".." goes up
// no further than the tree's root, and a leading '/' starts at the root. Names are kept as the
// archive's bytes; the listing shows them as a disc's names are shown (fileNameForDisplay).
class ArchiveTree {
  public:
    using Id = qint32;
    static constexpr Id kRoot = 0;
    static constexpr Id kNone = -1;

    struct Node {
        FileStat stat;
        qint64 nameAt = 0; // the name's bytes in the tree's store of names; none for the root
        qint32 nameSize = 0;
        Id parent = kNone;
        Id firstChild = kNone;
        Id lastChild = kNone;
        Id nextSibling = kNone;
        DirEntry::Kind kind = DirEntry::Kind::File;
        qint32 archive = -1; // for a member that is itself an archive: its entry in archives()
    };

    // What was learnt of a member that is an archive of its own, read one level down.
    struct Nested {
        QString format;
        int outcome = 0; // an ArchiveOutcome (files/archivereader.h)
        QString reason;
        qint64 members = 0;
    };

    ArchiveTree();
    // Moved, never copied: a tree may hold a million members.
    ArchiveTree(ArchiveTree &&) noexcept = default;
    ArchiveTree &operator=(ArchiveTree &&) noexcept = default;
    ArchiveTree(const ArchiveTree &) = delete;
    ArchiveTree &operator=(const ArchiveTree &) = delete;

    // Adds the member at `path`, its folders made as needed (their dates unknown until the
    // archive names them too). A file given again replaces the one before, as extracting it
    // would; a folder given again keeps its members and takes the new date. Returns the node;
    // kRefused, with nothing added, when that would make more than `room` new nodes.
    static constexpr Id kRefused = -3;
    Id add(QByteArrayView path, DirEntry::Kind kind, const FileStat &stat,
           qint64 room = std::numeric_limits<qint64>::max());
    // The folder at `relative` ("a/b/" or "a/b", "" for the root); kNone when there is none.
    [[nodiscard]] Id folderAt(QByteArrayView relative) const;
    // The member of that kind at `path`, the path read as add() reads it; kNone when none.
    [[nodiscard]] Id find(QByteArrayView path, DirEntry::Kind kind) const;
    // The folder's members as a drive's listing gives them: folders and files, hidden names
    // (starting with '.') left out; their nodes go to `ids`, one for one, when given. False for an
    // id that is no folder.
    bool list(Id folder, std::vector<DirEntry> &out, std::vector<Id> *ids = nullptr) const;

    // Hangs a copy of `inner`'s members below the node `at`, which becomes a folder.
    void graft(Id at, const ArchiveTree &inner);
    // Marks `at` as an archive of its own with what reading it gave.
    void setNested(Id at, Nested nested);

    [[nodiscard]] const Node &node(Id id) const { return m_nodes[size_t(id)]; }
    [[nodiscard]] Node &node(Id id) { return m_nodes[size_t(id)]; }
    [[nodiscard]] QByteArrayView nameOf(Id id) const
    {
        const Node &n = m_nodes[size_t(id)];
        return {m_names.data() + n.nameAt, n.nameSize};
    }
    [[nodiscard]] const std::vector<Nested> &nested() const { return m_nested; }
    // The first bytes of a member file, kept as the archive was read (ArchiveLimits::headBytes).
    void setHead(Id id, QByteArray bytes) { m_heads[id] = std::move(bytes); }
    void dropHead(Id id) { m_heads.erase(id); }
    void dropHeads() { std::unordered_map<Id, QByteArray>().swap(m_heads); }
    [[nodiscard]] const std::unordered_map<Id, QByteArray> &heads() const { return m_heads; }
    // Members added, the folders made for them included; the root is not one.
    [[nodiscard]] qint64 members() const { return qint64(m_nodes.size()) - 1; }
    // The path of `id` below the root, each name followed by '/' ("a/b/" for a folder b in a).
    [[nodiscard]] QByteArray pathOf(Id id) const;

    // Moves the members a reader put below a root folder named `relocation` ("rr_moved") back
    // into the one folder deeper in the tree whose name, and whose members' names, fit them;
    // a folder that fits none, or more than one, stays where it is. Empty relocation folders the
    // reader only implied go. Returns how many folders went back.
    qint64 rehomeRelocated(QByteArrayView relocation);

  private:
    [[nodiscard]] Id child(Id parent, QByteArrayView name, DirEntry::Kind kind) const;
    Id newNode(QByteArrayView name, DirEntry::Kind kind, const FileStat &stat);
    Id makeChild(Id parent, QByteArrayView name, DirEntry::Kind kind, const FileStat &stat);
    void unlink(Id id);
    void link(Id parent, Id id);  // the last member of `parent`
    void adopt(Id parent, Id id); // linked and indexed
    Id copyBelow(Id parent, const ArchiveTree &from, Id fromId);

    // The index of every folder's members, by folder, name and kind: open addressing over a table
    // of hashes and nodes, so that a lookup of a million members touches a slot or two, not a
    // chain of allocations.
    struct Slot {
        quint64 hash = 0;
        Id id = kEmpty;
    };
    static constexpr Id kEmpty = -1;
    static constexpr Id kGone = -2; // a member taken out; the slot still chains others
    [[nodiscard]] static quint64 hashOf(Id parent, QByteArrayView name, DirEntry::Kind kind);
    [[nodiscard]] size_t slotOf(Id parent, QByteArrayView name, DirEntry::Kind kind, quint64 hash) const;
    void index(Id id);
    void unindex(Id id);
    void grow();

    std::vector<Node> m_nodes;
    std::vector<char> m_names;
    std::vector<Nested> m_nested;
    std::unordered_map<Id, QByteArray> m_heads;
    std::vector<Slot> m_slots; // a power of two in size, at most half full
    size_t m_filled = 0;       // slots that are not empty, those of members taken out included
    // The folders of the members added, by their paths as the archive spells them: an image's
    // members come in the order of their data, which leaves few of a folder together.
    struct PathHash {
        using is_transparent = void;
        [[nodiscard]] size_t operator()(std::string_view path) const
        {
            return std::hash<std::string_view>()(path);
        }
    };
    std::unordered_map<std::string, Id, PathHash, std::equal_to<>> m_folderByPath;
    Id m_lastFolder = kNone; // the folder of the member added last, with its path as spelt
    std::string m_lastFolderPath;
};
