#pragma once

#include "records/expression.h"
#include "widgets/rowpresenter.h"

#include <QFont>
#include <QHash>
#include <QPixmap>
#include <functional>

// Draws one row of a folder tree: ancestor lines, the plus/minus box or a connector,
// the folder or file picture and the name, each placed by the row's level and chosen
// by the layout's rules, evaluated with the record set's expressions.
class TreePresenter final : public RowPresenter {
  public:
    TreePresenter();

    void paintRow(QPainter &painter, const QRect &rect, const RecordSet &rows, qint64 row,
                  const RowPaintState &state) const override;
    [[nodiscard]] QString objectAt(const RecordSet &rows, qint64 row, QPoint point,
                                   const RowPaintState &state) const override;
    [[nodiscard]] int contentWidth() const override { return 640; }

    // One drawn object of a row: its layout name, place and picture (empty for the name).
    struct Item {
        QString object;
        QRect box;
        QString picture;
    };
    // Every object the row shows, in drawing order, computed from the rules without pixels.
    [[nodiscard]] std::vector<Item> itemsOf(const RecordSet &rows, qint64 row,
                                            const RowPaintState &state) const;
    [[nodiscard]] int showbox(const RecordSet &rows, qint64 row) const;
    // Which rows are archives: their rows are folder rows, and their picture comes from what is
    // known beside the tree (the side file's notes), not from the row's picture names.
    void setArchiveRows(std::function<bool(qint64 row)> isArchive) { m_isArchive = std::move(isArchive); }
    static constexpr char16_t kArchivePicture[] = u"archive.bmp";

  private:
    [[nodiscard]] QPixmap picture(const QString &name, qreal devicePixelRatio = 1) const;
    [[nodiscard]] QString evaluateText(const Expression &rule, const RecordSet &rows, qint64 row,
                                       const RowPaintState &state) const;

    Expression m_showbox;
    Expression m_boxPicture;
    Expression m_entryPicture;
    Expression m_nameVisible;
    int m_levelColumn;
    QFont m_font;
    std::function<bool(qint64)> m_isArchive;
    mutable QHash<QString, QPixmap> m_pictures;
};
