#pragma once

#include "runtime/listbox.h"

#include <QString>
#include <QStringList>
#include <functional>

// What both walks of a scan share: the hidden list box they list each folder into, the
// text that shows the folder being listed, and the yield that lets the user cancel.
struct ScanContext {
    ListBoxModel &lb_file;
    // Lets queued input run (the yield loop) and returns true when the scan was cancelled.
    std::function<bool()> yieldAndCheckCancel;
    // Receives each folder's path as it is listed (the hidden folder field).
    std::function<void(const QString &)> showFolder;
    // Receives the percentage text whenever its whole number changes.
    std::function<void(const QString &)> showProgressText;
};

// One folder's listing, copied out of the shared list box before any subfolder is listed.
struct ListedFolder {
    QStringList folders; // entries as listed, "[name]", including "[.]" and "[..]"
    QStringList files;
};

// `path` with the separator appended when it does not end in one.
[[nodiscard]] QString withTrailingSeparator(const QString &path);
// Lists `folderPath` (ending in the separator) into the list box and copies the entries out.
[[nodiscard]] ListedFolder listFolder(ScanContext &context, const QString &folderPath);
// The path of a subfolder from its "[name]" entry; empty for "[.]" and "[..]", which are never entered.
[[nodiscard]] QString childFolderPath(const QString &folderPath, const QString &entry);
