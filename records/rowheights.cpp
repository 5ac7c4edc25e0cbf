#include "records/rowheights.h"

#include <algorithm>

void RowHeights::clear()
{
    m_heights.clear();
    m_blockSums.clear();
    m_total = 0;
}

void RowHeights::resum(size_t fromBlock)
{
    const size_t blocks = (m_heights.size() + kBlock - 1) / kBlock;
    m_blockSums.resize(blocks);
    for (size_t b = fromBlock; b < blocks; ++b) {
        const size_t begin = b * kBlock;
        const size_t end = std::min(m_heights.size(), begin + size_t(kBlock));
        qint64 sum = 0;
        for (size_t i = begin; i < end; ++i)
            sum += m_heights[i];
        m_blockSums[b] = sum;
    }
    m_total = 0;
    for (qint64 sum : m_blockSums)
        m_total += sum;
}

void RowHeights::insert(qint64 at, qint64 count, int height)
{
    if (count <= 0)
        return;
    const bool append = at == size();
    m_heights.insert(m_heights.begin() + at, size_t(count), quint16(height));
    if (append && at % kBlock + count <= kBlock && !m_blockSums.empty() && at % kBlock != 0) {
        // Appending inside the last block: adjust its sum only.
        m_blockSums.back() += qint64(height) * count;
        m_total += qint64(height) * count;
        return;
    }
    resum(size_t(at / kBlock));
}

void RowHeights::erase(qint64 at, qint64 count)
{
    if (count <= 0)
        return;
    m_heights.erase(m_heights.begin() + at, m_heights.begin() + at + count);
    resum(size_t(at / kBlock));
}

void RowHeights::set(qint64 first, qint64 last, int height)
{
    const quint16 value = quint16(height);
    for (qint64 i = first; i <= last; ++i) {
        quint16 &slot = m_heights[size_t(i)];
        const qint64 delta = qint64(value) - slot;
        slot = value;
        m_blockSums[size_t(i / kBlock)] += delta;
        m_total += delta;
    }
}

void RowHeights::permute(const std::vector<qint64> &order)
{
    std::vector<quint16> moved(m_heights.size());
    for (size_t i = 0; i < order.size(); ++i)
        moved[i] = m_heights[size_t(order[i])];
    m_heights = std::move(moved);
    resum(0);
}

qint64 RowHeights::offsetOf(qint64 row) const
{
    qint64 offset = 0;
    const qint64 block = row / kBlock;
    for (qint64 b = 0; b < block; ++b)
        offset += m_blockSums[size_t(b)];
    for (qint64 i = block * kBlock; i < row; ++i)
        offset += m_heights[size_t(i)];
    return offset;
}

qint64 RowHeights::rowAt(qint64 offset) const
{
    if (offset < 0)
        return nextShown(0);
    size_t b = 0;
    while (b < m_blockSums.size() && offset >= m_blockSums[b]) {
        offset -= m_blockSums[b];
        ++b;
    }
    if (b == m_blockSums.size())
        return size();
    for (size_t i = b * kBlock; i < m_heights.size(); ++i) {
        if (offset < m_heights[i])
            return qint64(i);
        offset -= m_heights[i];
    }
    return size();
}

qint64 RowHeights::nextShown(qint64 row) const
{
    qint64 i = std::max<qint64>(row, 0);
    while (i < size()) {
        if (i % kBlock == 0 && m_blockSums[size_t(i / kBlock)] == 0) {
            i += kBlock; // a whole block of hidden rows
            continue;
        }
        if (m_heights[size_t(i)] != 0)
            return i;
        ++i;
    }
    return size();
}

qint64 RowHeights::previousShown(qint64 row) const
{
    qint64 i = std::min(row, size() - 1);
    while (i >= 0) {
        if ((i + 1) % kBlock == 0 && m_blockSums[size_t(i / kBlock)] == 0) {
            i -= kBlock;
            continue;
        }
        if (m_heights[size_t(i)] != 0)
            return i;
        --i;
    }
    return -1;
}
