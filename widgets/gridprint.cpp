// Printing a grid: the pages are counted first, so that each footer can say "n / m", then drawn
// one by one, with a step of progress and a chance to cancel between pages.

#include "widgets/datagrid.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

namespace {
// Header and footer bands, in the rows' pixels (96 to the inch).
constexpr int kBand = 28;
constexpr int kTextPixels = 12;
constexpr int kNotePixels = 11;
constexpr int kNoteGap = 12; // before each column of notes

// The notes beside the rows of one page, and the width of each column of them: as wide as its
// widest text on the page, so that the columns line up.
struct PageNotes {
    std::vector<QStringList> texts;
    std::vector<int> widths;

    PageNotes(const std::vector<qint64> &rows, const DataGrid::RowNotes &rowNotes,
              const QFontMetrics &metrics)
    {
        for (qint64 row : rows) {
            texts.push_back(rowNotes ? rowNotes(row) : QStringList());
            widths.resize(std::max(widths.size(), size_t(texts.back().size())));
            for (qsizetype i = 0; i < texts.back().size(); ++i)
                widths[size_t(i)] = std::max(widths[size_t(i)], metrics.horizontalAdvance(texts.back()[i]));
        }
    }
    [[nodiscard]] int total() const
    {
        int sum = 0;
        for (int width : widths)
            sum += width > 0 ? width + kNoteGap : 0;
        return sum;
    }
    // Draws the notes of the page's `index`th row in the band at `y`, the last column at the
    // page's right edge.
    void paint(QPainter &painter, const QRect &page, size_t index, int y, int height) const
    {
        const QStringList &row = texts[index];
        int right = page.right() + 1;
        for (size_t i = widths.size(); i-- > 0;) {
            if (widths[i] == 0)
                continue;
            if (qsizetype(i) < row.size())
                painter.drawText(QRect(right - widths[i], y, widths[i], height),
                                 Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, row[qsizetype(i)]);
            right -= widths[i] + kNoteGap;
        }
    }
};

void paintFrame(QPainter &painter, const QRect &page, const QString &title, const QString &date,
                const QString &pageNumber)
{
    QFont font = painter.font();
    font.setPixelSize(kTextPixels);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QRect header(page.left(), page.top(), page.width(), kBand - 8);
    painter.drawText(header, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    painter.drawText(header, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, date);
    painter.drawLine(page.left(), page.top() + kBand - 6, page.right(), page.top() + kBand - 6);
    const QRect footer(page.left(), page.bottom() - kBand + 8, page.width(), kBand - 8);
    painter.drawText(footer, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, pageNumber);
}
} // namespace

std::vector<qint64> DataGrid::pageStarts(int bodyHeight) const
{
    std::vector<qint64> starts;
    const RowHeights &heights = m_rows->heights();
    int y = 0;
    for (qint64 row0 = heights.nextShown(0); row0 < m_rows->RowCount(); row0 = heights.nextShown(row0 + 1)) {
        const int h = rowHeightPixels(row0 + 1);
        if (starts.empty() || (y + h > bodyHeight && y > 0)) {
            starts.push_back(row0);
            y = 0;
        }
        y += h;
    }
    return starts;
}

DataGrid::PrintResult DataGrid::printRows(QPrinter &printer, const QString &title, const QString &date,
                                          HookContext &hooks, const RowNotes &rowNotes) const
{
    if (!m_rows || !m_presenter)
        return PrintResult::Failed;
    QPainter painter;
    if (!painter.begin(&printer))
        return PrintResult::Failed;
    // Rows are drawn at their screen size: 96 pixels to the inch.
    const double scale = printer.resolution() / 96.0;
    painter.scale(scale, scale);
    const QRectF device = printer.pageRect(QPrinter::DevicePixel);
    const QRect page(0, 0, int(device.width() / scale), int(device.height() / scale));
    QFont noteFont = painter.font();
    noteFont.setPixelSize(kNotePixels);
    const std::vector<qint64> starts = pageStarts(page.height() - 2 * kBand);
    const qint64 pages = qint64(starts.size());
    hooks.setMaximum(pages);
    const RowHeights &heights = m_rows->heights();
    for (qint64 p = 0; p < pages; ++p) {
        if (hooks.cancelled()) {
            painter.end();
            return PrintResult::Cancelled;
        }
        if (p > 0)
            printer.newPage();
        paintFrame(painter, page, title, date, QStringLiteral("%1 / %2").arg(p + 1).arg(pages));
        const qint64 end = p + 1 < pages ? starts[size_t(p + 1)] : m_rows->RowCount();
        std::vector<qint64> rows;
        for (qint64 row0 = starts[size_t(p)]; row0 < end; row0 = heights.nextShown(row0 + 1))
            rows.push_back(row0 + 1);
        const PageNotes notes(rows, rowNotes, QFontMetrics(noteFont));
        // A row gives up the room its notes take, so that a long name never runs under them.
        const int width = notes.total() > 0
                              ? std::min(m_presenter->contentWidth(), page.width() - notes.total())
                              : m_presenter->contentWidth();
        int y = kBand;
        for (size_t i = 0; i < rows.size(); ++i) {
            const int h = rowHeightPixels(rows[i]);
            painter.save();
            m_presenter->paintRow(painter, QRect(0, y, width, h), *m_rows, rows[i],
                                  stateFor(rows[i], starts[size_t(p)] + 1));
            painter.restore();
            painter.setFont(noteFont);
            painter.setPen(Qt::black);
            notes.paint(painter, page, i, y, h);
            y += h;
        }
        hooks.advance();
    }
    return painter.end() ? PrintResult::Printed : PrintResult::Failed;
}
