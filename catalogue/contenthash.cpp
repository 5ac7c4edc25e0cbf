#include "catalogue/contenthash.h"

#include "catalogue/discfacts.h"

namespace {

constexpr int kDigits = 32;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

QByteArray encodeContentHash(const ContentHash &hash)
{
    static constexpr char kHex[] = "0123456789abcdef";
    QByteArray text(kDigits, Qt::Uninitialized);
    for (int i = 0; i < 16; ++i) {
        text[i] = kHex[(hash.high >> (60 - 4 * i)) & 0xF];
        text[16 + i] = kHex[(hash.low >> (60 - 4 * i)) & 0xF];
    }
    return text;
}

std::optional<ContentHash> decodeContentHash(QByteArrayView note)
{
    if (note.size() != kDigits)
        return std::nullopt;
    ContentHash hash;
    for (int i = 0; i < kDigits; ++i) {
        const int value = hexValue(note[i]);
        if (value < 0)
            return std::nullopt;
        quint64 &half = i < 16 ? hash.high : hash.low;
        half = (half << 4) | quint64(value);
    }
    return hash;
}

std::optional<ContentHash> contentHashOf(const TreeFacts &facts, qint64 row)
{
    const RowNotes *notes = facts.notes.find(kHashNotes);
    return notes ? decodeContentHash(notes->at(row)) : std::nullopt;
}

void setContentHash(TreeFacts &facts, qint64 row, const ContentHash &hash)
{
    facts.notes.of(kHashNotes).set(row, encodeContentHash(hash));
}
