#pragma once

#include <QStringView>
#include <memory>
#include <optional>
#include <vector>

// Immutable texts kept back to back in large blocks that never move, so a text is
// named by a 4-byte handle and read as a view without copying. A million names cost
// their characters plus a few bytes each, instead of a heap block per QString.
//
// A text is stored as a 1- or 2-unit length prefix followed by its UTF-16 units; the
// handle is the global offset of the prefix. Handle 0 is always the empty text.
// Texts are never freed one by one: a replaced value stays until clear().
class TextPool {
  public:
    TextPool();

    // Stores `text` and returns its handle; nullopt when the pool is full (4 G units).
    std::optional<quint32> add(QStringView text);
    // Inline: a load reads back a stored text for every value it interns.
    [[nodiscard]] QStringView view(quint32 handle) const
    {
        if (handle == 0)
            return {};
        const char16_t *at = m_slots[handle >> kBlockBits] + (handle & (kBlockUnits - 1));
        if (!(at[0] & 0x8000))
            return QStringView(at + 1, at[0]);
        return QStringView(at + 2, (qsizetype(at[0] & 0x7FFF) << 16) | at[1]);
    }
    void clear();

  private:
    static constexpr int kBlockBits = 20;
    static constexpr quint64 kBlockUnits = quint64(1) << kBlockBits;
    static constexpr quint64 kFirstBlockUnits = 4096;

    char16_t *reserve(quint64 units);

    std::vector<char16_t *> m_slots; // one entry per 2^20-unit window
    std::vector<std::unique_ptr<char16_t[]>> m_owned;
    quint64 m_end = 0;      // next free global offset
    quint64 m_blockEnd = 0; // end of the storage behind the current window
};

// Remembers which texts of a pool are already stored, so a repeated value is kept once.
// Open addressing over handles; the texts themselves stay in the pool.
class TextInterner {
  public:
    explicit TextInterner(TextPool &pool) : m_pool(pool) {}

    // The handle of an equal text already stored, or of `text` newly added.
    std::optional<quint32> intern(QStringView text);
    void clear();

  private:
    void grow();

    TextPool &m_pool;
    std::vector<quint32> m_slots; // handle + 1; 0 marks a free slot
    size_t m_used = 0;
    quint32 m_lastHandle = 0; // values often repeat on consecutive rows
};
