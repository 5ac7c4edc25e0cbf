#pragma once

#include "files/hookcontext.h"
#include "records/recordset.h"
#include "widgets/rowpresenter.h"

#include <QAbstractScrollArea>
#include <QPointer>
#include <QStringList>
#include <functional>

class QPrinter;

// A grid that shows a record set through a row presenter. It draws only the rows in
// view: the first one is found from the per-block height sums, so a million rows with
// most of them hidden scroll like ten. Heights of 0 hide rows from drawing and clicks.
class DataGrid : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit DataGrid(QWidget *parent = nullptr);

    void setRecordSet(RecordSet *rows, const RowPresenter *presenter);
    // The presenter now draws rows differently (wider, with headings): lay out and draw again.
    void presenterChanged();
    [[nodiscard]] RecordSet *recordSet() const { return m_rows; }
    [[nodiscard]] const RowPresenter *presenter() const { return m_presenter; }

    int SetRedraw(bool on); // off: changes are not drawn until it is switched on again
    [[nodiscard]] bool redrawOn() const { return m_redraw; }
    int ScrollToRow(qint64 row);        // brings the row into view and makes it current
    [[nodiscard]] int PointerX() const; // last pointer position in the grid, layout units
    [[nodiscard]] int PointerY() const;
    // The last pointer position over the rows, in viewport pixels.
    [[nodiscard]] QPoint lastPointer() const { return m_pointer; }

    // The row under a viewport point (0 when none) and the layout object there.
    [[nodiscard]] qint64 rowAt(QPoint viewportPoint, QString *objectName = nullptr) const;
    // The row shown at the top of the view (0 when nothing is shown).
    [[nodiscard]] qint64 firstRowOnPage() const;
    // Top of a row's band in content pixels.
    [[nodiscard]] qint64 rowTop(qint64 row) const;
    // A row's band in viewport pixels; empty when the row is hidden.
    [[nodiscard]] QRect rowRect(qint64 row) const;
    // Prints every shown row as drawn, page by page, under a header (the title on the left, the
    // date on the right) and over a footer "n / m" (widgets/gridprint.cpp). The hooks get a step
    // per page and may cancel between pages. `rowNotes`, when given, gives texts printed at the
    // right edge of the page beside each row, in columns right-aligned, the last at the edge.
    enum class PrintResult { Printed, Cancelled, Failed };
    using RowNotes = std::function<QStringList(qint64 row)>;
    PrintResult printRows(QPrinter &printer, const QString &title, const QString &date, HookContext &hooks,
                          const RowNotes &rowNotes = {}) const;

  signals:
    void clicked(int xpos, int ypos, qint64 row, const QString &dwo);
    void doubleclicked(int xpos, int ypos, qint64 row, const QString &dwo);
    void rbuttondown(int xpos, int ypos, qint64 row, const QString &dwo);
    void keydown(int key, Qt::KeyboardModifiers keyflags);
    // Another row became current: by a key, or brought into view by ScrollToRow.
    void currentMoved(qint64 row);

  protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    class Heading; // widgets/gridheading.cpp
    void rowsChanged();
    void updateScrollBars();
    // The presenter's headings over the rows, shown while it has any for the rows' width.
    void updateHeading();
    [[nodiscard]] int bandWidth() const; // of the rows as drawn: the view's or the layout's
    void moveCurrent(int steps);
    [[nodiscard]] int rowHeightPixels(qint64 row) const;
    [[nodiscard]] RowPaintState stateFor(qint64 row, qint64 firstOnPage) const;
    // The first row (0-based) of each printed page for a body of this height.
    [[nodiscard]] std::vector<qint64> pageStarts(int bodyHeight) const;
    void paintFocusFrame(QPainter &painter) const;
    qint64 emitMouse(QMouseEvent *event, void (DataGrid::*signal)(int, int, qint64, const QString &));

    QPointer<RecordSet> m_rows;
    const RowPresenter *m_presenter = nullptr;
    bool m_redraw = true;
    QPoint m_pointer;
    QWidget *m_heading = nullptr; // a Heading, made when first needed
};
