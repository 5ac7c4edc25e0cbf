#pragma once

#include "records/recordset.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>

class QPainter;

// What drawing one row may depend on besides the row's own values.
struct RowPaintState {
    bool highlighted = false;  // the row's highlight flag
    qint64 firstRowOnPage = 0; // first row shown in the grid (or on the printed page)
    QStringView editText;      // the grid's edit field: always empty, no column is editable
};

// Draws the rows of one layout and says which of its objects lies under a point.
// Painting holds no view state, so a test can render a row to a QImage.
class RowPresenter {
  public:
    virtual ~RowPresenter() = default;
    // `rect` is the row's band in pixels; row numbers are 1-based.
    virtual void paintRow(QPainter &painter, const QRect &rect, const RecordSet &rows, qint64 row,
                          const RowPaintState &state) const = 0;
    // Name of the layout object at `point` (pixels from the row's top-left); where no object of
    // the row lies, "detail", the row's band.
    [[nodiscard]] virtual QString objectAt(const RecordSet &rows, qint64 row, QPoint point,
                                           const RowPaintState &state) const = 0;
    // Row heights are kept in layout units; this many of them make one pixel.
    [[nodiscard]] virtual int unitsPerPixelY() const { return 1; }
    // Width of everything the layout draws, for the horizontal scroll bar.
    [[nodiscard]] virtual int contentWidth() const = 0;
    [[nodiscard]] virtual QColor background() const { return Qt::white; }
    // A band of headings over rows `width` pixels wide: its height (0 for none), and its drawing
    // in `rect`, whose left edge is the rows' left edge.
    [[nodiscard]] virtual int headingHeight(int /*width*/) const { return 0; }
    virtual void paintHeading(QPainter & /*painter*/, const QRect & /*rect*/) const {}
};
