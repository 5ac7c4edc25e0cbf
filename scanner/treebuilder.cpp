#include "scanner/treebuilder.h"

#include "catalogue/discfacts.h"
#include "catalogue/layouts.h"
#include "files/paths.h"
#include "scanner/archivescan.h"
#include "scanner/contenthashing.h"
#include "scanner/keptlistings.h"
#include "scanner/mediascan.h"

#include <limits>

namespace {

// Sizes an archive claims for its members can be anything: totals stop at the largest number.
void addBytes(qint64 &total, qint64 bytes)
{
    total = bytes > std::numeric_limits<qint64>::max() - total ? std::numeric_limits<qint64>::max()
                                                               : total + bytes;
}

} // namespace

struct TreeBuilder::Frame {
    FolderPath path;
    qint64 childLevel;
    ListedFolder listed;
    size_t next = 0;
    qint64 row = 0;   // the folder's own row
    qint64 total = 0; // bytes of the files below it counted so far
};

TreeBuilder::TreeBuilder(ScanContext &context, RecordSet &dw_1) : m_context(context), m_tree(dw_1)
{
}

QString TreeBuilder::folderName(const QString &folderPath)
{
    // Search back from the next-to-last character for the separator before the last one.
    const qsizetype last = folderPath.size() - 1;
    const qsizetype previous = last > 0 ? folderPath.lastIndexOf(kPathSeparator, last - 1) : -1;
    const QString name =
        previous < 0 ? folderPath.left(last) : folderPath.mid(previous + 1, last - previous - 1);
    return name.isEmpty() ? folderPath : name;
}

qint64 TreeBuilder::of_add_item(const QString &as_path, const QString &as_filename, qint64 al_parent,
                                qint64 al_type)
{
    return addRow(as_path, as_filename, al_parent, al_type, {});
}

qint64 TreeBuilder::addRow(const QString &as_path, const QString &as_filename, qint64 al_parent,
                           qint64 al_type, const FileStat &stat)
{
    static const QString folderPicture = QString::fromUtf16(kFolderPicture);
    static const QString openFolderPicture = QString::fromUtf16(kOpenFolderPicture);
    static const QString filePicture = QString::fromUtf16(kFilePicture);
    const qint64 row = m_tree.InsertRow(0);
    const bool folder = al_type == 1;
    m_tree.SetItem(row, TreeColumn::fullname, as_path);
    m_tree.SetItem(row, TreeColumn::name, as_filename);
    m_tree.SetItem(row, TreeColumn::bmpname, folder ? folderPicture : filePicture);
    m_tree.SetItem(row, TreeColumn::selectedbmpname, folder ? openFolderPicture : filePicture);
    for (int column : {TreeColumn::selected, TreeColumn::open, TreeColumn::children, TreeColumn::siblings})
        m_tree.SetItem(row, column, qint64(0));
    m_tree.SetItem(row, TreeColumn::level, al_parent);
    if (m_context.facts)
        m_context.facts->append(stat);
    m_context.hooks.advance();
    return al_parent + 1;
}

bool TreeBuilder::enterFolder(FolderPath path, const QString &name, qint64 level, const FileStat &stat,
                              std::vector<Frame> &stack)
{
    if (m_context.hooks.cancelled())
        return false;
    ListedFolder listed;
    if (m_context.kept) {
        // The kept listings run out where a cancel stopped the count: a folder it never listed
        // gets no row, as a folder the build never began.
        if (!m_context.kept->takeNext(listed))
            return false;
        if (m_context.hooks.showItem)
            m_context.hooks.showItem(path.text);
    } else {
        listed = listFolder(m_context, path);
    }
    const qint64 childLevel = addRow(path.text, name, level, 1, stat);
    if (m_context.facts && !stack.empty())
        ++m_context.facts->disc.folders;
    stack.push_back({std::move(path), childLevel, std::move(listed), 0, m_tree.RowCount()});
    return true;
}

void TreeBuilder::finishFolder(Frame &frame)
{
    const std::vector<FileStat> &stats = frame.listed.fileStats;
    size_t otherBytes = 0;
    for (qsizetype i = 0; i < frame.listed.files.size(); ++i) {
        const FileStat stat = size_t(i) < stats.size() ? stats[size_t(i)] : FileStat();
        addRow(frame.path.text, frame.listed.files[i], frame.childLevel, 2, stat);
        if (m_context.media && m_context.facts)
            m_context.media->fileAdded(frame.path.bytes, frame.listed.bytesOfFile(i, otherBytes),
                                       m_tree.RowCount(), m_context.hooks, *m_context.facts);
        if (m_context.hashing && size_t(i) < frame.listed.fileBytes.size())
            m_context.hashing->add(m_tree.RowCount(), frame.path.bytes, frame.listed.fileBytes[size_t(i)],
                                   stat.size);
        if (stat.size != FileStat::kUnknown)
            addBytes(frame.total, stat.size);
    }
    if (m_context.archives)
        m_context.archives->folderFinished(frame.path.bytes, frame.row, m_tree.RowCount() - frame.row,
                                           frame.total, m_context.facts);
    if (!m_context.facts)
        return;
    m_context.facts->disc.files += frame.listed.files.size();
    m_context.facts->setSize(frame.row, frame.total);
}

qint64 TreeBuilder::of_recurse_dir_list(const QString &as_path, qint64 al_parent)
{
    // An explicit stack instead of recursion: a tree thousands of levels deep is walked
    // in the same order without exhausting the call stack.
    std::vector<Frame> stack;
    FolderPath root = rootFolder(as_path);
    const QString rootName = folderName(root.text);
    const FileStat rootStat = m_context.kept   ? m_context.kept->rootStat
                              : m_context.walk ? m_context.walk->rootStat()
                                               : FileStat();
    const bool entered = enterFolder(std::move(root), rootName, al_parent, rootStat, stack);
    while (!stack.empty()) {
        Frame &top = stack.back();
        if (top.next == top.listed.folders.size()) {
            finishFolder(top);
            if (stack.size() > 1)
                addBytes(stack[stack.size() - 2].total, top.total);
            else if (m_context.facts)
                addBytes(m_context.facts->disc.totalSize, top.total);
            stack.pop_back();
            continue;
        }
        const DirEntry &entry = top.listed.folders[top.next++];
        FolderPath child = childFolder(top.path, entry);
        const qint64 childLevel = top.childLevel;
        const FileStat stat = entry.stat;
        enterFolder(std::move(child), entry.name, childLevel, stat, stack); // `top` may dangle after this
    }
    return entered ? 1 : 0;
}
