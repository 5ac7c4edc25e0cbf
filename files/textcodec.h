#pragma once

#include <QtGlobal>

// What the reader and the writer of data files agree on.

// ICU knows IBM's table under "CP949", which decodes 8C 63 as garbage; Windows' table is the
// one the data files were written with.
inline constexpr const char *kCp949Name = "windows-949";
inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
inline constexpr qsizetype kUtf8BomSize = 3;

// True when the bytes of the open file `fd` from `offset` to its end are valid UTF-8. Reads with
// pread, so the file position is left where it was.
[[nodiscard]] bool restIsUtf8(int fd, qint64 offset);
