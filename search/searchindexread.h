#pragma once

#include "search/searchtrigrams.h"

#include <QStringList>

#include <functional>

// Reading catalogue files for the search index, on as many threads as the machine has cores
// (up to four): converting and cutting every line into trigrams is what a first index costs.

struct ReadFile {
    bool ok = false; // false when the file could not be read
    FileStamp stamp;
    FileTrigrams found;
};

// Reads the files at `paths`. `take` gets each one on the calling thread, in the order of
// `paths`, so that what is built from them does not depend on the threads; `cancelled`, also on
// the calling thread, is asked before each. False when cancelled.
bool readFilesForIndex(const QStringList &paths, const std::function<void(qsizetype, ReadFile &)> &take,
                       const std::function<bool()> &cancelled);

// Runs `work` for every number below `count`, on as many threads as there are cores (up to
// four), the calling thread waiting. `work` must be safe to run on several threads at once.
void runOnThreads(qsizetype count, const std::function<void(qsizetype)> &work);
