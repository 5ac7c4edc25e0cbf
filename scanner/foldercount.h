#pragma once

#include "scanner/folderlisting.h"

// Counts the rows a scan of `as_path` will add: one per folder visited and one per file
// listed, added to `il_file_cnt`. Lets input run once per folder and stops growing the
// count as soon as the hooks report a cancel. Returns 1 when the top folder was listed
// and walked, 0 when the cancel came before it.
//
// The count does the scan's reading, so it shows its own progress: the bar moves by the share of
// the tree walked (each folder's share split evenly among its subfolders), and `showFound` hears
// how many folders and files have been found.
//
// The walk keeps its own stack of folders instead of recursing, so a tree thousands of
// levels deep cannot exhaust the call stack; the order and the cancel points are those of
// a depth-first recursion.
int wf_file_cnt(ScanContext &context, const QString &as_path, qint64 &il_file_cnt);
