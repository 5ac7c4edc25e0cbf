#pragma once

#include "files/filesystem.h"

#include <functional>

// The machine's real file system, with one folder standing in as the only drive, and a
// hook that runs at every listing of a scan (to click a button or close the window mid-scan).
class RootedFileSystem : public LocalFileSystem {
  public:
    explicit RootedFileSystem(QString root) : m_root(std::move(root)) {}
    QStringList driveRoots() override { return {m_root}; }
    std::unique_ptr<FolderWalk> walkDrive(const QString &root) override
    {
        return std::make_unique<CountingWalk>(*this, LocalFileSystem::walkDrive(root));
    }
    std::function<void(int)> onListing;
    int listings = 0;

  private:
    class CountingWalk : public FolderWalk {
      public:
        CountingWalk(RootedFileSystem &fs, std::unique_ptr<FolderWalk> walk)
            : m_fs(fs), m_walk(std::move(walk))
        {
        }
        bool listFolder(const QByteArray &path, std::vector<DirEntry> &out) override
        {
            ++m_fs.listings;
            if (m_fs.onListing)
                m_fs.onListing(m_fs.listings);
            return m_walk->listFolder(path, out);
        }
        int openFile(const QByteArray &path, const QByteArray &name) override
        {
            return m_walk->openFile(path, name);
        }

      private:
        RootedFileSystem &m_fs;
        std::unique_ptr<FolderWalk> m_walk;
    };

    QString m_root;
};
