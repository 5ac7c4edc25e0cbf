#pragma once

#include "runtime/filesystem.h"

#include <functional>

// The machine's real file system, with one folder standing in as the only drive, and a
// hook that runs at every listing (to click a button or close the window mid-scan).
class RootedFileSystem : public LocalFileSystem {
  public:
    explicit RootedFileSystem(QString root) : m_root(std::move(root)) {}
    QStringList driveRoots() override { return {m_root}; }
    bool listFolder(const QString &folder, std::vector<DirEntry> &out) override
    {
        ++listings;
        if (onListing)
            onListing(listings);
        return LocalFileSystem::listFolder(folder, out);
    }
    std::function<void(int)> onListing;
    int listings = 0;

  private:
    QString m_root;
};
