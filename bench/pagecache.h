#pragma once

#include <QStringList>

// A cold read without root: the page cache cannot be dropped as a whole, but the pages of given
// files can (posix_fadvise POSIX_FADV_DONTNEED drops those that are clean, which every page of a
// file written and synced long before is). The folders' own entries and inodes stay cached.
void evictFromPageCache(const QStringList &files);
// The bytes of `files` in the page cache now (mincore over each file mapped), to show that an
// eviction took.
[[nodiscard]] qint64 bytesInPageCache(const QStringList &files);
