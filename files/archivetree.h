#pragma once

#include "files/filesystem.h"

#include <QByteArray>
#include <memory>
#include <string_view>
#include <unordered_set>
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
        QByteArray name; // empty for the root
        FileStat stat;
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
    // Moved, never copied: the index of members points at its own tree's nodes.
    ArchiveTree(ArchiveTree &&) noexcept = default;
    ArchiveTree &operator=(ArchiveTree &&) noexcept = default;
    ArchiveTree(const ArchiveTree &) = delete;
    ArchiveTree &operator=(const ArchiveTree &) = delete;

    // Adds the member at `path`, its folders made as needed (their dates unknown until the
    // archive names them too). A file given again replaces the one before, as extracting it
    // would; a folder given again keeps its members and takes the new date. Returns the node.
    Id add(QByteArrayView path, DirEntry::Kind kind, const FileStat &stat);
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

    [[nodiscard]] const Node &node(Id id) const { return (*m_nodes)[size_t(id)]; }
    [[nodiscard]] Node &node(Id id) { return (*m_nodes)[size_t(id)]; }
    [[nodiscard]] const std::vector<Nested> &nested() const { return m_nested; }
    // Members added, the folders made for them included; the root is not one.
    [[nodiscard]] qint64 members() const { return qint64(m_nodes->size()) - 1; }
    // The path of `id` below the root, each name followed by '/' ("a/b/" for a folder b in a).
    [[nodiscard]] QByteArray pathOf(Id id) const;

    // Moves the members a reader put below a root folder named `relocation` ("rr_moved") back
    // into the one folder deeper in the tree whose name, and whose members' names, fit them;
    // a folder that fits none, or more than one, stays where it is. Empty relocation folders the
    // reader only implied go. Returns how many folders went back.
    qint64 rehomeRelocated(QByteArrayView relocation);

  private:
    [[nodiscard]] Id child(Id parent, QByteArrayView name, DirEntry::Kind kind) const;
    Id makeChild(Id parent, QByteArray name, DirEntry::Kind kind, const FileStat &stat);
    void unlink(Id id);
    void adopt(Id parent, Id id);
    Id copyBelow(Id parent, const ArchiveTree &from, Id fromId);
    // A node as the index of its folder's members finds it: by its folder, name and kind, looked up
    // without making a key of its own.
    struct Probe {
        Id parent;
        std::string_view name;
        bool folder;
    };
    struct ChildHash {
        using is_transparent = void;
        const std::vector<Node> *nodes;
        [[nodiscard]] size_t operator()(const Probe &probe) const;
        [[nodiscard]] size_t operator()(Id id) const;
    };
    struct ChildEqual {
        using is_transparent = void;
        const std::vector<Node> *nodes;
        [[nodiscard]] Probe probeOf(Id id) const;
        [[nodiscard]] bool operator()(const Probe &a, Id b) const;
        [[nodiscard]] bool operator()(Id a, const Probe &b) const { return (*this)(b, a); }
        [[nodiscard]] bool operator()(Id a, Id b) const { return a == b || (*this)(probeOf(a), b); }
    };

    // On the heap, so that the index's hash, which points at it, stays right when the tree moves.
    std::unique_ptr<std::vector<Node>> m_nodes;
    std::vector<Nested> m_nested;
    std::unordered_set<Id, ChildHash, ChildEqual> m_children;
    Id m_lastFolder = kRoot; // the folder of the member added last, with its path as given
    QByteArray m_lastFolderPath;
};
