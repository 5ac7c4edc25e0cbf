#pragma once

#include "search/searchtrigrams.h"

#include <QString>

#include <functional>
#include <vector>

// The parts of a catalogue file a search must read, as the search index found them: runs of
// whole lines, in file order, outside of which no line holds every trigram of the text. They
// hold only while the file keeps the stamp the index recorded; a file that changed is read whole.

struct LineRange {
    qint64 begin = 0;
    qint64 end = 0;
    qint64 linesBefore = 0;
    bool operator==(const LineRange &) const = default;
};

struct FileRanges {
    FileStamp stamp;
    bool utf8 = false; // the encoding as the index found it from the byte-order mark
    std::vector<LineRange> ranges;
};

// The runs of the blocks set in `blocks`, neighbours joined.
[[nodiscard]] std::vector<LineRange> rangesOf(const FileLayout &layout, uint64_t blocks);

// The file at `path` opened for reading, when it still has `stamp`; -1 otherwise.
[[nodiscard]] int openUnchanged(const QString &path, const FileStamp &stamp);

// Reads `range` of an open file in pieces of whole lines and hands each to `take`, which says
// whether to go on. False when a read fails, the file ends early, or `take` stopped.
bool readRange(int fd, const LineRange &range, const std::function<bool(const char *, qsizetype)> &take);
