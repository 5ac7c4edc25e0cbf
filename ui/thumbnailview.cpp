#include "ui/thumbnailview.h"

#include "ui/w_results_model.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

ThumbnailModel::ThumbnailModel(ResultsModel &rows, QObject *parent)
    : QAbstractListModel(parent), m_rows(rows), m_kept(2000)
{
    // The grid follows the list's rows: a new search, rows added, a new order.
    connect(&rows, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&rows, &QAbstractItemModel::modelReset, this, [this] {
        m_kept.clear();
        endResetModel();
    });
    connect(&rows, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex &, int first, int last) { beginInsertRows({}, first, last); });
    connect(&rows, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
    connect(&rows, &QAbstractItemModel::layoutAboutToBeChanged, this,
            [this] { emit layoutAboutToBeChanged(); });
    connect(&rows, &QAbstractItemModel::layoutChanged, this, [this] { emit layoutChanged(); });
    connect(&rows, &QAbstractItemModel::dataChanged, this, [this] {
        if (rowCount() > 0)
            emit dataChanged(index(0), index(rowCount() - 1));
    });
}

void ThumbnailModel::setProvider(ThumbnailProvider provider)
{
    m_provider = std::move(provider);
    m_kept.clear();
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
}

int ThumbnailModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.rowCount();
}

QPixmap ThumbnailModel::thumbnail(qsizetype storeRow) const
{
    if (const QPixmap *kept = m_kept.object(storeRow))
        return *kept;
    const ResultStore &store = m_rows.store();
    QImage image;
    if (m_provider && !store.isFolder(storeRow)) {
        const qint64 treeRow = m_rows.treeRowOf(storeRow);
        if (treeRow > 0)
            image = m_provider(store.discs()[size_t(store.discOf(storeRow))].file, treeRow);
    }
    const int side = ThumbnailView::kThumbnail;
    QPixmap picture;
    if (image.isNull()) {
        // A plain picture of a file or a folder, as file managers show what they have no
        // thumbnail of.
        const QIcon icon = QApplication::style()->standardIcon(
            store.isFolder(storeRow) ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
        picture = icon.pixmap(side / 2);
    } else {
        if (image.width() > side || image.height() > side)
            image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        picture = QPixmap::fromImage(image);
    }
    // Every cell's picture is one square, the thumbnail in its middle: the view sizes all its
    // cells by one of them, which may have been a plain picture drawn before the thumbnails came.
    QPixmap shown(side, side);
    shown.fill(Qt::transparent);
    QPainter painter(&shown);
    painter.drawPixmap((side - picture.width()) / 2, (side - picture.height()) / 2, picture);
    painter.end();
    m_kept.insert(storeRow, new QPixmap(shown));
    return shown;
}

QVariant ThumbnailModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const qsizetype storeRow = m_rows.storeRow(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return m_rows.store().nameOf(storeRow);
    case Qt::ToolTipRole:
        return m_rows.store().pathOf(storeRow) + m_rows.store().nameOf(storeRow);
    case Qt::DecorationRole:
        return thumbnail(storeRow);
    default:
        return {};
    }
}

ThumbnailView::ThumbnailView(ResultsModel &rows, QWidget *parent)
    : QListView(parent), m_model(new ThumbnailModel(rows, this))
{
    setModel(m_model);
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setWrapping(true);
    setIconSize({kThumbnail, kThumbnail});
    const int line = fontMetrics().height();
    setGridSize({kThumbnail + 24, kThumbnail + 2 * line + 16});
    setTextElideMode(Qt::ElideMiddle);
    setWordWrap(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setLayoutMode(QListView::Batched); // a million rows are laid out a batch at a time
    setBatchSize(1000);
}
