#include "scanner/foldercount.h"

#include "scanner/keptlistings.h"

#include <cmath>
#include <vector>

namespace {

struct CountFrame {
    FolderPath path;
    std::vector<DirEntry> folders;
    size_t next = 0;
    double share = 1; // of the whole tree, split evenly among the folder's subfolders
};

// What the walk has seen so far, for its progress. Folders listed against folders found stays
// near one all through a depth-first walk (only the siblings still to come wait on the stack), so
// the bar moves by the share of the tree walked: the top folder is the whole, each folder's share
// is split evenly among its subfolders, and a folder without subfolders is walked with its listing.
struct Found {
    static constexpr qint64 kWhole = 1000000;
    qint64 folders = 1; // the top folder, before it is listed
    qint64 files = 0;
    double walked = 0;

    void show(ScanContext &context) const
    {
        if (Progress *progress = context.hooks.progress) {
            progress->setMaximum(kWhole);
            progress->setPosition(std::llround(walked * double(kWhole)));
        }
        if (context.showFound)
            context.showFound(folders, files);
    }
};

// One folder: yield, test the cancel, list, count the folder and its files.
bool enterFolder(ScanContext &context, FolderPath path, double share, qint64 &count,
                 std::vector<CountFrame> &stack, Found &found)
{
    if (context.hooks.cancelled())
        return false;
    ListedFolder listed = listFolder(context, path);
    if (context.kept)
        context.kept->append(listed);
    count += 1 + listed.files.size();
    found.folders += qint64(listed.folders.size());
    found.files += listed.files.size();
    if (listed.folders.empty())
        found.walked += share;
    found.show(context);
    const double childShare = listed.folders.empty() ? 0 : share / double(listed.folders.size());
    stack.push_back({std::move(path), std::move(listed.folders), 0, childShare});
    return true;
}

} // namespace

int wf_file_cnt(ScanContext &context, const QString &as_path, qint64 &il_file_cnt)
{
    std::vector<CountFrame> stack;
    Found found;
    if (context.kept && context.walk)
        context.kept->rootStat = context.walk->rootStat();
    if (!enterFolder(context, rootFolder(as_path), 1, il_file_cnt, stack, found))
        return 0;
    while (!stack.empty()) {
        CountFrame &top = stack.back();
        if (top.next == top.folders.size()) {
            stack.pop_back();
            continue;
        }
        FolderPath child = childFolder(top.path, top.folders[top.next++]);
        const double share = top.share;
        enterFolder(context, std::move(child), share, il_file_cnt, stack,
                    found); // `top` may dangle after this
    }
    return 1;
}
