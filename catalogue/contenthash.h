#pragma once

#include "catalogue/rownotes.h"
#include "files/filehash.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>
#include <optional>

class TreeFacts;

// The content hash of a file (files/filehash.h), as a scan with content hashes takes it, is
// kept in the side file as the note "hash" of the file's row: 32 lowercase hexadecimal digits,
// the hash's canonical (big-endian) bytes. A row without the note has no known hash: a file
// that could not be read whole never gets one.
inline constexpr char kHashNotes[] = "hash";

[[nodiscard]] QByteArray encodeContentHash(const ContentHash &hash);
// The hash a note holds; none unless it is exactly 32 hexadecimal digits.
[[nodiscard]] std::optional<ContentHash> decodeContentHash(QByteArrayView note);

// The hash noted for row `row` of a tree's facts; none when it has none or the note is not one.
[[nodiscard]] std::optional<ContentHash> contentHashOf(const TreeFacts &facts, qint64 row);
void setContentHash(TreeFacts &facts, qint64 row, const ContentHash &hash);
