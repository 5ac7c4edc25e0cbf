#pragma once

#include "files/filesystem.h"

#include <QMap>
#include <QSet>
#include <QStringList>

// A file system made of a list of paths, for tests: "/d/a/" is a folder, "/d/a/x.txt" a file.
// Parents are created as needed. Folders named in `unreadable` list as unreadable.
class FakeFileSystem : public FileSystem {
  public:
    explicit FakeFileSystem(const QStringList &paths = {}, QStringList drives = {QStringLiteral("/")})
        : m_drives(std::move(drives))
    {
        m_folders.insert(QStringLiteral("/"), {});
        for (const QString &path : paths)
            add(path);
    }

    void add(const QString &path)
    {
        const bool folder = path.endsWith(u'/');
        const QString trimmed = folder ? path.chopped(1) : path;
        const qsizetype slash = trimmed.lastIndexOf(u'/');
        const QString parent = trimmed.left(slash + 1);
        if (!m_folders.contains(parent))
            add(parent);
        const QString name = trimmed.mid(slash + 1);
        if (name.isEmpty())
            return;
        if (m_known.contains(trimmed))
            return;
        m_known.insert(trimmed);
        auto &entries = m_folders[parent];
        entries.push_back({name, folder ? DirEntry::Kind::Folder : DirEntry::Kind::File, name.toUtf8(), {}});
        if (folder)
            m_folders.insert(path, {});
    }

    bool listFolder(const QString &folder, std::vector<DirEntry> &out) override
    {
        out.clear();
        ++listings;
        if (onListing)
            onListing(listings);
        const QString key = folder.endsWith(u'/') ? folder : folder + u'/';
        if (!m_folders.contains(key) || unreadable.contains(key))
            return false;
        out = m_folders.value(key);
        return true;
    }
    QStringList driveRoots() override { return m_drives; }
    void watchDrives(std::function<void()> onChange) override { m_drivesChanged = std::move(onChange); }
    // Mounts and unmounts: the drives are now `drives`, and the watcher hears of it.
    void changeDrives(const QStringList &drives)
    {
        m_drives = drives;
        if (m_drivesChanged)
            m_drivesChanged();
    }
    void setDrivesQuietly(const QStringList &drives) { m_drives = drives; }
    bool setCurrentDirectory(const QString &folder) override
    {
        const QString key = folder.endsWith(u'/') ? folder : folder + u'/';
        if (!m_folders.contains(key))
            return false;
        m_current = key == u"/" ? key : key.chopped(1);
        return true;
    }
    QString currentDirectory() override { return m_current; }

    QStringList unreadable;
    int listings = 0;
    std::function<void(int)> onListing;

  private:
    QMap<QString, std::vector<DirEntry>> m_folders;
    QSet<QString> m_known; // every path added, without its trailing separator
    QStringList m_drives;
    std::function<void()> m_drivesChanged;
    QString m_current = QStringLiteral("/");
};
