#include "scanner/foldercount.h"

#include <vector>

namespace {

struct CountFrame {
    QString path;
    QStringList folders;
    qsizetype next = 0;
};

// Steps 1 to 7 for one folder: yield, test the cancel, list, count the folder and its files.
bool enterFolder(ScanContext &context, const QString &path, qint64 &count, std::vector<CountFrame> &stack)
{
    if (context.yieldAndCheckCancel && context.yieldAndCheckCancel())
        return false;
    const QString folderPath = withTrailingSeparator(path);
    ListedFolder listed = listFolder(context, folderPath);
    count += 1 + listed.files.size();
    stack.push_back({folderPath, std::move(listed.folders), 0});
    return true;
}

} // namespace

int wf_file_cnt(ScanContext &context, const QString &as_path, qint64 &il_file_cnt)
{
    std::vector<CountFrame> stack;
    if (!enterFolder(context, as_path, il_file_cnt, stack))
        return 0;
    while (!stack.empty()) {
        CountFrame &top = stack.back();
        if (top.next == top.folders.size()) {
            stack.pop_back();
            continue;
        }
        const QString child = childFolderPath(top.path, top.folders[top.next++]);
        if (!child.isEmpty())
            enterFolder(context, child, il_file_cnt, stack); // `top` may dangle after this
    }
    return 1;
}
