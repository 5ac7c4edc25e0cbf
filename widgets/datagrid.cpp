#include "widgets/datagrid.h"

#include "widgets/units.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

DataGrid::DataGrid(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setTracking(true); // rows move while the box is dragged
    horizontalScrollBar()->setTracking(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void DataGrid::setRecordSet(RecordSet *rows, const RowPresenter *presenter)
{
    if (m_rows)
        disconnect(m_rows, nullptr, this, nullptr);
    m_rows = rows;
    m_presenter = presenter;
    if (m_rows)
        connect(m_rows, &RecordSet::changed, this, &DataGrid::rowsChanged);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Base, presenter ? presenter->background() : QColor(Qt::white));
    viewport()->setPalette(pal);
    viewport()->setBackgroundRole(QPalette::Base);
    rowsChanged();
}

void DataGrid::rowsChanged()
{
    if (!m_redraw)
        return;
    updateScrollBars();
    viewport()->update();
}

int DataGrid::SetRedraw(bool on)
{
    m_redraw = on;
    if (on)
        rowsChanged();
    return 1;
}

int DataGrid::rowHeightPixels(qint64 row) const
{
    return m_rows->heights().height(row - 1) / m_presenter->unitsPerPixelY();
}

qint64 DataGrid::rowTop(qint64 row) const
{
    if (!m_rows || !m_presenter)
        return 0;
    return m_rows->heights().offsetOf(row - 1) / m_presenter->unitsPerPixelY();
}

void DataGrid::presenterChanged()
{
    updateScrollBars();
    viewport()->update();
}

void DataGrid::updateScrollBars()
{
    if (!m_rows || !m_presenter)
        return;
    const qint64 total = m_rows->heights().total() / m_presenter->unitsPerPixelY();
    const int page = viewport()->height();
    QScrollBar *vertical = verticalScrollBar();
    vertical->setRange(0, int(std::clamp<qint64>(total - page, 0, INT_MAX)));
    vertical->setPageStep(page);
    vertical->setSingleStep(std::max(1, m_rows->layout().rowHeight() / m_presenter->unitsPerPixelY()));
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, m_presenter->contentWidth() - viewport()->width()));
    horizontal->setPageStep(viewport()->width());
    updateHeading();
}

qint64 DataGrid::firstRowOnPage() const
{
    if (!m_rows || !m_presenter)
        return 0;
    const qint64 units = qint64(verticalScrollBar()->value()) * m_presenter->unitsPerPixelY();
    const qint64 row0 = m_rows->heights().rowAt(units);
    return row0 < m_rows->RowCount() ? row0 + 1 : 0;
}

RowPaintState DataGrid::stateFor(qint64 row, qint64 firstOnPage) const
{
    RowPaintState state;
    state.highlighted = m_rows->IsSelected(row);
    state.firstRowOnPage = firstOnPage;
    return state;
}

void DataGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), viewport()->palette().base());
    if (!m_redraw || !m_rows || !m_presenter)
        return;
    const qint64 first = firstRowOnPage();
    if (first == 0)
        return;
    const int left = -horizontalScrollBar()->value();
    const int width = bandWidth();
    int y = int(rowTop(first) - verticalScrollBar()->value());
    const RowHeights &heights = m_rows->heights();
    for (qint64 row0 = first - 1; row0 < m_rows->RowCount() && y < viewport()->height();
         row0 = heights.nextShown(row0 + 1)) {
        const int h = rowHeightPixels(row0 + 1);
        painter.save();
        m_presenter->paintRow(painter, QRect(left, y, width, h), *m_rows, row0 + 1,
                              stateFor(row0 + 1, first));
        painter.restore();
        y += h;
    }
    paintFocusFrame(painter);
}

QRect DataGrid::rowRect(qint64 row) const
{
    if (!m_rows || !m_presenter || row < 1 || row > m_rows->RowCount() || m_rows->detailHeight(row) == 0)
        return {};
    const qint64 top = rowTop(row) - verticalScrollBar()->value();
    return QRect(0, int(std::clamp<qint64>(top, -INT_MAX / 2, INT_MAX / 2)), viewport()->width(),
                 rowHeightPixels(row));
}

void DataGrid::paintFocusFrame(QPainter &painter) const
{
    // The current row, framed as Qt's item views frame theirs, so that the keys can be followed.
    if (!hasFocus())
        return;
    const QRect band = rowRect(m_rows->GetRow());
    if (band.isEmpty() || !band.intersects(viewport()->rect()))
        return;
    // A dotted frame of its own: the styles draw theirs only after a Tab, not after a click.
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(band.adjusted(0, 0, -1, -1));
}

qint64 DataGrid::rowAt(QPoint viewportPoint, QString *objectName) const
{
    if (objectName)
        objectName->clear();
    if (!m_rows || !m_presenter || viewportPoint.y() < 0)
        return 0;
    const qint64 contentY = qint64(viewportPoint.y()) + verticalScrollBar()->value();
    const qint64 row0 = m_rows->heights().rowAt(contentY * m_presenter->unitsPerPixelY());
    if (row0 >= m_rows->RowCount())
        return 0;
    const qint64 row = row0 + 1;
    if (objectName) {
        const QPoint inRow(viewportPoint.x() + horizontalScrollBar()->value(), int(contentY - rowTop(row)));
        *objectName = m_presenter->objectAt(*m_rows, row, inRow, stateFor(row, firstRowOnPage()));
    }
    return row;
}

qint64 DataGrid::emitMouse(QMouseEvent *event, void (DataGrid::*signal)(int, int, qint64, const QString &))
{
    m_pointer = event->position().toPoint();
    QString object;
    const qint64 row = rowAt(m_pointer, &object);
    emit(this->*signal)(pixelsToUnitsX(m_pointer.x()), pixelsToUnitsY(m_pointer.y()), row, object);
    return row;
}

void DataGrid::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    qint64 row = 0;
    if (event->button() == Qt::LeftButton)
        row = emitMouse(event, &DataGrid::clicked);
    else if (event->button() == Qt::RightButton)
        row = emitMouse(event, &DataGrid::rbuttondown);
    // The clicked row becomes the current one, so the keys go on from where the mouse was. The
    // handler has run first, and may have hidden or removed it.
    if (m_rows && row >= 1 && row <= m_rows->RowCount() && m_rows->detailHeight(row) > 0) {
        m_rows->SetRow(row);
        viewport()->update();
    }
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emitMouse(event, &DataGrid::doubleclicked);
}

void DataGrid::mouseMoveEvent(QMouseEvent *event)
{
    m_pointer = event->position().toPoint();
    QAbstractScrollArea::mouseMoveEvent(event);
}

int DataGrid::PointerX() const
{
    return pixelsToUnitsX(m_pointer.x());
}

int DataGrid::PointerY() const
{
    return pixelsToUnitsY(m_pointer.y());
}

int DataGrid::ScrollToRow(qint64 row)
{
    if (!m_rows || row < 1 || row > m_rows->RowCount())
        return -1;
    const bool moved = m_rows->GetRow() != row;
    m_rows->SetRow(row);
    if (moved)
        emit currentMoved(row);
    if (m_rows->detailHeight(row) == 0)
        return 1; // a hidden row cannot be shown; it only becomes current
    const qint64 top = rowTop(row);
    const int h = rowHeightPixels(row);
    QScrollBar *vertical = verticalScrollBar();
    if (m_redraw)
        updateScrollBars();
    if (top < vertical->value())
        vertical->setValue(int(top));
    else if (top + h > vertical->value() + viewport()->height())
        vertical->setValue(int(top + h - viewport()->height()));
    viewport()->update(); // the focus frame follows the current row
    return 1;
}

void DataGrid::moveCurrent(int steps)
{
    if (!m_rows || m_rows->RowCount() == 0)
        return;
    const RowHeights &heights = m_rows->heights();
    qint64 row0 = std::max<qint64>(m_rows->GetRow(), 1) - 1;
    for (int i = 0; i < std::abs(steps); ++i) {
        const qint64 next = steps > 0 ? heights.nextShown(row0 + 1) : heights.previousShown(row0 - 1);
        if (next < 0 || next >= m_rows->RowCount())
            break;
        row0 = next;
    }
    ScrollToRow(row0 + 1);
}

void DataGrid::keyPressEvent(QKeyEvent *event)
{
    emit keydown(event->key(), event->modifiers());
    const int rowPixels = std::max(1, verticalScrollBar()->singleStep());
    const int pageRows = std::max(1, viewport()->height() / rowPixels - 1);
    switch (event->key()) {
    case Qt::Key_Down:
        moveCurrent(1);
        break;
    case Qt::Key_Up:
        moveCurrent(-1);
        break;
    case Qt::Key_PageDown:
        moveCurrent(pageRows);
        break;
    case Qt::Key_PageUp:
        moveCurrent(-pageRows);
        break;
    case Qt::Key_Home:
        moveCurrent(-int(std::min<qint64>(m_rows ? m_rows->RowCount() : 0, INT_MAX)));
        break;
    case Qt::Key_End:
        moveCurrent(int(std::min<qint64>(m_rows ? m_rows->RowCount() : 0, INT_MAX)));
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Menu:
    case Qt::Key_Delete:
        break; // the row commands of the keydown handler: not passed on to the window
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void DataGrid::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void DataGrid::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void DataGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void DataGrid::scrollContentsBy(int, int)
{
    viewport()->update();
    if (m_heading)
        m_heading->update();
}
