#pragma once

#include "files/filesystem.h"

#include <vector>

// Reads every entry of the open folder `fd` into `out` (cleared first) with getdents64 into
// `block`, a buffer reused from folder to folder: opendir would add a stat and a 32 KiB
// allocation to every folder of a scan. Keeps folders and regular files, leaves out hidden
// entries, links, devices, pipes and sockets. With `withStat` each entry's size and date are
// looked at too, relative to `fd`. False, with `out` empty, on a read error.
bool readFolderEntries(int fd, std::vector<char> &block, std::vector<DirEntry> &out, bool withStat = false);
