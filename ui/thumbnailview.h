#pragma once

#include <QAbstractListModel>
#include <QCache>
#include <QImage>
#include <QListView>
#include <QPixmap>
#include <functional>

class ResultsModel;

// Where the thumbnail of a result comes from: the disc's catalogue file (a bare name) and the
// row of its tree (1-based); a null image when there is none, and the row shows a plain file or
// folder picture.
using ThumbnailProvider = std::function<QImage(const QString &catalogueFile, qint64 treeRow)>;

// The rows of a results model as a grid of thumbnails with their names, in the order the list
// shows them. A thumbnail is asked of the provider only when its row is drawn (the view asks for
// the rows on screen only), and kept for a while after.
class ThumbnailModel final : public QAbstractListModel {
  public:
    explicit ThumbnailModel(ResultsModel &rows, QObject *parent = nullptr);

    // The grid's rows are the list's rows, in its order.
    void setProvider(ThumbnailProvider provider);

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;

  private:
    [[nodiscard]] QPixmap thumbnail(qsizetype storeRow) const;

    ResultsModel &m_rows;
    ThumbnailProvider m_provider;
    mutable QCache<qsizetype, QPixmap> m_kept; // by store row, so a new order keeps them
};

// The grid itself: thumbnails 160 pixels on their long side, in cells of one size, so that the
// view never measures the rows it does not show.
class ThumbnailView final : public QListView {
  public:
    static constexpr int kThumbnail = 160;

    explicit ThumbnailView(ResultsModel &rows, QWidget *parent = nullptr);
    [[nodiscard]] ThumbnailModel &thumbnails() { return *m_model; }

  private:
    ThumbnailModel *m_model;
};
