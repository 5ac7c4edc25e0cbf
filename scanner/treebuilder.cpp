#include "scanner/treebuilder.h"

#include "catalogue/layouts.h"
#include "runtime/paths.h"

#include <vector>

struct TreeBuilder::Frame {
    QString path;
    qint64 childLevel;
    QStringList folders;
    QStringList files;
    qsizetype next = 0;
};

TreeBuilder::TreeBuilder(ScanContext &context, RecordSet &dw_1, Progress &progress)
    : m_context(context), m_tree(dw_1), m_progress(progress)
{
    static const char *const names[9] = {"fullname",        "name",     "bmpname",
                                         "selectedbmpname", "selected", "open",
                                         "children",        "siblings", "level"};
    for (int i = 0; i < 9; ++i)
        m_columns[i] = dw_1.layout().columnIndex(QString::fromLatin1(names[i])) + 1;
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
    static const QString folderPicture = QString::fromUtf16(kFolderPicture);
    static const QString openFolderPicture = QString::fromUtf16(kOpenFolderPicture);
    static const QString filePicture = QString::fromUtf16(kFilePicture);
    const qint64 row = m_tree.InsertRow(0);
    const bool folder = al_type == 1;
    m_tree.SetItem(row, m_columns[0], as_path);
    m_tree.SetItem(row, m_columns[1], as_filename);
    m_tree.SetItem(row, m_columns[2], folder ? folderPicture : filePicture);
    m_tree.SetItem(row, m_columns[3], folder ? openFolderPicture : filePicture);
    for (int i = 4; i < 8; ++i)
        m_tree.SetItem(row, m_columns[i], qint64(0));
    m_tree.SetItem(row, m_columns[8], al_parent);
    m_progress.advance();
    if (m_progress.percent() != m_shownPercent) {
        m_shownPercent = m_progress.percent();
        if (m_context.showProgressText)
            m_context.showProgressText(m_progress.percentText());
    }
    return al_parent + 1;
}

bool TreeBuilder::enterFolder(const QString &path, qint64 level, std::vector<Frame> &stack)
{
    if (m_context.yieldAndCheckCancel && m_context.yieldAndCheckCancel())
        return false;
    const QString folderPath = withTrailingSeparator(path);
    ListedFolder listed = listFolder(m_context, folderPath);
    const qint64 childLevel = of_add_item(folderPath, folderName(folderPath), level, 1);
    stack.push_back({folderPath, childLevel, std::move(listed.folders), std::move(listed.files), 0});
    return true;
}

void TreeBuilder::finishFolder(Frame &frame)
{
    for (const QString &file : frame.files)
        of_add_item(frame.path, file, frame.childLevel, 2);
}

qint64 TreeBuilder::of_recurse_dir_list(const QString &as_path, qint64 al_parent)
{
    // An explicit stack instead of recursion: a tree thousands of levels deep is walked
    // in the same order without exhausting the call stack.
    std::vector<Frame> stack;
    const bool entered = enterFolder(as_path, al_parent, stack);
    while (!stack.empty()) {
        Frame &top = stack.back();
        if (top.next == top.folders.size()) {
            finishFolder(top);
            stack.pop_back();
            continue;
        }
        const QString child = childFolderPath(top.path, top.folders[top.next++]);
        if (!child.isEmpty())
            enterFolder(child, top.childLevel, stack); // `top` may dangle after this
    }
    return entered ? 1 : 0;
}
