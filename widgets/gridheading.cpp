// The band of headings a presenter may draw over a grid's rows: it lies inside the frame above
// the viewport, which gives up that much of its height, and moves sideways with the rows.

#include "widgets/datagrid.h"

#include <QPainter>
#include <QScrollBar>

class DataGrid::Heading final : public QWidget {
  public:
    explicit Heading(DataGrid *grid) : QWidget(grid), m_grid(grid) {}

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const int left = -m_grid->horizontalScrollBar()->value();
        m_grid->m_presenter->paintHeading(painter, QRect(left, 0, m_grid->bandWidth(), height()));
    }

  private:
    DataGrid *m_grid;
};

int DataGrid::bandWidth() const
{
    return std::max(viewport()->width(), m_presenter->contentWidth());
}

void DataGrid::updateHeading()
{
    const int height = m_presenter->headingHeight(bandWidth());
    if (viewportMargins().top() != height)
        setViewportMargins(0, height, 0, 0);
    if (height == 0) {
        if (m_heading)
            m_heading->hide();
        return;
    }
    if (!m_heading)
        m_heading = new Heading(this);
    const QRect view = viewport()->geometry();
    m_heading->setGeometry(view.left(), view.top() - height, view.width(), height);
    m_heading->show();
    m_heading->update();
}
