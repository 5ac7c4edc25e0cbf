#pragma once

#include "records/recordset.h"
#include "scanner/folderlisting.h"

#include <vector>

// Builds the folder tree of a scan into a record set of the tree layout: a folder's row,
// then the rows of its subfolders (each with its own contents), then its file rows.
// Mirrors wf_file_cnt step for step, so that an unchanged disc adds exactly as many rows
// as were counted; with the count walk's kept listings it lists no folder a second time, and
// after a count stopped by a cancel it builds the folders the count listed, with their files.
// With the context's facts it records each row's size and date (a folder's size being the
// total below it) and counts the disc's folders, files and bytes.
class TreeBuilder {
  public:
    TreeBuilder(ScanContext &context, RecordSet &dw_1);

    // Adds the rows of `as_path` and everything below it, the folder's row at level
    // `al_parent`. Returns 1 when the folder was listed and walked, 0 when a cancel came
    // before it. After a cancel, every folder already begun still gets its file rows, and
    // no folder not yet begun gets a row.
    qint64 of_recurse_dir_list(const QString &as_path, qint64 al_parent);
    // Appends one row (al_type 1 a folder, anything else a file) and advances the progress;
    // returns the level for rows one step deeper.
    qint64 of_add_item(const QString &as_path, const QString &as_filename, qint64 al_parent, qint64 al_type);

    // The name of a folder's row: its last path component, or the whole path for a root.
    [[nodiscard]] static QString folderName(const QString &folderPath);

  private:
    struct Frame;
    qint64 addRow(const QString &as_path, const QString &as_filename, qint64 al_parent, qint64 al_type,
                  const FileStat &stat);
    bool enterFolder(FolderPath path, const QString &name, qint64 level, const FileStat &stat,
                     std::vector<Frame> &stack);
    void finishFolder(Frame &frame);

    ScanContext &m_context;
    RecordSet &m_tree;
};
