#pragma once

#include "catalogue/discfacts.h"
#include "catalogue/entries.h"
#include "records/recordset.h"

#include <QString>

// Scanning one disc for the scan commands: a mounted folder or an image file read into a tree
// and its facts by the window's scanner, a progress line on a terminal, Ctrl+C stopping it (see
// cli/interrupt.h), the tree folded as the window folds a new scan.
struct DiscScan {
    enum class End { Done, Interrupted, Unreadable };
    End end = End::Done;
    QString error; // for Unreadable, in words for the user
};

[[nodiscard]] DiscScan scanFolder(const QString &root, RecordSet &tree, TreeFacts &facts);
[[nodiscard]] DiscScan scanImage(const QString &image, RecordSet &tree, TreeFacts &facts);

// What a scan that was stopped says.
[[nodiscard]] QString interruptedText();

// Saves a scanned disc as the save dialog does: a new entry, or, when `replacing`, over the disc
// that uses the label (the one at `indexRow`, or a file no entry names).
[[nodiscard]] FileResult saveScannedDisc(CatalogueEntries &entries, const RecordSet &tree,
                                         const TreeFacts &facts, const CatalogueEntry &entry, bool replacing,
                                         qint64 indexRow);
