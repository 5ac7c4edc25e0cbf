// The results window's columns: what a picture, a song or a video is stays hidden until the user
// turns its column on from the heading's menu; the window keeps the choice while it is open. And
// the grid of thumbnails a button puts in the list's place.

#include "ui/w_results.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>

void w_results::setUpColumnMenu()
{
    QHeaderView *header = m_view->horizontalHeader();
    for (int column = ResultsModel::kFirstMediaColumn; column < ResultsModel::ColumnCount; ++column) {
        m_view->setColumnWidth(column,
                               column == ResultsModel::Taken ? m_view->columnWidth(ResultsModel::Date) : 110);
        header->setSectionHidden(column, true);
    }
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this,
            [this, header](const QPoint &at) { columnMenu()->popup(header->mapToGlobal(at)); });
}

QMenu *w_results::columnMenu()
{
    QHeaderView *header = m_view->horizontalHeader();
    if (!m_columnMenu) {
        m_columnMenu = new QMenu(this);
        for (int column = ResultsModel::kFirstMediaColumn; column < ResultsModel::ColumnCount; ++column) {
            QAction *action = m_columnMenu->addAction(
                m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
            action->setCheckable(true);
            action->setData(column);
            connect(action, &QAction::toggled, this, [this, header, column](bool on) {
                header->setSectionHidden(column, !on);
                fitPathAndName();
            });
        }
    }
    for (QAction *action : m_columnMenu->actions())
        action->setChecked(!header->isSectionHidden(action->data().toInt()));
    return m_columnMenu;
}

void w_results::fitPathAndName()
{
    // The path and the name share the width the other columns leave; with columns of pictures
    // and songs turned on, they keep a width to read and the rows scroll sideways instead.
    QHeaderView *header = m_view->horizontalHeader();
    bool mediaShown = false;
    for (int column = ResultsModel::kFirstMediaColumn; column < ResultsModel::ColumnCount; ++column)
        mediaShown = mediaShown || !header->isSectionHidden(column);
    const auto mode = mediaShown ? QHeaderView::Interactive : QHeaderView::Stretch;
    if (header->sectionResizeMode(ResultsModel::Path) == mode)
        return;
    header->setSectionResizeMode(ResultsModel::Path, mode);
    header->setSectionResizeMode(ResultsModel::Name, mode);
    if (mediaShown) {
        m_view->setColumnWidth(ResultsModel::Path, 220);
        m_view->setColumnWidth(ResultsModel::Name, 220);
    }
}

void w_results::createThumbnailView()
{
    m_thumbnails = new ThumbnailView(*m_model, this);
    m_thumbnails->thumbnails().setProvider([](const QString &, qint64) { return QImage(); });
    m_views = new QStackedWidget(this);
    m_views->addWidget(m_view);
    m_views->addWidget(m_thumbnails);
    m_thumbnailButton = new QPushButton(QStringLiteral("썸네일 보기"), this);
    m_thumbnailButton->setCheckable(true);
    connect(m_thumbnailButton, &QPushButton::toggled, this, &w_results::showThumbnails);
    connect(m_thumbnails, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        if (index.isValid() && openRow)
            openRow(m_model->storeRow(index.row()));
    });
}

void w_results::showThumbnails(bool on)
{
    // The current row goes along, so that the same result stays in sight.
    QAbstractItemView *from = on ? static_cast<QAbstractItemView *>(m_view) : m_thumbnails;
    QAbstractItemView *to = on ? static_cast<QAbstractItemView *>(m_thumbnails) : m_view;
    const int current = from->currentIndex().isValid() ? from->currentIndex().row() : -1;
    m_views->setCurrentWidget(to);
    m_thumbnailButton->setText(on ? QStringLiteral("목록 보기") : QStringLiteral("썸네일 보기"));
    if (current >= 0) {
        to->setCurrentIndex(to->model()->index(current, 0));
        to->scrollTo(to->currentIndex());
    }
    to->setFocus();
}

void w_results::setThumbnailProvider(ThumbnailProvider provider)
{
    m_thumbnails->thumbnails().setProvider(std::move(provider));
}
