#pragma once

#include <QtGlobal>
#include <functional>
#include <optional>

// The XXH3-128 hash of a file's whole content: its two halves as the canonical form gives them
// (high first).
struct ContentHash {
    quint64 high = 0;
    quint64 low = 0;
    bool operator==(const ContentHash &) const = default;
};

// Called after each block read with its size in bytes; returns false to stop reading.
using HashBlockRead = std::function<bool(qint64 bytes)>;

// The bytes read at a time: large enough that a disc is read at its sequential speed, small
// enough to stay in the processor's cache between the read and the hash.
inline constexpr qint64 kHashBlockBytes = qint64(256) << 10;

// Reads the regular file open at `fd` from its start to its end once, in blocks of
// kHashBlockBytes, and hashes what it read. None when the file was not read whole: it is no
// regular file, a read failed, `onBlock` stopped it, or its size or modification time changed
// while it was read. `fd` stays open.
[[nodiscard]] std::optional<ContentHash> hashOpenFile(int fd, const HashBlockRead &onBlock = {});
