#include "ui/indexpresenter.h"

#include "catalogue/factstext.h"
#include "catalogue/layouts.h"
#include "ui/disctotals.h"
#include "widgets/fonts.h"
#include "widgets/units.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace {
// The colour rule over the category code, tested in this order.
const char16_t kColorRule[] = u"if(gubn='01', rgb(0,0,0), if(gubn='02', rgb(0,0,255), "
                              u"if(gubn='03', rgb(128,0,0), if(gubn='04', rgb(0,128,0), rgb(128,0,0)))))";

QColor fromRgbNumber(qint64 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

constexpr int kHeadingHeight = 18;
constexpr int kPadding = 6;              // between a right-aligned total and the next column
constexpr int kShortestDescription = 80; // what a wide list keeps of the description, at the least
constexpr int kDescriptionGap = 16;      // between the scan date and the description after it

// The width a column needs for its heading and the widest of its samples.
int widthFor(const QFontMetrics &metrics, const QStringList &texts)
{
    int widest = 0;
    for (const QString &text : texts)
        widest = std::max(widest, metrics.horizontalAdvance(text));
    return widest + 2 * kPadding;
}
} // namespace

IndexPresenter::IndexPresenter()
    : m_columns{{QStringLiteral("name"), IndexColumn::name, unitsToPixels(9, 4, 512, 60), true,
                 QStringLiteral("라벨")},
                {QStringLiteral("desc"), IndexColumn::desc, unitsToPixels(535, 4, 1339, 60), false,
                 QStringLiteral("설명")},
                {QStringLiteral("gubn"), IndexColumn::gubn, unitsToPixels(1888, 4, 544, 60), true,
                 QStringLiteral("구분")}},
      m_colorRule(Expression::compile(QStringView(kColorRule), d_cdinfo())),
      m_font(gridFont(QStringLiteral("굴림체"), 10))
{
    const QFontMetrics metrics(m_font);
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    const QString sizeHeading = QStringLiteral("총 크기");
    const QString filesHeading = QStringLiteral("파일 수");
    const QString dateHeading = QStringLiteral("스캔 날짜");
    m_totals = {
        {sizeHeading,
         widthFor(metrics,
                  {sizeHeading, korean.formattedDataSize(1023LL << 30, 1, QLocale::DataSizeTraditionalFormat),
                   korean.formattedDataSize(1023, 1, QLocale::DataSizeTraditionalFormat)})},
        {filesHeading, widthFor(metrics, {filesHeading, korean.toString(9999999)})},
        {dateHeading, widthFor(metrics, {dateHeading, widestDateText()})}};
    QStringList categories = {m_columns.back().heading};
    for (const char16_t *code : {u"01", u"02", u"03", u"04"})
        categories << categoryText(QStringView(code));
    m_categoryWidth = widthFor(metrics, categories) - kPadding;
}

IndexPresenter::Band IndexPresenter::bandFor(int width) const
{
    Band band;
    for (const Column &column : m_columns)
        band.columns.push_back(column.box);
    QRect &name = band.columns[0];
    QRect &desc = band.columns[1];
    QRect &gubn = band.columns[2];
    if (!showsTotals()) {
        // A band wider than its content gives the description the extra room; the category moves right.
        const int extra = std::max(0, width - contentWidth());
        desc.setWidth(desc.width() + extra);
        gubn.translate(extra, 0);
        return band;
    }
    // Wide: the label, the category (as wide as its words) and the totals first, then the
    // description in what is left, never less than a few words of it.
    const int gap = desc.left() - name.right() - 1;
    gubn.moveLeft(name.right() + 1 + gap);
    gubn.setWidth(m_categoryWidth);
    int x = gubn.right() + 1;
    for (const auto &column : m_totals) {
        band.totals.emplace_back(x, gubn.top(), column.second, gubn.height());
        x += column.second;
    }
    desc.moveLeft(x + kDescriptionGap);
    desc.setWidth(std::max(width, contentWidth()) - desc.left());
    return band;
}

std::vector<std::pair<QString, QRect>> IndexPresenter::columnsAt(int width) const
{
    const Band band = bandFor(width);
    std::vector<std::pair<QString, QRect>> columns;
    for (size_t i = 0; i < m_columns.size(); ++i)
        columns.emplace_back(m_columns[i].heading, band.columns[i]);
    for (size_t i = 0; i < band.totals.size(); ++i)
        columns.emplace_back(m_totals[i].first, band.totals[i]);
    std::sort(columns.begin(), columns.end(),
              [](const auto &a, const auto &b) { return a.second.left() < b.second.left(); });
    return columns;
}

int IndexPresenter::headingHeight(int) const
{
    return showsTotals() ? kHeadingHeight : 0;
}

void IndexPresenter::paintHeading(QPainter &painter, const QRect &rect) const
{
    const Band band = bandFor(rect.width());
    const QPalette palette = QApplication::palette();
    painter.fillRect(rect, palette.color(QPalette::Button));
    painter.setFont(m_font);
    painter.setPen(palette.color(QPalette::ButtonText));
    // A heading stands over its column, the totals' to the right as their values are.
    const auto over = [&rect](const QRect &box, int rightPadding) {
        return QRect(rect.left() + box.left(), rect.top(), box.width() - rightPadding, rect.height());
    };
    for (size_t i = 0; i < m_columns.size(); ++i)
        painter.drawText(over(band.columns[i], 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_columns[i].heading);
    for (size_t i = 0; i < band.totals.size(); ++i)
        painter.drawText(over(band.totals[i], kPadding),
                         Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, m_totals[i].first);
    painter.setPen(palette.color(QPalette::Mid));
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
}

QStringList IndexPresenter::totalsShown(const RecordSet &rows, qint64 row) const
{
    if (!showsTotals())
        return {};
    return totalsTexts(m_totalsSource(rows.GetItemString(row, IndexColumn::file)));
}

int IndexPresenter::contentWidth() const
{
    const QRect &name = m_columns[0].box;
    const QRect &desc = m_columns[1].box;
    if (!showsTotals())
        return m_columns.back().box.right() + 1;
    int totals = 0;
    for (const auto &column : m_totals)
        totals += column.second;
    const int gap = desc.left() - name.right() - 1;
    return name.right() + 1 + gap + m_categoryWidth + totals + kDescriptionGap + kShortestDescription;
}

QColor IndexPresenter::textColor(const RecordSet &rows, qint64 row) const
{
    EvalContext context;
    context.rows = &rows;
    context.row = row;
    const ExprValue value = m_colorRule.evaluate(context);
    if (value.kind != ExprValue::Kind::Number)
        return QApplication::palette().color(QPalette::WindowText);
    return fromRgbNumber(qint64(value.number));
}

void IndexPresenter::paintRow(QPainter &painter, const QRect &rect, const RecordSet &rows, qint64 row,
                              const RowPaintState &state) const
{
    const QPalette palette = QApplication::palette();
    if (state.highlighted)
        painter.fillRect(rect, palette.color(QPalette::Highlight));
    const QColor text = state.highlighted ? palette.color(QPalette::HighlightedText) : textColor(rows, row);
    painter.setFont(m_font);
    const Band band = bandFor(rect.width());
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const Column &column = m_columns[i];
        const QRect box = band.columns[i].translated(rect.topLeft());
        if (column.opaque && !state.highlighted)
            painter.fillRect(box, palette.color(QPalette::Base));
        QString value = rows.GetItemString(row, column.column);
        if (column.column == IndexColumn::gubn)
            value = categoryText(value);
        painter.setPen(text);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, value);
    }
    const QStringList totals = totalsShown(rows, row);
    for (qsizetype i = 0; i < totals.size(); ++i) {
        const QRect box = band.totals[size_t(i)].translated(rect.topLeft()).adjusted(0, 0, -kPadding, 0);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, totals[i]);
    }
}

QString IndexPresenter::objectAt(const RecordSet &, qint64, QPoint point, const RowPaintState &) const
{
    for (const Column &column : m_columns) {
        if (column.box.contains(point))
            return column.name;
    }
    return QStringLiteral("detail");
}
