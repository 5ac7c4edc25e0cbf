#include "treeview/treepresenter.h"

#include "catalogue/layouts.h"
#include "search/textforms.h"
#include "widgets/fonts.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

namespace {

const QString kShowboxRule = QStringLiteral("if ( children = 1, 1, if ( level[1] > level , 1, 0 ) )");
const QString kBoxRule = QStringLiteral("bitmap(if(showbox = 0, if(siblings = 0, 'empty.bmp', 'empty2.bmp'), "
                                        "if(open = 1,'minus.bmp','plus.bmp')))");
const QString kPictRule = QStringLiteral("if(selected = 0, bitmap(bmpname), bitmap(selectedbmpname))");
const QString kNameRule = QStringLiteral("if (gettext() = first(name for page),0,1)");

constexpr int kColumn = 20;  // each level indents by this many pixels
constexpr int kMaxLines = 9; // ancestor line objects of the layout
constexpr int kLinesX = 1;   // first ancestor line

// The box rule reads the computed showbox value, so it is compiled with that rule in its place.
QString withShowbox(const QString &rule)
{
    QString text = rule;
    return text.replace(QStringLiteral("showbox"), u'(' + kShowboxRule + u')');
}

} // namespace

TreePresenter::TreePresenter()
    : m_showbox(Expression::compile(kShowboxRule, d_dir_tree())),
      m_boxPicture(Expression::compile(withShowbox(kBoxRule), d_dir_tree())),
      m_entryPicture(Expression::compile(kPictRule, d_dir_tree())),
      m_nameVisible(Expression::compile(kNameRule, d_dir_tree())), m_levelColumn(TreeColumn::level - 1),
      m_font(gridFont(QStringLiteral("MS Sans Serif"), 8))
{
}

QString TreePresenter::evaluateText(const Expression &rule, const RecordSet &rows, qint64 row,
                                    const RowPaintState &state) const
{
    EvalContext context{&rows, row, state.firstRowOnPage, state.editText};
    const ExprValue value = rule.evaluate(context);
    return value.kind == ExprValue::Kind::Text ? value.text.toString() : QString();
}

int TreePresenter::showbox(const RecordSet &rows, qint64 row) const
{
    EvalContext context{&rows, row, 0, {}};
    return m_showbox.isTrue(context) ? 1 : 0;
}

std::vector<TreePresenter::Item> TreePresenter::itemsOf(const RecordSet &rows, qint64 row,
                                                        const RowPaintState &state) const
{
    std::vector<Item> items;
    const qint64 level = rows.numberAt(row, m_levelColumn);
    const int indent = int(std::clamp<qint64>(level - 1, 0, 100000)) * kColumn;
    if (level != 1) {
        const int x = level > 1 ? indent - kColumn : 1;
        items.push_back({QStringLiteral("clickbox"), QRect(x, 0, 17, kTreeRowHeight),
                         evaluateText(m_boxPicture, rows, row, state)});
    }
    const int lines = int(std::clamp<qint64>(level - 2, 0, kMaxLines));
    static const char *const lineObjects[kMaxLines] = {"compute_2", "compute_9", "compute_8",
                                                       "compute_7", "compute_6", "compute_5",
                                                       "compute_4", "compute_3", "compute_1"};
    for (int k = 0; k < lines; ++k)
        items.push_back({QLatin1String(lineObjects[k]), QRect(kLinesX + k * kColumn, 0, 17, 25),
                         QStringLiteral("lines.bmp")});
    const bool archive = m_isArchive && m_isArchive(row);
    items.push_back(
        {QStringLiteral("pict"), QRect(level > 1 ? indent : 1, 2, 17, 15),
         archive ? QString::fromUtf16(kArchivePicture) : evaluateText(m_entryPicture, rows, row, state)});
    EvalContext context{&rows, row, state.firstRowOnPage, state.editText};
    if (m_nameVisible.evaluate(context).kind == ExprValue::Kind::Null || m_nameVisible.isTrue(context))
        items.push_back({QStringLiteral("name"), QRect(indent + kColumn, 3, 329, 15), QString()});
    return items;
}

QPixmap TreePresenter::picture(const QString &name, qreal devicePixelRatio) const
{
    // On a 200 % or 300 % screen the picture drawn for that scale, where there is one: Qt would
    // otherwise double the 16-pixel bitmap into blocks.
    const int scale = devicePixelRatio > 2.01 ? 3 : devicePixelRatio > 1.01 ? 2 : 1;
    const QString key = name + QString::number(scale);
    auto found = m_pictures.constFind(key);
    if (found == m_pictures.constEnd()) {
        QPixmap pixmap;
        if (scale > 1 && name.endsWith(QStringLiteral(".bmp")) &&
            pixmap.load(QStringLiteral(":/pictures/%1@%2x.png").arg(name.chopped(4)).arg(scale)))
            pixmap.setDevicePixelRatio(scale);
        else
            pixmap.load(QStringLiteral(":/pictures/") + name);
        found = m_pictures.insert(key, pixmap);
    }
    return *found;
}

void TreePresenter::paintRow(QPainter &painter, const QRect &rect, const RecordSet &rows, qint64 row,
                             const RowPaintState &state) const
{
    painter.save(); // leave the painter as it came, for the next row
    painter.setClipRect(rect, Qt::IntersectClip);
    for (const Item &item : itemsOf(rows, row, state)) {
        const QRect box = item.box.translated(rect.topLeft()).intersected(rect);
        if (item.object != u"name") {
            // Pictures are drawn at their own size from the object's corner, clipped to the object.
            painter.save();
            painter.setClipRect(box, Qt::IntersectClip);
            painter.drawPixmap(box.topLeft(), picture(item.picture, painter.device()->devicePixelRatio()));
            painter.restore();
            continue;
        }
        painter.setFont(m_font);
        // A name longer than its room, on a narrow page beside the sizes, ends in "…" where it is cut;
        // composed, so that a name a Mac wrote decomposed is drawn as one syllable per cell.
        const QString name = painter.fontMetrics().elidedText(
            composed(rows.GetItemString(row, TreeColumn::name)), Qt::ElideRight, box.width());
        const QPalette palette = QApplication::palette();
        if (state.highlighted) {
            const QRect textBox(box.left(), box.top(),
                                std::min(box.width(), painter.fontMetrics().horizontalAdvance(name) + 4),
                                box.height());
            painter.fillRect(textBox, palette.color(QPalette::Highlight));
            painter.setPen(palette.color(QPalette::HighlightedText));
        } else {
            painter.setPen(Qt::black);
        }
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
    }
    painter.restore();
}

QString TreePresenter::objectAt(const RecordSet &rows, qint64 row, QPoint point,
                                const RowPaintState &state) const
{
    for (const Item &item : itemsOf(rows, row, state)) {
        if (item.box.intersected(QRect(0, 0, 100000, kTreeRowHeight)).contains(point))
            return item.object;
    }
    // Between and beside the objects lies the row's band, itself a layout object: a click there
    // selects the row like a click on its name.
    return QStringLiteral("detail");
}
