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
    m_pathParts.clear();
    m_pathBytes.clear();
    m_lastPath.clear();
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

int ResultStore::discsWithRows() const
{
    // The rows found by songs' tags come after all the others: a disc may begin twice.
    std::vector<int> discs;
    discs.reserve(m_discStarts.size());
    for (const DiscStart &start : m_discStarts)
        discs.push_back(start.disc);
    std::sort(discs.begin(), discs.end());
    return int(std::unique(discs.begin(), discs.end()) - discs.begin());
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
    const QByteArray path = pathBytes(m_rows[size_t(row)].path);
    const QByteArray &root = m_discText[size_t(disc)].root;
    const QString rootText = decoded(disc, root);
    QByteArrayView below;
    if (belowRootBytes(path, root, rootText, below))
        return composed(decoded(disc, below));
    return composed(belowRoot(decoded(disc, path), rootText));
}

QString ResultStore::nameOf(qsizetype row) const
{
    return composed(storedNameOf(row));
}

QString ResultStore::storedPathOf(qsizetype row) const
{
    return decoded(discOf(row), pathBytes(m_rows[size_t(row)].path));
}

QString ResultStore::storedNameOf(qsizetype row) const
{
    return decoded(discOf(row), nameBytes(row));
}

void ResultStore::squeeze()
{
    m_rows.shrink_to_fit();
    m_pathParts.shrink_to_fit();
    m_pathBytes.squeeze();
    m_discStarts.shrink_to_fit();
    m_nameRuns.shrink_to_fit();
    m_names.squeeze();
}

qsizetype ResultStore::bytesUsed() const
{
    qsizetype bytes = qsizetype(m_rows.capacity() * sizeof(Row)) + m_names.capacity() +
                      qsizetype(m_nameRuns.capacity() * sizeof(quint64)) +
                      qsizetype(m_pathParts.capacity() * sizeof(PathPart)) + m_pathBytes.capacity() +
                      m_lastPath.capacity() + qsizetype(m_discStarts.capacity() * sizeof(DiscStart));
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
    qsizetype shared = 0;
    if (pathCount() % kPathRun != 0) {
        const qsizetype most = std::min<qsizetype>({path.size(), m_lastPath.size(), 0xFFFFFF});
        while (shared < most && path[shared] == m_lastPath[shared])
            ++shared;
    }
    m_pathParts.push_back({quint64(m_pathBytes.size()), quint64(shared)});
    m_pathBytes.append(path.sliced(shared));
    m_lastPath = path.toByteArray();
    return quint32(pathCount() - 1);
}

QByteArray ResultStore::pathBytes(quint32 path) const
{
    const qsizetype end = qsizetype(path) + 1;
    const auto ownEnd = [&](qsizetype i) {
        return i + 1 < pathCount() ? qsizetype(m_pathParts[size_t(i + 1)].at) : m_pathBytes.size();
    };
    QByteArray bytes;
    for (qsizetype i = qsizetype(path) / kPathRun * kPathRun; i < end; ++i) {
        const PathPart part = m_pathParts[size_t(i)];
        bytes.truncate(qsizetype(part.shared));
        bytes.append(QByteArrayView(m_pathBytes).sliced(qsizetype(part.at), ownEnd(i) - qsizetype(part.at)));
    }
    return bytes;
}

void ResultStore::append(int disc, qint64 line, quint32 path, QByteArrayView name, bool folder, bool byTag)
{
    if (m_discStarts.empty() || m_discStarts.back().disc != disc)
        m_discStarts.push_back({disc, rowCount()});
    // A name longer than 64 KiB is cut: no file system has one (Linux stops at 255 bytes).
    const qsizetype size = std::min<qsizetype>(name.size(), 0xFFFF);
    push({quint32(line), path, folder ? 1u : 0u, byTag ? 1u : 0u, quint16(size)}, name.first(size));
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
    std::vector<quint32> renumbered(size_t(pathCount()), std::numeric_limits<quint32>::max());
    qsizetype nameAt = 0;
    for (Row row : m_rows) {
        quint32 &to = renumbered[row.path];
        if (to == std::numeric_limits<quint32>::max()) {
            to = taken.addPath(0, pathBytes(row.path));
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
    const bool continues = pathCount() > 0 && rows.pathCount() > 0 && !rows.m_rows.empty() &&
                           rows.m_rows.front().path == 0 && rows.pathBytes(0) == m_lastPath &&
                           !rows.m_discStarts.empty() && !m_discStarts.empty() &&
                           rows.m_discStarts.front().disc == m_discStarts.back().disc;
    const quint32 pathBase = quint32(pathCount()) - (continues ? 1 : 0);
    const qsizetype rowBase = rowCount();
    QByteArray path;
    for (qsizetype i = 0; i < rows.pathCount(); ++i) {
        // Made again one after the other, each from the one before.
        const PathPart part = rows.m_pathParts[size_t(i)];
        const qsizetype ownEnd = i + 1 < rows.pathCount() ? qsizetype(rows.m_pathParts[size_t(i + 1)].at)
                                                          : rows.m_pathBytes.size();
        path.truncate(qsizetype(part.shared));
        path.append(QByteArrayView(rows.m_pathBytes).sliced(qsizetype(part.at), ownEnd - qsizetype(part.at)));
        if (i > 0 || !continues)
            addPath(0, path);
    }
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
