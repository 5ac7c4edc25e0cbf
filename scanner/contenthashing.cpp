#include "scanner/contenthashing.h"

#include "catalogue/contenthash.h"
#include "catalogue/discfacts.h"
#include "files/filehash.h"

#include <unistd.h>

void ContentHashing::add(qint64 row, const QByteArray &folder, const QByteArray &name, qint64 size)
{
    // The files of a folder come one after the other: its path is kept once.
    if (m_folders.empty() || m_folders.back() != folder)
        m_folders.push_back(folder);
    m_files.push_back({row, size, quint32(m_folders.size() - 1), name});
}

bool ContentHashing::run(HookContext &hooks, FolderWalk &walk, TreeFacts &facts)
{
    qint64 steps = 0;
    for (const File &file : m_files)
        steps += 1 + (file.size > 0 ? file.size / kHashBlockBytes : 0);
    hooks.setMaximum(steps);
    bool cancelled = false;
    for (const File &file : m_files) {
        if (hooks.cancelled()) {
            cancelled = true;
            break;
        }
        const QByteArray &folder = m_folders[file.folder];
        if (hooks.showItem)
            hooks.showItem(QString::fromUtf8(folder + file.name));
        const int fd = walk.openFile(folder, file.name);
        if (fd < 0) {
            hooks.advance();
            continue;
        }
        qint64 blocks = 0, budget = file.size > 0 ? file.size / kHashBlockBytes : 0;
        const std::optional<ContentHash> hash = hashOpenFile(fd, [&](qint64) {
            if (blocks++ < budget)
                hooks.advance();
            cancelled = hooks.cancelled();
            return !cancelled;
        });
        ::close(fd);
        hooks.advance();
        if (hash)
            setContentHash(facts, file.row, *hash);
        if (cancelled)
            break;
    }
    return !cancelled;
}
