// Properties of the stored table of a disc's file keys, the one file the duplicate search and the
// folder check read of each disc:
// - any bytes, read through the block reader, give keys in the table's order (largest first,
//   then by name key and row), never more than the head counts, and hashes only where the table
//   holds them; reading stops at the first damaged block; nothing is read past the bytes;
// - whatever the block reader takes whole, the whole-table decoder takes alike, and back;
// - a table made from the input's bytes (keys and hashes drawn from it) encodes and decodes to
//   itself, and a change of any one byte of its encoding is refused or read as another sound
//   table, never half.
//
// Input: a mode byte (even: the input is the stored table; odd: the rest draws a table, 25 bytes
// a key, and the last two bytes name a byte of its encoding to flip).

#include "compare/filekeys.h"
#include "fuzz_support.h"

#include <algorithm>
#include <cstring>

namespace {

using fuzz::check;

void readWhole(QByteArrayView bytes)
{
    FileKeyTables::TableReader reader;
    if (!reader.openBytes(bytes))
        return;
    const FileKeys head = reader.headOnly();
    std::vector<FileKey> keys;
    while (const FileKey *key = reader.peek()) {
        check(keys.empty() || !keyBefore(*key, keys.back()), "keys come in the table's order");
        keys.push_back(*key);
        reader.pop();
        check(qint64(keys.size()) <= reader.keyCount(), "no more keys than the head counts");
    }
    std::vector<ContentHash> hashes;
    const bool hashed = reader.readHashes(hashes);
    if (!hashed)
        return;
    for (const FileKey &key : keys)
        check(key.hash <= hashes.size(), "a key's hash is one the table holds");
    const std::optional<FileKeys> decoded = FileKeyTables::decode(bytes);
    if (reader.damaged() || qint64(keys.size()) != reader.keyCount()) {
        check(!decoded, "a table the block reader finds damaged is not decoded whole");
        return;
    }
    check(decoded.has_value(), "a table read whole block by block decodes whole");
    check(decoded->keys.size() == keys.size() && std::equal(keys.begin(), keys.end(), decoded->keys.begin(),
                                                            [](const FileKey &a, const FileKey &b) {
                                                                return std::memcmp(&a, &b, sizeof a) == 0;
                                                            }),
          "the decoder gives the block reader's keys");
    check(decoded->hashes == hashes && decoded->utf8 == head.utf8 && decoded->catalogue == head.catalogue &&
              decoded->side == head.side,
          "the decoder gives the block reader's head and hashes");
}

quint64 numberAt(const uint8_t *data, size_t bytes)
{
    quint64 value = 0;
    for (size_t i = 0; i < bytes; ++i)
        value = value << 8 | data[i];
    return value;
}

void roundTrip(const uint8_t *data, size_t size)
{
    FileKeys table;
    table.utf8 = size % 2 == 1;
    table.catalogue.size = qint64(size);
    table.side.inode = size * 7;
    const size_t usable = size >= 2 ? size - 2 : 0;
    for (size_t at = 0; at + 25 <= usable; at += 25) {
        FileKey key;
        key.size = numberAt(data + at, 6);
        key.name = numberAt(data + at + 6, 8);
        key.row = quint32(numberAt(data + at + 14, 3)) + 1;
        key.line = numberAt(data + at + 17, 4);
        if (data[at + 21] % 2 == 1) {
            table.hashes.push_back({numberAt(data + at + 21, 4), key.size});
            key.hash = quint32(table.hashes.size());
        }
        table.keys.push_back(key);
    }
    std::sort(table.keys.begin(), table.keys.end(), keyBefore);
    table.keys.erase(
        std::unique(table.keys.begin(), table.keys.end(),
                    [](const FileKey &a, const FileKey &b) { return !keyBefore(a, b) && !keyBefore(b, a); }),
        table.keys.end());
    const QByteArray bytes = FileKeyTables::encode(table);
    const std::optional<FileKeys> back = FileKeyTables::decode(bytes);
    check(back.has_value(), "an encoded table decodes");
    check(back->keys.size() == table.keys.size() && back->hashes == table.hashes &&
              back->utf8 == table.utf8 && back->catalogue == table.catalogue && back->side == table.side,
          "an encoded table decodes to itself");
    for (size_t i = 0; i < table.keys.size(); ++i)
        check(std::memcmp(&back->keys[i], &table.keys[i], sizeof(FileKey)) == 0, "each key comes back");
    readWhole(bytes);
    if (size >= 2 && !bytes.isEmpty()) {
        QByteArray flipped = bytes;
        const qsizetype at = qsizetype(numberAt(data + size - 2, 2) % quint64(bytes.size()));
        flipped[at] = char(flipped[at] ^ 0x5a);
        readWhole(flipped);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    if (data[0] % 2 == 0)
        readWhole(QByteArrayView(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    else
        roundTrip(data + 1, size - 1);
    return 0;
}
