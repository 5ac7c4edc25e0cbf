#pragma once

#include <QtGlobal>
#include <vector>

// The detail height of every row, with per-block sums so that the row at a given
// offset, and the offset of a given row, are found without walking all rows.
// Rows are 0-based here; heights are in the layout's own units.
class RowHeights {
  public:
    void clear();
    void insert(qint64 at, qint64 count, int height);
    void erase(qint64 at, qint64 count);
    void set(qint64 first, qint64 last, int height); // inclusive range
    void permute(const std::vector<qint64> &order);  // new row i takes old row order[i]

    [[nodiscard]] qint64 size() const { return qint64(m_heights.size()); }
    [[nodiscard]] int height(qint64 row) const { return m_heights[size_t(row)]; }
    [[nodiscard]] qint64 total() const { return m_total; }
    // Sum of the heights of the rows before `row`.
    [[nodiscard]] qint64 offsetOf(qint64 row) const;
    // The row whose band holds `offset` (0 <= offset < total()), skipping rows of height 0;
    // size() when the offset lies past the last row.
    [[nodiscard]] qint64 rowAt(qint64 offset) const;
    // The first row at or after `row` with a non-zero height, or size().
    [[nodiscard]] qint64 nextShown(qint64 row) const;
    // The last row at or before `row` with a non-zero height, or -1.
    [[nodiscard]] qint64 previousShown(qint64 row) const;

  private:
    static constexpr qint64 kBlock = 256;
    void resum(size_t fromBlock);

    std::vector<quint16> m_heights;
    std::vector<qint64> m_blockSums;
    qint64 m_total = 0;
};
