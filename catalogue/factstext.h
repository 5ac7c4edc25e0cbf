#pragma once

#include "catalogue/discfacts.h"
#include "records/recordset.h"

#include <QString>

// The words a Korean user reads for sizes, dates and counts.

// "4.2 GB" as the Korean locale writes it, in the units of 1024 that Windows shows; "크기 모름"
// when unknown.
[[nodiscard]] QString sizeText(qint64 bytes);
// Every byte, with the locale's digit grouping: "4,512,345,678바이트".
[[nodiscard]] QString exactBytesText(qint64 bytes);
// The Korean locale's short form of a time, in local time, whatever the process's locale: every
// date the program shows is written so. "날짜 모름" when unknown (an invalid time, or
// FileStat::kUnknown seconds).
[[nodiscard]] QString dateText(const QDateTime &when);
[[nodiscard]] QString dateText(qint64 secondsSinceEpoch);
// A date as wide as dates get, for the width of a column of them.
[[nodiscard]] QString widestDateText();

// What a scan has found so far: "폴더 1,234개, 파일 56,789개 찾음".
[[nodiscard]] QString foundText(qint64 folders, qint64 files);

// Files and folders below a folder row of a tree (by the levels of the rows after it).
struct FolderCounts {
    qint64 files = 0;
    qint64 folders = 0;
};
[[nodiscard]] FolderCounts folderCountsAt(const RecordSet &tree, qint64 row);

// One line for the status area: the row's whole path, then for a file its size and date, for a
// folder its total size and counts, for the disc row the disc's facts. Sizes unknown when
// `facts` do not describe the tree.
[[nodiscard]] QString rowFactsText(const RecordSet &tree, const TreeFacts &facts, qint64 row);
// The list pane's tooltip for a disc: total size (also in bytes), files and the scan date.
[[nodiscard]] QString discTooltip(const DiscFacts &disc);
