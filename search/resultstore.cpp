#include "search/resultstore.h"

#include "search/comparedbytes.h"
#include "search/textforms.h"

#include <algorithm>
#include <limits>

void ResultStore::reset(std::vector<ResultDisc> discs)
{
    m_discs = std::move(discs);
    m_discText.assign(m_discs.size(), {});
    m_rows.clear();
    m_discStarts.clear();
    m_paths.clear();
    m_names.clear();
    m_nameRuns.clear();
}

void ResultStore::push(const Row &row, QByteArrayView name)
{
    if (rowCount() % kNameRun == 0)
        m_nameRuns.push_back(quint64(m_names.size()));
    m_rows.push_back(row);
    m_names.append(name.first(row.nameSize));
}

int ResultStore::discOf(qsizetype row) const
{
    const auto after = std::upper_bound(m_discStarts.begin(), m_discStarts.end(), row,
                                        [](qsizetype r, const DiscStart &start) { return r < start.row; });
    return after == m_discStarts.begin() ? -1 : std::prev(after)->disc;
}

QString ResultStore::decoded(int disc, QByteArrayView bytes) const
{
    const bool utf8 = disc >= 0 && size_t(disc) < m_discText.size() && m_discText[size_t(disc)].utf8;
    return decodedField(bytes, utf8);
}

QByteArrayView ResultStore::nameBytes(qsizetype row) const
{
    qsizetype at = qsizetype(m_nameRuns[size_t(row / kNameRun)]);
    for (qsizetype r = row / kNameRun * kNameRun; r < row; ++r)
        at += m_rows[size_t(r)].nameSize;
    return QByteArrayView(m_names.constData() + at, qsizetype(m_rows[size_t(row)].nameSize));
}

QString ResultStore::pathOf(qsizetype row) const
{
    const int disc = discOf(row);
    const QByteArray &path = m_paths[m_rows[size_t(row)].path];
    const QByteArray &root = m_discText[size_t(disc)].root;
    QByteArrayView shown = path;
    if (!root.isEmpty() && path.startsWith(root)) {
        // The root's own separator stays, so a path reads from the disc's top: "/photos/".
        const bool separator = root.endsWith('/') || root.endsWith('\\');
        shown = QByteArrayView(path).sliced(root.size() - (separator ? 1 : 0));
    }
    return composed(decoded(disc, shown));
}

QString ResultStore::nameOf(qsizetype row) const
{
    return composed(storedNameOf(row));
}

QString ResultStore::storedPathOf(qsizetype row) const
{
    return decoded(discOf(row), m_paths[m_rows[size_t(row)].path]);
}

QString ResultStore::storedNameOf(qsizetype row) const
{
    return decoded(discOf(row), nameBytes(row));
}

void ResultStore::squeeze()
{
    m_rows.shrink_to_fit();
    m_paths.shrink_to_fit();
    m_discStarts.shrink_to_fit();
    m_nameRuns.shrink_to_fit();
    m_names.squeeze();
}

qsizetype ResultStore::bytesUsed() const
{
    qsizetype bytes = qsizetype(m_rows.capacity() * sizeof(Row)) + m_names.capacity() +
                      qsizetype(m_nameRuns.capacity() * sizeof(quint64)) +
                      qsizetype(m_paths.capacity() * sizeof(QByteArray)) +
                      qsizetype(m_discStarts.capacity() * sizeof(DiscStart));
    // Each path is an allocation of its own: Qt's header and the allocator's are about 32 bytes.
    for (const QByteArray &path : m_paths)
        bytes += path.capacity() + 32;
    return bytes;
}

void ResultStore::setDiscText(int disc, bool utf8, const QByteArray &root)
{
    if (size_t(disc) >= m_discText.size())
        m_discText.resize(size_t(disc) + 1);
    m_discText[size_t(disc)] = {utf8, root};
}

quint32 ResultStore::addPath(int, QByteArrayView path)
{
    m_paths.push_back(path.toByteArray());
    return quint32(m_paths.size() - 1);
}

void ResultStore::append(int disc, qint64 line, quint32 path, QByteArrayView name, bool folder)
{
    if (m_discStarts.empty() || m_discStarts.back().disc != disc)
        m_discStarts.push_back({disc, rowCount()});
    // A name longer than 64 KiB is cut: no file system has one (Linux stops at 255 bytes).
    const qsizetype size = std::min<qsizetype>(name.size(), 0xFFFF);
    push({quint32(line), path, folder ? 1u : 0u, quint16(size)}, name.first(size));
}

ResultStore ResultStore::takeRows()
{
    ResultStore taken;
    taken.m_discText = m_discText;
    // Only the discs that have rows here: the last one may begin with the next rows.
    for (size_t i = 0; i < m_discStarts.size(); ++i) {
        const qsizetype end = i + 1 < m_discStarts.size() ? m_discStarts[i + 1].row : rowCount();
        if (end > m_discStarts[i].row)
            taken.m_discStarts.push_back(m_discStarts[i]);
    }
    std::vector<quint32> renumbered(m_paths.size(), std::numeric_limits<quint32>::max());
    qsizetype nameAt = 0;
    for (Row row : m_rows) {
        quint32 &to = renumbered[row.path];
        if (to == std::numeric_limits<quint32>::max()) {
            to = quint32(taken.m_paths.size());
            taken.m_paths.push_back(m_paths[row.path]);
        }
        row.path = to;
        taken.push(row, QByteArrayView(m_names.constData() + nameAt, row.nameSize));
        nameAt += row.nameSize;
    }
    m_rows.clear();
    m_discStarts.clear();
    m_names.clear();
    m_nameRuns.clear();
    // The last disc goes on in the next rows.
    if (!taken.m_discStarts.empty())
        m_discStarts.push_back({taken.m_discStarts.back().disc, 0});
    return taken;
}

void ResultStore::appendRows(ResultStore &&rows)
{
    // A folder whose rows were taken in two batches comes in both: it is kept once.
    const bool continues = !m_paths.empty() && !rows.m_paths.empty() && !rows.m_rows.empty() &&
                           rows.m_rows.front().path == 0 && rows.m_paths.front() == m_paths.back() &&
                           !rows.m_discStarts.empty() && !m_discStarts.empty() &&
                           rows.m_discStarts.front().disc == m_discStarts.back().disc;
    const quint32 pathBase = quint32(m_paths.size()) - (continues ? 1 : 0);
    const qsizetype rowBase = rowCount();
    for (qsizetype i = continues ? 1 : 0; i < qsizetype(rows.m_paths.size()); ++i)
        m_paths.push_back(std::move(rows.m_paths[size_t(i)]));
    qsizetype nameAt = 0;
    for (Row row : rows.m_rows) {
        const QByteArrayView name(rows.m_names.constData() + nameAt, row.nameSize);
        nameAt += row.nameSize;
        row.path += pathBase;
        push(row, name);
    }
    for (const DiscStart &start : rows.m_discStarts) {
        if (m_discStarts.empty() || m_discStarts.back().disc != start.disc)
            m_discStarts.push_back({start.disc, rowBase + start.row});
    }
    for (size_t disc = 0; disc < rows.m_discText.size(); ++disc) {
        if (!rows.m_discText[disc].root.isEmpty() || rows.m_discText[disc].utf8)
            setDiscText(int(disc), rows.m_discText[disc].utf8, rows.m_discText[disc].root);
    }
}
