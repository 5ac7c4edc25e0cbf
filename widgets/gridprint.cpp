// Printing a grid: the pages are counted first, so that each footer can say "n / m", then drawn
// one by one, with a step of progress and a chance to cancel between pages.

#include "widgets/datagrid.h"

#include <QPainter>
#include <QPrinter>

namespace {
// Header and footer bands, in the rows' pixels (96 to the inch).
constexpr int kBand = 28;
constexpr int kTextPixels = 12;

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
                                          HookContext &hooks) const
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
    const int width = m_presenter->contentWidth();
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
        int y = kBand;
        for (qint64 row0 = starts[size_t(p)]; row0 < end; row0 = heights.nextShown(row0 + 1)) {
            const int h = rowHeightPixels(row0 + 1);
            painter.save();
            m_presenter->paintRow(painter, QRect(0, y, width, h), *m_rows, row0 + 1,
                                  stateFor(row0 + 1, starts[size_t(p)] + 1));
            painter.restore();
            y += h;
        }
        hooks.advance();
    }
    return painter.end() ? PrintResult::Printed : PrintResult::Failed;
}
