// The results window's columns: what a picture, a song or a video is stays hidden until the user
// turns its column on from the heading's menu; the window keeps the choice while it is open.

#include "ui/w_results.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
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
            connect(action, &QAction::toggled, this,
                    [header, column](bool on) { header->setSectionHidden(column, !on); });
        }
    }
    for (QAction *action : m_columnMenu->actions())
        action->setChecked(!header->isSectionHidden(action->data().toInt()));
    return m_columnMenu;
}
