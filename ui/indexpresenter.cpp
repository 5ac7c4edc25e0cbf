#include "ui/indexpresenter.h"

#include "catalogue/layouts.h"
#include "widgets/fonts.h"
#include "widgets/units.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

namespace {
// The colour rule over the category code, tested in this order.
const char16_t kColorRule[] = u"if(gubn='01', rgb(0,0,0), if(gubn='02', rgb(0,0,255), "
                              u"if(gubn='03', rgb(128,0,0), if(gubn='04', rgb(0,128,0), rgb(128,0,0)))))";

QColor fromRgbNumber(qint64 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}
} // namespace

IndexPresenter::IndexPresenter()
    : m_columns{{QStringLiteral("name"), IndexColumn::name, unitsToPixels(9, 4, 512, 60), true},
                {QStringLiteral("desc"), IndexColumn::desc, unitsToPixels(535, 4, 1339, 60), false},
                {QStringLiteral("gubn"), IndexColumn::gubn, unitsToPixels(1888, 4, 544, 60), true}},
      m_colorRule(Expression::compile(QStringView(kColorRule), d_cdinfo())),
      m_font(gridFont(QStringLiteral("굴림체"), 10))
{
}

int IndexPresenter::contentWidth() const
{
    return m_columns.back().box.right() + 1;
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
    // A grid wider than the layout gives the description the extra room; the category moves right.
    const int extra = std::max(0, rect.width() - contentWidth());
    for (const Column &column : m_columns) {
        QRect box = column.box.translated(rect.topLeft());
        if (column.column == IndexColumn::desc)
            box.setWidth(box.width() + extra);
        else if (column.column == IndexColumn::gubn)
            box.translate(extra, 0);
        if (column.opaque && !state.highlighted)
            painter.fillRect(box, palette.color(QPalette::Base));
        QString value = rows.GetItemString(row, column.column);
        if (column.column == IndexColumn::gubn)
            value = categoryText(value);
        painter.setPen(text);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, value);
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
