#include "records/textstore.h"

#include <QHashFunctions>
#include <algorithm>
#include <cstring>

namespace {
constexpr quint32 kMaxHandle = 0xFFFFFFFFu;

int prefixUnits(qsizetype length)
{
    return length < 0x8000 ? 1 : 2;
}
} // namespace

TextPool::TextPool()
{
    clear();
}

void TextPool::clear()
{
    m_slots.clear();
    m_owned.clear();
    // Handle 0 is the empty text without any storage: an empty pool allocates nothing.
    m_end = 0;
    m_blockEnd = 0;
}

char16_t *TextPool::reserve(quint64 units)
{
    if (m_end + units > m_blockEnd) {
        // Start a fresh window. The first blocks are small and each is twice the last, so that a
        // pool of a few names costs kilobytes; from the ninth on a block fills its whole window.
        // A text longer than that gets several windows in one allocation.
        const quint64 start = quint64(m_slots.size()) << kBlockBits;
        if (start + units > kMaxHandle)
            return nullptr;
        const quint64 skip = start == 0 ? 1 : 0; // handle 0 stays the empty text
        const quint64 growing =
            std::min(kFirstBlockUnits << std::min<size_t>(m_owned.size(), 8), kBlockUnits);
        const quint64 size = std::max(growing, units + skip);
        const quint64 windows = (size + kBlockUnits - 1) / kBlockUnits;
        m_owned.push_back(std::make_unique_for_overwrite<char16_t[]>(size));
        for (quint64 w = 0; w < windows; ++w)
            m_slots.push_back(m_owned.back().get() + w * kBlockUnits);
        m_end = start + skip;
        m_blockEnd = start + size;
    }
    char16_t *at = m_slots[m_end >> kBlockBits] + (m_end & (kBlockUnits - 1));
    m_end += units;
    return at;
}

std::optional<quint32> TextPool::add(QStringView text)
{
    const qsizetype length = text.size();
    if (length == 0)
        return 0u;
    if (length >= 0x80000000LL)
        return std::nullopt;
    const int prefix = prefixUnits(length);
    const quint64 units = quint64(prefix) + quint64(length);
    char16_t *at = reserve(units);
    if (!at)
        return std::nullopt;
    if (prefix == 1) {
        at[0] = char16_t(length);
    } else {
        at[0] = char16_t(0x8000 | (length >> 16));
        at[1] = char16_t(length & 0xFFFF);
    }
    std::memcpy(at + prefix, text.utf16(), size_t(length) * sizeof(char16_t));
    return quint32(m_end - units);
}

std::optional<quint32> TextInterner::intern(QStringView text)
{
    if (text.isEmpty())
        return 0u;
    if (m_lastHandle != 0 && m_pool.view(m_lastHandle) == text)
        return m_lastHandle;
    if ((m_used + 1) * 2 > m_slots.size())
        grow();
    const size_t mask = m_slots.size() - 1;
    for (size_t i = qHash(text) & mask;; i = (i + 1) & mask) {
        if (m_slots[i] == 0) {
            const auto handle = m_pool.add(text);
            if (!handle)
                return std::nullopt;
            m_slots[i] = *handle + 1;
            ++m_used;
            return m_lastHandle = *handle;
        }
        if (m_pool.view(m_slots[i] - 1) == text)
            return m_lastHandle = m_slots[i] - 1;
    }
}

void TextInterner::grow()
{
    std::vector<quint32> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 64 : old.size() * 2, 0);
    const size_t mask = m_slots.size() - 1;
    for (quint32 entry : old) {
        if (entry == 0)
            continue;
        size_t i = qHash(m_pool.view(entry - 1)) & mask;
        while (m_slots[i] != 0)
            i = (i + 1) & mask;
        m_slots[i] = entry;
    }
}

void TextInterner::clear()
{
    m_slots.clear();
    m_used = 0;
    m_lastHandle = 0;
}
