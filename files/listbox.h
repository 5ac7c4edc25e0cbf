#pragma once

#include "files/filesystem.h"

#include <QString>
#include <QStringList>
#include <vector>

// File-type codes of DirList, combined by adding them.
enum DirListKind : int {
    DirListFiles = 0,         // the ordinary files (always included unless DirListExclusive)
    DirListFolders = 16,      // subfolders, as "[name]", together with "[.]" and "[..]"
    DirListDrives = 16384,    // drives, as "[-" + root path + "-]"
    DirListExclusive = 32768, // leave the ordinary files out
};

// The items of a list box, 1-based, with the directory listing the scripts fill it from.
// A sorted list keeps its items in listing order: case-insensitive (Unicode case folding),
// ties broken by the exact text, brackets compared as part of the text.
class ListBoxModel {
  public:
    explicit ListBoxModel(FileSystem &fs, bool sorted = true);

    void Reset();
    // Replaces the items with the listing of `pattern` ("folder/*.*", "folder/cd_*.dat", "*.*").
    // A pattern with a folder makes that folder current; `status`, when given, receives the listed
    // folder (absolute, no trailing separator). Returns the number of items added, -1 when the
    // folder does not exist or cannot be made current.
    int DirList(const QString &pattern, int kinds, QString *status = nullptr);
    [[nodiscard]] int TotalItems() const { return int(m_items.size()); }
    [[nodiscard]] QString Text(int index) const; // "" outside 1..TotalItems
    int AddItem(const QString &text);            // the new item's position
    int SelectItem(int index);                   // the selected position, 0 when out of range
    [[nodiscard]] int selectedIndex() const { return m_selected; }
    [[nodiscard]] const QStringList &items() const { return m_items; }
    // True when item `index` came from a folder of the listing ("[name]", "[.]", "[..]").
    // Walks use this rather than the bracket, since a file's own name may begin with one.
    [[nodiscard]] bool isFolderEntry(int index) const;

  private:
    FileSystem &m_fs;
    bool m_sorted;
    QStringList m_items;
    std::vector<bool> m_folderItems; // which items are folders, item for item
    int m_selected = 0;
};

// Listing order: case-insensitive (Unicode case folding), ties broken by the exact text.
[[nodiscard]] bool listsBefore(QStringView a, QStringView b);
// The root path a drive entry of a listing stands for: "[-/media/kim/DISC/-]" gives "/media/kim/DISC/".
[[nodiscard]] QString driveRootFromListing(const QString &entry);
// True when `name` matches a listing pattern's file part ("*.*" matches every name).
[[nodiscard]] bool matchesListingPattern(const QString &name, const QString &filePattern);
