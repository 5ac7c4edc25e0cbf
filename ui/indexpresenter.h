#pragma once

#include "records/expression.h"
#include "widgets/rowpresenter.h"

#include <QFont>

// Draws a row of the catalogue index: label, description and category on one line,
// coloured by category.
class IndexPresenter final : public RowPresenter {
  public:
    IndexPresenter();

    void paintRow(QPainter &painter, const QRect &rect, const RecordSet &rows, qint64 row,
                  const RowPaintState &state) const override;
    [[nodiscard]] QString objectAt(const RecordSet &rows, qint64 row, QPoint point,
                                   const RowPaintState &state) const override;
    [[nodiscard]] int unitsPerPixelY() const override { return 4; }
    [[nodiscard]] int contentWidth() const override;

    // The text colour of a row: the category rule, or the window-text colour when it
    // cannot be evaluated.
    [[nodiscard]] QColor textColor(const RecordSet &rows, qint64 row) const;

  private:
    struct Column {
        QString name; // of the layout object
        int column;
        QRect box; // pixels within the row
        bool opaque;
    };
    std::vector<Column> m_columns;
    Expression m_colorRule;
    QFont m_font;
};
