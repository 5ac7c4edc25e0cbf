#pragma once

#include "files/textfile.h"

#include <QString>

// The scan's options a user sets once and finds again at the next start, kept in the data
// folder's own folder (catalogue/settings.h) as "data/.tarvek/options": the line
// "tarvek-options<TAB>1", then "key<TAB>value" lines. A missing or unreadable file gives the
// defaults; keys this program does not know are passed over.
struct ScanOptions {
    // Compressed tar files and the like are read whole for their members: slow on a DVD.
    bool streamedArchives = false;
    // What the pictures, songs and videos are (their first bytes are read): off for a plain listing.
    bool mediaFacts = true;
    // Every file is read whole for the hash of its content: as slow as copying the disc.
    bool contentHashes = false;

    bool operator==(const ScanOptions &) const = default;
};

[[nodiscard]] QString scanOptionsPath(const QString &dataFolder);
[[nodiscard]] ScanOptions readScanOptions(const QString &dataFolder);
// Replaces the file atomically, making the own folder when it is not there.
FileResult writeScanOptions(const QString &dataFolder, const ScanOptions &options);
