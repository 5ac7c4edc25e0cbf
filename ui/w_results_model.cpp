#include "ui/w_results_model.h"

#include "catalogue/archivenote.h"
#include "catalogue/entries.h"
#include "catalogue/factstext.h"
#include "catalogue/layouts.h"
#include "catalogue/mediacells.h"
#include "catalogue/settings.h"

#include <QLocale>

#include <algorithm>
#include <numeric>

ResultsModel::ResultsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void ResultsModel::start(std::vector<ResultDisc> discs, std::vector<QColor> colours,
                         std::vector<SideFacts> facts, ResultStore *old)
{
    beginResetModel();
    if (old)
        std::swap(*old, m_store);
    m_store.reset(std::move(discs));
    m_colours = std::move(colours);
    m_facts = std::move(facts);
    m_gone.assign(m_store.discs().size(), false);
    std::vector<quint32>().swap(m_order);
    m_shown = 0;
    endResetModel();
}

void ResultsModel::rowsFound(qsizetype first, qsizetype count)
{
    if (count <= 0 || first != m_shown)
        return;
    beginInsertRows({}, m_shown, int(first + count - 1));
    m_shown = int(first + count);
    if (!m_order.empty()) {
        for (qsizetype row = first; row < first + count; ++row)
            m_order.push_back(quint32(row)); // after a sort the new rows come at the end
    }
    endInsertRows();
}

void ResultsModel::appendRows(ResultStore &&rows)
{
    const qsizetype first = m_store.rowCount();
    m_store.appendRows(std::move(rows));
    rowsFound(first, m_store.rowCount() - first);
}

void ResultsModel::followIndex(const RecordSet &index, const QString &renamedFrom, const QString &renamedTo)
{
    for (int disc = 0; disc < int(m_store.discs().size()); ++disc) {
        ResultDisc now = m_store.discs()[size_t(disc)];
        if (!renamedFrom.isEmpty() && now.file.compare(renamedFrom, Qt::CaseInsensitive) == 0) {
            now.file = renamedTo;
            m_facts[size_t(disc)] = readSideFacts(dataFolderPath(), renamedTo); // the side file moved with it
        }
        const qint64 row = CatalogueEntries::findFile(index, now.file);
        m_gone[size_t(disc)] = row < 1;
        if (row >= 1)
            now = {now.file, index.GetItemString(row, IndexColumn::name),
                   index.GetItemString(row, IndexColumn::desc), index.GetItemString(row, IndexColumn::gubn)};
        m_store.setDisc(disc, std::move(now));
    }
    if (m_shown > 0)
        emit dataChanged(this->index(0, 0), this->index(m_shown - 1, ColumnCount - 1));
}

void ResultsModel::keepFactsOf(const QString &file)
{
    for (size_t disc = 0; disc < m_store.discs().size(); ++disc) {
        if (m_store.discs()[disc].file.compare(file, Qt::CaseInsensitive) == 0)
            (void)m_facts[disc].row(1);
    }
}

qsizetype ResultsModel::storeRow(int row) const
{
    return m_order.empty() ? row : qsizetype(m_order[size_t(row)]);
}

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

int ResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

RowFacts ResultsModel::facts(qsizetype row) const
{
    return m_facts[size_t(m_store.discOf(row))].row(m_store.lineOf(row));
}

std::optional<MediaFacts> ResultsModel::media(qsizetype row) const
{
    return m_facts[size_t(m_store.discOf(row))].media(m_store.lineOf(row));
}

qint64 ResultsModel::treeRowOf(qsizetype storeRow) const
{
    return m_facts[size_t(m_store.discOf(storeRow))].treeRow(m_store.lineOf(storeRow));
}

QString ResultsModel::mediaText(const std::optional<MediaFacts> &facts, int column) const
{
    if (!facts)
        return {};
    switch (column) {
    case Taken: {
        const QDateTime taken = takenTime(*facts);
        return taken.isValid() ? dateText(taken) : QString();
    }
    case Camera:
        return cameraText(*facts);
    case Pixels:
        return pixelsText(*facts);
    case Artist:
        return facts->artist;
    case Album:
        return facts->album;
    case Title:
        return facts->title;
    case Length:
        return lengthText(facts->lengthMs);
    }
    return {};
}

QString ResultsModel::text(qsizetype row, int column) const
{
    if (column >= kFirstMediaColumn)
        return mediaText(media(row), column);
    switch (column) {
    case Label:
        return m_store.discs()[size_t(m_store.discOf(row))].label;
    case Path:
        // A member of an archive says so after the path, which ends in the archive's name.
        return facts(row).inArchive ? m_store.pathOf(row) + QStringLiteral("  (") + insideArchiveText() + u')'
                                    : m_store.pathOf(row);
    case Name:
        // A row found by a song's tags says so after its name, which need not hold the words.
        return m_store.byTag(row) ? m_store.nameOf(row) + QStringLiteral("  (") + byTagText() + u')'
                                  : m_store.nameOf(row);
    case Size: {
        const qint64 size = facts(row).size;
        return size < 0 ? QString() : QLocale().toString(size);
    }
    case Date: {
        const QDateTime modified = facts(row).modified;
        return modified.isValid() ? dateText(modified) : QString();
    }
    }
    return {};
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown)
        return {};
    const qsizetype row = storeRow(index.row());
    if (role == Qt::DisplayRole)
        return text(row, index.column());
    if (role == Qt::ForegroundRole && discGone(row))
        return QColor(Qt::gray); // the disc was deleted
    if (role == Qt::ForegroundRole && index.column() == Label)
        return m_colours[size_t(m_store.discOf(row))];
    if (role == Qt::TextAlignmentRole && (index.column() == Size || index.column() == Length))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char16_t *const headings[] = {u"라벨",     u"폴더 경로", u"이름",   u"크기",
                                               u"날짜",     u"촬영 날짜", u"카메라", u"크기(픽셀)",
                                               u"아티스트", u"앨범",      u"제목",   u"길이"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf16(headings[section]) : QVariant();
}

bool ResultsModel::less(int column, quint32 a, quint32 b) const
{
    switch (column) {
    case Label:
        return m_store.discs()[size_t(m_store.discOf(a))].label.compare(
                   m_store.discs()[size_t(m_store.discOf(b))].label, Qt::CaseInsensitive) < 0;
    case Path:
        return m_store.pathOf(a).compare(m_store.pathOf(b), Qt::CaseInsensitive) < 0;
    case Name:
        return m_store.nameOf(a).compare(m_store.nameOf(b), Qt::CaseInsensitive) < 0;
    case Size:
        return facts(a).size < facts(b).size;
    default:
        return facts(a).modified < facts(b).modified;
    }
}

void ResultsModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged();
    std::vector<quint32> rows(static_cast<size_t>(m_shown));
    std::iota(rows.begin(), rows.end(), quint32(0));
    // Paths and names are kept as the files hold them, and what a picture or a song is as its
    // side file's note: each is decoded once for the sort.
    std::vector<QString> keys;
    std::vector<qint64> numbers;
    if (column == Path || column == Name || column >= kFirstMediaColumn) {
        keys.reserve(rows.size());
        if (column == Pixels || column == Length)
            numbers.reserve(rows.size());
        for (const quint32 row : rows) {
            if (column == Path || column == Name) {
                keys.push_back(column == Path ? m_store.pathOf(row) : m_store.nameOf(row));
                continue;
            }
            const std::optional<MediaFacts> facts = media(row);
            // The date taken sorts as the camera wrote it; a picture by its pixels.
            keys.push_back(!facts ? QString() : column == Taken ? facts->taken : mediaText(facts, column));
            if (column == Pixels)
                numbers.push_back(
                    facts && facts->width > 0 && facts->height > 0 ? facts->width * facts->height : -1);
            else if (column == Length)
                numbers.push_back(facts ? facts->lengthMs : -1);
        }
    }
    const auto sortsBefore = [&](quint32 a, quint32 b) {
        if (!numbers.empty())
            return numbers[a] < numbers[b];
        return keys.empty() ? less(column, a, b) : keys[a].compare(keys[b], Qt::CaseInsensitive) < 0;
    };
    // Stable, so rows that compare equal keep the order of the discs and the trees.
    if (order == Qt::AscendingOrder)
        std::stable_sort(rows.begin(), rows.end(), [&](quint32 a, quint32 b) { return sortsBefore(a, b); });
    else
        std::stable_sort(rows.begin(), rows.end(), [&](quint32 a, quint32 b) { return sortsBefore(b, a); });
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    // The selection and the current row stay on the same store rows.
    std::vector<int> shownAt(static_cast<size_t>(m_shown));
    for (int i = 0; i < m_shown; ++i)
        shownAt[rows[size_t(i)]] = i;
    for (const QModelIndex &index : before)
        after.push_back(this->index(shownAt[size_t(storeRow(index.row()))], index.column()));
    m_order = std::move(rows);
    changePersistentIndexList(before, after);
    emit layoutChanged();
}
