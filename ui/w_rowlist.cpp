#include "ui/w_rowlist.h"

#include "catalogue/csv.h"
#include "ui/csvfile.h"
#include "ui/help.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

void RowListModel::show(QStringList headings, int rows, RowCell cell, std::function<QColor(int)> colour)
{
    beginResetModel();
    m_headings = std::move(headings);
    m_rows = rows;
    m_cell = std::move(cell);
    m_colour = std::move(colour);
    endResetModel();
}

int RowListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int RowListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_headings.size());
}

QVariant RowListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cell(index.row(), index.column());
    if (role == Qt::ForegroundRole && m_colour) {
        const QColor colour = m_colour(index.row());
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    return {};
}

QVariant RowListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_headings.value(section);
    return {};
}

w_rowlist::w_rowlist(QWidget *mainWindow, const QString &name, const QString &title)
    : QWidget(mainWindow, Qt::Window)
{
    setObjectName(name);
    setWindowTitle(title);
    m_model = new RowListModel(this);
    m_heading = new QLabel(this);
    m_heading->setWordWrap(true);
    m_topBar = new QHBoxLayout;
    m_view = new QTableView(this);
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->setTextElideMode(Qt::ElideMiddle);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_save = new QPushButton(QStringLiteral("저장"), this);
    m_export = new QPushButton(QStringLiteral("내보내기"), this);
    m_close = new QPushButton(QStringLiteral("닫기"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_save);
    buttons->addWidget(m_export);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_topBar);
    layout->addWidget(m_heading);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    connect(m_view, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        if (index.isValid() && openRow)
            openRow(index.row());
    });
    connect(m_save, &QPushButton::clicked, this, [this] {
        if (save)
            save();
    });
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_export, &QPushButton::clicked, this, [this] {
        exportCsv(this, csvName, [this](const QString &path) {
            const RowCell cells =
                m_csvCell ? m_csvCell : [this](int r, int c) { return m_model->cell(r, c); };
            return writeCsvFile(path, m_model->headings(), [&](const CsvRecordSink &sink) {
                for (int row = 0; row < m_model->rowCount(); ++row) {
                    QStringList fields;
                    for (int column = 0; column < m_model->columnCount(); ++column)
                        fields << cells(row, column);
                    if (!sink(fields))
                        return;
                }
            });
        });
    });
    resize(900, 520);
}

void w_rowlist::showRows(const QString &heading, QStringList headings, int rows, RowCell cell,
                         std::function<QColor(int)> colour, RowCell csvCell)
{
    m_csvCell = std::move(csvCell);
    m_model->show(std::move(headings), rows, std::move(cell), std::move(colour));
    setHeading(heading);
    m_save->setVisible(bool(save));
    m_save->setEnabled(true);
    // Each column as wide as its heading and the cells of the first screens need (dates in the
    // long Korean form would be cut at a fixed width); the path gets a wide one of its own.
    const QFontMetrics metrics = m_view->fontMetrics();
    const int sampled = std::min(rows, 200);
    for (int column = 0; column + 1 < m_model->columnCount(); ++column) {
        int width = metrics.horizontalAdvance(
                        m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()) +
                    24;
        for (int row = 0; row < sampled; ++row)
            width = std::max(width,
                             metrics.horizontalAdvance(m_model->index(row, column).data().toString()) + 12);
        m_view->setColumnWidth(column, column == 1 ? std::clamp(width, 300, 600) : std::min(width, 240));
    }
    if (!isVisible() && parentWidget()) {
        QRect frame = geometry();
        frame.moveCenter(parentWidget()->frameGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
    if (rows > 0)
        m_view->setCurrentIndex(m_model->index(0, 0));
    m_view->setFocus();
}

void w_rowlist::setHeading(const QString &heading)
{
    m_heading->setText(heading);
}

void w_rowlist::keyPressEvent(QKeyEvent *event)
{
    if (!closeOrHelpKey(*this, event))
        QWidget::keyPressEvent(event);
}
