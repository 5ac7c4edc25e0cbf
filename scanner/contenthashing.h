#pragma once

#include "files/filesystem.h"
#include "files/hookcontext.h"

#include <QByteArray>
#include <vector>

class TreeFacts;

// The files of a scan whose content is hashed: the build walk hands over each file row with
// the bytes of its folder's path and of its name, then run() reads them one after the other,
// each once, in large sequential blocks, and notes the hash of each file read whole beside its
// row (catalogue/contenthash.h). A file that cannot be read whole gets no hash.
class ContentHashing {
  public:
    void add(qint64 row, const QByteArray &folder, const QByteArray &name, qint64 size);
    [[nodiscard]] qsizetype fileCount() const { return qsizetype(m_files.size()); }

    // Hashes every file handed over, opening each through `walk`. The progress follows the
    // bytes; the item shown is the file. A cancel stops it; the files hashed keep their hashes.
    // Returns false when cancelled.
    bool run(HookContext &hooks, FolderWalk &walk, TreeFacts &facts);

  private:
    struct File {
        qint64 row;
        qint64 size;
        quint32 folder; // in m_folders
        QByteArray name;
    };
    std::vector<QByteArray> m_folders; // each folder's path bytes once, ending in '/'
    std::vector<File> m_files;
};
