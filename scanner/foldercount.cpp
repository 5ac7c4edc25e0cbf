#include "scanner/foldercount.h"

#include "scanner/keptlistings.h"

#include <vector>

namespace {

struct CountFrame {
    FolderPath path;
    std::vector<DirEntry> folders;
    size_t next = 0;
};

// One folder: yield, test the cancel, list, count the folder and its files.
bool enterFolder(ScanContext &context, FolderPath path, qint64 &count, std::vector<CountFrame> &stack)
{
    if (context.hooks.cancelled())
        return false;
    ListedFolder listed = listFolder(context, path);
    if (context.kept)
        context.kept->append(listed);
    count += 1 + listed.files.size();
    stack.push_back({std::move(path), std::move(listed.folders), 0});
    return true;
}

} // namespace

int wf_file_cnt(ScanContext &context, const QString &as_path, qint64 &il_file_cnt)
{
    std::vector<CountFrame> stack;
    if (context.kept && context.walk)
        context.kept->rootStat = context.walk->rootStat();
    if (!enterFolder(context, rootFolder(as_path), il_file_cnt, stack))
        return 0;
    while (!stack.empty()) {
        CountFrame &top = stack.back();
        if (top.next == top.folders.size()) {
            stack.pop_back();
            continue;
        }
        FolderPath child = childFolder(top.path, top.folders[top.next++]);
        enterFolder(context, std::move(child), il_file_cnt, stack); // `top` may dangle after this
    }
    return 1;
}
