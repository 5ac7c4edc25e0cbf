#pragma once

#include "catalogue/sidefacts.h"
#include "records/expression.h"
#include "widgets/rowpresenter.h"

#include <QFont>
#include <functional>
#include <vector>

// Draws a row of the catalogue index: label, description and category on one line,
// coloured by category. In a window wider than its first size the rows show the label, the
// category and the disc's totals (size, files, scan date), then the description in what is left,
// under a band of headings.
class IndexPresenter final : public RowPresenter {
  public:
    IndexPresenter();

    void paintRow(QPainter &painter, const QRect &rect, const RecordSet &rows, qint64 row,
                  const RowPaintState &state) const override;
    [[nodiscard]] QString objectAt(const RecordSet &rows, qint64 row, QPoint point,
                                   const RowPaintState &state) const override;
    [[nodiscard]] int unitsPerPixelY() const override { return 4; }
    [[nodiscard]] int contentWidth() const override;
    [[nodiscard]] int headingHeight(int width) const override;
    void paintHeading(QPainter &painter, const QRect &rect) const override;

    // The text colour of a row: the category rule, or the window-text colour when it
    // cannot be evaluated.
    [[nodiscard]] QColor textColor(const RecordSet &rows, qint64 row) const;

    // Where the totals of the disc whose catalogue file is `file` come from; without one no
    // totals are shown.
    using TotalsSource = std::function<const DiscSummary &(const QString &file)>;
    void setTotalsSource(TotalsSource source) { m_totalsSource = std::move(source); }
    // Whether the window is wider than its first size, where the totals are shown.
    void setWide(bool wide) { m_wide = wide; }
    [[nodiscard]] bool wide() const { return m_wide; }
    // The heading and the box of each column shown in a band `width` pixels wide, left to right.
    [[nodiscard]] std::vector<std::pair<QString, QRect>> columnsAt(int width) const;
    // The totals a row shows, in column order: none unless wide.
    [[nodiscard]] QStringList totalsShown(const RecordSet &rows, qint64 row) const;

  private:
    struct Column {
        QString name; // of the layout object
        int column;
        QRect box; // pixels within the row
        bool opaque;
        QString heading;
    };
    // The boxes of a band `width` pixels wide: one for each layout column, then the totals shown.
    struct Band {
        std::vector<QRect> columns;
        std::vector<QRect> totals;
    };
    [[nodiscard]] Band bandFor(int width) const;
    [[nodiscard]] bool showsTotals() const { return m_wide && m_totalsSource; }

    std::vector<Column> m_columns;
    std::vector<std::pair<QString, int>> m_totals; // heading and width of each totals column
    int m_categoryWidth = 0;                       // what the category's words need
    TotalsSource m_totalsSource;
    bool m_wide = false;
    Expression m_colorRule;
    QFont m_font;
};
